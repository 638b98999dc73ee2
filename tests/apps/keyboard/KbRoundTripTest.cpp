// The whole head unit (tests/harness): a page asks for a line of text, its seat shows the
// on-screen keyboard, the user types on the screen and saves or goes back, and the seat
// returns to the asking page with the answer in the kernel's text-input block.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "apps/keyboard/KBDlg.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/KernelData.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppFactory.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/harness/SkinProbe.h"
#include "tests/harness/TestPages.h"

using harness::CTestPage;
using harness::HeadUnit;
using harness::TestPageKinds;

namespace {

// What an asking page does: fill the block, then ask its seat's switch to the keyboard,
// naming itself as the page to come back to.
void AskForText(HeadUnit& unit, int seat, int asking, const std::u16string& title,
                const std::u16string& initial, int index) {
    CKernel* kernel = unit.Kernel();
    plat::StrCopy(kernel->m_szKbTitle, title);
    plat::StrCopy(kernel->m_szKbInitial, initial);
    kernel->m_iKbResult = index;
    intptr_t result = -1;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat,
                                      (asking << 16) | APPTYPE_KB, &result));
    plat::ui::InvalidateRect(unit.Seat(seat)->Id());
    unit.Advance(100);
}

CKBDlg* Keyboard(HeadUnit& unit, int seat) {
    return static_cast<CKBDlg*>(unit.Page(seat, APPTYPE_KB));
}

// A tap on key `key` of the seat's keyboard, on the screen.
void TapKey(HeadUnit& unit, int seat, int key) {
    plat::Rect r;
    Keyboard(unit, seat)->Key(key)->GetRect(&r);
    unit.Tap((r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2);
    unit.Advance(40);
}

int KeyFor(char c) {
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        const uint8_t vk = g_KbKeys[k].vk;
        if (c == ' ' ? vk == VK_SPACE : vk == static_cast<uint8_t>(std::toupper(c)))
            return k;
    }
    ADD_FAILURE() << "no key for " << c;
    return KB_KEY_SPACE;
}

void TypeOnScreen(HeadUnit& unit, int seat, const std::string& text) {
    for (char c : text)
        TapKey(unit, seat, KeyFor(c));
}

class KbRoundTrip : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(KbRoundTrip, APageAsksForATextAndGetsItBackFromTheKeyboard) {
    const int seat = GetParam();
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit;
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    ASSERT_NE(Keyboard(unit, seat), nullptr);

    AskForText(unit, seat, APPTYPE_MUSIC, u"Playlist name", u"road ", 3);
    ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_KB);
    EXPECT_TRUE(Keyboard(unit, seat)->IsVisible());
    EXPECT_EQ(Keyboard(unit, seat)->Edit()->GetText(1000), u"road ");

    TypeOnScreen(unit, seat, "trip 2");
    TapKey(unit, seat, KB_KEY_SAVE);
    unit.Advance(100);

    CKernel* kernel = unit.Kernel();
    EXPECT_EQ(std::u16string(kernel->m_szKbResult), u"road trip 2");
    EXPECT_EQ(kernel->m_iKbResult, 3) << "the asking page's index comes back untouched";
    EXPECT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_MUSIC);
    const plat::Rect screen = plat::Rect::FromXYWH(0, 0, 800, seat ? 600 : 480);
    EXPECT_TRUE(harness::Filled(unit.Screen(seat), screen, CTestPage::Colour(APPTYPE_MUSIC)));
    EXPECT_EQ(unit.Seat(seat ? 0 : 1)->m_iCurrentApp, APPTYPE_HOMEPAGE) << "the other seat stays";

    // Asked again, Back cancels: the seat returns to the page, the earlier result stays.
    AskForText(unit, seat, APPTYPE_MUSIC, u"Playlist name", u"", 5);
    ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_KB);
    EXPECT_EQ(Keyboard(unit, seat)->Edit()->GetText(1000), u"");
    TypeOnScreen(unit, seat, "x");
    TapKey(unit, seat, KB_KEY_EXIT);
    unit.Advance(100);
    EXPECT_EQ(kernel->m_iKbResult, -1);
    EXPECT_EQ(std::u16string(kernel->m_szKbResult), u"road trip 2");
    EXPECT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_MUSIC);
}

INSTANTIATE_TEST_SUITE_P(BothSeats, KbRoundTrip, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Front") : std::string("Rear");
                         });

// The phonetic input method on the whole head unit (tests/harness), with the Traditional
// Chinese language file: a page asks for a text, the user switches the keyboard to the input
// method, composes Han characters with taps on the keys and on the candidate row, and saves.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

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
#include "tests/support/TestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using harness::TestPageKinds;

namespace {

constexpr int kEnterKey = 40;

HeadUnitOptions TraditionalChinese() {
    // The key state and the current layout are the process's: each unit starts from nothing.
    KbResetForTesting();
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) { s.iLanguage = 1; };
    // The unit's installed layouts, as the run folder has them.
    options.prepare = [](const std::string& base) {
        testsupport::WriteBytes(base + "/" KB_LAYOUT_FILE,
                                testsupport::ReadBytes(harness::RunFolder() + "/" KB_LAYOUT_FILE));
    };
    return options;
}

CKBDlg* Keyboard(HeadUnit& unit, int seat) {
    return static_cast<CKBDlg*>(unit.Page(seat, APPTYPE_KB));
}

void AskForText(HeadUnit& unit, int seat, const std::u16string& title, int index) {
    CKernel* kernel = unit.Kernel();
    plat::StrCopy(kernel->m_szKbTitle, title);
    plat::StrCopy(kernel->m_szKbInitial, u"");
    kernel->m_iKbResult = index;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat,
                                      (APPTYPE_MUSIC << 16) | APPTYPE_KB));
    plat::ui::InvalidateRect(unit.Seat(seat)->Id());
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_KB);
}

// The seat switched to `app` and painted.
void ShowPage(HeadUnit& unit, int seat, int app) {
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat, app));
    plat::ui::InvalidateRect(unit.Seat(seat)->Id());
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(seat)->m_iCurrentApp, app);
}

void TapAt(HeadUnit& unit, int seat, const plat::Rect& r) {
    unit.Tap((r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2);
    unit.Advance(10);
}

void TapKey(HeadUnit& unit, int seat, int key) {
    plat::Rect r;
    Keyboard(unit, seat)->Key(key)->GetRect(&r);
    TapAt(unit, seat, r);
}

int KeyFor(char c) {
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        const uint8_t vk = g_KbKeys[k].vk;
        const char us = KbUsCharacter(vk);
        if (c == ' ' ? vk == VK_SPACE : (us == c && k != KB_KEY_RIGHT_SHIFT))
            return k;
    }
    ADD_FAILURE() << "no key for " << c;
    return KB_KEY_SPACE;
}

// Taps the keys of the standard phonetic keyboard by their US characters ("5j/ " is ㄓㄨㄥ
// and the first tone).
void TypeOnScreen(HeadUnit& unit, int seat, const std::string& keys) {
    for (char c : keys)
        TapKey(unit, seat, KeyFor(c));
}

// Pixels of the edit box in the colour that underlines a composition.
int UnderlinePixels(CKbEdit* edit) {
    plat::Surface picture;
    if (!plat::ui::GetWindowPicture(edit->Id(), picture))
        return -1;
    int n = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x)
            n += picture.PixelAt(x, y) == CKbEdit::kComposition;
    return n;
}

std::vector<std::u16string> ShownCandidates(HeadUnit& unit, int seat) {
    CKBDlg* kb = Keyboard(unit, seat);
    std::vector<std::u16string> out;
    for (const KB_CANDIDATE_CELL& cell : kb->CandidateCells())
        out.push_back(kb->Phonetic().Candidates()[cell.index]);
    return out;
}

// Pages through the row until `word` shows and taps it; false when no page has it.
bool TapCandidate(HeadUnit& unit, int seat, const std::u16string& word) {
    CKBDlg* kb = Keyboard(unit, seat);
    for (size_t turns = 0; turns < 60; ++turns) {
        for (const KB_CANDIDATE_CELL& cell : kb->CandidateCells()) {
            if (kb->Phonetic().Candidates()[cell.index] == word) {
                TapAt(unit, seat, cell.rect);
                return true;
            }
        }
        if (kb->CandidatePage() + 1 >= kb->CandidatePages())
            return false;
        plat::Rect next;
        kb->CandidatePart(KB_CAND_NEXT)->GetRect(&next);
        TapAt(unit, seat, next);
    }
    return false;
}

// The key state and the current layout belong to the process: the input method mode a test
// ends in must not reach the next test.
class KbPhonetic : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override { KbResetForTesting(); }
};
class KbPhoneticMode : public ::testing::Test {
protected:
    void TearDown() override { KbResetForTesting(); }
};

}  // namespace

TEST_P(KbPhonetic, TapsComposeAWordThatSaveHandsBack) {
    const int seat = GetParam();
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit(TraditionalChinese());
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    // The homepage as it is drawn after the asking page, before the keyboard was used.
    ShowPage(unit, seat, APPTYPE_MUSIC);
    ShowPage(unit, seat, APPTYPE_HOMEPAGE);
    const plat::Surface homeBefore = unit.Screen(seat);
    AskForText(unit, seat, u"播放清單名稱", 4);
    CKBDlg* kb = Keyboard(unit, seat);
    CKbEdit* edit = kb->Edit();
    EXPECT_FALSE(kb->CandidateRowShown());

    TapKey(unit, seat, KB_KEY_IME);
    ASSERT_TRUE(kb->CandidateRowShown()) << "the shipped layouts list the phonetic one";
    plat::Rect band;
    kb->CandidatePart(KB_CAND_ROW)->GetRect(&band);
    EXPECT_LE(band.bottom, seat ? 600 : 480) << "the row lies on the seat's screen";

    // ㄓㄨㄥ with the first tone: 中, with more single characters than one page holds.
    TypeOnScreen(unit, seat, "5j/");
    EXPECT_EQ(edit->Composition(), u"ㄓㄨㄥ");
    EXPECT_TRUE(kb->CandidateCells().empty());
    TypeOnScreen(unit, seat, " ");
    EXPECT_EQ(edit->Composition(), u"中");
    EXPECT_EQ(edit->GetText(1000), u"") << "composed is not yet typed";
    ASSERT_GT(kb->CandidatePages(), 1u);
    const std::vector<std::u16string> firstPage = ShownCandidates(unit, seat);
    EXPECT_EQ(firstPage.front(), u"中");
    plat::Rect next, prev;
    kb->CandidatePart(KB_CAND_NEXT)->GetRect(&next);
    kb->CandidatePart(KB_CAND_PREV)->GetRect(&prev);
    TapAt(unit, seat, next);
    EXPECT_EQ(kb->CandidatePage(), 1u);
    EXPECT_NE(ShownCandidates(unit, seat), firstPage);
    TapAt(unit, seat, prev);
    EXPECT_EQ(kb->CandidatePage(), 0u);
    EXPECT_EQ(ShownCandidates(unit, seat), firstPage);

    // ㄨㄣˊ, with Backspace inside the pre-edit on the way: the engine's, not the text's.
    TypeOnScreen(unit, seat, "jp");
    EXPECT_EQ(edit->Composition(), u"中ㄨㄣ");
    TapKey(unit, seat, KB_KEY_DELETE);
    EXPECT_EQ(edit->Composition(), u"中ㄨ");
    TypeOnScreen(unit, seat, "p6");
    EXPECT_EQ(edit->Composition(), u"中文");
    ASSERT_FALSE(kb->CandidateCells().empty());
    EXPECT_EQ(ShownCandidates(unit, seat).front(), u"中文");

    // The row is on the screen: its cells' pictures differ from the page's background there.
    const plat::Surface shown = unit.Screen(seat);
    const plat::Rect cell = kb->CandidateCells().front().rect;
    EXPECT_NE(shown.PixelAt(cell.left + 3, cell.top + 2),
              shown.PixelAt(band.right + 2, band.top + 2));

    EXPECT_GT(UnderlinePixels(edit), 40) << "the composition is underlined";

    ASSERT_TRUE(TapCandidate(unit, seat, u"中文"));
    EXPECT_EQ(edit->GetText(1000), u"中文");
    EXPECT_EQ(UnderlinePixels(edit), 0);
    EXPECT_FALSE(edit->IsComposing());
    EXPECT_TRUE(kb->CandidateCells().empty());

    TapKey(unit, seat, KB_KEY_SAVE);
    unit.Advance(100);
    CKernel* kernel = unit.Kernel();
    EXPECT_EQ(std::u16string(kernel->m_szKbResult), u"中文");
    EXPECT_EQ(kernel->m_iKbResult, 4);
    EXPECT_EQ(unit.Seat(seat)->m_iCurrentApp, APPTYPE_MUSIC);
    EXPECT_TRUE(unit.TakeBoxes().empty());

    // The keyboard's fonts stay its own: the homepage's icons and captions come back as they
    // were drawn before (the bar with the clock left out).
    ShowPage(unit, seat, APPTYPE_HOMEPAGE);
    const plat::Surface homeAfter = unit.Screen(seat);
    int differ = 0;
    for (int y = 52; y < (seat ? 500 : 390); ++y)
        for (int x = 0; x < 800; ++x)
            differ += homeBefore.PixelAt(x, y) != homeAfter.PixelAt(x, y);
    EXPECT_EQ(differ, 0);
}

INSTANTIATE_TEST_SUITE_P(BothSeats, KbPhonetic, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("Front") : std::string("Rear");
                         });

TEST_F(KbPhoneticMode, TheModeKeyInAPreeditKeepsWhatWasConvertedAndSaveEndsItToo) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit(TraditionalChinese());
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    AskForText(unit, 0, u"名稱", -1);
    CKBDlg* kb = Keyboard(unit, 0);
    CKbEdit* edit = kb->Edit();

    TapKey(unit, 0, KB_KEY_IME);
    TypeOnScreen(unit, 0, "5j/ jp");
    EXPECT_EQ(edit->Composition(), u"中ㄨㄣ");
    // Out of the input method: 中 stays as text, the unfinished ㄨㄣ goes; the keys type the
    // US characters again.
    TapKey(unit, 0, KB_KEY_IME);
    EXPECT_FALSE(kb->CandidateRowShown());
    EXPECT_FALSE(edit->IsComposing());
    EXPECT_EQ(edit->GetText(1000), u"中");
    TypeOnScreen(unit, 0, "5j");
    EXPECT_EQ(edit->GetText(1000), u"中5j");

    // Back in, a word composed and Enter: it goes in as it stands, after the text.
    TapKey(unit, 0, KB_KEY_IME);
    TypeOnScreen(unit, 0, "2u04cj84");
    EXPECT_EQ(edit->Composition(), u"電話");
    TapKey(unit, 0, kEnterKey);
    EXPECT_EQ(edit->GetText(1000), u"中5j電話");

    // Save in the middle of a word: the converted part is saved with the rest.
    TypeOnScreen(unit, 0, "ji32k");
    EXPECT_EQ(edit->Composition(), u"我ㄉㄜ");
    TapKey(unit, 0, KB_KEY_SAVE);
    unit.Advance(100);
    EXPECT_EQ(std::u16string(unit.Kernel()->m_szKbResult), u"中5j電話我");
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_MUSIC);

    // Asked again, Back drops what was composed; the next request starts clean.
    AskForText(unit, 0, u"名稱", 2);
    EXPECT_TRUE(kb->CandidateRowShown()) << "the mode lasts from one request to the next";
    TypeOnScreen(unit, 0, "5j/ ");
    TapKey(unit, 0, KB_KEY_EXIT);
    unit.Advance(100);
    EXPECT_EQ(unit.Kernel()->m_iKbResult, -1);
    AskForText(unit, 0, u"名稱", 2);
    EXPECT_FALSE(edit->IsComposing());
    EXPECT_EQ(edit->GetText(1000), u"");
}

TEST_F(KbPhoneticMode, WithoutThePhoneticLayoutTheModeKeyLeavesTypingAsItWas) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnitOptions options = TraditionalChinese();
    options.prepare = [](const std::string& base) {
        testsupport::WriteUtf16(base + "/" KB_LAYOUT_FILE,
                                "[Preload]\r\n1 = 00000409\r\n2 = 00000404\r\n"
                                "[00000409]\r\nLayout Text = US\r\n"
                                "[00000404]\r\nLayout Text = Chinese (Traditional) - US\r\n"
                                "[E0010404]\r\nLayout Text = Chinese (Traditional) - Phonetic\r\n"
                                "35 = \xE3\x84\x93, %\r\n");
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    AskForText(unit, 0, u"名稱", -1);
    CKBDlg* kb = Keyboard(unit, 0);

    TapKey(unit, 0, KB_KEY_IME);
    EXPECT_FALSE(kb->CandidateRowShown());
    EXPECT_FALSE(kb->Phonetic().IsOpen()) << "the engine is not started for nothing";
    TypeOnScreen(unit, 0, "5j/ ");
    EXPECT_EQ(kb->Edit()->GetText(1000), u"5j/ ");
    EXPECT_FALSE(kb->Edit()->IsComposing());
}

TEST_F(KbPhoneticMode, ATwentyCharacterNameRoundTripsThroughAPlaylistFile) {
    TestPageKinds kinds{APPKIND_MUSIC};
    HeadUnit unit(TraditionalChinese());
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    AskForText(unit, 0, u"播放清單名稱", -1);
    CKBDlg* kb = Keyboard(unit, 0);
    TapKey(unit, 0, KB_KEY_IME);

    const struct {
        const char* keys;
        const char16_t* word;
    } words[] = {
        {"5j/ jp6", u"中文"}, {"2u04cj84", u"電話"}, {"ji32k7", u"我的"},  {"ek fm3", u"歌曲"},
        {"xm3vu/6", u"旅行"}, {"fu/ 20 ", u"清單"},  {"dj94xk4", u"快樂"}, {"yl30 ", u"早安"},
        {"q/6u.3", u"朋友"},  {"up m,4", u"音樂"},
    };
    std::u16string name;
    for (const auto& w : words) {
        TypeOnScreen(unit, 0, w.keys);
        ASSERT_TRUE(TapCandidate(unit, 0, w.word)) << plat::Utf16ToUtf8(w.word);
        name += w.word;
    }
    ASSERT_EQ(name.size(), 20u);
    EXPECT_EQ(kb->Edit()->GetText(1000), name);
    TapKey(unit, 0, KB_KEY_SAVE);
    unit.Advance(100);
    CKernel* kernel = unit.Kernel();
    ASSERT_EQ(std::u16string(kernel->m_szKbResult), name);

    // The name as a playlist: the file is named by it, and an entry named by it is stored as
    // UTF-16LE lines, each with a line feed and a NUL.
    KvMultimedia::IKvPListContainer* lists = nullptr;
    ASSERT_EQ(kernel->m_pRoot->CreatePListContainer(&lists), RZ_OK);
    KvMultimedia::IKvPlaylist* playlist = nullptr;
    int index = -1;
    ASSERT_EQ(lists->CreatePlaylist(kernel->m_szKbResult, &playlist, &index), RZ_OK);
    const std::u16string track = name + u".mp3";
    playlist->AddItem(track.c_str(), u"D:\\Music");
    ASSERT_EQ(lists->SavePlaylist(kernel->m_szKbResult), RZ_OK);

    std::vector<uint8_t> expected;
    for (const std::u16string& line : {track, std::u16string(u"D:\\Music")}) {
        for (char16_t c : line + u"\n" + std::u16string(1, u'\0')) {
            expected.push_back(static_cast<uint8_t>(c & 0xFF));
            expected.push_back(static_cast<uint8_t>(c >> 8));
        }
    }
    const std::string file = unit.File("PLAYLIST/" + plat::Utf16ToUtf8(name));
    ASSERT_TRUE(testsupport::Exists(file));
    EXPECT_EQ(testsupport::ReadBytes(file), expected);

    // Read back by a container of its own, as the music page does when it sets up.
    KvMultimedia::IKvPListContainer* reread = nullptr;
    ASSERT_EQ(kernel->m_pRoot->CreatePListContainer(&reread), RZ_OK);
    ASSERT_EQ(reread->LoadAll(u"PLAYLIST"), RZ_OK);
    char16_t* loaded = nullptr;
    ASSERT_EQ(reread->GetNameAt(&loaded, 0), RZ_OK);
    EXPECT_EQ(std::u16string(loaded), name);
    char16_t* itemName = nullptr;
    char16_t* itemFolder = nullptr;
    uint8_t type = 0;
    KvMultimedia::IKvPlaylist* back = nullptr;
    ASSERT_EQ(reread->GetPlaylistAt(&back, 0), RZ_OK);
    ASSERT_EQ(back->GetItem(&itemName, &itemFolder, &type, 0), RZ_OK);
    EXPECT_EQ(std::u16string(itemName), track);
    reread->Release();
    lists->Release();
}

// The internet shortcuts page on the whole head unit: a shortcut starts a test browser that
// writes down its arguments, and Edit sends a shortcut through the real keyboard page.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "apps/keyboard/KBDlg.h"
#include "apps/settings/InternetServiceDlg.h"
#include "core/kernel/CfgData.h"
#include "library/include/IKvImage.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"
#include "tests/apps/settings/SettingsPages.h"
#include "tests/support/GfxTestSupport.h"
#include "tests/support/TestSupport.h"

using namespace settingstest;

namespace {

CInternetServiceDlg* Internet(HeadUnit& unit, int seat = 0) {
    return dynamic_cast<CInternetServiceDlg*>(unit.Page(seat, APPTYPE_INTERNET_SERVICE));
}

CKBDlg* Keyboard(HeadUnit& unit) {
    return dynamic_cast<CKBDlg*>(unit.Page(0, APPTYPE_KB));
}

void TapCell(HeadUnit& unit, CInternetServiceDlg* page, int cell) {
    const plat::Rect r = page->CellRect(cell);
    unit.Tap((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(100);
}

// The keyboard's key taps repaint the seat, which then carries out the page's switch.
void Repaint(HeadUnit& unit) {
    plat::ui::InvalidateRect(unit.Seat(0)->Id());
    unit.Advance(100);
}

// The settings block as saved: item i's text, up to its end.
std::u16string SavedItem(HeadUnit& unit, int item) {
    const std::vector<uint8_t> bytes = testsupport::ReadBytes(unit.BaseDir() + "/SysSettings.db");
    std::u16string text;
    for (size_t at = 4424 + 1024 * static_cast<size_t>(item); at + 1 < bytes.size(); at += 2) {
        const char16_t c = static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
        if (!c)
            break;
        text += c;
    }
    return text;
}

// The page's background with the nine icons 3 pixels inside their cells on the front, and at
// the grid's lower rows on the rear: what each screen must show in the icons' boxes.
plat::Surface ExpectedGrid(HeadUnit& unit, int seat, std::vector<plat::Rect>& boxes) {
    CKernel* k = unit.Kernel();
    const char16_t* const icons[SYS_INTERNET_SLOTS] = {
        u"icon-browser.png",  u"icon-traffice.png", u"icon-weather.png",
        u"icon-radio.png",    u"icon-tv.png",       u"icon-youtube.png",
        u"icon-favorite.png", u"icon-favorite.png", u"icon-favorite.png"};
    auto image = [&](const char16_t* name) {
        KvMultimedia::IKvImage* picture = nullptr;
        const std::u16string path = plat::FormatStr(u"%s\\Skin\\%s\\Internet\\%s", k->m_szBaseDir,
                                                    pCfgData->m_CfgSettings.szSkin, name);
        return k->m_pRoot->CreateImage(&picture, path.c_str()) == RZ_OK ? picture : nullptr;
    };
    plat::Surface out(800, seat ? 600 : 480);
    auto canvas = plat::MakeCanvas(out);
    KvMultimedia::IKvImage* background = image(u"background.png");
    EXPECT_NE(background, nullptr);
    if (background) {
        background->Draw(canvas.get(), 0, 0, 0, 0);
        background->Release();
    }
    const int rearShift[3] = {42, 62, 82};
    boxes.clear();
    for (int i = 0; i < SYS_INTERNET_SLOTS; ++i) {
        const int x = 275 + 161 * (i % 3);
        const int y = 88 + 104 * (i / 3) + (seat ? rearShift[i / 3] : 0);
        boxes.push_back(plat::Rect::FromXYWH(x, y, 150, 92));
        KvMultimedia::IKvImage* icon = image(icons[i]);
        EXPECT_NE(icon, nullptr) << i;
        if (icon) {
            // The strip's first frame, without its one pixel of margin.
            icon->DrawPart(canvas.get(), x, y, x + 150, y + 92, 1, 1, 151, 93);
            icon->Release();
        }
    }
    return out;
}

int CountDifferent(const plat::Surface& a, const plat::Surface& b, const plat::Rect& box) {
    int n = 0;
    for (int y = box.top; y < box.bottom; ++y) {
        for (int x = box.left; x < box.right; ++x)
            n += a.PixelAt(x, y) != b.PixelAt(x, y) ? 1 : 0;
    }
    return n;
}

const char16_t kTraffic[] = u"http://traffic.example/a b?q=\"x\";touch pwned&y='1'";

}  // namespace

TEST(InternetPage, ShortcutsOpenTheBrowserAndEditGoesThroughTheKeyboard) {
    const std::u16string longAddress = u"http://long.example/" + std::u16string(491, u'z');
    ASSERT_EQ(longAddress.size(), 511u);
    harness::HeadUnitOptions options;
    options.settings = [&](SYS_SETTINGS& s) {
        plat::StrCopy(s.szInternet[INTERNET_TRAFFIC], kTraffic);
        plat::StrCopy(s.szInternet[INTERNET_WEATHER], longAddress);
    };
    options.prepare = [](const std::string& base) {
        // The browser the seat starts: it writes down what it was given.
        testsupport::WriteText(base + "/x-www-browser",
                               "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > browser.tmp && "
                               "mv browser.tmp browser.txt\n");
        ::chmod((base + "/x-www-browser").c_str(), 0755);
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start()) << "exit status " << unit.StartStatus();
    CKernel* k = unit.Kernel();
    const std::string browserLog = unit.BaseDir() + "/browser.txt";
    auto browserStarted = [&] {
        return unit.WaitFor([&] { return testsupport::Exists(browserLog); });
    };
    auto backToPage = [&] {
        std::filesystem::remove(browserLog);
        unit.Seat(0)->ShowExpanded(true);
        Open(unit, 0, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
    };
    for (int item : {0, 7, 8})
        EXPECT_EQ(k->m_Settings.szInternet[item][0], 0) << "item " << item << " has no key";

    Open(unit, 0, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
    CInternetServiceDlg* page = Internet(unit);
    ASSERT_TRUE(page && page->Skinned());

    // A tap: the browser gets the address as one argument, quotes, spaces and ';' as they are.
    TapCell(unit, page, INTERNET_TRAFFIC);
    ASSERT_TRUE(browserStarted());
    EXPECT_EQ(testsupport::ReadText(browserLog), "1|" + plat::Utf16ToUtf8(kTraffic) + "|");
    EXPECT_FALSE(testsupport::Exists(unit.BaseDir() + "/pwned"));
    backToPage();

    // Edit, then a tap within 5 s: the keyboard, given the first 127 characters of 511.
    TapButton(unit, 0, page->Button(IS_BTN_EDIT));
    EXPECT_TRUE(page->EditMode());
    TapCell(unit, page, INTERNET_WEATHER);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_KB);
    EXPECT_EQ(std::u16string(k->m_szKbInitial), longAddress.substr(0, KB_TEXT_CHARS - 1));
    EXPECT_EQ(std::u16string(k->m_szKbTitle), longAddress.substr(0, KB_TEXT_CHARS - 1));
    CKBDlg* kb = Keyboard(unit);
    ASSERT_NE(kb, nullptr);
    kb->Edit()->SetText(u"http://weather.example/");
    kb->OnSave();
    Repaint(unit);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_INTERNET_SERVICE);
    EXPECT_EQ(std::u16string(k->m_Settings.szInternet[INTERNET_WEATHER]),
              u"http://weather.example/");
    EXPECT_EQ(SavedItem(unit, INTERNET_WEATHER), u"http://weather.example/");
    EXPECT_EQ(k->m_iKbResult, -1) << "the request is cleared once taken";
    EXPECT_FALSE(page->EditMode());

    // The same text again is stored too (the file is written anew).
    std::filesystem::remove(unit.BaseDir() + "/SysSettings.db");
    TapButton(unit, 0, page->Button(IS_BTN_EDIT));
    TapCell(unit, page, INTERNET_WEATHER);
    kb->Edit()->SetText(u"http://weather.example/");
    kb->OnSave();
    Repaint(unit);
    EXPECT_EQ(SavedItem(unit, INTERNET_WEATHER), u"http://weather.example/");

    // Cancel: the address stays.
    TapButton(unit, 0, page->Button(IS_BTN_EDIT));
    TapCell(unit, page, INTERNET_TRAFFIC);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_KB);
    kb->Edit()->SetText(u"http://lost.example/");
    kb->OnBack();
    Repaint(unit);
    ASSERT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_INTERNET_SERVICE);
    EXPECT_EQ(std::u16string(k->m_Settings.szInternet[INTERNET_TRAFFIC]), kTraffic);

    // Another page's result left in the block is never taken: neither while not waiting...
    k->m_iKbResult = 0;
    plat::StrCopy(k->m_szKbResult, u"http://music.example/");
    Open(unit, 0, APPTYPE_HOMEPAGE, APPTYPE_INTERNET_SERVICE);
    Open(unit, 0, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
    EXPECT_EQ(std::u16string(k->m_Settings.szInternet[INTERNET_TRAFFIC]), kTraffic);
    EXPECT_EQ(k->m_iKbResult, 0) << "the other page's request is left to it";
    // ...nor when another page's request took the keyboard over ours.
    TapButton(unit, 0, page->Button(IS_BTN_EDIT));
    TapCell(unit, page, INTERNET_TRAFFIC);
    k->m_iKbResult = 0;
    kb->Edit()->SetText(u"http://other.example/");
    kb->OnSave();
    Repaint(unit);
    EXPECT_EQ(std::u16string(k->m_Settings.szInternet[INTERNET_TRAFFIC]), kTraffic);
    EXPECT_FALSE(page->WaitingForKeyboard());
    k->m_iKbResult = -1;

    // Edit mode ends after 5 s: the tap opens the browser, item 7 with no address.
    TapButton(unit, 0, page->Button(IS_BTN_EDIT));
    for (int i = 0; i < 6; ++i)
        unit.Advance(1000);
    EXPECT_FALSE(page->EditMode());
    TapCell(unit, page, 7);
    ASSERT_TRUE(browserStarted());
    EXPECT_EQ(testsupport::ReadText(browserLog), "0|");
    backToPage();

    // Ret-Menu: home.
    TapButton(unit, 0, page->Button(IS_BTN_RET_MENU));
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_HOMEPAGE);
}

TEST(InternetPage, TheRearSeatsGridLiesLowerAndBothShowTheCommonFrame) {
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    Open(unit, 1, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
    CInternetServiceDlg* rear = Internet(unit, 1);
    CInternetServiceDlg* front = Internet(unit, 0);
    ASSERT_TRUE(rear && front);
    ASSERT_TRUE(rear->Skinned());
    // Front: the cells' own rectangles, edges excluded.
    EXPECT_EQ(front->CellAt(273, 86), 0);
    EXPECT_EQ(front->CellAt(272, 86), -1);
    EXPECT_EQ(front->CellAt(594 + 155, 293 + 97), 8);
    EXPECT_EQ(front->CellAt(594 + 156, 293 + 97), -1);
    // Rear: rows moved down by 42, 62 and 82, each 140 high.
    EXPECT_EQ(rear->CellAt(273, 86), -1);
    EXPECT_EQ(rear->CellAt(273, 85 + 43), 0);
    EXPECT_EQ(rear->CellAt(434, 189 + 62 + 139), 4);
    EXPECT_EQ(rear->CellAt(595, 293 + 82 + 139), 8);
    EXPECT_EQ(rear->CellAt(595, 293 + 82 + 140), -1);

    // The grid draws every icon: on the front where the page always put it, on the rear in the
    // lower rows; the rear's lowest row answers a tap.
    Open(unit, 0, APPTYPE_INTERNET_SERVICE, APPTYPE_HOMEPAGE);
    for (int seat : {0, 1}) {
        std::vector<plat::Rect> boxes;
        const plat::Surface expected = ExpectedGrid(unit, seat, boxes);
        const plat::Surface screen = unit.Screen(seat);
        for (size_t i = 0; i < boxes.size(); ++i)
            EXPECT_EQ(CountDifferent(screen, expected, boxes[i]), 0)
                << "seat " << seat << " icon " << i;
    }
    // The common frame on both seats: the clock, and the volume number that follows Vol-Add
    // and goes while muted; the mute button shows sound on again after unmuting.
    CKernel* k = unit.Kernel();
    const plat::Rect volume = plat::Rect::FromXYWH(480, 40, 80, 35);
    const plat::Rect clock = plat::Rect::FromXYWH(675, 28, 140, 35);
    const uint32_t volumeInk = 0xFF40FFFF;
    const uint32_t clockInk = 0xFFFF4F23;
    for (int seat : {0, 1}) {
        SCOPED_TRACE(seat);
        CInternetServiceDlg* page = Internet(unit, seat);
        plat::Rect icon;
        page->Button(IS_BTN_VOL_ICON)->GetRect(&icon);
        const plat::Surface before = unit.Screen(seat);
        EXPECT_GT(testsupport::CountPixels(before, clock, clockInk), 5);
        EXPECT_GT(testsupport::CountPixels(before, volume, volumeInk), 10);
        const int level = k->m_iVolume.load();
        TapButton(unit, seat, page->Button(IS_BTN_VOL_ADD));
        EXPECT_EQ(k->m_iVolume.load(), level + 1);
        const plat::Surface louder = unit.Screen(seat);
        EXPECT_GT(CountDifferent(before, louder, volume), 10) << "the number changed";
        EXPECT_GT(testsupport::CountPixels(louder, volume, volumeInk), 10);
        TapButton(unit, seat, page->Button(IS_BTN_VOL_ICON));
        ASSERT_TRUE(k->m_bMute.load());
        const plat::Surface muted = unit.Screen(seat);
        EXPECT_EQ(testsupport::CountPixels(muted, volume, volumeInk), 0);
        EXPECT_GT(CountDifferent(louder, muted, icon), 50) << "the muted picture";
        TapButton(unit, seat, page->Button(IS_BTN_VOL_ICON));
        ASSERT_FALSE(k->m_bMute.load());
        const plat::Surface unmuted = unit.Screen(seat);
        EXPECT_EQ(CountDifferent(louder, unmuted, icon), 0) << "sound on again";
        EXPECT_EQ(CountDifferent(louder, unmuted, volume), 0);
    }

    TapButton(unit, 1, rear->Button(IS_BTN_EDIT));
    ASSERT_TRUE(rear->EditMode());
    unit.Tap(800 + 595 + 78, 293 + 82 + 50);
    unit.Advance(100);
    EXPECT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_KB) << "item 8's address goes to the keyboard";
    EXPECT_TRUE(rear->WaitingForKeyboard());
}

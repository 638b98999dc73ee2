// Every page of each seat, reached as a user reaches it: the homepage's icons on both of its
// pages, the settings menu, the panel keys, and the buttons of the pages that lead further.
// Pages no button of the default skin leads to are opened as the page that asks for them
// does. Each picture lands in <build>/tour-pictures, so a person can look at every page.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "apps/media/MPDefaultDlg.h"
#include "apps/settings/InternetServiceDlg.h"
#include "apps/settings/LightSettingsDlg.h"
#include "apps/settings/SettingsCommon.h"
#include "apps/settings/SettingsDlg.h"
#include "core/kernel/Kernel.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "library/include/IKvButton.h"
#include "tests/unit/Tour.h"

using tour::DemoUnit;
using tour::Tour;

namespace {

// The panel keys of the demo model (TRX4100P), first row.
constexpr int kKeyClock = 0x00;
constexpr int kKeyMenu = 0x02;
constexpr int kKeyAux = 0x04;
constexpr int kKeyInternet = 0x05;
constexpr int kKeyRadio = 0x44;
constexpr int kKeyMusic = 0x45;

plat::Rect RectOf(KvUserInterface::IKvButton* button) {
    plat::Rect r{};
    if (button)
        button->GetRect(&r);
    return r;
}

// The page types that seat `seat` holds a page for.
std::set<int> PagesOf(harness::HeadUnit& unit, int seat) {
    std::set<int> out;
    for (int app = 0; app < APPTYPE_COUNT; ++app) {
        if (unit.Page(seat, app))
            out.insert(app);
    }
    return out;
}

// The pages of the homepage's first page, each opened by its icon and left by the page's own
// way home.
void FirstHomepagePage(Tour& t) {
    const struct {
        const char* key;
        int app;
        const char* name;
    } icons[] = {
        {"APPTYPE_MUSIC", APPTYPE_MUSIC, "music"}, {"APPTYPE_MOVIE", APPTYPE_MOVIE, "movie"},
        {"APPTYPE_PHOTO", APPTYPE_PHOTO, "photo"}, {"APPTYPE_RADIO", APPTYPE_RADIO, "radio"},
        {"APPTYPE_PHONE", APPTYPE_PHONE, "phone"},
    };
    for (const auto& icon : icons) {
        SCOPED_TRACE(icon.name);
        t.Icon(icon.key);
        t.Shoot(icon.app, icon.name);
        t.Home();
        t.Shoot(APPTYPE_HOMEPAGE, std::string("home-after-") + icon.name);
    }
}

void ExpectEveryPageShown(harness::HeadUnit& unit, const Tour& t) {
    std::set<int> shown(t.Shown().begin(), t.Shown().end());
    for (int app : PagesOf(unit, t.Seat()))
        EXPECT_TRUE(shown.count(app)) << "page " << app << " of seat " << t.Seat() << " not shown";
}

}  // namespace

TEST(Tour, EveryPageOfTheFrontSeatAsTheUserReachesItThenACleanEnd) {
    DemoUnit demo;
    ASSERT_TRUE(demo.Start());
    harness::HeadUnit& unit = demo.Unit();
    Tour t(unit, 0);
    t.Shoot(APPTYPE_HOMEPAGE, "home");
    FirstHomepagePage(t);

    // The settings menu and each page it leads to; their way back is the menu.
    t.Icon("APPTYPE_SETTINGS");
    t.Shoot(APPTYPE_SETTINGS, "settings");
    auto* menu = static_cast<CSettingsDlg*>(unit.Page(0, APPTYPE_SETTINGS));
    const struct {
        int button;
        int app;
        const char* name;
    } items[] = {
        {SETTINGS_AUDIO, APPTYPE_AUDIO_SET, "sound"},
        {SETTINGS_DISPLAY, APPTYPE_DISPLAY_SET, "display"},
        {SETTINGS_SYSTEM, APPTYPE_SYSTEM_SET, "system"},
        {SETTINGS_APPLICATION, APPTYPE_APPLICATION_SET, "applications"},
        {SETTINGS_DUAL, APPTYPE_DUAL_SET, "dual-seat"},
        {SETTINGS_ABOUT, APPTYPE_ABOUT, "about"},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.name);
        t.TapAt(RectOf(menu->m_pButton[item.button]));
        t.Shoot(item.app, item.name);
        t.Switch(APPTYPE_SETTINGS, item.app);
        t.Shoot(APPTYPE_SETTINGS, std::string("settings-after-") + item.name);
    }
    t.TapAt(RectOf(menu->m_pButton[SETTINGS_RETURN]));
    t.Shoot(APPTYPE_HOMEPAGE, "home-from-settings");

    // The panel's keys.
    t.Key(kKeyClock, APPTYPE_DATETIME);
    t.Shoot(APPTYPE_DATETIME, "clock");
    t.Key(kKeyAux, APPTYPE_AUX);
    t.Shoot(APPTYPE_AUX, "aux");
    // The second input's page is asked for by the first's.
    t.Switch(APPTYPE_AUX2, APPTYPE_AUX);
    t.Shoot(APPTYPE_AUX2, "aux2");
    t.Key(kKeyRadio, APPTYPE_RADIO);
    t.Shoot(APPTYPE_RADIO, "radio-by-key");
    t.Key(kKeyMusic, APPTYPE_MUSIC);
    t.Shoot(APPTYPE_MUSIC, "music-by-key");
    t.Key(kKeyInternet, APPTYPE_INTERNET_SERVICE);
    t.Shoot(APPTYPE_INTERNET_SERVICE, "internet");

    // Edit, then a shortcut: the keyboard page.
    auto* internet = static_cast<CInternetServiceDlg*>(unit.Page(0, APPTYPE_INTERNET_SERVICE));
    t.TapAt(RectOf(internet->Button(IS_BTN_EDIT)));
    t.TapAt(internet->CellRect(INTERNET_TRAFFIC));
    t.Shoot(APPTYPE_KB, "keyboard");
    t.Switch(APPTYPE_INTERNET_SERVICE, APPTYPE_KB);
    t.Key(kKeyMenu, APPTYPE_HOMEPAGE);
    t.Shoot(APPTYPE_HOMEPAGE, "home-by-key");

    // The homepage's second page and its icons.
    t.Icon("APPTYPE_AUX");
    t.Shoot(APPTYPE_AUX, "aux-by-icon");
    t.Key(kKeyMenu, APPTYPE_HOMEPAGE);
    t.Shoot(APPTYPE_HOMEPAGE, "home-page-2");
    t.Icon("APPTYPE_DATETIME");
    t.Shoot(APPTYPE_DATETIME, "clock-by-icon");

    // The light settings (asked for by the display pages of other skins), and its Manual
    // button, which leads to the backlight page.
    t.Switch(APPTYPE_LIGHT_SETTINGS, APPTYPE_HOMEPAGE);
    t.Shoot(APPTYPE_LIGHT_SETTINGS, "light");
    auto* light = static_cast<CLightSettingsDlg*>(unit.Page(0, APPTYPE_LIGHT_SETTINGS));
    t.TapAt(RectOf(light->Button(LS_MANUAL)));
    unit.Advance(100);
    t.Shoot(APPTYPE_DISPLAY_MANU, "backlight");
    t.Key(kKeyMenu, APPTYPE_HOMEPAGE);
    t.Shoot(APPTYPE_HOMEPAGE, "home-end");

    ExpectEveryPageShown(unit, t);
    EXPECT_TRUE(unit.TakeBoxes().empty());

    const std::string base = unit.BaseDir();
    unit.Close();
    EXPECT_EQ(unit.HowEnded(), MainEnd::Close);
    tour::ExpectStoredFilesWhole(base);
    EXPECT_TRUE(testsupport::Exists(base + "/" SYS_SETTINGS_DB)) << "the end saved the settings";
}

TEST(Tour, EveryPageOfTheRearSeatAsTheUserReachesItThenACleanEnd) {
    DemoUnit demo;
    ASSERT_TRUE(demo.Start());
    harness::HeadUnit& unit = demo.Unit();
    Tour t(unit, 1);
    t.Shoot(APPTYPE_HOMEPAGE, "home");
    FirstHomepagePage(t);

    // The music page's sound button leads to the sound page, whose way back is the music page.
    t.Icon("APPTYPE_MUSIC");
    auto* music = static_cast<CMPDefaultDlg*>(unit.Page(1, APPTYPE_MUSIC));
    t.TapAt(RectOf(music->Button(MP_BTN_SOUND_EFFECT)));
    t.Shoot(APPTYPE_AUDIO_SET, "sound");
    t.Switch(APPTYPE_MUSIC, APPTYPE_AUDIO_SET);
    t.Shoot(APPTYPE_MUSIC, "music-after-sound");
    t.Home();

    // The homepage's second page: the first input and the internet shortcuts, whose Edit leads
    // to the keyboard.
    t.Icon("APPTYPE_AUX");
    t.Shoot(APPTYPE_AUX, "aux");
    t.Switch(APPTYPE_AUX2, APPTYPE_AUX);
    t.Shoot(APPTYPE_AUX2, "aux2");
    t.Home();
    t.Shoot(APPTYPE_HOMEPAGE, "home-page-2");
    t.Icon("APPTYPE_INTERNET_SERVICE");
    t.Shoot(APPTYPE_INTERNET_SERVICE, "internet");
    auto* internet = static_cast<CInternetServiceDlg*>(unit.Page(1, APPTYPE_INTERNET_SERVICE));
    t.TapAt(RectOf(internet->Button(IS_BTN_EDIT)));
    t.TapAt(internet->CellRect(INTERNET_TRAFFIC));
    t.Shoot(APPTYPE_KB, "keyboard");
    t.Home();

    // The settings menu is the front seat's: the rear homepage has no icon for it, and asked for
    // all the same it is a plain screen whose tap goes home, so the settings pages are no
    // user's way on this seat. Asked for, each shows the plain screen.
    t.Switch(APPTYPE_SETTINGS, APPTYPE_HOMEPAGE);
    t.ShootPlain(APPTYPE_SETTINGS, "settings", settings::kNoSkinBackground);
    unit.Tap(800 + 400, 300);
    unit.Advance(100);
    ASSERT_EQ(unit.Seat(1)->m_iCurrentApp, APPTYPE_HOMEPAGE);
    for (int app :
         {APPTYPE_DISPLAY_SET, APPTYPE_SYSTEM_SET, APPTYPE_APPLICATION_SET, APPTYPE_DUAL_SET,
          APPTYPE_ABOUT, APPTYPE_LIGHT_SETTINGS, APPTYPE_DISPLAY_MANU}) {
        SCOPED_TRACE(app);
        t.Switch(app, APPTYPE_SETTINGS);
        t.ShootPlain(app, "unskinned-" + std::to_string(app), settings::kNoSkinBackground);
        t.Home();
    }
    t.Shoot(APPTYPE_HOMEPAGE, "home-end");

    std::set<int> shown(t.Shown().begin(), t.Shown().end());
    for (int app : PagesOf(unit, 1))
        EXPECT_TRUE(shown.count(app)) << "page " << app << " of the rear seat not shown";
    EXPECT_TRUE(unit.TakeBoxes().empty());

    const std::string base = unit.BaseDir();
    unit.Close();
    EXPECT_EQ(unit.HowEnded(), MainEnd::Close);
    tour::ExpectStoredFilesWhole(base);
}

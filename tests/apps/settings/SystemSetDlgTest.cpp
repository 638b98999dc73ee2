// The system settings page on the whole unit, with the power-module emulator on a
// pseudo-terminal: editing the date and time and saving it through a replaced clock service,
// the ACC hold's ladder and its set with and without the module's acknowledge, the module read
// at start, the factory settings and the calibration program.
#include "apps/settings/SystemSetDlg.h"
#include "apps/home/HomepageDlg.h"
#include "apps/settings/SystemSetDefaults.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

#include "core/kernel/Kernel.h"
#include "core/ui/InfoDialog.h"
#include "core/ui/MessageDlg.h"
#include "library/include/IKvListbox.h"
#include "library/include/IKvText.h"
#include "platform/io/File.h"
#include "platform/sys/TimeSetter.h"
#include "platform/text/Text.h"
#include "tests/apps/settings/SettingsTestUtil.h"
#include "tests/harness/HeadUnitFixture.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using settingstest::Switch;
using settingstest::TapButton;

namespace {

// Stands in for the machine's clock: keeps what it was asked to set, or refuses.
class RecordingTimeSetter final : public plat::TimeSetter {
public:
    RecordingTimeSetter() { plat::SetTimeSetter(this); }
    ~RecordingTimeSetter() override { plat::SetTimeSetter(nullptr); }
    bool SetLocalTime(const plat::SystemTime& t, std::string* error) override {
        calls.push_back(t);
        if (refuse && error)
            *error = "Operation not permitted";
        return !refuse;
    }
    std::vector<plat::SystemTime> calls;
    bool refuse = false;
};

// The user answers the next dialog: once it shows over the seat, a tap on `button` (in the
// dialog's own co-ordinates).
class DialogAnswer {
public:
    explicit DialogAnswer(plat::Rect button)
        : m_thread([this, button] {
              plat::Rect box;
              const bool shown = pagetest::WaitUntil([&] {
                  for (plat::ui::WindowId id = 1; id < 256; ++id) {
                      const plat::Rect r = plat::ui::GetWindowRect(id);
                      if (plat::ui::IsWindowVisible(id) && r.Width() > 300 && r.Width() < 800 &&
                          r.Height() > 80 && r.Height() < 480) {
                          box = r;
                          return true;
                      }
                  }
                  return false;
              });
              if (!shown)
                  return;
              const plat::Point at{box.left + (button.left + button.right) / 2,
                                   box.top + (button.top + button.bottom) / 2};
              plat::ui::InjectPen(plat::ui::PenAction::Down, at);
              plat::ui::InjectPen(plat::ui::PenAction::Up, at);
              m_answered = true;
          }) {}
    ~DialogAnswer() { Join(); }
    bool Join() {
        if (m_thread.joinable())
            m_thread.join();
        return m_answered;
    }

private:
    std::atomic<bool> m_answered{false};
    std::thread m_thread;
};

CSystemSetDlg* Page(HeadUnit& unit) {
    return static_cast<CSystemSetDlg*>(unit.Page(0, APPTYPE_SYSTEM_SET));
}

CSystemSetDlg* Open(HeadUnit& unit) {
    Switch(unit, 0, APPTYPE_SYSTEM_SET, APPTYPE_SETTINGS);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SYSTEM_SET);
    return Page(unit);
}

void SetClock(HeadUnit& unit, int year, int month, int day, int hour, int minute) {
    plat::SystemTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = 30;
    unit.Clock().SetUtc(t);
}

// The middle of a time field on the screen.
void TapField(HeadUnit& unit, int field) {
    static const plat::Point kCentre[SYSSET_TIME_TEXTS] = {{450, 202}, {545, 202}, {625, 202},
                                                           {425, 282}, {495, 282}, {590, 282}};
    unit.Tap(kCentre[field].x, kCentre[field].y);
    unit.Advance(60);
}

std::u16string ValueText(CSystemSetDlg* page) {
    char16_t* text = nullptr;
    page->m_pValueText->GetText(&text);
    return text ? std::u16string(text) : std::u16string();
}

bool Holds(const std::vector<uint8_t>& bytes, const std::vector<uint8_t>& part) {
    return std::search(bytes.begin(), bytes.end(), part.begin(), part.end()) != bytes.end();
}

}  // namespace

TEST(SystemSetPage, DatesStayRealAndSaveSetsTheClockOnlyAfterAnEdit) {
    RecordingTimeSetter clock;
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    SetClock(unit, 2024, 1, 31, 10, 15);
    CSystemSetDlg* page = Open(unit);
    ASSERT_TRUE(page->m_bSkinned);
    ASSERT_EQ(page->m_bySubPage, SYSSET_PAGE_TIME);
    EXPECT_EQ(page->m_iYear, 2024);
    EXPECT_EQ(page->m_iDay, 31);

    // January 31 plus a month: February 29 in a leap year, 28 otherwise, also in 2100.
    TapField(unit, SYSSET_FIELD_MONTH);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iMonth, 2);
    EXPECT_EQ(page->m_iDay, 29);
    for (int year : {2023, 2100}) {
        SCOPED_TRACE(year);
        SetClock(unit, year, 1, 31, 10, 15);
        TapButton(unit, page->m_pButton[SYSSET_TIME]);
        EXPECT_EQ(page->m_iYear, year);
        TapButton(unit, page->m_pButton[SYSSET_PLUS]);
        EXPECT_EQ(page->m_iMonth, 2);
        EXPECT_EQ(page->m_iDay, 28);
    }
    // The year keeps to 1970..2199; a February 29 going to a common year becomes the 28th.
    SetClock(unit, 2199, 2, 10, 10, 15);
    TapButton(unit, page->m_pButton[SYSSET_TIME]);
    TapField(unit, SYSSET_FIELD_YEAR);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iYear, 2199);
    SetClock(unit, 1970, 12, 31, 10, 15);
    TapButton(unit, page->m_pButton[SYSSET_TIME]);
    TapButton(unit, page->m_pButton[SYSSET_MINUS]);
    EXPECT_EQ(page->m_iYear, 1970);

    // Hours and minutes wrap both ways.
    SetClock(unit, 2024, 3, 10, 12, 59);
    TapButton(unit, page->m_pButton[SYSSET_TIME]);
    EXPECT_EQ(page->m_iHour, 12);
    EXPECT_EQ(page->m_bPM, 1);
    TapField(unit, SYSSET_FIELD_HOUR);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iHour, 1);
    TapButton(unit, page->m_pButton[SYSSET_MINUS]);
    EXPECT_EQ(page->m_iHour, 12);
    TapField(unit, SYSSET_FIELD_MINUTE);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iMinute, 0);
    TapButton(unit, page->m_pButton[SYSSET_MINUS]);
    EXPECT_EQ(page->m_iMinute, 59);

    // Untouched, the time page follows the clock every 2 s; once edited it holds.
    ASSERT_TRUE(clock.calls.empty());
    TapButton(unit, page->m_pButton[SYSSET_SAVE]);
    ASSERT_EQ(clock.calls.size(), 1u) << "12 PM is noon";
    EXPECT_EQ(clock.calls[0].hour, 12);
    EXPECT_EQ(clock.calls[0].minute, 59);
    EXPECT_EQ(clock.calls[0].second, 30);
    EXPECT_EQ(unit.Seat(0)->m_iCurrentApp, APPTYPE_SETTINGS) << "Save goes back";

    SetClock(unit, 2024, 3, 10, 0, 5);
    page = Open(unit);
    EXPECT_EQ(page->m_iHour, 12);
    EXPECT_EQ(page->m_bPM, 0);
    SetClock(unit, 2024, 3, 10, 0, 7);
    unit.Advance(2100);
    EXPECT_EQ(page->m_iMinute, 7) << "refreshed";
    TapField(unit, SYSSET_FIELD_MINUTE);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    SetClock(unit, 2024, 3, 10, 0, 9);
    unit.Advance(2100);
    EXPECT_EQ(page->m_iMinute, 8) << "an edit is not overwritten";
    TapButton(unit, page->m_pButton[SYSSET_SAVE]);
    ASSERT_EQ(clock.calls.size(), 2u) << "12 AM is midnight";
    EXPECT_EQ(clock.calls[1].hour, 0);
    EXPECT_EQ(clock.calls[1].minute, 8);
    EXPECT_EQ(clock.calls[1].day, 10);

    // Saving from the language page, with the time untouched, leaves the clock alone. The new
    // language reaches the homepage's title as it reaches its captions; the left list is left
    // inactive.
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_LANGUAGE]);
    plat::Rect row;
    ASSERT_EQ(page->m_pListbox[1]->GetItemRect(1, &row), RZ_OK);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(60);
    TapButton(unit, page->m_pButton[SYSSET_SAVE]);
    EXPECT_EQ(clock.calls.size(), 2u);
    CKernel* k = unit.Kernel();
    EXPECT_EQ(k->m_Settings.iLanguage, 1);
    uint8_t state = 0;
    uint8_t* disabled = &state;
    page->m_pListbox[0]->GetDisabled(&disabled);
    EXPECT_EQ(state, 1) << "Save leaves the left list inactive";
    Switch(unit, 0, APPTYPE_HOMEPAGE);
    auto* home = static_cast<CHomepageDlg*>(unit.Page(0, APPTYPE_HOMEPAGE));
    char16_t* title = nullptr;
    home->m_pTitle->GetText(&title);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(std::u16string(title), std::u16string(k->m_Language[MSG_HOMEPAGE]));
    EXPECT_NE(std::u16string(title), u"Home");
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_LANGUAGE]);
    ASSERT_EQ(page->m_pListbox[1]->GetItemRect(0, &row), RZ_OK);
    unit.Tap((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    unit.Advance(60);
    TapButton(unit, page->m_pButton[SYSSET_SAVE]);
    EXPECT_EQ(k->m_Settings.iLanguage, 0);

    // A clock that refuses is reported on the page.
    clock.refuse = true;
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_TIME]);
    TapField(unit, SYSSET_FIELD_DAY);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    {
        DialogAnswer ok(MessageDlg::OkButtonRect());
        TapButton(unit, page->m_pButton[SYSSET_SAVE]);
        EXPECT_TRUE(ok.Join());
    }
    EXPECT_EQ(clock.calls.size(), 3u);
    EXPECT_EQ(page->m_strLastMessage, SYSSET_MSG_TIME_FAIL);
    EXPECT_NE(unit.Log().find("the clock cannot be set (Operation not permitted)"),
              std::string::npos);
}

TEST(SystemSetPage, TheAccHoldLadderItsSetAndTheModulesAnswers) {
    RecordingTimeSetter clock;
    HeadUnitOptions options;
    options.powerModule = [](emu::PowerModuleSettings& pm) { pm.accHold = 600; };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    CKernel* k = unit.Kernel();
    EXPECT_EQ(k->m_Settings.iAccHold, 600) << "read from the module at start";
    CSystemSetDlg* page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_POWER]);
    ASSERT_EQ(page->m_bySubPage, SYSSET_PAGE_POWER);
    EXPECT_EQ(ValueText(page), u"600 sec");
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iAccHold, 1200);
    EXPECT_EQ(ValueText(page), u"20 min");
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iAccHold, 1800);
    TapButton(unit, page->m_pButton[SYSSET_PLUS]);
    EXPECT_EQ(page->m_iAccHold, 1800);

    {
        DialogAnswer ok(MessageDlg::OkButtonRect());
        TapButton(unit, page->m_pButton[SYSSET_SAVE]);
        EXPECT_TRUE(ok.Join());
    }
    EXPECT_EQ(page->m_strLastMessage, SYSSET_MSG_ACC_OK);
    EXPECT_TRUE(
        Holds(unit.PowerModule()->Received(), {0xFF, 0x55, 0x21, 0x03, 0x00, 0x07, 0x08, 0xEE}));
    EXPECT_EQ(unit.PowerModule()->AccHoldFrames(), std::vector<uint16_t>{1800});
    EXPECT_EQ(k->m_Settings.iAccHold, 1800);

    // Unchanged, Save sends nothing.
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_POWER]);
    TapButton(unit, page->m_pButton[SYSSET_SAVE]);
    EXPECT_EQ(unit.PowerModule()->AccHoldFrames().size(), 1u);

    // Without the module's acknowledge the old value is kept and saved.
    unit.PowerModule()->Update([](emu::PowerModuleSettings& pm) { pm.setReply = 0x00; });
    k->m_PowerModule.SetReplyWait(300);
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_POWER]);
    TapButton(unit, page->m_pButton[SYSSET_MINUS]);
    EXPECT_EQ(page->m_iAccHold, 1200);
    {
        DialogAnswer ok(MessageDlg::OkButtonRect());
        TapButton(unit, page->m_pButton[SYSSET_SAVE]);
        EXPECT_TRUE(ok.Join());
    }
    EXPECT_EQ(page->m_strLastMessage, SYSSET_MSG_ACC_FAIL);
    EXPECT_EQ(k->m_Settings.iAccHold, 1800);
    CKernelData stored;
    stored.SetBaseDir(unit.BaseDir());
    ASSERT_TRUE(stored.LoadSettings());
    EXPECT_EQ(stored.m_Settings.iAccHold, 1800);

    // Held, Plus steps again every quarter second; Reset gives 2 s.
    page = Open(unit);
    TapButton(unit, page->m_pButton[SYSSET_POWER]);
    TapButton(unit, page->m_pButton[SYSSET_RESET]);
    EXPECT_EQ(page->m_iAccHold, SYSSET_ACC_HOLD_RESET);
    const plat::Point plus = settingstest::ButtonCentre(page->m_pButton[SYSSET_PLUS], 0);
    unit.PenDown(plus.x, plus.y);
    unit.Advance(800);
    unit.PenUp(plus.x, plus.y);
    unit.Advance(60);
    EXPECT_GE(page->m_iAccHold, 5);
    EXPECT_LE(page->m_iAccHold, 7);

    // A module that stays silent leaves the user's value and the file alone.
    TapButton(unit, page->m_pButton[SYSSET_EXIT]);
    k->m_Settings.iAccHold = 900;
    ASSERT_TRUE(k->SaveSettings());
    page = Open(unit);
    unit.PowerModule()->Update(
        [](emu::PowerModuleSettings& pm) { pm.behaviour = emu::PowerBehaviour::Silent; });
    const std::vector<uint8_t> before = testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB));
    page->ReadPowerTimers();
    EXPECT_EQ(page->m_iAccHold, 900);
    EXPECT_EQ(k->m_Settings.iAccHold, 900);
    EXPECT_EQ(testsupport::ReadBytes(unit.File(SYS_SETTINGS_DB)), before);
}

TEST(SystemSetPage, DefaultRestoresAndSavesTheFactorySettingsAtOnce) {
    RecordingTimeSetter clock;
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) {
        s.iAudioLevel = 27;
        s.iLanguage = 2;
        s.iBrightness = 3;
    };
    options.prepare = [](const std::string& dir) {
        testsupport::WriteText(dir + "/" RADIO_SETTINGS_DB_NAME, "stations");
    };
    HeadUnit unit(options);
    ASSERT_TRUE(unit.Start());
    CKernel* k = unit.Kernel();
    ASSERT_EQ(k->m_Settings.iLanguage, 2);
    CSystemSetDlg* page = Open(unit);
    {
        DialogAnswer yes(CInfoDialog::ButtonRect(0));
        TapButton(unit, page->m_pButton[SYSSET_DEFAULT]);
        EXPECT_TRUE(yes.Join());
    }
    // What the next start reads, had the power gone now: the factory settings.
    const std::vector<uint8_t> factory = testsupport::ReadBytes(unit.File(SYS_SETTINGS_DEF));
    CKernelData next;
    next.SetBaseDir(unit.BaseDir());
    ASSERT_TRUE(next.LoadSettings());
    SYS_SETTINGS expected;
    ASSERT_TRUE(ReadSettingsBlock(factory, expected));
    EXPECT_EQ(next.m_Settings.iAudioLevel, expected.iAudioLevel);
    EXPECT_EQ(next.m_Settings.iLanguage, 0);
    EXPECT_EQ(next.m_Settings.iBrightness, expected.iBrightness);
    EXPECT_EQ(k->m_iVolume.load(), expected.iAudioLevel);
    EXPECT_FALSE(plat::PathExists(unit.File(RADIO_SETTINGS_DB_NAME)));
    EXPECT_EQ(page->m_iAccHold, SYSSET_ACC_HOLD_RESET) << "the page went back to its own";
    auto board = unit.Board().Log();
    EXPECT_NE(std::find_if(board.begin(), board.end(),
                           [](const std::string& l) {
                               return l.find("RestoreDefaults") != std::string::npos;
                           }),
              board.end());

    // No: nothing changes.
    k->m_Settings.iLanguage = 1;
    {
        DialogAnswer no(CInfoDialog::ButtonRect(1));
        TapButton(unit, page->m_pButton[SYSSET_DEFAULT]);
        EXPECT_TRUE(no.Join());
    }
    EXPECT_EQ(k->m_Settings.iLanguage, 1);
}

TEST(SystemSetPage, CalibrationStartsItsProgramOnceInItsFolder) {
    RecordingTimeSetter clock;
    HeadUnit unit;
    ASSERT_TRUE(unit.Start());
    CKernel* k = unit.Kernel();
    CSystemSetDlg* page = Open(unit);

    // No program chosen: the page says so.
    {
        DialogAnswer ok(MessageDlg::OkButtonRect());
        TapButton(unit, page->m_pButton[SYSSET_CALIBRATION]);
        EXPECT_TRUE(ok.Join());
    }
    EXPECT_EQ(page->m_strLastMessage, std::u16string(k->m_Language[MSG_PATH_EMPTY]));

    const std::string folder = unit.File("Touch Tool");
    std::filesystem::create_directories(folder);
    const std::string program = folder + "/calibrate";
    const std::string started = unit.File("started.txt");
    testsupport::WriteText(
        program, "#!/bin/sh\npwd >> \"" + started + "\"\necho \"$#\" >> \"" + started + "\"\n");
    ::chmod(program.c_str(), 0755);
    plat::StrCopy(k->m_AppPaths.szPath[APP_PATH_CALIBRATION], plat::Utf8ToUtf16(program));

    // Held for a second, it still starts once.
    const plat::Point at = settingstest::ButtonCentre(page->m_pButton[SYSSET_CALIBRATION], 0);
    unit.PenDown(at.x, at.y);
    unit.Advance(1000);
    unit.PenUp(at.x, at.y);
    unit.Advance(100);
    ASSERT_TRUE(unit.WaitFor(
        [&] { return settingstest::Count(testsupport::ReadText(started), "\n") >= 2; }));
    unit.Advance(300);
    EXPECT_EQ(testsupport::ReadText(started), folder + "\n0\n");
    EXPECT_EQ(unit.Seat(0)->m_bLaunched, 1);
    EXPECT_EQ(unit.Seat(0)->m_bCollapsed, 1) << "the seat makes room for the program";
}

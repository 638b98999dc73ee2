// The radio page in the whole head unit (tests/harness) against the board simulator's tuner on
// the program's clock: bands and presets on the screen, RadioSettings.db, save mode, seek with
// its waiting pop-up, auto-store and the stereo label. Pop-ups run on the test's thread (the
// user-interface thread); while one is open a driver thread moves the clock and taps.
#include "apps/radio/RadioDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "platform/text/Text.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/GfxTestSupport.h"

using harness::HeadUnit;
using harness::HeadUnitOptions;
using KvUserInterface::BUTTON_DISABLED;
using KvUserInterface::BUTTON_HIGHLIGHTED;

namespace {

uint64_t ProgramTick() {
    return plat::GetClock().TickMs();
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::vector<uint8_t> bytes;
    plat::ReadWholeFile(path, bytes);
    return bytes;
}

size_t CountLines(const std::vector<std::string>& log, const std::string& part) {
    return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const std::string& l) {
        return l.find(part) != std::string::npos;
    }));
}

size_t CountText(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// Pixels of `screen` in `rect` that are not those of `image` there.
int Differences(const plat::Surface& screen, const plat::Surface& image, const plat::Rect& rect) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            n += screen.PixelAt(x, y) != image.PixelAt(x, y);
    return n;
}

// The middle of the pop-up's button `index` (0..3) over `seat`.
plat::Point PopUpButton(int seat, int index) {
    const plat::Rect b = CInfoDialog::ButtonRect(index);
    const int left = (seat ? 800 : 0) + (800 - 636) / 2;
    const int top = ((seat ? 600 : 480) - 416) / 2;
    return plat::Point{left + (b.left + b.right) / 2, top + (b.top + b.bottom) / 2};
}

class RadioTest : public ::testing::Test {
protected:
    bool Start(HeadUnitOptions options = HeadUnitOptions()) {
        options.model.clear();  // no power module: the radio needs none
        m_unit = std::make_unique<HeadUnit>(std::move(options));
        EXPECT_TRUE(m_unit->Board().SetClock(&ProgramTick));
        const bool started = m_unit->Start();
        EXPECT_TRUE(started) << "exit status " << m_unit->StartStatus();
        return started;
    }

    void TearDown() override {
        StopDriver();
        m_unit.reset();
    }

    HeadUnit& Unit() { return *m_unit; }
    CRadioDlg* Radio(int seat) {
        return static_cast<CRadioDlg*>(m_unit->Page(seat, APPTYPE_RADIO));
    }

    void Open(int seat) {
        ASSERT_TRUE(
            plat::ui::SendMessage(m_unit->Main()->Id(), WM_SWITCH_APP, seat, APPTYPE_RADIO));
        plat::ui::InvalidateRect(m_unit->Seat(seat)->Id());
        m_unit->Advance(200);
        ASSERT_EQ(m_unit->Seat(seat)->m_iCurrentApp, APPTYPE_RADIO);
    }

    plat::Point ButtonCentre(int seat, int button) {
        plat::Rect r;
        Radio(seat)->m_pButton[button]->GetRect(&r);
        return plat::Point{(r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2};
    }

    void TapButton(int seat, int button) {
        const plat::Point p = ButtonCentre(seat, button);
        m_unit->Tap(p.x, p.y);
        m_unit->Advance(60);
    }

    // Cell `i` of the preset grid, in the middle of the library's cell (inside the page's own).
    void TapCell(int seat, int i) {
        const int x = 274 + 161 * (i % 3) + 78 + (seat ? 800 : 0);
        const int shift[3] = {42, 62, 82};
        const int y = 87 + 104 * (i / 3) + 49 + (seat ? shift[i / 3] : 0);
        m_unit->Tap(x, y);
        m_unit->Advance(60);
    }

    // The text of the left list's row: the tuned frequency.
    std::u16string Tuned(int seat) {
        void* data = nullptr;
        Radio(seat)->m_pListbox[0]->GetAt(&data, -1);
        if (!data)
            return std::u16string();
        char16_t name[256];
        std::memcpy(name, static_cast<uint8_t*>(data) + 2, sizeof name);
        return std::u16string(name, plat::StrLenN(name, 255));
    }

    std::string File(const char* name) { return m_unit->File(name); }
    std::vector<std::string> Calls() { return m_unit->Board().Log(); }

    uint8_t State(int seat, int button) {
        uint8_t s = 0xFF;
        Radio(seat)->m_pButton[button]->GetState(&s);
        return s;
    }

    // Runs `script` on a thread of its own while the test's thread waits on the head unit for
    // `done`: the script's clock steps and taps reach the pop-ups that hold the test's thread.
    // `first` runs on the test's thread once the driver runs: a tap that opens a pop-up.
    void Drive(const std::function<void()>& first, const std::function<void()>& script,
               const std::function<bool()>& done, int realMs = 20000) {
        m_driverDone = false;
        m_stopDriver = false;
        m_driver = std::thread([this, script, realMs] {
            script();
            m_driverDone = true;
            // Whatever the script left open still ends by its time-out rather than hanging.
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
            while (!m_stopDriver.load() && std::chrono::steady_clock::now() < until)
                Move(100, 100);
        });
        first();
        const bool finished =
            m_unit->WaitFor([&] { return m_driverDone.load() && done(); }, realMs);
        EXPECT_TRUE(finished) << RadioLog();
        StopDriver();
    }

    void StopDriver() {
        m_stopDriver = true;
        if (m_driver.joinable())
            m_driver.join();
    }

    std::string RadioLog() {
        std::string out;
        const std::string log = m_unit->Log();
        size_t start = 0;
        while (start < log.size()) {
            size_t end = log.find('\n', start);
            if (end == std::string::npos)
                end = log.size();
            const std::string line = log.substr(start, end - start);
            if (line.find("Radio") != std::string::npos || line.find("Info") != std::string::npos ||
                line.find("Scan") != std::string::npos || line.find("default") != std::string::npos)
                out += line + "\n";
            start = end + 1;
        }
        return out;
    }

    // Driver side: the program's clock on by `ms` in steps, each given a moment of real time.
    void Move(uint32_t ms, uint32_t step = 10) {
        for (uint32_t done = 0; done < ms; done += step) {
            m_unit->Clock().Advance(step);
            std::this_thread::sleep_for(std::chrono::microseconds(700));
        }
    }
    // Driver side: moves the clock until `what` holds (false after `limitMs` of it).
    bool MoveUntil(const std::function<bool()>& what, uint32_t limitMs, uint32_t step = 10) {
        for (uint32_t done = 0; done < limitMs; done += step) {
            if (what())
                return true;
            Move(step, step);
        }
        return what();
    }
    // Driver side: until pop-up number `n` (from 1) of the page shows.
    bool UntilPopUp(CRadioDlg* radio, int n, uint32_t limitMs = 30000) {
        return MoveUntil([&] { return radio->PopUpsShown() >= n && radio->PopUpsShowing() == 1; },
                         limitMs);
    }
    void DriverTap(plat::Point p) {
        plat::ui::InjectPen(plat::ui::PenAction::Down, p);
        Move(40);
        plat::ui::InjectPen(plat::ui::PenAction::Up, p);
        Move(40);
    }

    std::unique_ptr<HeadUnit> m_unit;
    std::thread m_driver;
    std::atomic<bool> m_driverDone{false};
    std::atomic<bool> m_stopDriver{false};
};

}  // namespace

TEST_F(RadioTest, BandsAndPresetsReachTheBoardAndTheFileOnTheFrontSeat) {
    ASSERT_TRUE(Start());
    EXPECT_FALSE(FileExists(File("RadioSettings.db").c_str()));
    Open(0);
    CRadioDlg* radio = Radio(0);
    CKernel* k = Unit().Kernel();
    // First start without the file: the defaults, FM1 preset 0 tuned through the seat.
    EXPECT_EQ(Tuned(0), u"87.50 MHz");
    EXPECT_EQ(State(0, RADIO_BTN_FM1), BUTTON_HIGHLIGHTED);
    auto calls = Calls();
    EXPECT_GE(CountLines(calls, "audio 2 SelectSource(1)"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 1 SetBand(0) = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 17 LoadChannel(0) = 0"), 1u);
    EXPECT_TRUE(FileExists(File("RadioMode.txt").c_str()));
    EXPECT_NE(k->m_dwResumeDone.load() & 0x400, 0u);

    TapButton(0, RADIO_BTN_FM1 + 3);  // AM1
    EXPECT_EQ(Tuned(0), u"522 KHz");
    EXPECT_EQ(Unit().Board().Get("band"), 0x10);
    EXPECT_EQ(k->m_Settings.iRadioBand, RADIO_BAND_AM1);
    EXPECT_EQ(State(0, RADIO_BTN_FM1 + 3), BUTTON_HIGHLIGHTED);
    EXPECT_NE(State(0, RADIO_BTN_FM1), BUTTON_HIGHLIGHTED);

    TapButton(0, RADIO_BTN_FM1 + 2);  // FM3
    EXPECT_EQ(Unit().Board().Get("band"), 0x02);
    Unit().Board().ClearLog();
    TapCell(0, 4);
    EXPECT_EQ(CountLines(Calls(), "radio 17 LoadChannel(4) = 0"), 1u);
    EXPECT_EQ(k->m_Settings.iFMChannel[2], 4);
    EXPECT_EQ(radio->CurrentPreset(RADIO_BAND_FM3), 4);

    // Save, then no tap for ten seconds: the buttons are out of reach, nothing is stored.
    // Save mode draws the background, the greyed buttons, the prompt and the lists: neither
    // the adjusting panel's picture, nor the frame, nor the volume number.
    plat::Surface background;
    ASSERT_TRUE(plat::LoadImageFile(File("Skin/Default/Radio/background.png"), background));
    const plat::Rect panelTop = plat::Rect::FromXYWH(30, 310, 220, 5);
    const plat::Rect topRule = plat::Rect::FromXYWH(10, 80, 780, 4);
    const plat::Rect volume = plat::Rect::FromXYWH(480, 40, 80, 35);
    const uint32_t volumeInk = 0xFF40FFFF;
    TapButton(0, RADIO_BTN_SAVE);
    EXPECT_EQ(radio->m_bSaveMode, 1);
    EXPECT_EQ(State(0, RADIO_BTN_FM1), BUTTON_DISABLED);
    plat::Surface screen = Unit().Screen(0);
    EXPECT_EQ(Differences(screen, background, panelTop), 0);
    EXPECT_EQ(Differences(screen, background, topRule), 0);
    EXPECT_EQ(testsupport::CountPixels(screen, volume, volumeInk), 0);
    TapButton(0, RADIO_BTN_FM1);
    EXPECT_EQ(k->m_Settings.iRadioBand, RADIO_BAND_FM3) << "a disabled band button does nothing";
    Unit().Advance(11000);
    EXPECT_EQ(radio->m_bSaveMode, 0);
    EXPECT_EQ(State(0, RADIO_BTN_FM1 + 2), BUTTON_HIGHLIGHTED);
    EXPECT_FALSE(FileExists(File("RadioSettings.db").c_str()));
    const plat::Surface saving = screen;
    screen = Unit().Screen(0);
    EXPECT_GT(Differences(screen, background, panelTop), 500);
    EXPECT_GT(Differences(screen, background, topRule), 1000);
    EXPECT_GT(testsupport::CountPixels(screen, volume, volumeInk), 10);
    plat::Rect mute;
    radio->m_pButton[RADIO_BTN_VOL_ICON]->GetRect(&mute);
    EXPECT_GT(Differences(saving, screen, mute), 50) << "the mute button was greyed with the rest";

    // Down twice from the bottom of the band wraps to 107.90 MHz; stored as FM3 preset 8.
    TapButton(0, RADIO_BTN_STEP_DOWN);
    TapButton(0, RADIO_BTN_STEP_DOWN);
    EXPECT_EQ(Tuned(0), u"107.90 MHz");
    TapButton(0, RADIO_BTN_SAVE);
    Unit().Board().ClearLog();
    TapCell(0, 8);
    EXPECT_EQ(radio->m_bSaveMode, 0);
    EXPECT_EQ(k->m_Settings.iFMChannel[2], 8);
    calls = Calls();
    EXPECT_EQ(CountLines(calls, "radio 19 Replay(8) = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "status 0 Commit()"), 1u);
    const std::vector<uint8_t> file = ReadBytes(File("RadioSettings.db"));
    ASSERT_EQ(file.size(), 90u);
    EXPECT_EQ(file[52], 0x2A);
    EXPECT_EQ(file[53], 0x26);
    EXPECT_EQ(file[0], 0x22);  // untouched FM: 8750
    EXPECT_EQ(file[1], 0x2E);
    EXPECT_EQ(file[54], 0x02);  // untouched AM: 554
    EXPECT_EQ(file[55], 0x2A);
    EXPECT_EQ(file[88], 0x02);
    EXPECT_EQ(file[89], 0x2A);
    // The board keeps the stored preset too: loading it again tunes 107.90.
    TapCell(0, 0);
    TapCell(0, 8);
    EXPECT_EQ(Unit().Board().Get("frequency"), 10790);
    EXPECT_EQ(Tuned(0), u"107.90 MHz");
}

TEST_F(RadioTest, AWrongSizedFileAndOutOfRangeSettingsAreMended) {
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) {
        s.iRadioBand = 9;
        s.iFMChannel[0] = 12;
        s.iAMChannel[1] = -3;
    };
    options.prepare = [](const std::string& base) {
        std::vector<uint8_t> bytes(60, 0x23);
        plat::WriteFileAtomic(base + "/RadioSettings.db", bytes);
    };
    ASSERT_TRUE(Start(options));
    CKernel* k = Unit().Kernel();
    EXPECT_EQ(k->m_Settings.iRadioBand, 0);
    EXPECT_EQ(k->m_Settings.iFMChannel[0], 0);
    EXPECT_EQ(k->m_Settings.iAMChannel[1], 0);
    // The mended values are on disk as well.
    {
        CKernelData saved;
        saved.SetBaseDir(Unit().BaseDir());
        ASSERT_TRUE(saved.LoadSettings());
        EXPECT_EQ(saved.m_Settings.iRadioBand, 0);
        EXPECT_EQ(saved.m_Settings.iFMChannel[0], 0);
    }
    Open(0);
    EXPECT_EQ(Tuned(0), u"87.50 MHz") << "a 60-byte file is not read";
    EXPECT_EQ(ReadBytes(File("RadioSettings.db")).size(), 60u) << "nor replaced before a store";
    EXPECT_NE(Unit().Log().find("RadioSettings.db refused (60 bytes)"), std::string::npos);
    TapButton(0, RADIO_BTN_SAVE);
    TapCell(0, 1);
    EXPECT_EQ(ReadBytes(File("RadioSettings.db")).size(), 90u);
}

TEST_F(RadioTest, AStoredFileShowsItsPresetsAndTheRearSeatGridHasItsOwnRows) {
    HeadUnitOptions options;
    options.settings = [](SYS_SETTINGS& s) {
        s.iRadioBand = RADIO_BAND_FM2;
        s.iFMChannel[1] = 5;
    };
    options.prepare = [](const std::string& base) {
        std::vector<uint8_t> bytes(90, 0);
        for (int i = 0; i < 90; i += 2) {
            const uint16_t v = i < 54 ? static_cast<uint16_t>(9000 + i * 10) : 999;
            bytes[i] = static_cast<uint8_t>(v >> 8);
            bytes[i + 1] = static_cast<uint8_t>(v & 0xFF);
        }
        plat::WriteFileAtomic(base + "/RadioSettings.db", bytes);
    };
    ASSERT_TRUE(Start(options));
    Open(1);
    // FM2 preset 5 is entry 14: 9000 + 280.
    EXPECT_EQ(Tuned(1), u"92.80 MHz");
    Unit().Board().ClearLog();
    // y 260 lies in the rear's first row (which is taller there), not in the second.
    Unit().Tap(800 + 350, 260);
    Unit().Advance(60);
    EXPECT_EQ(CountLines(Calls(), "radio 17 LoadChannel(0) = 0"), 1u);
    EXPECT_EQ(Unit().Kernel()->m_Settings.iFMChannel[1], 0);
    EXPECT_EQ(Tuned(1), u"91.80 MHz");
    TapButton(1, RADIO_BTN_FM1 + 4);  // AM2
    EXPECT_EQ(Tuned(1), u"999 KHz");
    EXPECT_EQ(Unit().Board().Get("band"), 0x11);
}

TEST_F(RadioTest, ASeekThatFindsAStationAtOnceOpensNoPopUpAndKeepsTheUsersMute) {
    HeadUnitOptions options;
    options.boardScript = "station 9110 stereo\nstation 9990\nseek-time 100\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    TapButton(0, RADIO_BTN_VOL_ICON);
    ASSERT_EQ(Unit().Kernel()->m_bMute.load(), 1);
    // The seek runs on its own thread: wait for the station it ends on, however busy the
    // machine is.
    TapButton(0, RADIO_BTN_SCAN_UP);
    EXPECT_TRUE(Unit().WaitFor([&] { return !radio->JobRunning() && Tuned(0) == u"91.10 MHz"; }))
        << "tuned " << plat::Utf16ToUtf8(Tuned(0));
    EXPECT_EQ(radio->MostPopUpsShowing(), 0);
    const auto calls = Calls();
    EXPECT_EQ(CountLines(calls, "radio 8 SeekUp() = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 13 StopSeek()"), 0u);
    EXPECT_EQ(Unit().Kernel()->m_bMute.load(), 1) << "the user's mute survives the seek";
    EXPECT_EQ(Unit().Board().Get("mute"), 1);
    EXPECT_EQ(radio->m_bMute, 1);

    // The stereo label follows the station, every two seconds.
    EXPECT_TRUE(Unit().WaitFor([&] { return radio->m_pStereoText->IsVisible() == 1; }));
    TapButton(0, RADIO_BTN_SCAN_UP);
    EXPECT_TRUE(Unit().WaitFor([&] { return !radio->JobRunning() && Tuned(0) == u"99.90 MHz"; }))
        << "tuned " << plat::Utf16ToUtf8(Tuned(0));
    EXPECT_TRUE(Unit().WaitFor([&] { return radio->m_pStereoText->IsVisible() == 0; }));
}

TEST_F(RadioTest, ASeekOnAnEmptyBandWaitsInAPopUpUntilTheBoardIsDone) {
    HeadUnitOptions options;
    options.boardScript = "station 9110\nseek-time 20000\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    TapButton(0, RADIO_BTN_FM1 + 3);  // AM1: no station
    TapButton(0, RADIO_BTN_VOL_ICON);
    ASSERT_EQ(Unit().Kernel()->m_bMute.load(), 1);
    std::atomic<bool> opened{false};
    Drive([&] { TapButton(0, RADIO_BTN_SCAN_DOWN); },
          [&] {
              opened = UntilPopUp(radio, 1, 15000);
              MoveUntil([&] { return !radio->JobRunning(); }, 30000);
          },
          [&] { return !radio->JobRunning(); });
    EXPECT_TRUE(opened.load());
    EXPECT_EQ(radio->PopUpsShowing(), 0);
    EXPECT_FALSE(radio->IsSeekWaiting());
    const std::string log = Unit().Log();
    EXPECT_NE(log.find("Still scanning..."), std::string::npos);
    EXPECT_NE(log.find("Scan done"), std::string::npos);
    EXPECT_NE(log.find("CInfoDialog::OnTimer( EXIT )"), std::string::npos);
    const auto calls = Calls();
    EXPECT_EQ(CountLines(calls, "radio 9 SeekDown() = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 13 StopSeek()"), 1u);
    EXPECT_EQ(Unit().Kernel()->m_bMute.load(), 1);
    EXPECT_EQ(Unit().Board().Get("mute"), 1);
    EXPECT_EQ(Tuned(0), u"522 KHz") << "read again from the board";
}

TEST_F(RadioTest, APenReleaseEndsTheSeekWaitAndAnotherSeekWaitsForTheFirst) {
    HeadUnitOptions options;
    options.boardScript = "seek-time 600000\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    const plat::Point frequency{40, 190};  // the tuned frequency, beside the pop-up
    const plat::Point scanUp = ButtonCentre(0, RADIO_BTN_SCAN_UP);
    std::atomic<int> waits{0};
    Drive([&] { TapButton(0, RADIO_BTN_SCAN_UP); },
          [&] {
              if (UntilPopUp(radio, 1))
                  ++waits;
              Move(300);
              // Down is ignored and up ends the wait.
              DriverTap(frequency);
              MoveUntil([&] { return !radio->JobRunning(); }, 30000);
              DriverTap(scanUp);
              if (UntilPopUp(radio, 2))
                  ++waits;
              // A key's seek while the pop-up shows: the first job closes it and is waited for.
              plat::ui::PostToUiThread([radio] { radio->KeyHandler(RADIO_KEY_SEEK_DOWN); });
              if (UntilPopUp(radio, 3))
                  ++waits;
              DriverTap(frequency);
              MoveUntil([&] { return !radio->JobRunning(); }, 30000);
          },
          [&] { return !radio->JobRunning(); });
    EXPECT_EQ(waits.load(), 3);
    EXPECT_EQ(radio->MostPopUpsShowing(), 1);
    EXPECT_FALSE(radio->IsSeekWaiting());
    const auto calls = Calls();
    EXPECT_EQ(CountLines(calls, "radio 8 SeekUp() = 0"), 2u);
    EXPECT_EQ(CountLines(calls, "radio 9 SeekDown() = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 13 StopSeek()"), 3u);
    EXPECT_EQ(Unit().Kernel()->m_bMute.load(), 0);
    EXPECT_EQ(Unit().Board().Get("mute"), 0);
}

TEST_F(RadioTest, AutoStoreFillsThePresetsWithTheStrongestStationsAndSavesOnce) {
    HeadUnitOptions options;
    options.boardScript =
        "scan-time 3000\n"
        "station 8800 strength 50\nstation 8950 strength 10\nstation 9110 strength 70\n"
        "station 9330 strength 60\nstation 9570 strength 20\nstation 9990 strength 80\n"
        "station 10110 strength 30\nstation 10250 strength 90\nstation 10570 strength 40\n"
        "station 10790 strength 5\nstation 1008\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    Drive([&] { TapButton(0, RADIO_BTN_AS); },
          [&] {
              UntilPopUp(radio, 1);
              DriverTap(PopUpButton(0, 0));  // yes
              MoveUntil([&] { return !radio->JobRunning(); }, 30000);
          },
          [&] { return !radio->JobRunning(); });
    const auto calls = Calls();
    EXPECT_EQ(CountLines(calls, "radio 11 StartAutoStore() = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 12 StopAutoStore()"), 0u);
    EXPECT_EQ(CountText(Unit().Log(), "CRadioDlg::SaveRadioSettings()"), 1u);
    const std::vector<uint8_t> file = ReadBytes(File("RadioSettings.db"));
    ASSERT_EQ(file.size(), 90u);
    // The nine strongest of the ten FM stations (10790 is the weakest), by frequency.
    const uint16_t expected[9] = {8800, 8950, 9110, 9330, 9570, 9990, 10110, 10250, 10570};
    for (int i = 0; i < 9; ++i) {
        const uint16_t v = static_cast<uint16_t>(file[i * 2] << 8 | file[i * 2 + 1]);
        EXPECT_EQ(v, expected[i]) << "preset " << i;
    }
    EXPECT_EQ(Tuned(0), u"88.00 MHz");
    EXPECT_EQ(Unit().Kernel()->m_bMute.load(), 0);
}

// Answered No, cancelled while it scans, or left until it times out.
class RadioAutoStoreEnd : public RadioTest, public ::testing::WithParamInterface<int> {};

TEST_P(RadioAutoStoreEnd, StopsTheScanReadsThePresetsOnceAndWritesTheFileOnce) {
    const int how = GetParam();
    HeadUnitOptions options;
    options.boardScript = "scan-time 100000000\nstation 9110\nstation 9990\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    Unit().Board().ClearLog();
    Drive([&] { TapButton(0, RADIO_BTN_AS); },
          [&] {
              UntilPopUp(radio, 1);
              if (how == 0) {
                  DriverTap(PopUpButton(0, 1));  // no
                  MoveUntil([&] { return !radio->JobRunning(); }, 30000);
                  return;
              }
              DriverTap(PopUpButton(0, 0));  // yes
              // The waiting pop-up takes the question's place.
              UntilPopUp(radio, 2);
              Move(2500);
              if (how == 1)
                  DriverTap(PopUpButton(0, 3));  // cancel
              MoveUntil([&] { return !radio->JobRunning(); }, 130000, 100);
          },
          [&] { return !radio->JobRunning(); }, 30000);
    const auto calls = Calls();
    const size_t reads = CountLines(calls, "radio 17 LoadChannel(");
    EXPECT_EQ(CountText(Unit().Log(), "CRadioDlg::SaveRadioSettings()"), 1u);
    EXPECT_EQ(ReadBytes(File("RadioSettings.db")).size(), 90u);
    if (how == 0) {
        EXPECT_EQ(CountLines(calls, "radio 11 StartAutoStore()"), 0u);
        EXPECT_EQ(reads, 0u) << "presets unchanged";
        EXPECT_EQ(Tuned(0), u"87.50 MHz");
        EXPECT_EQ(Unit().Log().find("nothing in thread"), std::string::npos)
            << "answered, not timed out";
        return;
    }
    EXPECT_EQ(CountLines(calls, "radio 11 StartAutoStore() = 0"), 1u);
    EXPECT_EQ(CountLines(calls, "radio 12 StopAutoStore() = 0"), 1u);
    EXPECT_EQ(reads, 10u) << "nine presets and the tuning of the first, once";
    if (how == 2) {
        EXPECT_NE(Unit().Log().find("CInfoDialog::OnTimer( TIMEOUT )"), std::string::npos);
    }
    EXPECT_EQ(Unit().Kernel()->m_bMute.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Ways, RadioAutoStoreEnd, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0   ? "AnsweredNo"
                                                : info.param == 1 ? "Cancelled"
                                                                  : "TimedOut");
                         });

TEST_F(RadioTest, AnUnreadableStatusEndsTheSeekWaitAndTheLabelStaysHiddenOnAm) {
    HeadUnitOptions options;
    options.boardScript = "station 9110 stereo\nseek-time 600000\n";
    ASSERT_TRUE(Start(options));
    Open(0);
    CRadioDlg* radio = Radio(0);
    Drive([&] { TapButton(0, RADIO_BTN_SCAN_UP); },
          [&] {
              UntilPopUp(radio, 1);
              Unit().Board().Command("tuner-fault status");
              MoveUntil([&] { return !radio->JobRunning(); }, 30000);
          },
          [&] { return !radio->JobRunning(); });
    EXPECT_FALSE(radio->IsSeekWaiting());
    Unit().Board().Command("tuner-fault none");
    Unit().Board().Command("seek-time 0");
    // Tuned to the stereo station the label shows; on an AM band it goes.
    TapButton(0, RADIO_BTN_SCAN_UP);
    ASSERT_TRUE(Unit().WaitFor([&] { return !radio->JobRunning(); }));
    EXPECT_TRUE(Unit().WaitFor([&] { return radio->m_pStereoText->IsVisible() == 1; }));
    TapButton(0, RADIO_BTN_FM1 + 3);
    EXPECT_TRUE(Unit().WaitFor([&] { return radio->m_pStereoText->IsVisible() == 0; }));
    Unit().WaitFor([] { return false; }, 300);
    EXPECT_EQ(radio->m_pStereoText->IsVisible(), 0);
}

TEST_F(RadioTest, APageWhoseSkinFailsIsDestroyedAtOnce) {
    ASSERT_TRUE(Start());
    char16_t saved[sizeof(pCfgData->m_CfgSettings.szSkin) / sizeof(char16_t)];
    std::memcpy(saved, pCfgData->m_CfgSettings.szSkin, sizeof saved);
    plat::StrCopy(pCfgData->m_CfgSettings.szSkin, u"Nothing");
    const auto started = std::chrono::steady_clock::now();
    {
        CRadioDlg page;
        EXPECT_FALSE(page.SetSkin(0, Unit().Main()->Id(), APPTYPE_RADIO));
    }
    std::memcpy(pCfgData->m_CfgSettings.szSkin, saved, sizeof saved);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    // A page with its stereo thread running goes as quickly: the thread's wait wakes on stop.
    const auto again = std::chrono::steady_clock::now();
    {
        CRadioDlg page;
        EXPECT_TRUE(page.SetSkin(0, Unit().Main()->Id(), APPTYPE_RADIO));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(2));
}

// The whole head unit in the test's process: a base folder made from the build's run folder,
// the power-module emulator on a pseudo-terminal behind "com2", the board simulator as the
// board module, a scripted machine for drives, the headless window layer and a manual clock.
// The test's thread is the user-interface thread: the harness pumps it while the clock moves,
// taps and drags at desktop co-ordinates, and when a test has failed it keeps pictures of both
// screens (<build>/test-pictures/<suite>.<test>-front.png and -rear.png).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/kernel/SysSettings.h"
#include "core/shell/MainCtrlDlg.h"
#include "core/shell/VelkoraApp.h"
#include "devices/BoardSimControl.h"
#include "devices/PowerModuleEmulator.h"
#include "platform/gfx/Surface.h"
#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"
#include "tests/support/ScriptedDrives.h"
#include "tests/support/TestSupport.h"

class CKernel;
class CMainCtrlDlg;
class CSeatCtrlDlg;
class CVelkoraAppDlg;

namespace harness {

// The build's run folder: generated skin, language files, settings defaults.
std::string RunFolder();
// Where the built programs lie.
std::string BinFolder();

// The build's skins in `dir`/Skin for one base folder: its files linked, but for each skin's
// Homepage folder, which the unit writes into and which is copied (without a "homepage.db"),
// so that no test or bench shares a saved file with another or leaves one in the run folder.
void MakeSkinFolder(const std::string& dir);
// A base folder for the program in `dir`: the skins as above, the run folder's language files
// (linked) and settings defaults (copied), the log switched on, and a session folder of its
// own ("session", for the single-copy rule).
void MakeBaseFolder(const std::string& dir);
// What the program needs in its environment to run in such a folder without touching the
// machine's sound card, messaging program or other sessions: NAME=value strings.
std::vector<std::string> BaseFolderEnvironment(const std::string& dir);

struct HeadUnitOptions {
    // What the power module answers as its model; empty: no power module ("edevp.txt").
    std::string model = "TRX4100P";
    // Further settings of the power-module emulator (silence, garbage...).
    std::function<void(emu::PowerModuleSettings&)> powerModule;
    // False: no board module can be loaded.
    bool boardModule = true;
    // Simulator commands (devices/BoardSim.h) before start.
    std::string boardScript;
    // Changes to the factory settings, saved as SysSettings.db before start.
    std::function<void(SYS_SETTINGS&)> settings;
    // Anything else to put into the base folder before start.
    std::function<void(const std::string& baseDir)> prepare;
};

class HeadUnit {
public:
    explicit HeadUnit(HeadUnitOptions options = HeadUnitOptions());
    // Ends the program if it still runs (as a close) and gives the process back its clock,
    // drives and working folder.
    ~HeadUnit();
    HeadUnit(const HeadUnit&) = delete;
    HeadUnit& operator=(const HeadUnit&) = delete;

    // Start-up, then the ticks until the front seat was shown and both seats have painted.
    // False when start-up failed (StartStatus() has the exit status) or another copy runs.
    bool Start();
    int StartStatus() const { return m_startStatus; }
    bool Running() const;

    CVelkoraApp& App() { return m_app; }
    CMainCtrlDlg* Main() const;
    CSeatCtrlDlg* Seat(int seat) const;
    CVelkoraAppDlg* Page(int seat, int appType) const;
    CKernel* Kernel() const;

    // Handles what is ready on the user-interface thread.
    void Pump();
    // Moves the clock on in steps of 10 ms, pumping after each.
    void Advance(uint32_t ms);
    // Pumps (and moves the clock by a tick each round) until `done` is true or `realMs` of
    // real time have passed: for what another thread (the polling thread, the emulator)
    // does at its own pace.
    bool WaitFor(const std::function<bool()>& done, int realMs = 5000);

    // Pen at desktop co-ordinates, pumped.
    void PenDown(int x, int y);
    void PenMove(int x, int y);
    void PenUp(int x, int y);
    void Tap(int x, int y);
    void Drag(int x0, int y0, int x1, int y1, int steps = 5);

    // What screen 0 (front) or 1 (rear) shows.
    plat::Surface Screen(int index) const;
    // Both screens as PNGs named after `name` in the pictures folder; the paths written.
    std::vector<std::string> SaveScreens(const std::string& name) const;

    // The end of the run as the user closing it, or as the session ending (SIGTERM).
    void Close();
    void EndSession();
    // How the run ended (also once the main dialog is gone).
    MainEnd HowEnded() const;

    emu::BoardSimControl& Board() { return m_board; }
    emu::PowerModuleEmulator* PowerModule() { return m_power.get(); }
    testsupport::ScriptedDrives& Drives() { return *m_drives; }
    plat::ManualClock& Clock() { return m_clock; }

    const std::string& BaseDir() const { return m_base.Path(); }
    std::string File(const std::string& name) const { return m_base.File(name); }
    // The program's log so far.
    std::string Log() const;
    std::vector<plat::ui::MessageBoxRecord> TakeBoxes();

private:
    void PrepareBaseFolder();
    void Finish();

    HeadUnitOptions m_options;
    testsupport::TempDir m_base;
    std::unique_ptr<testsupport::ScopedCwd> m_cwd;
    std::unique_ptr<testsupport::ScriptedDrives> m_drives;
    plat::ManualClock m_clock;
    emu::BoardSimControl m_board;
    std::unique_ptr<emu::PowerModuleEmulator> m_power;
    std::vector<plat::ui::MessageBoxRecord> m_boxes;
    CVelkoraApp m_app;
    int m_startStatus = -1;
    bool m_uiStarted = false;
    bool m_finished = false;
    MainEnd m_ended = MainEnd::None;
    std::string m_oldRuntimeDir;
};

}  // namespace harness

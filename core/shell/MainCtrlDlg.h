// The main dialog: a window that is never seen. Its creation brings the head unit up (kernel,
// splash, messaging link, both seats, the rear backdrop, both page sets, timers and threads);
// afterwards it is the hub of the user-interface thread: its 30 ms timer drives the kernel and
// both seats, it takes every application switch and settles it between the two seats, routes
// media, volume and key messages, keeps the front seat's application locks, and replays the
// radio after the system has slept. Its end saves the state of the run.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "core/shell/LockTable.h"
#include "core/shell/SkypeClient.h"
#include "core/ui/AppType.h"
#include "platform/ui/Ui.h"

class CVelkoraAppDlg;
class CSeatCtrlDlg;
class CSeatBkgDlg;
class CMainCtrlDlg;

// The title by which a second copy of the program finds the first.
#define MAIN_DIALOG_TITLE u"Velkora v2"

// The main dialog's timers.
#define MAIN_TIMER_ID 1
#define MAIN_TIMER_MS 30
#define MIXER_REFRESH_MS 5000

// What the restore of the last run's applications plugs in (it is built on its own). The
// thread procedure runs on a worker thread from start-up; it waits with
// CMainCtrlDlg::WaitRestoreStop, which returns true once the program is ending, and then
// returns. The two savers run at every orderly end, before the settings are saved.
struct RESTORE_HOOKS {
    void (*pfnActivateApp)(CMainCtrlDlg* dlg) = nullptr;
    void (*pfnSaveMediaPosition)(CMainCtrlDlg* dlg) = nullptr;
    void (*pfnSaveAppStatus)(CMainCtrlDlg* dlg) = nullptr;
};
void SetRestoreHooks(const RESTORE_HOOKS& hooks);

// How the run ends.
enum class MainEnd {
    None,        // still running
    Close,       // closed or cancelled: the head unit is switched off
    EndSession,  // the session ends (log-off, shut down, a termination signal)
};

class CMainCtrlDlg : public plat::ui::Window {
public:
    CMainCtrlDlg();
    // Destroys the seats, the backdrop, the pages, the volume overlay, the mixer holder, the
    // configuration data and the kernel, in that order.
    ~CMainCtrlDlg() override;

    // Start-up. 0 when the head unit runs; otherwise the process's exit status, after the
    // failure's box.
    int Create();
    // The end of the run, after the message loop: worker threads are stopped and joined,
    // then the state is saved by the way the run ended. Also run by the destructor.
    void Shutdown();
    // Asks the run to end as the user closing it would (any thread).
    void RequestClose();
    MainEnd Ended() const { return m_end; }

    // Start-up's page sets; false ends start-up.
    bool CreateApplications();

    // The 30 ms tick.
    void OnMainTick();
    // A test or the program's screenshot mode runs this once, at the end of the first tick,
    // when the front seat has been shown and both seats have been painted.
    void SetStartedCallback(std::function<void()> callback) { m_onStarted = std::move(callback); }
    bool IsStarted() const { return m_bStarted; }

    // Front-seat application locks.
    void SetDefaultLocks();
    // The lock byte of the first row for `appType`; false (and 0) when no row has it.
    bool IsAppLocked(int appType, uint8_t* locked) const;
    void ApplyLocks();
    // A volume arrived at `letter`: a good "LockInfo.db" in its root replaces the table.
    void UpdateLockInfo(char16_t letter);

    // The restore thread's wait: up to `ms` on the program's clock; true once the program is
    // ending (the thread then returns).
    bool WaitRestoreStop(uint32_t ms);
    // True while the restore thread is in that wait, its end already read from the clock: a
    // test that jumps the clock waits for this first, or the jump is lost before the wait.
    bool RestoreWaiting() const { return m_bRestoreWaiting; }

    // Brings the head unit's windows to the front (a second copy asked).
    void BringToFront();

    CSeatCtrlDlg* Seat(int seat) const;
    CVelkoraAppDlg* Page(int seat, int appType) const;
    CSeatBkgDlg* Backdrop() const { return m_pBkgDlg.get(); }
    // The connector; it lives until the workers are stopped at the end.
    CSkypeClient& Skype() { return *m_Skype; }

    // Fields of the dialog.
    LOCK_TABLE m_LockTable;
    uint8_t app1FromFront = 0;
    int32_t lastMixerRefresh = 0;
    uint8_t firstTick = 1;

protected:
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;
    void OnTimer(uint32_t timerId) override;
    void OnClose() override;

private:
    int OnCreate();
    int Fail(const char16_t* text);
    bool CreateFrontSet();
    bool CreateRearSet();
    bool MakePage(int seat, int appType);
    bool SkinPage(int seat, int appType, uint8_t showParam, bool visible);

    void OnCancel();
    void OnQueryEndSession();
    void EndRun(MainEnd how);
    void SaveOnCancel();
    void SaveOnEndSession();
    void StopWorkers();
    void DestroyAll();

    intptr_t OnSwitchApp(uintptr_t wParam, intptr_t lParam);
    void OnMediaMessage(uint32_t msg, uintptr_t wParam);
    void OnVolumeChanged(uintptr_t wParam);
    void OnSkypeRinging();
    void OnDriveCheck();
    void OnResume();

    std::unique_ptr<CSeatCtrlDlg> m_pFrontDlg;
    std::unique_ptr<CSeatCtrlDlg> m_pRearDlg;
    std::unique_ptr<CSeatBkgDlg> m_pBkgDlg;
    std::unique_ptr<CVelkoraAppDlg> m_pPages[2][APPTYPE_COUNT];
    std::optional<CSkypeClient> m_Skype;

    MainEnd m_end = MainEnd::None;
    bool m_bCreated = false;
    bool m_bShutDown = false;
    bool m_bStarted = false;
    bool m_bKeysInstalled = false;
    std::function<void()> m_onStarted;
    std::chrono::steady_clock::time_point m_tStart;

    // Storage volumes present, as "letter|root", to see new ones arrive.
    std::set<std::string> m_Volumes;
    uint32_t m_dwLastDriveCheck = 0;
    uint64_t m_qwSuspendedMs = 0;

    std::thread m_RestoreThread;
    std::mutex m_restoreMutex;
    std::condition_variable m_restoreCv;
    std::atomic<bool> m_bStopRestore{false};
    std::atomic<bool> m_bRestoreWaiting{false};
};

// The main dialog once start-up has reached its timer; null before.
extern CMainCtrlDlg* g_pMainDlg;

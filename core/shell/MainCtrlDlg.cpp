#include "core/shell/MainCtrlDlg.h"

#include <cstdlib>
#include <new>

#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/ProcessUtil.h"
#include "core/shell/KeyFunctions.h"
#include "core/shell/RZSplash.h"
#include "core/shell/SeatBkgDlg.h"
#include "core/shell/SeatConflict.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/shell/VolumeBar.h"
#include "core/ui/AppFactory.h"
#include "core/ui/VelkoraAppDlg.h"
#include "core/ui/WindowMessages.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Drives.h"
#include "platform/sys/EndSignals.h"
#include "platform/sys/Suspend.h"
#include "platform/text/Text.h"

CMainCtrlDlg* g_pMainDlg = nullptr;

namespace {

RESTORE_HOOKS g_restoreHooks;
// The Skype notice is shown once per process.
bool g_bSkypeNoticeShown = false;

// Front page set in the order of construction: type, factory kind (-1: made by its own
// constructor), the group it is timed with in the log (null: timed with the next one).
struct PAGE_STEP {
    int appType;
    int kind;
    const char* label;
};
const PAGE_STEP kFrontPages[] = {
    {APPTYPE_MUSIC, APPKIND_MUSIC, "m_pMusicDlg"},
    {APPTYPE_MOVIE, APPKIND_MOVIE, "m_pMovieDlg"},
    {APPTYPE_PHOTO, APPKIND_PHOTO, "m_pPhotoDlg"},
    {APPTYPE_AUDIO_SET, APPKIND_SOUND_EFFECT, "m_pSoundEffectDlg"},
    {APPTYPE_RADIO, APPKIND_RADIO, "m_pRadioDlg"},
    {APPTYPE_INTERNET_SERVICE, APPKIND_INTERNET_SERVICE, nullptr},
    {APPTYPE_DISPLAY_SET, APPKIND_DISPLAY, nullptr},
    {APPTYPE_DISPLAY_MANU, APPKIND_DISPLAY, "m_pDisplayDlg"},
    {APPTYPE_SETTINGS, -1, nullptr},
    {APPTYPE_LIGHT_SETTINGS, -1, "m_pSettingDlg"},
    {APPTYPE_SYSTEM_SET, APPKIND_SYSTEM_SET, "m_pSystemSetDlg"},
    {APPTYPE_APPLICATION_SET, APPKIND_APPLICATION_SET, "m_pApplicationSetDlg"},
    {APPTYPE_ABOUT, -1, "m_pAboutDlg"},
    {APPTYPE_PHONE, APPKIND_PHONE, "m_pPhoneDlg"},
    {APPTYPE_AUX, APPKIND_AUX, "m_pAUXDlg"},
    {APPTYPE_AUX2, APPKIND_AUX, "m_pAUXDlg2"},
    {APPTYPE_KB, APPKIND_KB, "m_pKBDlg"},
    {APPTYPE_DUAL_SET, APPKIND_DUAL_SET, "m_pDualSetDlg"},
};

// Where each seat registers its pages; the homepage-set slot is registered empty.
const int kFrontRegistration[] = {0,  1,  2,  3,  20, 4,  13, 21, 35, 8, 34,
                                  26, 29, 28, 31, 7,  10, 11, 30, 32, 33};
// The front pages' skins, in order, after registration.
const int kFrontSkinOrder[] = {1, 2, 3, 20, 4, 13, 21, 8, 34, 35, 28, 29, 31, 7, 10, 11, 32, 30};
// The rear set is made and skinned page by page, in this order.
const int kRearOrder[] = {0, 1, 2, 3, 20, 4, 13, 21, 35, 8, 34, 28, 29, 31, 7, 10, 11, 30, 32};
// Destruction order of each set.
const int kFrontDestroyOrder[] = {0,  8,  34, 26, 1, 2,  3,  20, 4,  13, 21,
                                  35, 28, 29, 31, 7, 10, 11, 32, 33, 30};
const int kRearDestroyOrder[] = {0,  8,  34, 26, 1,  2, 3,  20, 4,  13,
                                 21, 35, 28, 29, 31, 7, 10, 11, 30, 32};

// The parameter a page is first shown with: the pages opened on another's behalf start with
// their own type.
uint8_t FirstShowParam(int appType) {
    switch (appType) {
        case APPTYPE_PHONE:
        case APPTYPE_AUX:
        case APPTYPE_AUX2:
        case APPTYPE_DUAL_SET:
        case APPTYPE_KB:
        case APPTYPE_APPLICATION_SET:
        case APPTYPE_ABOUT:
            return static_cast<uint8_t>(appType);
        default:
            return 0;
    }
}

// Milliseconds since `from`, for the start-up timings.
long long MsSince(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 from)
        .count();
}

IHWAudio* WindowsMixer() {
    CHWAudioHolder* holder = CHWAudioHolder::GetInstance();
    return holder ? holder->m_pAudio[1].get() : nullptr;
}

}  // namespace

void SetRestoreHooks(const RESTORE_HOOKS& hooks) {
    g_restoreHooks = hooks;
}

CMainCtrlDlg::CMainCtrlDlg() {
    SetDefaultLockTable(m_LockTable);
    m_Skype.emplace();
    m_Skype->m_pfnLog = WriteLog;
}

CMainCtrlDlg::~CMainCtrlDlg() {
    Shutdown();
}

CSeatCtrlDlg* CMainCtrlDlg::Seat(int seat) const {
    return seat == 0 ? m_pFrontDlg.get() : seat == 1 ? m_pRearDlg.get() : nullptr;
}

CVelkoraAppDlg* CMainCtrlDlg::Page(int seat, int appType) const {
    if ((seat != 0 && seat != 1) || appType < 0 || appType >= APPTYPE_COUNT)
        return nullptr;
    return m_pPages[seat][appType].get();
}

// ---- Start-up -------------------------------------------------------------------------------

int CMainCtrlDlg::Create() {
    int rc = OnCreate();
    m_bCreated = true;
    return rc;
}

int CMainCtrlDlg::Fail(const char16_t* text) {
    WriteLog("%s", plat::Utf16ToUtf8(text).c_str());
    plat::ui::MessageBox(Id(), text, u"ERROR", plat::ui::kMbIconError);
    // Start-up cannot go on: the run ends with a failure status, and nothing is saved.
    return EXIT_FAILURE;
}

int CMainCtrlDlg::OnCreate() {
    lastMixerRefresh = 0;
    plat::RemoveFile("VUV-RZAudio.log");
    m_tStart = std::chrono::steady_clock::now();
    // Read while the kernel starts.
    CRZSplash::PrepareSplashScreen();
    CleanupLogs();
    plat::RemoveFile("DVD.log");
    plat::RemoveFile("log.mem.txt");
    WriteLog("CMainCtrlDlg::OnCreate()");

    // A window with no area: what the user sees are the seats.
    plat::ui::CreateParams params;
    params.rect = plat::Rect{0, 0, 0, 0};
    params.title = MAIN_DIALOG_TITLE;
    if (!Window::Create(params))
        return EXIT_FAILURE;
    plat::ui::SetQuitTarget(Id());

    CKernel* k = CKernel::GetInstance();
    if (!k)
        return Fail(u"Initial Velkora Kernel Object Error. (#1)");
    if (!k->Create())
        return Fail(u"Initial Velkora Kernel Object Error. (#2)");
    // The key table is filled by Initial once the model is known.
    InstallKeyFunctions(Id());
    m_bKeysInstalled = true;
    CRZSplash::ShowSplashScreen(Id());
    if (!k->Initial())
        return Fail(u"Initial Velkora Kernel Object Error. (#2-1)");

    if (m_Skype->Discover(Id()))
        plat::ui::SetTimer(Id(), SKYPE_TIMER_ID, SKYPE_TIMER_MS);

    m_pFrontDlg.reset(new (std::nothrow) CSeatCtrlDlg());
    WriteLog("m_pFrontDlg: 0x%p", static_cast<void*>(m_pFrontDlg.get()));
    if (!m_pFrontDlg)
        return Fail(u"Create Velkora Error.");
    m_pFrontDlg->Create();
    if (!m_pFrontDlg->Initial(0, Id()))
        return Fail(u"Initial Velkora Error.");
    m_pRearDlg.reset(new (std::nothrow) CSeatCtrlDlg());
    if (!m_pRearDlg)
        return Fail(u"Create Velkora Error.");
    m_pRearDlg->Create();
    if (!m_pRearDlg->Initial(1, Id()))
        return Fail(u"Initial Velkora Error.");
    m_pBkgDlg.reset(new (std::nothrow) CSeatBkgDlg());
    if (!m_pBkgDlg)
        return Fail(u"Create Velkora Error.");
    m_pBkgDlg->Create();
    SetKeySeats(m_pFrontDlg.get(), m_pRearDlg.get());

    k->SetVolume(k->m_Settings.iAudioLevel);
    SetDefaultLocks();
    k->WriteRegistryStatus();
    if (!CreateApplications())
        return Fail(u"Create Applications of Velkora Error.");

    g_pMainDlg = this;
    plat::ui::SetTimer(Id(), MAIN_TIMER_ID, MAIN_TIMER_MS);
    if (k->m_Settings.iCurrentApp == APPTYPE_HOMEPAGE)
        m_pFrontDlg->RestoreStereo();

    // What is there at start did not arrive; and sleeping before start is not a resume.
    m_dwLastDriveCheck = plat::GetTickCount();
    for (const plat::DriveInfo& d : plat::Drives().List()) {
        if ((d.type == plat::DRIVE_REMOVABLE || d.type == plat::DRIVE_FIXED) && d.letter >= u'E')
            m_Volumes.insert(std::string(1, static_cast<char>(d.letter)) + "|" + d.root);
    }
    m_qwSuspendedMs = plat::SuspendedMs();

    if (g_restoreHooks.pfnActivateApp) {
        m_bStopRestore = false;
        m_RestoreThread = std::thread([this, proc = g_restoreHooks.pfnActivateApp] { proc(this); });
    }
    k->SetVolume(254);
    k->StartPolling();
    WriteLog("OnCreate() Total: %lld ms", MsSince(m_tStart));
    // The front seat stays hidden until the first tick; its page is drawn ahead meanwhile, while
    // the user-interface thread waits for that tick anyway.
    plat::ui::PostToUiThread([this] {
        if (g_pMainDlg == this && !m_bStarted && m_pFrontDlg)
            m_pFrontDlg->DrawPageAhead();
    });

    StartProgram(HELPER_SCREEN_KB, {}, nullptr);
    StartProgram(HELPER_SYSTEM_TRAY, {}, nullptr);
    return 0;
}

bool CMainCtrlDlg::MakePage(int seat, int appType) {
    std::unique_ptr<CVelkoraAppDlg>& slot = m_pPages[seat][appType];
    int kind = APPKIND_OWN;
    for (const PAGE_STEP& step : kFrontPages) {
        if (step.appType == appType) {
            kind = step.kind;
            break;
        }
    }
    // Every page is built into the program: one that cannot be made, or has no maker, ends the
    // start-up.
    bool made =
        kind == APPKIND_OWN ? CreateOwnPageDlg(slot, appType) : CreateApplicationDlg(slot, kind);
    if (!made)
        WriteLog("CreateApplications: the page for %d cannot be made", appType);
    return made;
}

bool CMainCtrlDlg::SkinPage(int seat, int appType, uint8_t showParam, bool visible) {
    CVelkoraAppDlg* page = m_pPages[seat][appType].get();
    if (!page)
        return true;
    if (!page->SetSkin(static_cast<uint8_t>(seat), Id(), static_cast<uint8_t>(appType))) {
        WriteLog("CreateApplications: SetSkin(%d, %d) failed", seat, appType);
        return false;
    }
    page->SetOwner(Seat(seat));
    page->Show(visible, showParam);
    return true;
}

bool CMainCtrlDlg::CreateFrontSet() {
    auto begin = std::chrono::steady_clock::now();
    long long total = 0;
    if (!MakePage(0, APPTYPE_HOMEPAGE) || !SkinPage(0, APPTYPE_HOMEPAGE, 255, true))
        return false;
    total += MsSince(begin);
    WriteLog("m_pFrontHPageDlg: %lld ms", MsSince(begin));

    begin = std::chrono::steady_clock::now();
    for (const PAGE_STEP& step : kFrontPages) {
        if (!MakePage(0, step.appType))
            return false;
        if (step.label) {
            long long ms = MsSince(begin);
            total += ms;
            WriteLog("%s: %lld ms", step.label, ms);
            begin = std::chrono::steady_clock::now();
        }
    }
    // The date and time page shows the clock the key opens; it lives on the front seat only.
    if (!MakePage(0, APPTYPE_DATETIME) || !SkinPage(0, APPTYPE_DATETIME, APPTYPE_DATETIME, false))
        return false;
    WriteLog("Total: %lld ms", total);

    for (int app : kFrontRegistration)
        m_pFrontDlg->SetApplication(static_cast<uint8_t>(app), m_pPages[0][app].get());
    for (int app : kFrontSkinOrder) {
        if (!SkinPage(0, app, FirstShowParam(app), false))
            return false;
    }
    return true;
}

bool CMainCtrlDlg::CreateRearSet() {
    for (int app : kRearOrder) {
        bool home = app == APPTYPE_HOMEPAGE;
        if (!MakePage(1, app) || !SkinPage(1, app, home ? 255 : FirstShowParam(app), home))
            return false;
    }
    for (int app : kFrontRegistration) {
        if (app != APPTYPE_DATETIME)
            m_pRearDlg->SetApplication(static_cast<uint8_t>(app), m_pPages[1][app].get());
    }
    return true;
}

bool CMainCtrlDlg::CreateApplications() {
    WriteLog("CMainCtrlDlg::CreateApplications()");
    CCfgData* cfg = GetCfgData();
    if (!cfg)
        return false;
    cfg->LoadHomepage();

    if (!CreateFrontSet())
        return false;
    WriteLog("Front seat done...");
    if (!CreateRearSet())
        return false;
    WriteLog("Rear seat done...");

    plat::ui::MoveWindow(m_pBkgDlg->Id(), 800, 0, 800, 600, true);
    plat::ui::MoveWindow(m_pRearDlg->Id(), 800, 0, 800, 600, true);
    plat::ui::ShowWindow(m_pRearDlg->Id(), true);

    // Our lock table, when there is a good one; else the defaults stay.
    if (CKernel* k = CKernel::Instance())
        LoadLockInfo(k->DataPath(LOCK_INFO_FILE), m_LockTable);
    for (auto& page : cfg->m_Layout.cell[0]) {
        for (HOMEPAGE_CELL& cell : page) {
            uint8_t locked = 0;
            IsAppLocked(cell.byApp, &locked);
            cell.byLocked = locked;
        }
    }
    return true;
}

// ---- Locks ----------------------------------------------------------------------------------

void CMainCtrlDlg::SetDefaultLocks() {
    SetDefaultLockTable(m_LockTable);
}

bool CMainCtrlDlg::IsAppLocked(int appType, uint8_t* locked) const {
    return FindAppLock(m_LockTable, appType, locked);
}

void CMainCtrlDlg::ApplyLocks() {
    CCfgData* cfg = GetCfgData();
    if (!cfg)
        return;
    for (auto& page : cfg->m_Layout.cell[0]) {
        for (HOMEPAGE_CELL& cell : page) {
            uint8_t locked = 0;
            IsAppLocked(cell.byApp, &locked);
            cell.byLocked = locked;
        }
    }
}

void CMainCtrlDlg::UpdateLockInfo(char16_t letter) {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    // "<letter>:\\LockInfo.db"
    std::u16string source = std::u16string(1, letter) + u":\\" + plat::Utf8ToUtf16(LOCK_INFO_FILE);
    // A stick without a good table changes nothing; ours is replaced only by a good one.
    if (!ReplaceLockInfo(plat::NativePath(source), k->DataPath(LOCK_INFO_FILE), m_LockTable))
        return;
    ApplyLocks();
    plat::ui::MessageBox(Id(), u"  Update lock information OK  ", u"Message",
                         plat::ui::kMbIconInformation);
    if (CVelkoraAppDlg* home = Page(0, APPTYPE_HOMEPAGE))
        home->Refresh();
    if (CVelkoraAppDlg* dual = Page(0, APPTYPE_DUAL_SET))
        dual->Refresh();
}

// ---- The tick -------------------------------------------------------------------------------

void CMainCtrlDlg::OnTimer(uint32_t timerId) {
    if (timerId == MAIN_TIMER_ID) {
        if (g_pMainDlg)
            g_pMainDlg->OnMainTick();
        return;
    }
    if (m_Skype)
        m_Skype->OnTimer(timerId);
}

void CMainCtrlDlg::OnMainTick() {
    if (m_end != MainEnd::None)
        return;
    switch (plat::TakeEndRequest()) {
        case plat::EndRequest::Close:
            OnClose();
            return;
        case plat::EndRequest::EndSession:
            OnQueryEndSession();
            return;
        case plat::EndRequest::None:
            break;
    }
    CKernel* k = CKernel::Instance();
    if (!k || !m_pFrontDlg || !m_pRearDlg)
        return;
    // Both seats write their status within the tick: the status file is replaced once with
    // what the tick left, and not at all when it says that already.
    bool first = false;
    {
        plat::KeyValueStore::Batch statusWrites(k->Registry());
        k->OnPeriodic();
        OnDriveCheck();
        m_pFrontDlg->OnTick();
        first = firstTick != 0;
        if (first) {
            firstTick = 0;
            CRZSplash::HideSplashScreen(Id());
            plat::ui::UpdateWindow(Id());
            plat::ui::MoveWindow(m_pFrontDlg->Id(), 0, 0, 800, 480, true);
            plat::ui::ShowWindow(m_pFrontDlg->Id(), true);
        }
        m_pRearDlg->OnTick();
        if (first) {
            // Both seats show their first picture now rather than after this tick.
            plat::ui::UpdateWindow(m_pFrontDlg->Id());
            plat::ui::UpdateWindow(m_pRearDlg->Id());
            // ...and it is on the screens before the tick's status write and mixer work.
            plat::ui::PresentNow();
            if (!m_bStarted) {
                m_bStarted = true;
                if (m_onStarted)
                    m_onStarted();
            }
        }
    }

    int32_t now = static_cast<int32_t>(plat::GetTickCount());
    if (now - lastMixerRefresh > MIXER_REFRESH_MS) {
        lastMixerRefresh = now;
        if (IHWAudio* mixer = WindowsMixer()) {
            mixer->SetMasterMute(false);
            mixer->Reapply();
        }
    }

    if (m_Skype && m_Skype->m_bPending == 1 && !g_bSkypeNoticeShown) {
        g_bSkypeNoticeShown = true;
        plat::ui::MessageBox(m_pFrontDlg->Id(), k->m_Language[MSG_MSG_SKYPE_PENDING], u"Warnng",
                             plat::ui::kMbIconWarning);
    }
}

void CMainCtrlDlg::OnDriveCheck() {
    uint32_t now = plat::GetTickCount();
    if (now - m_dwLastDriveCheck <= 1000)
        return;
    m_dwLastDriveCheck = now;

    // Storage that was not there a second ago has just been mounted.
    std::set<std::string> volumes;
    std::vector<char16_t> arrived;
    for (const plat::DriveInfo& d : plat::Drives().List()) {
        if ((d.type != plat::DRIVE_REMOVABLE && d.type != plat::DRIVE_FIXED) || d.letter < u'E' ||
            d.root.empty())
            continue;
        std::string key = std::string(1, static_cast<char>(d.letter)) + "|" + d.root;
        if (!m_Volumes.count(key))
            arrived.push_back(d.letter);
        volumes.insert(key);
    }
    m_Volumes.swap(volumes);
    for (char16_t letter : arrived)
        UpdateLockInfo(letter);

    // The monotonic clock stood still while the system slept.
    uint64_t slept = plat::SuspendedMs();
    bool resumed = slept >= m_qwSuspendedMs + 1000;
    m_qwSuspendedMs = slept;
    if (resumed)
        OnResume();
}

void CMainCtrlDlg::OnResume() {
    CKernel* k = CKernel::Instance();
    if (!k || !FileExists(MARKER_RADIO_MODE))
        return;
    k->CommandSeq(0, 0, 0);
    if (k->FirmwareReady())
        k->m_Board.RadioReplay(0);
}

// ---- Messages -------------------------------------------------------------------------------

intptr_t CMainCtrlDlg::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (m_Skype && m_Skype->OnMessage(msg, wParam, lParam))
        return 1;
    switch (msg) {
        case WM_SWITCH_APP:
            return OnSwitchApp(wParam, lParam);
        case WM_STOP_MOVIE:
        case WM_STOP_MUSIC:
        case WM_STOP_MEDIA:
        case WM_PAUSE_MEDIA:
            OnMediaMessage(msg, wParam);
            return 0;
        case WM_SEAT_ACTION:
            if (CSeatCtrlDlg* seat = Seat(wParam == 0 ? 0 : 1))
                seat->m_iSeatAction = static_cast<int>(lParam);
            return 0;
        case WM_VOLUME_CHANGED:
            OnVolumeChanged(wParam);
            return 0;
        case WM_RELOAD_HOMEPAGE:
            if (CVelkoraAppDlg* home = Page(0, APPTYPE_HOMEPAGE))
                home->SetSkin(0, Id(), APPTYPE_HOMEPAGE);
            if (CVelkoraAppDlg* home = Page(1, APPTYPE_HOMEPAGE))
                home->SetSkin(1, Id(), APPTYPE_HOMEPAGE);
            return 0;
        case WM_APPLY_LOCKS:
            ApplyLocks();
            return 0;
        case WM_SKYPE_RINGING:
            OnSkypeRinging();
            return 0;
        case WM_SKYPE_PENDING:
            WriteLog("Skype Pending *******************************");
            return 0;
        case WM_SKYPE_CALL_FAILED:
        case WM_SKYPE_CALL_FINISHED:
        case WM_SKYPE_USERS:
            return 0;
        case WM_SHOW_REAR_BACKDROP:
            if (m_pBkgDlg && wParam == 0)
                plat::ui::MoveWindow(m_pBkgDlg->Id(), 800, 0, 800, 600, true);
            else if (m_pBkgDlg && wParam == 1)
                plat::ui::MoveWindow(m_pBkgDlg->Id(), 0, 0, 0, 0, true);
            return 0;
        case WM_KEY_COMMAND:
            if (m_pFrontDlg) {
                if (CVelkoraAppDlg* page = m_pFrontDlg->Page(m_pFrontDlg->m_iCurrentApp))
                    page->KeyHandler(static_cast<int>(lParam));
            }
            return 0;
        case SEAT_WM_CLOSE:
            OnClose();
            return 0;
        default:
            return 0;
    }
}

intptr_t CMainCtrlDlg::OnSwitchApp(uintptr_t wParam, intptr_t lParam) {
    int a = static_cast<int>(lParam & 0xFFFF);
    // Only the two seats and the 36 types exist; anything else would change the other seat
    // for a request that is never carried out.
    if (wParam > 1 || a >= APPTYPE_COUNT) {
        WriteLog("CMainCtrlDlg::OnSwitchApp(%u, 0x%lx) refused", static_cast<unsigned>(wParam),
                 static_cast<long>(lParam));
        return 0;
    }
    CSeatCtrlDlg* r = Seat(wParam == 0 ? 0 : 1);
    CSeatCtrlDlg* o = Seat(wParam == 0 ? 1 : 0);
    if (!r || !o)
        return 0;
    app1FromFront = 0;
    ResolveSeatConflict(o, a);
    if (wParam == 0 && a == APPTYPE_APP_1)
        app1FromFront = 1;
    r->m_iOtherApp = o->m_iCurrentApp;
    if (o->m_iCurrentApp == APPTYPE_PHONE && r->m_iCurrentApp == APPTYPE_AUDIO_SET &&
        (a == APPTYPE_MUSIC || a == APPTYPE_RADIO)) {
        // The sound page of a seat whose other seat is in a call goes home instead.
        r->m_iPending = r->m_iCurrentApp << 16;
        return 0;
    }
    if (a == APPTYPE_MUSIC || a == APPTYPE_MOVIE || a == APPTYPE_AUX2) {
        for (int t : {APPTYPE_MOVIE, APPTYPE_MUSIC}) {
            CVelkoraAppDlg* page = o->Page(t);
            if (page && page->GetPlayState() == PLAYSTATE_PLAYING)
                page->StopAll();
        }
    }
    r->m_iPending = static_cast<int>(lParam);
    if (a == APPTYPE_PHONE)
        plat::ui::InvalidateRect(r->Id());
    return 0;
}

void CMainCtrlDlg::OnMediaMessage(uint32_t msg, uintptr_t wParam) {
    CSeatCtrlDlg* seat = Seat(wParam == 0 ? 0 : 1);
    if (!seat)
        return;
    CVelkoraAppDlg* radio = seat->Page(APPTYPE_RADIO);
    switch (msg) {
        case WM_STOP_MOVIE:
            seat->MonitorStopMovie();
            if (radio)
                radio->StopAll();
            break;
        case WM_STOP_MUSIC:
            seat->MonitorStop();
            if (radio)
                radio->StopAll();
            break;
        case WM_STOP_MEDIA:
            seat->MonitorStop();
            seat->MonitorStopMovie();
            break;
        case WM_PAUSE_MEDIA:
            // The status word toggles between playing and paused: only a side that played
            // is told, so that a stopped one does not read as playing.
            for (int t : {APPTYPE_MUSIC, APPTYPE_MOVIE}) {
                CVelkoraAppDlg* page = seat->Page(t);
                if (!page)
                    continue;
                bool played = page->GetPlayState() == PLAYSTATE_PLAYING;
                page->PauseIfPlaying(true);
                if (played)
                    seat->MonitorPause();
            }
            if (radio)
                radio->StopAll();
            break;
        default:
            break;
    }
}

void CMainCtrlDlg::OnVolumeChanged(uintptr_t wParam) {
    for (CSeatCtrlDlg* seat : {m_pFrontDlg.get(), m_pRearDlg.get()}) {
        if (!seat)
            continue;
        if (wParam == VOLUME_CHANGED_LEVEL)
            seat->OnVolumeChanged();
        else if (wParam == VOLUME_CHANGED_MUTED)
            seat->OnMuted();
        else if (wParam == VOLUME_CHANGED_UNMUTED)
            seat->OnUnmuted();
    }
}

void CMainCtrlDlg::OnSkypeRinging() {
    for (CSeatCtrlDlg* seat : {m_pFrontDlg.get(), m_pRearDlg.get()}) {
        if (seat) {
            plat::ui::SetTopMost(seat->Id(), true);
            seat->ShowExpanded(true);
        }
    }
    WriteLog("Someone is calling =========================================");
    for (CSeatCtrlDlg* seat : {m_pFrontDlg.get(), m_pRearDlg.get()}) {
        if (seat)
            seat->PrepareForCall();
    }
}

void CMainCtrlDlg::BringToFront() {
    plat::ui::BringWindowToTop(Id());
    if (m_pBkgDlg)
        plat::ui::BringWindowToTop(m_pBkgDlg->Id());
    for (CSeatCtrlDlg* seat : {m_pRearDlg.get(), m_pFrontDlg.get()}) {
        if (seat)
            plat::ui::BringWindowToTop(seat->Id());
    }
}

// ---- The end --------------------------------------------------------------------------------

void CMainCtrlDlg::RequestClose() {
    plat::ui::PostMessage(Id(), SEAT_WM_CLOSE, 0, 0);
}

void CMainCtrlDlg::OnClose() {
    OnCancel();
    WriteLog("CMainCtrlDlg::OnClose()");
}

void CMainCtrlDlg::OnCancel() {
    WriteLog("CMainCtrlDlg::OnCancel()");
    EndRun(MainEnd::Close);
}

void CMainCtrlDlg::OnQueryEndSession() {
    EndRun(MainEnd::EndSession);
}

void CMainCtrlDlg::EndRun(MainEnd how) {
    if (m_end != MainEnd::None)
        return;
    m_end = how;
    plat::ui::EndModal(Id(), how == MainEnd::Close ? 2 : 1);
    // Pop-ups and their loops end as well, and every send waiting on this thread fails, so
    // that no worker can be left waiting while it is stopped.
    plat::ui::BeginShutdown();
}

bool CMainCtrlDlg::WaitRestoreStop(uint32_t ms) {
    uint64_t end = plat::GetClock().TickMs() + ms;
    std::unique_lock<std::mutex> lock(m_restoreMutex);
    m_bRestoreWaiting = true;
    bool stopped = false;
    for (;;) {
        if (m_bStopRestore) {
            stopped = true;
            break;
        }
        uint64_t now = plat::GetClock().TickMs();
        if (now >= end)
            break;
        // The program's clock may be one a test moves: look at it again now and then.
        uint64_t wait = std::min<uint64_t>(end - now, 50);
        m_restoreCv.wait_for(lock, std::chrono::milliseconds(wait));
    }
    m_bRestoreWaiting = false;
    return stopped;
}

void CMainCtrlDlg::StopWorkers() {
    {
        std::lock_guard<std::mutex> lock(m_restoreMutex);
        m_bStopRestore = true;
    }
    m_restoreCv.notify_all();
    if (m_RestoreThread.joinable())
        m_RestoreThread.join();
    if (CKernel* k = CKernel::Instance())
        k->StopPolling();
    // The connector's own thread goes with it.
    m_Skype.reset();
}

void CMainCtrlDlg::SaveOnCancel() {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    k->WriteRegistryStatus();
    // Every tray helper this system started; each is waited for.
    for (int i = 0; i < 16 && KillProcessByName(HELPER_SYSTEM_TRAY); ++i) {
    }
    if (g_restoreHooks.pfnSaveMediaPosition)
        g_restoreHooks.pfnSaveMediaPosition(this);
    if (g_restoreHooks.pfnSaveAppStatus)
        g_restoreHooks.pfnSaveAppStatus(this);
    k->SaveSettings();
    if (k->FirmwareReady()) {
        k->m_Board.StatusCommit();
        WriteLog("CKernel::InputSource: %d", 0);
        k->m_Board.VideoSelectInput(0);
        k->m_iInputSource = 0;
    }
    if (IHWAudio* mixer = WindowsMixer())
        mixer->SelectSource(0, false);
    k->ToMode(0);
    WriteLog("=====> CMainCtrlDlg::OnCancel() <=====");
}

void CMainCtrlDlg::SaveOnEndSession() {
    CKernel* k = CKernel::Instance();
    if (!k)
        return;
    if (g_restoreHooks.pfnSaveMediaPosition)
        g_restoreHooks.pfnSaveMediaPosition(this);
    if (g_restoreHooks.pfnSaveAppStatus)
        g_restoreHooks.pfnSaveAppStatus(this);
    k->SaveSettings();
    if (k->FirmwareReady()) {
        k->m_bMute = 1;
        k->m_Board.AudioMute(true);
    }
    WriteLog("=====>  CMainCtrlDlg :: OnQueryEndSession()  <=======");
    plat::SleepMs(500);
}

void CMainCtrlDlg::Shutdown() {
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    bool running = g_pMainDlg == this;
    if (m_end == MainEnd::None)
        m_end = MainEnd::Close;
    plat::ui::BeginShutdown();
    StopWorkers();
    // A start-up that failed saves nothing: what was loaded is on disk already.
    if (running) {
        if (m_end == MainEnd::EndSession)
            SaveOnEndSession();
        else
            SaveOnCancel();
    }
    // Saved: a disc still being mounted does not hold up the end.
    if (CKernel* k = CKernel::Instance())
        k->StopDrives();
    if (m_bCreated)
        WriteLog("CMainCtrlDlg::OnDestroy()");
    DestroyAll();
}

void CMainCtrlDlg::DestroyAll() {
    if (m_bKeysInstalled) {
        SetKeySeats(nullptr, nullptr);
        RemoveKeyFunctions();
        m_bKeysInstalled = false;
    }
    if (CRZSplash::Instance())
        CRZSplash::HideSplashScreen(Id());
    m_pFrontDlg.reset();
    m_pRearDlg.reset();
    m_pBkgDlg.reset();
    for (int app : kFrontDestroyOrder)
        m_pPages[0][app].reset();
    for (int app : kRearDestroyOrder)
        m_pPages[1][app].reset();
    CVolumeBar::DestroyInstance();
    CHWAudioHolder::DestroyInstance();
    if (g_pMainDlg == this)
        g_pMainDlg = nullptr;
    DestroyKernel();
    Destroy();
}

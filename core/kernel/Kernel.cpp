#include "core/kernel/Kernel.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <system_error>

#include "core/kernel/CfgData.h"
#include "core/kernel/HWAudio.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/ProcessUtil.h"
#include "core/ui/VelkoraAppDlg.h"
#include "library/include/Vantrel.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/sys/Clock.h"
#include "platform/sys/Process.h"
#include "platform/text/Text.h"
#include "platform/ui/Ui.h"

namespace {

std::mutex g_instanceMutex;
std::unique_ptr<CKernel> g_kernel;
std::atomic<CKernel*> g_pKernel{nullptr};
KEY_FUNCTION_HOOKS g_keyHooks;

constexpr uint32_t kModelAttempts = 10;

bool KernelLogFlag() {
    CKernel* k = CKernel::Instance();
    return k && k->LogFlag();
}

int KernelVolume() {
    CKernel* k = CKernel::Instance();
    return k ? k->m_iVolume.load() : 0;
}

int Box(const char16_t* text, const char16_t* caption, uint32_t flags) {
    return plat::ui::MessageBox(plat::ui::kNoWindow, text, caption, flags);
}

// The kernel's own failures.
void ErrorBox(const char16_t* text) {
    Box(text, u"Error", plat::ui::kMbIconError);
}

// Boxes captioned with the program's name, as the framework's own boxes are.
void AppBox(const std::u16string& text) {
    Box(text.c_str(), u"Velkora", plat::ui::kMbIconWarning);
}

}  // namespace

// ---- Life
// ----------------------------------------------------------------------------------------

CKernel* CKernel::GetInstance() {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!g_kernel) {
        g_kernel = std::make_unique<CKernel>();
        g_pKernel.store(g_kernel.get());
    }
    return g_kernel.get();
}

CKernel* CKernel::Instance() {
    return g_pKernel.load();
}

void DestroyKernel() {
    // The configuration data holds library objects: it goes before the root object does.
    DestroyCfgData();
    std::unique_ptr<CKernel> kernel;
    {
        std::lock_guard<std::mutex> lock(g_instanceMutex);
        kernel = std::move(g_kernel);
    }
    kernel.reset();
    g_pKernel.store(nullptr);
}

CKernel::CKernel() {
    std::memset(m_szBaseDir, 0, sizeof m_szBaseDir);
    m_dwCreateTick = plat::GetTickCount();
    SetDriveHost(this);
    SetLogFlagSource(&KernelLogFlag);
    CHWAudioHolder::SetKernelVolumeSource(&KernelVolume);
    SetSaveHook(
        [this](int language) { SetRegistryDword("Lang", static_cast<uint32_t>(language)); });
    m_pRTWrapper = std::make_unique<CRTWrapper>();
    m_pRTWrapper->_InitCOM();
    m_pRTWrapper->GetValue();
    m_pRTWrapper->SetMode(1);
}

CKernel::~CKernel() {
    // The polling thread calls the board and the power module: it ends before either goes.
    StopPolling();
    m_CommandPort.Close();
    m_PowerModule.Close();
    if (m_pRTWrapper)
        m_pRTWrapper->ReleaseCOM();
    m_pRTWrapper.reset();
    if (m_pRoot) {
        m_pRoot->Release();
        m_pRoot = nullptr;
    }
    // Shutdown on the board (when ready), then the factory takes the device back.
    m_Board.Close();
    m_bFirmwareReady = 0;
    // The library may still be referenced by code that runs at exit: never unloaded.
    m_hVantrel.Leak();
    SetDriveHost(nullptr);
    SetSaveHook(nullptr);
    CHWAudioHolder::SetKernelVolumeSource(nullptr);
    SetLogFlagSource(nullptr);
}

bool CKernel::Create() {
    std::string cwd = plat::CurrentDirectory();
    std::u16string base = plat::Utf8ToUtf16(cwd);
    if (cwd.empty() || base.size() >= KERNEL_BASE_DIR_CHARS) {
        // Every data path is built on it: a cut folder would name another place.
        ErrorBox(u"CKernel Fail 0 - working folder path too long");
        WriteLog("CKernel Fail 0 (%s)", cwd.c_str());
        return false;
    }
    plat::StrCopy(m_szBaseDir, base);
    SetBaseDir(cwd);
    // A save cut short by a power cut leaves its temporary file beside the stored one.
    for (const std::string& folder : {cwd, plat::JoinPath(cwd, "PLAYLIST")}) {
        std::vector<std::string> removed;
        plat::RemoveInterruptedSaves(folder, &removed);
        for (const std::string& name : removed)
            WriteLog("CKernel::Create(): %s of an interrupted save removed", name.c_str());
    }
    CHWAudioHolder::SetNamesFile(DataPath(MIXER_NAMES_FILE));
    // Companion programs are ended only when this unit started them.
    plat::SetProcessOwnerTag(cwd);
    m_Registry.Open(plat::JoinPath(cwd, KERNEL_STATUS_FILE));

    if (!m_hVantrel.Load(VANTREL_MODULE_NAME)) {
        ErrorBox(u"CKernel Fail 1 - LoadLibrary() fail");
        WriteLog("CKernel Fail 1");
        WriteLog("%s", m_hVantrel.Error().c_str());
        return false;
    }
    auto create = reinterpret_cast<PFN_CreateIVantrel>(m_hVantrel.Symbol(VANTREL_EXPORT_NAME));
    if (!create) {
        ErrorBox(u"CKernel Fail 2 - GetProcAddress() fail");
        WriteLog("CKernel Fail 2");
        return false;
    }
    m_pRoot = create();
    if (!m_pRoot) {
        ErrorBox(u"CKernel Fail 3 - create IVantrel fail");
        WriteLog("CKernel Fail 3");
        return false;
    }
    if (!LoadSettings())
        return false;
    m_byVolumeShadow = static_cast<uint8_t>(m_Settings.iAudioLevel);
    return LoadLanguage();
}

bool CKernel::Initial() {
    // 1. Configuration data.
    CCfgData* cfg = GetCfgData();
    if (!cfg) {
        ErrorBox(u"CKernel Fail 4");
        WriteLog("CKernel Fail 4");
        return false;
    }
    cfg->Load();
    // The outside programs' paths: a key may start one before any settings page was opened.
    LoadAppPath();

    // 2. Playlists.
    plat::MakeDirectory(plat::NativePath(std::u16string(m_szBaseDir) + u"\\PLAYLIST"));

    // 3. The power module, unless this unit has none.
    const bool noPowerModule = FileExists(MARKER_NO_POWER_MODULE);
    if (!noPowerModule) {
        if (!m_PowerModule.Open("com2")) {
            ErrorBox(u"CKernel Fail - Cannot open Communication Port 2");
            WriteLog(
                "CKernel::Initial() :: Cannot open Communication Port2. Please\nquit the "
                "application & re-start your PC.");
            m_PowerModule.Close();
        } else {
            WriteLog("Open m_PowerModule OK");
            if (!m_PowerModule.Configure(57600)) {
                WriteLog("CKernel::Initial() :: Cannot Configure Communication Port2");
                m_PowerModule.Close();
            } else if (!m_PowerModule.SetTimeouts()) {
                m_PowerModule.Close();
            } else {
                m_PowerModule.Drain();
            }
        }
    }

    // 4. Handshake and model.
    if (noPowerModule || m_Settings.iShowCursor != 0) {
        m_bModelKnown = 0;
    } else if (!IdentifyModel()) {
        return false;
    }

    // 5. The board.
    OpenBoard();

    // 6. Start muted; the main dialog lifts it once the pages are up.
    if (FirmwareReady()) {
        m_bMute = 1;
        m_Board.AudioMute(true);
    }
    WriteLog("CKernel::InitalB::SetFirmwareVolume( mute )");

    // 7. Companion programs left from an earlier run.
    KillHelperPrograms();

    // 8. The unit has no mouse: no cursor unless asked for.
    if (!FileExists(MARKER_SHOW) && m_Settings.iShowCursor == 0)
        plat::ui::ShowCursor(false);

    // 9. The PC's own sound starts on its wave output.
    m_bSettingsFromIni = false;
    if (CHWAudioHolder* holder = CHWAudioHolder::GetInstance())
        if (holder->m_pAudio[1])
            holder->m_pAudio[1]->SelectSource(0, false);
    return true;
}

bool CKernel::IdentifyModel() {
    if (!m_PowerModule.Handshake()) {
        Box(u"No device found!, please try again! ", u"Error", plat::ui::kMbOk);
        m_PowerModule.Close();
        return false;
    }
    for (uint32_t attempt = 0;; ++attempt) {
        if (attempt == kModelAttempts) {
            ErrorBox(u"  Cannot retrieve Model !  ");
            return false;
        }
        m_PowerModule.Query(PM_QUERY_MODEL);
        if (m_PowerModule.m_bModelReceived)
            break;
        plat::SleepMs(1000);
    }
    WriteLog("Model Name: %s", m_PowerModule.ModelName().c_str());
    switch (m_PowerModule.ModelIndex()) {
        case MODEL_TRX4100C:
            m_iMode = MODEL_TRX4100C;
            WriteLog("m_iMode = TRX4100C");
            break;
        case MODEL_TRX4100P:
            m_iMode = MODEL_TRX4100P;
            m_bModelP = 1;
            break;
        case MODEL_TRX4100G:
            m_iMode = MODEL_TRX4100G;
            break;
        case MODEL_TRX4100H:
            m_iMode = MODEL_TRX4100H;
            break;
        default:
            ErrorBox(u"  Model incorrect !  ");
            return false;
    }
    m_bModelKnown = 1;
    SetupKeyFn();
    m_PowerModule.Query(PM_QUERY_VERSION);
    return true;
}

void CKernel::OpenBoard() {
    m_bFirmwareReady = 0;
    std::string module = BOARD_MODULE_NAME;
    if (const char* configured = std::getenv(KERNEL_BOARD_MODULE_ENV); configured && *configured)
        module = configured;
    const char* port = FileExists(MARKER_BOARD_COM3) ? "com3" : "com1";
    switch (m_Board.Open(module.c_str(), port)) {
        case CBoardDevice::BOARD_OPEN_OK:
            break;
        case CBoardDevice::BOARD_OPEN_NO_LIBRARY: {
            // The loader's reason goes to the log; the box keeps the familiar number.
            WriteLog("%s", m_Board.Error().c_str());
            long code = plat::PathExists(plat::ModuleFilePath(module)) ? ENOEXEC : ENOENT;
            AppBox(plat::FormatStr(u"LoadLibrary(dll) failed: %ld !!!", code));
            break;
        }
        case CBoardDevice::BOARD_OPEN_NO_EXPORT:
            AppBox(u"GetProcAddress() failed !!!");
            break;
        case CBoardDevice::BOARD_OPEN_NO_FACTORY:
            AppBox(u"m_pRARA failed !!!");
            break;
        default:
            // No device, no port or not ready: the unit runs without the board.
            break;
    }
    m_bFirmwareReady = m_Board.IsReady() ? 1 : 0;
}

// ---- Factory settings
// ----------------------------------------------------------------------------

void CKernel::RestoreDefaults() {
    // A missing or damaged factory copy leaves the block as it is; the pages are reset anyway.
    LoadDefaults();
    m_byVolumeShadow = static_cast<uint8_t>(m_Settings.iAudioLevel);
    m_iVolume = m_Settings.iAudioLevel;
    plat::RemoveFile(DataPath(KERNEL_RADIO_SETTINGS));
    for (size_t i = 0; m_pFrontPages && i < m_nFrontPages; ++i)
        if (CVelkoraAppDlg* page = m_pFrontPages[i])
            page->ResetDefault();
}

void CKernel::SetFrontPages(CVelkoraAppDlg* const* pages, size_t count) {
    m_pFrontPages = pages;
    m_nFrontPages = pages ? count : 0;
}

// ---- Status values for outside programs
// ----------------------------------------------------------

bool CKernel::SetRegistryDword(const char* name, uint32_t value) {
    return name && m_Registry.SetDword(KERNEL_STATUS_KEY, name, value);
}

bool CKernel::SetRegistryString(const char* name, const char16_t* text) {
    return name && m_Registry.SetString(KERNEL_STATUS_KEY, name, text ? text : u"");
}

void CKernel::WriteRegistryStatus() {
    SetRegistryDword("Status", 0);
    SetRegistryString("TimeCurrent", u"00:00:00");
    SetRegistryDword("Lang", static_cast<uint32_t>(m_Settings.iLanguage));
}

// ---- Polling
// -------------------------------------------------------------------------------------

void CKernel::StartPolling() {
    if (m_PollingThread.joinable())
        return;
    m_bStopPolling = false;
    m_bPollingDone = false;
    try {
        m_PollingThread = std::thread([this] { PollingProcess(); });
    } catch (const std::system_error&) {
        m_bPollingDone = true;
        ErrorBox(u"CKernel Fail 8 - Create PollingProcess fail");
    }
}

void CKernel::StopPolling() {
    {
        std::lock_guard<std::mutex> lock(m_pollMutex);
        m_bStopPolling = true;
    }
    m_pollCv.notify_all();
    if (!m_PollingThread.joinable() || m_PollingThread.get_id() == std::this_thread::get_id())
        return;
    // A key function may be waiting on a send to this thread: answer it while the thread ends.
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_pollMutex);
            if (m_pollCv.wait_for(lock, std::chrono::milliseconds(5),
                                  [this] { return m_bPollingDone.load(); }))
                break;
        }
        if (plat::ui::IsInitialised())
            plat::ui::PumpUntilIdle();
    }
    m_PollingThread.join();
}

bool CKernel::PollWait(uint32_t ms) {
    std::unique_lock<std::mutex> lock(m_pollMutex);
    return m_pollCv.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return m_bStopPolling.load(); });
}

void CKernel::PollingProcess() {
    WriteLog("WINAPI PollingProcess(0x%x) begin", static_cast<unsigned>(::gettid()));
    while (!m_bStopPolling) {
        if (FirmwareReady()) {
            uint8_t status = 0;
            if (m_Board.StatusGetStatus(&status) == 0) {
                if (status & 0x40) {
                    m_bLocksFree = 0;
                    WriteLog("Status:0x%X", status);
                } else {
                    m_bLocksFree = 1;
                }
            }
        }
        if (PollWait(200))
            break;
        if (FirmwareReady()) {
            uint8_t group = 0, code = 0;
            if (m_Board.KeysGetKey(&group, &code) == 0)
                HandleKey(group, code);
        }
        if (PollWait(20))
            break;
    }
    WriteLog(
        "=====> No Polling <======\n\nWINAPI PollingProcess() "
        "done\n=====================================================================\n");
    {
        std::lock_guard<std::mutex> lock(m_pollMutex);
        m_bPollingDone = true;
    }
    m_pollCv.notify_all();
}

void CKernel::OnPeriodic() {
    CheckDrivesPeriodic();
    uint8_t free = m_bLocksFree.load();
    if (free != m_bLocksFreeSeen.load()) {
        m_bLocksChanged = 1;
        m_bLocksFreeSeen = free;
        plat::SleepMs(30);
    }
}

// ---- Keys
// ----------------------------------------------------------------------------------------

void CKernel::SetKeyFunctionHooks(const KEY_FUNCTION_HOOKS& hooks) {
    g_keyHooks = hooks;
}

void CKernel::SetupKeyFn() {
    if (g_keyHooks.pfnSetup)
        g_keyHooks.pfnSetup(this);
}

void CKernel::HandleKey(uint8_t group, uint8_t code) {
    WriteLog("CKernel::HandleKey(0x%02X, 0x%02X)", group, code);
    if (g_keyHooks.pfnHandle)
        g_keyHooks.pfnHandle(this, group, code);
    else
        WriteLog("No key function");
}

bool CKernel::CommandSeq(uint8_t d0, uint8_t d1, uint8_t d2) {
    return ::CommandSeq(m_CommandPort, m_bCommandSeqEnabled != 0, m_csRender, d0, d1, d2);
}

// ---- Drive host
// ----------------------------------------------------------------------------------

void CKernel::EnsureConfigData() {
    GetCfgData();
}

char16_t CKernel::MovieFolderDrive() {
    CCfgData* cfg = GetCfgData();
    return cfg ? cfg->m_CfgSettings.szMovieFolder[0] : 0;
}

char16_t CKernel::PhotoFolderDrive() {
    CCfgData* cfg = GetCfgData();
    return cfg ? cfg->m_CfgSettings.szPhotoFolder[0] : 0;
}

uint8_t CKernel::MovieCellLock() {
    CCfgData* cfg = GetCfgData();
    return cfg ? cfg->AppCellLock(2) : CELL_LOCK_NONE;
}

// The process-wide kernel that every page and window reaches: settings, language and paths
// (CKernelData), drives and discs (CKernelDrives), the power module on com2, the board device,
// volume, mute and source, the status values for outside programs and the polling thread that
// reads the board's status and keys.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/kernel/BoardDevice.h"
#include "core/kernel/KernelData.h"
#include "core/kernel/KernelDrives.h"
#include "core/kernel/PowerModule.h"
#include "core/kernel/SerialPort.h"
#include "platform/io/KeyValueStore.h"
#include "platform/sys/Module.h"

class IVantrel;
class CRTWrapper;
class CVelkoraAppDlg;
class CKernel;

#define KERNEL_BASE_DIR_CHARS 128

// Where the status values for outside programs live: the file in the base folder and the key
// in it.
#define KERNEL_STATUS_FILE "Registry.ini"
#define KERNEL_STATUS_KEY "SOFTWARE\\Orvanel"

// The radio page's presets, which the factory settings do without.
#define KERNEL_RADIO_SETTINGS "RadioSettings.db"

// Environment variable naming the board module to load in place of "Library.dll" (a module
// name or a path): how a vendor's module is chosen without a rebuild.
#define KERNEL_BOARD_MODULE_ENV "VELKORA_BOARD_MODULE"

// Model index m_iMode.
enum {
    MODEL_TRX4100C = 0,
    MODEL_TRX4100P = 1,
    MODEL_TRX4100G = 2,
    MODEL_TRX4100H = 3,
};

// The hardware keys are built on their own and plug in here: `setup` runs once the model is
// known, `handle` for every key the board reports (on the polling thread).
struct KEY_FUNCTION_HOOKS {
    void (*pfnSetup)(CKernel* kernel) = nullptr;
    void (*pfnHandle)(CKernel* kernel, uint8_t group, uint8_t code) = nullptr;
};

class CKernel final : public CKernelData, public CKernelDrives, private IDriveHost {
public:
    // Creates the kernel on first call. Null only when it cannot be made.
    static CKernel* GetInstance();
    // The kernel when it exists; never creates it.
    static CKernel* Instance();

    CKernel();
    ~CKernel();
    CKernel(const CKernel&) = delete;
    CKernel& operator=(const CKernel&) = delete;

    // Base folder, the library's root object, settings and language. False ends start-up.
    bool Create();
    // Configuration data, PLAYLIST folder, power module and model, board, mute, companion
    // programs, cursor. False ends start-up.
    bool Initial();
    // Starts the thread that reads the board's status and keys.
    void StartPolling();
    // Stops the polling thread and waits for it (also done by the destructor).
    void StopPolling();
    bool IsPolling() const { return m_PollingThread.joinable(); }
    // From the main timer on the user-interface thread: drives and discs once a second, the
    // change of the application locks.
    void OnPeriodic();
    // The factory settings: the block from "SysSettings.def" (left as it is when that is not
    // usable), the volume from the block, no radio presets, every front page reset. Saves
    // nothing: the caller does.
    void RestoreDefaults();
    // The front seat's page table (`count` slots, null entries allowed), which RestoreDefaults
    // resets; null when the seat goes.
    void SetFrontPages(CVelkoraAppDlg* const* pages, size_t count);

    // "Status" 0, "TimeCurrent" "00:00:00" and "Lang" for outside programs.
    void WriteRegistryStatus();
    // One status value for outside programs; false when it could not be written.
    bool SetRegistryDword(const char* name, uint32_t value);
    bool SetRegistryString(const char* name, const char16_t* text);
    plat::KeyValueStore& Registry() { return m_Registry; }

    // Hardware keys (their functions plug in through SetKeyFunctionHooks).
    void SetupKeyFn();
    void HandleKey(uint8_t group, uint8_t code);
    static void SetKeyFunctionHooks(const KEY_FUNCTION_HOOKS& hooks);
    // A key's application switch on the front seat (core/KeyFunctions.cpp); true.
    bool _SwitchApp(int app);

    // Board command frames to the power module; gated off, so it returns true at once.
    bool CommandSeq(uint8_t d0, uint8_t d1, uint8_t d2);

    // ---- Board wrappers: false, with no call and no change, while the board is not ready.
    // 0..32 sets the volume and saves it; 254 mute off, 255 mute on.
    bool SetVolume(int level);
    // Audio source (16 and above: also the input source, reduced by 16); saved.
    bool ToMode(uint8_t source);
    bool InputSource(uint8_t source);
    bool SetBalance(int value);
    bool SetFader(int value);
    bool SetEQValue(uint8_t type, int gain);
    // Codec mode and board output; always true.
    bool Enable51Priority();
    bool Disable51Priority();
    bool SetBrightness(int value);
    bool SetContrast(int value);
    bool SetSaturation(int value);
    bool SetBacklightLevel(int value);
    bool SetBacklightPower(int on);
    bool SetLightAuto(int automatic);
    // (band << 8) | channel.
    bool RadioSetBand(int bandChannel);
    // True when the board answered with a channel byte of 2..48.
    bool RadioGetFrequency(uint8_t* channel, uint8_t* frequency);
    // 0xC0 FM up, 0xC1 FM down, 0xC2 AM up, 0xC3 AM down; outputs written only when the
    // returned channel is 2..48.
    bool AdjChannelFreq(uint8_t type, uint8_t* frequency, uint8_t* channel);

    bool FirmwareReady() const { return m_bFirmwareReady.load() != 0 && m_Board.IsReady(); }

    // ---- State shared with the pages (names as they know them).
    IVantrel* m_pRoot = nullptr;
    uint8_t m_byVolumeShadow = 0;
    std::atomic<uint32_t> m_dwResumeDone{0};
    char16_t m_szBaseDir[KERNEL_BASE_DIR_CHARS];
    uint8_t m_bCommandSeqEnabled = 0;
    uint8_t m_bModelKnown = 0;
    std::atomic<bool> m_bStopPolling{false};
    CPowerModule m_PowerModule;
    CSerialPort m_CommandPort;  // never opened
    std::recursive_mutex m_csRender;
    uint32_t m_dwCreateTick = 0;
    std::atomic<int> m_iVolume{0};
    std::atomic<uint8_t> m_bLocksFree{1};
    std::atomic<uint8_t> m_bLocksFreeSeen{1};
    std::atomic<uint8_t> m_bLocksChanged{0};
    std::atomic<uint8_t> m_bMute{0};
    std::atomic<int> m_iInputSource{2};
    std::atomic<uint8_t> m_bFirmwareReady{0};
    CBoardDevice m_Board;
    CBoardDevice* const m_pFirmware = &m_Board;
    int m_iMode = MODEL_TRX4100P;
    uint8_t m_bModelP = 1;
    std::unique_ptr<CRTWrapper> m_pRTWrapper;

private:
    // IDriveHost
    void EnsureConfigData() override;
    char16_t MovieFolderDrive() override;
    char16_t PhotoFolderDrive() override;
    uint8_t MovieCellLock() override;
    bool LocksFree() override { return m_bLocksFree.load() != 0; }

    bool IdentifyModel();
    void OpenBoard();
    void PollingProcess();
    // Waits up to `ms` or until the thread is told to stop; true when told to stop.
    bool PollWait(uint32_t ms);

    plat::Module m_hVantrel;
    plat::KeyValueStore m_Registry;
    CVelkoraAppDlg* const* m_pFrontPages = nullptr;
    size_t m_nFrontPages = 0;
    std::thread m_PollingThread;
    std::atomic<bool> m_bPollingDone{true};
    std::mutex m_pollMutex;
    std::condition_variable m_pollCv;
};

// Deletes the configuration data, then the kernel.
void DestroyKernel();

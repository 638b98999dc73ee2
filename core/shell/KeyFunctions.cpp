#include "core/shell/KeyFunctions.h"

#include <atomic>

#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/kernel/SysSettings.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/AppType.h"
#include "core/ui/VelkoraAppDlg.h"
#include "platform/media/MediaConfig.h"
#include "platform/sys/OpticalDoor.h"

KEY_FUNCTION KeyFunctionTable[KEY_MODELS][KEY_ENTRIES];

namespace {

constexpr int kFrontSeat = 0;
constexpr int kRearSeat = 1;

std::atomic<plat::ui::WindowId> g_mainWnd{plat::ui::kNoWindow};
// Read and written on the user-interface thread only.
CSeatCtrlDlg* g_pFront = nullptr;
// The seats' windows, for repaints from the polling thread: ids are harmless when stale.
std::atomic<plat::ui::WindowId> g_seatWnd[2] = {{plat::ui::kNoWindow}, {plat::ui::kNoWindow}};

void RepaintSeat(int seat) {
    plat::ui::WindowId wnd = g_seatWnd[seat].load();
    if (wnd != plat::ui::kNoWindow)
        plat::ui::InvalidateRect(wnd);
}

void RepaintBothSeats() {
    RepaintSeat(kFrontSeat);
    RepaintSeat(kRearSeat);
}

// Blocking: the polling thread waits until the main dialog has handled it. Fails at once when
// the main dialog is gone or the program is ending.
void SendToMain(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    plat::ui::SendMessage(g_mainWnd.load(), msg, wParam, lParam);
}

void SendKeyCommand(int command) {
    SendToMain(WM_KEY_COMMAND, 0, command);
}

intptr_t SwitchParam(int param, int app) {
    return static_cast<intptr_t>((static_cast<uint32_t>(param & 0xFFFF) << 16) |
                                 static_cast<uint32_t>(app & 0xFFFF));
}

// Runs `task` with the front seat (null when there is none) on the user-interface thread;
// false when it could not run there (the program is ending).
template <typename F>
bool WithFrontSeat(F task) {
    return plat::ui::RunOnUiThread([&] { task(g_pFront); });
}

// The settings block belongs to the user-interface thread, which reads and saves it: the step
// is made there, so that no save writes a half-changed block and no page reads a torn level.
bool StepVolume(CKernel* k, int step) {
    bool stepped = false;
    plat::ui::RunOnUiThread([&] {
        int level = k->m_Settings.iAudioLevel;
        int next = level + step;
        if (next < 0 || next > SYS_VOLUME_MAX)
            return;  // at its end: nothing happens at all
        k->m_Settings.iAudioLevel = next;
        k->SetVolume(next);
        k->SaveSettings();
        stepped = true;
    });
    if (stepped)
        RepaintBothSeats();
    return true;
}

void FillModelC() {
    KEY_FUNCTION* row = KeyFunctionTable[MODEL_TRX4100C];
    row[0] = {"VOLUME-", &KeyVolMinus};
    row[1] = {"VOLUME+", &KeyVolPlus};
    row[2] = {"MENU", &KeyMenu};
    row[3] = {"MUTE", &KeyMute};
}

void FillModelP() {
    KEY_FUNCTION* row = KeyFunctionTable[MODEL_TRX4100P];
    const KEY_FUNCTION low[7] = {
        {"CLOCK", &KeyClock},
        {"MUTE", &KeyMute},
        {"MENU", &KeyMenu},
        {"NAVI", &KeyNavi},
        {"AUX", &KeyAux},
        {"INTERNET", &KeyInternet},
        {"PLAY/PAUSE", &KeyPlayPause},
    };
    const KEY_FUNCTION high[7] = {
        {"EJECT", &KeyEject},          {"X", nullptr},       {"SEEK/UP", &KeySeekUp},
        {"TRACK/DOWN", &KeyTrackDown}, {"RADIO", &KeyRadio}, {"MUSIC", &KeyMusic},
        {"PHONE", &KeyPhone},
    };
    for (int i = 0; i < 7; ++i) {
        row[i] = row[7 + i] = low[i];
        row[14 + i] = row[21 + i] = high[i];
    }
    // The second row of this panel keeps the seek and track names on the volume functions.
    row[23] = {"SEEK/UP", &KeyVolPlus};
    row[24] = {"TRACK/DOWN", &KeyVolMinus};
}

void FillModelH() {
    KEY_FUNCTION* row = KeyFunctionTable[MODEL_TRX4100H];
    row[1] = {"MUTE", &KeyMute};
    row[8] = {"EJECT", &KeyEject};
}

void SetupKeyTable(CKernel* k) {
    for (auto& row : KeyFunctionTable)
        for (auto& entry : row)
            entry = KEY_FUNCTION{nullptr, nullptr};
    switch (k->m_iMode) {
        case MODEL_TRX4100C:
            FillModelC();
            WriteLog("CKernel::SetupKeyFn(): TRX4100C");
            break;
        case MODEL_TRX4100P:
            FillModelP();
            WriteLog("CKernel::SetupKeyFn(): TRX4100P");
            break;
        case MODEL_TRX4100H:
            FillModelH();
            WriteLog("CKernel::SetupKeyFn(): TRX4100H");
            break;
        default:
            // TRX4100G has no panel keys.
            break;
    }
}

void HandlePanelKey(CKernel* k, uint8_t code) {
    int index = KeyEntryIndex(code);
    int mode = k->m_iMode;
    if (index < 0 || mode < 0 || mode >= KEY_MODELS) {
        WriteLog("No key function");
        return;
    }
    const KEY_FUNCTION& entry = KeyFunctionTable[mode][index];
    if (!entry.pfnHandler) {
        WriteLog("No key function");
        return;
    }
    WriteLog("HandleKey(): [%s]", entry.szName ? entry.szName : "");
    entry.pfnHandler(k);
    WriteLog("Ken fn done");
}

void HandleKeyEvent(CKernel* k, uint8_t group, uint8_t code) {
    if (group == KEY_GROUP_PANEL) {
        HandlePanelKey(k, code);
        return;
    }
    if (group != KEY_GROUP_2)
        return;
    switch (code) {
        case 0x00:
            SendKeyCommand(KEYCMD_GROUP2_00);
            break;
        case 0x10:
            SendKeyCommand(KEYCMD_GROUP2_10);
            break;
        case 0x40:
            KeyVolPlus(k);
            break;
        case 0x50:
            KeyVolMinus(k);
            break;
        default:
            break;
    }
    RepaintSeat(kFrontSeat);
}

}  // namespace

int KeyEntryIndex(uint8_t code) {
    int low = code & 0x0F;
    if (low > 6)
        return -1;
    switch (code & 0xF0) {
        case 0x00:
            return low;
        case 0x10:
            return 7 + low;
        case 0x40:
            return 14 + low;
        case 0x50:
            return 21 + low;
        default:
            return -1;
    }
}

void InstallKeyFunctions(plat::ui::WindowId mainWnd) {
    g_mainWnd = mainWnd;
    CKernel::SetKeyFunctionHooks(KEY_FUNCTION_HOOKS{&SetupKeyTable, &HandleKeyEvent});
}

void SetKeySeats(CSeatCtrlDlg* front, CSeatCtrlDlg* rear) {
    g_pFront = front;
    g_seatWnd[kFrontSeat] = front ? front->Id() : plat::ui::kNoWindow;
    g_seatWnd[kRearSeat] = rear ? rear->Id() : plat::ui::kNoWindow;
}

void RemoveKeyFunctions() {
    CKernel::SetKeyFunctionHooks(KEY_FUNCTION_HOOKS{});
    g_mainWnd = plat::ui::kNoWindow;
    for (auto& row : KeyFunctionTable)
        for (auto& entry : row)
            entry = KEY_FUNCTION{nullptr, nullptr};
}

bool CKernel::_SwitchApp(int app) {
    WriteLog("CKernel::_SwitchApp(): %d", app);
    int current = APPTYPE_HOMEPAGE;
    bool onUi = WithFrontSeat([&](CSeatCtrlDlg* front) {
        if (!front)
            return;
        front->ShowExpanded(true);
        current = front->m_iCurrentApp;
    });
    if (onUi)
        SendToMain(WM_SWITCH_APP, kFrontSeat, SwitchParam(current, app));
    RepaintSeat(kFrontSeat);
    return true;
}

bool KeyEject(CKernel*) {
    plat::OpenOpticalDoor(plat::OpticalDevice());
    return true;
}

bool KeyClock(CKernel*) {
    intptr_t request = SwitchParam(APPTYPE_HOMEPAGE, APPTYPE_DATETIME);
    bool onUi = WithFrontSeat([&](CSeatCtrlDlg* front) {
        if (!front)
            return;
        front->ShowExpanded(true);
        CVelkoraAppDlg* clock = front->Page(APPTYPE_DATETIME);
        if (clock && clock->IsVisible()) {
            // The clock key closes the clock: back to the page that opened it.
            front->m_bCollapsed = 0;
            request = SwitchParam(APPTYPE_DATETIME, clock->m_byShowParam);
        } else {
            request = SwitchParam(front->m_iCurrentApp, APPTYPE_DATETIME);
        }
    });
    if (onUi)
        SendToMain(WM_SWITCH_APP, kFrontSeat, request);
    RepaintSeat(kFrontSeat);
    return true;
}

bool KeySeekUp(CKernel*) {
    SendKeyCommand(KEYCMD_SEEK_UP);
    return true;
}

bool KeyTrackDown(CKernel*) {
    SendKeyCommand(KEYCMD_TRACK_DOWN);
    return true;
}

bool KeyPlayPause(CKernel*) {
    SendKeyCommand(KEYCMD_PLAY_PAUSE);
    return true;
}

bool KeyRadio(CKernel* k) {
    return k->_SwitchApp(APPTYPE_RADIO);
}

bool KeyMusic(CKernel* k) {
    return k->_SwitchApp(APPTYPE_MUSIC);
}

bool KeyPhone(CKernel* k) {
    return k->_SwitchApp(APPTYPE_PHONE);
}

bool KeyNavi(CKernel* k) {
    return k->_SwitchApp(APPTYPE_NAVIGATION);
}

bool KeyAux(CKernel* k) {
    return k->_SwitchApp(APPTYPE_AUX);
}

bool KeyInternet(CKernel* k) {
    return k->_SwitchApp(APPTYPE_INTERNET_SERVICE);
}

bool KeyMenu(CKernel* k) {
    // The homepage shows the unit's own picture: the video input goes back to it.
    k->InputSource(0);
    return k->_SwitchApp(APPTYPE_HOMEPAGE);
}

bool KeyMute(CKernel* k) {
    WriteLog("KeyMute");
    if (k->FirmwareReady()) {
        uint8_t mute = k->m_bMute.load() ? 0 : 1;
        k->m_bMute = mute;
        k->m_pFirmware->AudioMute(mute != 0);
    }
    RepaintBothSeats();
    return true;
}

bool KeyVolPlus(CKernel* k) {
    WriteLog("KeyVolPlus");
    return StepVolume(k, +1);
}

bool KeyVolMinus(CKernel* k) {
    WriteLog("KeyVolMinus");
    return StepVolume(k, -1);
}

// The front-panel keys. The board reports each key as a (group, code) pair; the kernel's
// polling thread hands it to CKernel::HandleKey, which maps it through the key table of the
// model found at start-up to a key function. Key functions run on the polling thread: what
// touches pages reaches the user-interface thread by blocking sends to the main dialog
// (WM_SWITCH_APP, WM_KEY_COMMAND), always for the front seat.
#pragma once

#include <cstdint>

#include "core/ui/WindowMessages.h"
#include "platform/ui/Ui.h"

class CKernel;
class CSeatCtrlDlg;

// Key commands that the front seat's current page interprets (its KeyHandler).
enum : int {
    KEYCMD_SEEK_UP = 0x1002,
    KEYCMD_TRACK_DOWN = 0x1003,
    KEYCMD_PLAY_PAUSE = 0x1046,
    KEYCMD_GROUP2_00 = 0x2000,
    KEYCMD_GROUP2_10 = 0x2010,
};

// Key groups the board reports.
#define KEY_GROUP_PANEL 0x10
#define KEY_GROUP_2 0x20

#define KEY_MODELS 4
#define KEY_ENTRIES 28

typedef bool (*KEY_HANDLER)(CKernel* kernel);

struct KEY_FUNCTION {
    const char* szName;      // logged when the key is handled; null for an empty entry
    KEY_HANDLER pfnHandler;  // null: the key does nothing
};

// Rows by model index (CKernel::m_iMode); empty at start, the identified model's row filled by
// CKernel::SetupKeyFn.
extern KEY_FUNCTION KeyFunctionTable[KEY_MODELS][KEY_ENTRIES];

// Entry index of a group-0x10 code: 0x00-0x06 -> 0-6, 0x10-0x16 -> 7-13, 0x40-0x46 -> 14-20,
// 0x50-0x56 -> 21-27; -1 for any other code.
int KeyEntryIndex(uint8_t code);

// Installs the key table and functions into the kernel (CKernel::SetKeyFunctionHooks): before
// CKernel::Initial, which fills the table once the model is known. `mainWnd` receives the
// key functions' messages.
void InstallKeyFunctions(plat::ui::WindowId mainWnd);
// The two seats, once they exist; nulls before they go. Call on the user-interface thread.
void SetKeySeats(CSeatCtrlDlg* front, CSeatCtrlDlg* rear);
// Takes the key functions out of the kernel and empties the table.
void RemoveKeyFunctions();

// Key functions; each returns true.
bool KeyEject(CKernel* kernel);
bool KeyClock(CKernel* kernel);
bool KeySeekUp(CKernel* kernel);
bool KeyTrackDown(CKernel* kernel);
bool KeyPlayPause(CKernel* kernel);
bool KeyRadio(CKernel* kernel);
bool KeyMusic(CKernel* kernel);
bool KeyPhone(CKernel* kernel);
bool KeyMenu(CKernel* kernel);
bool KeyNavi(CKernel* kernel);
bool KeyAux(CKernel* kernel);
bool KeyInternet(CKernel* kernel);
bool KeyMute(CKernel* kernel);
bool KeyVolPlus(CKernel* kernel);
bool KeyVolMinus(CKernel* kernel);

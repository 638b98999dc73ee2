// Keyboard input of the program. There is no hardware keyboard on the head unit: the on-screen
// keyboard makes key events and its edit box turns them into text. This module keeps what the
// system keeps elsewhere: the virtual key codes, the state of every key (down, toggled), the
// installed keyboard layouts (which character a key gives) and the synthetic key events, which
// are queued to a window as WM_KEYDOWN / WM_KEYUP and reach it on its thread's message loop.
//
// Layouts come from "KeyboardLayouts.ini" in the base folder (UTF-16LE text):
//   [Preload]                     the installed layouts in order, used when the registry has
//   1 = 00000409                  no "Keyboard Layout\Preload" list of its own
//   [E0010404]                    one section per layout id
//   Layout Text = Chinese (Traditional) - Phonetic
//   31 = X, !                     key code (hex) = character, character with Shift[, caps]
// Every layout starts from the 101-key US positions (the on-screen keys are those keys); a
// section only lists the keys whose characters differ. "caps" makes Caps Lock swap the two
// characters of that key, as it does for the letters. A character is written as itself or as
// U+XXXX.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Ui.h"

// Virtual key codes.
enum : uint8_t {
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_SHIFT = 0x10,
    VK_CONTROL = 0x11,
    VK_MENU = 0x12,
    VK_CAPITAL = 0x14,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_LWIN = 0x5B,
    VK_LSHIFT = 0xA0,
    VK_RSHIFT = 0xA1,
    VK_LCONTROL = 0xA2,
    VK_RCONTROL = 0xA3,
    VK_LMENU = 0xA4,
    VK_RMENU = 0xA5,
    VK_OEM_1 = 0xBA,
    VK_OEM_PLUS = 0xBB,
    VK_OEM_COMMA = 0xBC,
    VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE,
    VK_OEM_2 = 0xBF,
    VK_OEM_3 = 0xC0,
    VK_OEM_4 = 0xDB,
    VK_OEM_5 = 0xDC,
    VK_OEM_6 = 0xDD,
    VK_OEM_7 = 0xDE,
};

// Key event flags.
#define KEYEVENTF_EXTENDEDKEY 0x0001u
#define KEYEVENTF_KEYUP 0x0002u

// Layout flags.
#define KLF_ACTIVATE 0x00000001u
#define KLF_SETFORPROCESS 0x00000100u

// The messages a key event arrives as: wParam the key code, lParam see KbKeyMessage.
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u

// The layout file and the registry keys that list the installed layouts.
#define KB_LAYOUT_FILE "KeyboardLayouts.ini"
#define KB_PRELOAD_KEY "Keyboard Layout\\Preload"
#define KB_LAYOUTS_KEY "System\\CurrentControlSet\\Control\\Keyboard Layouts\\"
#define KB_LAYOUT_TEXT "Layout Text"
// The built-in layout every other one starts from.
#define KB_US_LAYOUT u"00000409"
// The phonetic input method layout that the input method key switches to: keys typed in it go
// to the phonetic engine rather than straight into the text.
#define KB_IME_LAYOUT "E0010404"

// A loaded layout; 0 is none.
typedef uintptr_t HKL;

// What a key message carries besides its key code: the state of the modifiers and the layout
// when the event was made, so that the receiver reads the key as it was typed.
struct KbKeyMessage {
    uint16_t scan = 0;
    bool extended = false;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
    bool caps = false;
    HKL layout = 0;

    intptr_t Pack() const;
    static KbKeyMessage Unpack(intptr_t lParam);
};

// One key event as it was made (for the keyboard hook).
struct KbKeyEvent {
    plat::ui::WindowId target = plat::ui::kNoWindow;
    uint8_t vk = 0;
    uint16_t scan = 0;
    uint32_t flags = 0;
};

// A key of a layout: the text it gives, with and without Shift.
struct KbLayoutKey {
    std::u16string normal;
    std::u16string shift;
    bool caps = false;  // Caps Lock swaps the two
};

struct KbLayoutDef {
    std::u16string text;                  // "Layout Text"
    std::map<uint8_t, KbLayoutKey> keys;  // the keys that differ from the US positions
};

struct KbLayoutFile {
    std::vector<std::u16string> preload;            // [Preload] 1, 2, 3 ... until one is missing
    std::map<std::u16string, KbLayoutDef> layouts;  // by id in upper case
};

// Reads the layout file's text. Lines that mean nothing are skipped; false only for a text
// with no section at all.
bool ParseKeyboardLayouts(std::u16string_view text, KbLayoutFile& out);
// The layout file of the base folder; false (and `out` empty) when it cannot be read.
bool ReadKeyboardLayouts(KbLayoutFile& out);

// The scan code of a key code (0 for none).
uint16_t KbMapVirtualKey(uint8_t vk);
// Bit 0x8000 (negative): the key is down; bit 1: it is toggled (Caps Lock on).
int16_t KbGetKeyState(uint8_t vk);

// Queues a key event to `target` and updates the key state at once: a key-down marks the key
// down (a key-down of Caps Lock also toggles it), a key-up marks it up.
void KbEvent(plat::ui::WindowId target, uint8_t vk, uint16_t scan, uint32_t flags);

// The current layout (the US one until another is activated).
HKL KbGetKeyboardLayout();
// Loads a layout by its id (the US one is built in; others need a section in the layout
// file); with KLF_ACTIVATE it also becomes current. 0 when it is not installed.
HKL KbLoadKeyboardLayout(const char16_t* id, uint32_t flags);
// Makes a loaded layout current; returns the one before, or 0 for a layout never loaded.
HKL KbActivateKeyboardLayout(HKL layout, uint32_t flags);
// The id a loaded layout was loaded by (empty for 0 or an unknown one).
std::u16string KbLayoutId(HKL layout);

// True for the phonetic input method's layout.
bool KbIsPhoneticLayout(HKL layout);
// The character a key has on the US keys, without Shift (0 for none).
char KbUsCharacter(uint8_t vk);

// The text a key gives in a layout with the modifiers of `message`: empty when it gives none
// (Alt held, a key the layout has no character for). Ctrl with a letter gives its control
// character (Ctrl+A is 0x01), as the system's translation does.
std::u16string KbKeyText(uint8_t vk, const KbKeyMessage& message);

// A watcher of every key event made (null removes it): what a keyboard hook sees.
void KbSetEventHook(std::function<void(const KbKeyEvent&)> hook);

// Forgets the key state and the loaded layouts (tests start each from nothing).
void KbResetForTesting();

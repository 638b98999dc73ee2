#include "apps/keyboard/KbInput.h"

#include <cstring>
#include <mutex>

#include "core/kernel/Kernel.h"
#include "core/kernel/Utf16File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

namespace {

// The 101-key US positions: key code, scan code, character, character with Shift, and whether
// Caps Lock swaps them. Keys without characters have only their scan code.
struct UsKey {
    uint8_t vk;
    uint16_t scan;
    char16_t normal;
    char16_t shift;
    bool caps;
};

constexpr UsKey kUsKeys[] = {
    {VK_BACK, 0x0E, 0, 0, false},
    {VK_TAB, 0x0F, 0, 0, false},
    {VK_RETURN, 0x1C, 0, 0, false},
    {VK_SHIFT, 0x2A, 0, 0, false},
    {VK_CONTROL, 0x1D, 0, 0, false},
    {VK_MENU, 0x38, 0, 0, false},
    {VK_CAPITAL, 0x3A, 0, 0, false},
    {VK_ESCAPE, 0x01, 0, 0, false},
    {VK_SPACE, 0x39, u' ', u' ', false},
    {VK_LEFT, 0x4B, 0, 0, false},
    {VK_UP, 0x48, 0, 0, false},
    {VK_RIGHT, 0x4D, 0, 0, false},
    {VK_DOWN, 0x50, 0, 0, false},
    {VK_LWIN, 0x5B, 0, 0, false},
    {VK_LSHIFT, 0x2A, 0, 0, false},
    {VK_RSHIFT, 0x36, 0, 0, false},
    {VK_LCONTROL, 0x1D, 0, 0, false},
    {VK_RCONTROL, 0x1D, 0, 0, false},
    {VK_LMENU, 0x38, 0, 0, false},
    {VK_RMENU, 0x38, 0, 0, false},
    {0x30, 0x0B, u'0', u')', false},
    {0x31, 0x02, u'1', u'!', false},
    {0x32, 0x03, u'2', u'@', false},
    {0x33, 0x04, u'3', u'#', false},
    {0x34, 0x05, u'4', u'$', false},
    {0x35, 0x06, u'5', u'%', false},
    {0x36, 0x07, u'6', u'^', false},
    {0x37, 0x08, u'7', u'&', false},
    {0x38, 0x09, u'8', u'*', false},
    {0x39, 0x0A, u'9', u'(', false},
    {0x41, 0x1E, u'a', u'A', true},
    {0x42, 0x30, u'b', u'B', true},
    {0x43, 0x2E, u'c', u'C', true},
    {0x44, 0x20, u'd', u'D', true},
    {0x45, 0x12, u'e', u'E', true},
    {0x46, 0x21, u'f', u'F', true},
    {0x47, 0x22, u'g', u'G', true},
    {0x48, 0x23, u'h', u'H', true},
    {0x49, 0x17, u'i', u'I', true},
    {0x4A, 0x24, u'j', u'J', true},
    {0x4B, 0x25, u'k', u'K', true},
    {0x4C, 0x26, u'l', u'L', true},
    {0x4D, 0x32, u'm', u'M', true},
    {0x4E, 0x31, u'n', u'N', true},
    {0x4F, 0x18, u'o', u'O', true},
    {0x50, 0x19, u'p', u'P', true},
    {0x51, 0x10, u'q', u'Q', true},
    {0x52, 0x13, u'r', u'R', true},
    {0x53, 0x1F, u's', u'S', true},
    {0x54, 0x14, u't', u'T', true},
    {0x55, 0x16, u'u', u'U', true},
    {0x56, 0x2F, u'v', u'V', true},
    {0x57, 0x11, u'w', u'W', true},
    {0x58, 0x2D, u'x', u'X', true},
    {0x59, 0x15, u'y', u'Y', true},
    {0x5A, 0x2C, u'z', u'Z', true},
    {VK_OEM_1, 0x27, u';', u':', false},
    {VK_OEM_PLUS, 0x0D, u'=', u'+', false},
    {VK_OEM_COMMA, 0x33, u',', u'<', false},
    {VK_OEM_MINUS, 0x0C, u'-', u'_', false},
    {VK_OEM_PERIOD, 0x34, u'.', u'>', false},
    {VK_OEM_2, 0x35, u'/', u'?', false},
    {VK_OEM_3, 0x29, u'`', u'~', false},
    {VK_OEM_4, 0x1A, u'[', u'{', false},
    {VK_OEM_5, 0x2B, u'\\', u'|', false},
    {VK_OEM_6, 0x1B, u']', u'}', false},
    {VK_OEM_7, 0x28, u'\'', u'"', false},
};

const UsKey* FindUsKey(uint8_t vk) {
    for (const UsKey& k : kUsKeys) {
        if (k.vk == vk)
            return &k;
    }
    return nullptr;
}

struct LoadedLayout {
    std::u16string id;
    KbLayoutDef def;
};

struct InputState {
    std::mutex mutex;
    bool down[256] = {};
    bool toggled[256] = {};
    std::vector<LoadedLayout> layouts;  // a layout's handle is its index + 1
    HKL current = 0;
    std::function<void(const KbKeyEvent&)> hook;
};

InputState& State() {
    static InputState state;
    return state;
}

std::u16string UpperId(std::u16string_view id) {
    std::u16string out(id);
    for (char16_t& c : out)
        c = plat::ToUpperAscii(c);
    return out;
}

// With the lock held: the US layout is always there, and current until another is chosen.
void EnsureUsLayout(InputState& s) {
    if (!s.layouts.empty())
        return;
    LoadedLayout us;
    us.id = KB_US_LAYOUT;
    us.def.text = u"US";
    s.layouts.push_back(us);
    s.current = 1;
}

const KbLayoutDef* LayoutOf(InputState& s, HKL layout) {
    if (layout == 0 || layout > s.layouts.size())
        return nullptr;
    return &s.layouts[layout - 1].def;
}

// ---- The layout file -------------------------------------------------------------------------

std::u16string_view Trim(std::u16string_view s) {
    while (!s.empty() && (s.front() == u' ' || s.front() == u'\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == u' ' || s.back() == u'\t'))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// "X" (one character, a surrogate pair counts as one) or "U+XXXX"; false for anything else.
bool ParseCharacter(std::u16string_view field, std::u16string& out) {
    out.clear();
    if (field.size() > 2 && (field[0] == u'U' || field[0] == u'u') && field[1] == u'+') {
        if (field.size() > 8)
            return false;
        uint32_t cp = 0;
        for (char16_t c : field.substr(2)) {
            int d = HexDigit(c);
            if (d < 0)
                return false;
            cp = cp * 16 + static_cast<uint32_t>(d);
        }
        // Control characters, lone surrogates and what lies beyond Unicode type nothing.
        if (cp < 0x20 || cp == 0x7F || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        return true;
    }
    if (field.size() == 1 && field[0] >= 0x20 && field[0] != 0x7F &&
        (field[0] < 0xD800 || field[0] > 0xDFFF)) {
        out.assign(field);
        return true;
    }
    if (field.size() == 2 && field[0] >= 0xD800 && field[0] <= 0xDBFF && field[1] >= 0xDC00 &&
        field[1] <= 0xDFFF) {
        out.assign(field);
        return true;
    }
    return false;
}

// "a, A[, caps]".
bool ParseKeyRow(std::u16string_view value, KbLayoutKey& key) {
    std::vector<std::u16string_view> fields;
    while (true) {
        size_t comma = value.find(u',');
        fields.push_back(Trim(value.substr(0, comma)));
        if (comma == std::u16string_view::npos)
            break;
        value.remove_prefix(comma + 1);
    }
    if (fields.size() < 2 || fields.size() > 3)
        return false;
    if (!ParseCharacter(fields[0], key.normal) || !ParseCharacter(fields[1], key.shift))
        return false;
    key.caps = false;
    if (fields.size() == 3) {
        if (plat::StrCmpNoCase(fields[2], u"caps") != 0)
            return false;
        key.caps = true;
    }
    return true;
}

}  // namespace

// ---- Key messages ----------------------------------------------------------------------------

intptr_t KbKeyMessage::Pack() const {
    uint64_t v = scan;
    v |= uint64_t(extended) << 16;
    v |= uint64_t(shift) << 17;
    v |= uint64_t(ctrl) << 18;
    v |= uint64_t(alt) << 19;
    v |= uint64_t(caps) << 20;
    v |= uint64_t(layout & 0x7FFFFFFF) << 32;
    return static_cast<intptr_t>(v);
}

KbKeyMessage KbKeyMessage::Unpack(intptr_t lParam) {
    const uint64_t v = static_cast<uint64_t>(lParam);
    KbKeyMessage m;
    m.scan = static_cast<uint16_t>(v & 0xFFFF);
    m.extended = (v >> 16) & 1;
    m.shift = (v >> 17) & 1;
    m.ctrl = (v >> 18) & 1;
    m.alt = (v >> 19) & 1;
    m.caps = (v >> 20) & 1;
    m.layout = static_cast<HKL>((v >> 32) & 0x7FFFFFFF);
    return m;
}

// ---- Layout file -----------------------------------------------------------------------------

bool ParseKeyboardLayouts(std::u16string_view text, KbLayoutFile& out) {
    out = KbLayoutFile();
    std::map<long, std::u16string> preload;
    enum { kNone, kPreload, kLayout, kOther } section = kNone;
    KbLayoutDef* layout = nullptr;
    bool anySection = false;
    while (!text.empty()) {
        size_t end = text.find_first_of(u"\r\n");
        std::u16string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::u16string_view::npos ? text.size() : end + 1);
        if (line.empty() || line[0] == u';')
            continue;
        if (line.front() == u'[') {
            anySection = true;
            layout = nullptr;
            if (line.back() != u']') {
                section = kOther;
                continue;
            }
            std::u16string_view name = Trim(line.substr(1, line.size() - 2));
            if (plat::StrCmpNoCase(name, u"Preload") == 0) {
                section = kPreload;
            } else if (!name.empty() && name.size() < 24) {
                section = kLayout;
                layout = &out.layouts[UpperId(name)];
            } else {
                section = kOther;
            }
            continue;
        }
        size_t eq = line.find(u'=');
        if (eq == std::u16string_view::npos)
            continue;
        std::u16string_view name = Trim(line.substr(0, eq));
        std::u16string_view value = Trim(line.substr(eq + 1));
        if (section == kPreload) {
            if (name.empty() || name.size() > 4 || value.empty() || value.size() >= 24)
                continue;
            long n = 0;
            bool digits = true;
            for (char16_t c : name) {
                digits = digits && c >= u'0' && c <= u'9';
                n = n * 10 + (c - u'0');
            }
            if (digits && n > 0)
                preload[n] = std::u16string(value);
        } else if (section == kLayout && layout) {
            if (plat::StrCmpNoCase(name, u"Layout Text") == 0) {
                layout->text.assign(value.substr(0, 259));
            } else if (name.size() == 2 && HexDigit(name[0]) >= 0 && HexDigit(name[1]) >= 0) {
                KbLayoutKey key;
                if (ParseKeyRow(value, key))
                    layout->keys[static_cast<uint8_t>(HexDigit(name[0]) * 16 + HexDigit(name[1]))] =
                        key;
            }
        }
    }
    for (long n = 1; preload.count(n); ++n)
        out.preload.push_back(preload[n]);
    return anySection;
}

bool ReadKeyboardLayouts(KbLayoutFile& out) {
    out = KbLayoutFile();
    CKernel* kernel = CKernel::Instance();
    const std::string path =
        kernel ? kernel->DataPath(KB_LAYOUT_FILE) : plat::ResolvePath(KB_LAYOUT_FILE);
    std::u16string text;
    // The file is a few kilobytes; anything far larger is not a layout file.
    if (!ReadUtf16File(path, text, 1u << 20))
        return false;
    return ParseKeyboardLayouts(text, out);
}

// ---- Key state and events --------------------------------------------------------------------

uint16_t KbMapVirtualKey(uint8_t vk) {
    const UsKey* k = FindUsKey(vk);
    return k ? k->scan : 0;
}

int16_t KbGetKeyState(uint8_t vk) {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    bool down = s.down[vk];
    if (vk == VK_SHIFT)
        down = down || s.down[VK_LSHIFT] || s.down[VK_RSHIFT];
    else if (vk == VK_CONTROL)
        down = down || s.down[VK_LCONTROL] || s.down[VK_RCONTROL];
    else if (vk == VK_MENU)
        down = down || s.down[VK_LMENU] || s.down[VK_RMENU];
    return static_cast<int16_t>((down ? 0x8000 : 0) | (s.toggled[vk] ? 1 : 0));
}

void KbEvent(plat::ui::WindowId target, uint8_t vk, uint16_t scan, uint32_t flags) {
    InputState& s = State();
    KbKeyMessage message;
    std::function<void(const KbKeyEvent&)> hook;
    const bool up = (flags & KEYEVENTF_KEYUP) != 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        EnsureUsLayout(s);
        if (!up && vk == VK_CAPITAL)
            s.toggled[vk] = !s.toggled[vk];
        s.down[vk] = !up;
        message.scan = scan;
        message.extended = (flags & KEYEVENTF_EXTENDEDKEY) != 0;
        message.shift = s.down[VK_SHIFT] || s.down[VK_LSHIFT] || s.down[VK_RSHIFT];
        message.ctrl = s.down[VK_CONTROL] || s.down[VK_LCONTROL] || s.down[VK_RCONTROL];
        message.alt = s.down[VK_MENU] || s.down[VK_LMENU] || s.down[VK_RMENU];
        message.caps = s.toggled[VK_CAPITAL];
        message.layout = s.current;
        hook = s.hook;
    }
    if (hook)
        hook(KbKeyEvent{target, vk, scan, flags});
    plat::ui::PostMessage(target, up ? WM_KEYUP : WM_KEYDOWN, vk, message.Pack());
}

// ---- Layouts ---------------------------------------------------------------------------------

HKL KbGetKeyboardLayout() {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    EnsureUsLayout(s);
    return s.current;
}

HKL KbLoadKeyboardLayout(const char16_t* id, uint32_t flags) {
    if (!id || !*id)
        return 0;
    const std::u16string wanted = UpperId(id);
    InputState& s = State();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        EnsureUsLayout(s);
        for (size_t i = 0; i < s.layouts.size(); ++i) {
            if (s.layouts[i].id == wanted) {
                if (flags & KLF_ACTIVATE)
                    s.current = i + 1;
                return i + 1;
            }
        }
    }
    // Read without the lock: the file is read once per layout.
    KbLayoutFile file;
    ReadKeyboardLayouts(file);
    auto found = file.layouts.find(wanted);
    if (found == file.layouts.end())
        return 0;
    std::lock_guard<std::mutex> lock(s.mutex);
    for (size_t i = 0; i < s.layouts.size(); ++i) {
        if (s.layouts[i].id == wanted) {  // loaded meanwhile
            if (flags & KLF_ACTIVATE)
                s.current = i + 1;
            return i + 1;
        }
    }
    s.layouts.push_back(LoadedLayout{wanted, found->second});
    const HKL layout = s.layouts.size();
    if (flags & KLF_ACTIVATE)
        s.current = layout;
    return layout;
}

HKL KbActivateKeyboardLayout(HKL layout, uint32_t) {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    EnsureUsLayout(s);
    if (!LayoutOf(s, layout))
        return 0;
    const HKL before = s.current;
    s.current = layout;
    return before;
}

std::u16string KbLayoutId(HKL layout) {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    EnsureUsLayout(s);
    return LayoutOf(s, layout) ? s.layouts[layout - 1].id : std::u16string();
}

bool KbIsPhoneticLayout(HKL layout) {
    return layout && plat::StrCmpNoCase(KbLayoutId(layout), u"" KB_IME_LAYOUT) == 0;
}

char KbUsCharacter(uint8_t vk) {
    const UsKey* us = FindUsKey(vk);
    return us && us->normal < 0x80 ? static_cast<char>(us->normal) : 0;
}

std::u16string KbKeyText(uint8_t vk, const KbKeyMessage& message) {
    // Alt makes a key a command, not a character.
    if (message.alt)
        return std::u16string();
    if (message.ctrl) {
        if (vk >= 0x41 && vk <= 0x5A)
            return std::u16string(1, static_cast<char16_t>(vk - 0x40));
        return std::u16string();
    }
    switch (vk) {
        case VK_BACK:
            return u"\b";
        case VK_TAB:
            return u"\t";
        case VK_RETURN:
            return u"\r";
        case VK_ESCAPE:
            return u"\x1b";
        default:
            break;
    }
    KbLayoutKey key;
    bool have = false;
    {
        InputState& s = State();
        std::lock_guard<std::mutex> lock(s.mutex);
        EnsureUsLayout(s);
        if (const KbLayoutDef* def = LayoutOf(s, message.layout)) {
            auto found = def->keys.find(vk);
            if (found != def->keys.end()) {
                key = found->second;
                have = true;
            }
        }
    }
    if (!have) {
        const UsKey* us = FindUsKey(vk);
        if (!us || !us->normal)
            return std::u16string();
        key.normal.assign(1, us->normal);
        key.shift.assign(1, us->shift);
        key.caps = us->caps;
    }
    bool shifted = message.shift;
    if (key.caps && message.caps)
        shifted = !shifted;
    return shifted ? key.shift : key.normal;
}

void KbSetEventHook(std::function<void(const KbKeyEvent&)> hook) {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.hook = std::move(hook);
}

void KbResetForTesting() {
    InputState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::memset(s.down, 0, sizeof s.down);
    std::memset(s.toggled, 0, sizeof s.toggled);
    s.layouts.clear();
    s.current = 0;
    s.hook = nullptr;
}

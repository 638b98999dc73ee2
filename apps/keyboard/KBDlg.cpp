#include "apps/keyboard/KBDlg.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "apps/keyboard/ExtendedKB.h"
#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using KvUserInterface::IKvButton;
using KvUserInterface::IKvText;

const KB_KEY_DEF g_KbKeys[KB_KEY_COUNT] = {
    {u"KEY_APOSTROPHE", VK_OEM_3},
    {u"KEY_1", 0x31},
    {u"KEY_2", 0x32},
    {u"KEY_3", 0x33},
    {u"KEY_4", 0x34},
    {u"KEY_5", 0x35},
    {u"KEY_6", 0x36},
    {u"KEY_7", 0x37},
    {u"KEY_8", 0x38},
    {u"KEY_9", 0x39},
    {u"KEY_0", 0x30},
    {u"KEY_HYPHEN", VK_OEM_MINUS},
    {u"KEY_EQUAL", VK_OEM_PLUS},
    {u"KEY_DELETE", VK_BACK},
    {u"KEY_TAB", VK_TAB},
    {u"KEY_Q", 0x51},
    {u"KEY_W", 0x57},
    {u"KEY_E", 0x45},
    {u"KEY_R", 0x52},
    {u"KEY_T", 0x54},
    {u"KEY_Y", 0x59},
    {u"KEY_U", 0x55},
    {u"KEY_I", 0x49},
    {u"KEY_O", 0x4F},
    {u"KEY_P", 0x50},
    {u"KEY_LEFT_BRACKET", VK_OEM_4},
    {u"KEY_RIGHT_BRACKET", VK_OEM_6},
    {u"KEY_XXX", VK_OEM_5},
    {u"KEY_CAPS", VK_CAPITAL},
    {u"KEY_A", 0x41},
    {u"KEY_S", 0x53},
    {u"KEY_D", 0x44},
    {u"KEY_F", 0x46},
    {u"KEY_G", 0x47},
    {u"KEY_H", 0x48},
    {u"KEY_J", 0x4A},
    {u"KEY_K", 0x4B},
    {u"KEY_L", 0x4C},
    {u"KEY_SEMICOLON", VK_OEM_1},
    {u"KEY_YYY", VK_OEM_7},
    {u"KEY_ENTER", VK_RETURN},
    {u"KEY_LEFT_SHIFT", VK_LSHIFT},
    {u"KEY_Z", 0x5A},
    {u"KEY_X", 0x58},
    {u"KEY_C", 0x43},
    {u"KEY_V", 0x56},
    {u"KEY_B", 0x42},
    {u"KEY_N", 0x4E},
    {u"KEY_M", 0x4D},
    {u"KEY_COMMA", VK_OEM_COMMA},
    {u"KEY_PERIOD", VK_OEM_PERIOD},
    {u"KEY_SLASH", VK_OEM_2},
    {u"KEY_RIGHT_SHIFT", VK_LSHIFT},  // both Shift keys are the left one to the system
    {u"KEY_CTRL", VK_LCONTROL},
    {u"KEY_WINDOWS", VK_LWIN},
    {u"KEY_ALT", VK_LMENU},
    {u"KEY_SPACE", VK_SPACE},
    {u"KEY_ESC", VK_ESCAPE},
    {u"KEY_IME", 0},
    {u"KEY_LEFT", VK_LEFT},
    {u"KEY_UP", VK_UP},
    {u"KEY_RIGHT", VK_RIGHT},
    {u"KEY_DOWN", VK_DOWN},
    {u"BTNTYPE_SAVE", 0},
    {u"BTNTYPE_EXIT", 0},
};

namespace {

// The rear seat makes its extended keyboard button through its hook, which the keyboard sets
// as the program starts, before any seat is made.
[[maybe_unused]] const bool g_bExtendedKBHook = [] {
    CSeatCtrlDlg::Hooks().pfnCreateExtendedKB = &CExtendedKB::Make;
    return true;
}();

bool IsLatchingKey(int key) {
    return key == KB_KEY_CAPS || key == KB_KEY_LEFT_SHIFT || key == KB_KEY_RIGHT_SHIFT ||
           key == KB_KEY_CTRL || key == KB_KEY_ALT;
}

bool IsLetterKey(int key) {
    return (key >= 15 && key <= 24) || (key >= 29 && key <= 37) || (key >= 42 && key <= 48);
}

// The keys whose caption comes from the tables; the others keep their skin caption.
bool IsCaptionedKey(int key) {
    return key >= 0 && key <= KB_KEY_IME && key != KB_KEY_WINDOWS && key != KB_KEY_SPACE &&
           key != KB_KEY_IME;
}

// A field of the text-input block: at most its size less one, whether or not the asking page
// terminated it.
std::u16string_view BlockText(const char16_t (&field)[KB_TEXT_CHARS]) {
    return std::u16string_view(field, plat::StrLenN(field, KB_TEXT_CHARS - 1));
}

// `text` cut to `chars` units without leaving half of a surrogate pair.
std::u16string_view CutWhole(std::u16string_view text, size_t chars) {
    if (text.size() <= chars)
        return text;
    if (chars > 0 && text[chars - 1] >= 0xD800 && text[chars - 1] <= 0xDBFF)
        --chars;
    return text.substr(0, chars);
}

using pageui::ReleaseAndClear;

}  // namespace

CKBDlg::CKBDlg() {
    LoadLayoutList();
    m_hSavedLayout = KbGetKeyboardLayout();
    PrepareFaces();
}

// The faces of the edit box and of the candidates (a large CJK one) are looked up on another
// thread while the pages made after this one load their skins; making the fonts then finds them.
void CKBDlg::PrepareFaces() const {
    plat::Font::PrepareFace("Times New Roman", 700);
    CKernel* kernel = CKernel::Instance();
    const std::u16string skinFile = SkinPath(KB_SKIN_FILE);
    if (!kernel || !kernel->m_pRoot || skinFile.empty())
        return;
    for (const char16_t* section : {KB_CAND_SECTION_FRONT, KB_CAND_SECTION_REAR}) {
        char16_t line[512] = {};
        char16_t face[128] = {};
        kernel->m_pRoot->GetIniString(skinFile.c_str(), section, u"Font", line, 512);
        kernel->m_pRoot->GetFieldString(line, 1, face, 128);
        if (face[0])
            plat::Font::PrepareFace(plat::Utf16ToUtf8(face), 400);
    }
}

CKBDlg::~CKBDlg() {
    ReleaseKeys();
    ReleaseAndClear(m_pCandParts);
    ReleaseAndClear(m_pTitle);
    m_Layouts.clear();
    m_pEdit.reset();
}

void CKBDlg::ReleaseKeys() {
    ReleaseAndClear(m_pKeys);
}

// ---- Skin ------------------------------------------------------------------------------------

bool CKBDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    IVantrel* root = kernel->m_pRoot;
    const std::u16string skinFile = SkinPath(KB_SKIN_FILE);
    const std::u16string keyFolder = SkinPath(KB_KEY_FOLDER);

    char16_t background[512] = {};
    root->GetIniString(skinFile.c_str(), u"Property", u"Background", background, 512);
    KvMultimedia::IKvImage* image = nullptr;
    if (!background[0] ||
        root->CreateImage(
            &image, plat::FormatStr(u"%s\\%s", keyFolder.c_str(), background).c_str()) != RZ_OK ||
        !image)
        return false;
    ReleaseAndClear(m_pBackground);
    m_pBackground = image;

    ReleaseKeys();
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (root->CreateButton(&m_pKeys[k]) != RZ_OK || !m_pKeys[k])
            return false;
        m_pKeys[k]->LoadLayout(skinFile.c_str(), u"Buttons", g_KbKeys[k].name, keyFolder.c_str());
        m_pKeys[k]->SetTitleAlign(0x26);
    }

    IKvText* title = nullptr;
    if (root->CreateText(&title) != RZ_OK || !title)
        return false;
    ReleaseAndClear(m_pTitle);
    m_pTitle = title;
    m_pTitle->SetRect(30, 10, 430, 36);
    m_pTitle->SetFont(16, 255, 79, 35);
    // A skin without the row still types; the input method then shows no candidates.
    if (!LoadCandidateRow(root, skinFile, keyFolder))
        WriteLog("CKBDlg: no candidate row in the skin");
    WriteLog("CKBDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CKBDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    IMPlayerDlg::SetSkin(seat, mainWnd, appType);
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (LoadSkin())
            return true;
    }
    return false;
}

void CKBDlg::SetOwner(CSeatCtrlDlg* owner) {
    IMPlayerDlg::SetOwner(owner);
    plat::Font::Create("Times New Roman", 60, 24, 700, true, m_EditFont);
    m_pEdit.reset();
    const plat::ui::WindowId seat = OwnerWindow();
    if (seat != plat::ui::kNoWindow) {
        auto edit = std::make_unique<CKbEdit>();
        if (edit->CreateEdit(seat, plat::Rect::FromXYWH(30, 90, 450, 70), 1)) {
            // One character less than the result field holds, so that whatever is typed fits
            // it with its terminator.
            edit->SetLimitText(m_iTextLimit - 1);
            // What the input method gives must convert into the narrow buffer of textLimit
            // bytes with its terminator, as typed text is checked against before each key.
            edit->SetLimitBytes(m_iTextLimit);
            edit->SetPhoneticEngine(&m_Phonetic);
            edit->SetFont(m_EditFont);
            m_pEdit = std::move(edit);
        }
    }
    if (LoadWordTables()) {
        m_bTablesInvalid = 0;
        RelabelKeys();
    } else {
        plat::ui::MessageBox(plat::ui::kNoWindow, u"WordTable file invalid", u"Error",
                             plat::ui::kMbOk);
        m_bTablesInvalid = 1;
    }
}

bool CKBDlg::LoadWordTables() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    KvUtility::IKvDirectory* dir = nullptr;
    if (kernel->m_pRoot->CreateDirectory(&dir) != RZ_OK || !dir)
        return false;
    const std::u16string folder = SkinPath(KB_WORDTABLE_FOLDER);
    const char16_t* formats[KB_TABLE_COUNT] = KB_WORDTABLE_NAMES;
    std::u16string names[KB_TABLE_COUNT];
    for (int t = 0; t < KB_TABLE_COUNT; ++t)
        names[t] = plat::FormatStr(formats[t], 1);
    bool found[KB_TABLE_COUNT] = {};
    bool ok = dir->SetPath(folder.c_str()) == RZ_OK && dir->Scan() == RZ_OK;
    char16_t name[KvUtility::KVDIR_NAME_CHARS];
    uint16_t type = 0;
    for (RZRESULT r = ok ? dir->GetFirst(name, KvUtility::KVDIR_NAME_CHARS, &type) : RZ_FAIL;
         ok && r == RZ_OK; r = dir->GetNext(name, KvUtility::KVDIR_NAME_CHARS, &type)) {
        if (type != KvUtility::DIR_ENTRY_FILE)
            continue;
        for (int t = 0; t < KB_TABLE_COUNT; ++t) {
            if (names[t] != name)
                continue;
            found[t] = true;
            const std::string path = plat::NativePath(folder + name);
            std::vector<uint8_t> bytes;
            // An entry that cannot be read (or is no plain file, or is far larger than any
            // caption file) is skipped, as an empty one is: its table stays empty.
            if (!plat::IsRegularFile(path) || !plat::ReadWholeFile(path, bytes, 1u << 20) ||
                bytes.empty())
                break;
            ParseWordTable(bytes.data(), bytes.size(), m_szCaptions[t]);
            break;
        }
    }
    dir->Release();
    return ok && found[0] && found[1] && found[2];
}

// ---- Modes -----------------------------------------------------------------------------------

void CKBDlg::RelabelKeys() {
    const int table = m_bImeMode        ? KB_TABLE_IME
                      : m_bShiftLatched ? KB_TABLE_SHIFT
                                        : KB_TABLE_NORMAL;
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (!IsCaptionedKey(k) || !m_pKeys[k])
            continue;
        int source = table;
        // Caps Lock turns the letters the other way round.
        if (!m_bImeMode && m_bCapsLock && IsLetterKey(k))
            source = m_bShiftLatched ? KB_TABLE_NORMAL : KB_TABLE_SHIFT;
        m_pKeys[k]->SetTitle(m_szCaptions[source][k]);
    }
    if (m_bImeMode)
        ActivateImeLayout();
    if (IKvButton* mode = m_pKeys[KB_KEY_IME]) {
        if (m_bImeMode) {
            mode->SetPressed();
        } else {
            mode->SetNormal();
            KbActivateKeyboardLayout(m_hSavedLayout, 0);
        }
    }
    const struct {
        int key;
        uint8_t on;
    } latches[] = {
        {KB_KEY_CAPS, m_bCapsLock},
        {KB_KEY_LEFT_SHIFT, m_bShiftLatched},
        {KB_KEY_RIGHT_SHIFT, m_bShiftLatched},
        {KB_KEY_CTRL, m_bCtrlLatched},
        {KB_KEY_ALT, m_bAltLatched},
    };
    for (const auto& latch : latches) {
        if (IKvButton* key = m_pKeys[latch.key]) {
            if (latch.on)
                key->SetPressed();
            else
                key->SetNormal();
        }
    }
    InvalidateOwner();
}

void CKBDlg::ActivateImeLayout() {
    for (const KB_LAYOUT_NODE& node : m_Layouts) {
        if (plat::StrCmpNoCase(node.szId, u"" KB_IME_LAYOUT) != 0)
            continue;
        HKL layout = KbLoadKeyboardLayout(node.szId, KLF_ACTIVATE);
        if (layout) {
            KbActivateKeyboardLayout(layout, KLF_SETFORPROCESS);
            // The engine starts the first time it is needed; without it the layout types its
            // symbols as they are.
            if (!m_Phonetic.IsOpen() && !m_Phonetic.Open())
                WriteLog("CKBDlg: the phonetic input method cannot start");
        }
        return;
    }
}

void CKBDlg::LoadLayoutList() {
    m_Layouts.clear();
    CKernel* kernel = CKernel::Instance();
    plat::KeyValueStore* registry = kernel ? &kernel->Registry() : nullptr;
    std::vector<std::u16string> ids;
    std::u16string value;
    for (int n = 1; registry && registry->GetString(KB_PRELOAD_KEY, std::to_string(n), &value); ++n)
        ids.push_back(value);
    // A registry that lists no layouts (a new unit) has those of the layout file.
    KbLayoutFile file;
    const bool haveFile = ReadKeyboardLayouts(file);
    if (ids.empty() && haveFile)
        ids = file.preload;
    for (const std::u16string& id : ids) {
        // A cut id would name another layout.
        if (id.empty() || id.size() >= 24)
            continue;
        std::u16string text;
        const std::string key = KB_LAYOUTS_KEY + plat::Utf16ToUtf8(id);
        if (!registry || !registry->GetString(key, KB_LAYOUT_TEXT, &text)) {
            std::u16string upper = id;
            for (char16_t& c : upper)
                c = plat::ToUpperAscii(c);
            auto found = file.layouts.find(upper);
            if (found == file.layouts.end())
                continue;
            text = found->second.text;
        }
        KB_LAYOUT_NODE node = {};
        plat::StrCopy(node.szId, id);
        plat::StrCopy(node.szText, text);
        m_Layouts.push_back(node);
    }
}

// ---- Pen and paint ---------------------------------------------------------------------------

void CKBDlg::OnLButtonDown(int x, int y) {
    m_iCandPressed = CandidateAt(x, y, true);
    if (m_iCandPressed != KB_CAND_NONE) {
        InvalidateOwner();
        return;
    }
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (m_pKeys[k] && m_pKeys[k]->OnLButtonDown(x, y) == RZ_HIT) {
            m_pKeys[k]->SetPressed();
            m_byPressed = static_cast<uint8_t>(k);
            break;
        }
    }
    InvalidateOwner();
}

void CKBDlg::OnLButtonUp(int x, int y) {
    if (m_iCandPressed != KB_CAND_NONE) {
        // A candidate acts when the pen leaves it where it went down, at the next paint.
        if (CandidateAt(x, y, false) == m_iCandPressed)
            m_iCandAction = m_iCandPressed;
        m_iCandPressed = KB_CAND_NONE;
        for (int part : {KB_CAND_PREV, KB_CAND_NEXT})
            if (m_pCandParts[part])
                m_pCandParts[part]->SetNormal();
        InvalidateOwner();
        return;
    }
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (m_pKeys[k] && m_pKeys[k]->OnLButtonUp(x, y) == RZ_HIT) {
            if (m_byPressed == k)
                CommitFlag() = 1;
            else
                m_byPressed = static_cast<uint8_t>(k);
            break;
        }
    }
    // Only the key about to act stays lit; the latching keys and the mode key show their mode.
    // (Leaving the lit keys of earlier presses alone would light up every key typed.)
    for (int k = 0; k < KB_KEY_COUNT; ++k) {
        if (!m_pKeys[k] || IsLatchingKey(k) || k == KB_KEY_IME)
            continue;
        if (!CommitFlag() || k != m_byPressed)
            m_pKeys[k]->SetNormal();
    }
    if (m_pKeys[KB_KEY_SAVE])
        m_pKeys[KB_KEY_SAVE]->SetNormal();
    if (m_pKeys[KB_KEY_EXIT])
        m_pKeys[KB_KEY_EXIT]->SetNormal();
    InvalidateOwner();
}

void CKBDlg::Render(plat::Canvas* hdc) {
    if (m_pBackground)
        m_pBackground->Draw(hdc, 0, 0, 0, 0);
    for (IKvButton* key : m_pKeys) {
        if (key)
            key->Draw(hdc, 0, 0);
    }
    if (m_pTitle)
        m_pTitle->Draw(hdc);
    if (CandidateRowShown())
        DrawCandidates(hdc);
    if (m_iCandAction != KB_CAND_NONE) {
        const int action = m_iCandAction;
        m_iCandAction = KB_CAND_NONE;
        RunCandidateAction(action);
    }
    if (!CommitFlag())
        return;
    CommitFlag() = 0;
    const int key = m_byPressed;
    m_byPressed = KB_NO_KEY;
    if (key == KB_KEY_EXIT)
        OnBack();
    else if (key == KB_KEY_SAVE)
        OnSave();
    else
        PressKey(key);
}

// ---- Keys ------------------------------------------------------------------------------------

void CKBDlg::SendKey(uint8_t vk, bool up) {
    const plat::ui::WindowId target = m_pEdit ? m_pEdit->Id() : plat::ui::kNoWindow;
    KbEvent(target, vk, KbMapVirtualKey(vk),
            up ? KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP : KEYEVENTF_EXTENDEDKEY);
}

void CKBDlg::ToggleLatch(uint8_t& latched, uint8_t vk) {
    SendKey(vk, false);
    latched = !latched;
    if (!latched)
        SendKey(vk, true);
    RelabelKeys();
}

void CKBDlg::PressKey(int key) {
    if (m_bTablesInvalid)
        return;
    switch (key) {
        case KB_KEY_IME:
            m_bImeMode = !m_bImeMode;
            // Leaving the input method ends its composition as a change of focus does, after
            // the keys already on their way.
            if (!m_bImeMode && m_pEdit)
                plat::ui::PostMessage(m_pEdit->Id(), WM_KBEDIT_END_COMPOSITION, 1, 0);
            // Ctrl cannot be let go in input method mode: let it go now rather than leave it
            // held under every key typed there.
            if (m_bImeMode && m_bCtrlLatched) {
                SendKey(VK_LCONTROL, true);
                m_bCtrlLatched = 0;
            }
            RelabelKeys();
            return;
        case KB_KEY_CAPS:
            if (m_bImeMode)
                return;
            SendKey(VK_CAPITAL, false);
            SendKey(VK_CAPITAL, true);
            m_bCapsLock = !m_bCapsLock;
            RelabelKeys();
            return;
        case KB_KEY_LEFT_SHIFT:
        case KB_KEY_RIGHT_SHIFT:
            if (!m_bImeMode)
                ToggleLatch(m_bShiftLatched, VK_LSHIFT);
            return;
        case KB_KEY_CTRL:
            if (!m_bImeMode)
                ToggleLatch(m_bCtrlLatched, VK_LCONTROL);
            return;
        case KB_KEY_ALT:
            if (!m_bImeMode)
                ToggleLatch(m_bAltLatched, VK_LMENU);
            return;
        case KB_KEY_WINDOWS:
            SendKey(VK_LWIN, false);
            SendKey(VK_LWIN, true);
            return;
        default:
            break;
    }
    const uint8_t vk = key >= 0 && key < KB_KEY_COUNT ? g_KbKeys[key].vk : 0;
    if (!vk) {
        plat::ui::MessageBox(plat::ui::kNoWindow, u"Unknown key", u"warning", plat::ui::kMbOk);
        return;
    }
    if (vk != VK_BACK) {
        // The typed text is held to textLimit bytes in the narrow code page.
        const std::u16string text = m_pEdit ? m_pEdit->GetText(127) : std::u16string();
        size_t bytes = 0;
        CKernel* kernel = CKernel::Instance();
        if (kernel && kernel->m_pRoot && !text.empty()) {
            char narrow[128];
            kernel->m_pRoot->WideToMB(text.c_str(), -1, narrow, sizeof narrow);
            bytes = std::strlen(narrow);
            // A text that does not fit the buffer converts to nothing: it is past the limit.
            if (bytes == 0)
                bytes = sizeof narrow;
        } else {
            bytes = plat::Utf16ToUtf8(text).size();
        }
        if (bytes >= static_cast<size_t>(m_iTextLimit))
            return;
    }
    SendKey(vk, false);
}

// ---- Show, save and back ---------------------------------------------------------------------

void CKBDlg::Show(bool visible, uint8_t param) {
    CKernel* kernel = CKernel::Instance();
    if (visible) {
        m_bCapsLock = KbGetKeyState(VK_CAPITAL) == 1 ? 1 : 0;
        RelabelKeys();
        if (m_pTitle && kernel)
            m_pTitle->SetText(std::u16string(BlockText(kernel->m_szKbTitle)).c_str());
        if (m_pEdit) {
            const std::u16string initial =
                kernel ? std::u16string(BlockText(kernel->m_szKbInitial)) : std::u16string();
            m_pEdit->SetText(CutWhole(initial, m_iTextLimit - 1));
            const int end = static_cast<int>(m_pEdit->GetTextLength());
            m_pEdit->SetSel(end, end);
            m_pEdit->ScrollCaret();
            plat::ui::ShowWindow(m_pEdit->Id(), true);
        }
    } else if (m_pEdit) {
        // The next request starts from its own text.
        m_pEdit->EndComposition(false);
        plat::ui::ShowWindow(m_pEdit->Id(), false);
    }
    m_iCandPressed = m_iCandAction = KB_CAND_NONE;
    m_bVisible = visible ? 1 : 0;
    if (param != 255)
        m_byShowParam = param;
}

void CKBDlg::OnBack() {
    if (m_pEdit)
        m_pEdit->EndComposition(false);
    if (CKernel* kernel = CKernel::Instance())
        kernel->m_iKbResult = -1;
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_KB) << 16) + m_byShowParam);
}

void CKBDlg::OnSave() {
    // What is composed counts as typed: the converted characters go in, an unfinished
    // syllable is dropped.
    if (m_pEdit)
        m_pEdit->EndComposition(true);
    const std::u16string text = m_pEdit ? m_pEdit->GetText(259) : std::u16string();
    if (text.empty()) {
        plat::ui::MessageBox(OwnerWindow(), u"\tThe input cannot be empty !\t\t", u"Warning",
                             plat::ui::kMbOk);
        return;
    }
    CKernel* kernel = CKernel::Instance();
    if (kernel)
        plat::StrCopy(kernel->m_szKbResult, CutWhole(text, KB_TEXT_CHARS - 1));
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                          (intptr_t(APPTYPE_KB) << 16) + m_byShowParam);
}

// ---- Candidate row ---------------------------------------------------------------------------

bool CKBDlg::LoadCandidateRow(IVantrel* root, const std::u16string& skinFile,
                              const std::u16string& keyFolder) {
    static const char16_t* const kParts[KB_CAND_PARTS] = {u"CAND_ROW", u"CAND_PREV", u"CAND_NEXT",
                                                          u"CAND_CELL"};
    ReleaseAndClear(m_pCandParts);
    const char16_t* section = m_bySeat ? KB_CAND_SECTION_REAR : KB_CAND_SECTION_FRONT;
    bool ok = true;
    for (int p = 0; p < KB_CAND_PARTS; ++p) {
        if (root->CreateButton(&m_pCandParts[p]) != RZ_OK || !m_pCandParts[p])
            return false;
        m_pCandParts[p]->LoadLayout(skinFile.c_str(), section, kParts[p], keyFolder.c_str());
        plat::Rect r;
        m_pCandParts[p]->GetRect(&r);
        ok = ok && r.Width() > 0 && r.Height() > 0;
    }
    // "Font = face, height in pixels, r, g, b": the candidates are Han characters, drawn in
    // the CJK face at its own proportions.
    char16_t line[512] = {};
    root->GetIniString(skinFile.c_str(), section, u"Font", line, 512);
    char16_t face[128] = {};
    int height = 0, r = 255, g = 255, b = 255;
    root->GetFieldString(line, 1, face, 128);
    root->GetFieldInt(line, 2, &height);
    root->GetFieldInt(line, 3, &r);
    root->GetFieldInt(line, 4, &g);
    root->GetFieldInt(line, 5, &b);
    m_uCandInk = plat::Argb(255, static_cast<uint8_t>(std::clamp(r, 0, 255)),
                            static_cast<uint8_t>(std::clamp(g, 0, 255)),
                            static_cast<uint8_t>(std::clamp(b, 0, 255)));
    if (!face[0] || height <= 0 ||
        !plat::Font::Create(plat::Utf16ToUtf8(face), height, 0, 400, true, m_CandFont))
        ok = false;
    m_CandLaidOut.clear();
    m_CandPages.clear();
    m_CandCells.clear();
    m_uCandPage = 0;
    return ok;
}

void CKBDlg::LayoutCandidates() {
    const std::vector<std::u16string>& candidates = m_Phonetic.Candidates();
    IKvButton* prev = m_pCandParts[KB_CAND_PREV];
    IKvButton* next = m_pCandParts[KB_CAND_NEXT];
    IKvButton* cell = m_pCandParts[KB_CAND_CELL];
    if (!prev || !next || !cell)
        return;
    plat::Rect prevRect, nextRect, cellRect;
    prev->GetRect(&prevRect);
    next->GetRect(&nextRect);
    cell->GetRect(&cellRect);
    // The cells fill the band between the page keys; CAND_CELL's place gives the first cell's
    // left edge, its height and the narrowest cell.
    const int left = cellRect.left;
    const int right =
        std::max(left + cellRect.Width(), nextRect.left - (cellRect.left - prevRect.right));
    const int gap = 4;
    auto widthOf = [&](const std::u16string& text) {
        const int w = plat::MeasureText(m_CandFont, text, plat::kTextSingleLine).x + 2 * 10;
        return std::min(std::max(w, cellRect.Width()), right - left);
    };
    if (candidates != m_CandLaidOut) {
        m_CandLaidOut = candidates;
        m_CandPages.clear();
        m_uCandPage = 0;
        int x = right;  // forces a page at the first candidate
        for (size_t i = 0; i < candidates.size(); ++i) {
            const int w = widthOf(candidates[i]);
            if (x + w > right) {
                m_CandPages.push_back(i);
                x = left;
            }
            x += w + gap;
        }
    }
    m_CandCells.clear();
    if (m_CandPages.empty())
        return;
    m_uCandPage = std::min(m_uCandPage, m_CandPages.size() - 1);
    const size_t end =
        m_uCandPage + 1 < m_CandPages.size() ? m_CandPages[m_uCandPage + 1] : candidates.size();
    int x = left;
    for (size_t i = m_CandPages[m_uCandPage]; i < end; ++i) {
        const int w = widthOf(candidates[i]);
        m_CandCells.push_back(
            KB_CANDIDATE_CELL{plat::Rect{x, cellRect.top, x + w, cellRect.bottom}, i});
        x += w + gap;
    }
}

void CKBDlg::DrawCandidates(plat::Canvas* hdc) {
    LayoutCandidates();
    if (IKvButton* row = m_pCandParts[KB_CAND_ROW])
        row->Draw(hdc, 0, 0);
    IKvButton* prev = m_pCandParts[KB_CAND_PREV];
    IKvButton* next = m_pCandParts[KB_CAND_NEXT];
    IKvButton* cell = m_pCandParts[KB_CAND_CELL];
    if (!prev || !next || !cell)
        return;
    const size_t pages = m_CandPages.size();
    // The page keys show only when there is a page that way.
    if (m_uCandPage > 0) {
        if (m_iCandPressed == KB_CAND_PRESS_PREV)
            prev->SetPressed();
        prev->Draw(hdc, 0, 0);
    }
    if (m_uCandPage + 1 < pages) {
        if (m_iCandPressed == KB_CAND_PRESS_NEXT)
            next->SetPressed();
        next->Draw(hdc, 0, 0);
    }
    const std::vector<std::u16string>& candidates = m_CandLaidOut;
    // The seat's canvas is every page's: the candidates' face is put back when they are drawn,
    // or the pages drawn next would write in it.
    const plat::Font previous = hdc->GetFont();
    hdc->SetFont(m_CandFont);
    hdc->SetTextColor(m_uCandInk);
    for (size_t c = 0; c < m_CandCells.size(); ++c) {
        const KB_CANDIDATE_CELL& shown = m_CandCells[c];
        if (m_iCandPressed == static_cast<int>(c))
            cell->SetPressed();
        else
            cell->SetNormal();
        cell->DrawTo(hdc, shown.rect.left, shown.rect.top, shown.rect.right, shown.rect.bottom);
        hdc->DrawText(candidates[shown.index], shown.rect,
                      plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
    }
    hdc->SetFont(previous);
    cell->SetNormal();
}

int CKBDlg::CandidateAt(int x, int y, bool down) {
    if (!CandidateRowShown())
        return KB_CAND_NONE;
    const size_t pages = m_CandPages.size();
    IKvButton* prev = m_pCandParts[KB_CAND_PREV];
    IKvButton* next = m_pCandParts[KB_CAND_NEXT];
    if (prev && m_uCandPage > 0 &&
        (down ? prev->OnLButtonDown(x, y) : prev->OnLButtonUp(x, y)) == RZ_HIT)
        return KB_CAND_PRESS_PREV;
    if (next && m_uCandPage + 1 < pages &&
        (down ? next->OnLButtonDown(x, y) : next->OnLButtonUp(x, y)) == RZ_HIT)
        return KB_CAND_PRESS_NEXT;
    for (size_t c = 0; c < m_CandCells.size(); ++c) {
        const plat::Rect& r = m_CandCells[c].rect;
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            return static_cast<int>(c);
    }
    return KB_CAND_NONE;
}

void CKBDlg::RunCandidateAction(int action) {
    if (action == KB_CAND_PRESS_PREV) {
        if (m_uCandPage > 0)
            --m_uCandPage;
    } else if (action == KB_CAND_PRESS_NEXT) {
        if (m_uCandPage + 1 < m_CandPages.size())
            ++m_uCandPage;
    } else if (action >= 0 && static_cast<size_t>(action) < m_CandCells.size() && m_pEdit) {
        // The engine's candidates are those laid out: nothing typed since the row was drawn.
        if (m_Phonetic.Candidates() == m_CandLaidOut)
            m_pEdit->ChooseCandidate(m_CandCells[action].index);
    }
    InvalidateOwner();
}

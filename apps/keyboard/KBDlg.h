// The on-screen keyboard page (APPTYPE_KB): a skinned 65-key keyboard, a title and a single-line
// edit box. A page that needs a line of text fills the kernel's text-input block and switches
// here with lParam (own APPTYPE << 16) | APPTYPE_KB; Save copies the text into the block and
// switches back, Back (or Exit) switches back with m_iKbResult -1.
//
// Each key press becomes a key event queued to the page's own edit box (KbInput.h), so Shift,
// Ctrl, Alt and Caps Lock work as latching keys of the system's key state, and the input method
// key switches to the phonetic layout when it is installed. The key captions come from three
// caption tables of the skin (normal, Shift, input method).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "apps/keyboard/KbEdit.h"
#include "apps/keyboard/KbInput.h"
#include "apps/keyboard/WordTable.h"
#include "core/ui/MPlayerDlg.h"
#include "platform/gfx/Font.h"
#include "platform/text/Phonetic.h"

// Key numbers with a role of their own.
enum : int {
    KB_KEY_DELETE = 13,
    KB_KEY_CAPS = 28,
    KB_KEY_LEFT_SHIFT = 41,
    KB_KEY_RIGHT_SHIFT = 52,
    KB_KEY_CTRL = 53,
    KB_KEY_WINDOWS = 54,
    KB_KEY_ALT = 55,
    KB_KEY_SPACE = 56,
    KB_KEY_IME = 58,
    KB_KEY_SAVE = 63,
    KB_KEY_EXIT = 64,
    KB_NO_KEY = 255,
};

// The caption tables.
enum : int { KB_TABLE_NORMAL = 0, KB_TABLE_SHIFT = 1, KB_TABLE_IME = 2, KB_TABLE_COUNT = 3 };

// A key: the name of its button in the skin and the key code it sends (0: none).
struct KB_KEY_DEF {
    const char16_t* name;
    uint8_t vk;
};
extern const KB_KEY_DEF g_KbKeys[KB_KEY_COUNT];

// The skin, relative to the skin folder.
#define KB_KEY_FOLDER u"ScreenKB"
#define KB_SKIN_FILE u"ScreenKB\\ScreenKB.ini"
#define KB_WORDTABLE_FOLDER u"ScreenKB\\WORDTABLE\\"
#define KB_WORDTABLE_NAMES \
    { u"WT_%02d_normal.txt", u"WT_%02d_shift.txt", u"WT_%02d_ime.txt" }

class IVantrel;

// The candidate row of the phonetic input method: its section of the skin file for the front
// (800x480) and the rear (800x600) screen, and its parts. The row's pictures are buttons of
// that section: the band, the page keys and one cell that every candidate is drawn on,
// stretched to the candidate's width.
#define KB_CAND_SECTION_FRONT u"Candidates Front"
#define KB_CAND_SECTION_REAR u"Candidates Rear"
enum : int {
    KB_CAND_ROW = 0,
    KB_CAND_PREV = 1,
    KB_CAND_NEXT = 2,
    KB_CAND_CELL = 3,
    KB_CAND_PARTS = 4
};
// What a pen press on the row names besides a cell.
enum : int { KB_CAND_NONE = -1, KB_CAND_PRESS_PREV = -2, KB_CAND_PRESS_NEXT = -3 };

// A candidate as the row shows it: where, and which of the engine's candidates.
struct KB_CANDIDATE_CELL {
    plat::Rect rect;
    size_t index;
};

// An installed keyboard layout as the registry lists it.
struct KB_LAYOUT_NODE {
    char16_t szId[24];
    char16_t szText[260];
};

class CKBDlg : public IMPlayerDlg {
public:
    CKBDlg();
    ~CKBDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    // Makes the edit box in the seat's window and loads the caption tables.
    void SetOwner(CSeatCtrlDlg* owner) override;
    void Show(bool visible, uint8_t param) override;
    void Render(plat::Canvas* hdc) override;
    // Cancel: m_iKbResult -1 and back to the asking page.
    void OnBack() override;

    // The three caption tables from the skin's word-table folder; false when the folder cannot
    // be read or one of the three files is missing.
    bool LoadWordTables();
    // Captions and latch states of the keys for the current modes.
    void RelabelKeys();
    void ActivateImeLayout();
    // The installed layouts from the registry ("Keyboard Layout\Preload"), or those of the
    // layout file when the registry lists none.
    void LoadLayoutList();
    void PrepareFaces() const;
    // What a released key does (run from Render).
    void PressKey(int key);
    void OnSave();

    CKbEdit* Edit() const { return m_pEdit.get(); }
    // The phonetic engine (open once the input method was first switched on).
    plat::PhoneticEngine& Phonetic() { return m_Phonetic; }
    // True while the candidate row shows: input method mode on the phonetic engine.
    bool CandidateRowShown() const { return m_bImeMode && m_Phonetic.IsOpen(); }
    // The cells of the candidate page shown, and that page's number (from 0) and count.
    const std::vector<KB_CANDIDATE_CELL>& CandidateCells() const { return m_CandCells; }
    size_t CandidatePage() const { return m_uCandPage; }
    size_t CandidatePages() const { return m_CandPages.size(); }
    KvUserInterface::IKvButton* CandidatePart(int part) const {
        return part >= 0 && part < KB_CAND_PARTS ? m_pCandParts[part] : nullptr;
    }
    KvUserInterface::IKvButton* Key(int key) const {
        return key >= 0 && key < KB_KEY_COUNT ? m_pKeys[key] : nullptr;
    }

    KvUserInterface::IKvButton* m_pKeys[KB_KEY_COUNT] = {};
    uint8_t m_bTablesInvalid = 0;
    KB_CAPTION_TABLE m_szCaptions[KB_TABLE_COUNT] = {};
    uint8_t m_bImeMode = 0;
    uint8_t m_bCapsLock = 0;
    uint8_t m_bShiftLatched = 0;
    uint8_t m_bCtrlLatched = 0;
    uint8_t m_bAltLatched = 0;
    std::unique_ptr<CKbEdit> m_pEdit;
    plat::Font m_EditFont;
    KvUserInterface::IKvText* m_pTitle = nullptr;
    int32_t m_iTextLimit = 128;  // characters of the box, ANSI bytes of the typed text
    HKL m_hSavedLayout = 0;
    std::vector<KB_LAYOUT_NODE> m_Layouts;

    plat::PhoneticEngine m_Phonetic;
    KvUserInterface::IKvButton* m_pCandParts[KB_CAND_PARTS] = {};
    plat::Font m_CandFont;
    uint32_t m_uCandInk = 0xFFFFFFFF;
    std::vector<std::u16string> m_CandLaidOut;  // the candidates the pages were made for
    std::vector<size_t> m_CandPages;            // first candidate of each page
    size_t m_uCandPage = 0;
    std::vector<KB_CANDIDATE_CELL> m_CandCells;  // the cells of the page shown
    int m_iCandPressed = KB_CAND_NONE;           // what the pen went down on
    int m_iCandAction = KB_CAND_NONE;            // what acts at the next paint

private:
    // The base's second byte: a key was pressed and released on the same key and acts at
    // the next paint.
    uint8_t& CommitFlag() { return m_byReserved; }
    void SendKey(uint8_t vk, bool up);
    // The candidate row's skin: its parts and font.
    bool LoadCandidateRow(IVantrel* root, const std::u16string& skinFile,
                          const std::u16string& keyFolder);
    // Lays the engine's candidates out in pages when they changed, and the cells of the page.
    void LayoutCandidates();
    void DrawCandidates(plat::Canvas* hdc);
    // A press or release on the row: a cell number or KB_CAND_PRESS_PREV / _NEXT.
    int CandidateAt(int x, int y, bool down);
    void RunCandidateAction(int action);
    void ToggleLatch(uint8_t& latched, uint8_t vk);
    void ReleaseKeys();
};

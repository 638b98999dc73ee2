// The single-line edit box of the on-screen keyboard: a child window of its seat that holds the
// text being typed. It takes the key events the keyboard queues to it (WM_KEYDOWN, KbInput.h):
// characters of the layout the key was typed in go in at the caret, Backspace deletes, the
// arrows move the caret (Shift selects), Ctrl+A/C/X/V select all, copy, cut and paste. The
// text scrolls sideways to keep the caret in view.
//
// Keys typed in the phonetic input method's layout go to the phonetic engine it is given
// instead: what the engine composes shows at the caret, underlined, until the engine gives
// it up as text, which then goes in like typed text.
#pragma once

#include <cstddef>
#include <string>

#include "platform/gfx/Font.h"
#include "platform/text/Phonetic.h"
#include "platform/ui/Ui.h"

// The largest text without a limit of its own.
#define KBEDIT_DEFAULT_LIMIT 32767
struct KbKeyMessage;

// Posted to the edit box: the composition ends as a change of focus ends it (wParam 1: the
// converted characters go into the text; 0: everything composed is dropped). Posted rather
// than called so that it comes after the keys already queued.
#define WM_KBEDIT_END_COMPOSITION (plat::ui::kWmUser + 300)

class CKbEdit : public plat::ui::Window {
public:
    CKbEdit() = default;
    ~CKbEdit() override;

    // A hidden child of `parent` at `rect` (the parent's client co-ordinates).
    bool CreateEdit(plat::ui::WindowId parent, const plat::Rect& rect, int controlId);
    int ControlId() const { return m_iControlId; }

    void SetFont(const plat::Font& font);
    // Typing and pasting stop at `chars` characters (UTF-16 units); 0 or less gives the
    // largest limit.
    void SetLimitText(int chars);
    int GetLimitText() const { return m_iLimit; }
    // Text the input method gives is held to `bytes` bytes of UTF-8 with a terminator (whole
    // characters only); 0: no such limit.
    void SetLimitBytes(int bytes) { m_iLimitBytes = bytes > 0 ? bytes : 0; }

    // The phonetic engine that keys of its layout go to (null: none); not owned.
    void SetPhoneticEngine(plat::PhoneticEngine* engine) { m_pEngine = engine; }
    // What the engine composes now (shown at the caret), and the caret inside it.
    const std::u16string& Composition() const { return m_composition; }
    bool IsComposing() const { return !m_composition.empty(); }
    // Ends the composition at once: `keep` gives the converted characters to the text, else
    // everything composed is dropped.
    void EndComposition(bool keep);
    // Candidate `index` of the engine takes the place of its phrase and the composition goes
    // into the text.
    bool ChooseCandidate(size_t index);

    // Replaces the whole text (not held to the limit, as a program may set any text); the
    // caret goes to the start and any composition is dropped.
    void SetText(std::u16string_view text);
    // At most `maxChars` characters of the text, never a lone half of a surrogate pair.
    std::u16string GetText(size_t maxChars) const;
    size_t GetTextLength() const { return m_text.size(); }

    // Selects from `start` to `end` (the caret); -1 as end means the end of the text, -1 as
    // start removes the selection and leaves the caret where it is.
    void SetSel(int start, int end);
    void GetSel(int* start, int* end) const;
    // Scrolls the text sideways so that the caret is in view.
    void ScrollCaret();
    // How far the text is scrolled to the left, in pixels.
    int ScrollOffset() const { return m_iScroll; }

    // The text every edit box copies to and pastes from.
    static std::u16string& Clipboard();

    // Colours of the box.
    static constexpr uint32_t kComposition = 0xFF1E6E84;
    static constexpr uint32_t kBackground = 0xFFF2F5F8;
    static constexpr uint32_t kInk = 0xFF101820;
    static constexpr uint32_t kSelection = 0xFF3FC8E8;
    static constexpr uint32_t kCaret = 0xFF0A6E8C;
    // Space left and right of the text.
    static constexpr int kMargin = 6;

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) override;

private:
    void OnKeyDown(uint8_t vk, intptr_t lParam);
    void MoveCaret(int direction, bool extend);
    void Backspace();
    // Replaces the selection with `text`; what would pass the limit is refused whole, or with
    // `fit` cut to what fits.
    bool ReplaceSelection(std::u16string_view text, bool fit);
    void Changed();
    int TextWidth(size_t chars) const;
    // Key typed in the phonetic layout: true when the engine took it.
    bool PhoneticKey(uint8_t vk, const KbKeyMessage& key);
    // Takes what the engine gave up and what it composes now.
    void SyncEngine();
    // The text as shown: the composition at the caret.
    std::u16string Shown() const;
    size_t ShownCaret() const { return m_uCaret + m_uCompCursor; }

    std::u16string m_text;
    size_t m_uAnchor = 0;  // the fixed end of the selection
    size_t m_uCaret = 0;   // the moving end, where the caret is
    int m_iLimit = KBEDIT_DEFAULT_LIMIT;
    int m_iLimitBytes = 0;
    plat::PhoneticEngine* m_pEngine = nullptr;
    std::u16string m_composition;
    size_t m_uCompCursor = 0;
    int m_iScroll = 0;
    int m_iControlId = 0;
    plat::Font m_Font;
};

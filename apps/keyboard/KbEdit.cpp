#include "apps/keyboard/KbEdit.h"

#include <algorithm>
#include <memory>

#include "apps/keyboard/KbInput.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

namespace {

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The place one character before or after `at`, stepping over surrogate pairs whole.
size_t StepBack(const std::u16string& s, size_t at) {
    if (at == 0)
        return 0;
    --at;
    if (at > 0 && IsLowSurrogate(s[at]) && IsHighSurrogate(s[at - 1]))
        --at;
    return at;
}

size_t StepForward(const std::u16string& s, size_t at) {
    if (at >= s.size())
        return s.size();
    ++at;
    if (at < s.size() && IsLowSurrogate(s[at]) && IsHighSurrogate(s[at - 1]))
        ++at;
    return at;
}

// `n` units of `s`, one less when that would cut a surrogate pair.
size_t WholeCharacters(std::u16string_view s, size_t n) {
    n = std::min(n, s.size());
    if (n > 0 && n < s.size() && IsHighSurrogate(s[n - 1]) && IsLowSurrogate(s[n]))
        --n;
    return n;
}

// The Zhuyin symbols and tone marks: what the phonetic layout gives for the keys the engine
// composes with.
bool IsPhoneticSymbol(std::u16string_view text) {
    if (text.size() != 1)
        return false;
    const char16_t c = text[0];
    return (c >= 0x3105 && c <= 0x312F) || c == 0x02C7 || c == 0x02CA || c == 0x02CB || c == 0x02D9;
}

// The first `max` units of `text` (whole characters) whose UTF-8 form, after `used` bytes,
// leaves room for a terminator in `limit` bytes.
size_t FitBytes(std::u16string_view text, size_t max, size_t used, size_t limit) {
    size_t at = 0;
    while (at < text.size()) {
        size_t next = at + 1;
        if (next < text.size() && IsHighSurrogate(text[at]) && IsLowSurrogate(text[next]))
            ++next;
        if (next > max)
            break;
        const size_t bytes = plat::Utf16ToUtf8(text.substr(at, next - at)).size();
        if (used + bytes >= limit)
            break;
        used += bytes;
        at = next;
    }
    return at;
}

}  // namespace

CKbEdit::~CKbEdit() {
    Destroy();
}

bool CKbEdit::CreateEdit(plat::ui::WindowId parent, const plat::Rect& rect, int controlId) {
    m_iControlId = controlId;
    plat::ui::CreateParams params;
    params.rect = rect;
    params.parent = parent;
    params.visible = false;
    return Create(params);
}

std::u16string& CKbEdit::Clipboard() {
    static std::u16string clipboard;
    return clipboard;
}

void CKbEdit::SetFont(const plat::Font& font) {
    m_Font = font;
    Changed();
}

void CKbEdit::SetLimitText(int chars) {
    m_iLimit = chars > 0 ? chars : KBEDIT_DEFAULT_LIMIT;
}

void CKbEdit::SetText(std::u16string_view text) {
    if (m_pEngine)
        m_pEngine->Reset();
    m_composition.clear();
    m_uCompCursor = 0;
    m_text.assign(text);
    m_uAnchor = m_uCaret = 0;
    m_iScroll = 0;
    Changed();
}

std::u16string CKbEdit::GetText(size_t maxChars) const {
    return m_text.substr(0, WholeCharacters(m_text, maxChars));
}

void CKbEdit::SetSel(int start, int end) {
    const size_t len = m_text.size();
    if (start < 0) {
        m_uAnchor = m_uCaret;
    } else {
        m_uAnchor = std::min(static_cast<size_t>(start), len);
        m_uCaret = end < 0 ? len : std::min(static_cast<size_t>(end), len);
    }
    Changed();
}

void CKbEdit::GetSel(int* start, int* end) const {
    if (start)
        *start = static_cast<int>(std::min(m_uAnchor, m_uCaret));
    if (end)
        *end = static_cast<int>(std::max(m_uAnchor, m_uCaret));
}

int CKbEdit::TextWidth(size_t chars) const {
    if (chars == 0)
        return 0;
    const std::u16string shown = Shown();
    return plat::MeasureText(m_Font, std::u16string_view(shown).substr(0, chars),
                             plat::kTextSingleLine)
        .x;
}

std::u16string CKbEdit::Shown() const {
    if (m_composition.empty())
        return m_text;
    std::u16string shown = m_text;
    shown.insert(std::min(m_uCaret, shown.size()), m_composition);
    return shown;
}

void CKbEdit::ScrollCaret() {
    const int visible = std::max(1, plat::ui::GetClientRect(Id()).Width() - 2 * kMargin);
    const int caretX = TextWidth(ShownCaret());
    const int total = TextWidth(m_text.size() + m_composition.size());
    // Jump by a quarter of the box, so that the text does not move on every character.
    if (caretX - m_iScroll > visible)
        m_iScroll = caretX - visible + visible / 4;
    else if (caretX < m_iScroll)
        m_iScroll = caretX - visible / 4;
    // Never more scrolled than the text needs.
    m_iScroll = std::min(m_iScroll, std::max(0, total - visible + 2));
    m_iScroll = std::max(m_iScroll, 0);
    plat::ui::InvalidateRect(Id());
}

void CKbEdit::Changed() {
    plat::ui::InvalidateRect(Id());
}

bool CKbEdit::ReplaceSelection(std::u16string_view text, bool fit) {
    const size_t from = std::min(m_uAnchor, m_uCaret);
    const size_t to = std::max(m_uAnchor, m_uCaret);
    const size_t kept = m_text.size() - (to - from);
    const size_t room = kept >= static_cast<size_t>(m_iLimit) ? 0 : m_iLimit - kept;
    if (text.size() > room) {
        if (!fit)
            return false;
        text = text.substr(0, WholeCharacters(text, room));
    }
    m_text.replace(from, to - from, text);
    m_uAnchor = m_uCaret = from + text.size();
    ScrollCaret();
    return true;
}

void CKbEdit::MoveCaret(int direction, bool extend) {
    if (!extend && m_uAnchor != m_uCaret) {
        // A selection collapses to its end on that side.
        m_uCaret = direction < 0 ? std::min(m_uAnchor, m_uCaret) : std::max(m_uAnchor, m_uCaret);
    } else {
        m_uCaret = direction < 0 ? StepBack(m_text, m_uCaret) : StepForward(m_text, m_uCaret);
    }
    if (!extend)
        m_uAnchor = m_uCaret;
    ScrollCaret();
}

void CKbEdit::Backspace() {
    if (m_uAnchor == m_uCaret) {
        if (m_uCaret == 0)
            return;
        m_uAnchor = StepBack(m_text, m_uCaret);
    }
    ReplaceSelection(std::u16string_view(), false);
}

void CKbEdit::SyncEngine() {
    if (!m_pEngine)
        return;
    const std::u16string given = m_pEngine->TakeCommitted();
    if (!given.empty()) {
        std::u16string_view text(given);
        if (m_iLimitBytes > 0) {
            const size_t from = std::min(m_uAnchor, m_uCaret);
            const size_t to = std::max(m_uAnchor, m_uCaret);
            const std::u16string kept = m_text.substr(0, from) + m_text.substr(to);
            text = text.substr(0, FitBytes(text, text.size(), plat::Utf16ToUtf8(kept).size(),
                                           static_cast<size_t>(m_iLimitBytes)));
        }
        // What does not fit is cut at a whole character, as pasted text is.
        ReplaceSelection(text, true);
    }
    const bool starting = m_composition.empty() && m_pEngine->IsComposing();
    // A composition takes the place of the selection, as typing would.
    if (starting && m_uAnchor != m_uCaret)
        ReplaceSelection(std::u16string_view(), false);
    m_composition = m_pEngine->Preedit();
    m_uCompCursor = std::min(m_pEngine->PreeditCursor(), m_composition.size());
    ScrollCaret();
    // The page draws the engine's candidates.
    plat::ui::InvalidateRect(plat::ui::GetParent(Id()));
}

bool CKbEdit::PhoneticKey(uint8_t vk, const KbKeyMessage& key) {
    using Key = plat::PhoneticEngine::Key;
    plat::PhoneticEngine& engine = *m_pEngine;
    bool took = false;
    switch (vk) {
        case VK_SPACE:
            took = engine.Press(Key::Space);
            break;
        case VK_BACK:
            took = engine.Press(Key::Backspace);
            break;
        case VK_RETURN:
            took = engine.Press(Key::Enter);
            break;
        case VK_ESCAPE:
            took = engine.Press(Key::Escape);
            break;
        case VK_LEFT:
        case VK_UP:
            took = engine.Press(Key::Left);
            break;
        case VK_RIGHT:
        case VK_DOWN:
            took = engine.Press(Key::Right);
            break;
        default:
            // With Shift the keys give the US characters, as the input method does.
            if (!key.shift && IsPhoneticSymbol(KbKeyText(vk, key))) {
                const char us = KbUsCharacter(vk);
                took = us && engine.Type(us);
            }
            break;
    }
    // Any other key ends the composition first and then does what it does.
    if (!took && engine.IsComposing())
        engine.Complete();
    SyncEngine();
    return took;
}

void CKbEdit::EndComposition(bool keep) {
    if (!m_pEngine || (m_composition.empty() && !m_pEngine->IsComposing()))
        return;
    if (keep)
        m_pEngine->Complete();
    else
        m_pEngine->Reset();
    SyncEngine();
}

bool CKbEdit::ChooseCandidate(size_t index) {
    if (!m_pEngine || !m_pEngine->Choose(index))
        return false;
    SyncEngine();
    return true;
}

void CKbEdit::OnKeyDown(uint8_t vk, intptr_t lParam) {
    const KbKeyMessage key = KbKeyMessage::Unpack(lParam);
    if (key.alt)
        return;
    if (m_pEngine && m_pEngine->IsOpen() && !key.ctrl && KbIsPhoneticLayout(key.layout)) {
        if (PhoneticKey(vk, key))
            return;
        // A symbol the engine did not take means nothing on its own.
        if (IsPhoneticSymbol(KbKeyText(vk, key)))
            return;
    }
    switch (vk) {
        case VK_LEFT:
        case VK_UP:  // a single line: up and down move as left and right
            MoveCaret(-1, key.shift);
            return;
        case VK_RIGHT:
        case VK_DOWN:
            MoveCaret(+1, key.shift);
            return;
        default:
            break;
    }
    const std::u16string text = KbKeyText(vk, key);
    if (text.empty())
        return;
    switch (text[0]) {
        case u'\b':
            Backspace();
            return;
        case 0x01:  // Ctrl+A
            m_uAnchor = 0;
            m_uCaret = m_text.size();
            ScrollCaret();
            return;
        case 0x03:  // Ctrl+C
        case 0x18:  // Ctrl+X
            if (m_uAnchor != m_uCaret) {
                const size_t from = std::min(m_uAnchor, m_uCaret);
                Clipboard() = m_text.substr(from, std::max(m_uAnchor, m_uCaret) - from);
                if (text[0] == 0x18)
                    ReplaceSelection(std::u16string_view(), false);
            }
            return;
        case 0x16:  // Ctrl+V
            ReplaceSelection(Clipboard(), true);
            return;
        default:
            break;
    }
    // Enter, Tab, Escape and the other control characters have no place in a single line.
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7F)
            return;
    }
    ReplaceSelection(text, false);
}

intptr_t CKbEdit::OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    if (msg == WM_KEYDOWN)
        OnKeyDown(static_cast<uint8_t>(wParam), lParam);
    else if (msg == WM_KBEDIT_END_COMPOSITION)
        EndComposition(wParam != 0);
    return 0;
}

void CKbEdit::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (!canvas)
        return;
    const plat::Rect box{0, 0, surface.Width(), surface.Height()};
    canvas->FillRect(box, kBackground);
    canvas->SetClip(plat::Rect{kMargin, 0, box.right - kMargin, box.bottom});
    canvas->SetFont(m_Font);
    const std::u16string shown = Shown();
    const int x0 = kMargin - m_iScroll;
    const int width = TextWidth(shown.size());
    const plat::Rect line{x0, 0, x0 + width + 4, box.bottom};
    const uint32_t format = plat::kTextLeft | plat::kTextVCenter | plat::kTextSingleLine;
    canvas->SetTextColor(kInk);
    canvas->DrawText(shown, line, format);
    const int lineHeight = m_Font.IsValid() ? m_Font.Height() : box.Height() - 10;
    const int top = (box.bottom - lineHeight) / 2;
    if (!m_composition.empty()) {
        // The composition is underlined where it stands, at the caret.
        const int a = x0 + TextWidth(m_uCaret);
        const int b = x0 + TextWidth(m_uCaret + m_composition.size());
        canvas->FillRect(plat::Rect{a, top + lineHeight - 4, b, top + lineHeight - 1},
                         kComposition);
    } else if (m_uAnchor != m_uCaret) {
        const int a = x0 + TextWidth(std::min(m_uAnchor, m_uCaret));
        const int b = x0 + TextWidth(std::max(m_uAnchor, m_uCaret));
        const plat::Rect sel{std::max(a, kMargin), 0, std::min(b, box.right - kMargin), box.bottom};
        if (sel.right > sel.left) {
            canvas->FillRect(sel, kSelection);
            canvas->SetClip(sel);
            canvas->DrawText(shown, line, format);
            canvas->SetClip(plat::Rect{kMargin, 0, box.right - kMargin, box.bottom});
        }
    }
    const int caretX = x0 + TextWidth(ShownCaret());
    canvas->FillRect(plat::Rect{caretX, top, caretX + 2, top + lineHeight}, kCaret);
    canvas->ResetClip();
}

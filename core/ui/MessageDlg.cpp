#include "core/ui/MessageDlg.h"

#include <memory>

#include "platform/gfx/Canvas.h"

namespace {

constexpr uint32_t kFace = plat::Argb(0xFF, 0xF0, 0xF0, 0xF0);
constexpr uint32_t kEdge = plat::Argb(0xFF, 0x64, 0x64, 0x64);
constexpr uint32_t kButtonFace = plat::Argb(0xFF, 0xE1, 0xE1, 0xE1);
constexpr uint32_t kButtonPressed = plat::Argb(0xFF, 0xCC, 0xE4, 0xF7);
constexpr uint32_t kButtonEdge = plat::Argb(0xFF, 0x00, 0x78, 0xD7);  // the default button
constexpr uint32_t kText = plat::Argb(0xFF, 0, 0, 0);

}  // namespace

MessageDlg::MessageDlg(plat::ui::WindowId parent) : CModalDialog(335, 81, parent) {
    m_bHoldsOwner = true;
}

MessageDlg::~MessageDlg() {
    Destroy();
}

void MessageDlg::SetText(const char16_t* text) {
    m_strText = text ? std::u16string(text) : std::u16string();
}

plat::Rect MessageDlg::TextRect() {
    return DluRect(7, 20, 321, 29);
}

plat::Rect MessageDlg::OkButtonRect() {
    return DluRect(137, 52, 67, 22);
}

bool MessageDlg::OnInitDialog() {
    if (!plat::Font::Create("Times New Roman", m_iFontHeight, m_iFontWidth, m_iFontWeight, true,
                            m_Font))
        m_Font = plat::Font::Default();
    if (!plat::Font::Create("MS Sans Serif", 13, 0, 400, true, m_ButtonFont))
        m_ButtonFont = plat::Font::Default();
    m_bOkPressed = false;
    return true;
}

void MessageDlg::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (!canvas)
        return;
    const int w = surface.Width(), h = surface.Height();
    canvas->FillRect(plat::Rect{0, 0, w, h}, kEdge);
    canvas->FillRect(plat::Rect{1, 1, w - 1, h - 1}, kFace);

    // Centred both ways, over as many lines as the text needs.
    const plat::Rect area = TextRect();
    std::u16string lines = WrapText(m_Font, m_strText, area.Width());
    plat::Point size = plat::MeasureText(m_Font, lines, 0);
    plat::Rect textRect = area;
    if (size.y < area.Height())
        textRect.top += (area.Height() - size.y) / 2;
    canvas->SetFont(m_Font);
    canvas->SetTextColor(kText);
    canvas->DrawText(lines, textRect, plat::kTextCenter);

    const plat::Rect b = OkButtonRect();
    canvas->FillRect(b, kButtonEdge);
    canvas->FillRect(plat::Rect{b.left + 2, b.top + 2, b.right - 2, b.bottom - 2},
                     m_bOkPressed ? kButtonPressed : kButtonFace);
    canvas->SetFont(m_ButtonFont);
    canvas->DrawText(u"OK", b, plat::kTextCenter | plat::kTextVCenter | plat::kTextSingleLine);
}

void MessageDlg::OnPenDown(plat::Point pt) {
    m_bOkPressed = OkButtonRect().Contains(pt);
    plat::ui::InvalidateRect(Id());
}

void MessageDlg::OnPenUp(plat::Point pt) {
    const bool pressed = m_bOkPressed;
    m_bOkPressed = false;
    plat::ui::InvalidateRect(Id());
    if (pressed && OkButtonRect().Contains(pt))
        EndDialog(IDOK);
}

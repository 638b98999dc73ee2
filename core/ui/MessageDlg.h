// The plain message box of the pages: one line or two in a large bold font and an "OK"
// button. Made on the stack, given its text, run and thrown away.
#pragma once

#include <string>

#include "core/ui/ModalDialog.h"

class MessageDlg : public CModalDialog {
public:
    explicit MessageDlg(plat::ui::WindowId parent = plat::ui::kNoWindow);
    ~MessageDlg() override;

    // Keeps a copy; null shows an empty box.
    void SetText(const char16_t* text);
    const std::u16string& GetText() const { return m_strText; }

    // The dialog's places, in pixels of its client area.
    static plat::Rect TextRect();
    static plat::Rect OkButtonRect();

protected:
    bool OnInitDialog() override;
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
    void OnPenDown(plat::Point pt) override;
    void OnPenUp(plat::Point pt) override;

private:
    std::u16string m_strText;
    plat::Font m_Font;
    plat::Font m_ButtonFont;
    int m_iFontWidth = 14;
    int m_iFontHeight = 24;
    int m_iFontWeight = 700;
    bool m_bOkPressed = false;
};

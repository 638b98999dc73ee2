// The about page: the program's version, the board's version text (under two labels) and the
// power module's version, with OK back to the page that opened it. Only the front seat's page
// loads a skin; the rear's draws its background and a tap takes it home.
#pragma once

#include <cstdint>
#include <string>

#include "core/ui/VelkoraAppDlg.h"

class CAboutDlg : public CVelkoraAppDlg {
public:
    CAboutDlg();
    ~CAboutDlg() override;

    bool LoadSkin() override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    void Show(bool visible, uint8_t param) override;
    void Render(plat::Canvas* hdc) override;

    void BuildVersionText();

    // What a test reads of the page: row 0..3's label or value.
    bool Skinned() const { return m_bSkinned; }
    std::u16string Label(int row) const;
    std::u16string Value(int row) const;
    KvUserInterface::IKvButton* OkButton() const { return m_pOk; }

private:
    void ReleaseObjects();

    bool m_bSkinned = false;
    bool m_bOkPressed = false;
    bool m_bClickPending = false;
    KvUserInterface::IKvButton* m_pOk = nullptr;
    KvUserInterface::IKvText* m_pText[8] = {};  // four labels, then four values
};

#include "apps/settings/AboutDlg.h"

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using settings::ReleaseAndClear;

namespace {

const int kLabelTexts[4] = {MSG_VELKORA_VER, MSG_FIRMWARE_VER, MSG_AD060_VER, MSG_POWERMODULE_VER};
constexpr uint8_t kAlignRight = 0x08;
constexpr uint8_t kAlignLeft = 0x01;

// The show parameter the opener gets back from this page.
constexpr int kReturnParam = 20;

std::u16string TextOf(KvUserInterface::IKvText* t) {
    char16_t* s = nullptr;
    if (!t || t->GetText(&s) != RZ_OK || !s)
        return std::u16string();
    return s;
}

}  // namespace

CAboutDlg::CAboutDlg() = default;

CAboutDlg::~CAboutDlg() {
    ReleaseObjects();
}

void CAboutDlg::ReleaseObjects() {
    ReleaseAndClear(m_pOk);
    ReleaseAndClear(m_pText);
}

std::u16string CAboutDlg::Label(int row) const {
    return row >= 0 && row < 4 ? TextOf(m_pText[row]) : std::u16string();
}

std::u16string CAboutDlg::Value(int row) const {
    return row >= 0 && row < 4 ? TextOf(m_pText[4 + row]) : std::u16string();
}

bool CAboutDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    const std::u16string folder = SkinPath(u"about");
    const std::u16string ini = SkinPath(u"about\\about.ini");
    ReleaseAndClear(m_pBackground);
    if (!pageui::LoadBackground(m_pBackground, ini, folder))
        return false;
    m_pOk = pageui::NewButton(ini, u"Buttons", u"OK", folder, 0x26);
    if (!m_pOk)
        return false;
    m_pOk->SetHighlighted();
    for (int row = 0; row < 4; ++row) {
        const int y = 90 + 50 * row;
        m_pText[row] = pageui::NewText(50, y, 350, 35, 10, 255, 255, 255, kAlignRight);
        m_pText[4 + row] = pageui::NewText(400, y, 400, 35, 10, 255, 0, 0, kAlignLeft);
        if (!m_pText[row] || !m_pText[4 + row])
            return false;
    }
    WriteLog("CAboutDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

bool CAboutDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    m_bSkinned = LoadSkin();
    if (!m_bSkinned) {
        ReleaseObjects();
        WriteLog("CAboutDlg::SetSkin(%d): no skin", appType);
    }
    return true;
}

void CAboutDlg::Show(bool visible, uint8_t param) {
    m_bVisible = visible ? 1 : 0;
    if (visible && m_bSkinned)
        BuildVersionText();
    if (param != 255)
        m_byShowParam = param;
}

void CAboutDlg::BuildVersionText() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !m_bSkinned)
        return;
    for (int row = 0; row < 4; ++row)
        m_pText[row]->SetText(
            plat::FormatStr(u"%s : ", kernel->m_Language[kLabelTexts[row]]).c_str());
    char board[128] = {};
    if (kernel->FirmwareReady())
        kernel->m_Board.AudioGetVersion(board, sizeof board);
    const std::u16string boardText = plat::Utf8ToUtf16(board);
    m_pText[5]->SetText(boardText.c_str());
    m_pText[6]->SetText(boardText.c_str());
    m_pText[7]->SetText(plat::Utf8ToUtf16(kernel->m_PowerModule.m_strVersion).c_str());
    // The version the build gives the program; a build without one shows its date.
#ifdef VELKORA_PRODUCT_VERSION
    m_pText[4]->SetText(plat::Utf8ToUtf16(VELKORA_PRODUCT_VERSION).c_str());
#else
    m_pText[4]->SetText(plat::FormatStr(u"2.x %s", plat::Utf8ToUtf16(__DATE__).c_str()).c_str());
#endif
    InvalidateOwner();
}

void CAboutDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    m_pBackground->Draw(hdc, 0, 0, 0, 0);
    m_pOk->Draw(hdc, 0, 0);
    for (auto* t : m_pText)
        t->Draw(hdc);
    if (m_bClickPending) {
        m_bClickPending = false;
        plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat,
                              (kReturnParam << 16) + m_byShowParam);
    }
}

void CAboutDlg::OnLButtonDown(int x, int y) {
    if (!m_bSkinned)
        return;
    if (settings::PressHit(m_pOk, x, y)) {
        m_pOk->SetPressed();
        m_bOkPressed = true;
        InvalidateOwner();
    }
}

void CAboutDlg::OnMouseMove(int, int) {
    // A moving pen only changes the look: the release decides by where it lands, so a pen that
    // trembles on OK still leaves. The first move repaints; the rest find the button normal.
    if (!m_bSkinned || !m_bOkPressed)
        return;
    uint8_t state = KvUserInterface::BUTTON_NORMAL;
    m_pOk->GetState(&state);
    if (state == KvUserInterface::BUTTON_PRESSED) {
        m_pOk->SetNormal();
        InvalidateOwner();
    }
}

void CAboutDlg::OnLButtonUp(int x, int y) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    if (settings::ReleaseHit(m_pOk, x, y) && m_bOkPressed)
        m_bClickPending = true;
    m_bOkPressed = false;
    m_pOk->SetNormal();
    m_pOk->SetHighlighted();
    InvalidateOwner();
}

#include "core/ui/VelkoraAppDlg.h"

#include <atomic>
#include <ctime>

#include "core/kernel/CfgData.h"
#include "core/kernel/Kernel.h"
#include "core/ui/PageSetup.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/text/Text.h"

namespace {

std::atomic<PFN_SEAT_WINDOW> g_pfnSeatWindow{nullptr};

using pageui::ReleaseAndClear;

// Replaces `slot` with `fresh` (either may be null).
template <typename T>
void Replace(T*& slot, T* fresh) {
    ReleaseAndClear(slot);
    slot = fresh;
}

std::string FormatTime(const plat::SystemTime& t, const char* format) {
    struct tm tmv = {};
    tmv.tm_year = t.year - 1900;
    tmv.tm_mon = t.month - 1;
    tmv.tm_mday = t.day;
    tmv.tm_wday = t.dayOfWeek;
    tmv.tm_hour = t.hour;
    tmv.tm_min = t.minute;
    tmv.tm_sec = t.second;
    char buf[64];
    size_t n = std::strftime(buf, sizeof buf, format, &tmv);
    return std::string(buf, n);
}

void DrawImage(KvMultimedia::IKvImage* image, plat::Canvas* hdc, int x, int y) {
    if (image)
        image->Draw(hdc, x, y, 0, 0);
}

}  // namespace

CVelkoraAppDlg::CVelkoraAppDlg() = default;

CVelkoraAppDlg::~CVelkoraAppDlg() {
    ReleaseAndClear(m_pVolumeText);
    ReleaseAndClear(m_pAmPmText);
    ReleaseAndClear(m_pExtraText);
    ReleaseAndClear(m_pTimeText);
    ReleaseAndClear(m_pBackground);
    ReleaseAndClear(m_pHorzUp);
    ReleaseAndClear(m_pHorzMiddle);
    ReleaseAndClear(m_pHorzDown);
    ReleaseAndClear(m_pVert);
    ReleaseAndClear(m_pVert2[0]);
    ReleaseAndClear(m_pVert2[1]);
}

void CVelkoraAppDlg::SetSeatWindowResolver(PFN_SEAT_WINDOW resolver) {
    g_pfnSeatWindow = resolver;
}

void CVelkoraAppDlg::RenderWithoutSkin(plat::Canvas* hdc) {
    if (!hdc)
        return;
    // The skin's slate, so that the screen shows a page and not what was drawn before.
    hdc->FillRect(plat::Rect::FromXYWH(0, 0, hdc->Width(), hdc->Height()), 0xFF141A22);
    DrawImage(m_pBackground, hdc, 0, 0);
}

void CVelkoraAppDlg::LeaveWithoutSkin() {
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, APPTYPE_HOMEPAGE);
    InvalidateOwner();
}

void CVelkoraAppDlg::InvalidateOwner() {
    plat::ui::WindowId seat = OwnerWindow();
    if (seat != plat::ui::kNoWindow)
        plat::ui::InvalidateRect(seat);
}

void CVelkoraAppDlg::InvalidateOwner(const plat::Rect& part) {
    plat::ui::WindowId seat = OwnerWindow();
    if (seat != plat::ui::kNoWindow)
        plat::ui::InvalidateRect(seat, &part);
}

plat::ui::WindowId CVelkoraAppDlg::OwnerWindow() const {
    PFN_SEAT_WINDOW resolve = g_pfnSeatWindow.load();
    return m_pOwner && resolve ? resolve(m_pOwner) : plat::ui::kNoWindow;
}

std::u16string CVelkoraAppDlg::SkinPath(const char16_t* relative) const {
    CKernel* kernel = CKernel::Instance();
    CCfgData* cfg = pCfgData;
    if (!kernel || !cfg)
        return std::u16string();
    return plat::FormatStr(u"%s\\Skin\\%s\\%s", kernel->m_szBaseDir, cfg->m_CfgSettings.szSkin,
                           relative);
}

KvMultimedia::IKvImage* CVelkoraAppDlg::LoadImage(const std::u16string& path) const {
    CKernel* kernel = CKernel::Instance();
    KvMultimedia::IKvImage* image = nullptr;
    if (!kernel || !kernel->m_pRoot || path.empty())
        return nullptr;
    if (kernel->m_pRoot->CreateImage(&image, path.c_str()) != RZ_OK)
        return nullptr;
    return image;
}

void CVelkoraAppDlg::ResetDefault() {}

bool CVelkoraAppDlg::LoadSkin() {
    CKernel* kernel = CKernel::Instance();
    if (!kernel || !kernel->m_pRoot)
        return false;
    // Pages load their skin more than once: what an earlier pass made is given back first.
    struct {
        KvMultimedia::IKvImage** slot;
        const char16_t* file;
    } const images[] = {
        {&m_pHorzUp, u"common_png\\horz-up.png"},
        {&m_pHorzMiddle, u"common_png\\horz-middle.png"},
        {&m_pHorzDown, u"common_png\\horz-down.png"},
        {&m_pVert,
         m_bySeat != 0 && m_bySeat != 255 ? u"common_png\\vertr.png" : u"common_png\\vert.png"},
        {&m_pVert2[0], u"common_png\\vert2.png"},
        {&m_pVert2[1], u"common_png\\vert2.png"},
    };
    for (const auto& entry : images) {
        Replace(*entry.slot, LoadImage(SkinPath(entry.file)));
        if (!*entry.slot)
            return false;
    }

    KvUserInterface::IKvText* text = nullptr;
    if (kernel->m_pRoot->CreateText(&text) != RZ_OK || !text)
        return false;
    Replace(m_pVolumeText, text);
    m_pVolumeText->SetRect(480, 40, 80, 35);
    m_pVolumeText->SetFont(12, 64, 255, 255);

    text = nullptr;
    if (kernel->m_pRoot->CreateText(&text) != RZ_OK || !text)
        return false;
    Replace(m_pTimeText, text);
    m_pTimeText->SetRect(675, 28, 140, 35);
    m_pTimeText->SetFont(12, 255, 79, 35);

    text = nullptr;
    if (kernel->m_pRoot->CreateText(&text) != RZ_OK || !text)
        return false;
    Replace(m_pAmPmText, text);
    m_pAmPmText->SetRect(745, 30, 50, 32);
    m_pAmPmText->SetFont(10, 255, 79, 35);
    m_pAmPmText->Show(1);
    return true;
}

void CVelkoraAppDlg::OnLButtonUp(int, int) {}
void CVelkoraAppDlg::OnLButtonDown(int, int) {}
void CVelkoraAppDlg::OnMouseMove(int, int) {}

short CVelkoraAppDlg::GetPlayState() {
    return PLAYSTATE_NONE;
}

bool CVelkoraAppDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    m_bySeat = seat;
    m_hMainWnd = mainWnd;
    m_byAppType = appType;
    m_iYOffset = seat != 0 ? 60 : 0;
    if (CKernel* kernel = CKernel::Instance())
        m_iVolume = kernel->m_iVolume.load();
    return true;
}

void CVelkoraAppDlg::SetOwner(CSeatCtrlDlg* owner) {
    m_pOwner = owner;
}

void CVelkoraAppDlg::Show(bool visible, uint8_t param) {
    m_bVisible = visible ? 1 : 0;
    if (param != 255)
        m_byShowParam = param;
}

bool CVelkoraAppDlg::IsVisible() {
    return m_bVisible != 0;
}

void CVelkoraAppDlg::OnTick() {
    m_bMinuteChanged = 0;
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLastClock > 1000) {
        if (m_bVisible)
            UpdateClockStrings();
        m_dwLastClock = now;
    }
    if (!m_bMinuteChanged)
        return;
    SetClockTexts();
    InvalidateOwner();
}

void CVelkoraAppDlg::PrepareClock() {
    if (!m_bVisible)
        return;
    UpdateClockStrings();
    m_bMinuteChanged = 0;
    SetClockTexts();
}

void CVelkoraAppDlg::SetClockTexts() {
    if (m_pTimeText)
        m_pTimeText->SetText(plat::Utf8ToUtf16(m_strTime).c_str());
    CKernel* kernel = CKernel::Instance();
    if (m_pAmPmText && kernel)
        m_pAmPmText->SetText(kernel->m_Language[m_tmClock.hour <= 11 ? MSG_AM : MSG_PM]);
}

void CVelkoraAppDlg::UpdateClockStrings() {
    m_tmClock = plat::GetClock().Local();
    std::string text = FormatTime(m_tmClock, "%I:%M:%S %p");
    if (text != m_strLongTime)
        m_strLongTime = text;
    text = FormatTime(m_tmClock, "%I:%M");
    if (text != m_strTime) {
        m_strTime = text;
        m_bMinuteChanged = 1;
    }
    text = FormatTime(m_tmClock, "%Y-%m-%d");
    if (text != m_strDate)
        m_strDate = text;
}

void CVelkoraAppDlg::Render(plat::Canvas* hdc) {
    DrawImage(m_pBackground, hdc, 0, 0);
    DrawImage(m_pHorzUp, hdc, 10, 80);
    DrawImage(m_pHorzMiddle, hdc, 10, 155);
    DrawImage(m_pHorzDown, hdc, 10, m_bySeat != 0 && m_bySeat != 255 ? 517 : 398);
    DrawImage(m_pVert, hdc, 270, 83);
    DrawImage(m_pVert2[0], hdc, 96, 83);
    DrawImage(m_pVert2[1], hdc, 184, 83);
    if (m_pTimeText)
        m_pTimeText->Draw(hdc);
    if (m_pAmPmText)
        m_pAmPmText->Draw(hdc);
    RenderVolume(hdc, m_pMuteButton);
}

void CVelkoraAppDlg::RenderVolume(plat::Canvas* hdc, KvUserInterface::IKvButton* muteButton) {
    CKernel* kernel = CKernel::Instance();
    if (!kernel)
        return;
    m_bMute = kernel->m_bMute.load();
    if (muteButton)
        muteButton->SetFrame(m_bMute ? 1 : 0);
    if (m_bMute || !m_pVolumeText)
        return;
    m_iVolume = kernel->m_iVolume.load();
    m_pVolumeText->SetText(plat::FormatStr(u"%d", m_iVolume).c_str());
    m_pVolumeText->Draw(hdc);
}

void CVelkoraAppDlg::SetSeat(uint8_t seat) {
    m_bySeat = seat;
}

void CVelkoraAppDlg::UpdateVolume(bool repaint) {
    if (CKernel* kernel = CKernel::Instance())
        m_iVolume = kernel->m_iVolume.load();
    if (m_pVolumeText)
        m_pVolumeText->SetText(plat::FormatStr(u"%d", m_iVolume).c_str());
    if (repaint)
        InvalidateOwner();
}

void CVelkoraAppDlg::SetAudioMode(int) {}
void CVelkoraAppDlg::PostRender() {}
void CVelkoraAppDlg::StopAll() {}
void CVelkoraAppDlg::PauseIfPlaying(bool) {}
void CVelkoraAppDlg::OnBack() {}
void CVelkoraAppDlg::Refresh() {}
void CVelkoraAppDlg::SetLockState(int) {}
void CVelkoraAppDlg::KeyHandler(int) {}

#include "apps/settings/DateTimeDlg.h"

#include <cmath>

#include "apps/settings/SettingsCommon.h"
#include "core/kernel/Kernel.h"
#include "core/kernel/LogWriter.h"
#include "core/ui/WindowMessages.h"
#include "library/include/Vantrel.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/Turn.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"

using settings::ReleaseAndClear;

namespace {

const char16_t* const kHandFiles[3] = {u"DateTime\\clock1-hr.png", u"DateTime\\clock1-min.png",
                                       u"DateTime\\clock1-sec.png"};
// Each hand's picture about its turning point: hour, minute, second.
const plat::Rect kHandBoxes[3] = {
    plat::Rect::FromXYWH(-6, -63, 12, 65),
    plat::Rect::FromXYWH(-5, -100, 12, 106),
    plat::Rect::FromXYWH(-12, -127, 24, 130),
};

// A picture of the library decoded into a surface of its own size.
plat::Surface Decode(KvMultimedia::IKvImage* image) {
    plat::Surface out;
    uint32_t w = 0, h = 0;
    if (!image || image->GetSize(&w, &h) != RZ_OK || !out.Create(int(w), int(h)))
        return out;
    auto canvas = plat::MakeCanvas(out);
    image->Draw(canvas.get(), 0, 0, 0, 0);
    return out;
}

}  // namespace

CDateTimeDlg::CDateTimeDlg() {
    for (int m = 0; m < CLOCK_HAND_POINTS; ++m)
        m_HandPoints[m] = plat::Point{397, 247};
}

CDateTimeDlg::~CDateTimeDlg() {
    ReleaseObjects();
}

void CDateTimeDlg::ReleaseObjects() {
    ReleaseAndClear(m_pClockBg);
    ReleaseAndClear(m_pTexts);
    ReleaseAndClear(m_pFaceImage);
    ReleaseAndClear(m_pHandImages);
    m_Face.Reset();
    for (auto& hand : m_Hands)
        hand.Reset();
}

bool CDateTimeDlg::SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) {
    CVelkoraAppDlg::SetSkin(seat, mainWnd, appType);
    if (seat != 0)
        return true;
    m_bSkinned = LoadSkin();
    if (!m_bSkinned)
        ReleaseObjects();
    for (int m = 0; m < CLOCK_HAND_POINTS; ++m) {
        const double a = 6.0 * m * M_PI / 180.0;
        m_HandPoints[m] = plat::Point{397 - static_cast<int>(std::trunc(-30.0 * std::sin(a))),
                                      247 - static_cast<int>(std::trunc(30.0 * std::cos(a)))};
    }
    return true;
}

bool CDateTimeDlg::LoadSkin() {
    const uint32_t started = plat::GetTickCount();
    ReleaseObjects();
    CKernel* kernel = CKernel::Instance();
    IVantrel* root = kernel ? kernel->m_pRoot : nullptr;
    if (!root)
        return false;
    ReleaseAndClear(m_pBackground);
    m_pBackground = LoadImage(SkinPath(u"Homepage\\main-bg.jpg"));
    m_pClockBg = LoadImage(SkinPath(u"DateTime\\img-clockbg.png"));
    if (!m_pBackground || !m_pClockBg)
        return false;
    UpdateClockStrings();
    const std::string strings[2] = {m_strLongTime, m_strDate};
    for (int i = 0; i < 2; ++i) {
        if (root->CreateText(&m_pTexts[i]) != RZ_OK || !m_pTexts[i])
            return false;
        m_pTexts[i]->SetText(plat::Utf8ToUtf16(strings[i]).c_str());
    }
    m_pFaceImage = LoadImage(SkinPath(u"DateTime\\clock1-face.png"));
    if (!m_pFaceImage)
        return false;
    for (int i = 0; i < 3; ++i) {
        m_pHandImages[i] = LoadImage(SkinPath(kHandFiles[i]));
        if (!m_pHandImages[i])
            return false;
    }
    WriteLog("CDateTimeDlg: %lld ms", static_cast<long long>(plat::GetTickCount() - started));
    return true;
}

void CDateTimeDlg::OnTick() {
    CVelkoraAppDlg::OnTick();
    if (!m_bVisible)
        return;
    const uint32_t now = plat::GetTickCount();
    if (now - m_dwLastRepaint > 1000) {
        m_dwLastRepaint = now;
        InvalidateOwner();
    }
}

void CDateTimeDlg::OnLButtonUp(int, int) {
    if (!m_bSkinned) {
        LeaveWithoutSkin();
        return;
    }
    int caller = m_byShowParam;
    switch (caller) {
        // Pages that cannot be returned to as they were: the homepage instead.
        case 5:
        case 6:
        case 7:
        case 9:
        case 10:
        case 11:
        case 12:
        case 14:
        case 20:
        case 34:
            caller = 0;
            break;
        default:
            break;
    }
    plat::ui::SendMessage(m_hMainWnd, WM_SWITCH_APP, m_bySeat, (APPTYPE_DATETIME << 16) + caller);
    if (m_bVisible)
        InvalidateOwner();
}

void CDateTimeDlg::DrawHand(plat::Canvas* hdc, const plat::Surface& hand, const plat::Rect& box,
                            double degrees, int point) {
    plat::Point origin;
    const plat::Surface turned = plat::TurnImage(hand, box, degrees, m_HandPoints[point], &origin);
    if (!turned.IsEmpty())
        hdc->DrawImage(turned, origin.x, origin.y);
}

bool CDateTimeDlg::DecodeClock() {
    // Once rather than at every paint, which comes every second.
    if (m_Face.IsEmpty() && m_pFaceImage) {
        m_Face = Decode(m_pFaceImage);
        for (int i = 0; i < 3; ++i)
            m_Hands[i] = Decode(m_pHandImages[i]);
        ReleaseAndClear(m_pFaceImage);
        ReleaseAndClear(m_pHandImages);
    }
    return !m_Face.IsEmpty();
}

void CDateTimeDlg::Render(plat::Canvas* hdc) {
    if (!m_bSkinned) {
        RenderWithoutSkin(hdc);
        return;
    }
    if (!hdc)
        return;
    UpdateClockStrings();
    const int h = m_tmClock.hour, m = m_tmClock.minute, s = m_tmClock.second;
    m_pBackground->Draw(hdc, 0, 0, 0, 0);
    if (m_byClockStyle != 1 || !DecodeClock())
        return;
    hdc->DrawImage(m_Face, m_Face.Bounds(), plat::Rect::FromXYWH(0, 0, 800, 480));
    // The hour hand moves once an hour: the hour alone sets its angle.
    DrawHand(hdc, m_Hands[0], kHandBoxes[0], 30.0 * h, 5 * (h % 12));
    DrawHand(hdc, m_Hands[1], kHandBoxes[1], 6.0 * m, m % 60);
    DrawHand(hdc, m_Hands[2], kHandBoxes[2], 6.0 * s, s % 60);
}

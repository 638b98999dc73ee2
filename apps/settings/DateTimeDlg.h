// The clock page (APPTYPE_DATETIME, front seat): an analogue clock over the whole screen whose
// three hands turn about their points on a circle round the dial's middle. Any tap returns to
// the page that opened it. The main dialog makes it.
#pragma once

#include <cstdint>

#include "core/ui/VelkoraAppDlg.h"
#include "platform/gfx/Surface.h"

#define CLOCK_HAND_POINTS 60

class CDateTimeDlg : public CVelkoraAppDlg {
public:
    CDateTimeDlg();
    ~CDateTimeDlg() override;

    bool SetSkin(uint8_t seat, plat::ui::WindowId mainWnd, uint8_t appType) override;
    bool LoadSkin() override;
    void OnTick() override;
    void OnLButtonUp(int x, int y) override;
    void Render(plat::Canvas* hdc) override;

    // Point m for 6m degrees on a circle of radius 30 round (397, 247).
    const plat::Point& HandPoint(int m) const { return m_HandPoints[m]; }
    bool Skinned() const { return m_bSkinned; }

private:
    void ReleaseObjects();
    // The face and hands as surfaces, made at the first paint that shows them.
    bool DecodeClock();
    void DrawHand(plat::Canvas* hdc, const plat::Surface& hand, const plat::Rect& box,
                  double degrees, int point);

    plat::Point m_HandPoints[CLOCK_HAND_POINTS];
    uint32_t m_dwLastRepaint = 0;
    uint8_t m_byClockStyle = 1;
    KvMultimedia::IKvImage* m_pClockBg = nullptr;
    KvUserInterface::IKvText* m_pTexts[2] = {};
    // The face and the hands: their files at the skin's load, decoded once when first drawn.
    KvMultimedia::IKvImage* m_pFaceImage = nullptr;
    KvMultimedia::IKvImage* m_pHandImages[3] = {};
    plat::Surface m_Face;
    plat::Surface m_Hands[3];  // hour, minute, second
    bool m_bSkinned = false;
};

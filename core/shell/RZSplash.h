// The start-up picture: shown while the main dialog builds the kernel, the seats and the pages,
// and taken away by the main dialog's first timer tick.
#pragma once

#include <cstdint>
#include <string>

#include "platform/gfx/Surface.h"
#include "platform/ui/Ui.h"

// The picture the program carries for its start: 320 pixels wide, 24 bits per pixel, made with
// the skins and kept in the fixed skin folder beside them.
#define SPLASH_BITMAP_FILE u"%s\\Skin\\Default 01\\Splash.bmp"
#define SPLASH_WIDTH 320

class CRZSplash : public plat::ui::Window {
public:
    // Makes and shows the splash once, centred over `parent` (over the front screen when there
    // is none or it shows nothing). Nothing when the splash is up already; no splash when its
    // picture cannot be read or its window cannot be made (start-up goes on without it).
    static void ShowSplashScreen(plat::ui::WindowId parent);
    // Starts reading the splash's picture on a worker, so that the splash shown later finds it
    // read (the first picture of a run also loads the picture decoders).
    static void PrepareSplashScreen();
    // The main dialog's end of the splash: marks it hidden, destroys its window and frees it,
    // then repaints `mainWnd` at once.
    static void HideSplashScreen(plat::ui::WindowId mainWnd);
    // The splash while it is up, else null.
    static CRZSplash* Instance() { return c_pSplashWnd; }

    ~CRZSplash() override;

    const plat::Surface& Bitmap() const { return m_Bitmap; }

    uint8_t m_bHidden = 0;
    int m_iFrame = 0;
    int m_iFrameWidth = SPLASH_WIDTH;

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;

private:
    CRZSplash() = default;
    bool LoadBitmap();
    bool CreateSplash(plat::ui::WindowId parent);

    plat::Surface m_Bitmap;
    static CRZSplash* c_pSplashWnd;
};

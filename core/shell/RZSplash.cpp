#include "core/shell/RZSplash.h"

#include <memory>

#include "core/kernel/Kernel.h"
#include "platform/gfx/Canvas.h"
#include "platform/gfx/ImageFile.h"
#include "platform/io/File.h"
#include "platform/io/Path.h"
#include "platform/text/Text.h"

CRZSplash* CRZSplash::c_pSplashWnd = nullptr;

namespace {

std::u16string BaseDir() {
    CKernel* kernel = CKernel::Instance();
    if (kernel && kernel->m_szBaseDir[0])
        return kernel->m_szBaseDir;
    return plat::Utf8ToUtf16(plat::CurrentDirectory());
}

}  // namespace

CRZSplash::~CRZSplash() {
    Destroy();
    if (c_pSplashWnd == this)
        c_pSplashWnd = nullptr;
}

void CRZSplash::ShowSplashScreen(plat::ui::WindowId parent) {
    if (c_pSplashWnd)
        return;
    std::unique_ptr<CRZSplash> splash(new CRZSplash());
    if (!splash->LoadBitmap() || !splash->CreateSplash(parent))
        return;
    c_pSplashWnd = splash.release();
    plat::ui::UpdateWindow(c_pSplashWnd->Id());
}

void CRZSplash::PrepareSplashScreen() {
    const std::u16string path = plat::FormatStr(SPLASH_BITMAP_FILE, BaseDir().c_str());
    plat::PrefetchImageFiles({plat::NativePath(path)});
}

void CRZSplash::HideSplashScreen(plat::ui::WindowId mainWnd) {
    if (CRZSplash* splash = c_pSplashWnd) {
        splash->m_bHidden = 1;
        splash->Destroy();
        delete splash;
    }
    plat::ui::UpdateWindow(mainWnd);
}

bool CRZSplash::LoadBitmap() {
    const std::u16string path = plat::FormatStr(SPLASH_BITMAP_FILE, BaseDir().c_str());
    return plat::LoadImageFile(plat::NativePath(path), m_Bitmap) && !m_Bitmap.IsEmpty();
}

bool CRZSplash::CreateSplash(plat::ui::WindowId parent) {
    const int width = m_iFrameWidth;
    const int height = m_Bitmap.Height();
    // Centred over the owner while it shows something, else over the front screen.
    plat::Rect over = plat::ui::GetWindowRect(parent);
    if (parent == plat::ui::kNoWindow || !plat::ui::IsWindowVisible(parent) || over.IsEmpty()) {
        std::vector<plat::Rect> screens = plat::ui::Screens();
        over = screens.empty() ? plat::Rect{0, 0, 800, 480} : screens[0];
    }
    plat::ui::CreateParams params;
    params.rect = plat::Rect::FromXYWH(over.left + (over.Width() - width) / 2,
                                       over.top + (over.Height() - height) / 2, width, height);
    params.visible = true;
    return Create(params);
}

void CRZSplash::OnPaint(plat::Surface& surface, const plat::Rect&) {
    std::unique_ptr<plat::Canvas> canvas = plat::MakeCanvas(surface);
    if (!canvas)
        return;
    const int left = m_iFrame * m_iFrameWidth;
    canvas->DrawImage(m_Bitmap, plat::Rect::FromXYWH(left, 0, m_Bitmap.Width(), m_Bitmap.Height()),
                      plat::Rect::FromXYWH(0, 0, m_Bitmap.Width(), m_Bitmap.Height()),
                      plat::Blend::Copy);
}

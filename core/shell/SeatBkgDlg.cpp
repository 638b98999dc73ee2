#include "core/shell/SeatBkgDlg.h"

#include "platform/gfx/Canvas.h"

CSeatBkgDlg::~CSeatBkgDlg() {
    Destroy();
}

bool CSeatBkgDlg::Create() {
    plat::ui::CreateParams p;
    p.rect = plat::Rect{0, 0, 0, 0};
    p.visible = true;
    return Window::Create(p);
}

void CSeatBkgDlg::OnPaint(plat::Surface& surface, const plat::Rect&) {
    if (auto canvas = plat::MakeCanvas(surface))
        canvas->FillRect(plat::Rect::FromXYWH(0, 0, 800, 600), plat::Argb(255, 0, 0, 0));
}

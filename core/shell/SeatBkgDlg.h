// The rear backdrop: a black window behind the rear seat. It covers the rear screen while the
// seat is full screen and is put away (moved to an empty rectangle) while the seat is folded to
// its button, so that an outside program can show there.
#pragma once

#include "platform/ui/Ui.h"

class CSeatBkgDlg : public plat::ui::Window {
public:
    CSeatBkgDlg() = default;
    ~CSeatBkgDlg() override;

    // Made shown and empty; the main dialog places it.
    bool Create();

protected:
    void OnPaint(plat::Surface& surface, const plat::Rect& dirty) override;
};

// Helpers of the settings pages' whole-unit tests: a base folder whose skin can be changed, taps on
// a page's buttons, and switch requests as pages send them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/shell/MainCtrlDlg.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "platform/gfx/Surface.h"
#include "tests/harness/HeadUnit.h"
#include "tests/support/TestSupport.h"

namespace settingstest {

namespace fs = std::filesystem;

// Replaces the base folder's link to the default skin's folder `name` with a copy of it, which
// the test may change (the build's skin is shared by every test and stays untouched).
inline void CopySkinFolder(const std::string& base, const char* name) {
    const fs::path link = fs::path(base) / "Skin" / "Default" / name;
    const fs::path source = fs::read_symlink(link);
    fs::remove(link);
    fs::copy(source, link, fs::copy_options::recursive);
}

// The middle of a button on the seat's screen, in desktop co-ordinates.
inline plat::Point ButtonCentre(KvUserInterface::IKvButton* button, int seat) {
    plat::Rect r;
    button->GetRect(&r);
    return plat::Point{(r.left + r.right) / 2 + (seat ? 800 : 0), (r.top + r.bottom) / 2};
}

inline void TapButton(harness::HeadUnit& unit, KvUserInterface::IKvButton* button, int seat = 0) {
    const plat::Point p = ButtonCentre(button, seat);
    unit.Tap(p.x, p.y);
    unit.Advance(100);
}

// What a page sends to the main dialog, then the ticks in which the seat switches.
inline void Switch(harness::HeadUnit& unit, int seat, int app, int param = 0) {
    intptr_t result = -1;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat, (param << 16) | app,
                                      &result));
    plat::ui::InvalidateRect(unit.Seat(seat)->Id());
    unit.Advance(100);
}

// Pixels of `a` and `b` in `rect` that differ.
inline int Differences(const plat::Surface& a, const plat::Surface& b, const plat::Rect& rect) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            n += a.PixelAt(x, y) != b.PixelAt(x, y);
    return n;
}

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace settingstest

// The settings pages on the whole head unit (tests/harness): opening a page on a seat as the
// page that asks for it does, and tapping its controls on the screen.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/kernel/Kernel.h"
#include "core/shell/SeatCtrlDlg.h"
#include "core/ui/WindowMessages.h"
#include "library/include/IKvButton.h"
#include "platform/gfx/Surface.h"
#include "tests/harness/HeadUnit.h"

namespace settingstest {

using harness::HeadUnit;

// Desktop x of a seat's left edge.
inline int SeatX(int seat) {
    return seat ? 800 : 0;
}

// What a page does to open another: the request to the main dialog, then the seat's paint.
inline void Open(HeadUnit& unit, int seat, int app, int caller) {
    intptr_t result = -1;
    ASSERT_TRUE(plat::ui::SendMessage(unit.Main()->Id(), WM_SWITCH_APP, seat, (caller << 16) | app,
                                      &result));
    plat::ui::InvalidateRect(unit.Seat(seat)->Id());
    unit.Advance(100);
}

// A tap in the middle of a button of the page on `seat`, and the paint that runs its action.
inline void TapButton(HeadUnit& unit, int seat, KvUserInterface::IKvButton* button) {
    ASSERT_NE(button, nullptr);
    plat::Rect r;
    button->GetRect(&r);
    unit.Tap(SeatX(seat) + (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    unit.Advance(100);
}

// The middle of a button, in the seat's own co-ordinates.
inline plat::Point Middle(KvUserInterface::IKvButton* button) {
    plat::Rect r;
    button->GetRect(&r);
    return plat::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The board simulator's calls since the last look whose text starts with `prefix`.
inline std::vector<std::string> Calls(HeadUnit& unit, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : unit.Board().Log()) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            out.push_back(line);
    }
    return out;
}

// The number inside "Name(N)" of a call-log line.
inline int Argument(const std::string& line) {
    size_t open = line.find('(');
    return open == std::string::npos ? -1000 : std::atoi(line.c_str() + open + 1);
}

// How many pixels of `screen` in `rect` differ from `argb`.
inline int CountOther(const plat::Surface& screen, const plat::Rect& rect, uint32_t argb) {
    int n = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            if (screen.PixelAt(x, y) != argb)
                ++n;
        }
    }
    return n;
}

}  // namespace settingstest

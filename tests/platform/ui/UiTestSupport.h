// A window whose handlers are set per test, and a scope that starts and ends the layer.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/sys/Clock.h"
#include "platform/ui/Ui.h"
#include "tests/support/TestSupport.h"

namespace uitest {

using namespace plat;
using namespace plat::ui;

class TestWindow : public Window {
public:
    std::function<void(Surface&, const Rect&)> paint;
    std::function<void(PenAction, Point)> pen;
    std::function<void(uint32_t)> timer;
    std::function<intptr_t(uint32_t, uintptr_t, intptr_t)> message;
    std::function<void()> destroyed;
    uint32_t fill = 0;  // painted over the whole window when no paint handler is set
    int paints = 0;
    Rect lastDirty;

    ~TestWindow() override { Destroy(); }

    bool Open(const Rect& rect, bool visible = true, WindowId parent = kNoWindow,
              bool topMost = false) {
        CreateParams p;
        p.rect = rect;
        p.visible = visible;
        p.parent = parent;
        p.topMost = topMost;
        return Create(p);
    }

protected:
    void OnPaint(Surface& s, const Rect& dirty) override {
        ++paints;
        lastDirty = dirty;
        if (paint)
            paint(s, dirty);
        else
            s.Fill(fill);
    }
    void OnPenDown(Point pt) override {
        if (pen)
            pen(PenAction::Down, pt);
    }
    void OnPenMove(Point pt) override {
        if (pen)
            pen(PenAction::Move, pt);
    }
    void OnPenUp(Point pt) override {
        if (pen)
            pen(PenAction::Up, pt);
    }
    void OnTimer(uint32_t id) override {
        if (timer)
            timer(id);
    }
    intptr_t OnMessage(uint32_t m, uintptr_t w, intptr_t l) override {
        return message ? message(m, w, l) : 0;
    }
    void OnDestroy() override {
        if (destroyed)
            destroyed();
    }
};

// Headless layer for the length of a test.
class HeadlessUi {
public:
    HeadlessUi() {
        Options o;
        o.backend = Backend::Headless;
        ok = Init(o);
    }
    ~HeadlessUi() { Terminate(); }
    bool ok;
};

// The user-interface tests' name for testsupport::WaitFor.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 10000) {
    return testsupport::WaitFor(done, limitMs);
}

}  // namespace uitest

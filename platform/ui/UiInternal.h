// Shared state of the windowing layer; only platform/ui includes this.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/ui/Ui.h"

namespace plat::ui {

struct Queue;

// One message waiting in a queue: a posted message, a task, a pen event or a close request.
struct Item {
    enum Kind { Message, Task, Pen, Close } kind = Message;
    WindowId target = kNoWindow;
    uint32_t msg = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    PenAction pen = PenAction::Move;
    Point pt;
    std::function<void()> task;
};

// A blocking send; lives on the sender's stack until it is answered or failed.
struct SentItem {
    enum State { Pending, Running, Done, Failed } state = Pending;
    WindowId target = kNoWindow;  // kNoWindow: a task for the queue itself
    uint32_t msg = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    const std::function<void()>* task = nullptr;
    intptr_t result = 0;
    std::condition_variable* waiter = nullptr;
};

struct Queue {
    std::thread::id thread;
    bool primary = false;
    bool alive = true;
    uint64_t wakeSeq = 0;  // bumped by every wake, so a waiter cannot miss one
    std::deque<Item> posted;
    std::deque<SentItem*> sent;
    std::condition_variable cv;
};

struct WindowRec {
    WindowId id = kNoWindow;
    Window* obj = nullptr;
    std::shared_ptr<Queue> queue;
    WindowId parent = kNoWindow;
    std::vector<WindowId> children;  // bottom to top
    Rect rect;                       // desktop (top-level) or parent client co-ordinates
    bool visible = false;
    bool enabled = true;
    bool topMost = false;
    std::u16string title;
    Rect invalid;  // empty: nothing to paint
    bool modalEnd = false;
    int modalResult = 0;
    int modalDepth = 0;
    // The picture the owner paints into, touched only on the owner's thread...
    Surface surface;
    // ...and the copy made after each paint, which other threads read under the mutex.
    Surface shown;
    // Top-level windows: the display generation of the last change to what the window or
    // one of its children shows, so that a backend redraws only the windows that changed.
    uint64_t changed = 0;
};

struct Timer {
    uint32_t period = 0;
    uint64_t due = 0;
};

// A display backend; its functions other than Wake run on the primary thread.
class DisplayBackend {
public:
    virtual ~DisplayBackend() = default;
    // Turns native events into pen events and close requests; true when there were any.
    virtual bool PollEvents() = 0;
    // Waits for a native event or Wake, at most timeoutMs (negative: no limit).
    virtual void Wait(int timeoutMs) = 0;
    virtual void Wake() = 0;
    // Brings the screens up to date with the window pictures.
    virtual void Present() = 0;
    virtual bool ReadScreen(int index, Surface& out) = 0;
    virtual void ShowCursor(bool show) = 0;
};

std::unique_ptr<DisplayBackend> CreateSdlBackend(const std::vector<Rect>& screens);

// Everything below is guarded by Mutex().
std::mutex& Mutex();
std::shared_ptr<WindowRec> FindLocked(WindowId id);
// Top-level windows, bottom to top, top-most ones last.
std::vector<std::shared_ptr<WindowRec>> TopLevelsLocked();
std::vector<std::shared_ptr<WindowRec>> ChildrenLocked(const WindowRec& rec);
Rect DesktopRectLocked(const WindowRec& rec);
// Bumped by every paint and every change of place, size, order or visibility.
uint64_t DisplayGenerationLocked();
// Bumps the generation and marks the top-level window that holds `rec` as changed.
void TouchLocked(WindowRec& rec);

// Pen event at desktop co-ordinates from the backend or a test.
void RoutePen(PenAction action, Point desktop);
// A close request for the window (kNoWindow: the quit target).
void RouteClose(WindowId id);

// Draws a window and its visible children into `out` with its top-left corner at `origin`,
// clipped to `clip` (all in `out`'s co-ordinates). Takes the mutex itself.
void ComposeWindow(WindowId id, Surface& out, Point origin, const Rect& clip);
void ComposeScreen(const Rect& screen, Surface& out);

// Message boxes drawn by the layer itself (SDL): runs the box's modal loop on this thread.
int RunMessageBoxWindow(WindowId owner, const std::u16string& text, const std::u16string& caption,
                        uint32_t flags);

}  // namespace plat::ui

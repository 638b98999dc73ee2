// The windowing layer: windows at desktop co-ordinates, pen input with capture, one message
// queue per user-interface thread, blocking sends from any thread, coalesced timers on the
// monotonic clock, invalidation and paint, and modal loops.
//
// Two backends stand behind it: SDL2 for real screens and a headless one for tests and machines
// without a display. Either way every window keeps its picture as a plat::Surface, so tests and
// the headless run read pictures the same way.
//
// Threads: the thread that calls Init is the primary user-interface thread; any thread that
// creates a window or runs a loop gets a queue of its own and owns the windows it creates. Only
// the owner thread runs a window's handlers. The window functions below may be called from any
// thread and do nothing (returning false or empty values) for an id that is gone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gfx/Surface.h"

namespace plat::ui {

using WindowId = uint32_t;
constexpr WindowId kNoWindow = 0;

// First number free for the program's own messages.
constexpr uint32_t kWmUser = 0x0400;

enum class Backend { Auto, Headless, Sdl };

struct Options {
    // Auto: SDL when a display is there (DISPLAY, WAYLAND_DISPLAY or SDL_VIDEODRIVER set),
    // headless otherwise.
    Backend backend = Backend::Auto;
    // Desktop rectangles of the screens; empty means front 800x480 at (0, 0) and rear 800x600
    // at (800, 0).
    std::vector<Rect> screens;
};

// Starts the layer on the calling thread, which becomes the primary user-interface thread.
bool Init(const Options& options = Options());
// Ends the layer: every window record is dropped, the backend closed. Window objects that still
// exist become stale and harmless.
void Terminate();
bool IsInitialised();
bool IsHeadless();
std::vector<Rect> Screens();

// ---- Windows -------------------------------------------------------------------------------

struct CreateParams {
    // Desktop co-ordinates for a top-level window; the parent's client co-ordinates for a child.
    Rect rect;
    WindowId parent = kNoWindow;
    bool visible = false;
    bool topMost = false;
    std::u16string title;
};

// Base of every window. Derived classes override the handlers they need; the handlers run on the
// thread that created the window. Children are drawn over their parent and take no pen input
// (pen events go to the top-level window under the pen, or to the captured window).
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    bool Create(const CreateParams& params);
    // Destroys this window and its children (OnDestroy runs for each, the parent first), on the
    // owner's thread. Derived classes whose OnDestroy matters call Destroy in their own
    // destructor: the base destructor can only run the base handler.
    void Destroy();
    WindowId Id() const { return m_id; }

protected:
    friend struct Dispatcher;

    // `surface` is the window's picture, the size of the window; `dirty` the part to redraw.
    // The picture keeps what was drawn before, so drawing only `dirty` is enough.
    virtual void OnPaint(Surface& surface, const Rect& dirty);
    // Pen positions are client co-ordinates of this window.
    virtual void OnPenDown(Point pt);
    virtual void OnPenMove(Point pt);
    virtual void OnPenUp(Point pt);
    virtual void OnTimer(uint32_t timerId);
    virtual intptr_t OnMessage(uint32_t msg, uintptr_t wParam, intptr_t lParam);
    // A request to close (the window manager, or the end of the program for the quit target).
    // By default a window in a modal loop ends it with 2; any other window ignores it.
    virtual void OnClose();
    virtual void OnDestroy();

private:
    WindowId m_id = kNoWindow;
};

bool IsWindow(WindowId id);
bool DestroyWindow(WindowId id);
// x, y: desktop co-ordinates (top-level) or parent client co-ordinates (child). A size change
// keeps the top-left part of the picture and invalidates the window.
bool MoveWindow(WindowId id, int x, int y, int width, int height, bool repaint = true);
bool ShowWindow(WindowId id, bool show);
bool IsWindowVisible(WindowId id);
// A disabled window takes no pen: what is meant for it, or already queued for it, is dropped
// (a modal dialog disables its owner while it runs). Windows are made enabled; disabling one
// takes the capture from it.
bool EnableWindow(WindowId id, bool enable);
bool IsWindowEnabled(WindowId id);
// Top-most windows stay above all others; among equals the one raised last is on top.
bool SetTopMost(WindowId id, bool topMost);
bool BringWindowToTop(WindowId id);
// Desktop co-ordinates; an empty rectangle for a stale id.
Rect GetWindowRect(WindowId id);
// (0, 0, width, height).
Rect GetClientRect(WindowId id);
WindowId GetParent(WindowId id);
bool SetWindowText(WindowId id, const std::u16string& text);
std::u16string GetWindowText(WindowId id);
// Marks a part of the window (the whole window for nullptr) for painting; any thread.
bool InvalidateRect(WindowId id, const Rect* rect = nullptr);
// Paints the window at once when part of it is invalid (on its own thread; elsewhere it only
// wakes the owner).
void UpdateWindow(WindowId id);
// Puts what the windows have painted on the screens now, rather than when the loop next waits
// (on the primary user-interface thread; elsewhere and headless it does nothing).
void PresentNow();
// Makes the pictures of a window that has none yet, at its size, so that its first paint does
// not wait for that memory (on the window's own thread; elsewhere it does nothing).
void PrepareWindowPicture(WindowId id);

// The window that receives a close request when the program is asked to end (window manager,
// SIGTERM): the program's main window.
void SetQuitTarget(WindowId id);

// ---- Pen -----------------------------------------------------------------------------------

enum class PenAction { Down, Move, Up };

// While a window holds the capture it receives every pen event, wherever the pen is.
bool SetCapture(WindowId id);
void ReleaseCapture();
WindowId GetCapture();
// Last pen position, desktop co-ordinates.
Point GetCursorPos();
void ShowCursor(bool show);

// ---- Messages, tasks and loops ---------------------------------------------------------------

// Queues a message for the window's thread. False when the window is gone or shutdown began.
bool PostMessage(WindowId id, uint32_t msg, uintptr_t wParam, intptr_t lParam);
// Runs the window's OnMessage on its thread and waits for it; on the same thread it is a direct
// call. While waiting, a user-interface thread still answers sends made to it. False at once
// when the window is gone or shutdown began, and false when either happens during the wait.
bool SendMessage(WindowId id, uint32_t msg, uintptr_t wParam, intptr_t lParam,
                 intptr_t* result = nullptr);
// Runs `task` on the primary user-interface thread and waits for it (direct call there);
// false, without running it, when shutdown began. This is how a worker thread asks for a
// pop-up: the pop-up's modal loop runs on the user-interface thread while the worker waits.
bool RunOnUiThread(const std::function<void()>& task);
bool PostToUiThread(std::function<void()> task);

// Runs the calling thread's messages until EndModal(id) (returns its result), the window is
// destroyed (2) or shutdown begins (2). Loops nest; sends, posts, timers and paints of every
// window of the thread are handled inside each.
int RunModalLoop(WindowId id);
// Ends the modal loop of `id` (also when called before the loop starts); any thread.
bool EndModal(WindowId id, int result);

// A modal box's hold on its owner: the owner takes no pen while the hold lives. An owner that is
// already disabled (a box over a box) is left to the hold that disabled it.
class OwnerHold {
public:
    explicit OwnerHold(WindowId owner);
    ~OwnerHold();
    OwnerHold(const OwnerHold&) = delete;
    OwnerHold& operator=(const OwnerHold&) = delete;

private:
    WindowId m_owner = kNoWindow;  // the owner this hold disabled, enabled again at its end
};

// From now on sends and posts fail at once, pending sends fail, loops return and timers stop.
// The program calls it when its main loop has ended, before it joins its worker threads.
void BeginShutdown();
bool IsShuttingDown();

// ---- Timers ----------------------------------------------------------------------------------

// Periodic OnTimer(timerId) on the window's thread, on the monotonic clock of plat::GetClock().
// Setting an existing id restarts it. A late timer fires once and then keeps its period from
// now: ticks never queue up.
bool SetTimer(WindowId id, uint32_t timerId, uint32_t periodMs);
bool KillTimer(WindowId id, uint32_t timerId);

// ---- Message boxes -------------------------------------------------------------------------

enum MessageBoxFlags : uint32_t {
    kMbOk = 0x00,
    kMbOkCancel = 0x01,
    kMbYesNo = 0x04,
    kMbIconError = 0x10,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
};
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Shows a modal box and returns the button chosen. On real screens the box is a top-most window
// of this layer, centred over the owner (or the front screen), whose modal loop answers sends
// and keeps timers running like any other. On a worker thread the box runs on the
// primary user-interface thread while the caller waits. Headless, the box is recorded, its
// caption and text go to the standard error on one line, and it is answered from the script
// below (the first button when nothing is scripted). When no box can
// be shown at all (no layer, shutdown) the text goes to the standard error and the first
// button's result is returned.
int MessageBox(WindowId owner, const std::u16string& text, const std::u16string& caption,
               uint32_t flags);

struct MessageBoxRecord {
    WindowId owner = kNoWindow;
    std::u16string text;
    std::u16string caption;
    uint32_t flags = 0;
    int result = 0;
};
// Headless: the next boxes are answered with these results, in order.
void ScriptMessageBoxAnswer(int result);
// Every box shown so far (both backends), oldest first; the list is emptied.
std::vector<MessageBoxRecord> TakeMessageBoxes();

// ---- Driving and pictures (tests, the headless run) ----------------------------------------

// Feeds a pen event at desktop co-ordinates, as the screen would.
void InjectPen(PenAction action, Point desktop);
// Handles one ready item of the calling thread (a send, a post, a paint or a due timer).
bool PumpOnce();
// Handles ready items until none is left; returns how many. Timers count only when due now.
int PumpUntilIdle(int limit = 100000);

// The window's picture with its visible children drawn over it.
bool GetWindowPicture(WindowId id, Surface& out);
// What screen `index` shows: every visible top-level window over it in z-order, black where
// there is none.
bool CaptureScreen(int index, Surface& out);
// What the backend really put on the screen (SDL: read back from the native windows; headless:
// CaptureScreen). False when it cannot be read.
bool ReadDisplayedScreen(int index, Surface& out);
bool SavePng(const Surface& surface, const std::string& path);

}  // namespace plat::ui

// Window records, queues, sends, timers, paint and modal loops. One mutex guards all shared
// state; handlers always run with it released.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "platform/gfx/Font.h"
#include "platform/media/VideoSurface.h"
#include "platform/sys/Clock.h"
#include "platform/text/Text.h"
#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

struct State {
    std::mutex mutex;
    bool initialised = false;
    bool headless = true;
    bool shutdown = false;
    std::vector<Rect> screens;
    std::unordered_map<WindowId, std::shared_ptr<WindowRec>> windows;
    std::vector<WindowId> zorder;  // top-level windows, bottom to top, top-most ones last
    WindowId nextId = 1;           // never reused, so a stale id never finds a new window
    WindowId capture = kNoWindow;
    WindowId quitTarget = kNoWindow;
    Point cursor;
    std::map<std::pair<WindowId, uint32_t>, Timer> timers;
    uint64_t generation = 0;
    std::vector<std::shared_ptr<Queue>> queues;
    std::shared_ptr<Queue> primary;
    std::unique_ptr<DisplayBackend> backend;
    std::deque<int> scriptedAnswers;
    std::vector<MessageBoxRecord> boxes;
    uint64_t lastPresent = 0;
};

State& S() {
    static State state;
    return state;
}

void FailSentLocked(SentItem* item) {
    item->state = SentItem::Failed;
    item->waiter->notify_all();
}

// A thread's queue lives as long as the thread; on exit pending sends to it fail.
struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder() {
        if (!queue)
            return;
        State& s = S();
        std::lock_guard<std::mutex> lock(s.mutex);
        queue->alive = false;
        for (SentItem* item : queue->sent)
            FailSentLocked(item);
        queue->sent.clear();
        queue->posted.clear();
        s.queues.erase(std::remove(s.queues.begin(), s.queues.end(), queue), s.queues.end());
    }
};
thread_local QueueHolder t_queue;

std::shared_ptr<Queue> EnsureQueue() {
    if (!t_queue.queue) {
        auto q = std::make_shared<Queue>();
        q->thread = std::this_thread::get_id();
        State& s = S();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.queues.push_back(q);
        t_queue.queue = q;
    }
    return t_queue.queue;
}

void WakeLocked(Queue& q) {
    ++q.wakeSeq;
    q.cv.notify_all();
    State& s = S();
    if (q.primary && s.backend)
        s.backend->Wake();
}

void WakeAllLocked() {
    for (auto& q : S().queues)
        WakeLocked(*q);
}

bool IsSystemClock() {
    return dynamic_cast<SystemClock*>(&GetClock()) != nullptr;
}

Rect Union(const Rect& a, const Rect& b) {
    if (a.IsEmpty())
        return b;
    if (b.IsEmpty())
        return a;
    return Rect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

// Keeps the top-left part of the old picture.
void ResizeKeeping(Surface& surface, int width, int height) {
    if (surface.Width() == width && surface.Height() == height)
        return;
    Surface resized;
    resized.Create(width, height);
    int w = std::min(width, surface.Width());
    int h = std::min(height, surface.Height());
    for (int y = 0; y < h; ++y)
        std::copy_n(surface.Pixels() + static_cast<size_t>(y) * surface.Width(), w,
                    resized.Pixels() + static_cast<size_t>(y) * width);
    surface = std::move(resized);
}

void RaiseLocked(WindowId id, bool topMost) {
    State& s = S();
    auto& z = s.zorder;
    z.erase(std::remove(z.begin(), z.end(), id), z.end());
    if (topMost) {
        z.push_back(id);
        return;
    }
    auto firstTop = std::find_if(z.begin(), z.end(), [&](WindowId w) {
        auto rec = FindLocked(w);
        return rec && rec->topMost;
    });
    z.insert(firstTop, id);
}

bool ChainVisibleLocked(const WindowRec& rec) {
    if (!rec.visible)
        return false;
    if (rec.parent == kNoWindow)
        return true;
    auto parent = FindLocked(rec.parent);
    return parent && ChainVisibleLocked(*parent);
}

std::shared_ptr<WindowRec> PaintCandidateLocked(const Queue& q) {
    for (auto& [id, rec] : S().windows) {
        if (rec->queue.get() == &q && !rec->invalid.IsEmpty() && ChainVisibleLocked(*rec))
            return rec;
    }
    return nullptr;
}

// The earliest timer of the queue's windows, or none.
bool NextTimerLocked(const Queue& q, std::pair<WindowId, uint32_t>* key, uint64_t* due) {
    State& s = S();
    bool found = false;
    for (auto& [k, t] : s.timers) {
        auto rec = FindLocked(k.first);
        if (!rec || rec->queue.get() != &q)
            continue;
        if (!found || t.due < *due) {
            *key = k;
            *due = t.due;
            found = true;
        }
    }
    return found;
}

bool HasWorkLocked(const Queue& q) {
    if (!q.sent.empty() || !q.posted.empty() || PaintCandidateLocked(q))
        return true;
    std::pair<WindowId, uint32_t> key;
    uint64_t due;
    return NextTimerLocked(q, &key, &due) && due <= GetClock().TickMs();
}

void PresentIfPrimary(Queue& q, bool force) {
    State& s = S();
    DisplayBackend* backend = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!q.primary || !s.backend)
            return;
        uint64_t now = GetClock().TickMs();
        if (!force && now - s.lastPresent < 20)
            return;
        s.lastPresent = now;
        backend = s.backend.get();
    }
    backend->Present();
}

}  // namespace

// Calls the protected handlers of Window.
struct Dispatcher {
    static void Paint(Window* w, Surface& s, const Rect& r) { w->OnPaint(s, r); }
    static void Pen(Window* w, PenAction a, Point pt) {
        if (a == PenAction::Down)
            w->OnPenDown(pt);
        else if (a == PenAction::Move)
            w->OnPenMove(pt);
        else
            w->OnPenUp(pt);
    }
    static void Timer(Window* w, uint32_t id) { w->OnTimer(id); }
    static intptr_t Message(Window* w, uint32_t m, uintptr_t wp, intptr_t lp) {
        return w->OnMessage(m, wp, lp);
    }
    static void Close(Window* w) { w->OnClose(); }
    static void Destroyed(Window* w) {
        w->OnDestroy();
        w->m_id = kNoWindow;
    }
};

namespace {

// Paints one window on its own thread.
void PaintLocked(std::unique_lock<std::mutex>& lock, const std::shared_ptr<WindowRec>& rec) {
    Rect dirty = rec->invalid;
    rec->invalid = Rect{};
    Window* obj = rec->obj;
    ResizeKeeping(rec->surface, rec->rect.Width(), rec->rect.Height());
    lock.unlock();
    if (obj && !rec->surface.IsEmpty())
        Dispatcher::Paint(obj, rec->surface, dirty);
    lock.lock();
    // What others see of the window is a copy, so the owner paints without holding a lock.
    if (rec->shown.Width() != rec->surface.Width() ||
        rec->shown.Height() != rec->surface.Height()) {
        rec->shown = rec->surface;
    } else {
        Rect r = dirty.Intersect(rec->surface.Bounds());
        for (int y = r.top; y < r.bottom; ++y) {
            size_t row = static_cast<size_t>(y) * rec->surface.Width();
            std::copy_n(rec->surface.Pixels() + row + r.left, r.Width(),
                        rec->shown.Pixels() + row + r.left);
        }
    }
    TouchLocked(*rec);
}

void DispatchSent(std::unique_lock<std::mutex>& lock, SentItem* item) {
    State& s = S();
    Window* obj = nullptr;
    if (item->target != kNoWindow) {
        auto rec = FindLocked(item->target);
        if (!rec || !rec->obj) {
            FailSentLocked(item);
            return;
        }
        obj = rec->obj;
    }
    item->state = SentItem::Running;
    lock.unlock();
    intptr_t result = 0;
    if (item->task)
        (*item->task)();
    else if (obj)
        result = Dispatcher::Message(obj, item->msg, item->wParam, item->lParam);
    lock.lock();
    (void)s;
    item->result = result;
    item->state = SentItem::Done;
    item->waiter->notify_all();
}

void DispatchPosted(std::unique_lock<std::mutex>& lock, Item& item) {
    Window* obj = nullptr;
    bool enabled = false;
    if (item.target != kNoWindow) {
        auto rec = FindLocked(item.target);
        if (!rec || !rec->obj)
            return;
        obj = rec->obj;
        enabled = rec->enabled;
    }
    lock.unlock();
    switch (item.kind) {
        case Item::Message:
            if (obj)
                Dispatcher::Message(obj, item.msg, item.wParam, item.lParam);
            break;
        case Item::Task:
            if (item.task)
                item.task();
            break;
        case Item::Pen:
            if (obj && enabled)
                Dispatcher::Pen(obj, item.pen, item.pt);
            break;
        case Item::Close:
            if (obj)
                Dispatcher::Close(obj);
            break;
    }
    lock.lock();
}

// Handles one ready item of `q`: sends first, then posts and input, then paints, then timers.
bool ProcessOne(Queue& q, bool sentOnly = false) {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.shutdown || !s.initialised)
        return false;
    if (!q.sent.empty()) {
        SentItem* item = q.sent.front();
        q.sent.pop_front();
        DispatchSent(lock, item);
        return true;
    }
    if (sentOnly)
        return false;
    if (q.posted.empty() && q.primary && s.backend) {
        DisplayBackend* backend = s.backend.get();
        lock.unlock();
        backend->PollEvents();
        lock.lock();
        if (s.shutdown)
            return false;
    }
    if (!q.posted.empty()) {
        Item item = std::move(q.posted.front());
        q.posted.pop_front();
        DispatchPosted(lock, item);
        return true;
    }
    if (auto rec = PaintCandidateLocked(q)) {
        PaintLocked(lock, rec);
        return true;
    }
    std::pair<WindowId, uint32_t> key;
    uint64_t due;
    uint64_t now = GetClock().TickMs();
    if (NextTimerLocked(q, &key, &due) && due <= now) {
        Timer& t = s.timers[key];
        // Coalesced: a late timer fires once and takes up its period from now.
        t.due = due + t.period;
        if (t.due <= now)
            t.due = now + t.period;
        auto rec = FindLocked(key.first);
        Window* obj = rec ? rec->obj : nullptr;
        lock.unlock();
        if (obj)
            Dispatcher::Timer(obj, key.second);
        return true;
    }
    return false;
}

// Waits until something may be ready for `q`; returns at once when a wake came after `seq`.
void Idle(Queue& q, uint64_t seq) {
    PresentIfPrimary(q, true);
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    if (q.wakeSeq != seq || s.shutdown || !s.initialised || HasWorkLocked(q))
        return;
    int timeout = -1;
    std::pair<WindowId, uint32_t> key;
    uint64_t due;
    if (NextTimerLocked(q, &key, &due)) {
        uint64_t now = GetClock().TickMs();
        timeout = due <= now ? 0 : static_cast<int>(std::min<uint64_t>(due - now, 1000000));
    }
    // An injected clock moves without telling anyone: look again soon.
    if (!IsSystemClock() && (timeout < 0 || timeout > 2))
        timeout = 2;
    if (q.primary && s.backend) {
        DisplayBackend* backend = s.backend.get();
        lock.unlock();
        backend->Wait(timeout);
        return;
    }
    if (timeout < 0)
        q.cv.wait(lock);
    else
        q.cv.wait_for(lock, std::chrono::milliseconds(timeout));
}

// Waits for a blocking send to be answered, answering sends to this thread meanwhile.
bool WaitForAnswer(std::unique_lock<std::mutex>& lock, SentItem& item, Queue* own) {
    while (item.state == SentItem::Pending || item.state == SentItem::Running) {
        if (own && !own->sent.empty()) {
            lock.unlock();
            ProcessOne(*own, true);
            lock.lock();
            continue;
        }
        item.waiter->wait(lock);
    }
    return item.state == SentItem::Done;
}

int FirstButton(uint32_t flags) {
    return (flags & 0x0F) == kMbYesNo ? kIdYes : kIdOk;
}

// A video window changed (often a new frame, from the media engine's thread): the screens
// showing its owner are out of date.
void OnVideoChanged(void*, uintptr_t owner) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = s.initialised && !s.shutdown ? FindLocked(static_cast<WindowId>(owner)) : nullptr;
    if (!rec)
        return;
    TouchLocked(*rec);
    if (s.primary)
        WakeLocked(*s.primary);
}

}  // namespace

// ---- Shared with the other files of the layer ------------------------------------------------

std::mutex& Mutex() {
    return S().mutex;
}

std::shared_ptr<WindowRec> FindLocked(WindowId id) {
    if (id == kNoWindow)
        return nullptr;
    auto& w = S().windows;
    auto it = w.find(id);
    return it == w.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<WindowRec>> TopLevelsLocked() {
    std::vector<std::shared_ptr<WindowRec>> out;
    for (WindowId id : S().zorder) {
        if (auto rec = FindLocked(id))
            out.push_back(rec);
    }
    return out;
}

std::vector<std::shared_ptr<WindowRec>> ChildrenLocked(const WindowRec& rec) {
    std::vector<std::shared_ptr<WindowRec>> out;
    for (WindowId id : rec.children) {
        if (auto child = FindLocked(id))
            out.push_back(child);
    }
    return out;
}

Rect DesktopRectLocked(const WindowRec& rec) {
    if (rec.parent == kNoWindow)
        return rec.rect;
    auto parent = FindLocked(rec.parent);
    if (!parent)
        return rec.rect;
    Rect p = DesktopRectLocked(*parent);
    return rec.rect.Offset(p.left, p.top);
}

uint64_t DisplayGenerationLocked() {
    return S().generation;
}

void TouchLocked(WindowRec& rec) {
    const uint64_t generation = ++S().generation;
    WindowRec* top = &rec;
    std::shared_ptr<WindowRec> parent;
    while (top->parent != kNoWindow && (parent = FindLocked(top->parent)))
        top = parent.get();
    top->changed = generation;
}

void RoutePen(PenAction action, Point desktop) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised || s.shutdown)
        return;
    s.cursor = desktop;
    std::shared_ptr<WindowRec> target = FindLocked(s.capture);
    if (!target) {
        auto tops = TopLevelsLocked();
        for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
            if ((*it)->visible && (*it)->rect.Contains(desktop)) {
                target = *it;
                break;
            }
        }
    }
    if (!target || !target->queue->alive || !target->enabled)
        return;
    Rect r = DesktopRectLocked(*target);
    Item item;
    item.kind = Item::Pen;
    item.target = target->id;
    item.pen = action;
    item.pt = Point{desktop.x - r.left, desktop.y - r.top};
    target->queue->posted.push_back(std::move(item));
    WakeLocked(*target->queue);
}

void RouteClose(WindowId id) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id == kNoWindow ? s.quitTarget : id);
    if (!rec || s.shutdown)
        return;
    Item item;
    item.kind = Item::Close;
    item.target = rec->id;
    rec->queue->posted.push_back(std::move(item));
    WakeLocked(*rec->queue);
}

// ---- Start and end -------------------------------------------------------------------------

bool Init(const Options& options) {
    auto q = EnsureQueue();
    State& s = S();
    bool useSdl = false;
    if (options.backend == Backend::Sdl) {
        useSdl = true;
    } else if (options.backend == Backend::Auto) {
        useSdl = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") ||
                 std::getenv("SDL_VIDEODRIVER");
    }
    std::vector<Rect> screens = options.screens;
    if (screens.empty())
        screens = {Rect::FromXYWH(0, 0, 800, 480), Rect::FromXYWH(800, 0, 800, 600)};
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.initialised)
            return false;
    }
    std::unique_ptr<DisplayBackend> backend;
    if (useSdl) {
        backend = CreateSdlBackend(screens);
        if (!backend && options.backend == Backend::Sdl)
            return false;
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.initialised = true;
    s.shutdown = false;
    s.headless = !backend;
    s.backend = std::move(backend);
    s.screens = screens;
    s.primary = q;
    q->primary = true;
    s.capture = s.quitTarget = kNoWindow;
    s.lastPresent = 0;
    SetVideoChangeListener(&OnVideoChanged, nullptr);
    return true;
}

void Terminate() {
    State& s = S();
    std::unique_ptr<DisplayBackend> backend;
    std::unordered_map<WindowId, std::shared_ptr<WindowRec>> windows;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.initialised)
            return;
        SetVideoChangeListener(nullptr, nullptr);
        for (auto& q : s.queues) {
            for (SentItem* item : q->sent)
                FailSentLocked(item);
            q->sent.clear();
            q->posted.clear();
            q->primary = false;
            WakeLocked(*q);
        }
        windows.swap(s.windows);
        s.zorder.clear();
        s.timers.clear();
        s.primary.reset();
        s.scriptedAnswers.clear();
        s.boxes.clear();
        s.initialised = false;
        s.shutdown = false;
        backend = std::move(s.backend);
    }
    // Window objects that outlive the layer keep stale ids, which find nothing.
    backend.reset();
}

bool IsInitialised() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().initialised;
}

bool IsHeadless() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().headless;
}

std::vector<Rect> Screens() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().screens;
}

// ---- Windows -------------------------------------------------------------------------------

Window::~Window() {
    if (m_id != kNoWindow)
        DestroyWindow(m_id);
}

bool Window::Create(const CreateParams& params) {
    if (m_id != kNoWindow)
        return false;
    auto q = EnsureQueue();
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.initialised || s.shutdown)
        return false;
    std::shared_ptr<WindowRec> parent;
    if (params.parent != kNoWindow && !(parent = FindLocked(params.parent)))
        return false;
    auto rec = std::make_shared<WindowRec>();
    rec->id = s.nextId++;
    if (s.nextId == kNoWindow)
        s.nextId = 1;
    rec->obj = this;
    rec->queue = q;
    rec->parent = params.parent;
    rec->rect = params.rect;
    if (rec->rect.right < rec->rect.left)
        rec->rect.right = rec->rect.left;
    if (rec->rect.bottom < rec->rect.top)
        rec->rect.bottom = rec->rect.top;
    rec->visible = params.visible;
    rec->topMost = params.topMost && !parent;
    rec->title = params.title;
    // The pictures are made at the first paint: a window that is never shown costs nothing.
    rec->invalid = Rect{0, 0, rec->rect.Width(), rec->rect.Height()};
    s.windows[rec->id] = rec;
    if (parent)
        parent->children.push_back(rec->id);
    else
        RaiseLocked(rec->id, rec->topMost);
    TouchLocked(*rec);
    m_id = rec->id;
    WakeLocked(*q);
    return true;
}

void Window::Destroy() {
    if (m_id != kNoWindow)
        DestroyWindow(m_id);
}

void Window::OnPaint(Surface&, const Rect&) {}
void Window::OnPenDown(Point) {}
void Window::OnPenMove(Point) {}
void Window::OnPenUp(Point) {}
void Window::OnTimer(uint32_t) {}
intptr_t Window::OnMessage(uint32_t, uintptr_t, intptr_t) {
    return 0;
}
void Window::OnClose() {
    bool modal = false;
    {
        std::lock_guard<std::mutex> lock(S().mutex);
        auto rec = FindLocked(m_id);
        modal = rec && rec->modalDepth > 0;
    }
    if (modal)
        EndModal(m_id, 2);
}
void Window::OnDestroy() {}

namespace {

void CollectLocked(const std::shared_ptr<WindowRec>& rec,
                   std::vector<std::shared_ptr<WindowRec>>& out) {
    out.push_back(rec);
    for (auto& child : ChildrenLocked(*rec))
        CollectLocked(child, out);
}

}  // namespace

bool DestroyWindow(WindowId id) {
    State& s = S();
    std::vector<std::shared_ptr<WindowRec>> doomed;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto rec = FindLocked(id);
        if (!rec)
            return false;
        CollectLocked(rec, doomed);
    }
    // The handlers see their windows still alive, parent first as the framework does.
    for (auto& rec : doomed) {
        Window* obj;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            obj = rec->obj;
            rec->obj = nullptr;
        }
        if (obj)
            Dispatcher::Destroyed(obj);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto& rec : doomed) {
        if (!FindLocked(rec->id))
            continue;
        s.windows.erase(rec->id);
        s.zorder.erase(std::remove(s.zorder.begin(), s.zorder.end(), rec->id), s.zorder.end());
        for (auto it = s.timers.begin(); it != s.timers.end();) {
            if (it->first.first == rec->id)
                it = s.timers.erase(it);
            else
                ++it;
        }
        if (s.capture == rec->id)
            s.capture = kNoWindow;
        auto& sent = rec->queue->sent;
        for (auto it = sent.begin(); it != sent.end();) {
            if ((*it)->target == rec->id) {
                FailSentLocked(*it);
                it = sent.erase(it);
            } else {
                ++it;
            }
        }
        if (auto parent = FindLocked(rec->parent)) {
            auto& c = parent->children;
            c.erase(std::remove(c.begin(), c.end(), rec->id), c.end());
        }
    }
    // Loops on this window, on whatever thread, notice that it is gone.
    WakeAllLocked();
    if (auto parent = FindLocked(doomed.front()->parent))
        TouchLocked(*parent);  // it shows no more of the child
    else
        ++s.generation;
    return true;
}

bool IsWindow(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return FindLocked(id) != nullptr;
}

bool MoveWindow(WindowId id, int x, int y, int width, int height, bool repaint) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    width = std::max(width, 0);
    height = std::max(height, 0);
    bool resized = width != rec->rect.Width() || height != rec->rect.Height();
    rec->rect = Rect::FromXYWH(x, y, width, height);
    // The owner's own picture follows at once on its thread (a paint handler may move its
    // window and draw on); elsewhere it follows before the next paint.
    // A picture not made yet has nothing to keep: the first paint makes it at the new size.
    if (rec->queue->thread == std::this_thread::get_id() && !rec->surface.IsEmpty())
        ResizeKeeping(rec->surface, width, height);
    if (!rec->shown.IsEmpty())
        ResizeKeeping(rec->shown, width, height);
    if (resized || repaint) {
        rec->invalid = Rect{0, 0, width, height};
        WakeLocked(*rec->queue);
    }
    TouchLocked(*rec);
    return true;
}

bool ShowWindow(WindowId id, bool show) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    if (rec->visible != show) {
        rec->visible = show;
        if (show) {
            rec->invalid = Rect{0, 0, rec->rect.Width(), rec->rect.Height()};
            WakeLocked(*rec->queue);
        }
        if (!show && s.capture == id)
            s.capture = kNoWindow;
        TouchLocked(*rec);
    }
    return true;
}

bool EnableWindow(WindowId id, bool enable) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    rec->enabled = enable;
    if (!enable && s.capture == id)
        s.capture = kNoWindow;
    return true;
}

bool IsWindowEnabled(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec && rec->enabled;
}

OwnerHold::OwnerHold(WindowId owner) {
    if (owner != kNoWindow && IsWindowEnabled(owner)) {
        m_owner = owner;
        EnableWindow(owner, false);
    }
}

OwnerHold::~OwnerHold() {
    if (m_owner != kNoWindow)
        EnableWindow(m_owner, true);
}

bool IsWindowVisible(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec && ChainVisibleLocked(*rec);
}

bool SetTopMost(WindowId id, bool topMost) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec || rec->parent != kNoWindow)
        return false;
    rec->topMost = topMost;
    RaiseLocked(id, topMost);
    TouchLocked(*rec);
    return true;
}

bool BringWindowToTop(WindowId id) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    if (rec->parent == kNoWindow) {
        RaiseLocked(id, rec->topMost);
    } else if (auto parent = FindLocked(rec->parent)) {
        auto& c = parent->children;
        c.erase(std::remove(c.begin(), c.end(), id), c.end());
        c.push_back(id);
    }
    TouchLocked(*rec);
    return true;
}

Rect GetWindowRect(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec ? DesktopRectLocked(*rec) : Rect{};
}

Rect GetClientRect(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec ? Rect{0, 0, rec->rect.Width(), rec->rect.Height()} : Rect{};
}

WindowId GetParent(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec ? rec->parent : kNoWindow;
}

bool SetWindowText(WindowId id, const std::u16string& text) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    rec->title = text;
    TouchLocked(*rec);
    return true;
}

std::u16string GetWindowText(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    return rec ? rec->title : std::u16string();
}

bool InvalidateRect(WindowId id, const Rect* rect) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    Rect client{0, 0, rec->rect.Width(), rec->rect.Height()};
    Rect r = rect ? rect->Intersect(client) : client;
    if (r.IsEmpty())
        return true;
    bool wasEmpty = rec->invalid.IsEmpty();
    rec->invalid = Union(rec->invalid, r);
    if (wasEmpty)
        WakeLocked(*rec->queue);
    return true;
}

void UpdateWindow(WindowId id) {
    State& s = S();
    std::unique_lock<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec || rec->invalid.IsEmpty())
        return;
    if (rec->queue->thread != std::this_thread::get_id() || !ChainVisibleLocked(*rec)) {
        WakeLocked(*rec->queue);
        return;
    }
    PaintLocked(lock, rec);
}

void PresentNow() {
    PresentIfPrimary(*EnsureQueue(), true);
}

void PrepareWindowPicture(WindowId id) {
    State& s = S();
    int width = 0, height = 0;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto rec = FindLocked(id);
        if (!rec || rec->queue->thread != std::this_thread::get_id() || !rec->surface.IsEmpty())
            return;
        width = rec->rect.Width();
        height = rec->rect.Height();
    }
    // The memory is made without the lock, which other threads' windows need meanwhile.
    Surface surface, shown;
    if (!surface.Create(width, height) || !shown.Create(width, height))
        return;
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec || !rec->surface.IsEmpty() || rec->rect.Width() != width ||
        rec->rect.Height() != height)
        return;
    rec->surface = std::move(surface);
    if (rec->shown.IsEmpty())
        rec->shown = std::move(shown);
}

void SetQuitTarget(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().quitTarget = id;
}

// ---- Pen -----------------------------------------------------------------------------------

bool SetCapture(WindowId id) {
    std::lock_guard<std::mutex> lock(S().mutex);
    if (!FindLocked(id))
        return false;
    S().capture = id;
    return true;
}

void ReleaseCapture() {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().capture = kNoWindow;
}

WindowId GetCapture() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return FindLocked(S().capture) ? S().capture : kNoWindow;
}

Point GetCursorPos() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().cursor;
}

void ShowCursor(bool show) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.backend)
        s.backend->ShowCursor(show);
}

void InjectPen(PenAction action, Point desktop) {
    RoutePen(action, desktop);
}

// ---- Messages, tasks and loops ---------------------------------------------------------------

bool PostMessage(WindowId id, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec || s.shutdown || !rec->queue->alive)
        return false;
    Item item;
    item.kind = Item::Message;
    item.target = id;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    rec->queue->posted.push_back(std::move(item));
    WakeLocked(*rec->queue);
    return true;
}

namespace {

bool Send(const std::shared_ptr<Queue>& target, SentItem& item) {
    State& s = S();
    Queue* own = t_queue.queue.get();
    std::condition_variable local;
    item.waiter = own ? &own->cv : &local;
    std::unique_lock<std::mutex> lock(s.mutex, std::adopt_lock);
    target->sent.push_back(&item);
    WakeLocked(*target);
    bool ok = WaitForAnswer(lock, item, own);
    lock.release();
    return ok;
}

}  // namespace

bool SendMessage(WindowId id, uint32_t msg, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
    State& s = S();
    s.mutex.lock();
    auto rec = FindLocked(id);
    if (!rec || s.shutdown || !rec->obj || !rec->queue->alive) {
        s.mutex.unlock();
        return false;
    }
    if (rec->queue->thread == std::this_thread::get_id()) {
        Window* obj = rec->obj;
        s.mutex.unlock();
        intptr_t r = Dispatcher::Message(obj, msg, wParam, lParam);
        if (result)
            *result = r;
        return true;
    }
    SentItem item;
    item.target = id;
    item.msg = msg;
    item.wParam = wParam;
    item.lParam = lParam;
    bool ok = Send(rec->queue, item);
    s.mutex.unlock();
    if (result)
        *result = ok ? item.result : 0;
    return ok;
}

bool RunOnUiThread(const std::function<void()>& task) {
    State& s = S();
    s.mutex.lock();
    std::shared_ptr<Queue> primary = s.primary;
    if (!primary || s.shutdown || !primary->alive) {
        s.mutex.unlock();
        return false;
    }
    if (primary->thread == std::this_thread::get_id()) {
        s.mutex.unlock();
        task();
        return true;
    }
    SentItem item;
    item.task = &task;
    bool ok = Send(primary, item);
    s.mutex.unlock();
    return ok;
}

bool PostToUiThread(std::function<void()> task) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.primary || s.shutdown || !s.primary->alive)
        return false;
    Item item;
    item.kind = Item::Task;
    item.task = std::move(task);
    s.primary->posted.push_back(std::move(item));
    WakeLocked(*s.primary);
    return true;
}

int RunModalLoop(WindowId id) {
    auto q = EnsureQueue();
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto rec = FindLocked(id);
        if (!rec || s.shutdown)
            return 2;
        ++rec->modalDepth;
    }
    int result = 2;
    for (;;) {
        uint64_t seq;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            auto rec = FindLocked(id);
            if (!rec || s.shutdown || !s.initialised)
                break;
            if (rec->modalEnd) {
                result = rec->modalResult;
                break;
            }
            seq = q->wakeSeq;
        }
        if (!ProcessOne(*q))
            Idle(*q, seq);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    if (auto rec = FindLocked(id)) {
        rec->modalEnd = false;
        --rec->modalDepth;
    }
    return result;
}

bool EndModal(WindowId id, int result) {
    std::lock_guard<std::mutex> lock(S().mutex);
    auto rec = FindLocked(id);
    if (!rec)
        return false;
    rec->modalEnd = true;
    rec->modalResult = result;
    // The loop may run on another thread than the window's own.
    WakeAllLocked();
    return true;
}

void BeginShutdown() {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.shutdown = true;
    for (auto& q : s.queues) {
        for (SentItem* item : q->sent)
            FailSentLocked(item);
        q->sent.clear();
        q->posted.clear();
        WakeLocked(*q);
    }
}

bool IsShuttingDown() {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().shutdown;
}

bool PumpOnce() {
    auto q = EnsureQueue();
    if (ProcessOne(*q))
        return true;
    PresentIfPrimary(*q, true);
    return false;
}

int PumpUntilIdle(int limit) {
    auto q = EnsureQueue();
    int n = 0;
    while (n < limit && ProcessOne(*q))
        ++n;
    PresentIfPrimary(*q, true);
    return n;
}

// ---- Timers ----------------------------------------------------------------------------------

bool SetTimer(WindowId id, uint32_t timerId, uint32_t periodMs) {
    State& s = S();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto rec = FindLocked(id);
    if (!rec || s.shutdown)
        return false;
    Timer t;
    t.period = std::max<uint32_t>(periodMs, 1);
    t.due = GetClock().TickMs() + t.period;
    s.timers[{id, timerId}] = t;
    WakeLocked(*rec->queue);
    return true;
}

bool KillTimer(WindowId id, uint32_t timerId) {
    std::lock_guard<std::mutex> lock(S().mutex);
    return S().timers.erase({id, timerId}) > 0;
}

// ---- Message boxes -------------------------------------------------------------------------

int MessageBox(WindowId owner, const std::u16string& text, const std::u16string& caption,
               uint32_t flags) {
    State& s = S();
    MessageBoxRecord record{owner, text, caption, flags, FirstButton(flags)};
    bool show = false;
    bool headless = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.initialised && s.headless) {
            if (!s.scriptedAnswers.empty()) {
                record.result = s.scriptedAnswers.front();
                s.scriptedAnswers.pop_front();
            }
            s.boxes.push_back(record);
            headless = true;
        } else {
            show = s.initialised && !s.shutdown;
        }
    }
    // Nobody sees a headless box: its words go where the person who started the run can read
    // them.
    if (headless) {
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
        return record.result;
    }
    bool shown = false;
    if (show) {
        auto box = [&] {
            record.result = RunMessageBoxWindow(owner, text, caption, flags);
            shown = true;
        };
        if (t_queue.queue)
            box();
        else
            RunOnUiThread(box);
    }
    if (!shown) {
        std::fprintf(stderr, "%s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
        record.result = FirstButton(flags);
    }
    std::lock_guard<std::mutex> lock(s.mutex);
    s.boxes.push_back(record);
    return record.result;
}

void ScriptMessageBoxAnswer(int result) {
    std::lock_guard<std::mutex> lock(S().mutex);
    S().scriptedAnswers.push_back(result);
}

std::vector<MessageBoxRecord> TakeMessageBoxes() {
    std::lock_guard<std::mutex> lock(S().mutex);
    std::vector<MessageBoxRecord> out;
    out.swap(S().boxes);
    return out;
}

bool ReadDisplayedScreen(int index, Surface& out) {
    State& s = S();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.initialised || index < 0 || index >= static_cast<int>(s.screens.size()))
            return false;
        if (s.backend)
            return s.backend->ReadScreen(index, out);
    }
    return CaptureScreen(index, out);
}

}  // namespace plat::ui

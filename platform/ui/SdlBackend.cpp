// Real screens through SDL2. Under X11 every visible top-level window gets a borderless native
// window of its own, so outside programs can show beside a collapsed seat. Elsewhere (KMS, the
// offscreen driver) there is one native window per screen and the layer composes the windows
// over it.
#include <SDL.h>
#include <SDL_syswm.h>
#include <dlfcn.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include "platform/io/LocalSocket.h"
#include "platform/text/Text.h"
#include "platform/ui/UiInternal.h"

namespace plat::ui {

namespace {

// SDL and the sound, Wayland and DRM libraries it brings are loaded only when there is a
// screen to show on: a headless start does not spend its first milliseconds mapping them.
#define VELKORA_SDL_CALLS(X)     \
    X(SDL_ConvertPixels)         \
    X(SDL_CreateWindow)          \
    X(SDL_DestroyWindow)         \
    X(SDL_GetCurrentVideoDriver) \
    X(SDL_GetError)              \
    X(SDL_GetWindowID)           \
    X(SDL_GetWindowSurface)      \
    X(SDL_GetWindowWMInfo)       \
    X(SDL_HideWindow)            \
    X(SDL_InitSubSystem)         \
    X(SDL_LockSurface)           \
    X(SDL_PollEvent)             \
    X(SDL_PushEvent)             \
    X(SDL_Quit)                  \
    X(SDL_QuitSubSystem)         \
    X(SDL_RaiseWindow)           \
    X(SDL_RegisterEvents)        \
    X(SDL_SetHint)               \
    X(SDL_SetWindowAlwaysOnTop)  \
    X(SDL_SetWindowPosition)     \
    X(SDL_SetWindowSize)         \
    X(SDL_SetWindowTitle)        \
    X(SDL_ShowCursor)            \
    X(SDL_ShowWindow)            \
    X(SDL_UnlockSurface)         \
    X(SDL_UpdateWindowSurface)   \
    X(SDL_WaitEvent)             \
    X(SDL_WaitEventTimeout)

struct SdlCalls {
#define VELKORA_SDL_MEMBER(name) decltype(&::name) name = nullptr;
    VELKORA_SDL_CALLS(VELKORA_SDL_MEMBER)
#undef VELKORA_SDL_MEMBER
};

// The calls, or null when the library cannot be loaded; it stays loaded for the process.
const SdlCalls* LoadSdl() {
    static const SdlCalls* const calls = []() -> const SdlCalls* {
        void* lib = ::dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib) {
            std::fprintf(stderr, "SDL: %s\n", ::dlerror());
            return nullptr;
        }
        static SdlCalls loaded;
        bool ok = true;
#define VELKORA_SDL_LOOKUP(name)                                            \
    loaded.name = reinterpret_cast<decltype(&::name)>(::dlsym(lib, #name)); \
    ok = ok && loaded.name;
        VELKORA_SDL_CALLS(VELKORA_SDL_LOOKUP)
#undef VELKORA_SDL_LOOKUP
        if (!ok)
            std::fprintf(stderr, "SDL: the library lacks calls this program makes\n");
        return ok ? &loaded : nullptr;
    }();
    return calls;
}

const SdlCalls* g_sdl = nullptr;

}  // namespace

// From here on every SDL call goes through the loaded library.
#define SDL_ConvertPixels (g_sdl->SDL_ConvertPixels)
#define SDL_CreateWindow (g_sdl->SDL_CreateWindow)
#define SDL_DestroyWindow (g_sdl->SDL_DestroyWindow)
#define SDL_GetCurrentVideoDriver (g_sdl->SDL_GetCurrentVideoDriver)
#define SDL_GetError (g_sdl->SDL_GetError)
#define SDL_GetWindowID (g_sdl->SDL_GetWindowID)
#define SDL_GetWindowSurface (g_sdl->SDL_GetWindowSurface)
#define SDL_GetWindowWMInfo (g_sdl->SDL_GetWindowWMInfo)
#define SDL_HideWindow (g_sdl->SDL_HideWindow)
#define SDL_InitSubSystem (g_sdl->SDL_InitSubSystem)
#define SDL_LockSurface (g_sdl->SDL_LockSurface)
#define SDL_PollEvent (g_sdl->SDL_PollEvent)
#define SDL_PushEvent (g_sdl->SDL_PushEvent)
#define SDL_Quit (g_sdl->SDL_Quit)
#define SDL_QuitSubSystem (g_sdl->SDL_QuitSubSystem)
#define SDL_RaiseWindow (g_sdl->SDL_RaiseWindow)
#define SDL_RegisterEvents (g_sdl->SDL_RegisterEvents)
#define SDL_SetHint (g_sdl->SDL_SetHint)
#define SDL_SetWindowAlwaysOnTop (g_sdl->SDL_SetWindowAlwaysOnTop)
#define SDL_SetWindowPosition (g_sdl->SDL_SetWindowPosition)
#define SDL_SetWindowSize (g_sdl->SDL_SetWindowSize)
#define SDL_SetWindowTitle (g_sdl->SDL_SetWindowTitle)
#define SDL_ShowCursor (g_sdl->SDL_ShowCursor)
#define SDL_ShowWindow (g_sdl->SDL_ShowWindow)
#define SDL_UnlockSurface (g_sdl->SDL_UnlockSurface)
#define SDL_UpdateWindowSurface (g_sdl->SDL_UpdateWindowSurface)
#define SDL_WaitEvent (g_sdl->SDL_WaitEvent)
#define SDL_WaitEventTimeout (g_sdl->SDL_WaitEventTimeout)

namespace {

bool CopyToWindow(SDL_Window* win, const Surface& picture) {
    SDL_Surface* target = SDL_GetWindowSurface(win);
    if (!target || picture.IsEmpty())
        return false;
    int w = std::min(target->w, picture.Width());
    int h = std::min(target->h, picture.Height());
    if (SDL_MUSTLOCK(target))
        SDL_LockSurface(target);
    SDL_ConvertPixels(w, h, SDL_PIXELFORMAT_ARGB8888, picture.Pixels(), picture.Stride(),
                      target->format->format, target->pixels, target->pitch);
    if (SDL_MUSTLOCK(target))
        SDL_UnlockSurface(target);
    return SDL_UpdateWindowSurface(win) == 0;
}

struct NativeWindow {
    SDL_Window* win = nullptr;
    Rect rect;
    bool shown = false;
    bool topMost = false;
    std::u16string title;
    uint64_t presented = 0;  // the window's change generation last put on the screen
    Rect drawn;              // and the place it had then
};

class SdlBackend final : public DisplayBackend {
public:
    explicit SdlBackend(const std::vector<Rect>& screens) : m_screens(screens) {}

    bool Start() {
        // A tap on a window that has no focus yet must still count as a tap.
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
            return false;
        }
        m_wakeEvent = SDL_RegisterEvents(1);
        const char* driver = SDL_GetCurrentVideoDriver();
        m_perWindow = driver && std::strcmp(driver, "x11") == 0;
        bool kms = driver && std::strcmp(driver, "KMSDRM") == 0;
        // Plain memory framebuffers where the driver has them: no GL stack is loaded for
        // pictures that are drawn in memory anyway. KMS has none and needs its renderer.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, kms ? "1" : "0");
        if (m_perWindow)
            return true;
        for (size_t i = 0; i < m_screens.size(); ++i) {
            const Rect& r = m_screens[i];
            int x = kms ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED_DISPLAY(i)) : r.left;
            int y = kms ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED_DISPLAY(i)) : r.top;
            Uint32 flags = SDL_WINDOW_BORDERLESS | (kms ? SDL_WINDOW_FULLSCREEN : 0);
            SDL_Window* win = SDL_CreateWindow("Velkora", x, y, r.Width(), r.Height(), flags);
            if (!win)
                std::fprintf(stderr, "SDL screen %zu: %s\n", i, SDL_GetError());
            m_screenWindows.push_back(win);
        }
        return true;
    }

    ~SdlBackend() override {
        for (auto& [id, n] : m_native)
            SDL_DestroyWindow(n.win);
        for (SDL_Window* win : m_screenWindows) {
            if (win)
                SDL_DestroyWindow(win);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Quit();
    }

    bool PollEvents() override {
        // Each look at the display server's events costs a round of system calls. A wait
        // has just looked (and says whether it found any); a loop busy with other work looks
        // again only after a few milliseconds, and on X11 only when the connection has
        // something to read (or a second passed, for what SDL does in its own time).
        const auto now = std::chrono::steady_clock::now();
        if (!m_eventsWaiting) {
            if (now - m_lastLook < kLookInterval)
                return false;
            m_lastLook = now;
            if (m_displayFd >= 0 && now - m_lastPump < kPumpInterval && !DisplayReadable(0))
                return false;
        }
        m_eventsWaiting = false;
        m_lastLook = m_lastPump = now;
        bool any = false;
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (e.type == m_wakeEvent) {
                m_wakePending = false;
                continue;
            }
            any = true;
            switch (e.type) {
                case SDL_MOUSEBUTTONDOWN:
                case SDL_MOUSEBUTTONUP:
                    if (e.button.button == SDL_BUTTON_LEFT)
                        RoutePen(e.type == SDL_MOUSEBUTTONDOWN ? PenAction::Down : PenAction::Up,
                                 ToDesktop(e.button.windowID, e.button.x, e.button.y));
                    break;
                case SDL_MOUSEMOTION:
                    RoutePen(PenAction::Move, ToDesktop(e.motion.windowID, e.motion.x, e.motion.y));
                    break;
                case SDL_WINDOWEVENT:
                    if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                        RouteClose(WindowOf(e.window.windowID));
                    else if (e.window.event == SDL_WINDOWEVENT_EXPOSED)
                        m_presented = ~uint64_t(0);
                    break;
                case SDL_QUIT:
                    RouteClose(kNoWindow);
                    break;
                default:
                    break;
            }
        }
        return any;
    }

    void Wait(int timeoutMs) override {
        if (m_displayFd < 0) {
            const int found =
                timeoutMs < 0 ? SDL_WaitEvent(nullptr) : SDL_WaitEventTimeout(nullptr, timeoutMs);
            m_eventsWaiting = found != 0;
            m_lastLook = std::chrono::steady_clock::now();
            return;
        }
        // On X11 the wait is a poll of the server's connection and of the waker, without
        // SDL's rounds of asking the server for events before and after it. Events that
        // drawing may have read into the client's queue are taken first; a wake pushed as an
        // SDL event before this way of waiting began is taken as an event.
        if ((m_eventsWaiting && PollEvents()) || m_wakePending.load()) {
            m_eventsWaiting = true;
            return;
        }
        m_eventsWaiting = DisplayReadable(timeoutMs);
        m_lastLook = std::chrono::steady_clock::now();
    }

    void Wake() override {
        if (m_displayWait.load()) {
            m_waker.Wake();
            return;
        }
        if (m_wakePending.exchange(true))
            return;
        SDL_Event e{};
        e.type = m_wakeEvent;
        if (SDL_PushEvent(&e) <= 0)
            m_wakePending = false;
    }

    void Present() override {
        uint64_t generation;
        {
            std::lock_guard<std::mutex> lock(Mutex());
            generation = DisplayGenerationLocked();
        }
        if (generation == m_presented)
            return;
        // After an expose every window is drawn again, changed or not.
        m_redrawAll = m_redrawAll || m_presented == ~uint64_t(0);
        m_presented = generation;
        if (m_perWindow)
            PresentWindows();
        else
            PresentScreens();
        // Replies to what was sent may have brought events along into the client's queue,
        // where a poll of the connection does not see them.
        m_eventsWaiting = true;
    }

    bool ReadScreen(int index, Surface& out) override {
        if (index < 0 || index >= static_cast<int>(m_screens.size()))
            return false;
        if (!m_perWindow) {
            if (index >= static_cast<int>(m_screenWindows.size()) || !m_screenWindows[index])
                return false;
            return ReadWindow(m_screenWindows[index], out);
        }
        // The native windows over the screen, bottom to top, as they were last presented.
        const Rect& screen = m_screens[index];
        out.Create(screen.Width(), screen.Height());
        out.Fill(0xFF000000u);
        Surface part;
        for (WindowId id : m_order) {
            const NativeWindow& n = m_native[id];
            if (!n.shown || !ReadWindow(n.win, part))
                continue;
            for (int y = 0; y < part.Height(); ++y)
                for (int x = 0; x < part.Width(); ++x)
                    out.SetPixel(n.rect.left - screen.left + x, n.rect.top - screen.top + y,
                                 part.PixelAt(x, y));
        }
        return true;
    }

    void ShowCursor(bool show) override { SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE); }

private:
    // Whether the X11 connection has something to read within timeoutMs; a ring of the waker
    // ends the wait too, and is cleared.
    bool DisplayReadable(int timeoutMs) {
        pollfd fds[2] = {{m_displayFd, POLLIN, 0}, {m_waker.Fd(), POLLIN, 0}};
        const int n = ::poll(fds, 2, timeoutMs);
        if (n < 0)
            return errno == EINTR;  // a signal: SDL may have queued an event for it
        if (n == 0)
            return false;
        if (fds[1].revents & POLLIN)
            m_waker.Clear();
        return (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
    }

    // Once there is a native window on X11, waits poll its connection (see Wait).
    void UseDisplayConnection(SDL_Window* win) {
        if (m_displayFd >= 0 || !m_waker.IsValid())
            return;
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(win, &info) || info.subsystem != SDL_SYSWM_X11 ||
            !info.info.x11.display)
            return;
        m_displayFd = ConnectionNumber(info.info.x11.display);
        m_displayWait = true;
    }

    // What the window's framebuffer holds, read as opaque ARGB.
    static bool ReadWindow(SDL_Window* win, Surface& out) {
        SDL_Surface* s = SDL_GetWindowSurface(win);
        if (!s || !out.Create(s->w, s->h))
            return false;
        if (SDL_MUSTLOCK(s))
            SDL_LockSurface(s);
        SDL_ConvertPixels(s->w, s->h, s->format->format, s->pixels, s->pitch,
                          SDL_PIXELFORMAT_ARGB8888, out.Pixels(), out.Stride());
        if (SDL_MUSTLOCK(s))
            SDL_UnlockSurface(s);
        for (int i = 0; i < out.Width() * out.Height(); ++i)
            out.Pixels()[i] |= 0xFF000000u;
        return true;
    }

    Point ToDesktop(Uint32 sdlId, int x, int y) {
        if (!m_perWindow) {
            for (size_t i = 0; i < m_screenWindows.size(); ++i) {
                if (m_screenWindows[i] && SDL_GetWindowID(m_screenWindows[i]) == sdlId)
                    return Point{m_screens[i].left + x, m_screens[i].top + y};
            }
            return Point{x, y};
        }
        for (auto& [id, n] : m_native) {
            if (SDL_GetWindowID(n.win) == sdlId)
                return Point{n.rect.left + x, n.rect.top + y};
        }
        return Point{x, y};
    }

    WindowId WindowOf(Uint32 sdlId) {
        if (m_perWindow) {
            for (auto& [id, n] : m_native) {
                if (SDL_GetWindowID(n.win) == sdlId)
                    return id;
            }
        }
        return kNoWindow;  // the quit target
    }

    void PresentScreens() {
        for (size_t i = 0; i < m_screenWindows.size(); ++i) {
            if (!m_screenWindows[i])
                continue;
            ComposeScreen(m_screens[i], m_picture);
            CopyToWindow(m_screenWindows[i], m_picture);
        }
    }

    void PresentWindows() {
        struct Top {
            WindowId id;
            Rect rect;
            bool visible;
            bool topMost;
            std::u16string title;
            uint64_t changed;
        };
        std::vector<Top> tops;
        {
            std::lock_guard<std::mutex> lock(Mutex());
            for (auto& rec : TopLevelsLocked())
                tops.push_back(
                    Top{rec->id, rec->rect, rec->visible, rec->topMost, rec->title, rec->changed});
        }
        for (auto it = m_native.begin(); it != m_native.end();) {
            bool alive = std::any_of(tops.begin(), tops.end(),
                                     [&](const Top& t) { return t.id == it->first; });
            if (alive) {
                ++it;
            } else {
                SDL_DestroyWindow(it->second.win);
                it = m_native.erase(it);
            }
        }
        std::vector<WindowId> order;
        for (const Top& t : tops) {
            bool show = t.visible && !t.rect.IsEmpty();
            auto found = m_native.find(t.id);
            if (!show) {
                if (found != m_native.end() && found->second.shown) {
                    SDL_HideWindow(found->second.win);
                    found->second.shown = false;
                }
                continue;
            }
            if (found == m_native.end()) {
                Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN |
                               (t.topMost ? SDL_WINDOW_ALWAYS_ON_TOP : 0);
                SDL_Window* win =
                    SDL_CreateWindow(Utf16ToUtf8(t.title).c_str(), t.rect.left, t.rect.top,
                                     t.rect.Width(), t.rect.Height(), flags);
                if (!win)
                    continue;
                UseDisplayConnection(win);
                NativeWindow n;
                n.win = win;
                n.rect = t.rect;
                n.topMost = t.topMost;
                n.title = t.title;
                found = m_native.emplace(t.id, n).first;
            }
            NativeWindow& n = found->second;
            if (!(n.rect == t.rect)) {
                SDL_SetWindowPosition(n.win, t.rect.left, t.rect.top);
                SDL_SetWindowSize(n.win, t.rect.Width(), t.rect.Height());
                n.rect = t.rect;
            }
            if (n.topMost != t.topMost) {
                SDL_SetWindowAlwaysOnTop(n.win, t.topMost ? SDL_TRUE : SDL_FALSE);
                n.topMost = t.topMost;
            }
            if (n.title != t.title) {
                SDL_SetWindowTitle(n.win, Utf16ToUtf8(t.title).c_str());
                n.title = t.title;
            }
            bool redraw = m_redrawAll || t.changed > n.presented || !(n.drawn == t.rect);
            if (!n.shown) {
                SDL_ShowWindow(n.win);
                n.shown = true;
                redraw = true;
            }
            // A window whose picture did not change since it was last put on the screen is
            // left as it is there.
            if (redraw) {
                if (m_picture.Width() == t.rect.Width() && m_picture.Height() == t.rect.Height())
                    m_picture.Fill(0);
                else
                    m_picture.Create(t.rect.Width(), t.rect.Height());
                ComposeWindow(t.id, m_picture, Point{0, 0}, m_picture.Bounds());
                if (CopyToWindow(n.win, m_picture)) {
                    n.presented = t.changed;
                    n.drawn = t.rect;
                }
            }
            order.push_back(t.id);
        }
        m_redrawAll = false;
        // Native stacking follows ours when it changed.
        if (order != m_order) {
            for (WindowId id : order)
                SDL_RaiseWindow(m_native[id].win);
            m_order = order;
        }
    }

    static constexpr std::chrono::milliseconds kLookInterval{4};
    static constexpr std::chrono::milliseconds kPumpInterval{1000};

    std::vector<Rect> m_screens;
    bool m_perWindow = false;
    bool m_eventsWaiting = true;
    bool m_redrawAll = false;
    std::chrono::steady_clock::time_point m_lastLook;
    std::chrono::steady_clock::time_point m_lastPump;
    int m_displayFd = -1;  // the X11 connection, once waits poll it
    std::atomic<bool> m_displayWait{false};
    Waker m_waker;
    Uint32 m_wakeEvent = 0;
    std::atomic<bool> m_wakePending{false};
    uint64_t m_presented = ~uint64_t(0);
    std::vector<SDL_Window*> m_screenWindows;
    std::map<WindowId, NativeWindow> m_native;
    std::vector<WindowId> m_order;
    Surface m_picture;
};

}  // namespace

std::unique_ptr<DisplayBackend> CreateSdlBackend(const std::vector<Rect>& screens) {
    g_sdl = LoadSdl();
    if (!g_sdl)
        return nullptr;
    auto backend = std::make_unique<SdlBackend>(screens);
    if (!backend->Start())
        return nullptr;
    return backend;
}

}  // namespace plat::ui

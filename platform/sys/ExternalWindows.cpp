#include "platform/sys/ExternalWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <algorithm>
#include <mutex>

namespace plat {

namespace {

// Xlib's error handler is process-wide and its default ends the program; a window that
// closes while we look at it must only make that one call fail. The handler is swapped in for
// the length of one connection, under this lock.
std::mutex g_xMutex;
int g_xErrors = 0;

int CountError(Display*, XErrorEvent*) {
    ++g_xErrors;
    return 0;
}

// A short-lived connection: outside windows are looked at rarely (a program start, a tap),
// and a connection of our own cannot disturb the one the user interface draws through.
class Connection {
public:
    Connection() : m_lock(g_xMutex) {
        m_display = XOpenDisplay(nullptr);
        if (m_display) {
            g_xErrors = 0;
            m_oldHandler = XSetErrorHandler(CountError);
        }
    }
    ~Connection() {
        if (m_display) {
            XSync(m_display, False);
            XSetErrorHandler(m_oldHandler);
            XCloseDisplay(m_display);
        }
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Display* Get() const { return m_display; }
    // True when no request since the last call failed.
    bool Ok() {
        XSync(m_display, False);
        bool ok = g_xErrors == 0;
        g_xErrors = 0;
        return ok;
    }

private:
    std::lock_guard<std::mutex> m_lock;
    Display* m_display = nullptr;
    XErrorHandler m_oldHandler = nullptr;
};

// A list of windows held in a property of the root window (EWMH client lists).
bool RootWindowList(Display* dpy, const char* atomName, std::vector<Window>& out) {
    Atom atom = XInternAtom(dpy, atomName, True);
    if (atom == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), atom, 0, 1L << 20, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) != Success)
        return false;
    bool ok = data && type == XA_WINDOW && format == 32;
    if (ok) {
        // Xlib hands 32-bit properties over as longs.
        const auto* ids = reinterpret_cast<const unsigned long*>(data);
        out.assign(ids, ids + count);
    }
    if (data)
        XFree(data);
    return ok;
}

ProcessId WindowPidProperty(Display* dpy, Window w, Atom pidAtom) {
    if (pidAtom == None)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    ProcessId pid = 0;
    if (XGetWindowProperty(dpy, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success &&
        data && type == XA_CARDINAL && format == 32 && count == 1)
        pid = static_cast<ProcessId>(*reinterpret_cast<const unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

// The X server knows the process of each local client, whatever the program sets.
ProcessId ClientPid(Display* dpy, Window w) {
    XResClientIdSpec query;
    query.client = w;
    query.mask = XRES_CLIENT_ID_PID_MASK;
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(dpy, 1, &query, &count, &ids) != Success)
        return 0;
    ProcessId pid = 0;
    for (long i = 0; i < count && pid <= 0; ++i) {
        if (XResGetClientIdType(&ids[i]) == XRES_CLIENT_ID_PID)
            pid = static_cast<ProcessId>(XResGetClientPid(&ids[i]));
    }
    XResClientIdsDestroy(count, ids);
    return pid > 0 ? pid : 0;
}

}  // namespace

bool ExternalWindowsAvailable() {
    Connection c;
    return c.Get() != nullptr;
}

std::vector<ExternalWindowInfo> ListExternalWindows() {
    std::vector<ExternalWindowInfo> result;
    Connection c;
    Display* dpy = c.Get();
    if (!dpy)
        return result;

    // With a window manager its client list names the programs' own windows (the root's
    // children are then its frames); without one the root's children are those windows.
    std::vector<Window> windows;
    if (!RootWindowList(dpy, "_NET_CLIENT_LIST_STACKING", windows) &&
        !RootWindowList(dpy, "_NET_CLIENT_LIST", windows)) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &count) && children)
            windows.assign(children, children + count);
        if (children)
            XFree(children);
    }
    std::reverse(windows.begin(), windows.end());  // both lists run bottom to top

    int eventBase = 0, errorBase = 0;
    const bool haveXRes = XResQueryExtension(dpy, &eventBase, &errorBase);
    const Atom pidAtom = XInternAtom(dpy, "_NET_WM_PID", True);
    for (Window w : windows) {
        XWindowAttributes attr;
        if (!XGetWindowAttributes(dpy, w, &attr) || attr.c_class == InputOnly)
            continue;  // gone meanwhile, or nothing anyone sees
        ExternalWindowInfo info;
        info.window = static_cast<ExternalWindow>(w);
        info.visible = attr.map_state == IsViewable;
        info.pid = WindowPidProperty(dpy, w, pidAtom);
        if (info.pid == 0 && haveXRes)
            info.pid = ClientPid(dpy, w);
        result.push_back(info);
    }
    c.Ok();
    return result;
}

bool MoveExternalWindow(ExternalWindow window, int x, int y, int width, int height) {
    if (window == 0 || width <= 0 || height <= 0)
        return false;
    Connection c;
    Display* dpy = c.Get();
    if (!dpy)
        return false;
    XMoveResizeWindow(dpy, window, x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
    return c.Ok();
}

}  // namespace plat

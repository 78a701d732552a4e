#include "testing/XSession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>

#include <cstdlib>
#include <unistd.h>

namespace corvane::test {

namespace {

    std::optional<long> cardinal_property(Display* display, Window window, Atom property)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type,
                &format, &count, &remaining, &data)
                != Success
            || !data)
            return std::nullopt;
        std::optional<long> value;
        if (format == 32 && count == 1)
            value = reinterpret_cast<long*>(data)[0];
        XFree(data);
        return value;
    }

} // namespace

std::unique_ptr<XSession> XSession::open(std::string name)
{
    if (const char* display = std::getenv("DISPLAY"); name.empty() && display)
        name = display;
    if (name.empty())
        return nullptr;
    // A busy server may refuse a connection for a moment; keep trying for a few seconds.
    Display* display = nullptr;
    for (int attempt = 0; attempt < 50 && !display; ++attempt) {
        display = XOpenDisplay(name.c_str());
        if (!display)
            usleep(100'000);
    }
    if (!display)
        return nullptr;
    // Windows of the programs may go at any moment.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return std::unique_ptr<XSession>(new XSession(display));
}

XSession::~XSession()
{
    XCloseDisplay(m_display);
}

std::vector<Window> XSession::windows_with_property(const std::string& property, pid_t pid)
{
    Atom marker = XInternAtom(m_display, property.c_str(), False);
    Atom wm_pid = XInternAtom(m_display, "_NET_WM_PID", False);
    std::vector<Window> found;
    std::vector<Window> order = stacking_order();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (cardinal_property(m_display, *it, marker) != 1)
            continue;
        if (pid && cardinal_property(m_display, *it, wm_pid) != pid)
            continue;
        found.push_back(*it);
    }
    return found;
}

bool XSession::is_viewable(Window window)
{
    XWindowAttributes attributes {};
    return XGetWindowAttributes(m_display, window, &attributes)
        && attributes.map_state == IsViewable;
}

XSession::Geometry XSession::geometry(Window window)
{
    Geometry g;
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(m_display, window, &attributes))
        return g;
    Window child = None;
    XTranslateCoordinates(
        m_display, window, DefaultRootWindow(m_display), 0, 0, &g.x, &g.y, &child);
    g.width = attributes.width;
    g.height = attributes.height;
    return g;
}

bool XSession::shape_contains(Window window, int x, int y)
{
    int count = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(m_display, window, ShapeBounding, &count, &ordering);
    bool inside = false;
    for (int i = 0; i < count; ++i) {
        const XRectangle& r = rects[i];
        if (x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height)
            inside = true;
    }
    if (rects)
        XFree(rects);
    return inside;
}

std::vector<Window> XSession::stacking_order()
{
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned count = 0;
    std::vector<Window> order;
    if (XQueryTree(m_display, DefaultRootWindow(m_display), &root, &parent, &children, &count)) {
        order.assign(children, children + count);
        if (children)
            XFree(children);
    }
    return order;
}

int XSession::mapped_popup_count()
{
    int count = 0;
    for (Window window : stacking_order()) {
        XWindowAttributes attributes {};
        if (XGetWindowAttributes(m_display, window, &attributes) && attributes.override_redirect
            && attributes.map_state == IsViewable)
            ++count;
    }
    return count;
}

std::optional<XSession::Dialog> XSession::dialog_of(pid_t pid, const std::string& title)
{
    Atom type = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE", False);
    Atom dialog = XInternAtom(m_display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    Atom wm_pid = XInternAtom(m_display, "_NET_WM_PID", False);
    for (Window window : stacking_order()) {
        Window owner = None;
        char* name = nullptr;
        if (!is_viewable(window) || cardinal_property(m_display, window, type) != long(dialog)
            || !XGetTransientForHint(m_display, window, &owner)
            || cardinal_property(m_display, owner, wm_pid) != pid
            || !XFetchName(m_display, window, &name) || !name)
            continue;
        bool titled = title == name;
        XFree(name);
        if (titled)
            return Dialog { window, owner };
    }
    return std::nullopt;
}

Window XSession::input_focus()
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus;
}

void XSession::click(int x, int y, unsigned button)
{
    XTestFakeMotionEvent(m_display, DefaultScreen(m_display), x, y, CurrentTime);
    XSync(m_display, False);
    XTestFakeButtonEvent(m_display, button, True, CurrentTime);
    XTestFakeButtonEvent(m_display, button, False, 30);
    XSync(m_display, False);
}

void XSession::press_key(const char* keysym_name)
{
    KeyCode code = XKeysymToKeycode(m_display, XStringToKeysym(keysym_name));
    XTestFakeKeyEvent(m_display, code, True, CurrentTime);
    XTestFakeKeyEvent(m_display, code, False, CurrentTime);
    XSync(m_display, False);
}

Window XSession::create_cover(int x, int y, unsigned width, unsigned height)
{
    Window window = XCreateSimpleWindow(
        m_display, DefaultRootWindow(m_display), x, y, width, height, 0, 0, 0x404040);
    XMapRaised(m_display, window);
    XSync(m_display, False);
    return window;
}

void XSession::destroy(XWindow window)
{
    XDestroyWindow(m_display, window);
    XSync(m_display, False);
}

void XSession::unmap(Window window)
{
    XUnmapWindow(m_display, window);
    XSync(m_display, False);
}

} // namespace corvane::test

#include "launcher/linux/X11TopLevels.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <memory>
#include <vector>

namespace lumbra::x11 {

namespace {

    // Ignores errors for as long as it lives; windows of other clients may disappear at any time.
    class ErrorTrap {
    public:
        explicit ErrorTrap(Display* display)
            : m_display(display)
            , m_previous(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; }))
        {
        }
        ~ErrorTrap()
        {
            XSync(m_display, False);
            XSetErrorHandler(m_previous);
        }
        ErrorTrap(const ErrorTrap&) = delete;
        ErrorTrap& operator=(const ErrorTrap&) = delete;

    private:
        Display* m_display;
        XErrorHandler m_previous;
    };

    struct XFreeDeleter {
        void operator()(void* data) const
        {
            if (data)
                XFree(data);
        }
    };

    bool has_marker(Display* display, Window window, Atom property)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 1, False, AnyPropertyType, &type,
                &format, &count, &remaining, &raw)
            != Success)
            return false;
        std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
        if (!data || count < 1)
            return false;
        switch (format) {
        case 32:
            return reinterpret_cast<const long*>(data.get())[0] == 1;
        case 16:
            return reinterpret_cast<const short*>(data.get())[0] == 1;
        case 8:
            return data.get()[0] == 1 || data.get()[0] == '1';
        }
        return false;
    }

    std::vector<Window> children_top_first(Display* display, Window parent)
    {
        Window root_return = None;
        Window parent_return = None;
        Window* raw = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, parent, &root_return, &parent_return, &raw, &count))
            return {};
        std::unique_ptr<Window, XFreeDeleter> children(raw);
        // XQueryTree lists children bottom to top; the topmost window is found first.
        std::vector<Window> windows;
        for (unsigned int i = count; i > 0; --i)
            windows.push_back(children.get()[i - 1]);
        return windows;
    }

    long wm_state(Display* display, Window window)
    {
        Atom wm_state = XInternAtom(display, "WM_STATE", True);
        if (wm_state == None)
            return WithdrawnState;
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(display, window, wm_state, 0, 1, False, wm_state, &type, &format,
                &count, &remaining, &raw)
            != Success)
            return WithdrawnState;
        std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
        if (!data || format != 32 || count < 1)
            return WithdrawnState;
        return reinterpret_cast<const long*>(data.get())[0];
    }

} // namespace

std::optional<Window> find_window_with_property(Display* display, const std::string& name)
{
    // When no client ever named the property, no window can carry it.
    Atom property = XInternAtom(display, name.c_str(), True);
    if (property == None)
        return std::nullopt;
    ErrorTrap trap(display);
    for (Window top : children_top_first(display, DefaultRootWindow(display))) {
        if (has_marker(display, top, property))
            return top;
        for (Window client : children_top_first(display, top)) {
            if (has_marker(display, client, property))
                return client;
        }
    }
    return std::nullopt;
}

bool is_visible(Display* display, Window window)
{
    ErrorTrap trap(display);
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    return attributes.map_state == IsViewable || wm_state(display, window) == IconicState;
}

void bring_to_front(Display* display, Window window)
{
    ErrorTrap trap(display);
    XMapRaised(display, window);

    XEvent event {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // Request from an application.
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False,
        SubstructureRedirectMask | SubstructureNotifyMask, &event);

    XWindowAttributes attributes {};
    if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
}

void set_marker_property(Display* display, Window window, const std::string& name)
{
    Atom property = XInternAtom(display, name.c_str(), False);
    long value = 1;
    XChangeProperty(display, window, property, XA_CARDINAL, 32, PropModeReplace,
        reinterpret_cast<unsigned char*>(&value), 1);
    XFlush(display);
}

void set_bounding_shape(Display* display, Window window, const WindowShape& shape)
{
    std::vector<XRectangle> rects;
    for (const PixelRect& r : shape.rects()) {
        rects.push_back({ static_cast<short>(r.x), static_cast<short>(r.y),
            static_cast<unsigned short>(r.width), static_cast<unsigned short>(r.height) });
    }
    XShapeCombineRectangles(display, window, ShapeBounding, 0, 0, rects.data(),
        static_cast<int>(rects.size()), ShapeSet, Unsorted);
    XFlush(display);
}

} // namespace lumbra::x11

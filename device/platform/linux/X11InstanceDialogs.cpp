#include "device/platform/linux/X11InstanceDialogs.h"

#include "common/base/Text.h"
#include "device/platform/SingleInstance.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

namespace {

    struct DisplayCloser {
        void operator()(Display* display) const { XCloseDisplay(display); }
    };
    struct XFreer {
        void operator()(void* data) const { XFree(data); }
    };

    // A window may be destroyed between listing and looking at it; the default handler would
    // end the process for that.
    int ignore_error(Display*, XErrorEvent*)
    {
        return 0;
    }

    class ErrorHandlerScope {
    public:
        ErrorHandlerScope()
            : m_previous(XSetErrorHandler(ignore_error))
        {
        }
        ~ErrorHandlerScope() { XSetErrorHandler(m_previous); }
        ErrorHandlerScope(const ErrorHandlerScope&) = delete;
        ErrorHandlerScope& operator=(const ErrorHandlerScope&) = delete;

    private:
        XErrorHandler m_previous;
    };

    // The items of a property of 32-bit format (atoms, windows, cardinals), as Xlib hands them:
    // in longs.
    std::vector<unsigned long> long_property(Display* display, Window window, Atom property)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 4096, False, AnyPropertyType, &type,
                &format, &count, &remaining, &raw)
                != Success
            || !raw)
            return {};
        std::unique_ptr<unsigned char, XFreer> data(raw);
        if (format != 32)
            return {};
        const auto* items = reinterpret_cast<const unsigned long*>(raw);
        return std::vector<unsigned long>(items, items + count);
    }

    std::optional<std::string> text_property(
        Display* display, Window window, Atom property, Atom type)
    {
        Atom actual = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* raw = nullptr;
        if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actual, &format,
                &count, &remaining, &raw)
                != Success
            || !raw)
            return std::nullopt;
        std::unique_ptr<unsigned char, XFreer> data(raw);
        if (actual != type || format != 8)
            return std::nullopt;
        return std::string(reinterpret_cast<const char*>(raw), count);
    }

    struct Atoms {
        explicit Atoms(Display* display)
            : window_type(XInternAtom(display, "_NET_WM_WINDOW_TYPE", False))
            , dialog(XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False))
            , pid(XInternAtom(display, "_NET_WM_PID", False))
            , name(XInternAtom(display, "_NET_WM_NAME", False))
            , utf8_string(XInternAtom(display, "UTF8_STRING", False))
            , stacking(XInternAtom(display, "_NET_CLIENT_LIST_STACKING", False))
            , active_window(XInternAtom(display, "_NET_ACTIVE_WINDOW", False))
        {
        }
        Atom window_type;
        Atom dialog;
        Atom pid;
        Atom name;
        Atom utf8_string;
        Atom stacking;
        Atom active_window;
    };

    class X11DialogWindow final : public InstanceWindow {
    public:
        X11DialogWindow(Display* display, const Atoms& atoms, Window window)
            : m_display(display)
            , m_atoms(atoms)
            , m_window(window)
        {
        }
        std::int64_t handle() const override { return static_cast<std::int64_t>(m_window); }
        const std::u16string& class_name() const override { return s_class_name; }
        std::u16string title(std::size_t max_characters) const override
        {
            std::optional<std::string> text
                = text_property(m_display, m_window, m_atoms.name, m_atoms.utf8_string);
            if (!text)
                text = text_property(m_display, m_window, XA_WM_NAME, XA_STRING);
            std::u16string title = text ? from_utf8(*text) : std::u16string();
            if (title.size() > max_characters)
                title.resize(max_characters);
            return title;
        }
        bool send_copy_data(std::uint32_t, const std::u16string&) override { return false; }
        bool bring_to_front() override
        {
            Window root = DefaultRootWindow(m_display);
            XRaiseWindow(m_display, m_window);
            XSetInputFocus(m_display, m_window, RevertToParent, CurrentTime);
            // A window manager, when there is one, decides about raising and focus itself.
            XEvent event {};
            event.xclient.type = ClientMessage;
            event.xclient.window = m_window;
            event.xclient.message_type = m_atoms.active_window;
            event.xclient.format = 32;
            event.xclient.data.l[0] = 1; // a request from an application
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(
                m_display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
            XFlush(m_display);
            XSync(m_display, False);
            Window focus = None;
            int revert = 0;
            XGetInputFocus(m_display, &focus, &revert);
            return focus == m_window;
        }

    private:
        static inline const std::u16string s_class_name = u"Dialog";
        Display* m_display; // Not owned: open for the whole visit.
        const Atoms& m_atoms;
        Window m_window;
    };

    // Top-level client windows, bottom first. A window manager lists them (they are reparented
    // into its frames); without one they are the root's children.
    std::vector<Window> top_level_windows(Display* display, const Atoms& atoms)
    {
        Window root = DefaultRootWindow(display);
        std::vector<unsigned long> listed = long_property(display, root, atoms.stacking);
        if (!listed.empty())
            return std::vector<Window>(listed.begin(), listed.end());
        Window root_return = None;
        Window parent = None;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, root, &root_return, &parent, &children, &count) || !children)
            return {};
        std::unique_ptr<Window, XFreer> owned(children);
        return std::vector<Window>(children, children + count);
    }

    bool is_dialog_of(Display* display, const Atoms& atoms, Window window, pid_t pid)
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes)
            || attributes.map_state != IsViewable)
            return false;
        std::vector<unsigned long> types = long_property(display, window, atoms.window_type);
        bool dialog = false;
        for (unsigned long type : types)
            dialog = dialog || type == atoms.dialog;
        Window owner = None;
        if (!dialog || !XGetTransientForHint(display, window, &owner) || owner == None)
            return false;
        std::vector<unsigned long> owner_pid = long_property(display, owner, atoms.pid);
        return !owner_pid.empty() && owner_pid.front() == static_cast<unsigned long>(pid);
    }

} // namespace

bool visit_instance_dialogs(pid_t pid, const std::function<bool(InstanceWindow&)>& visit)
{
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name)
        return true;
    ErrorHandlerScope errors;
    std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(name));
    if (!display)
        return true;
    Atoms atoms(display.get());
    std::vector<Window> windows = top_level_windows(display.get(), atoms);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (!is_dialog_of(display.get(), atoms, *it, pid))
            continue;
        X11DialogWindow dialog(display.get(), atoms, *it);
        if (!visit(dialog))
            return false;
    }
    return true;
}

} // namespace corvane

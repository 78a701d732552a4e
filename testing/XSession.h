#pragma once

#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// Xlib's macros (None, Bool, Status) break GoogleTest, so X types stay out of this header.
struct _XDisplay;

namespace corvane::test {

using XWindow = unsigned long; // An X window id.

// A test's own connection to the X display: finds the programs' windows, looks at them the
// way a window manager would, and sends real pointer and key input through XTest.
class XSession {
public:
    // Null when the display (by default $DISPLAY) is unset or cannot be opened within five
    // seconds.
    static std::unique_ptr<XSession> open(std::string name = {});
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    // Top-level windows carrying `property` = 1 that belong to process `pid` (any process
    // when pid is 0), topmost first.
    std::vector<XWindow> windows_with_property(const std::string& property, pid_t pid = 0);
    bool is_viewable(XWindow window);
    // Position relative to the root window, and size.
    struct Geometry {
        int x { 0 }, y { 0 };
        unsigned width { 0 }, height { 0 };
    };
    Geometry geometry(XWindow window);
    // Whether the window's bounding shape holds the pixel (window coordinates).
    bool shape_contains(XWindow window, int x, int y);
    // Children of the root window, bottom to top.
    std::vector<XWindow> stacking_order();
    // Mapped override-redirect windows: pop-up menus and tool-tips.
    int mapped_popup_count();
    // A shown top-level dialog titled `title` whose owner belongs to process `pid`.
    struct Dialog {
        XWindow window { 0 }, owner { 0 };
    };
    std::optional<Dialog> dialog_of(pid_t pid, const std::string& title);
    XWindow input_focus();

    void click(int x, int y, unsigned button = 1);
    void press_key(const char* keysym_name);

    // A plain window of our own, mapped on top of everything.
    XWindow create_cover(int x, int y, unsigned width, unsigned height);
    void destroy(XWindow window);
    void unmap(XWindow window);

private:
    explicit XSession(_XDisplay* display)
        : m_display(display)
    {
    }
    _XDisplay* m_display;
};

} // namespace corvane::test

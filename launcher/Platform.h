#pragma once

#include "launcher/WindowShape.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// What the launcher needs from the system it runs on. The logic in this folder uses only
// these interfaces; launcher/linux/ implements them with GTK, WebKitGTK and X11, and the
// tests with fakes. Everything here is called on the main thread.
namespace lumbra {

enum class RegistryRoot {
    CurrentUser,
    LocalMachine,
};

// A file, program or URL to open, as a desktop shell would.
struct OpenRequest {
    std::string verb; // "open" when the settings give none.
    std::string target; // Path, program or URL.
    std::string parameters; // One command line; split by the opener.
    std::string working_folder; // Empty: the current folder.
};

// A click that reached one of the hooked frames. `element_id` is empty when the frame's
// document has no active element to act on.
struct FrameClick {
    int frame { 0 };
    std::optional<std::u16string> element_id;
};

// The launcher's one window, holding the HTML view. Owned by the launcher; destroying it
// closes the window.
class StartWindowView {
public:
    virtual ~StartWindowView() = default;

    // Called for each click on a hooked frame body. The handler's answer is the one the page
    // sees: false cancels the click's default action.
    using ClickHandler = std::function<bool(const FrameClick&)>;
    virtual void set_click_handler(ClickHandler handler) = 0;

    virtual void set_caption(const std::u16string& caption) = 0;
    // The tool-tip of the HTML view, the window's one control.
    virtual void set_view_tooltip(const std::u16string& text) = 0;
    // No caption bar, no border, top-left corner at the screen origin.
    virtual void remove_frame_and_move_to_origin() = 0;
    virtual void set_size(int width, int height) = 0;
    virtual void set_shape(const WindowShape& shape) = 0;
    // Marks the window for the single-instance check: property `name` with the value 1.
    virtual void set_instance_property(const std::string& name) = 0;
    virtual void load(const std::string& uri) = 0;
    virtual void show() = 0;
    virtual void minimise() = 0;
    // Closes the window once the current event has been handled; that ends the program.
    virtual void close() = 0;
};

// A top-level window of any program, as found by find_window_with_property.
using TopLevelWindow = std::uint64_t;

class Platform {
public:
    virtual ~Platform() = default;

    // A string value; the empty name reads the key's default value. Missing: empty text.
    virtual std::u16string read_registry_string(
        RegistryRoot root, std::u16string_view key, std::u16string_view name) const = 0;
    // English name of the system's default language, such as "Russian".
    virtual std::string default_language_name() const = 0;

    [[nodiscard]] virtual bool set_current_folder(const std::string& folder) = 0;
    // False when the target could not be started or found.
    [[nodiscard]] virtual bool open(const OpenRequest& request) = 0;

    // The first top-level window carrying property `name` with the value 1.
    virtual std::optional<TopLevelWindow> find_window_with_property(const std::string& name) = 0;
    virtual bool is_window_visible(TopLevelWindow window) = 0;
    virtual void bring_to_front(TopLevelWindow window) = 0;

    // A new, hidden launcher window.
    virtual std::unique_ptr<StartWindowView> create_start_window() = 0;
};

} // namespace lumbra

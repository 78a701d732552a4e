#pragma once

#include "common/base/Text.h"
#include "device/platform/Platform.h"
#include "device/shell/GameClient.h"
#include "device/skin/render/Color.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/skin/DisplayInfo.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace corvane {

class Element;
class GameBase;
class PageTransition;
class Screen;
class WindowBackend;

// The program's application object: it owns the window object, keeps the stack of screens
// (full-screen pages and overlays over a dimmed background, with animated page transitions),
// routes input to the top screen, watches the keypad for emergency numbers, and advances and
// draws the screens. Exactly one exists; a second is a fatal fault. Main thread only.
class Application final : public GameClient {
public:
    // Registers the built-in element kinds and creates the window. The clock must outlive us.
    Application(
        WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock = platform_clock());
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    static Application* instance();

    // The screen stack. Screens are not owned; a screen must be closed before it is destroyed.
    void show_screen(Screen& screen, bool overlay, bool animate);
    // False (and nothing changes) when the screen is not on the stack.
    bool close_screen(Screen& screen, bool animate);

    // GameClient: what the window drives.
    void advance(double seconds) override;
    void draw_frame(RenderSurface& surface) override;
    bool needs_frame(bool include_previous) override;
    bool on_key(const KeyEvent& event) override;
    bool on_char(WStringView text) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;
    ApplicationListener* listener() const override { return m_listener; }
    void set_redraw() override { m_redraw = true; }
    void keep_screen_as_background(const RenderSurface& screen) override;

    // Not owned; may be null.
    void set_listener(ApplicationListener* listener) { m_listener = listener; }

    // Runs the main loop until the quit message; answers its exit code.
    int run();

    // Window operations, carried out by the window object.
    void set_edit(Element* element, bool create_native_control);
    Element* edited_element() const;
    void set_windowed(bool keep_task_bar);
    void set_rotation(std::int32_t rotation);
    void set_game_keys(bool on);
    DisplayInfo client_area() const;
    DisplayInfo build_display_info() const;
    void minimize();
    void bring_to_front();
    void suspend();
    void quit();
    bool is_smartphone() const;
    [[nodiscard]] bool open_url(WStringView url); // false: no program could be started for it
    void message_box(const WString& caption, const WString& text);

    GameBase& window() { return *m_game; }
    const WString& name() const { return m_name; }
    Color background_color() const { return m_background; }
    void set_background_color(Color color) { m_background = color; }

    // State, for the splash screen and for tests.
    std::int32_t dim_level() const { return m_dim; }
    std::size_t screen_count() const { return m_stack.size(); }
    Screen* top_screen() const { return m_stack.empty() ? nullptr : m_stack.back().screen; }
    bool is_top_overlay() const { return !m_stack.empty() && m_stack.back().overlay; }
    bool is_on_stack(const Screen& screen) const;
    const PageTransition* transition() const { return m_transition.get(); }
    const RenderSurface* background_snapshot() const { return m_snapshot.get(); }
    const std::vector<WString>& emergency_numbers() const { return m_emergency_numbers; }
    const WString& dialled_digits() const { return m_dialled; }

private:
    struct StackEntry {
        Screen* screen; // Not owned.
        bool overlay;
    };

    void size_to_client_area(Screen& screen);
    Size client_size() const;
    // A snapshot of the client size that no transition holds; its content is unspecified.
    RenderSurface& fresh_snapshot();
    // The same, keeping what the snapshot showed (the background colour where it had nothing).
    RenderSurface& writable_snapshot();
    void take_snapshot(Screen& screen);
    std::unique_ptr<PageTransition> make_transition(const Screen& screen) const;
    void draw_diagnostics(RenderSurface& surface);
    bool dial_emergency_number();
    // The edited element when it lies in the top screen; an edit elsewhere takes no input.
    Element* edited_on_top() const;
    // Editing belongs to the top screen: covering or closing its screen ends it, and only a new
    // tap starts it again.
    void end_editing_below_top();

    Color m_background { 0, 0, 0, 255 };
    bool m_redraw { true };
    ApplicationListener* m_listener { nullptr }; // Not owned.
    WString m_name;
    std::vector<StackEntry> m_stack;
    // Shared with a running transition as its "before" image; replaced, never changed, while
    // the transition holds it.
    std::shared_ptr<RenderSurface> m_snapshot;
    std::int32_t m_dim { 256 };
    std::unique_ptr<PageTransition> m_transition;
    std::unique_ptr<GameBase> m_game;
    Font m_default_font;
    std::deque<std::uint32_t> m_frame_times;
    bool m_frame_needed { true };
    std::vector<WString> m_emergency_numbers;
    WString m_dialled;
};

} // namespace corvane

#pragma once

#include "common/base/Text.h"
#include "device/shell/PlatformApplication.h"
#include "device/skin/skin/DisplayInfo.h"
#include "device/skin/skin/InputEvents.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace corvane {

class DemoRecorder;
class DirectSurface;
class Element;
class GameClient;
class InstanceListener;
class RenderSurface;
struct Message;

// The program's one window and its main loop. In timer mode a 40 ms window timer advances the
// client and the window is painted from a back-buffer; in direct mode the loop draws into a
// direct surface whenever the client needs a frame. Keys, characters and the stylus become
// events for the client. Main thread only.
class GameBase : public PlatformApplication {
public:
    // Creates the window (when the back-end can), makes it findable by other instances and
    // releases the start-up mutex. The client must outlive the object.
    GameBase(
        WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock, GameClient& client);
    ~GameBase() override;

    static GameBase* instance();

    // Runs the main loop until the quit message; answers its exit code.
    int run();
    // Handles one message as the loop does (the scheduler's messages and the window's).
    void dispatch(const Message& message);

    // The display as the platform reports it now.
    DisplayInfo build_display_info() const;
    const DisplayInfo& display_info() const { return m_display; }
    // The usable area of the window.
    DisplayInfo client_area() const;

    void set_edit(Element* element, bool create_native_control);
    Element* edited_element() const { return m_edited; }
    void set_windowed(bool keep_task_bar);
    void set_rotation(std::int32_t rotation);
    void set_game_keys(bool on);
    void minimize();
    void bring_to_front();
    void suspend() { m_suspended = true; }
    void quit();
    bool is_smartphone() const;
    [[nodiscard]] bool open_url(WStringView url); // false: no program could be started for it
    // A modal message owned by the window (standard error without a window system).
    void message_box(const WString& caption, const WString& text);

    bool has_window() const;
    bool is_windowed() const { return m_windowed; }
    bool is_recording() const { return m_recorder != nullptr; }
    bool is_direct() const { return m_direct != nullptr; }
    bool is_paused() const { return m_paused; }
    bool is_suspended() const { return m_suspended; }
    bool game_keys() const { return m_game_keys; }
    std::int32_t rotation_in_use() const { return m_rotation_in_use; }
    std::uint32_t sip_preference() const { return m_sip_preference; }
    std::int32_t menu_bar_height() const { return m_menu_bar_height; }
    std::size_t queued_command_lines() const { return m_command_lines.size(); }

    // Seconds for one step of the animations: the ticks since the last step, clamped to
    // 0.001 .. 0.1 so that a stall never makes animations jump.
    static double frame_seconds(std::uint32_t now, std::uint32_t last_tick);

private:
    void window_procedure(const Message& message);
    void on_create();
    void on_key_message(const Message& message, bool pressed);
    void on_char_message(const Message& message);
    // Pointer moves, presses and releases: the capture, the demo recorder, then the client.
    void on_pointer_message(const Message& message);
    void on_timer();
    void on_capture_changed(std::uint32_t time);
    void paint();
    void run_frame();
    void destroy_window();
    void handle_resolution_change();
    void layout();
    double next_frame_seconds();
    std::uint32_t event_time(std::uint32_t message_time) const;

    GameClient& m_client;
    Element* m_edited { nullptr }; // Not owned: the text element being edited, if any.
    bool m_paused { false };
    bool m_suspended { false };
    std::int32_t m_release_x { -1000000 };
    std::int32_t m_release_y { -1000000 };
    std::uint32_t m_sip_preference { 0 };
    std::int32_t m_menu_bar_height { 0 };
    std::uint32_t m_last_tick { 0 };
    std::unique_ptr<DirectSurface> m_direct;
    bool m_windowed { true };
    bool m_keep_task_bar { true };
    bool m_game_keys { true };
    std::int32_t m_width_in_use { 0 };
    std::int32_t m_height_in_use { 0 };
    std::int32_t m_rotation_in_use { 0 };
    std::unique_ptr<RenderSurface> m_back_buffer;
    std::vector<WString> m_command_lines;
    DisplayInfo m_display;
    mutable std::optional<bool> m_smartphone;
    std::unique_ptr<InstanceListener> m_instance_listener;
    std::unique_ptr<DemoRecorder> m_recorder; // only while recording a demonstration
};

} // namespace corvane

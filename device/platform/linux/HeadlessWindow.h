#pragma once

#include "device/platform/WindowBackend.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace corvane {

class VirtualClock;

// The window back-end without a window system: the same messages and loop, an off-screen frame,
// message boxes on standard error. Input comes from push_input() (any thread), and SIGTERM,
// SIGINT and SIGHUP ask the window to close. With a virtual clock, a wait that nothing ends
// moves the clock forward instead of sleeping, so a run is repeatable.
class HeadlessWindow final : public WindowBackend {
public:
    explicit HeadlessWindow(const WindowOptions& options);
    ~HeadlessWindow() override;
    HeadlessWindow(const HeadlessWindow&) = delete;
    HeadlessWindow& operator=(const HeadlessWindow&) = delete;

    bool create_window(
        const std::u16string& title, std::int32_t width, std::int32_t height) override;
    void destroy_window() override;
    bool has_window() const override { return m_has_window; }
    DisplayState display() const override;
    void move_window(
        std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;
    void present(const FrameView& frame) override;
    void capture_pointer() override { m_captured = true; }
    bool release_pointer() override;
    void minimize() override { m_minimized = true; }
    void bring_to_front() override;
    void message_box(const std::u16string& caption, const std::u16string& text) override;
    void wait_input(std::optional<std::uint32_t> timeout_ms, std::deque<Message>& out) override;
    void wake() override;

    // Input as if the user made it. Any thread.
    void push_input(Message message);
    // Turns the display a quarter further, as the rotation key of the windowed back-end does.
    void rotate();
    // The platform took the pointer capture away (another window grabbed it).
    void lose_capture();

    // The last presented frame, RGB 565 rows without padding.
    const std::vector<std::uint16_t>& frame() const { return m_frame; }
    std::int32_t frame_width() const { return m_frame_width; }
    std::int32_t frame_height() const { return m_frame_height; }
    std::uint64_t frames_presented() const { return m_frames_presented; }
    // Writes the last frame as a 16-bit BMP through a temporary file; false on any failure or
    // when nothing was presented yet.
    bool can_save_frame() const override { return true; }
    [[nodiscard]] bool save_frame(const std::string& path) const override;

    struct Geometry {
        std::int32_t left { 0 };
        std::int32_t top { 0 };
        std::int32_t width { 0 };
        std::int32_t height { 0 };
    };
    const Geometry& geometry() const { return m_geometry; }
    const std::u16string& title() const { return m_title; }
    bool is_captured() const { return m_captured; }
    bool is_minimized() const { return m_minimized; }
    int raise_count() const { return m_raise_count; }
    const std::vector<std::pair<std::u16string, std::u16string>>& message_boxes() const
    {
        return m_message_boxes;
    }

private:
    void drain_wake_fd();
    void take_pending(std::deque<Message>& out);

    WindowOptions m_options;
    std::int32_t m_rotation { 0 };
    int m_wake_fd { -1 };
    std::mutex m_pending_lock; // guards m_pending
    std::deque<Message> m_pending;
    bool m_has_window { false };
    std::u16string m_title;
    Geometry m_geometry;
    bool m_captured { false };
    bool m_minimized { false };
    int m_raise_count { 0 };
    std::vector<std::pair<std::u16string, std::u16string>> m_message_boxes;
    std::vector<std::uint16_t> m_frame;
    std::int32_t m_frame_width { 0 };
    std::int32_t m_frame_height { 0 };
    std::uint64_t m_frames_presented { 0 };
};

} // namespace corvane

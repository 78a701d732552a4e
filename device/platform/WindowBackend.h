#pragma once

#include "device/platform/WindowMessage.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

namespace corvane {

class Clipboard;
class Clock;
class VirtualClock;

// The pixels of one finished frame: RGB 565, row 0 at the top, `stride` bytes per row.
struct FrameView {
    const std::uint16_t* pixels { nullptr };
    std::int32_t width { 0 };
    std::int32_t height { 0 };
    std::int32_t stride { 0 };
};

// The display the program runs on: its current resolution (already turned by the rotation), its
// orientation and its vertical density.
struct DisplayState {
    std::int32_t width { 0 };
    std::int32_t height { 0 };
    std::int32_t rotation { 0 }; // 0..3
    std::int32_t dpi { 0 };
};

// The one top-level window of the program and the source of its input. Main thread only, except
// wake(). The back-end owns no program logic: it shows frames and turns the platform's events
// into loop messages.
class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // Creates the window; false when the platform has none to give.
    [[nodiscard]] virtual bool create_window(
        const std::u16string& title, std::int32_t width, std::int32_t height)
        = 0;
    virtual void destroy_window() = 0;
    virtual bool has_window() const = 0;

    virtual DisplayState display() const = 0;
    // Places the window on the display (the usable area).
    virtual void move_window(
        std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
        = 0;
    virtual void present(const FrameView& frame) = 0;

    // Takes or releases the pointer capture. Releasing answers whether the capture was held;
    // a capture lost to the platform arrives as a CaptureChanged message instead.
    virtual void capture_pointer() = 0;
    virtual bool release_pointer() = 0;

    virtual void minimize() = 0;
    virtual void bring_to_front() = 0;
    // A modal message with an OK button.
    virtual void message_box(const std::u16string& caption, const std::u16string& text) = 0;

    // Waits up to `timeout_ms` (forever when empty) for platform input or wake(), and appends
    // what arrived to `out`. May return early and empty.
    virtual void wait_input(std::optional<std::uint32_t> timeout_ms, std::deque<Message>& out) = 0;
    // Any thread: makes a current or the next wait_input() return promptly.
    virtual void wake() = 0;

    // Back-ends that keep a copy of the last presented frame can write it as a 16-bit BMP file;
    // the others answer false to can_save_frame() and never write.
    virtual bool can_save_frame() const { return false; }
    [[nodiscard]] virtual bool save_frame(const std::string& path) const
    {
        (void)path;
        return false;
    }
};

struct WindowOptions {
    bool headless { false };
    std::int32_t width { 480 }; // the display at rotation 0
    std::int32_t height { 640 };
    std::int32_t dpi { 192 };
    std::int32_t rotation { 0 };
    // Headless only: time that moves only when the loop would wait, so runs are repeatable.
    VirtualClock* virtual_clock { nullptr };
};

// The SDL window or the headless back-end. Nothing when the window system cannot be opened;
// `error` then says why.
std::unique_ptr<WindowBackend> create_window_backend(
    const WindowOptions& options, std::string& error);

} // namespace corvane

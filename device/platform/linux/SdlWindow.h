#pragma once

#include "device/platform/WindowBackend.h"

#include <memory>
#include <string>

namespace corvane {

class Clipboard;

// The window back-end on a desktop: one SDL window of the display's size showing the RGB 565
// frame through a streaming texture of that format. Keys become the platform's virtual keys,
// the mouse is the stylus, Ctrl+R turns the display a quarter (a setting change, as a device
// reports its rotation), and the desktop clipboard serves the program while the window exists.
class SdlWindow final : public WindowBackend {
public:
    // Nothing when SDL's video subsystem cannot start; `error` says why.
    static std::unique_ptr<SdlWindow> create(const WindowOptions& options, std::string& error);
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    bool create_window(
        const std::u16string& title, std::int32_t width, std::int32_t height) override;
    void destroy_window() override;
    bool has_window() const override;
    DisplayState display() const override;
    void move_window(
        std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) override;
    void present(const FrameView& frame) override;
    void capture_pointer() override;
    bool release_pointer() override;
    void minimize() override;
    void bring_to_front() override;
    void message_box(const std::u16string& caption, const std::u16string& text) override;
    void wait_input(std::optional<std::uint32_t> timeout_ms, std::deque<Message>& out) override;
    void wake() override;

    // The SDL window id, for tests that feed SDL events.
    std::uint32_t window_id() const;

private:
    struct State;
    explicit SdlWindow(const WindowOptions& options);

    std::unique_ptr<State> m_state;
};

} // namespace corvane

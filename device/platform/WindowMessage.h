#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// The messages of the main loop. The window back-end translates its input into them, other
// threads post some of them, and the loop makes paint and timer messages itself.
enum class MessageKind : std::uint8_t {
    Create,
    Destroy,
    Activate, // wparam 1: the window became active, 0: it lost activation
    Paint,
    Close, // the user (or a signal) asks the window to close
    SettingChange, // wparam: what changed (47 work area, 224 input panel, 0x3002)
    CopyData, // wparam: record identifier; text: the data (a second instance's command line)
    Help,
    KeyDown, // wparam: platform virtual key; lparam: key data (bit 30: key was down before)
    KeyUp,
    Char, // wparam: UTF-16 code unit; lparam: key data
    Timer, // wparam: timer id
    PointerMove, // x, y in client pixels
    ButtonDown,
    ButtonUp,
    CaptureChanged, // the pointer capture ended
    CommandLine, // deliver the newest queued command line (the program's message 0x422)
    SchedulerRun, // the scheduler's run message (0x405)
    Quit, // wparam: exit code; ends the loop
};

struct Message {
    MessageKind kind { MessageKind::Paint };
    std::uint32_t wparam { 0 };
    std::int32_t lparam { 0 };
    std::int32_t x { 0 };
    std::int32_t y { 0 };
    std::uint32_t time { 0 }; // tick count when the message was made
    std::u16string text;
};

// Key data as the key messages carry it: repeat count 1, the scan code, and bits 30 (the key was
// already down: an auto-repeat, or any release) and 31 (a release).
constexpr std::int32_t make_key_data(std::uint32_t scan_code, bool was_down, bool released)
{
    std::uint32_t data = 1u | ((scan_code & 0xFFu) << 16);
    if (was_down || released)
        data |= 1u << 30;
    if (released)
        data |= 1u << 31;
    return static_cast<std::int32_t>(data);
}

// The loop's two window timers: the scheduler's timer and the frame timer of timer mode.
inline constexpr std::uint32_t scheduler_timer_id = 1;
inline constexpr std::uint32_t frame_timer_id = 2;

} // namespace corvane

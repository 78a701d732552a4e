#include "device/platform/linux/HeadlessWindow.h"

#include "common/base/Bmp565.h"
#include "common/base/NativeFile.h"
#include "common/base/Text.h"
#include "device/platform/Clock.h"
#include "device/platform/Platform.h"
#include "device/platform/VirtualClock.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace corvane {

namespace {

    // The signal handler may only touch these: the descriptor to wake and a flag.
    std::atomic<int> s_signal_wake_fd { -1 };
    std::atomic<bool> s_close_requested { false };
    struct sigaction s_previous_actions[3];
    constexpr int s_close_signals[3] = { SIGTERM, SIGINT, SIGHUP };

    extern "C" void on_close_signal(int)
    {
        s_close_requested.store(true);
        int fd = s_signal_wake_fd.load();
        if (fd >= 0) {
            std::uint64_t one = 1;
            ssize_t ignored = ::write(fd, &one, sizeof one);
            (void)ignored;
        }
    }

} // namespace

HeadlessWindow::HeadlessWindow(const WindowOptions& options)
    : m_options(options)
    , m_rotation(options.rotation & 3)
{
    m_wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int expected = -1;
    if (m_wake_fd >= 0 && s_signal_wake_fd.compare_exchange_strong(expected, m_wake_fd)) {
        s_close_requested.store(false);
        struct sigaction action { };
        action.sa_handler = on_close_signal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int i = 0; i < 3; ++i)
            sigaction(s_close_signals[i], &action, &s_previous_actions[i]);
    }
}

HeadlessWindow::~HeadlessWindow()
{
    int mine = m_wake_fd;
    if (mine >= 0 && s_signal_wake_fd.compare_exchange_strong(mine, -1)) {
        for (int i = 0; i < 3; ++i)
            sigaction(s_close_signals[i], &s_previous_actions[i], nullptr);
    }
    if (m_wake_fd >= 0)
        ::close(m_wake_fd);
}

bool HeadlessWindow::create_window(
    const std::u16string& title, std::int32_t width, std::int32_t height)
{
    m_has_window = true;
    m_title = title;
    m_geometry = { 0, 0, width, height };
    // A window that appears is activated and painted.
    Message activate;
    activate.kind = MessageKind::Activate;
    activate.wparam = 1;
    push_input(activate);
    Message paint;
    paint.kind = MessageKind::Paint;
    push_input(paint);
    return true;
}

void HeadlessWindow::destroy_window()
{
    m_has_window = false;
    m_captured = false;
}

DisplayState HeadlessWindow::display() const
{
    bool turned = (m_rotation & 1) != 0;
    return { turned ? m_options.height : m_options.width,
        turned ? m_options.width : m_options.height, m_rotation, m_options.dpi };
}

void HeadlessWindow::move_window(
    std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
{
    m_geometry = { left, top, width, height };
}

void HeadlessWindow::present(const FrameView& frame)
{
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0 || frame.stride < frame.width * 2)
        return;
    m_frame.resize(static_cast<std::size_t>(frame.width) * frame.height);
    for (std::int32_t y = 0; y < frame.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            reinterpret_cast<const std::uint8_t*>(frame.pixels) + std::ptrdiff_t(y) * frame.stride);
        std::copy(row, row + frame.width, m_frame.begin() + std::ptrdiff_t(y) * frame.width);
    }
    m_frame_width = frame.width;
    m_frame_height = frame.height;
    ++m_frames_presented;
}

bool HeadlessWindow::release_pointer()
{
    bool held = m_captured;
    m_captured = false;
    return held;
}

void HeadlessWindow::bring_to_front()
{
    m_minimized = false;
    ++m_raise_count;
}

void HeadlessWindow::message_box(const std::u16string& caption, const std::u16string& text)
{
    m_message_boxes.emplace_back(caption, text);
    std::string out = to_utf8(text);
    if (out.empty() || out.back() != '\n')
        out += '\n';
    std::fputs(out.c_str(), stderr);
    std::fflush(stderr);
}

void HeadlessWindow::push_input(Message message)
{
    if (message.time == 0)
        message.time = platform_clock().tick_count_ms();
    {
        std::lock_guard lock(m_pending_lock);
        m_pending.push_back(std::move(message));
    }
    wake();
}

void HeadlessWindow::rotate()
{
    m_rotation = (m_rotation + 1) & 3;
    Message change;
    change.kind = MessageKind::SettingChange;
    change.wparam = 47; // the work area changed
    push_input(change);
}

void HeadlessWindow::lose_capture()
{
    if (!m_captured)
        return;
    m_captured = false;
    Message lost;
    lost.kind = MessageKind::CaptureChanged;
    push_input(lost);
}

void HeadlessWindow::wake()
{
    if (m_wake_fd < 0)
        return;
    std::uint64_t one = 1;
    ssize_t ignored = ::write(m_wake_fd, &one, sizeof one);
    (void)ignored;
}

void HeadlessWindow::drain_wake_fd()
{
    std::uint64_t count;
    while (::read(m_wake_fd, &count, sizeof count) > 0) { }
}

void HeadlessWindow::take_pending(std::deque<Message>& out)
{
    if (s_close_requested.exchange(false)) {
        Message close;
        close.kind = MessageKind::Close;
        close.time = platform_clock().tick_count_ms();
        out.push_back(close);
    }
    std::lock_guard lock(m_pending_lock);
    while (!m_pending.empty()) {
        out.push_back(std::move(m_pending.front()));
        m_pending.pop_front();
    }
}

void HeadlessWindow::wait_input(std::optional<std::uint32_t> timeout_ms, std::deque<Message>& out)
{
    if (m_wake_fd < 0) {
        take_pending(out);
        return;
    }
    pollfd wait_for { m_wake_fd, POLLIN, 0 };
    int ready = ::poll(&wait_for, 1, 0);
    if (ready == 0 && timeout_ms != 0u) {
        if (m_options.virtual_clock && timeout_ms && VirtualClock::has_outside_work()) {
            // A worker may post at any moment: wait for it in real time, in short steps, and
            // let the virtual clock keep pace.
            std::uint32_t step = std::min<std::uint32_t>(*timeout_ms, 20);
            std::uint32_t before = platform_clock().tick_count_ms();
            while (::poll(&wait_for, 1, static_cast<int>(step)) < 0 && errno == EINTR) {
                if (s_close_requested.load())
                    break;
            }
            std::uint32_t passed = platform_clock().tick_count_ms() - before;
            m_options.virtual_clock->advance(std::min(std::max<std::uint32_t>(passed, 1), step));
        } else if (m_options.virtual_clock && timeout_ms) {
            // Nothing can arrive in virtual time but what is already queued: jump to the
            // deadline instead of sleeping through it.
            m_options.virtual_clock->advance(*timeout_ms);
        } else {
            int timeout = timeout_ms
                ? static_cast<int>(std::min<std::uint32_t>(*timeout_ms, INT32_MAX))
                : -1;
            while (::poll(&wait_for, 1, timeout) < 0 && errno == EINTR) {
                if (s_close_requested.load())
                    break;
            }
        }
    }
    drain_wake_fd();
    take_pending(out);
}

bool HeadlessWindow::save_frame(const std::string& path) const
{
    constexpr std::int32_t max_side = 32768;
    if (m_frame.empty() || m_frame_width <= 0 || m_frame_height <= 0 || m_frame_width > max_side
        || m_frame_height > max_side)
        return false;
    VectorByteSink bmp;
    if (!write_bmp_565(m_frame.data(), std::uint32_t(m_frame_width), std::uint32_t(m_frame_height),
            std::ptrdiff_t(m_frame_width) * 2, bmp))
        return false;
    return write_native_file_atomically(path, bmp.bytes().data(), bmp.bytes().size());
}

} // namespace corvane

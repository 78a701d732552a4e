#include "device/shell/GameBase.h"

#include "device/core/CActiveScheduler.h"
#include "device/core/KeyCode.h"
#include "device/core/Log.h"
#include "device/core/Registry.h"
#include "device/display/DirectSurface.h"
#include "device/platform/Clock.h"
#include "device/platform/MessageLoop.h"
#include "device/platform/Platform.h"
#include "device/platform/SingleInstance.h"
#include "device/platform/WindowBackend.h"
#include "device/shell/ApplicationListener.h"
#include "device/shell/DemoRecorder.h"
#include "device/shell/GameClient.h"
#include "device/shell/RunningInstance.h"
#include "device/skin/render/RenderSurface.h"

#include <algorithm>

namespace corvane {

namespace {

    GameBase* s_game_base = nullptr;

    constexpr char16_t ulmar_key[] = u"HKEY_CURRENT_USER\\Software\\Ulmar";
    constexpr std::uint32_t frame_period_ms = 40;
    constexpr std::int32_t no_release = -1000000;

    // Setting changes that can move the usable area: 0x3002, the work area (47) and the input
    // panel (224).
    bool is_layout_setting(std::uint32_t code)
    {
        return code == 0x3002 || code == 47 || code == 224;
    }

} // namespace

GameBase::GameBase(
    WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock, GameClient& client)
    : PlatformApplication(name, std::move(backend), clock)
    , m_client(client)
{
    m_last_tick = clock.tick_count_ms();
    (void)reg_read_dword(ulmar_key, u"SIPPreference", m_sip_preference);
    m_recorder = DemoRecorder::open_if_requested();

    s_game_base = this;
    get_log() << clock.tick_count_ms() << u" GameBase 0\n";
    get_log() << clock.tick_count_ms() << u" GameBase 1\n";
    // The back-end stands for the registered window class.
    get_log() << clock.tick_count_ms() << u" GameBase 2\n";
    get_log() << clock.tick_count_ms() << u" GameBase 3\n";
    m_display = build_display_info();
    get_log() << clock.tick_count_ms() << u" GameBase 4\n";
    if (this->backend().create_window(WString(name), m_display.width, m_display.height))
        on_create();
    get_log() << clock.tick_count_ms() << u" GameBase 5\n";

    if (has_window() && !single_instance_state().tool_run) {
        MessageLoop* loop = &message_loop();
        m_instance_listener = listen_as_instance_window(
            class_name(), [loop](std::uint32_t identifier, std::u16string data) {
                Message message;
                message.kind = MessageKind::CopyData;
                message.wparam = identifier;
                message.text = std::move(data);
                loop->post(std::move(message));
            });
    }
    // Our window can be found now: the next instance may look.
    release_startup_mutex();
    message_loop().set_timer(frame_timer_id, frame_period_ms);
}

GameBase::~GameBase()
{
    message_loop().kill_timer(frame_timer_id);
    // The listener thread posts into the loop, so it goes first.
    m_instance_listener.reset();
    m_direct.reset();
    m_back_buffer.reset();
    if (backend().has_window())
        backend().destroy_window();
    s_game_base = nullptr;
}

GameBase* GameBase::instance()
{
    return s_game_base;
}

bool GameBase::has_window() const
{
    return backend().has_window();
}

double GameBase::frame_seconds(std::uint32_t now, std::uint32_t last_tick)
{
    double seconds = static_cast<std::int32_t>(now - last_tick) * 0.001;
    return std::clamp(seconds, 0.001, 0.1);
}

double GameBase::next_frame_seconds()
{
    std::uint32_t now = clock().tick_count_ms();
    double seconds = frame_seconds(now, m_last_tick);
    m_last_tick = now;
    return seconds;
}

int GameBase::run()
{
    MessageLoop& loop = message_loop();
    for (;;) {
        if (m_paused || m_suspended || !m_direct) {
            Message message = loop.get_message();
            if (message.kind == MessageKind::Quit)
                return static_cast<int>(message.wparam);
            dispatch(message);
            continue;
        }
        if (std::optional<Message> message = loop.peek_message()) {
            if (message->kind == MessageKind::Quit)
                return static_cast<int>(message->wparam);
            dispatch(*message);
            continue;
        }
        run_frame();
        loop.wait(10);
    }
}

void GameBase::dispatch(const Message& message)
{
    // The scheduler's hidden window.
    if (message.kind == MessageKind::SchedulerRun) {
        scheduler().process_actives();
        return;
    }
    if (message.kind == MessageKind::Timer && message.wparam == scheduler_timer_id) {
        scheduler().rescan_timers();
        return;
    }
    if (has_window())
        window_procedure(message);
}

void GameBase::window_procedure(const Message& message)
{
    ApplicationListener* listener = m_client.listener();
    switch (message.kind) {
    case MessageKind::Create:
        on_create();
        return;
    case MessageKind::Destroy:
        message_loop().post_quit(0);
        return;
    case MessageKind::Activate:
        if (message.wparam == 0) {
            m_paused = true;
            if (listener)
                listener->on_deactivate();
        } else {
            layout();
            m_paused = false;
            m_suspended = false;
            if (listener)
                listener->on_activate();
        }
        return;
    case MessageKind::Paint:
        paint();
        return;
    case MessageKind::Close:
        if (!listener || listener->may_close())
            destroy_window();
        return;
    case MessageKind::SettingChange:
        if (is_layout_setting(message.wparam))
            handle_resolution_change();
        return;
    case MessageKind::CopyData: {
        if (message.wparam != 0)
            return;
        WString command_line = message.text == command_line_empty ? WString() : message.text;
        get_log() << u"GameBase WM_COPYDATA cmd_line=" << command_line << u"\n";
        m_command_lines.push_back(std::move(command_line));
        Message deliver;
        deliver.kind = MessageKind::CommandLine;
        message_loop().post(std::move(deliver));
        return;
    }
    case MessageKind::Help:
        if (listener)
            listener->on_help();
        return;
    case MessageKind::KeyDown:
        on_key_message(message, true);
        return;
    case MessageKind::KeyUp:
        on_key_message(message, false);
        return;
    case MessageKind::Char:
        on_char_message(message);
        return;
    case MessageKind::Timer:
        if (message.wparam == frame_timer_id)
            on_timer();
        return;
    case MessageKind::PointerMove:
    case MessageKind::ButtonDown:
    case MessageKind::ButtonUp:
        on_pointer_message(message);
        return;
    case MessageKind::CaptureChanged:
        on_capture_changed(message.time);
        return;
    case MessageKind::CommandLine:
        if (!m_command_lines.empty()) {
            WString command_line = std::move(m_command_lines.back());
            m_command_lines.pop_back();
            if (listener)
                listener->on_command_line(command_line);
        }
        return;
    case MessageKind::SchedulerRun:
    case MessageKind::Quit:
        return;
    }
}

void GameBase::on_pointer_message(const Message& message)
{
    PointerEvent event;
    event.x = message.x;
    event.y = message.y;
    event.time = event_time(message.time);
    switch (message.kind) {
    case MessageKind::PointerMove:
        m_suspended = false;
        if (m_recorder)
            m_recorder->on_move(message.x, message.y);
        m_client.on_pointer_move(event);
        return;
    case MessageKind::ButtonDown:
        m_release_x = no_release;
        m_release_y = no_release;
        backend().capture_pointer();
        m_suspended = false;
        event.pressed = true;
        if (m_recorder)
            m_recorder->on_press(message.x, message.y);
        m_client.on_pointer_button(event);
        return;
    case MessageKind::ButtonUp:
        m_release_x = message.x;
        m_release_y = message.y;
        if (m_recorder)
            m_recorder->on_release(message.x, message.y);
        // Releasing the capture reports the release (as a capture change), so a release
        // without a capture, after the capture was lost, reports nothing twice.
        if (backend().release_pointer())
            on_capture_changed(message.time);
        return;
    default:
        return;
    }
}

void GameBase::on_create()
{
    // No soft-key bar on this platform: its height stays 0.
    m_menu_bar_height = 0;
    layout();
}

void GameBase::on_key_message(const Message& message, bool pressed)
{
    m_suspended = false;
    KeyEvent event;
    KeyCode code = map_virtual_key(message.wparam);
    event.code = static_cast<std::int32_t>(code);
    event.pressed = pressed;
    event.first = pressed ? (message.lparam & (1 << 30)) == 0 : true;
    const char* name = key_name(code);
    get_log() << (pressed ? u"WM_KEYDOWN = " : u"WM_KEYUP = ") << message.wparam << u"("
              << (name ? name : "") << u")" << u" lParam=" << message.lparam << u" ticks="
              << clock().tick_count_ms() << u"\n";
    ApplicationListener* listener = m_client.listener();
    if (listener && listener->on_key_event(event))
        return;
    m_client.on_key(event);
}

void GameBase::on_char_message(const Message& message)
{
    WString text(1, static_cast<char16_t>(message.wparam));
    get_log() << u"WM_CHAR=" << text << u" lParam=" << message.lparam << u" ticks="
              << clock().tick_count_ms() << u"\n";
    if (message.wparam >= 32)
        m_client.on_char(text);
}

void GameBase::on_timer()
{
    if (m_paused || m_suspended || m_direct)
        return;
    m_client.advance(next_frame_seconds());
    message_loop().invalidate();
}

void GameBase::on_capture_changed(std::uint32_t time)
{
    PointerEvent event;
    event.x = m_release_x;
    event.y = m_release_y;
    event.time = event_time(time);
    event.pressed = false;
    event.cancelled = m_release_x == no_release && m_release_y == no_release;
    m_client.on_pointer_button(event);
}

void GameBase::paint()
{
    DisplayInfo area = client_area();
    if (!m_back_buffer)
        m_back_buffer = std::make_unique<RenderSurface>();
    m_back_buffer->recreate(area.work_width, area.work_height);
    if (!m_back_buffer->has_surface())
        return;
    m_client.draw_frame(*m_back_buffer);
    const Surface& frame = *m_back_buffer->surface();
    backend().present({ frame.row(0), frame.width(), frame.height(), frame.stride() });
}

std::uint32_t GameBase::event_time(std::uint32_t message_time) const
{
    // A recording plays back at 25 frames a second of 40 ms each, whatever the real pace.
    return m_recorder ? static_cast<std::uint32_t>(message_time * 0.16) : message_time;
}

void GameBase::run_frame()
{
    double seconds = next_frame_seconds();
    m_client.advance(m_recorder ? 0.04 : seconds);
    // The advance may have left direct mode (a screen asked for timer mode).
    if (!m_direct || !m_client.needs_frame(true))
        return;
    Surface* surface = m_direct->lock();
    if (!surface)
        return;
    RenderSurface target(*surface);
    m_client.draw_frame(target);
    if (m_recorder) {
        m_recorder->after_draw(target);
        m_client.set_redraw(); // every frame of a recording is stored
    }
    m_direct->present();
    m_direct->unlock();
}

void GameBase::destroy_window()
{
    if (!backend().has_window())
        return;
    backend().release_pointer();
    m_instance_listener.reset();
    backend().destroy_window();
    // What the window's destruction message does.
    message_loop().post_quit(0);
}

} // namespace corvane

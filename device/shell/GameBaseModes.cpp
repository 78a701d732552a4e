// The window object's display side: the usable area, the drawing modes and the window
// operations that screens ask for.
#include "device/shell/GameBase.h"

#include "device/core/Log.h"
#include "device/core/Registry.h"
#include "device/display/DirectSurface.h"
#include "device/platform/MessageLoop.h"
#include "device/platform/Platform.h"
#include "device/platform/WindowBackend.h"
#include "device/shell/ApplicationListener.h"
#include "device/shell/GameClient.h"
#include "device/skin/render/RenderSurface.h"

namespace corvane {

namespace {

    constexpr char16_t ulmar_key[] = u"HKEY_CURRENT_USER\\Software\\Ulmar";
    constexpr std::uint32_t frame_period_ms = 40;

} // namespace

DisplayInfo GameBase::build_display_info() const
{
    DisplayState state = backend().display();
    DisplayInfo info;
    info.width = state.width;
    info.height = state.height;
    info.left = 0;
    info.top = 0;
    info.work_width = state.width;
    info.work_height = state.height;
    info.rotation = state.rotation >= 0 && state.rotation <= 3 ? state.rotation : 0;
    info.dpi = state.dpi;
    info.scale_shift = DisplayInfo::scale_shift_for_dpi(state.dpi);
    return info;
}

DisplayInfo GameBase::client_area() const
{
    DisplayInfo area = m_display;
    if (m_direct && !m_edited) {
        area.left = 0;
        area.top = 0;
        area.work_width = m_width_in_use;
        area.work_height = m_height_in_use;
        area.rotation = m_rotation_in_use;
        return area;
    }
    // The input panel never covers the window here, so only the menu bar is kept free.
    std::int32_t bottom_reserve = m_menu_bar_height;
    if (m_keep_task_bar) {
        area.left = 0;
        area.top = m_menu_bar_height;
    }
    area.work_width = area.width - area.left;
    area.work_height = area.height - bottom_reserve - area.top;
    return area;
}

void GameBase::layout()
{
    DisplayInfo area = client_area();
    // Full-screen flags and the menu bar have no counterpart on this platform.
    backend().move_window(area.left, area.top, area.work_width, area.work_height);
}

void GameBase::handle_resolution_change()
{
    DisplayInfo display = build_display_info();
    if (!(display == m_display)) {
        m_display = display;
        get_log() << u"Application::ResolutionChanged 2\n";
        if (ApplicationListener* listener = m_client.listener())
            listener->on_resolution_changed();
    }
    layout();
}

void GameBase::set_edit(Element* element, bool create_native_control)
{
    // The native edit overlay is not offered on this platform yet; the modes still follow the
    // edited element, so that timer mode holds while something is edited.
    (void)create_native_control;
    Element* before = m_edited;
    m_edited = element;
    if (!before && element) {
        m_direct.reset();
        message_loop().set_timer(frame_timer_id, frame_period_ms);
        layout();
    } else if (before && !element) {
        if (!m_windowed) {
            m_direct = create_direct_surface(backend(), m_rotation_in_use);
            if (m_direct)
                message_loop().kill_timer(frame_timer_id);
        }
        layout();
        // The input panel is never shown here when editing ends.
        m_sip_preference = 0;
        (void)reg_write_dword(ulmar_key, u"SIPPreference", m_sip_preference);
    }
    if (element)
        m_client.set_redraw();
}

void GameBase::set_windowed(bool keep_task_bar)
{
    m_windowed = true;
    m_keep_task_bar = keep_task_bar;
    if (m_edited)
        return;
    m_client.set_redraw();
    m_direct.reset();
    message_loop().set_timer(frame_timer_id, frame_period_ms);
    layout();
}

void GameBase::set_rotation(std::int32_t rotation)
{
    if (rotation == m_rotation_in_use && !m_windowed)
        return;
    m_rotation_in_use = rotation;
    m_windowed = false;
    m_direct.reset();
    if (!m_edited) {
        m_client.set_redraw();
        m_direct = create_direct_surface(backend(), rotation);
        if (m_direct) {
            m_width_in_use = m_direct->width();
            m_height_in_use = m_direct->height();
        }
        if (m_back_buffer && m_back_buffer->has_surface())
            m_client.keep_screen_as_background(*m_back_buffer);
        // Without a direct surface nothing would draw frames: stay in timer mode then.
        if (m_direct)
            message_loop().kill_timer(frame_timer_id);
        else
            message_loop().set_timer(frame_timer_id, frame_period_ms);
    }
    layout();
}

void GameBase::set_game_keys(bool on)
{
    // Hardware keys always reach the window here; only the state is kept.
    m_game_keys = on;
}

void GameBase::minimize()
{
    backend().minimize();
}

void GameBase::bring_to_front()
{
    if (!has_window())
        return;
    get_log() << u"GameBase::bring_to_front\n";
    backend().bring_to_front();
}

void GameBase::quit()
{
    message_loop().post_quit(0);
}

bool GameBase::is_smartphone() const
{
    if (!m_smartphone) {
        // This platform is a touch-screen device without a phone keypad.
        WString platform_type = u"PocketPC";
        get_log() << u"static_capability_is_smartphone=" << platform_type << u"\n";
        m_smartphone = ascii_lower(platform_type) == u"smartphone";
    }
    return *m_smartphone;
}

bool GameBase::open_url(WStringView url)
{
    return platform_system().open_url(to_utf8(url));
}

void GameBase::message_box(const WString& caption, const WString& text)
{
    if (has_window())
        backend().message_box(caption, text);
    else
        platform_system().message_box(caption, text);
}

} // namespace corvane

// The application object's screen stack: showing and closing screens, the background snapshot
// and the page transitions.
#include "device/shell/Application.h"

#include "device/shell/ApplicationListener.h"
#include "device/shell/GameBase.h"
#include "device/shell/PageTransition.h"
#include "device/shell/Screen.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"

#include <algorithm>

namespace corvane {

namespace {

    constexpr std::int32_t dim_full = 256;

    ScreenState active_state(bool overlay)
    {
        return overlay ? ScreenState::ActiveOverlay : ScreenState::Active;
    }

} // namespace

Size Application::client_size() const
{
    DisplayInfo area = m_game->client_area();
    return { area.work_width, area.work_height };
}

void Application::size_to_client_area(Screen& screen)
{
    Size size = client_size();
    screen.set_x(0, size.width);
    screen.set_y(0, size.height);
}

RenderSurface& Application::fresh_snapshot()
{
    // A transition may still hold the old picture as its "before" image: leave it to it.
    if (!m_snapshot || m_snapshot.use_count() > 1)
        m_snapshot = std::make_shared<RenderSurface>();
    Size size = client_size();
    m_snapshot->recreate(size.width, size.height);
    return *m_snapshot;
}

RenderSurface& Application::writable_snapshot()
{
    Size size = client_size();
    if (m_snapshot && m_snapshot.use_count() == 1 && m_snapshot->size() == size)
        return *m_snapshot;
    auto snapshot = std::make_shared<RenderSurface>();
    if (snapshot->recreate(size.width, size.height)) {
        snapshot->fill_color({ 0, 0 }, size, m_background);
        if (m_snapshot && m_snapshot->has_surface())
            snapshot->blit(
                { 0, 0 }, m_snapshot->size(), *m_snapshot, { 0, 0 }, plain_copy_blender());
    }
    m_snapshot = std::move(snapshot);
    return *m_snapshot;
}

void Application::take_snapshot(Screen& screen)
{
    RenderSurface& snapshot = fresh_snapshot();
    if (!snapshot.has_surface())
        return;
    snapshot.fill_color({ 0, 0 }, snapshot.size(), m_background);
    // A page covered in the frame it was shown has never been advanced, and lists lay out
    // their rows when advanced: without this the dialog over it shows an empty page.
    size_to_client_area(screen);
    screen.tick(0);
    screen.paint(snapshot, { 0, 0 });
}

void Application::keep_screen_as_background(const RenderSurface& screen)
{
    if (!m_stack.empty() || !screen.has_surface())
        return;
    RenderSurface& snapshot = fresh_snapshot();
    if (!snapshot.has_surface())
        return;
    snapshot.fill_color({ 0, 0 }, snapshot.size(), m_background);
    snapshot.blit({ 0, 0 }, screen.size(), screen, { 0, 0 }, plain_copy_blender());
}

std::unique_ptr<PageTransition> Application::make_transition(const Screen& screen) const
{
    std::unique_ptr<VisibilityAnimation> animation = screen.create_transition();
    if (!animation)
        return nullptr;
    return std::make_unique<PageTransition>(std::move(animation));
}

void Application::show_screen(Screen& screen, bool overlay, bool animate)
{
    m_redraw = true;
    size_to_client_area(screen);
    if (m_stack.empty()) {
        screen.set_active(ScreenState::Active);
    } else if (!overlay) {
        StackEntry top = m_stack.back();
        if (animate && m_transition && m_transition->direction() == -1
            && m_transition->target() == &screen) {
            // Shown again while it is still closing: the closing turns round.
            m_transition->reverse();
            top.screen->set_active(ScreenState::Inactive);
            screen.set_active(ScreenState::Active);
        } else {
            m_transition.reset();
            std::unique_ptr<PageTransition> transition
                = animate ? make_transition(screen) : nullptr;
            if (!top.overlay) {
                if (animate)
                    take_snapshot(*top.screen);
            } else if (animate) {
                // Start from what is on the display: the dimmed background with the overlay.
                RenderSurface& snapshot = writable_snapshot();
                if (snapshot.has_surface()) {
                    if (m_dim < dim_full)
                        snapshot.fill({ 0, 0 }, snapshot.size(), *make_dim_blender(m_dim));
                    top.screen->paint(snapshot, { 0, 0 });
                }
            } else {
                m_snapshot.reset();
            }
            top.screen->set_active(ScreenState::Inactive);
            screen.set_active(ScreenState::Active);
            if (top.overlay)
                m_dim = dim_full;
            if (transition) {
                transition->start(m_snapshot, +1, screen, client_size());
                m_transition = std::move(transition);
            }
        }
    } else {
        m_transition.reset();
        StackEntry top = m_stack.back();
        if (!top.overlay)
            take_snapshot(*top.screen);
        top.screen->set_active(ScreenState::Inactive);
        screen.set_active(ScreenState::ActiveOverlay);
    }
    m_stack.push_back({ &screen, overlay });
    end_editing_below_top();
    if (m_listener)
        m_listener->on_screen_shown(screen);
}

bool Application::close_screen(Screen& screen, bool animate)
{
    auto it = std::find_if(m_stack.begin(), m_stack.end(),
        [&](const StackEntry& entry) { return entry.screen == &screen; });
    if (it == m_stack.end())
        return false;
    if (m_listener)
        m_listener->on_screen_closed(screen);
    m_redraw = true;
    if (std::next(it) != m_stack.end()) {
        screen.set_active(ScreenState::Inactive);
        m_stack.erase(it);
        end_editing_below_top();
        return true;
    }
    bool closed_overlay = it->overlay;
    m_stack.pop_back();
    end_editing_below_top();
    if (m_stack.empty()) {
        screen.set_active(ScreenState::Inactive);
        return true;
    }
    StackEntry top = m_stack.back();
    size_to_client_area(*top.screen);
    if (animate && m_transition && m_transition->direction() == +1
        && m_transition->target() == &screen) {
        // Closed while it is still opening: the opening turns round.
        screen.set_active(ScreenState::Inactive);
        top.screen->set_active(active_state(top.overlay));
        m_transition->reverse();
        return true;
    }
    m_transition.reset();
    // A closed screen stops being active whichever way it leaves.
    screen.set_active(ScreenState::Inactive);
    if (!closed_overlay) {
        std::unique_ptr<PageTransition> transition = animate ? make_transition(screen) : nullptr;
        if (!top.overlay) {
            top.screen->set_active(ScreenState::Active);
            if (animate)
                take_snapshot(*top.screen);
        } else {
            auto below = std::find_if(m_stack.rbegin(), m_stack.rend(),
                [](const StackEntry& entry) { return !entry.overlay; });
            if (below != m_stack.rend())
                take_snapshot(*below->screen);
            top.screen->set_active(ScreenState::ActiveOverlay);
        }
        if (transition) {
            transition->start(m_snapshot, -1, screen, client_size());
            m_transition = std::move(transition);
        }
    } else if (top.overlay) {
        top.screen->set_active(ScreenState::ActiveOverlay);
    } else {
        m_snapshot.reset();
        top.screen->set_active(ScreenState::Active);
    }
    size_to_client_area(*top.screen);
    return true;
}

} // namespace corvane

#include "device/shell/Application.h"

#include "device/core/FatalFault.h"
#include "device/core/KeyCode.h"
#include "device/core/Log.h"
#include "device/platform/Clock.h"
#include "device/platform/System.h"
#include "device/platform/WindowBackend.h"
#include "device/shell/ApplicationListener.h"
#include "device/shell/GameBase.h"
#include "device/shell/PageTransition.h"
#include "device/shell/Screen.h"
#include "device/skin/lang/LanguageChoice.h"
#include "device/skin/layout/TableElement.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/TextRender.h"
#include "device/skin/render/VisibilityAnimation.h"
#include "device/skin/skin/ColorElement.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/ImageElement.h"
#include "device/skin/widgets/LabelEditElement.h"
#include "device/skin/widgets/MultiNodeElement.h"
#include "device/skin/widgets/ProgressElement.h"
#include "device/skin/widgets/RichTextElement.h"
#include "device/skin/widgets/TextElement.h"
#include "device/skin/widgets/VListElement.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

namespace {

    Application* s_application = nullptr;

    constexpr std::int32_t dim_full = 256;
    constexpr std::int32_t dim_half = 128;
    constexpr std::int32_t dim_step = 16;
    constexpr std::size_t frame_time_entries = 20;
    // Long enough for any emergency number; only the tail can match.
    constexpr std::size_t max_dialled_digits = 64;

    struct ElementKind {
        const char16_t* name;
        ElementFactory (*factory)();
    };

    // The built-in element kinds, in registration order. Kinds whose element classes do not
    // exist yet are absent: a skin naming them fails to build with NodeNotRegistered.
    const ElementKind s_element_kinds[] = {
        { u"node", [] { return element_factory<Element>(); } },
        { u"text", [] { return element_factory<TextElement>(); } },
        { u"color", [] { return element_factory<ColorElement>(); } },
        { u"image", [] { return element_factory<ImageElement>(); } },
        { u"edit", [] { return element_factory<EditElement>(); } },
        { u"htable", [] { return element_factory<HTableElement>(); } },
        { u"vtable", [] { return element_factory<VTableElement>(); } },
        { u"button", [] { return element_factory<ButtonElement>(); } },
        { u"vlist", [] { return element_factory<VListElement>(); } },
        { u"multinode", [] { return element_factory<MultiNodeElement>(); } },
        { u"progress", [] { return element_factory<ProgressElement>(); } },
        { u"label_edit", [] { return element_factory<LabelEditElement>(); } },
        { u"clip", [] { return element_factory<ClipElement>(); } },
        { u"richtext", [] { return element_factory<RichTextElement>(); } },
    };

} // namespace

Application::Application(WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock)
    : m_name(name)
{
    if (s_application)
        fatal_fault(u"Singleton::Singleton()", u"Singleton is already instantiated");
    s_application = this;
    for (const ElementKind& kind : s_element_kinds)
        register_element_kind(kind.name, kind.factory());

    m_game = std::make_unique<GameBase>(name, std::move(backend), clock, *this);
    m_default_font = create_font({ 10, 1, false, false, false, u"Tahoma" });
    get_log() << u"Application::Application() this=" << reinterpret_cast<std::uintptr_t>(this)
              << u"\n";

    // Skins chosen later are loaded for the display as it is then.
    set_display_provider([this] { return m_game->build_display_info(); });

    std::size_t scanned = 0;
    for (WString& number : platform_system().emergency_numbers()) {
        // The platform hands over at most 2,047 characters of numbers.
        scanned += number.size() + 1;
        if (scanned > 2047)
            break;
        if (!number.empty())
            m_emergency_numbers.push_back(std::move(number));
    }
}

Application::~Application()
{
    get_log() << u"Application::~Application()\n";
    set_display_provider({});
    m_game.reset();
    m_transition.reset();
    m_snapshot.reset();
    m_stack.clear();
    m_frame_times.clear();
    for (auto kind = std::rbegin(s_element_kinds); kind != std::rend(s_element_kinds); ++kind)
        unregister_element_kind(kind->name);
    s_application = nullptr;
}

Application* Application::instance()
{
    return s_application;
}

int Application::run()
{
    return m_game->run();
}

bool Application::is_on_stack(const Screen& screen) const
{
    return std::any_of(m_stack.begin(), m_stack.end(),
        [&](const StackEntry& entry) { return entry.screen == &screen; });
}

void Application::advance(double seconds)
{
    if (m_transition) {
        if (m_transition->advance(seconds)) {
            m_transition.reset();
            m_redraw = true;
        }
        return;
    }
    if (m_stack.empty())
        return;
    Screen& top = *m_stack.back().screen;
    size_to_client_area(top);
    top.tick(seconds);
}

bool Application::needs_frame(bool include_previous)
{
    if (!m_stack.empty() && m_stack.back().screen->wants_frames())
        return true;
    // A page transition draws a new picture every frame until it ends.
    if (m_transition)
        return true;
    if (m_redraw)
        return true;
    return include_previous && m_frame_needed;
}

void Application::draw_frame(RenderSurface& surface)
{
    m_frame_needed = needs_frame(false);
    m_redraw = false;
    Size size = surface.size();
    if (m_transition) {
        surface.fill_color({ 0, 0 }, size, m_background);
        m_transition->draw(surface, { 0, 0 });
    } else if (m_stack.empty()) {
        surface.fill_color({ 0, 0 }, size, m_background);
    } else {
        StackEntry top = m_stack.back();
        size_to_client_area(*top.screen);
        if (top.overlay) {
            if (m_snapshot && m_snapshot->has_surface())
                surface.blit(
                    { 0, 0 }, m_snapshot->size(), *m_snapshot, { 0, 0 }, plain_copy_blender());
            else
                surface.fill_color({ 0, 0 }, size, m_background);
            if (m_dim < dim_full)
                surface.fill({ 0, 0 }, size, *make_dim_blender(m_dim));
            if (m_dim > dim_half) {
                m_dim = std::max(dim_half, m_dim - dim_step);
                m_redraw = true;
            }
        }
        top.screen->paint(surface, { 0, 0 });
    }
    if (m_stack.empty() || !m_stack.back().overlay) {
        if (m_dim < dim_full) {
            surface.fill({ 0, 0 }, size, *make_dim_blender(m_dim));
            m_dim = std::min(dim_full, m_dim + dim_step);
            m_redraw = true;
        }
    }
    draw_diagnostics(surface);
}

void Application::draw_diagnostics(RenderSurface& surface)
{
    (void)get_log(); // notices a change of the "Log" setting
    if (!is_log_enabled())
        return;
    m_frame_times.push_back(m_game->clock().tick_count_ms());
    if (m_frame_times.size() > frame_time_entries)
        m_frame_times.pop_front();
    surface.fill({ 0, 0 }, { 150, 20 }, *make_dim_blender(dim_half));
    if (m_frame_times.size() >= 2) {
        double per_frame = static_cast<double>(static_cast<std::int32_t>(
                               m_frame_times.back() - m_frame_times.front()))
            / static_cast<double>(m_frame_times.size() - 1);
        auto whole = static_cast<std::int64_t>(per_frame);
        auto tenths = static_cast<std::int64_t>(per_frame * 10.0) % 10;
        WString text;
        if (!m_frame_needed)
            text += u"[";
        text += to_wstring(whole) + u"." + to_wstring(tenths) + u" ms";
        if (!m_frame_needed)
            text += u"]";
        text += u" "
            + to_wstring(static_cast<std::int64_t>(RenderSurface::live_pixel_count() / 1000))
            + u" Kp";
        Color color { 64, 255, 64, 255 };
        if (per_frame >= 60) {
            color.red = 255;
            color.green = 64;
        } else if (per_frame >= 40) {
            color.red = 255;
            color.green = static_cast<std::uint8_t>(64 + (1.0 - (per_frame - 40) / 20) * 191);
        } else if (per_frame >= 20) {
            color.red = static_cast<std::uint8_t>(64 + (per_frame - 20) / 20 * 191);
        }
        draw_text(m_default_font.get(), surface, color, text, { 0, 0 }, { 160, 20 },
            HorizontalAlignment::Left, VerticalAlignment::Top, TextEllipsis::None);
    }
    if (!m_frame_needed)
        m_frame_times.clear();
}

bool Application::dial_emergency_number()
{
    get_log() << u"try call " << m_dialled << u"\n";
    for (const WString& number : m_emergency_numbers) {
        if (m_dialled.size() < number.size() || !WStringView(m_dialled).ends_with(number))
            continue;
        m_dialled.clear();
        get_log() << u"emergency call " << number << u"\n";
        suspend();
        (void)platform_system().dial(number);
        return true;
    }
    return false;
}

bool Application::on_key(const KeyEvent& event)
{
    if (event.pressed) {
        KeyCode code = KeyCode(event.code);
        if (code == KeyCode::CallMake && dial_emergency_number())
            return true;
        if (is_digit_key(code)) {
            m_dialled.push_back(digit_of(code));
            if (m_dialled.size() > max_dialled_digits)
                m_dialled.erase(0, m_dialled.size() - max_dialled_digits);
        } else if (event.code > 0) {
            m_dialled.clear();
        }
    }
    if (Element* edited = edited_on_top(); edited && edited->key_event(event))
        return true;
    if (m_stack.empty())
        return true;
    return m_stack.back().screen->key_event(event);
}

bool Application::on_char(WStringView text)
{
    // The field being edited takes typing first, as a focused edit control would.
    if (Element* edited = edited_on_top(); edited && edited->char_event(text))
        return true;
    if (m_stack.empty())
        return true;
    return m_stack.back().screen->char_event(text);
}

void Application::on_pointer_move(const PointerEvent& event)
{
    if (!m_stack.empty())
        m_stack.back().screen->pointer_moved(event);
}

bool Application::on_pointer_button(const PointerEvent& event)
{
    if (m_stack.empty())
        return true;
    return m_stack.back().screen->pointer_event(event);
}

void Application::set_edit(Element* element, bool create_native_control)
{
    m_game->set_edit(element, create_native_control);
}
Element* Application::edited_element() const
{
    return m_game->edited_element();
}
Element* Application::edited_on_top() const
{
    Element* edited = edited_element();
    if (m_stack.empty())
        return nullptr;
    for (const Element* element = edited; element; element = element->parent()) {
        if (element == m_stack.back().screen)
            return edited;
    }
    return nullptr;
}
void Application::end_editing_below_top()
{
    Element* edited = edited_element();
    if (!edited || edited_on_top() == edited)
        return;
    set_edit(nullptr, false);
    edited->mark_redraw(); // its caret goes
}
void Application::set_windowed(bool keep_task_bar)
{
    m_game->set_windowed(keep_task_bar);
}
void Application::set_rotation(std::int32_t rotation)
{
    m_game->set_rotation(rotation);
}
void Application::set_game_keys(bool on)
{
    m_game->set_game_keys(on);
}
DisplayInfo Application::client_area() const
{
    return m_game->client_area();
}
DisplayInfo Application::build_display_info() const
{
    return m_game->build_display_info();
}
void Application::minimize()
{
    m_game->minimize();
}
void Application::bring_to_front()
{
    m_game->bring_to_front();
}
void Application::suspend()
{
    m_game->suspend();
}
void Application::quit()
{
    m_game->quit();
}
bool Application::is_smartphone() const
{
    return m_game->is_smartphone();
}
bool Application::open_url(WStringView url)
{
    return m_game->open_url(url);
}
void Application::message_box(const WString& caption, const WString& text)
{
    m_game->message_box(caption, text);
}

} // namespace corvane

#include "launcher/frmStart.h"

#include "launcher/Paths.h"
#include "launcher/Text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace lumbra {

namespace {

    // Larger windows than this are a typing error in the settings, not a request.
    constexpr double max_window_pixels = 16384;

    constexpr std::u16string_view app_manager_key
        = u"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\CEAPPMGR.EXE";

    int layout_pixels(const COptions& options, std::u16string_view key)
    {
        double value = parse_layout_number(options.GetValue(u"layout", key));
        if (!(value > 0))
            return 0;
        return static_cast<int>(std::lround(std::min(value, max_window_pixels)));
    }

} // namespace

double parse_layout_number(std::u16string_view value)
{
    std::string text = to_utf8(value);
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos)
        return 0;
    if (text[start] == '+')
        ++start;
    double number = 0;
    auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), number);
    if (error != std::errc() || !std::isfinite(number))
        return 0;
    (void)end;
    return number;
}

frmStart::frmStart(
    const COptions& options, Platform& platform, StartWindowView& view, std::string program_folder)
    : m_options(options)
    , m_platform(platform)
    , m_view(view)
    , m_program_folder(std::move(program_folder))
{
}

void frmStart::set_up()
{
    std::u16string caption = m_options.GetValue(u"Forms", u"frmStart");
    if (!caption.empty())
        m_view.set_caption(caption);
    // The view has no caption or text of its own; a tool-tip is all it can take.
    std::u16string tooltip
        = m_options.GetValue(u"Forms", std::u16string(view_control_name) + u"ToolTip");
    if (!tooltip.empty())
        m_view.set_view_tooltip(tooltip);
    m_view.remove_frame_and_move_to_origin();

    int width = layout_pixels(m_options, u"width");
    int height = layout_pixels(m_options, u"height");
    int round = layout_pixels(m_options, u"round");
    m_view.set_size(width, height);
    m_view.set_shape(WindowShape::launcher_shape(width, height, round));

    show_page(u"ui_index");
}

void frmStart::show_page(std::u16string_view section)
{
    std::u16string language = m_platform.read_registry_string(
        RegistryRoot::CurrentUser, u"Control Panel\\International", u"sLanguage");
    std::u16string page
        = language.empty() ? std::u16string() : m_options.GetValue(section, language);
    if (page.empty())
        page = m_options.GetValue(section, u"default");
    if (page.empty())
        return;
    m_view.load(page_uri(to_utf8(page), m_program_folder));
}

bool frmStart::handle_click(const FrameClick& click)
{
    if (!click.element_id)
        return false;
    const std::u16string& id = *click.element_id;
    if (id == minimise_button_id) {
        m_view.minimise();
        return false;
    }

    std::u16string app_manager_argument = m_options.GetValue(id, u"ceappmgr");
    std::u16string fail = m_options.GetValue(id, u"fail");
    std::u16string target = m_options.GetValue(id, u"shellexecute");
    std::u16string close = m_options.GetValue(id, u"close");

    if (!app_manager_argument.empty())
        start_application_manager(app_manager_argument, fail);
    if (!target.empty())
        open_target(id, target, fail);
    if (!close.empty())
        m_view.close();
    return true;
}

void frmStart::start_application_manager(const std::u16string& argument, const std::u16string& fail)
{
    std::u16string program
        = m_platform.read_registry_string(RegistryRoot::LocalMachine, app_manager_key, u"");
    bool started = !program.empty()
        && m_platform.open(
            { "open", to_utf8(program), "\"" + to_utf8(argument) + "\"", m_program_folder });
    if (!started && !fail.empty())
        show_page(fail);
}

void frmStart::open_target(
    std::u16string_view section, const std::u16string& target, const std::u16string& fail)
{
    std::u16string verb = m_options.GetValue(section, u"action");
    if (verb.empty())
        verb = u"open";
    OpenRequest request { to_utf8(verb), to_utf8(target),
        to_utf8(m_options.GetValue(section, u"cmd_line")),
        to_utf8(m_options.GetValue(section, u"working_folder")) };
    if (!m_platform.open(request) && !fail.empty())
        show_page(fail);
}

} // namespace lumbra

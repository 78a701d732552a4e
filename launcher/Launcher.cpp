#include "launcher/Launcher.h"

#include "launcher/Paths.h"
#include "launcher/Text.h"

#include <filesystem>

namespace lumbra {

namespace {

    constexpr std::u16string_view windows_version_key
        = u"Software\\Microsoft\\Windows\\CurrentVersion";

} // namespace

Launcher::Launcher(Platform& platform, std::string program_folder)
    : m_platform(platform)
    , m_program_folder(strip_trailing_separator(program_folder))
{
    m_options = std::make_unique<COptions>(read_macro_values(), m_platform.default_language_name());
}

Launcher::~Launcher() = default;

MacroValues Launcher::read_macro_values() const
{
    MacroValues macros;
    macros.app_path = from_utf8(m_program_folder);
    macros.program_files = m_platform.read_registry_string(
        RegistryRoot::LocalMachine, windows_version_key, u"ProgramFilesDir");
    macros.common_files = m_platform.read_registry_string(
        RegistryRoot::LocalMachine, windows_version_key, u"CommonFilesDir");
    if (macros.common_files.empty())
        macros.common_files = join_path(macros.program_files, u"Common Files");
    return macros;
}

Launcher::Start Launcher::start()
{
    // Relative paths in the settings are meant from the medium's folder; when that cannot be
    // entered they are still tried from wherever we are.
    (void)m_platform.set_current_folder(m_program_folder);
    m_options->LoadIni(join_path(m_program_folder, "Lumbra.ini"));

    std::string property = to_utf8(m_options->GetValue(u"settings", u"WindowProperty"));
    if (!property.empty()) {
        std::optional<TopLevelWindow> running = m_platform.find_window_with_property(property);
        if (running && m_platform.is_window_visible(*running)) {
            m_platform.bring_to_front(*running);
            return Start::RaisedRunningLauncher;
        }
    }

    m_view = m_platform.create_start_window();
    if (!property.empty())
        m_view->set_instance_property(property);
    m_form = std::make_unique<frmStart>(*m_options, m_platform, *m_view, m_program_folder);
    m_view->set_click_handler([form = m_form.get()](const FrameClick& click) {
        if (click.frame < 0 || click.frame >= frmStart::hooked_frame_count)
            return true;
        return form->handle_click(click);
    });
    m_form->set_up();
    m_view->show();
    return Start::WindowOpened;
}

std::string choose_program_folder(
    const std::string& executable_folder, const std::string& current_folder)
{
    auto has_settings = [](const std::string& folder) {
        std::error_code error;
        return !folder.empty()
            && std::filesystem::is_regular_file(join_path(folder, "Lumbra.ini"), error);
    };
    if (!has_settings(executable_folder) && has_settings(current_folder))
        return current_folder;
    return executable_folder;
}

} // namespace lumbra

#include "launcher/linux/LinuxPlatform.h"

#include "launcher/OpenPlan.h"
#include "launcher/Text.h"
#include "launcher/linux/GtkStartWindow.h"
#include "launcher/linux/ProcessStarter.h"
#include "launcher/linux/X11TopLevels.h"

#include <gdk/gdkx.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace lumbra {

namespace {

    Display* x_display()
    {
        return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
    }

    const char* environment(const char* name)
    {
        return std::getenv(name);
    }

} // namespace

LinuxPlatform::LinuxPlatform()
{
    std::string path = registry_file_path(
        environment("LUMBRA_REGISTRY"), environment("XDG_CONFIG_HOME"), environment("HOME"));
    if (!path.empty())
        m_registry = RegistryStore::load(path, m_problems);
    m_language = language_for_locale(
        messages_locale(environment("LC_ALL"), environment("LC_MESSAGES"), environment("LANG")));
}

std::u16string LinuxPlatform::read_registry_string(
    RegistryRoot root, std::u16string_view key, std::u16string_view name) const
{
    bool user = root == RegistryRoot::CurrentUser;
    std::u16string path = user ? u"HKEY_CURRENT_USER\\" : u"HKEY_LOCAL_MACHINE\\";
    path += key;
    if (std::optional<std::u16string> value = m_registry.read_string(path, name))
        return *value;

    // What a fresh system would answer.
    if (user && equal_ignoring_case(key, u"Control Panel\\International")
        && equal_ignoring_case(name, u"sLanguage"))
        return from_utf8(m_language.abbreviation);
    if (!user && equal_ignoring_case(key, u"Software\\Microsoft\\Windows\\CurrentVersion")) {
        if (equal_ignoring_case(name, u"ProgramFilesDir"))
            return u"/opt";
        if (equal_ignoring_case(name, u"CommonFilesDir"))
            return u"/usr/share";
    }
    return {};
}

std::string LinuxPlatform::default_language_name() const
{
    return m_language.english_name;
}

bool LinuxPlatform::set_current_folder(const std::string& folder)
{
    return chdir(folder.c_str()) == 0;
}

bool LinuxPlatform::open(const OpenRequest& request)
{
    std::error_code error;
    std::string current = std::filesystem::current_path(error).string();
    const char* search_path = environment("PATH");
    OpenPlan plan = plan_open(request, current, search_path ? search_path : "/usr/bin:/bin");
    std::string problem = plan.error;
    if (problem.empty() && start_process(plan, problem))
        return true;
    std::fprintf(stderr, "lumbra: cannot open %s: %s\n", request.target.c_str(), problem.c_str());
    return false;
}

std::optional<TopLevelWindow> LinuxPlatform::find_window_with_property(const std::string& name)
{
    std::optional<Window> window = x11::find_window_with_property(x_display(), name);
    if (!window)
        return std::nullopt;
    return static_cast<TopLevelWindow>(*window);
}

bool LinuxPlatform::is_window_visible(TopLevelWindow window)
{
    return x11::is_visible(x_display(), static_cast<Window>(window));
}

void LinuxPlatform::bring_to_front(TopLevelWindow window)
{
    x11::bring_to_front(x_display(), static_cast<Window>(window));
}

std::unique_ptr<StartWindowView> LinuxPlatform::create_start_window()
{
    return std::make_unique<GtkStartWindow>();
}

} // namespace lumbra

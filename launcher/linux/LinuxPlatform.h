#pragma once

#include "launcher/LocaleNames.h"
#include "launcher/Platform.h"
#include "launcher/RegistryStore.h"

#include <string>
#include <vector>

namespace lumbra {

// The launcher's platform on a Linux desktop: registry values from the settings file with
// defaults from the locale and the usual folders, programs started directly or through
// xdg-open, and windows on GDK's X display. Needs gtk_init first. Main thread only.
class LinuxPlatform final : public Platform {
public:
    LinuxPlatform();

    // What was wrong with the settings file, one line each.
    const std::vector<std::string>& problems() const { return m_problems; }

    std::u16string read_registry_string(
        RegistryRoot root, std::u16string_view key, std::u16string_view name) const override;
    std::string default_language_name() const override;
    bool set_current_folder(const std::string& folder) override;
    bool open(const OpenRequest& request) override;
    std::optional<TopLevelWindow> find_window_with_property(const std::string& name) override;
    bool is_window_visible(TopLevelWindow window) override;
    void bring_to_front(TopLevelWindow window) override;
    std::unique_ptr<StartWindowView> create_start_window() override;

private:
    std::vector<std::string> m_problems;
    RegistryStore m_registry;
    LanguageNames m_language;
};

} // namespace lumbra

#pragma once

#include "device/platform/System.h"

#include <functional>

namespace corvane {

// Process services on Linux: /proc/self/exe, the XDG user folders, $TMPDIR, xdg-open.
// Message boxes go to standard error until a window layer installs its own handler.
class LinuxSystem final : public System {
public:
    using MessageBoxHandler = std::function<void(const std::u16string&, const std::u16string&)>;

    std::string executable_path() const override;
    std::string special_folder(SpecialFolder folder) const override;
    std::string temp_folder() const override;
    bool open_url(const std::string& url) override;
    std::vector<std::u16string> emergency_numbers() const override;
    bool dial(const std::u16string& number) override;
    void message_box(const std::u16string& caption, const std::u16string& text) override;

    void set_message_box_handler(MessageBoxHandler handler) { m_message_box = std::move(handler); }

private:
    MessageBoxHandler m_message_box;
};

// Starts a program detached (double fork, so no zombie is left), without a shell.
// Answers false when the program could not be started.
bool spawn_detached(const std::vector<std::string>& argv);

} // namespace corvane

#pragma once

#include "testing/ChildProcess.h"

#include <memory>
#include <string>

namespace corvane::test {

// A private X server (Xvfb) for one test, so that no other test's window takes the focus or
// the clipboard.
class PrivateDisplay {
public:
    // False when Xvfb cannot be started here.
    bool start(const std::string& screen = "800x600x24")
    {
        // -displayfd picks a free display number and writes it on our pipe.
        Launch launch;
        launch.arguments
            = { "Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp" };
        launch.unset = { "DISPLAY" };
        launch.error_file = "/dev/null";
        launch.capture_output = true;
        m_server = std::make_unique<ChildProcess>(std::move(launch));
        auto line_done
            = [](const std::string& text) { return text.find('\n') != std::string::npos; };
        if (!m_server->started() || !m_server->read_output(line_done, 15s))
            return false;
        const std::string& number = m_server->output();
        m_name = ":" + number.substr(0, number.find('\n'));
        return true;
    }

    const std::string& name() const { return m_name; }

private:
    std::unique_ptr<ChildProcess> m_server;
    std::string m_name;
};

} // namespace corvane::test

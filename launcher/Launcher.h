#pragma once

#include "launcher/COptions.h"
#include "launcher/Platform.h"
#include "launcher/frmStart.h"

#include <memory>
#include <string>

namespace lumbra {

// The launcher's start-up: settings, the single-instance check and the window. Owns the
// settings, the window and its form for the program's life. Main thread only.
class Launcher {
public:
    enum class Start {
        RaisedRunningLauncher, // Another launcher was visible; it is now in front.
        WindowOpened,
    };

    // `platform` is not owned and outlives the launcher.
    Launcher(Platform& platform, std::string program_folder);
    ~Launcher();

    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    Start start();

    const COptions& options() const { return *m_options; }

private:
    MacroValues read_macro_values() const;

    Platform& m_platform;
    std::string m_program_folder;
    std::unique_ptr<COptions> m_options;
    std::unique_ptr<StartWindowView> m_view;
    std::unique_ptr<frmStart> m_form; // Refers to m_view and m_options: declared after them.
};

// The folder the launcher treats as its own: the executable's folder on an installation
// medium, where "Lumbra.ini" lies beside the program; otherwise the current folder when that
// holds "Lumbra.ini", so a built program can be started from inside a medium's folder; and
// the executable's folder again when neither has the file.
std::string choose_program_folder(
    const std::string& executable_folder, const std::string& current_folder);

} // namespace lumbra

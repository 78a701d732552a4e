// Lumbra, the installation medium's start program: shows the medium's HTML pages in a
// shaped window and runs what their settings name for each click.

#include "launcher/Launcher.h"
#include "launcher/linux/LinuxPlatform.h"

#include "CorvaneVersion.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

std::string executable_folder(const char* argv0)
{
    std::error_code error;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        executable = std::filesystem::absolute(argv0, error);
    return executable.parent_path().string();
}

void report(const std::vector<std::string>& problems)
{
    for (const std::string& problem : problems)
        std::fprintf(stderr, "lumbra: %s\n", problem.c_str());
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before GTK starts, so that packaging tools can ask without a display.
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::printf("Usage: lumbra\n"
                    "Lumbra, the start program of a Corvane installation medium: shows the\n"
                    "medium's pages and starts what their settings name for each click.\n"
                    "It reads lumbra.ini and its pages from its own folder.\n\n"
                    "  --help     this text\n"
                    "  --version  print the version and exit\n");
        return 0;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("lumbra %s\n", CORVANE_VERSION);
        return 0;
    }
    // Window properties and the window shape are X11 features; on Wayland, XWayland serves.
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "lumbra: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }

    std::error_code error;
    std::string current = std::filesystem::current_path(error).string();
    std::string folder = lumbra::choose_program_folder(executable_folder(argv[0]), current);

    lumbra::LinuxPlatform platform;
    report(platform.problems());
    lumbra::Launcher launcher(platform, folder);
    lumbra::Launcher::Start start = launcher.start();
    report(launcher.options().problems());
    if (start == lumbra::Launcher::Start::RaisedRunningLauncher)
        return 0;
    gtk_main();
    return 0;
}

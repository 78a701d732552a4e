#include "device/app/Entry.h"

#include "device/app/CommandLine.h"
#include "device/core/AppInfo.h"
#include "device/core/Application.h"
#include "device/core/GameBase.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/core/RunningInstance.h"
#include "device/core/SplashScreen.h"
#include "device/core/StartupListener.h"
#include "device/platform/Clock.h"
#include "device/platform/Platform.h"
#include "device/platform/WindowBackend.h"
#include "device/platform/linux/HeadlessWindow.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"

#include <cstdio>
#include <memory>

namespace corvane {

namespace {

    void log_stage(const char16_t* stage)
    {
        get_log() << platform_clock().tick_count_ms() << stage;
    }

    // Everything between the single-instance check and the end of the main loop.
    void run_application(const CommandLineOptions& options, std::unique_ptr<WindowBackend> backend,
        const WString& command_line)
    {
        log_stage(u" WinMain 1\n");
        WindowBackend* backend_view = backend.get();
        auto application = std::make_unique<Application>(app_info.name, std::move(backend));

        auto splash_properties = std::make_unique<Properties>();
        DisplayInfo display = application->build_display_info();
        if (!splash_properties->load_skin(
                expand_path(u"%app_path%/skins/bin/splash.skin"), display)) {
            application->message_box(app_info.name, app_info.message);
        } else {
            StartupListener listener(*application);
            application->set_listener(&listener);
            log_stage(u" WinMain 2\n");

            application->set_windowed(false);
            application->set_game_keys(false);
            application->set_rotation(application->build_display_info().rotation);
            log_stage(u" WinMain 5\n");

            // The date spinner kind is registered here once the widgets provide it.
            std::unique_ptr<SplashScreen> splash;
            try {
                splash = std::make_unique<SplashScreen>(*splash_properties, command_line);
            } catch (const SkinError& failure) {
                // A splash skin without its form is as unusable as a missing one.
                get_log() << u"Error: " << failure.what() << u"\n";
                application->message_box(app_info.name, app_info.message);
            }
            if (splash)
                application->run();

            if (!options.dump_frame.empty()) {
                if (auto* headless = dynamic_cast<HeadlessWindow*>(backend_view);
                    headless && !headless->save_frame(options.dump_frame))
                    std::fprintf(stderr, "corvane: could not write the frame to %s\n",
                        options.dump_frame.c_str());
            }
            // The document saves its state and kills its request here once it exists.
            splash.reset();
            application->set_listener(nullptr);
        }
        splash_properties.reset();
        application.reset();
    }

} // namespace

int corvane_main(const std::vector<std::string>& arguments)
{
    std::string error;
    std::optional<CommandLineOptions> options = parse_command_line(arguments, error);
    if (!options) {
        std::fprintf(stderr, "corvane: %s\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(usage_text().c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("%s %s\n", to_utf8(app_info.name).c_str(), to_utf8(app_info.version).c_str());
        return 0;
    }
    install_default_platform();

    // There is no shell to wait for: it is ready when the program starts.
    std::uint32_t t0 = platform_clock().tick_count_ms();
    std::uint32_t t1 = platform_clock().tick_count_ms();
    get_log() << t0 << u" " << t1 << u" WinMain 0\n";

    WString command_line = options->command_line();
    if (show_running_instance(command_line, app_info.name))
        return 0;

    std::unique_ptr<WindowBackend> backend = create_window_backend(options->window, error);
    if (!backend) {
        std::fprintf(
            stderr, "corvane: cannot open a window (%s); run with --headless\n", error.c_str());
        return 1;
    }
    run_application(*options, std::move(backend), command_line);
    return 0;
}

} // namespace corvane

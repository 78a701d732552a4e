#include "device/app/Entry.h"

#include "device/app/CommandLine.h"
#include "device/app/PreviewScreen.h"
#include "device/app/ScriptDriver.h"
#include "device/core/DataFolders.h"
#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/platform/Clock.h"
#include "device/platform/Platform.h"
#include "device/platform/VirtualClock.h"
#include "device/platform/WindowBackend.h"
#include "device/shell/AppInfo.h"
#include "device/shell/Application.h"
#include "device/shell/GameBase.h"
#include "device/shell/RunningInstance.h"
#include "device/shell/SplashScreen.h"
#include "device/shell/StartupListener.h"
#include "device/skin/skin/ElementRegistry.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/EditHost.h"
#include "device/skin/widgets/SpinnerElement.h"

#include <cstdio>
#include <functional>
#include <memory>

namespace corvane {

namespace {

    // An installed program and a build tree keep their data in different places; say which were
    // tried so that a broken installation can be told from a missing build step.
    void report_missing_data()
    {
        std::string folders;
        for (const WString& folder : data_folder_candidates())
            folders += (folders.empty() ? "" : " and ") + to_utf8(folder);
        std::fprintf(stderr, "corvane: no skins/bin/splash.skin in %s\n", folders.c_str());
        get_log() << u"Error: no splash skin in " << from_utf8(folders) << u"\n";
    }

    void log_stage(const char16_t* stage)
    {
        get_log() << platform_clock().tick_count_ms() << stage;
    }

    // The date spinner kind lives from the splash skin's load to the end of the main loop.
    class SpinnerKind {
    public:
        SpinnerKind() { register_element_kind(u"spinner", element_factory<SpinnerElement>()); }
        ~SpinnerKind() { unregister_element_kind(u"spinner"); }
        SpinnerKind(const SpinnerKind&) = delete;
        SpinnerKind& operator=(const SpinnerKind&) = delete;
    };

    // The preview of one skin node, and the script, when the command line asks for them.
    // Answers the exit code: 0, or non-zero when the preview cannot be shown or the script
    // failed.
    int run_preview_and_script(const CommandLineOptions& options, Application& application,
        const Clock& clock, const std::function<void()>& run_program)
    {
        std::unique_ptr<Properties> preview_properties;
        std::unique_ptr<PreviewScreen> preview;
        if (!options.preview_skin.empty()) {
            preview_properties = std::make_unique<Properties>();
            if (!preview_properties->load_skin(
                    from_utf8(options.preview_skin), application.build_display_info())) {
                std::fprintf(
                    stderr, "corvane: cannot load the skin %s\n", options.preview_skin.c_str());
                return 1;
            }
            try {
                preview = std::make_unique<PreviewScreen>(
                    application, *preview_properties, from_utf8(options.preview_node));
            } catch (const SkinError& failure) {
                std::fprintf(stderr, "corvane: cannot show %s: %s\n", options.preview_node.c_str(),
                    failure.what());
                return 1;
            }
            application.show_screen(*preview, false, false);
        }
        std::unique_ptr<ScriptDriver> driver;
        if (!options.script.empty()) {
            driver = std::make_unique<ScriptDriver>(application, clock, options.script);
            std::string error;
            if (!driver->load(error)) {
                std::fprintf(stderr, "corvane: %s\n", error.c_str());
                if (preview)
                    application.close_screen(*preview, false);
                return 2;
            }
            driver->start();
        }
        run_program();
        int code = 0;
        if (driver && !driver->finished()) {
            std::fprintf(stderr, "corvane: %s: the program ended before the script did\n",
                options.script.c_str());
            code = 3;
        } else if (driver) {
            code = driver->exit_code();
        }
        if (preview && application.is_on_stack(*preview))
            application.close_screen(*preview, false);
        return code;
    }

    void save_dump_frame(const CommandLineOptions& options, WindowBackend* backend_view)
    {
        if (options.dump_frame.empty())
            return;
        if (backend_view && backend_view->can_save_frame()
            && !backend_view->save_frame(options.dump_frame))
            std::fprintf(
                stderr, "corvane: could not write the frame to %s\n", options.dump_frame.c_str());
    }

    // Everything between the single-instance check and the end of the main loop.
    int run_application(const CommandLineOptions& options, std::unique_ptr<WindowBackend> backend,
        const WString& command_line, Clock& clock, const ProgramStarter& starter)
    {
        log_stage(u" WinMain 1\n");
        WindowBackend* backend_view = backend.get();
        auto application = std::make_unique<Application>(app_info.name, std::move(backend), clock);
        ApplicationEditHost edit_host(*application);
        set_edit_host(&edit_host);
        int code = 0;

        if (!options.preview_skin.empty()) {
            // A preview shows one node of a skin and nothing of the program proper.
            SpinnerKind spinner_kind;
            code
                = run_preview_and_script(options, *application, clock, [&] { application->run(); });
            save_dump_frame(options, backend_view);
            set_edit_host(nullptr);
            application.reset();
            return code;
        }

        auto splash_properties = std::make_unique<Properties>();
        DisplayInfo display = application->build_display_info();
        if (!splash_properties->load_skin(
                expand_path(u"%data_path%/skins/bin/splash.skin"), display)) {
            report_missing_data();
            application->message_box(app_info.name, app_info.message);
        } else {
            StartupListener listener(*application);
            application->set_listener(&listener);
            log_stage(u" WinMain 2\n");

            application->set_windowed(false);
            application->set_game_keys(false);
            application->set_rotation(application->build_display_info().rotation);
            log_stage(u" WinMain 5\n");

            auto spinner_kind = std::make_unique<SpinnerKind>();
            std::unique_ptr<SplashScreen> splash;
            try {
                ProgramFactory factory;
                if (starter)
                    factory = [&](Properties& properties) {
                        return starter(*application, properties, options.service_url);
                    };
                splash = std::make_unique<SplashScreen>(
                    *splash_properties, command_line, std::move(factory));
            } catch (const SkinError& failure) {
                // A splash skin without its form is as unusable as a missing one.
                get_log() << u"Error: " << failure.what() << u"\n";
                application->message_box(app_info.name, app_info.message);
            }
            if (splash)
                code = run_preview_and_script(
                    options, *application, clock, [&] { application->run(); });

            save_dump_frame(options, backend_view);
            if (StartedProgram* program = splash ? splash->program() : nullptr) {
                program->save_state();
                program->kill_request();
            }
            splash.reset();
            spinner_kind.reset();
            application->set_listener(nullptr);
        }
        splash_properties.reset();
        set_edit_host(nullptr);
        application.reset();
        return code;
    }

} // namespace

int corvane_main(const std::vector<std::string>& arguments, ProgramStarter starter)
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
    // A scripted run or a preview is a tool run: it never hands over to a running instance.
    bool tool_run = !options->script.empty() || !options->preview_skin.empty();
    single_instance_state().tool_run = tool_run;
    if (!tool_run && show_running_instance(command_line, app_info.name))
        return 0;

    // Headless scripts run on a virtual clock, so they take the same steps on any machine.
    std::unique_ptr<VirtualClock> virtual_clock;
    if (options->window.headless && !options->script.empty()) {
        virtual_clock = std::make_unique<VirtualClock>(platform_clock());
        options->window.virtual_clock = virtual_clock.get();
    }
    Clock& clock = virtual_clock ? static_cast<Clock&>(*virtual_clock) : platform_clock();

    std::unique_ptr<WindowBackend> backend = create_window_backend(options->window, error);
    if (!backend) {
        std::fprintf(
            stderr, "corvane: cannot open a window (%s); run with --headless\n", error.c_str());
        return 1;
    }
    return run_application(*options, std::move(backend), command_line, clock, starter);
}

} // namespace corvane

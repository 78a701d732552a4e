#include "device/shell/SplashScreen.h"

#include "device/core/Log.h"
#include "device/platform/Clock.h"
#include "device/shell/AppInfo.h"
#include "device/shell/Application.h"
#include "device/skin/lang/LanguageChoice.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"

namespace corvane {

namespace {

    // The dimming behind an overlay reaches this level after eight drawn frames.
    constexpr std::int32_t splash_shown_dim_level = 128;

    void log_stage(const char16_t* stage)
    {
        get_log() << platform_clock().tick_count_ms() << stage;
    }

} // namespace

SplashScreen::SplashScreen(
    Properties& splash_properties, WString command_line, ProgramFactory factory)
    : m_command_line(std::move(command_line))
    , m_factory(std::move(factory))
    , m_properties(std::make_unique<Properties>())
{
    build_from_node_or_throw(*this, splash_properties, u"Splash");
    Application::instance()->show_screen(*this, true, true);
}

SplashScreen::~SplashScreen()
{
    m_program.reset();
    if (Application* application = Application::instance())
        application->close_screen(*this, false);
}

void SplashScreen::tick(double seconds)
{
    Screen::tick(seconds);
    Application* application = Application::instance();
    // The long loading starts only once the splash has been on the display for a while.
    if (!m_started && application && application->dim_level() == splash_shown_dim_level) {
        m_started = true;
        load_language_and_skin();
    }
}

void SplashScreen::load_language_and_skin()
{
    Application& application = *Application::instance();
    const WString& name = application.name();
    log_stage(u" WinMain splash 0\n");
    if (!load_language(*m_properties, name)) {
        application.close_screen(*this, true);
        application.message_box(name, app_info.message);
        application.quit();
        return;
    }
    log_stage(u" WinMain splash 1\n");
    if (!load_chosen_skin(*m_properties, name, u"")) {
        application.close_screen(*this, true);
        application.message_box(name, translate(*m_properties, u"NoSkins"));
        application.quit();
        return;
    }
    log_stage(u" WinMain splash 2\n");
    m_loaded = true;
    if (m_factory) {
        m_program.reset();
        try {
            m_program = m_factory(*m_properties);
        } catch (const SkinError& failure) {
            // A main skin without the program's forms cannot show anything: say which part is
            // missing rather than end without a word.
            get_log() << u"Error: " << failure.what() << u"\n";
            application.close_screen(*this, true);
            application.message_box(name, from_utf8(failure.what()));
            application.quit();
            return;
        }
    }
    log_stage(u" WinMain splash 3\n");
    application.close_screen(*this, true);
    log_stage(u" WinMain splash 4\n");
}

} // namespace corvane

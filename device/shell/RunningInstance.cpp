#include "device/shell/RunningInstance.h"

#include "device/core/Log.h"
#include "device/platform/SingleInstance.h"

namespace corvane {

namespace {

    constexpr std::size_t max_title_characters = 260;

} // namespace

SingleInstanceState& single_instance_state()
{
    static SingleInstanceState state;
    return state;
}

WString window_class_name(WStringView application_name)
{
    return u"VellumClass_" + WString(application_name);
}

bool show_running_instance(WStringView command_line, WStringView name)
{
    get_log() << u"Application::show_running_instance_open_bracket cmd_line=" << command_line
              << u"\n";
    SingleInstanceState& state = single_instance_state();
    state.name = WString(name);
    state.class_name = window_class_name(name);
    state.command_line = WString(command_line);
    state.found = false;
    state.mutex = create_startup_mutex(state.class_name);
    if (!state.mutex) {
        get_log() << u"Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    // Held until our window exists, so an instance that is still starting is waited for rather
    // than missed.
    state.mutex->wait();
    enumerate_instance_windows(
        state.class_name, [](InstanceWindow& window) { return EnumProc(window); });
    return state.found;
}

bool EnumProc(InstanceWindow& window)
{
    SingleInstanceState& state = single_instance_state();
    if (window.class_name() != state.class_name) {
        // An instance showing a message box handles nothing else until the box is answered, so
        // the box is what comes forward, and no command line is handed over.
        if (window.class_name() != u"Dialog" || window.title(max_title_characters) != state.name)
            return true;
        get_log() << u"Application::EnumProc window found 2\n";
        state.found = true;
        (void)window.bring_to_front();
        return false;
    }
    get_log() << u"Application::EnumProc window found hwnd=" << window.handle() << u" 1\n";
    state.found = true;
    (void)window.send_copy_data(
        0, state.command_line.empty() ? WString(command_line_empty) : state.command_line);
    get_log() << u"Application::EnumProc window found 2\n";
    return false;
}

void release_startup_mutex()
{
    SingleInstanceState& state = single_instance_state();
    if (state.mutex)
        state.mutex->release();
}

} // namespace corvane

#include "launcher/linux/ProcessStarter.h"

#include <glib.h>

#include <vector>

namespace lumbra {

bool start_process(const OpenPlan& plan, std::string& error)
{
    if (plan.argv.empty()) {
        error = plan.error.empty() ? "nothing to start" : plan.error;
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& argument : plan.argv)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    // Without G_SPAWN_DO_NOT_REAP_CHILD, GLib starts the program through an intermediate
    // child, so the program is reparented away and needs no reaping; exec and chdir failures
    // still come back through GLib's error pipe.
    GError* spawn_error = nullptr;
    gboolean started = g_spawn_async(
        plan.working_folder.empty() ? nullptr : plan.working_folder.c_str(), argv.data(), nullptr,
        G_SPAWN_STDIN_FROM_DEV_NULL, nullptr, nullptr, nullptr, &spawn_error);
    if (!started) {
        error = spawn_error ? spawn_error->message : "unknown error";
        g_clear_error(&spawn_error);
        return false;
    }
    return true;
}

} // namespace lumbra

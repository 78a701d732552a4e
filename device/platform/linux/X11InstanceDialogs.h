#pragma once

#include <functional>
#include <sys/types.h>

namespace corvane {

class InstanceWindow;

// Calls `visit` with each dialog on the X display ($DISPLAY) that is transient for a window of
// process `pid`, topmost first, as an InstanceWindow of class "Dialog". False when `visit`
// ended the enumeration; true otherwise, also when there is no display to look at. X errors
// (a window that goes away meanwhile) are ignored. Main thread, before the window system is
// otherwise in use: it replaces the process's X error handler while it runs.
bool visit_instance_dialogs(pid_t pid, const std::function<bool(InstanceWindow&)>& visit);

} // namespace corvane

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace corvane {

// The start-up mutex: held by an instance while it looks for a running one and, when it finds
// none, until its own window can be found. So a second instance that starts while the first is
// still starting waits for the first window instead of missing it.
class StartupMutex {
public:
    virtual ~StartupMutex() = default;
    // Blocks until this process owns the mutex; no time limit.
    virtual void wait() = 0;
    // Lets the next instance in; does nothing when not owned.
    virtual void release() = 0;
};

// A top-level window of a running instance: its main window, found by its class name, or a
// dialog it shows (class name "Dialog"), such as a message box. Valid only during the visit.
class InstanceWindow {
public:
    virtual ~InstanceWindow() = default;
    virtual std::int64_t handle() const = 0;
    virtual const std::u16string& class_name() const = 0;
    // The caption, cut after `max_characters` UTF-16 units; empty for a window without one.
    virtual std::u16string title(std::size_t max_characters) const = 0;
    // Hands data to the window (identifier 0: a command line). False when it did not arrive.
    virtual bool send_copy_data(std::uint32_t identifier, const std::u16string& data) = 0;
    // Raises the window and gives it the input focus. False when the window system refused.
    virtual bool bring_to_front() = 0;
};

// Makes this instance's window findable by its class name for as long as it lives. The data
// that other instances send arrive on a thread of their own.
class InstanceListener {
public:
    virtual ~InstanceListener() = default;
};

using CopyDataHandler = std::function<void(std::uint32_t identifier, std::u16string data)>;

// Creates or opens the mutex of that name; nothing when the platform cannot provide it.
std::unique_ptr<StartupMutex> create_startup_mutex(const std::u16string& name);
// Calls `visit` with the running instance's windows until it answers false: first its dialogs,
// topmost first, as a dialog stands above its owner, then its main window.
void enumerate_instance_windows(
    const std::u16string& class_name, const std::function<bool(InstanceWindow&)>& visit);
// Nothing when the window cannot be made findable (it then works alone).
std::unique_ptr<InstanceListener> listen_as_instance_window(
    const std::u16string& class_name, CopyDataHandler handler);

} // namespace corvane

#pragma once

#include "common/base/Text.h"

#include <memory>

namespace corvane {

class CActiveScheduler;
class Clock;
class MessageLoop;
class WindowBackend;

// The window-less base of the program's window object: the application and window-class names,
// the main thread's message loop over the window back-end, and the active-object scheduler,
// which is served by that loop. Exactly one exists; a second is a fatal fault. Main thread.
class PlatformApplication {
public:
    // The clock must outlive the object.
    PlatformApplication(WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock);
    // Releases the start-up mutex if still held. Fatal fault if active objects remain.
    virtual ~PlatformApplication();
    PlatformApplication(const PlatformApplication&) = delete;
    PlatformApplication& operator=(const PlatformApplication&) = delete;

    static PlatformApplication* instance();

    const WString& name() const { return m_name; }
    const WString& class_name() const { return m_class_name; }
    CActiveScheduler& scheduler() { return *m_scheduler; }
    MessageLoop& message_loop() { return *m_loop; }
    WindowBackend& backend() { return *m_backend; }
    const WindowBackend& backend() const { return *m_backend; }
    Clock& clock() const { return m_clock; }

private:
    WString m_name;
    WString m_class_name;
    Clock& m_clock;
    std::unique_ptr<WindowBackend> m_backend;
    std::unique_ptr<MessageLoop> m_loop; // uses m_backend
    std::unique_ptr<CActiveScheduler> m_scheduler; // uses m_loop; destroyed first
};

} // namespace corvane

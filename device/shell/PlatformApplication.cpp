#include "device/shell/PlatformApplication.h"

#include "device/core/CActiveScheduler.h"
#include "device/core/FatalFault.h"
#include "device/platform/Clock.h"
#include "device/platform/MessageLoop.h"
#include "device/platform/WindowBackend.h"
#include "device/shell/RunningInstance.h"

namespace corvane {

namespace {
    PlatformApplication* s_instance = nullptr;
}

PlatformApplication::PlatformApplication(
    WStringView name, std::unique_ptr<WindowBackend> backend, Clock& clock)
    : m_name(name)
    , m_class_name(window_class_name(name))
    , m_clock(clock)
    , m_backend(std::move(backend))
{
    if (s_instance)
        fatal_fault(u"Application::Application", u"instance != 0");
    s_instance = this;
    m_loop = std::make_unique<MessageLoop>(*m_backend, m_clock);
    m_scheduler = std::make_unique<CActiveScheduler>(*m_loop, m_clock);
}

PlatformApplication::~PlatformApplication()
{
    m_scheduler.reset();
    m_loop.reset();
    m_backend.reset();
    release_startup_mutex();
    s_instance = nullptr;
}

PlatformApplication* PlatformApplication::instance()
{
    return s_instance;
}

} // namespace corvane

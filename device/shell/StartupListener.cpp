#include "device/shell/StartupListener.h"

#include "device/shell/Application.h"

namespace corvane {

void StartupListener::on_command_line(const WString&)
{
    m_application.bring_to_front();
}

void StartupListener::on_resolution_changed()
{
    m_application.set_rotation(m_application.build_display_info().rotation);
}

} // namespace corvane

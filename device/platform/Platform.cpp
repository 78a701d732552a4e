#include "device/platform/Platform.h"

namespace corvane {

PlatformServices& platform()
{
    static PlatformServices services;
    return services;
}

Clock& platform_clock()
{
    if (!platform().clock)
        install_default_platform();
    return *platform().clock;
}

SettingsStore& platform_settings()
{
    if (!platform().settings)
        install_default_platform();
    return *platform().settings;
}

System& platform_system()
{
    if (!platform().system)
        install_default_platform();
    return *platform().system;
}

Clipboard& platform_clipboard()
{
    if (!platform().clipboard)
        install_default_platform();
    return *platform().clipboard;
}

} // namespace corvane

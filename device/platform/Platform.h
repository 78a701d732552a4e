#pragma once

#include "device/platform/Clipboard.h"
#include "device/platform/Clock.h"
#include "device/platform/SettingsStore.h"
#include "device/platform/System.h"

namespace corvane {

// The process-wide platform services. The entry point installs the real ones before anything
// else runs; tests install their own. The installed objects must outlive every user.
struct PlatformServices {
    Clock* clock { nullptr };
    SettingsStore* settings { nullptr };
    System* system { nullptr };
    Clipboard* clipboard { nullptr };
};

PlatformServices& platform();

// Installs the Linux implementations (file-backed settings store at $CORVANE_REGISTRY or the
// user's configuration folder, the real clock, the real system services, an in-process
// clipboard that a window layer may replace) for the rest of the process, unless a service is
// already installed. Safe to call more than once.
void install_default_platform();

// Shorthands for the installed services; install_default_platform() runs on first use if
// nothing was installed.
Clock& platform_clock();
SettingsStore& platform_settings();
System& platform_system();
Clipboard& platform_clipboard();

} // namespace corvane

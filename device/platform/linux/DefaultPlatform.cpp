#include "device/platform/Platform.h"

#include "device/platform/linux/FileSettingsStore.h"
#include "device/platform/linux/LinuxClock.h"
#include "device/platform/linux/LinuxSystem.h"
#include "device/platform/linux/MemoryClipboard.h"

#include <memory>
#include <mutex>

namespace corvane {

void install_default_platform()
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    // Leaked on purpose: worker threads may still log while static destructors run.
    PlatformServices& services = platform();
    if (!services.clock)
        services.clock = std::make_unique<LinuxClock>().release();
    if (!services.settings)
        services.settings
            = std::make_unique<FileSettingsStore>(FileSettingsStore::default_path()).release();
    if (!services.system)
        services.system = std::make_unique<LinuxSystem>().release();
    if (!services.clipboard)
        services.clipboard = std::make_unique<MemoryClipboard>().release();
}

} // namespace corvane

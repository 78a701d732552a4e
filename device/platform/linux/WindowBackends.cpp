#include "device/platform/WindowBackend.h"
#include "device/platform/linux/HeadlessWindow.h"
#include "device/platform/linux/SdlWindow.h"

namespace corvane {

std::unique_ptr<WindowBackend> create_window_backend(
    const WindowOptions& options, std::string& error)
{
    if (options.headless)
        return std::make_unique<HeadlessWindow>(options);
    return SdlWindow::create(options, error);
}

} // namespace corvane

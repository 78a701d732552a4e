#include "device/display/DirectSurface.h"
#include "device/platform/WindowBackend.h"
#include "device/skin/render/Surface.h"

namespace corvane {

namespace {

    // A frame in memory handed to the window back-end whole: on this platform the window system
    // composes, so "direct" drawing is an off-screen frame presented without a paint message.
    class FrameDirectSurface final : public DirectSurface {
    public:
        FrameDirectSurface(
            WindowBackend& window, std::unique_ptr<Surface> frame, std::int32_t rotation)
            : DirectSurface(frame->width(), frame->height(), rotation)
            , m_window(window)
            , m_frame(std::move(frame))
        {
        }

        Surface* lock() override { return m_window.has_window() ? m_frame.get() : nullptr; }

        void present() override
        {
            FrameView view { m_frame->row(0), m_frame->width(), m_frame->height(),
                m_frame->stride() };
            m_window.present(view);
        }

        void unlock() override { }

    private:
        WindowBackend& m_window; // Outlives us.
        std::unique_ptr<Surface> m_frame;
    };

} // namespace

std::unique_ptr<DirectSurface> create_direct_surface(WindowBackend& window, std::int32_t rotation)
{
    if (!window.has_window())
        return nullptr;
    DisplayState display = window.display();
    std::unique_ptr<Surface> frame = Surface::allocate(display.width, display.height);
    if (!frame)
        return nullptr;
    return std::make_unique<FrameDirectSurface>(window, std::move(frame), rotation);
}

} // namespace corvane

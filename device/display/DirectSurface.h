#pragma once

#include <cstdint>
#include <memory>

namespace corvane {

class Surface;
class WindowBackend;

// A drawing surface of the window's size that the main loop draws into and shows without going
// through window painting. Main thread.
class DirectSurface {
public:
    virtual ~DirectSurface() = default;
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    std::int32_t rotation() const { return m_rotation; }

    // The pixels to draw the next frame into; null when the surface is unavailable right now.
    virtual Surface* lock() = 0;
    // Shows what was drawn since lock().
    virtual void present() = 0;
    virtual void unlock() = 0;

protected:
    DirectSurface(std::int32_t width, std::int32_t height, std::int32_t rotation)
        : m_width(width)
        , m_height(height)
        , m_rotation(rotation)
    {
    }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    std::int32_t m_rotation;
};

// The display back-end: a direct surface for the window at its current size, or nothing when
// the display cannot provide one (the program then stays in timer mode). The window must
// outlive the surface.
std::unique_ptr<DirectSurface> create_direct_surface(WindowBackend& window, std::int32_t rotation);

} // namespace corvane

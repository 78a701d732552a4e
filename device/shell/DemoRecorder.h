#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Bitmap.h"

#include <cstdint>
#include <memory>

namespace corvane {

class RenderSurface;

// Demonstration recording: when a cursor picture "UlmarRecordPicture.bmp" lies in the temporary
// folder, every drawn frame is written as "NNNNN.bmp" into "<temp>/<executable>.zip", with the
// picture drawn as a growing cursor where the stylus presses. Main thread.
class DemoRecorder {
public:
    // Nothing when the cursor picture is absent or the archive cannot be created.
    static std::unique_ptr<DemoRecorder> open_if_requested();
    static std::unique_ptr<DemoRecorder> open(const Bitmap& cursor, WStringView archive_path);
    // Takes the open archive (a minizip zipFile) over.
    DemoRecorder(const Bitmap& cursor, void* archive);
    ~DemoRecorder(); // closes the archive
    DemoRecorder(const DemoRecorder&) = delete;
    DemoRecorder& operator=(const DemoRecorder&) = delete;

    void on_press(std::int32_t x, std::int32_t y);
    void on_release(std::int32_t x, std::int32_t y);
    void on_move(std::int32_t x, std::int32_t y);

    // After a frame was drawn: grows or shrinks the cursor, draws it, and stores the frame.
    void after_draw(RenderSurface& frame);

    std::uint32_t frames_written() const { return m_frames; }
    std::int32_t cursor_size() const { return m_size; }

private:
    Bitmap m_cursor;
    void* m_archive; // zipFile; owned
    std::int32_t m_height;
    std::int32_t m_travel_limit;
    std::int32_t m_size { 0 };
    std::int32_t m_target { 0 };
    bool m_pressed { false };
    std::int32_t m_x { 0 };
    std::int32_t m_y { 0 };
    std::uint32_t m_frames { 0 };
};

} // namespace corvane

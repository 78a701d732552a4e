#include "device/shell/DemoRecorder.h"

#include "device/core/Log.h"
#include "device/core/Paths.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/BmpFile.h"
#include "device/skin/render/RenderSurface.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <minizip/zip.h>

namespace corvane {

std::unique_ptr<DemoRecorder> DemoRecorder::open_if_requested()
{
    WString picture = temp_folder() + u"/UlmarRecordPicture.bmp";
    std::error_code ignored;
    if (!std::filesystem::exists(native_path(picture), ignored))
        return nullptr; // the usual case: no recording, and nothing to log
    Bitmap cursor = load_565(picture);
    if (cursor.is_empty())
        return nullptr;
    return open(cursor, temp_folder() + u"/" + expand_path(u"%app_name%.zip"));
}

std::unique_ptr<DemoRecorder> DemoRecorder::open(const Bitmap& cursor, WStringView archive_path)
{
    zipFile archive = zipOpen64(native_path(archive_path).c_str(), APPEND_STATUS_CREATE);
    if (!archive) {
        get_log() << u"DemoRecorder: cannot create " << archive_path << u"\n";
        return nullptr;
    }
    return std::make_unique<DemoRecorder>(cursor, archive);
}

DemoRecorder::DemoRecorder(const Bitmap& cursor, void* archive)
    : m_cursor(cursor)
    , m_archive(archive)
    , m_height(cursor.size().height)
    , m_travel_limit(cursor.size().height * 3 / 2)
{
}

DemoRecorder::~DemoRecorder()
{
    zipClose(static_cast<zipFile>(m_archive), nullptr);
}

void DemoRecorder::on_press(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
    m_target = m_travel_limit;
    m_pressed = true;
}

void DemoRecorder::on_release(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
    m_target = 0;
    m_pressed = false;
}

void DemoRecorder::on_move(std::int32_t x, std::int32_t y)
{
    m_x = x;
    m_y = y;
}

void DemoRecorder::after_draw(RenderSurface& frame)
{
    if (!frame.has_surface())
        return;
    if (m_pressed) {
        std::int32_t step = m_target - m_size;
        m_size += std::clamp(step, -4, 4);
        if (m_size > 0 && m_cursor.surface()) {
            frame.stretch_blit({ m_x - m_size / 2, m_y - m_size / 2 }, { m_size, m_size },
                *m_cursor.surface(), { 0, 0 }, m_cursor.size(), color_key_blender());
        }
        if (m_size >= m_travel_limit)
            m_target = m_height;
        m_size = std::max(m_size, 0);
    }
    VectorByteSink bytes;
    if (!save_bmp_565(*frame.surface(), bytes))
        return;
    char name[16];
    std::snprintf(name, sizeof name, "%05u.bmp", m_frames);
    zipFile archive = static_cast<zipFile>(m_archive);
    zip_fileinfo info {};
    if (zipOpenNewFileInZip(
            archive, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_BEST_SPEED)
        != ZIP_OK)
        return;
    zipWriteInFileInZip(archive, bytes.bytes().data(), static_cast<unsigned>(bytes.bytes().size()));
    zipCloseFileInZip(archive);
    ++m_frames;
}

} // namespace corvane

#include "device/skin/render/BmpFile.h"

#include "device/core/File.h"
#include "device/core/Log.h"

#include <cstring>
#include <limits>

namespace corvane {

namespace {

    constexpr std::size_t file_header_size = 14;
    constexpr std::size_t info_header_size = 40;
    constexpr std::int32_t max_side = 1 << 15;

    std::uint16_t read_u16(const std::uint8_t* p)
    {
        return std::uint16_t(p[0] | (p[1] << 8));
    }
    std::uint32_t read_u32(const std::uint8_t* p)
    {
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
            | (std::uint32_t(p[3]) << 24);
    }

    bool fail(std::string* why, const char* reason)
    {
        if (why)
            *why = reason;
        return false;
    }

} // namespace

std::unique_ptr<Surface> decode_bmp_565(
    const std::uint8_t* data, std::size_t size, std::string* why)
{
    if (!data || size < file_header_size + info_header_size) {
        fail(why, "file is shorter than its headers");
        return nullptr;
    }
    const std::uint8_t* info = data + file_header_size;
    std::uint32_t pixel_offset = read_u32(data + 10);
    auto width = std::int32_t(read_u32(info + 4));
    auto height = std::int32_t(read_u32(info + 8));
    std::uint16_t bit_count = read_u16(info + 14);
    if (bit_count != 16) {
        fail(why, "not 16bit");
        return nullptr;
    }
    if (width <= 0 || height == 0 || width > max_side || height > max_side || height < -max_side) {
        fail(why, "bad dimensions");
        return nullptr;
    }
    if (pixel_offset < file_header_size + info_header_size || pixel_offset > size) {
        fail(why, "pixel data offset outside the file");
        return nullptr;
    }
    bool bottom_up = height > 0;
    std::int32_t rows = bottom_up ? height : -height;
    std::size_t row_bytes = std::size_t(width) * 2;
    std::size_t stride = std::size_t((16 * std::int64_t(width) + 31) / 32 * 4);
    // The last row needs no padding after it.
    std::size_t needed = stride * std::size_t(rows - 1) + row_bytes;
    if (size - pixel_offset < needed) {
        fail(why, "pixel data truncated");
        return nullptr;
    }
    std::unique_ptr<Surface> surface = Surface::allocate(width, rows);
    if (!surface) {
        fail(why, "out of memory");
        return nullptr;
    }
    const std::uint8_t* pixels = data + pixel_offset;
    for (std::int32_t i = 0; i < rows; ++i) {
        std::int32_t y = bottom_up ? rows - 1 - i : i;
        const std::uint8_t* in = pixels + stride * std::size_t(i);
        Pixel* out = surface->row(y);
        for (std::int32_t x = 0; x < width; ++x)
            out[x] = read_u16(in + 2 * x);
    }
    return surface;
}

Bitmap load_565(WStringView path)
{
    std::optional<SharedBuffer> file = read_whole_file(path);
    if (!file) {
        get_log() << u"load_565 " << path << u" cannot be read\n";
        return {};
    }
    std::string why;
    std::unique_ptr<Surface> surface = decode_bmp_565(file->data(), file->size(), &why);
    if (!surface) {
        if (why == "not 16bit")
            get_log() << u"load_565 " << path << u" is not 16bit bitmap\n";
        else
            get_log() << u"load_565 " << path << u" is damaged: " << why << u"\n";
        return {};
    }
    return Bitmap(std::shared_ptr<const Surface>(std::move(surface)), WString(path));
}

bool save_bmp_565(const Surface& surface, ByteSink& sink)
{
    const Pixel* top = surface.height() > 0 ? surface.row(0) : nullptr;
    return write_bmp_565(top, std::uint32_t(surface.width()), std::uint32_t(surface.height()),
        surface.stride(), sink);
}

} // namespace corvane

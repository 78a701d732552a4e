#include "common/base/Bmp565.h"

namespace corvane {

namespace {

    constexpr std::uint32_t info_header_size = 40;
    constexpr std::uint32_t saved_pixel_offset = 70; // headers plus the four mask words

    void put_u16(std::uint8_t*& p, std::uint16_t v)
    {
        *p++ = std::uint8_t(v);
        *p++ = std::uint8_t(v >> 8);
    }
    void put_u32(std::uint8_t*& p, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            *p++ = std::uint8_t(v >> (8 * i));
    }

} // namespace

std::size_t VectorByteSink::write(const void* bytes, std::size_t size)
{
    auto* p = static_cast<const std::uint8_t*>(bytes);
    m_bytes.insert(m_bytes.end(), p, p + size);
    return size;
}

bool write_bmp_565(const std::uint16_t* top_row, std::uint32_t width, std::uint32_t height,
    std::ptrdiff_t stride, ByteSink& sink)
{
    std::uint32_t padded = (width * 2 + 3) & ~3u;
    std::uint32_t image_bytes = padded * height;

    std::uint8_t header[saved_pixel_offset];
    std::uint8_t* p = header;
    *p++ = 0x42;
    *p++ = 0x4D;
    put_u32(p, image_bytes + saved_pixel_offset);
    put_u32(p, 0); // two reserved words
    put_u32(p, saved_pixel_offset);
    put_u32(p, info_header_size);
    put_u32(p, width);
    put_u32(p, height); // positive: rows bottom-up
    put_u16(p, 1); // planes
    put_u16(p, 16);
    put_u32(p, 3); // BI_BITFIELDS
    put_u32(p, image_bytes);
    put_u32(p, 2834); // 72 dpi in pixels per metre
    put_u32(p, 2834);
    put_u32(p, 0); // colours used
    put_u32(p, 0); // important colours
    put_u32(p, 0xF800);
    put_u32(p, 0x07E0);
    put_u32(p, 0x001F);
    put_u32(p, 0);
    if (sink.write(header, sizeof header) != sizeof header)
        return false;

    std::vector<std::uint8_t> row(padded, 0);
    const auto* base = reinterpret_cast<const std::uint8_t*>(top_row);
    for (std::uint32_t i = 0; i < height; ++i) {
        const auto* in = reinterpret_cast<const std::uint16_t*>(
            base + std::ptrdiff_t(height - 1 - i) * stride);
        for (std::uint32_t x = 0; x < width; ++x) {
            row[2 * x] = std::uint8_t(in[x]);
            row[2 * x + 1] = std::uint8_t(in[x] >> 8);
        }
        if (sink.write(row.data(), padded) != padded)
            return false;
    }
    return true;
}

} // namespace corvane

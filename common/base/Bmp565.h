#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane {

// Where write_bmp_565 writes: answers how many bytes it accepted.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual std::size_t write(const void* bytes, std::size_t size) = 0;
};

class VectorByteSink final : public ByteSink {
public:
    std::size_t write(const void* bytes, std::size_t size) override;
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Writes RGB 565 rows (row 0 at `top_row`, rows `stride` bytes apart) as a bottom-up 16-bit
// BI_BITFIELDS BMP: masks 0xF800, 0x07E0, 0x001F, pixel data at offset 70, rows padded to 4
// bytes. False when the sink accepts fewer bytes than asked. `top_row` may be null when `height`
// is 0.
[[nodiscard]] bool write_bmp_565(const std::uint16_t* top_row, std::uint32_t width,
    std::uint32_t height, std::ptrdiff_t stride, ByteSink& sink);

} // namespace corvane

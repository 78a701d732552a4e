#include "device/platform/linux/BmpWriter.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace corvane {

namespace {

    void put16(std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        out.push_back(static_cast<std::uint8_t>(value));
        out.push_back(static_cast<std::uint8_t>(value >> 8));
    }

    void put32(std::vector<std::uint8_t>& out, std::uint32_t value)
    {
        put16(out, value & 0xFFFF);
        put16(out, value >> 16);
    }

    bool write_all(int fd, const std::uint8_t* data, std::size_t size)
    {
        while (size > 0) {
            ssize_t n = ::write(fd, data, size);
            if (n < 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

} // namespace

bool write_bmp_565(
    const std::string& path, const std::uint16_t* pixels, std::int32_t width, std::int32_t height)
{
    if (!pixels || width <= 0 || height <= 0 || width > 32768 || height > 32768)
        return false;
    std::uint32_t stride = (static_cast<std::uint32_t>(width) * 2 + 3) & ~3u;
    std::uint32_t image_size = stride * static_cast<std::uint32_t>(height);
    constexpr std::uint32_t header_size = 14 + 40 + 16;

    std::vector<std::uint8_t> out;
    out.reserve(header_size + image_size);
    out.push_back('B');
    out.push_back('M');
    put32(out, header_size + image_size);
    put32(out, 0);
    put32(out, header_size);
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height)); // positive: rows bottom-up
    put16(out, 1);
    put16(out, 16);
    put32(out, 3); // BI_BITFIELDS
    put32(out, image_size);
    put32(out, 2834);
    put32(out, 2834);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0xF800);
    put32(out, 0x07E0);
    put32(out, 0x001F);
    put32(out, 0);
    for (std::int32_t y = height - 1; y >= 0; --y) {
        const std::uint16_t* row = pixels + std::ptrdiff_t(y) * width;
        for (std::int32_t x = 0; x < width; ++x)
            put16(out, row[x]);
        for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 2; pad < stride; ++pad)
            out.push_back(0);
    }

    std::string temporary = path + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = write_all(fd, out.data(), out.size()) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace corvane

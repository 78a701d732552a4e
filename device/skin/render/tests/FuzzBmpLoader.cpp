// Feeds arbitrary bytes to the BMP decoder: it must answer a picture or nothing, and never read
// outside the input.
#include "device/skin/render/BmpFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string why;
    std::unique_ptr<corvane::Surface> surface = corvane::decode_bmp_565(data, size, &why);
    if (surface) {
        // Touch every pixel so a short allocation would show.
        std::uint32_t sum = 0;
        for (std::int32_t y = 0; y < surface->height(); ++y)
            for (std::int32_t x = 0; x < surface->width(); ++x)
                sum += surface->pixel(x, y);
        (void)sum;
    }
    return 0;
}

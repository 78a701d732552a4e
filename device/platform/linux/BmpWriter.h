#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// Writes packed RGB 565 rows (row 0 at the top) as a bottom-up 16-bit BI_BITFIELDS BMP. The file
// is written to a temporary name, flushed and renamed, so a failure never leaves half a file.
[[nodiscard]] bool write_bmp_565(
    const std::string& path, const std::uint16_t* pixels, std::int32_t width, std::int32_t height);

} // namespace corvane

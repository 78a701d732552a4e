#pragma once

#include <cstdint>
#include <string>

namespace corvane {

// Writes RGB 565 pixels (`stride` pixels per row) as an 8-bit RGB PNG, through a temporary file
// that replaces `path` only when complete. False on any failure; no partial file is left.
[[nodiscard]] bool write_png_565(const std::string& path, const std::uint16_t* pixels,
    std::int32_t width, std::int32_t height, std::int32_t stride);

} // namespace corvane

#pragma once

#include "common/base/Bmp565.h"
#include "common/base/Text.h"
#include "device/skin/render/Bitmap.h"
#include "device/skin/render/Surface.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

// Loads a 16-bit BMP as RGB 565 (whatever its compression field says), rows bottom-up for a
// positive height and top-down for a negative one. On failure logs
// "load_565 <path> is not 16bit bitmap" (other bit counts) or a line naming the damage, and
// answers the empty picture. Never reads outside the file.
Bitmap load_565(WStringView path);

// The same from bytes in memory; on failure answers nothing and, when `why` is given, sets it to
// a short reason ("not 16bit" for another bit count).
std::unique_ptr<Surface> decode_bmp_565(
    const std::uint8_t* data, std::size_t size, std::string* why = nullptr);

// Writes the surface as a bottom-up 16-bit BI_BITFIELDS BMP (masks 0xF800, 0x07E0, 0x001F, pixel
// data at offset 70, rows padded to 4 bytes). False when the sink accepts fewer bytes than asked.
[[nodiscard]] bool save_bmp_565(const Surface& surface, ByteSink& sink);

} // namespace corvane

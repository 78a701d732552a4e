#pragma once

#include "SkinWriter.h"

#include <string>

namespace skinc {

// Converts one piece of art (PNG, or a 16-bit BMP) to the 16-bit BMP the device loads and writes
// it to `output` (through a temporary file renamed into place). PNG pixels with alpha below 128
// become the transparent pixel 0xF81F; every other pixel is opaque and gets the lowest green
// bit set, as the device's blenders expect. Throws CompileError; answers the picture's size.
PictureSize convert_art(const std::string& input, const std::string& output);

// Writes bytes to `path` through a temporary file beside it, so a failure never leaves a
// half-written file. Throws CompileError.
void write_file(const std::string& path, const void* bytes, std::size_t size);

} // namespace skinc

#pragma once

#include "SkinSource.h"

#include <cstdint>
#include <map>
#include <vector>

namespace skinc {

struct PictureSize {
    std::int32_t width { 0 };
    std::int32_t height { 0 };
};

// Lays the source out in the compiled format: header, property names (all within the first
// 64 KiB), resource text block, and the dictionary as a balanced binary search tree of entries,
// each followed by its node record and the records of its descendants. Throws CompileError
// for anything the format cannot hold. `pictures` gives the size of every picture the source
// names, for references that cover the whole picture.
std::vector<std::uint8_t> write_skin(
    const Source& source, const std::map<std::string, PictureSize>& pictures);

// Every picture name the source uses, in first-use order.
std::vector<std::string> picture_names(const Source& source);

} // namespace skinc

#pragma once

#include "common/base/Text.h"
#include "device/core/SharedBuffer.h"
#include "device/skin/render/Bitmap.h"
#include "device/skin/render/FontRep.h"
#include "device/skin/skin/Node.h"
#include "device/skin/skin/SkinFormat.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane {

// What one successful skin load holds: the validated file image, read in place, and the
// picture, font and string tables built from it. Every offset inside the image has been checked
// by SkinValidator, so the reads below need no bounds checks of their own.
struct SkinContent {
    SharedBuffer image;
    std::int32_t scale_shift { 0 };
    std::vector<ImageRef> pictures;
    std::vector<Font> fonts;
    std::vector<WString> strings;

    const std::uint8_t* data() const { return image.data(); }

    Node make_node(std::uint32_t offset) const { return Node(this, offset); }
    std::optional<Node> find_node(WStringView name) const;

    // Offset of the record named `name` in the node's array of that kind, or nothing.
    std::optional<std::uint32_t> find_property(
        std::uint32_t node, skin_format::PropertyKind kind, WStringView name) const;
    std::uint32_t property_count(std::uint32_t node, skin_format::PropertyKind kind) const;
    std::uint32_t child_count(std::uint32_t node) const;
    std::uint32_t child_offset(std::uint32_t node, std::uint32_t index) const;
};

// A zero-terminated UTF-16LE string of a validated image.
WString read_skin_string(const std::uint8_t* data, std::uint32_t offset);

} // namespace corvane

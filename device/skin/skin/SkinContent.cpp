#include "device/skin/skin/SkinContent.h"

#include "device/skin/skin/SkinValidator.h"

namespace corvane {

using namespace skin_format;

WString read_skin_string(const std::uint8_t* data, std::uint32_t offset)
{
    WString text;
    for (const std::uint8_t* p = data + offset;; p += 2) {
        char16_t unit = static_cast<char16_t>(read_u16(p));
        if (!unit)
            return text;
        text.push_back(unit);
    }
}

std::optional<Node> SkinContent::find_node(WStringView name) const
{
    // The dictionary is a binary search tree stored in the file; the validator made sure it
    // has no cycles, so the walk ends.
    std::uint32_t entry = read_u32(data() + root_entry_at);
    while (entry != no_offset) {
        const std::uint8_t* e = data() + entry;
        int order = compare_skin_name(name, data() + read_u32(e + 8));
        if (order == 0)
            return make_node(entry + entry_header_size);
        entry = read_u32(order < 0 ? e : e + 4);
    }
    return std::nullopt;
}

std::uint32_t SkinContent::property_count(std::uint32_t node, PropertyKind kind) const
{
    auto index = static_cast<std::size_t>(kind);
    std::uint32_t begin = read_u16(data() + node + 2 * index);
    std::uint32_t end = read_u16(data() + node + 2 * index + 2);
    return (end - begin) / record_size[index];
}

std::optional<std::uint32_t> SkinContent::find_property(
    std::uint32_t node, PropertyKind kind, WStringView name) const
{
    auto index = static_cast<std::size_t>(kind);
    std::uint32_t begin = node + read_u16(data() + node + 2 * index);
    std::uint32_t size = record_size[index];
    std::uint32_t low = 0;
    std::uint32_t high = property_count(node, kind);
    while (low != high) {
        std::uint32_t middle = (low + high) / 2;
        std::uint32_t record = begin + middle * size;
        int order = compare_skin_name(name, data() + read_u16(data() + record));
        if (order == 0)
            return record;
        if (order < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return std::nullopt;
}

std::uint32_t SkinContent::child_count(std::uint32_t node) const
{
    return read_u16(data() + node + child_count_at);
}

std::uint32_t SkinContent::child_offset(std::uint32_t node, std::uint32_t index) const
{
    return read_u32(data() + node + node_header_size + 4 * index);
}

} // namespace corvane

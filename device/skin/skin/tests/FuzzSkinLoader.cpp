// Feeds arbitrary bytes to the skin checks and, when they pass, reads every node, property and
// child in place, as building elements would. Nothing may read outside the image. The seed
// (tests/fuzz-seeds/fuzz_skin_loader) is a compiled skin with every property kind, nested and
// shared names, so mutations reach deep into the checks.
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinContent.h"
#include "device/skin/skin/SkinFormat.h"
#include "device/skin/skin/SkinValidator.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;
using namespace corvane::skin_format;

namespace {

void visit(const Properties& properties, const SkinContent& content, const Node& node)
{
    for (const char16_t* name : { u"id", u"type", u"border_min", u"color", u"font", u"src", u"" }) {
        (void)properties.get_integer(node, name, 0);
        (void)properties.get_point(node, name, {});
        (void)properties.get_string(node, name, Properties::empty_string());
        (void)properties.get_picture(node, name, ImageRef {});
        (void)properties.get_color(node, name, {});
        (void)properties.get_font(node, name, Properties::no_font());
    }
    // Look every stored name up again in its own array.
    const std::uint8_t* data = content.data();
    for (std::size_t kind = 0; kind < property_kind_count; ++kind) {
        std::uint32_t begin = read_u16(data + node.offset() + 2 * kind);
        std::uint32_t count
            = content.property_count(node.offset(), static_cast<PropertyKind>(kind));
        for (std::uint32_t i = 0; i < count; ++i) {
            WString name = read_skin_string(
                data, read_u16(data + node.offset() + begin + i * record_size[kind]));
            (void)content.find_property(node.offset(), static_cast<PropertyKind>(kind), name);
        }
    }
    for (std::uint32_t i = 0; i < properties.child_count(node); ++i)
        visit(properties, content, properties.child(node, i));
}

void check(const std::uint8_t* bytes, std::size_t size)
{
    if (size < header_size || size > 1 << 20)
        return;
    SkinContent content;
    content.image = SharedBuffer(bytes, static_cast<std::uint32_t>(size));
    content.scale_shift = size % 3;
    SkinValidator validator(content.data(), content.image.size());
    if (!validator.validate())
        return;
    const SkinResourceLayout& resources = validator.resources();
    content.pictures.resize(resources.picture_names.size());
    content.fonts.resize(resources.font_descriptions.size());
    for (std::uint32_t offset : resources.strings)
        content.strings.push_back(read_skin_string(content.data(), offset));
    Properties properties;
    std::vector<std::uint32_t> entries;
    if (std::uint32_t root = read_u32(content.data() + root_entry_at); root != no_offset)
        entries.push_back(root);
    while (!entries.empty()) {
        std::uint32_t entry = entries.back();
        entries.pop_back();
        WString name = read_skin_string(content.data(), read_u32(content.data() + entry + 8));
        (void)content.find_node(name);
        visit(properties, content, content.make_node(entry + entry_header_size));
        for (std::uint32_t link :
            { read_u32(content.data() + entry), read_u32(content.data() + entry + 4) }) {
            if (link != no_offset)
                entries.push_back(link);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    check(bytes, size);
    return 0;
}

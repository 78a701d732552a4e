#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace corvane {

// Where the resource strings of a sound skin image lie.
struct SkinResourceLayout {
    std::vector<std::uint32_t> picture_names; // offsets of the zero-terminated names
    std::vector<std::uint32_t> font_descriptions;
    std::vector<std::uint32_t> strings;
};

// Checks a whole skin image before anything reads it in place: every offset, count, record
// array and string must lie inside the image, names inside the first 64 KiB, indexes inside
// their tables, property arrays sorted, the dictionary a tree and the child links free of
// cycles, with bounded nesting and element count. Once an image passes, queries may read it
// without further checks. The caller has checked the size and the magic.
class SkinValidator {
public:
    // Deepest nesting of child nodes, and most elements one node may expand to.
    static constexpr std::uint32_t max_depth = 200;
    static constexpr std::uint32_t max_expansion = 200000;

    SkinValidator(const std::uint8_t* data, std::uint32_t size);

    // True when the image is sound; otherwise why() says what is wrong.
    [[nodiscard]] bool validate();
    const std::string& why() const { return m_why; }
    const SkinResourceLayout& resources() const { return m_resources; }

private:
    struct NodeState {
        bool done { false };
        std::uint32_t height { 0 };
        std::uint32_t expansion { 0 };
    };

    bool fail(std::string why);
    bool check_text_block();
    bool check_dictionary();
    bool check_node_tree(std::uint32_t node);
    bool check_node_record(std::uint32_t node);
    bool check_name(std::uint32_t offset);
    // Offset just past the terminator of the string at `offset`, or 0 when it runs off the end.
    std::uint32_t string_end(std::uint32_t offset) const;
    int compare_names(std::uint32_t a, std::uint32_t b) const;

    const std::uint8_t* m_data;
    std::uint32_t m_size;
    std::uint32_t m_picture_count { 0 };
    std::uint32_t m_font_count { 0 };
    std::uint32_t m_string_count { 0 };
    SkinResourceLayout m_resources;
    std::vector<std::uint8_t> m_name_state; // per name offset: 0 unchecked, 1 sound
    std::unordered_map<std::uint32_t, NodeState> m_nodes; // by node offset
    std::string m_why;
};

// Compares a sought name with a zero-terminated UTF-16LE name inside a validated image, as
// sequences of code units (a proper prefix sorts first).
int compare_skin_name(WStringView sought, const std::uint8_t* name);

} // namespace corvane

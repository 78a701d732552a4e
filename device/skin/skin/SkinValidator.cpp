#include "device/skin/skin/SkinValidator.h"

#include "device/skin/skin/SkinFormat.h"

#include <algorithm>

namespace corvane {

using namespace skin_format;

namespace {

    std::string hex(std::uint32_t value)
    {
        static const char digits[] = "0123456789abcdef";
        std::string text = "0x";
        bool started = false;
        for (int shift = 28; shift >= 0; shift -= 4) {
            unsigned digit = (value >> shift) & 0xF;
            if (digit || started || shift == 0) {
                text += digits[digit];
                started = true;
            }
        }
        return text;
    }

} // namespace

int compare_skin_name(WStringView sought, const std::uint8_t* name)
{
    for (std::size_t i = 0;; ++i, name += 2) {
        char16_t unit = static_cast<char16_t>(read_u16(name));
        if (i == sought.size())
            return unit == 0 ? 0 : -1;
        if (unit == 0)
            return 1;
        if (sought[i] != unit)
            return sought[i] < unit ? -1 : 1;
    }
}

SkinValidator::SkinValidator(const std::uint8_t* data, std::uint32_t size)
    : m_data(data)
    , m_size(size)
    , m_name_state(std::min(size, name_area_size), 0)
{
}

bool SkinValidator::fail(std::string why)
{
    if (m_why.empty())
        m_why = std::move(why);
    return false;
}

bool SkinValidator::validate()
{
    if (m_size < header_size)
        return fail("shorter than its header");
    m_picture_count = read_u32(m_data + picture_count_at);
    m_font_count = read_u32(m_data + font_count_at);
    m_string_count = read_u32(m_data + string_count_at);
    return check_text_block() && check_dictionary();
}

std::uint32_t SkinValidator::string_end(std::uint32_t offset) const
{
    if (offset >= m_size)
        return 0;
    for (std::uint32_t at = offset; m_size - at >= 2; at += 2) {
        if (m_data[at] == 0 && m_data[at + 1] == 0)
            return at + 2;
    }
    return 0;
}

bool SkinValidator::check_text_block()
{
    std::uint32_t at = read_u32(m_data + text_block_at);
    // Every string takes at least its two-byte terminator, so the counts are bounded by the
    // room left after the block's start; checking that first keeps hostile counts from making
    // us reserve or loop without end.
    std::uint64_t total = std::uint64_t(m_picture_count) + m_font_count + m_string_count;
    if (total && (at >= m_size || total * 2 > m_size - at))
        return fail("resource text block at " + hex(at) + " cannot hold " + std::to_string(total)
            + " strings");
    std::vector<std::uint32_t>* groups[]
        = { &m_resources.picture_names, &m_resources.font_descriptions, &m_resources.strings };
    std::uint32_t counts[] = { m_picture_count, m_font_count, m_string_count };
    for (int group = 0; group < 3; ++group) {
        groups[group]->reserve(counts[group]);
        for (std::uint32_t i = 0; i < counts[group]; ++i) {
            std::uint32_t end = string_end(at);
            if (!end)
                return fail("resource string " + std::to_string(groups[group]->size()) + " at "
                    + hex(at) + " runs past the end of the file");
            groups[group]->push_back(at);
            at = end;
        }
    }
    return true;
}

bool SkinValidator::check_name(std::uint32_t offset)
{
    if (offset >= m_name_state.size())
        return fail("name offset " + hex(offset) + " lies outside the file");
    if (m_name_state[offset])
        return true;
    if (!string_end(offset))
        return fail("name at " + hex(offset) + " runs past the end of the file");
    m_name_state[offset] = 1;
    return true;
}

int SkinValidator::compare_names(std::uint32_t a, std::uint32_t b) const
{
    // Both names have been checked, so each ends inside the file.
    for (;; a += 2, b += 2) {
        std::uint16_t ua = read_u16(m_data + a);
        std::uint16_t ub = read_u16(m_data + b);
        if (ua != ub)
            return ua < ub ? -1 : 1;
        if (ua == 0)
            return 0;
    }
}

bool SkinValidator::check_dictionary()
{
    std::uint32_t root = read_u32(m_data + root_entry_at);
    if (root == no_offset)
        return true;
    std::vector<std::uint32_t> pending { root };
    std::unordered_map<std::uint32_t, bool> seen;
    while (!pending.empty()) {
        std::uint32_t entry = pending.back();
        pending.pop_back();
        if (!seen.emplace(entry, true).second)
            return fail("dictionary entry " + hex(entry) + " is reached twice");
        if (entry > m_size || m_size - entry < entry_header_size + node_header_size)
            return fail("dictionary entry " + hex(entry) + " lies outside the file");
        // Entry names are 32-bit offsets: unlike property names they may lie anywhere.
        std::uint32_t name = read_u32(m_data + entry + 8);
        if (!string_end(name))
            return fail("dictionary name at " + hex(name) + " runs past the end of the file");
        if (!check_node_tree(entry + entry_header_size))
            return false;
        for (std::uint32_t link : { read_u32(m_data + entry), read_u32(m_data + entry + 4) }) {
            if (link != no_offset)
                pending.push_back(link);
        }
    }
    return true;
}

bool SkinValidator::check_node_record(std::uint32_t node)
{
    if (node > m_size || m_size - node < node_header_size)
        return fail("node " + hex(node) + " lies outside the file");
    std::uint32_t starts[property_kind_count + 1];
    for (std::size_t i = 0; i <= property_kind_count; ++i)
        starts[i] = read_u16(m_data + node + 2 * i);
    std::uint32_t children = read_u16(m_data + node + child_count_at);
    if (std::uint64_t(node) + node_header_size + 4ull * children > m_size)
        return fail("child table of node " + hex(node) + " runs past the end of the file");
    if (std::uint64_t(node) + starts[property_kind_count] > m_size)
        return fail("properties of node " + hex(node) + " run past the end of the file");
    // Every array's bounds before any record is read: only then does each array lie below the
    // end of the colours, which was checked against the file.
    for (std::size_t kind = 0; kind < property_kind_count; ++kind) {
        if (starts[kind + 1] < starts[kind]
            || (starts[kind + 1] - starts[kind]) % record_size[kind])
            return fail("property array " + std::to_string(kind) + " of node " + hex(node)
                + " is malformed");
    }
    for (std::size_t kind = 0; kind < property_kind_count; ++kind) {
        std::uint32_t begin = starts[kind];
        std::uint32_t end = starts[kind + 1];
        std::uint32_t previous_name = no_offset;
        for (std::uint32_t at = node + begin; at < node + end; at += record_size[kind]) {
            const std::uint8_t* record = m_data + at;
            std::uint32_t name = read_u16(record);
            if (!check_name(name))
                return false;
            if (previous_name != no_offset && compare_names(previous_name, name) > 0)
                return fail("properties of node " + hex(node) + " are not sorted by name");
            previous_name = name;
            switch (static_cast<PropertyKind>(kind)) {
            case PropertyKind::Font:
                if (read_u32(record + 4) >= m_font_count)
                    return fail("font index out of range in node " + hex(node));
                break;
            case PropertyKind::String:
                if (read_u16(record + 2) >= m_string_count)
                    return fail("string index out of range in node " + hex(node));
                break;
            case PropertyKind::Picture:
                if (record[18] >= m_picture_count)
                    return fail("picture index out of range in node " + hex(node));
                break;
            default:
                break;
            }
        }
    }
    return true;
}

bool SkinValidator::check_node_tree(std::uint32_t top)
{
    // Depth-first without recursion, so a hostile nesting cannot exhaust the stack; a node on
    // the current path that is reached again is a cycle.
    struct Frame {
        std::uint32_t node;
        std::uint32_t next_child;
        std::uint32_t child_count;
        std::uint32_t height;
        std::uint64_t expansion;
    };
    auto enter = [&](std::uint32_t node, std::vector<Frame>& path) -> bool {
        auto [it, fresh] = m_nodes.try_emplace(node);
        if (!fresh)
            return it->second.done ? true : fail("node " + hex(node) + " is its own descendant");
        if (path.size() >= max_depth)
            return fail("nodes are nested more than " + std::to_string(max_depth) + " deep");
        if (!check_node_record(node))
            return false;
        path.push_back({ node, 0, read_u16(m_data + node + child_count_at), 0, 1 });
        return true;
    };
    std::vector<Frame> path;
    auto existing = m_nodes.find(top);
    if (existing != m_nodes.end() && existing->second.done)
        return true;
    if (!enter(top, path))
        return false;
    while (!path.empty()) {
        Frame& frame = path.back();
        if (frame.next_child < frame.child_count) {
            std::uint32_t child
                = read_u32(m_data + frame.node + node_header_size + 4 * frame.next_child++);
            auto known = m_nodes.find(child);
            if (known != m_nodes.end() && known->second.done) {
                frame.height = std::max(frame.height, known->second.height);
                frame.expansion += known->second.expansion;
            } else if (!enter(child, path)) {
                return false;
            }
            continue;
        }
        if (frame.expansion > max_expansion)
            return fail("node " + hex(frame.node) + " expands to more than "
                + std::to_string(max_expansion) + " elements");
        if (frame.height + 1 > max_depth)
            return fail("nodes are nested more than " + std::to_string(max_depth) + " deep");
        NodeState& state = m_nodes[frame.node];
        state.done = true;
        state.height = frame.height + 1;
        state.expansion = static_cast<std::uint32_t>(frame.expansion);
        path.pop_back();
        if (!path.empty()) {
            path.back().height = std::max(path.back().height, state.height);
            path.back().expansion += state.expansion;
        }
    }
    return true;
}

} // namespace corvane

#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Writes small compiled skins for tests that run the program: top-level nodes with integer,
// string and colour properties and children, in the file layout the skin loader reads.
namespace corvane::test {

struct SkinNode {
    std::u16string name; // top-level nodes only
    std::vector<std::pair<std::u16string, std::uint32_t>> integers;
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    std::vector<std::pair<std::u16string, std::array<std::uint8_t, 3>>> colors;
    std::vector<SkinNode> children;
};

class SkinFileWriter {
public:
    std::vector<std::uint8_t> write(std::vector<SkinNode> top_level)
    {
        std::sort(top_level.begin(), top_level.end(),
            [](const SkinNode& a, const SkinNode& b) { return a.name < b.name; });
        for (const SkinNode& node : top_level)
            collect(node, true);
        m_out.assign(92, 0);
        const char16_t magic[4] = { 0x0421, 0x043A, 0x0438, 0x043D };
        for (int i = 0; i < 4; ++i)
            patch16(2 * i, magic[i]);
        patch32(84, static_cast<std::uint32_t>(m_out.size()));
        patch32(88, static_cast<std::uint32_t>(m_strings.size()));
        for (const std::u16string& text : m_strings)
            put_text(text);
        for (auto& [name, offset] : m_names) {
            offset = static_cast<std::uint32_t>(m_out.size());
            put_text(name);
        }
        std::uint32_t previous_entry = 0xFFFFFFFF;
        patch32(72, 0xFFFFFFFF);
        // A chain sorted ascending is a valid (if unbalanced) search tree: every later entry
        // hangs off the "after" link of the one before.
        for (const SkinNode& node : top_level) {
            std::uint32_t entry = static_cast<std::uint32_t>(m_out.size());
            put32(0xFFFFFFFF);
            put32(0xFFFFFFFF);
            put32(m_names.at(node.name));
            emit_node(node);
            if (previous_entry == 0xFFFFFFFF)
                patch32(72, entry);
            else
                patch32(previous_entry + 4, entry);
            previous_entry = entry;
        }
        return m_out;
    }

private:
    void collect(const SkinNode& node, bool top)
    {
        if (top)
            m_names.emplace(node.name, 0);
        for (const auto& property : node.integers)
            m_names.emplace(property.first, 0);
        for (const auto& property : node.colors)
            m_names.emplace(property.first, 0);
        for (const auto& [name, value] : node.strings) {
            m_names.emplace(name, 0);
            if (std::find(m_strings.begin(), m_strings.end(), value) == m_strings.end())
                m_strings.push_back(value);
        }
        for (const SkinNode& child : node.children)
            collect(child, false);
    }

    template<typename T> static std::vector<T> sorted(std::vector<T> items)
    {
        std::sort(
            items.begin(), items.end(), [](const T& a, const T& b) { return a.first < b.first; });
        return items;
    }

    std::uint32_t emit_node(const SkinNode& node)
    {
        std::uint32_t start = static_cast<std::uint32_t>(m_out.size());
        auto integers = sorted(node.integers);
        auto strings = sorted(node.strings);
        auto colors = sorted(node.colors);
        std::uint16_t at = static_cast<std::uint16_t>(16 + 4 * node.children.size());
        std::uint16_t integer_start = at;
        std::uint16_t string_start
            = static_cast<std::uint16_t>(integer_start + 8 * integers.size());
        std::uint16_t color_start = static_cast<std::uint16_t>(string_start + 4 * strings.size());
        std::uint16_t end = static_cast<std::uint16_t>(color_start + 8 * colors.size());
        // integers, fonts, points, strings, pictures, colours, end
        for (std::uint16_t value : { integer_start, string_start, string_start, string_start,
                 color_start, color_start, end })
            put16(value);
        put16(static_cast<std::uint16_t>(node.children.size()));
        std::uint32_t child_table = static_cast<std::uint32_t>(m_out.size());
        for (std::size_t i = 0; i < node.children.size(); ++i)
            put32(0);
        for (const auto& [name, value] : integers) {
            put16(static_cast<std::uint16_t>(m_names.at(name)));
            put16(0);
            put32(value);
        }
        for (const auto& [name, value] : strings) {
            put16(static_cast<std::uint16_t>(m_names.at(name)));
            put16(static_cast<std::uint16_t>(
                std::find(m_strings.begin(), m_strings.end(), value) - m_strings.begin()));
        }
        for (const auto& [name, rgb] : colors) {
            put16(static_cast<std::uint16_t>(m_names.at(name)));
            put16(0);
            m_out.insert(m_out.end(), { rgb[0], rgb[1], rgb[2], 0 });
        }
        for (std::size_t i = 0; i < node.children.size(); ++i)
            patch32(child_table + 4 * static_cast<std::uint32_t>(i), emit_node(node.children[i]));
        return start;
    }

    void put_text(const std::u16string& text)
    {
        for (char16_t c : text)
            put16(c);
        put16(0);
    }
    void put16(std::uint32_t value)
    {
        m_out.push_back(static_cast<std::uint8_t>(value));
        m_out.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void put32(std::uint32_t value)
    {
        put16(value & 0xFFFF);
        put16(value >> 16);
    }
    void patch16(std::uint32_t at, std::uint32_t value)
    {
        m_out[at] = static_cast<std::uint8_t>(value);
        m_out[at + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    void patch32(std::uint32_t at, std::uint32_t value)
    {
        patch16(at, value & 0xFFFF);
        patch16(at + 2, value >> 16);
    }

    std::vector<std::uint8_t> m_out;
    std::vector<std::u16string> m_strings;
    std::map<std::u16string, std::uint32_t> m_names;
};

} // namespace corvane::test

#pragma once

#include <cstdint>

namespace corvane {

struct SkinContent;

// A node record inside a loaded skin's file image. A node is only a position: every question
// about it goes to the Properties that found it. Valid while that skin stays loaded; elements
// read their nodes while they load and keep nothing of them.
class Node {
public:
    Node() = default;

    bool is_null() const { return m_content == nullptr; }
    // Offset of the node record from the start of the file.
    std::uint32_t offset() const { return m_offset; }
    friend bool operator==(const Node&, const Node&) = default;

private:
    friend class Properties;
    friend struct SkinContent;
    Node(const SkinContent* content, std::uint32_t offset)
        : m_content(content)
        , m_offset(offset)
    {
    }

    const SkinContent* m_content { nullptr }; // Not owned: the loaded skin.
    std::uint32_t m_offset { 0 };
};

} // namespace corvane

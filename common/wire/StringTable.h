#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

namespace corvane {

// The string table of one request or reply being written: each distinct text once, referred
// to by its 1-based position. Both writers share this lookup so that saving the same text
// twice always gives the same reference.
class StringTable {
public:
    // The position of the text, appending it when absent.
    std::int32_t intern(WStringView text);

    const std::vector<WString>& strings() const { return m_strings; }
    std::size_t size() const { return m_strings.size(); }
    void clear();

private:
    // Looks texts up by view, so a text already in the table costs no allocation.
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(WStringView text) const { return std::hash<WStringView> {}(text); }
    };

    std::vector<WString> m_strings;
    std::unordered_map<WString, std::int32_t, Hash, std::equal_to<>> m_positions;
};

} // namespace corvane

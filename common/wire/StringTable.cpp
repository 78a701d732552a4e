#include "common/wire/StringTable.h"

namespace corvane {

std::int32_t StringTable::intern(WStringView text)
{
    if (auto found = m_positions.find(text); found != m_positions.end())
        return found->second;
    auto [entry, added] = m_positions.try_emplace(WString(text), 0);
    if (added) {
        m_strings.push_back(entry->first);
        entry->second = static_cast<std::int32_t>(m_strings.size());
    }
    return entry->second;
}

void StringTable::clear()
{
    m_strings.clear();
    m_positions.clear();
}

} // namespace corvane

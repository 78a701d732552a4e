#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <optional>

namespace corvane {

// A first-in first-out queue of task ids that holds each id once. The head is removed only
// after its reply was applied, so a failed call is sent again.
class IdQueue {
public:
    void push(std::int32_t id)
    {
        if (std::find(m_ids.begin(), m_ids.end(), id) == m_ids.end())
            m_ids.push_back(id);
    }
    std::optional<std::int32_t> front() const
    {
        if (m_ids.empty())
            return std::nullopt;
        return m_ids.front();
    }
    std::optional<std::int32_t> pop()
    {
        auto id = front();
        if (id)
            m_ids.pop_front();
        return id;
    }
    bool contains(std::int32_t id) const
    {
        return std::find(m_ids.begin(), m_ids.end(), id) != m_ids.end();
    }
    bool is_empty() const { return m_ids.empty(); }
    std::size_t size() const { return m_ids.size(); }
    void clear() { m_ids.clear(); }

private:
    std::deque<std::int32_t> m_ids;
};

} // namespace corvane

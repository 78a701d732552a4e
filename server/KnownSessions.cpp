#include "server/KnownSessions.h"

#include <algorithm>

namespace corvane::server {

std::optional<KnownSessions::Entry> KnownSessions::find(const Hash& hash) const
{
    std::lock_guard lock(m_lock);
    auto found = m_entries.find(hash);
    if (found == m_entries.end())
        return std::nullopt;
    return found->second;
}

void KnownSessions::remember(const Hash& hash, Entry entry)
{
    std::lock_guard lock(m_lock);
    if (m_entries.size() >= max_entries && !m_entries.contains(hash))
        m_entries.clear();
    Entry& kept = m_entries[hash];
    kept.user_id = entry.user_id;
    kept.last_use = std::max(kept.last_use, entry.last_use); // Answers may come out of order.
}

void KnownSessions::forget(const Hash& hash)
{
    std::lock_guard lock(m_lock);
    m_entries.erase(hash);
}

} // namespace corvane::server

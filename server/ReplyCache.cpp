#include "server/ReplyCache.h"

namespace corvane::server {

std::shared_ptr<const std::string> ReplyCache::find(
    const std::string& request, const ReadState& state, std::int64_t now_ms)
{
    std::lock_guard lock(m_lock);
    auto found = m_entries.find(request);
    if (found == m_entries.end())
        return nullptr;
    const Entry& entry = found->second;
    if (entry.state.user_id != state.user_id || entry.state.seq != state.seq
        || entry.state.stamp != state.stamp || now_ms - entry.stored_at >= max_age_ms
        || now_ms < entry.stored_at)
        return nullptr;
    return entry.reply;
}

void ReplyCache::store(
    const std::string& request, const ReadState& state, std::int64_t now_ms, std::string reply)
{
    if (request.size() > max_key_bytes || reply.size() > max_bytes / 16)
        return;
    std::lock_guard lock(m_lock);
    std::size_t size = request.size() + reply.size();
    auto found = m_entries.find(request);
    if (found != m_entries.end()) {
        m_bytes -= found->first.size() + found->second.reply->size();
        m_entries.erase(found);
    }
    // Simple and bounded: when full, start afresh; the hot entries come back at once.
    if (m_bytes + size > max_bytes) {
        m_entries.clear();
        m_bytes = 0;
    }
    m_entries.emplace(
        request, Entry { state, now_ms, std::make_shared<const std::string>(std::move(reply)) });
    m_bytes += size;
}

} // namespace corvane::server

#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace corvane::server {

// What a read's reply depends on besides its request: every write to tasks, permissions or
// invitations takes a new global sequence value, and the caller's own views move the caller's
// stamp. Time matters only through invitation expiry, hence the age limit.
struct ReadState {
    int user_id { 0 };
    std::int64_t seq { 0 };
    int stamp { 0 };
};

// Replies of the heavy reads (a folder's children, a task with its ancestors, a list page),
// kept while the state they were computed from has not moved on. A reply computed after its
// state was taken reflects that state or a newer one, so storing it under the older state can
// only cause a miss later, never a stale answer.
// Thread safety: any thread.
class ReplyCache {
public:
    static constexpr std::int64_t max_age_ms = 2000;
    static constexpr std::size_t max_bytes = 32u << 20;
    static constexpr std::size_t max_key_bytes = 4096;

    std::shared_ptr<const std::string> find(
        const std::string& request, const ReadState& state, std::int64_t now_ms);
    void store(
        const std::string& request, const ReadState& state, std::int64_t now_ms, std::string reply);

private:
    struct Entry {
        ReadState state;
        std::int64_t stored_at { 0 };
        std::shared_ptr<const std::string> reply;
    };

    std::mutex m_lock;
    std::unordered_map<std::string, Entry> m_entries;
    std::size_t m_bytes { 0 };
};

} // namespace corvane::server

#pragma once

#include "server/Storage.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace corvane::server {

// Sessions this process has found valid, with their user (a session never changes hands) and
// when they were last known in use. A read of a known session goes out before its session
// check has answered; the store still checks, so a session ended anywhere ends here too.
// Thread safety: any thread.
class KnownSessions {
public:
    struct Entry {
        int user_id { 0 };
        std::int64_t last_use { 0 };
    };
    // Beyond this many the memory starts afresh: a forgotten session costs one round trip.
    static constexpr std::size_t max_entries = 1u << 16;

    std::optional<Entry> find(const Hash& hash) const;
    void remember(const Hash& hash, Entry entry);
    void forget(const Hash& hash);

private:
    mutable std::mutex m_lock;
    std::unordered_map<Hash, Entry> m_entries;
};

} // namespace corvane::server

#pragma once

#include "server/Storage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::server {

// Failed attempts per key (an account, a client address) in a sliding window, kept in the
// store: every instance on one database shares them, and a restart forgives nothing. Keys
// are stored as digests, so a long account name costs no more than a short one.
// An attempt is counted before the slow password check and taken back when it succeeds, so
// parallel guessers cannot slip past the limit while their checks run.
// Thread safety: any thread (each call is its own write transaction).
class Throttle {
public:
    Throttle(Storage& storage, int limit, std::int64_t window_ms)
        : m_storage(storage)
        , m_limit(limit)
        , m_window_ms(window_ms)
    {
    }

    struct Reservation {
        std::vector<std::int64_t> ids;
    };

    // Counts one attempt under every key; nothing (and nothing counted) when any key has
    // reached the limit in the window.
    std::optional<Reservation> reserve(const std::vector<std::string>& keys, std::int64_t now);
    // The attempt succeeded: it no longer counts.
    void release(const Reservation& reservation);

    std::int64_t window_ms() const { return m_window_ms; }

private:
    Storage& m_storage; // Outlives the throttle.
    int m_limit;
    std::int64_t m_window_ms;
};

} // namespace corvane::server

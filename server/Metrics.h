#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace corvane::server {

// What the service counts for its operator, written out in the Prometheus text format.
// Thread safety: every function may be called from any pool thread at once.
class Metrics {
public:
    // One finished call: the method named in it ("?" when unreadable), how it ended ("ok",
    // "exception", "malformed", "failure") and how long it took.
    void record_call(const std::string& method, const std::string& result, double seconds);
    void count_database_error() { ++m_database_errors; }
    void count_reply_cache_hit() { ++m_reply_cache_hits; }
    void count_idempotent_replay() { ++m_idempotent_replays; }

    // The number of live sessions, or nothing when the database does not answer. Called on
    // every scrape and health check; set once before the listener starts.
    using SessionProbe = std::function<std::optional<std::int64_t>()>;
    void set_session_probe(SessionProbe probe) { m_session_probe = std::move(probe); }
    std::optional<std::int64_t> live_sessions() const;
    // The waitNews calls parked now; set once before the listener starts.
    void set_waiter_probe(std::function<std::size_t()> probe) { m_waiter_probe = std::move(probe); }

    std::string render() const;

    static constexpr std::size_t max_series = 200;
    static constexpr std::array<double, 9> bucket_bounds { 0.0005, 0.001, 0.0025, 0.005, 0.01,
        0.025, 0.1, 0.5, 2.5 };

private:
    mutable std::mutex m_lock;
    std::map<std::pair<std::string, std::string>, std::uint64_t> m_calls; // Under m_lock.
    std::array<std::uint64_t, bucket_bounds.size()> m_buckets {}; // Under m_lock; not cumulative.
    std::uint64_t m_latency_count { 0 }; // Under m_lock.
    double m_latency_sum { 0 }; // Under m_lock.
    std::atomic<std::uint64_t> m_database_errors { 0 };
    std::atomic<std::uint64_t> m_reply_cache_hits { 0 };
    std::atomic<std::uint64_t> m_idempotent_replays { 0 };
    SessionProbe m_session_probe;
    std::function<std::size_t()> m_waiter_probe;
};

} // namespace corvane::server

#pragma once

#include "server/Storage.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace corvane::server {

// Holds the callers of waitNews without a thread each, and answers each one as soon as a change
// it may see lies past its cursor, or with its own cursor when its wait is over. One thread per
// process watches the highest sequence value in the store: changes made by this process wake it
// at once (notify_commit), those of other processes on the same store within one poll period.
// A waiter is checked against the store only when the sequence has moved past the value it was
// last checked at, so an idle service costs one small query per period, whatever the waiters.
// Thread safety: every operation from any thread. Answers run on the watcher's thread (or on
// the caller's, from stop()), never under the watcher's lock.
class NewsWatcher {
public:
    using Answer = std::function<void(std::int64_t cursor)>;

    NewsWatcher(Storage& storage, std::int64_t wait_ms, std::int64_t poll_ms);
    ~NewsWatcher(); // stop()
    NewsWatcher(const NewsWatcher&) = delete;
    NewsWatcher& operator=(const NewsWatcher&) = delete;

    void start();
    // `checked_seq` is the sequence value at which the caller found nothing for the user past
    // `cursor`; anything committed after it is looked at. `answer` runs exactly once.
    void add(int user_id, std::int64_t cursor, std::int64_t checked_seq, Answer answer);
    // A change was committed here: look now rather than at the next poll.
    void notify_commit();
    // Answers every waiter with its cursor and stops watching; later waiters are answered at once.
    void stop();

    std::size_t waiting() const;

private:
    using SteadyClock = std::chrono::steady_clock;
    struct Waiter {
        int user_id { 0 };
        std::int64_t cursor { 0 };
        std::int64_t checked_seq { 0 };
        SteadyClock::time_point deadline;
        Answer answer;
    };
    struct Ready {
        Answer answer;
        std::int64_t cursor { 0 };
    };

    void run();
    // One look at the store; the answers to give go into `ready`.
    void check(std::vector<Ready>& ready);

    Storage& m_storage; // Outlives us.
    std::chrono::milliseconds m_wait;
    std::chrono::milliseconds m_poll;
    mutable std::mutex m_lock;
    std::condition_variable m_wakeup;
    std::list<Waiter> m_waiters;
    bool m_poked { false };
    bool m_stopping { false };
    bool m_running { false };
    std::thread m_thread;
};

} // namespace corvane::server

#include "server/NewsWatcher.h"

#include "server/ServerLog.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace corvane::server {

NewsWatcher::NewsWatcher(Storage& storage, std::int64_t wait_ms, std::int64_t poll_ms)
    : m_storage(storage)
    , m_wait(wait_ms)
    , m_poll(poll_ms)
{
}

NewsWatcher::~NewsWatcher()
{
    stop();
}

void NewsWatcher::start()
{
    std::lock_guard lock(m_lock);
    if (m_running)
        return;
    m_stopping = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void NewsWatcher::add(int user_id, std::int64_t cursor, std::int64_t checked_seq, Answer answer)
{
    {
        std::lock_guard lock(m_lock);
        if (m_running && !m_stopping) {
            m_waiters.push_back(
                { user_id, cursor, checked_seq, SteadyClock::now() + m_wait, std::move(answer) });
            // Something may have been committed between the caller's look and now.
            m_poked = true;
            m_wakeup.notify_one();
            return;
        }
    }
    answer(cursor); // Shutting down: the client simply asks again.
}

void NewsWatcher::notify_commit()
{
    std::lock_guard lock(m_lock);
    m_poked = true;
    m_wakeup.notify_one();
}

void NewsWatcher::stop()
{
    {
        std::lock_guard lock(m_lock);
        if (!m_running)
            return;
        m_stopping = true;
    }
    m_wakeup.notify_one();
    if (m_thread.joinable())
        m_thread.join();
    std::list<Waiter> left;
    {
        std::lock_guard lock(m_lock);
        left.swap(m_waiters);
        m_running = false;
    }
    for (Waiter& waiter : left)
        waiter.answer(waiter.cursor);
}

std::size_t NewsWatcher::waiting() const
{
    std::lock_guard lock(m_lock);
    return m_waiters.size();
}

void NewsWatcher::run()
{
    std::unique_lock lock(m_lock);
    while (!m_stopping) {
        // Waits end in the order they began, so the first one is the next to expire.
        SteadyClock::time_point until = SteadyClock::now() + m_poll;
        if (!m_waiters.empty() && m_waiters.front().deadline < until)
            until = m_waiters.front().deadline;
        m_wakeup.wait_until(lock, until, [this] { return m_poked || m_stopping; });
        if (m_stopping)
            break;
        m_poked = false;
        bool idle = m_waiters.empty();
        lock.unlock();
        std::vector<Ready> ready;
        if (!idle)
            check(ready);
        for (Ready& one : ready)
            one.answer(one.cursor);
        ready.clear(); // The answers' captures go before the lock is taken again.
        lock.lock();
    }
}

void NewsWatcher::check(std::vector<Ready>& ready)
{
    struct Candidate {
        std::list<Waiter>::iterator waiter;
        int user_id;
        std::int64_t cursor;
        bool sure; // news is past the cursor without asking the store again
    };
    std::vector<Candidate> candidates;
    std::int64_t seq = 0;
    try {
        std::unique_ptr<StorageTransaction> transaction = m_storage.begin(TransactionKind::Read);
        seq = transaction->current_seq();
        std::int64_t oldest = seq;
        {
            std::lock_guard lock(m_lock);
            for (const Waiter& waiter : m_waiters)
                oldest = std::min(oldest, waiter.checked_seq);
        }
        // One query names the users the new events concern, so a change costs its project's
        // members, not every waiting client.
        std::vector<int> concerned
            = oldest < seq ? transaction->users_seeing_events(oldest, seq) : std::vector<int> {};
        {
            // Only this thread erases waiters, so the iterators stay valid after the lock.
            std::lock_guard lock(m_lock);
            for (auto it = m_waiters.begin(); it != m_waiters.end(); ++it) {
                if (it->checked_seq >= seq)
                    continue;
                bool named = std::binary_search(concerned.begin(), concerned.end(), it->user_id);
                // A waiter's cursor is at or below the value it was checked at, so an event it
                // may see after that value is news to it. For a waiter checked later than
                // `oldest` (or one that came meanwhile and looked earlier) the names may include
                // events it has had: it is asked about on its own.
                if (named && it->checked_seq == oldest)
                    candidates.push_back({ it, it->user_id, it->cursor, true });
                else if (named || it->checked_seq < oldest)
                    candidates.push_back({ it, it->user_id, it->cursor, false });
                else
                    it->checked_seq = seq;
            }
        }
        // Several devices of one account usually wait at the same cursor: one query for them.
        std::map<std::pair<int, std::int64_t>, bool> found;
        for (const Candidate& candidate : candidates) {
            auto key = std::make_pair(candidate.user_id, candidate.cursor);
            if (candidate.sure)
                found[key] = true;
            else if (!found.contains(key))
                found[key]
                    = !transaction->events_after(candidate.cursor, candidate.user_id, 1).empty();
        }
        transaction->commit();
        std::lock_guard lock(m_lock);
        for (const Candidate& candidate : candidates) {
            if (found[{ candidate.user_id, candidate.cursor }]) {
                ready.push_back({ std::move(candidate.waiter->answer), seq });
                m_waiters.erase(candidate.waiter);
            } else {
                candidate.waiter->checked_seq = seq;
            }
        }
    } catch (const StorageError& error) {
        log_line(std::string("news watch: ") + error.what());
    }
    SteadyClock::time_point now = SteadyClock::now();
    std::lock_guard lock(m_lock);
    while (!m_waiters.empty() && m_waiters.front().deadline <= now) {
        Waiter& waiter = m_waiters.front();
        ready.push_back({ std::move(waiter.answer), waiter.cursor });
        m_waiters.pop_front();
    }
}

} // namespace corvane::server

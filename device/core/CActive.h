#pragma once

#include <atomic>
#include <cstdint>

namespace corvane {

class CActiveScheduler;

// Base of every active object: made active on the main thread when it starts an asynchronous
// request, notified (any thread) when the request completes, then run on the main thread.
// Any other order is a fatal fault. Destroying an active object is a fatal fault.
class CActive {
public:
    explicit CActive(CActiveScheduler& scheduler);
    virtual ~CActive();
    CActive(const CActive&) = delete;
    CActive& operator=(const CActive&) = delete;

    // Main thread.
    void set_active();
    // Any thread: completes the outstanding request; the object runs later on the main thread.
    void notify();
    // Main thread: aborts the outstanding request; RunL is not called for it.
    void cancel();

    std::int32_t id() const { return m_id; }
    bool is_active() const { return m_active.load(std::memory_order_acquire); }
    CActiveScheduler& scheduler() const { return m_scheduler; }

protected:
    // Main thread, after the request completed.
    virtual void RunL() = 0;
    // Main thread: must make the request complete promptly (notify() itself or through its worker).
    virtual void DoCancel() = 0;

private:
    friend class CActiveScheduler;

    std::atomic<bool> m_active { false };
    std::int32_t m_id;
    CActiveScheduler& m_scheduler; // Outlives every active object.
};

} // namespace corvane

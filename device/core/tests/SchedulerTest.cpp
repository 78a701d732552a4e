#include "device/core/ActiveTimer.h"
#include "device/core/CActive.h"
#include "device/core/CActiveScheduler.h"
#include "device/core/FatalFault.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/WorkerThread.h"
#include "device/core/testing/FakeClock.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/ManualSchedulerHost.h"
#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <vector>

using namespace corvane;
using corvane::test::FakeClock;
using corvane::test::ManualSchedulerHost;

namespace {

class Recorder final : public CActive {
public:
    Recorder(CActiveScheduler& s, std::vector<int>& order, int tag)
        : CActive(s)
        , m_order(order)
        , m_tag(tag)
    {
    }
    int cancels { 0 };
    std::function<void()> on_run;

private:
    void RunL() override
    {
        m_order.push_back(m_tag);
        if (on_run)
            on_run();
    }
    void DoCancel() override
    {
        ++cancels;
        notify();
    }
    std::vector<int>& m_order;
    int m_tag;
};

class CountingListener final : public ActiveTimerListener {
public:
    int fired { 0 };
    void timer_fired(ActiveTimer&, int reserved) override
    {
        EXPECT_EQ(reserved, 0);
        ++fired;
    }
};

struct Scheduler : ::testing::Test {
    // Lets `ms` pass and runs what fell due, as the window's timer message would.
    void pass(std::uint32_t ms)
    {
        clock.advance(ms);
        scheduler.rescan_timers();
        scheduler.process_actives();
    }

    FakeClock clock;
    ManualSchedulerHost host;
    CActiveScheduler scheduler { host, clock };
    std::vector<int> order;
};

} // namespace

// Two notifications before the main thread runs: both run, in order, from the first run
// message; the second run message finds nothing. An object notified from inside RunL runs in
// the same drain.
TEST_F(Scheduler, one_run_message_drains_everything_in_notification_order)
{
    Recorder a(scheduler, order, 1), b(scheduler, order, 2);
    a.set_active();
    b.set_active();
    EXPECT_EQ(scheduler.active_count(), 2);
    b.notify();
    a.notify();
    EXPECT_EQ(host.run_messages(), 2);
    scheduler.process_actives();
    EXPECT_EQ(order, (std::vector<int> { 2, 1 }));
    scheduler.process_actives();
    EXPECT_EQ(order.size(), 2u);
    EXPECT_EQ(scheduler.active_count(), 0);

    order.clear();
    a.on_run = [&] {
        b.set_active();
        b.notify();
    };
    a.set_active();
    a.notify();
    scheduler.process_actives();
    EXPECT_EQ(order, (std::vector<int> { 1, 2 }));
}

// A cancelled object never runs, even after it was notified: the completion that came first
// and DoCancel's own both go (the first used to stay in the ready list and end the program as
// an object "not marked active").
TEST_F(Scheduler, cancelled_object_is_never_run)
{
    Recorder a(scheduler, order, 1);
    a.set_active();
    a.notify();
    a.cancel();
    scheduler.process_actives();
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(a.cancels, 1);
    EXPECT_FALSE(a.is_active());
    a.cancel(); // not active: nothing happens
    EXPECT_EQ(a.cancels, 1);
}

// A worker's notify reaches the main thread as a run message; a worker that completes the
// request only while the main thread is blocked in cancel() releases it.
TEST_F(Scheduler, workers_notify_across_threads_also_during_cancel)
{
    class Job final : public WorkerThread {
    public:
        explicit Job(CActive& target)
            : m_target(target)
        {
        }
        void run() override { m_target.notify(); }
        CActive& m_target;
    };
    Recorder a(scheduler, order, 7);
    a.set_active();
    Job job(a);
    ASSERT_TRUE(job.start());
    EXPECT_FALSE(job.start()); // one thread at a time
    ASSERT_TRUE(job.wait(5000));
    EXPECT_TRUE(job.wait(0)); // no thread left
    EXPECT_EQ(host.run_messages(), 1);
    scheduler.process_actives();
    EXPECT_EQ(order, (std::vector<int> { 7 }));

    class Late final : public CActive {
    public:
        using CActive::CActive;
        EventObject go;
        std::thread worker;
        void RunL() override { FAIL() << "a cancelled object ran"; }
        void DoCancel() override
        {
            worker = std::thread([this] {
                go.wait();
                notify();
            });
            go.set();
        }
    } late(scheduler);
    late.set_active();
    late.cancel();
    late.worker.join();
    EXPECT_FALSE(late.is_active());
    EXPECT_EQ(scheduler.active_count(), 0);
}

// The nearest timer sets the window timer; each fires when due, also when the tick count wraps
// around (after 49 days) between the start and the deadline. 0.0004 s rounds to 0 ms: the timer
// is notified by the start's own rescan.
TEST_F(Scheduler, timers_fire_when_due_and_the_nearest_sets_the_window_timer)
{
    CountingListener at_once;
    ActiveTimer zero(at_once, scheduler);
    zero.start(0.0004);
    EXPECT_EQ(host.run_messages(), 1);
    EXPECT_FALSE(host.timer());
    EXPECT_EQ(at_once.fired, 0);
    scheduler.process_actives();
    EXPECT_EQ(at_once.fired, 1);

    for (std::uint32_t start : { 0u, 0xFFFFFF00u }) {
        SCOPED_TRACE(start);
        clock.set_ticks(start);
        CountingListener first, second;
        ActiveTimer a(first, scheduler), b(second, scheduler);
        a.start(0.5);
        b.start(0.2);
        ASSERT_TRUE(host.timer());
        EXPECT_EQ(*host.timer(), 200u);
        clock.advance(199);
        scheduler.rescan_timers();
        EXPECT_EQ(*host.timer(), 1u);
        pass(1);
        EXPECT_EQ(second.fired, 1);
        EXPECT_EQ(first.fired, 0);
        EXPECT_EQ(*host.timer(), 300u);
        pass(299);
        EXPECT_EQ(first.fired, 0);
        pass(1);
        EXPECT_EQ(first.fired, 1);
        EXPECT_FALSE(host.timer());
    }
}

// Restarting an active timer cancels the earlier start, so the listener is called once; a timer
// that is due but not yet run is taken off the ready list by cancel.
TEST_F(Scheduler, restarting_a_timer_fires_once_and_cancel_drops_a_due_one)
{
    CountingListener listener;
    ActiveTimer timer(listener, scheduler);
    timer.start(0.1);
    timer.start(0.3);
    pass(100);
    EXPECT_EQ(listener.fired, 0);
    pass(200);
    EXPECT_EQ(listener.fired, 1);

    timer.start(0.05);
    clock.advance(60);
    scheduler.rescan_timers();
    EXPECT_TRUE(timer.is_active());
    timer.cancel();
    scheduler.process_actives();
    EXPECT_EQ(listener.fired, 1);
    EXPECT_FALSE(timer.is_active());
}

// Misuse ends the process with the fault line as the last line of the log.
TEST(SchedulerFaults, misuse_is_fatal_with_the_right_line)
{
    test::TestEnvironment env;
    using SchedulerPtr = std::unique_ptr<CActiveScheduler>;
    using ActivePtr = std::unique_ptr<Recorder>;
    struct Case {
        const char* name;
        std::function<void(SchedulerPtr&, ActivePtr&)> misuse;
        std::u16string ending;
    };
    const Case cases[] = {
        { "set_active twice",
            [](SchedulerPtr&, ActivePtr& a) {
                a->set_active();
                a->set_active();
            },
            u" is already active @ CActiveScheduler::set_active()\n" },
        { "notify inactive", [](SchedulerPtr&, ActivePtr& a) { a->notify(); },
            u" is not active @ CActiveScheduler::notify()\n" },
        { "active object deleted",
            [](SchedulerPtr&, ActivePtr& a) {
                a->set_active();
                a.reset();
            },
            u" is already active @ CActive::~CActive()\n" },
        { "scheduler deleted under an active object",
            [](SchedulerPtr& s, ActivePtr& a) {
                a->set_active();
                s.reset();
            },
            u"Gluck: Some active objects still live while scheduler is terminating "
            u"active_counter=1 @ \n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                (void)reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", 1);
                FakeClock clock;
                ManualSchedulerHost host;
                auto scheduler = std::make_unique<CActiveScheduler>(host, clock);
                std::vector<int> order;
                auto a = std::make_unique<Recorder>(*scheduler, order, 1);
                c.misuse(scheduler, a);
            },
            ::testing::ExitedWithCode(corvane::test::fatal_exit_code()), "");
        // Read, not switched on here: switching the log on would start the file afresh.
        std::u16string log = test::read_utf16_file(to_utf8(log_file_path()));
        EXPECT_EQ(log.rfind(u"Gluck: "), 0u) << to_utf8(log);
        EXPECT_TRUE(log.ends_with(c.ending)) << to_utf8(log);
    }
    (void)reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", 0);
}

#include "device/platform/MessageLoop.h"
#include "device/app/tests/AppTestSupport.h"
#include "device/core/ActiveTimer.h"
#include "device/core/CActive.h"
#include "device/core/CActiveScheduler.h"

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace corvane;

namespace {

struct MessageLoopTest : ::testing::Test, test::HeadlessRig {
    std::unique_ptr<HeadlessWindow> owned_window = make_window();
    MessageLoop loop { *window, clock };

    static Message input(MessageKind kind, std::uint32_t wparam = 0)
    {
        return { .kind = kind, .wparam = wparam, .text = {} };
    }
};

class CountingTimerListener final : public ActiveTimerListener {
public:
    void timer_fired(ActiveTimer&, int) override { ++fired; }
    int fired { 0 };
};

class WorkerDone final : public CActive {
public:
    using CActive::CActive;
    int runs { 0 };

private:
    void RunL() override { ++runs; }
    void DoCancel() override { notify(); }
};

} // namespace

// Posted messages come before input, input before a repaint, and a due timer comes last.
// Repaints merge, and a late timer gives one message, not one per missed period. A termination
// signal asks the window to close rather than killing the program.
TEST_F(MessageLoopTest, messages_come_in_order_of_preference_and_merge)
{
    loop.set_timer(frame_timer_id, 40);
    clock.advance(40);
    loop.invalidate();
    window->push_input(input(MessageKind::KeyDown, 65));
    loop.post(input(MessageKind::CommandLine));
    EXPECT_EQ(loop.get_message().kind, MessageKind::CommandLine);
    EXPECT_EQ(loop.get_message().kind, MessageKind::KeyDown);
    EXPECT_EQ(loop.get_message().kind, MessageKind::Paint);
    Message timer = loop.get_message();
    EXPECT_EQ(timer.kind, MessageKind::Timer);
    EXPECT_EQ(timer.wparam, frame_timer_id);
    EXPECT_FALSE(loop.peek_message());

    for (int i = 0; i < 3; ++i)
        window->push_input(input(MessageKind::Paint));
    clock.advance(1000);
    EXPECT_EQ(loop.get_message().kind, MessageKind::Paint);
    EXPECT_EQ(loop.get_message().kind, MessageKind::Timer);
    EXPECT_FALSE(loop.peek_message());

    std::raise(SIGTERM);
    EXPECT_EQ(loop.get_message().kind, MessageKind::Close);
}

// With nothing to do, a wait on the virtual clock jumps straight to the next timer. The
// scheduler's timer and run message travel through the loop: a 0.25 s timer fires after exactly
// 250 virtual milliseconds.
TEST_F(MessageLoopTest, virtual_time_jumps_to_the_next_timer)
{
    std::uint32_t start = clock.tick_count_ms();
    loop.set_timer(frame_timer_id, 40);
    loop.set_timer(scheduler_timer_id, 25);
    Message first = loop.get_message();
    EXPECT_EQ(first.wparam, scheduler_timer_id);
    EXPECT_EQ(clock.tick_count_ms() - start, 25u);
    loop.kill_timer(scheduler_timer_id);
    Message second = loop.get_message();
    EXPECT_EQ(second.wparam, frame_timer_id);
    EXPECT_EQ(clock.tick_count_ms() - start, 40u);
    loop.wait(10);
    EXPECT_EQ(clock.tick_count_ms() - start, 50u);

    loop.kill_timer(frame_timer_id);
    CActiveScheduler scheduler(loop, clock);
    CountingTimerListener listener;
    ActiveTimer timer(listener, scheduler);
    start = clock.tick_count_ms();
    timer.start(0.25);
    while (listener.fired == 0) {
        Message message = loop.get_message();
        if (message.kind == MessageKind::SchedulerRun)
            scheduler.process_actives();
        else if (message.kind == MessageKind::Timer && message.wparam == scheduler_timer_id)
            scheduler.rescan_timers();
    }
    EXPECT_EQ(clock.tick_count_ms() - start, 250u);
    EXPECT_FALSE(loop.has_timer(scheduler_timer_id));
}

// Another thread wakes a main thread that waits for messages without any timer: a worker's
// notify brings the scheduler's run message, a quit ends the loop.
TEST_F(MessageLoopTest, other_threads_wake_the_blocked_loop)
{
    CActiveScheduler scheduler(loop, clock);
    WorkerDone done(scheduler);
    done.set_active();
    std::thread worker([&done] { done.notify(); });
    Message message = loop.get_message();
    worker.join();
    EXPECT_EQ(message.kind, MessageKind::SchedulerRun);
    scheduler.process_actives();
    EXPECT_EQ(done.runs, 1);

    std::thread other([this] { loop.post_quit(3); });
    message = loop.get_message();
    other.join();
    EXPECT_EQ(message.kind, MessageKind::Quit);
    EXPECT_EQ(message.wparam, 3u);
}

#include "core/poll_runloop.h"

#include "core/manual_time.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tarvela {
namespace {

TEST(PollRunLoop, TimersFireInDeadlineOrderAndCancelledOnesNever) {
    PollRunLoop loop;
    std::vector<int> order;
    const double t0 = loop.now();  // before the timers: each counts from its own scheduling
    loop.after(0.03, [&] { order.push_back(3); });
    auto cancelled = loop.after(0.01, [&] { order.push_back(99); });
    loop.after(0.02, [&] { order.push_back(2); });
    loop.after(0.0, [&] { order.push_back(1); });
    loop.cancel(cancelled);
    loop.cancel(12345);  // unknown ids are ignored
    ASSERT_TRUE(loop.runUntil([&] { return order.size() >= 3; }, 2));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_GE(loop.now() - t0, 0.03);
}

TEST(PollRunLoop, RepeatingTimerRepeatsUntilItCancelsItself) {
    PollRunLoop loop;
    int ticks = 0;
    RunLoop::TimerId id = 0;
    id = loop.every(0.005, [&] {
        if (++ticks == 3) loop.cancel(id);
    });
    bool done = false;
    loop.after(0.08, [&] { done = true; });
    ASSERT_TRUE(loop.runUntil([&] { return done; }, 2));
    EXPECT_EQ(ticks, 3);
}

TEST(PollRunLoop, PostsFromOtherThreadsRunOnTheLoopThreadInOrder) {
    PollRunLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::vector<int> seen;
    std::atomic<bool> offThread{false};
    std::thread producer([&] {
        for (int i = 0; i < 100; ++i)
            loop.post([&, i] {
                if (std::this_thread::get_id() != loopThread) offThread = true;
                seen.push_back(i);
            });
    });
    ASSERT_TRUE(loop.runUntil([&] { return seen.size() == 100; }, 5));
    producer.join();
    EXPECT_FALSE(offThread);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(seen[i], i);
}

TEST(PollRunLoop, WatchedDescriptorWakesTheLoopUntilUnwatched) {
    PollRunLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int reads = 0;
    RunLoop::WatchId w = 0;
    w = loop.watchFd(fds[0], [&] {
        char c;
        ASSERT_EQ(read(fds[0], &c, 1), 1);
        if (++reads == 2) loop.unwatchFd(w);
    });
    ASSERT_EQ(write(fds[1], "ab", 2), 2);
    ASSERT_TRUE(loop.runUntil([&] { return reads == 2; }, 2));
    // Unwatched: a further byte is no longer read by the loop.
    ASSERT_EQ(write(fds[1], "c", 1), 1);
    EXPECT_FALSE(loop.runOnce(0.02));
    EXPECT_EQ(reads, 2);
    close(fds[0]);
    close(fds[1]);
}

// Both loops: a writable watch is quiet while the socket is full, fires once
// the other end has read, and unwatching ends it.
TEST(PollRunLoop, WritableWatchFiresOnlyWhileTheDescriptorTakesMore) {
    PollRunLoop poll;
    ManualTime time;
    for (RunLoop* loop : {static_cast<RunLoop*>(&poll), static_cast<RunLoop*>(&time.loop())}) {
        auto turn = [&] { return loop == &poll ? poll.runOnce(0) : time.loop().pollFds(0); };
        int sv[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, sv), 0);
        char block[4096] = {};
        while (::send(sv[0], block, sizeof block, 0) > 0) {
        }
        int fired = 0;
        const auto id = loop->watchFdWritable(sv[0], [&] { ++fired; });
        turn();
        EXPECT_EQ(fired, 0);
        while (::recv(sv[1], block, sizeof block, 0) > 0) {
        }
        turn();
        EXPECT_EQ(fired, 1);
        loop->unwatchFd(id);
        turn();
        EXPECT_EQ(fired, 1);
        ::close(sv[0]);
        ::close(sv[1]);
    }
}

TEST(PollRunLoop, QuitFromAnotherThreadEndsRunAndAQuitBeforeRunReturnsAtOnce) {
    PollRunLoop loop;
    loop.quit();
    loop.run();  // returns at once
    bool ticked = false;
    loop.after(0.01, [&] { ticked = true; });
    std::thread quitter([&] { loop.post([&] { loop.quit(); }); });
    loop.run();
    quitter.join();
    // The loop still works after a quit.
    ASSERT_TRUE(loop.runUntil([&] { return ticked; }, 2));
}

TEST(PollRunLoop, RunOnceReportsIdleRoundsAndWaitsNoLongerThanAsked) {
    PollRunLoop loop;
    const double t0 = loop.now();
    EXPECT_FALSE(loop.runOnce(0.02));
    const double waited = loop.now() - t0;
    EXPECT_GE(waited, 0.015);
    EXPECT_LT(waited, 1.0);
    loop.post([] {});
    EXPECT_TRUE(loop.runOnce(1.0));
}

}  // namespace
}  // namespace tarvela

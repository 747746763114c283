// The application's main run loop: one poll() over the watched descriptors and
// a wake-up descriptor, with timers on the monotonic clock and work posted from
// any thread. The X connection is one of its watched descriptors, so window
// events, timers and posted work all run on the thread that calls run().
#pragma once

#include <poll.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>

#include "core/runloop.h"

namespace tarvela {

class PollRunLoop final : public RunLoop {
public:
    PollRunLoop();
    ~PollRunLoop() override;
    PollRunLoop(const PollRunLoop&) = delete;
    PollRunLoop& operator=(const PollRunLoop&) = delete;

    double now() override;
    void post(std::function<void()> fn) override;  // any thread
    TimerId after(double seconds, std::function<void()> fn) override;
    TimerId every(double seconds, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    WatchId watchFd(int fd, std::function<void()> onReadable) override;
    WatchId watchFdWritable(int fd, std::function<void()> onWritable) override;
    void unwatchFd(WatchId id) override;

    // Runs until quit() is called; a quit() before run() makes it return at once.
    void run();
    // Any thread. The loop finishes the round it is in and returns.
    void quit();

    // One round: waits at most maxSeconds for a descriptor, a post or a timer,
    // then runs what is ready. Returns whether anything ran.
    bool runOnce(double maxSeconds);
    // Runs rounds until pred() holds or maxSeconds have passed; returns pred().
    // For tests and start-up waits that must never sleep blindly.
    bool runUntil(const std::function<bool()>& pred, double maxSeconds);

private:
    struct Timer {
        double due;
        double interval;  // 0 = one-shot
        std::function<void()> fn;
    };
    struct Watch {
        int fd;
        std::function<void()> fn;
        short events = POLLIN;
    };
    void wake();
    bool runPosted();
    bool runDueTimers();

    int wakeFd_ = -1;  // eventfd: written by post() and quit() from any thread
    std::mutex postMutex_;
    std::deque<std::function<void()>> posted_;
    std::atomic<bool> quit_{false};
    // Timers and watches belong to the loop's thread.
    std::map<TimerId, Timer> timers_;
    std::map<WatchId, Watch> watches_;
    uint64_t nextId_ = 1;
};

}  // namespace tarvela

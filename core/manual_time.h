// Deterministic time for tests, benchmarks and the simulated demo: one manual
// clock shared by a main run loop and any number of serial queues. Nothing
// happens until the owner advances the clock or drains pending work, and then
// everything runs on the calling thread, in time order.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/runloop.h"
#include "core/serial_queue.h"

namespace tarvela {

class ManualTime;

class ManualRunLoop final : public RunLoop {
public:
    explicit ManualRunLoop(ManualTime& time) : time_(time) {}
    double now() override;
    void post(std::function<void()> fn) override;  // thread-safe
    TimerId after(double seconds, std::function<void()> fn) override;
    TimerId every(double seconds, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    WatchId watchFd(int fd, std::function<void()> onReadable) override;
    WatchId watchFdWritable(int fd, std::function<void()> onWritable) override;
    void unwatchFd(WatchId id) override;

    // Descriptors are not part of the clock: tests that use real ones (sockets)
    // call this to run the watches that are ready now, waiting at most
    // `maxSeconds` for one. Returns whether any ran.
    bool pollFds(double maxSeconds = 0);

    // Blocks until something is posted from another thread or the wait ends;
    // for tests that run a real animation thread. Returns whether work is pending.
    bool waitForPost(double maxSeconds);
    size_t pendingTimers() const { return timers_.size(); }

private:
    friend class ManualTime;
    struct Timer {
        double due;
        double interval;  // 0 = one-shot
        std::function<void()> fn;
    };
    bool runOnePosted();
    ManualTime& time_;
    std::mutex postMutex_;
    std::condition_variable postCv_;
    std::deque<std::function<void()>> posted_;
    std::map<TimerId, Timer> timers_;
    struct Watch {
        int fd;
        bool write;
        std::function<void()> fn;
    };
    std::map<WatchId, Watch> watches_;
    TimerId nextId_ = 1;
};

class ManualTime {
public:
    ManualTime();
    ~ManualTime();
    ManualTime(const ManualTime&) = delete;
    ManualTime& operator=(const ManualTime&) = delete;

    double now() const { return now_; }
    ManualRunLoop& loop() { return *loop_; }
    // A serial queue on this clock; it unregisters itself when destroyed.
    std::unique_ptr<SerialQueue> makeQueue(const char* label = "manual");
    SerialQueueFactory queueFactory();

    // Runs everything due at the current time: posted work, queue items and timers.
    void drain();
    // Moves the clock forward, firing every timer and queue tick on the way in time order.
    void advance(double seconds);

private:
    friend class ManualRunLoop;
    friend class ManualQueue;
    class ManualQueue;
    bool runOneDue();
    double nextDue() const;
    double now_ = 1000.0;  // arbitrary, not zero, so no code can treat 0 as "unset"
    std::unique_ptr<ManualRunLoop> loop_;
    std::vector<ManualQueue*> queues_;
};

}  // namespace tarvela

// The main thread's run loop, as the logic sees it: posted work, one-shot and
// repeating timers, the time, and file-descriptor watches. The application runs
// a poll loop behind it; tests drive a ManualRunLoop and advance its clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tarvela {

class RunLoop {
public:
    using TimerId = uint64_t;  // never 0
    using WatchId = uint64_t;

    virtual ~RunLoop() = default;
    // Seconds on a monotonic clock.
    virtual double now() = 0;
    // Runs fn on the main thread soon, after work posted before it. Any thread may post.
    virtual void post(std::function<void()> fn) = 0;
    virtual TimerId after(double seconds, std::function<void()> fn) = 0;
    virtual TimerId every(double seconds, std::function<void()> fn) = 0;
    // Unknown or already fired ids are ignored.
    virtual void cancel(TimerId id) = 0;
    virtual WatchId watchFd(int fd, std::function<void()> onReadable) = 0;
    // Calls fn whenever the descriptor can take more output (or has failed);
    // a writer watches only while it has something left to write.
    virtual WatchId watchFdWritable(int fd, std::function<void()> onWritable) = 0;
    // Either kind of watch.
    virtual void unwatchFd(WatchId id) = 0;
};

// Cancels a pending timer, if there is one, and forgets it.
inline void cancelTimer(RunLoop& loop, std::optional<RunLoop::TimerId>& timer) {
    if (timer) loop.cancel(*timer);
    timer.reset();
}

}  // namespace tarvela

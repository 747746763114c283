// The strip animation's own serial queue with its strict timer, and the
// parallel loop a tick uses to write each application's windows on a worker.
// Real implementations run threads; the manual ones run on the caller's
// thread with a clock the test advances, so animations step deterministically.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace tarvela {

class SerialQueue {
public:
    class Timer {
    public:
        virtual ~Timer() = default;
        // Stops further ticks; a tick in progress finishes. Only call on the queue.
        virtual void cancel() = 0;
    };

    virtual ~SerialQueue() = default;
    // Seconds on the queue's monotonic clock (the media time of the animation).
    virtual double now() = 0;
    virtual void async(std::function<void()> fn) = 0;
    // Runs fn on the queue and waits for it, after everything submitted before.
    // Never call from the queue itself.
    virtual void sync(std::function<void()> fn) = 0;
    // Only call on the queue. The first tick comes at once (as the next queue
    // item), then every interval; ticks run on the queue.
    virtual std::shared_ptr<Timer> startTimer(double interval, double leeway, std::function<void()> tick) = 0;
};

// concurrentPerform: runs body(0..n-1), possibly in parallel, returns when all are done.
class ParallelFor {
public:
    virtual ~ParallelFor() = default;
    virtual void run(size_t n, const std::function<void(size_t)>& body) = 0;
};

// Creates one serial queue per strip.
using SerialQueueFactory = std::function<std::unique_ptr<SerialQueue>(const char* label)>;

// Threaded implementations.
std::unique_ptr<SerialQueue> makeThreadQueue(const char* label);
std::shared_ptr<ParallelFor> makeWorkerPool(size_t threads);
// Runs the bodies one after the other on the calling thread.
std::shared_ptr<ParallelFor> makeInlineParallelFor();

}  // namespace tarvela

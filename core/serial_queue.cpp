#include "core/serial_queue.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>

namespace tarvela {
namespace {

using Clock = std::chrono::steady_clock;

double secondsNow() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// One thread, a queue of work items and a set of timers. Timers fire on
// deadlines computed from their start (no drift); a tick that overruns makes the
// next one come at once rather than queueing a burst.
class ThreadQueue final : public SerialQueue {
public:
    explicit ThreadQueue(const char* label) {
        thread_ = std::thread([this] { loop(); });
        pthread_setname_np(thread_.native_handle(), std::string(label).substr(0, 15).c_str());
    }
    ~ThreadQueue() override {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

    double now() override { return secondsNow(); }

    void async(std::function<void()> fn) override {
        {
            std::lock_guard<std::mutex> lock(m_);
            items_.push_back(std::move(fn));
        }
        cv_.notify_all();
    }

    void sync(std::function<void()> fn) override {
        std::mutex doneM;
        std::condition_variable doneCv;
        bool done = false;
        async([&] {
            fn();
            std::lock_guard<std::mutex> lock(doneM);
            done = true;
            doneCv.notify_all();
        });
        std::unique_lock<std::mutex> lock(doneM);
        doneCv.wait(lock, [&] { return done; });
    }

    struct T final : Timer {
        Clock::duration interval;
        Clock::time_point next;
        std::atomic<bool> cancelled{false};
        std::function<void()> tick;
        void cancel() override { cancelled = true; }
    };

    std::shared_ptr<Timer> startTimer(double interval, double, std::function<void()> tick) override {
        // Called on the queue thread, so timers_ is ours without the lock... but the
        // loop reads it under the lock, so take it anyway.
        auto t = std::make_shared<T>();
        t->interval = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval));
        t->next = Clock::now();
        t->tick = std::move(tick);
        std::lock_guard<std::mutex> lock(m_);
        timers_.push_back(t);
        return t;
    }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(m_);
        for (;;) {
            if (stop_) return;
            if (!items_.empty()) {
                auto fn = std::move(items_.front());
                items_.pop_front();
                lock.unlock();
                fn();
                lock.lock();
                continue;
            }
            std::erase_if(timers_, [](auto& t) { return t->cancelled.load(); });
            std::shared_ptr<T> due;
            Clock::time_point earliest = Clock::time_point::max();
            for (auto& t : timers_) {
                if (t->next < earliest) {
                    earliest = t->next;
                    due = t;
                }
            }
            if (!due) {
                cv_.wait(lock);
                continue;
            }
            if (Clock::now() < earliest) {
                cv_.wait_until(lock, earliest);
                continue;
            }
            lock.unlock();
            due->tick();
            auto now = Clock::now();
            due->next += due->interval;
            if (due->next < now) due->next = now;
            lock.lock();
        }
    }

    std::mutex m_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> items_;
    std::vector<std::shared_ptr<T>> timers_;
    bool stop_ = false;
    std::thread thread_;
};

// A fixed pool: run() hands out indexes to the workers and to the calling thread.
class WorkerPool final : public ParallelFor {
public:
    explicit WorkerPool(size_t n) {
        for (size_t i = 0; i < n; ++i) workers_.emplace_back([this] { work(); });
    }
    ~WorkerPool() override {
        {
            std::lock_guard<std::mutex> lock(m_);
            stop_ = true;
        }
        cv_.notify_all();
        for (auto& w : workers_) w.join();
    }

    void run(size_t n, const std::function<void(size_t)>& body) override {
        if (n == 0) return;
        if (n == 1 || workers_.empty()) {
            for (size_t i = 0; i < n; ++i) body(i);
            return;
        }
        std::lock_guard<std::mutex> one(runM_);  // one loop at a time
        {
            std::lock_guard<std::mutex> lock(m_);
            body_ = &body;
            count_ = n;
            nextIdx_ = 0;
            remaining_ = n;
            ++generation_;
        }
        cv_.notify_all();
        drainIndexes();
        std::unique_lock<std::mutex> lock(m_);
        doneCv_.wait(lock, [&] { return remaining_ == 0; });
        body_ = nullptr;
    }

private:
    void drainIndexes() {
        for (;;) {
            size_t i;
            const std::function<void(size_t)>* body;
            {
                std::lock_guard<std::mutex> lock(m_);
                if (!body_ || nextIdx_ >= count_) return;
                i = nextIdx_++;
                body = body_;
            }
            (*body)(i);
            std::lock_guard<std::mutex> lock(m_);
            if (--remaining_ == 0) doneCv_.notify_all();
        }
    }
    void work() {
        uint64_t seen = 0;
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [&] { return stop_ || (generation_ != seen && body_ && nextIdx_ < count_); });
                if (stop_) return;
                seen = generation_;
            }
            drainIndexes();
        }
    }

    std::mutex runM_;
    std::mutex m_;
    std::condition_variable cv_, doneCv_;
    const std::function<void(size_t)>* body_ = nullptr;
    size_t count_ = 0, nextIdx_ = 0, remaining_ = 0;
    uint64_t generation_ = 0;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

class InlineFor final : public ParallelFor {
public:
    void run(size_t n, const std::function<void(size_t)>& body) override {
        for (size_t i = 0; i < n; ++i) body(i);
    }
};

}  // namespace

std::unique_ptr<SerialQueue> makeThreadQueue(const char* label) { return std::make_unique<ThreadQueue>(label); }
std::shared_ptr<ParallelFor> makeWorkerPool(size_t threads) { return std::make_shared<WorkerPool>(threads); }
std::shared_ptr<ParallelFor> makeInlineParallelFor() { return std::make_shared<InlineFor>(); }

}  // namespace tarvela

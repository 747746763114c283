#include "core/manual_time.h"

#include <poll.h>

#include <cmath>

#include <algorithm>
#include <chrono>
#include <limits>

namespace tarvela {

// ---- queue ----

class ManualTime::ManualQueue final : public SerialQueue {
public:
    explicit ManualQueue(ManualTime& t) : time_(t) { time_.queues_.push_back(this); }
    ~ManualQueue() override {
        auto& q = time_.queues_;
        q.erase(std::remove(q.begin(), q.end(), this), q.end());
    }
    double now() override { return time_.now_; }
    void async(std::function<void()> fn) override { items_.push_back(std::move(fn)); }
    void sync(std::function<void()> fn) override {
        // A serial queue runs what was submitted before first.
        while (!items_.empty()) runItem();
        fn();
    }

    struct T final : Timer {
        double interval;
        double start;
        long long fired = 0;
        double next;
        bool cancelled = false;
        std::function<void()> tick;
        void cancel() override { cancelled = true; }
    };
    std::shared_ptr<Timer> startTimer(double interval, double, std::function<void()> tick) override {
        auto t = std::make_shared<T>();
        t->interval = interval;
        t->start = t->next = time_.now_;
        t->tick = std::move(tick);
        timers_.push_back(t);
        return t;
    }

    void runItem() {
        auto fn = std::move(items_.front());
        items_.pop_front();
        fn();
    }
    double nextTimer() {
        timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [](auto& t) { return t->cancelled; }),
                      timers_.end());
        double best = std::numeric_limits<double>::infinity();
        for (auto& t : timers_) best = std::min(best, t->next);
        return best;
    }
    bool fireDueTimer() {
        for (auto& t : timers_) {
            if (!t->cancelled && t->next <= time_.now_) {
                auto keep = t;
                // From the start, not by accumulation, so tick k lands on start + k * interval.
                keep->next = keep->start + static_cast<double>(++keep->fired) * keep->interval;
                keep->tick();
                return true;
            }
        }
        return false;
    }

    ManualTime& time_;
    std::deque<std::function<void()>> items_;
    std::vector<std::shared_ptr<T>> timers_;
};

// ---- run loop ----

double ManualRunLoop::now() { return time_.now_; }

void ManualRunLoop::post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        posted_.push_back(std::move(fn));
    }
    postCv_.notify_all();
}

RunLoop::TimerId ManualRunLoop::after(double seconds, std::function<void()> fn) {
    TimerId id = nextId_++;
    timers_[id] = Timer{time_.now_ + std::max(seconds, 0.0), 0, std::move(fn)};
    return id;
}

RunLoop::TimerId ManualRunLoop::every(double seconds, std::function<void()> fn) {
    TimerId id = nextId_++;
    double interval = std::max(seconds, 1e-6);
    timers_[id] = Timer{time_.now_ + interval, interval, std::move(fn)};
    return id;
}

void ManualRunLoop::cancel(TimerId id) { timers_.erase(id); }

RunLoop::WatchId ManualRunLoop::watchFd(int fd, std::function<void()> fn) {
    const WatchId id = nextId_++;
    watches_[id] = Watch{fd, false, std::move(fn)};
    return id;
}
RunLoop::WatchId ManualRunLoop::watchFdWritable(int fd, std::function<void()> fn) {
    const WatchId id = nextId_++;
    watches_[id] = Watch{fd, true, std::move(fn)};
    return id;
}
void ManualRunLoop::unwatchFd(WatchId id) { watches_.erase(id); }

bool ManualRunLoop::pollFds(double maxSeconds) {
    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    for (auto& [id, w] : watches_) {
        fds.push_back({w.fd, static_cast<short>(w.write ? POLLOUT : POLLIN), 0});
        ids.push_back(id);
    }
    if (fds.empty()) return false;
    const int ms = static_cast<int>(std::ceil(std::max(maxSeconds, 0.0) * 1000));
    if (::poll(fds.data(), fds.size(), ms) <= 0) return false;
    bool ran = false;
    for (size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & (fds[i].events | POLLHUP | POLLERR))) continue;
        auto it = watches_.find(ids[i]);
        if (it == watches_.end()) continue;  // removed by an earlier callback
        auto fn = it->second.fn;
        fn();
        ran = true;
    }
    return ran;
}

bool ManualRunLoop::waitForPost(double maxSeconds) {
    std::unique_lock<std::mutex> lock(postMutex_);
    postCv_.wait_for(lock, std::chrono::duration<double>(maxSeconds), [&] { return !posted_.empty(); });
    return !posted_.empty();
}

bool ManualRunLoop::runOnePosted() {
    std::function<void()> fn;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        if (posted_.empty()) return false;
        fn = std::move(posted_.front());
        posted_.pop_front();
    }
    fn();
    return true;
}

// ---- time ----

ManualTime::ManualTime() : loop_(std::make_unique<ManualRunLoop>(*this)) {}
ManualTime::~ManualTime() = default;

std::unique_ptr<SerialQueue> ManualTime::makeQueue(const char*) { return std::make_unique<ManualQueue>(*this); }

SerialQueueFactory ManualTime::queueFactory() {
    return [this](const char* label) { return makeQueue(label); };
}

bool ManualTime::runOneDue() {
    if (loop_->runOnePosted()) return true;
    for (auto* q : std::vector<ManualQueue*>(queues_)) {
        if (std::find(queues_.begin(), queues_.end(), q) == queues_.end()) continue;
        if (!q->items_.empty()) {
            q->runItem();
            return true;
        }
    }
    for (auto* q : std::vector<ManualQueue*>(queues_)) {
        if (std::find(queues_.begin(), queues_.end(), q) == queues_.end()) continue;
        if (q->fireDueTimer()) return true;
    }
    // Main-loop timers due now, earliest first (ties by creation order).
    RunLoop::TimerId best = 0;
    double bestDue = std::numeric_limits<double>::infinity();
    for (auto& [id, t] : loop_->timers_) {
        if (t.due <= now_ && t.due < bestDue) {
            best = id;
            bestDue = t.due;
        }
    }
    if (best != 0) {
        auto it = loop_->timers_.find(best);
        std::function<void()> fn;
        if (it->second.interval > 0) {
            it->second.due += it->second.interval;
            fn = it->second.fn;  // copy: the timer may cancel itself while running
        } else {
            fn = std::move(it->second.fn);
            loop_->timers_.erase(it);
        }
        fn();
        return true;
    }
    return false;
}

double ManualTime::nextDue() const {
    double best = std::numeric_limits<double>::infinity();
    for (auto* q : queues_) best = std::min(best, q->nextTimer());
    for (auto& [id, t] : loop_->timers_) best = std::min(best, t.due);
    return best;
}

void ManualTime::drain() {
    while (runOneDue()) {
    }
}

void ManualTime::advance(double seconds) {
    double target = now_ + std::max(seconds, 0.0);
    drain();
    for (;;) {
        double due = nextDue();
        if (due > target) break;
        now_ = std::max(now_, due);
        drain();
    }
    now_ = target;
    drain();
}

}  // namespace tarvela

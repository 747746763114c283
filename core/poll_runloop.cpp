#include "core/poll_runloop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace tarvela {

PollRunLoop::PollRunLoop() {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) throw std::runtime_error("eventfd failed");
}

PollRunLoop::~PollRunLoop() { close(wakeFd_); }

double PollRunLoop::now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void PollRunLoop::wake() {
    uint64_t one = 1;
    // A full counter still leaves the descriptor readable, which is all we need.
    [[maybe_unused]] ssize_t n = write(wakeFd_, &one, sizeof one);
}

void PollRunLoop::post(std::function<void()> fn) {
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        posted_.push_back(std::move(fn));
    }
    wake();
}

RunLoop::TimerId PollRunLoop::after(double seconds, std::function<void()> fn) {
    TimerId id = nextId_++;
    timers_[id] = Timer{now() + std::max(seconds, 0.0), 0, std::move(fn)};
    return id;
}

RunLoop::TimerId PollRunLoop::every(double seconds, std::function<void()> fn) {
    TimerId id = nextId_++;
    double interval = std::max(seconds, 1e-4);
    timers_[id] = Timer{now() + interval, interval, std::move(fn)};
    return id;
}

void PollRunLoop::cancel(TimerId id) { timers_.erase(id); }

RunLoop::WatchId PollRunLoop::watchFd(int fd, std::function<void()> onReadable) {
    WatchId id = nextId_++;
    watches_[id] = Watch{fd, std::move(onReadable)};
    return id;
}

RunLoop::WatchId PollRunLoop::watchFdWritable(int fd, std::function<void()> onWritable) {
    WatchId id = nextId_++;
    watches_[id] = Watch{fd, std::move(onWritable), POLLOUT};
    return id;
}

void PollRunLoop::unwatchFd(WatchId id) { watches_.erase(id); }

void PollRunLoop::quit() {
    quit_ = true;
    wake();
}

void PollRunLoop::run() {
    while (!quit_.exchange(false)) runOnce(3600);
}

// Work posted while these run waits for the next round, so a post loop cannot
// starve descriptors and timers.
bool PollRunLoop::runPosted() {
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        batch.swap(posted_);
    }
    for (auto& fn : batch) fn();
    return !batch.empty();
}

bool PollRunLoop::runDueTimers() {
    const double t = now();
    std::vector<TimerId> due;
    for (auto& [id, timer] : timers_)
        if (timer.due <= t) due.push_back(id);
    std::sort(due.begin(), due.end(), [&](TimerId a, TimerId b) {
        const Timer &ta = timers_[a], &tb = timers_[b];
        return ta.due != tb.due ? ta.due < tb.due : a < b;
    });
    for (TimerId id : due) {
        auto it = timers_.find(id);
        if (it == timers_.end()) continue;  // cancelled by an earlier callback
        if (it->second.interval > 0) {
            // Deadlines follow the schedule; a late loop fires once, not a burst.
            it->second.due += it->second.interval;
            if (it->second.due < t) it->second.due = t + it->second.interval;
            auto fn = it->second.fn;  // the callback may cancel its own timer
            fn();
        } else {
            auto fn = std::move(it->second.fn);
            timers_.erase(it);
            fn();
        }
    }
    return !due.empty();
}

bool PollRunLoop::runOnce(double maxSeconds) {
    double timeout = std::max(maxSeconds, 0.0);
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        if (!posted_.empty()) timeout = 0;
    }
    if (quit_) timeout = 0;
    const double t = now();
    for (auto& [id, timer] : timers_) timeout = std::min(timeout, std::max(timer.due - t, 0.0));

    std::vector<pollfd> fds;
    std::vector<WatchId> ids;
    fds.push_back({wakeFd_, POLLIN, 0});
    for (auto& [id, w] : watches_) {
        fds.push_back({w.fd, w.events, 0});
        ids.push_back(id);
    }
    // Round up so a timer due in 0.3 ms does not spin through zero timeouts.
    int ms = static_cast<int>(std::ceil(std::min(timeout, 3600.0) * 1000));
    int n = poll(fds.data(), fds.size(), ms);
    if (n < 0 && errno != EINTR) throw std::runtime_error("poll failed");

    bool ran = false;
    if (n > 0 && (fds[0].revents & POLLIN)) {
        uint64_t count;
        [[maybe_unused]] ssize_t r = read(wakeFd_, &count, sizeof count);
    }
    for (size_t i = 1; n > 0 && i < fds.size(); ++i) {
        if (!(fds[i].revents & (fds[i].events | POLLHUP | POLLERR))) continue;
        auto it = watches_.find(ids[i - 1]);
        if (it == watches_.end()) continue;  // removed by an earlier callback
        auto fn = it->second.fn;
        fn();
        ran = true;
    }
    ran |= runPosted();
    ran |= runDueTimers();
    return ran;
}

bool PollRunLoop::runUntil(const std::function<bool()>& pred, double maxSeconds) {
    const double deadline = now() + maxSeconds;
    while (!pred()) {
        double left = deadline - now();
        if (left <= 0) return pred();
        runOnce(left);
    }
    return true;
}

}  // namespace tarvela

#include "ui/qt_runloop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cmath>

namespace tarvela {

QtRunLoop::QtRunLoop() : ctx_(std::make_unique<QObject>()) {}

QtRunLoop::~QtRunLoop() {
    for (auto& [id, t] : timers_) delete t;
    for (auto& [id, n] : watches_) delete n;
}

double QtRunLoop::now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void QtRunLoop::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(ctx_.get(), std::move(fn), Qt::QueuedConnection);
}

RunLoop::TimerId QtRunLoop::start(double seconds, bool repeat, std::function<void()> fn) {
    const TimerId id = nextTimer_++;
    auto* t = new QTimer(ctx_.get());
    // Coarse timers may fire 5 % late, which a 120 Hz slide would show.
    t->setTimerType(Qt::PreciseTimer);
    t->setSingleShot(!repeat);
    const auto ms = std::chrono::milliseconds(std::lround(std::max(0.0, seconds) * 1000));
    QObject::connect(t, &QTimer::timeout, ctx_.get(), [this, id, repeat, fn = std::move(fn)] {
        if (repeat) {
            // The callback may cancel its own timer; keep the function alive through it.
            auto keep = fn;
            keep();
            return;
        }
        auto it = timers_.find(id);
        if (it == timers_.end()) return;
        it->second->deleteLater();
        timers_.erase(it);
        auto once = fn;
        once();
    });
    timers_[id] = t;
    t->start(ms);
    return id;
}

RunLoop::TimerId QtRunLoop::after(double seconds, std::function<void()> fn) { return start(seconds, false, std::move(fn)); }

RunLoop::TimerId QtRunLoop::every(double seconds, std::function<void()> fn) { return start(seconds, true, std::move(fn)); }

void QtRunLoop::cancel(TimerId id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    // It may be the timer whose signal is running right now.
    it->second->deleteLater();
    timers_.erase(it);
}

RunLoop::WatchId QtRunLoop::watchFd(int fd, std::function<void()> onReadable) {
    return watch(fd, QSocketNotifier::Read, std::move(onReadable));
}

RunLoop::WatchId QtRunLoop::watchFdWritable(int fd, std::function<void()> onWritable) {
    return watch(fd, QSocketNotifier::Write, std::move(onWritable));
}

RunLoop::WatchId QtRunLoop::watch(int fd, int type, std::function<void()> onReadable) {
    const WatchId id = nextWatch_++;
    auto* n = new QSocketNotifier(fd, static_cast<QSocketNotifier::Type>(type), ctx_.get());
    QObject::connect(n, &QSocketNotifier::activated, ctx_.get(), [fn = std::move(onReadable)] {
        auto keep = fn;
        keep();
    });
    watches_[id] = n;
    return id;
}

void QtRunLoop::unwatchFd(WatchId id) {
    auto it = watches_.find(id);
    if (it == watches_.end()) return;
    it->second->setEnabled(false);
    it->second->deleteLater();
    watches_.erase(it);
}

void QtRunLoop::quit() { QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection); }

}  // namespace tarvela

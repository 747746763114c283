// The main run loop on Qt's event loop: the X11 layer, the manager, the input
// and the shell's panels all run on the thread that runs QApplication::exec(),
// exactly as they do on the poll loop in headless runs.
#pragma once

#include <QObject>
#include <map>
#include <memory>

#include "core/runloop.h"

class QTimer;
class QSocketNotifier;

namespace tarvela {

class QtRunLoop final : public RunLoop {
public:
    QtRunLoop();  // after the QCoreApplication, on its thread
    ~QtRunLoop() override;
    QtRunLoop(const QtRunLoop&) = delete;
    QtRunLoop& operator=(const QtRunLoop&) = delete;

    double now() override;
    void post(std::function<void()> fn) override;  // any thread
    TimerId after(double seconds, std::function<void()> fn) override;
    TimerId every(double seconds, std::function<void()> fn) override;
    void cancel(TimerId id) override;
    WatchId watchFd(int fd, std::function<void()> onReadable) override;
    WatchId watchFdWritable(int fd, std::function<void()> onWritable) override;
    void unwatchFd(WatchId id) override;

    // Any thread: the event loop returns once it has finished the event it is in.
    void quit();

private:
    TimerId start(double seconds, bool repeat, std::function<void()> fn);
    WatchId watch(int fd, int type, std::function<void()> fn);

    // Posted work is delivered to this object, so none arrives after the loop is gone.
    std::unique_ptr<QObject> ctx_;
    std::map<TimerId, QTimer*> timers_;
    std::map<WatchId, QSocketNotifier*> watches_;
    TimerId nextTimer_ = 1;
    WatchId nextWatch_ = 1;
};

}  // namespace tarvela

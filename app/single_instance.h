// One running Tarvela per user and display: a lock file held for the life of
// the process, and a local socket on which a second start asks the running
// one to come forward before it exits.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "core/runloop.h"

namespace tarvela {

class SingleInstance {
public:
    // $XDG_RUNTIME_DIR, else /tmp/tarvela-<uid>.
    static std::filesystem::path defaultDir();
    // The name of the lock and socket for one display ("app.tarvela" + the display).
    static std::string nameFor(const std::string& display);

    // Tries to become the running instance. While another holds the lock, looks
    // again up to `polls` times, waiting `wait` seconds after each look (so an
    // instance that is quitting can go). Null when another instance still runs;
    // it has then been asked to come forward.
    static std::unique_ptr<SingleInstance> acquire(const std::filesystem::path& dir, const std::string& name,
                                                   int polls = 12, double wait = 0.25);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Calls onActivate on the main loop whenever another start asks for us.
    void listen(RunLoop& loop, std::function<void()> onActivate);

private:
    SingleInstance(int lockFd, int listenFd, std::filesystem::path lockPath, std::filesystem::path sockPath);
    void acceptOne();
    int lockFd_;
    int listenFd_;
    std::filesystem::path lockPath_, sockPath_;
    RunLoop* loop_ = nullptr;
    RunLoop::WatchId watch_ = 0;
    std::function<void()> onActivate_;
};

}  // namespace tarvela

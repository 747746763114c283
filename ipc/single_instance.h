// One running Tarvela per user and display: a lock file held for the life of
// the process, and a local socket on which a second start asks the running
// one to come forward before it exits.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
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
    // it has then been asked to come forward. With `replace` the running one
    // is asked first to hand over and quit, and the looks wait for it to go.
    // When the lock file cannot be opened there is no telling whether another
    // runs: the check is skipped (one log line) and the instance holds nothing
    // (checked() is false).
    static std::unique_ptr<SingleInstance> acquire(const std::filesystem::path& dir, const std::string& name,
                                                   int polls = 12, double wait = 0.25, bool replace = false);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Calls onActivate on the main loop whenever another start asks for us.
    // Peers are accepted and read without ever blocking the loop: each gets
    // `deadline` seconds to say what it wants, and at most `maxPeers` are heard
    // at once (a newcomer pushes the oldest out).
    void listen(RunLoop& loop, std::function<void()> onActivate, double deadline = 0.2, size_t maxPeers = 16);
    // Called on the main loop when a start with --replace asks this one to make way.
    void onReplace(std::function<void()> fn) { onReplace_ = std::move(fn); }
    size_t peers() const { return peers_.size(); }
    bool checked() const { return lockFd_ >= 0; }

private:
    struct Peer {
        int fd = -1;
        RunLoop::WatchId watch = 0;
        RunLoop::TimerId deadline = 0;
        std::string said;
    };
    SingleInstance(int lockFd, int listenFd, std::filesystem::path lockPath, std::filesystem::path sockPath);
    void acceptSome();
    void readPeer(uint64_t id);
    void dropPeer(uint64_t id);
    int lockFd_;
    int listenFd_;
    std::filesystem::path lockPath_, sockPath_;
    RunLoop* loop_ = nullptr;
    RunLoop::WatchId watch_ = 0;
    std::function<void()> onActivate_;
    std::function<void()> onReplace_;
    double deadline_ = 0.2;
    size_t maxPeers_ = 16;
    std::map<uint64_t, Peer> peers_;  // by arrival: the first is the oldest
    uint64_t nextPeer_ = 1;
};

}  // namespace tarvela

#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/time.h>

#include <cctype>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/log.h"

namespace tarvela {
namespace {

bool fillAddress(sockaddr_un& addr, const std::filesystem::path& p) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const std::string s = p.string();
    if (s.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, s.c_str(), s.size());
    return true;
}

// Tells the running instance to come forward; false when nobody answers.
bool askToActivate(const std::filesystem::path& sock) {
    sockaddr_un addr;
    if (!fillAddress(addr, sock)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::write(fd, "activate\n", 9) == 9;
    ::close(fd);
    return ok;
}

}  // namespace

std::filesystem::path SingleInstance::defaultDir() {
    if (const char* d = std::getenv("XDG_RUNTIME_DIR"); d && *d) return d;
    return std::filesystem::path("/tmp") / ("tarvela-" + std::to_string(::getuid()));
}

std::string SingleInstance::nameFor(const std::string& display) {
    std::string safe;
    for (char c : display) safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '.') ? c : '_';
    return "app.tarvela" + (safe.empty() ? std::string() : "-" + safe);
}

std::unique_ptr<SingleInstance> SingleInstance::acquire(const std::filesystem::path& dir, const std::string& name,
                                                        int polls, double wait) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const auto lockPath = dir / (name + ".lock");
    const auto sockPath = dir / (name + ".sock");
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        log("single instance: cannot open " + lockPath.string() + ": " + std::strerror(errno));
        return nullptr;
    }
    bool held = ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;
    for (int i = 0; i < polls && !held; ++i) {
        // The one blocking wait before the event loop starts: an instance that
        // is quitting gets up to polls x wait seconds to go.
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        held = ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;
    }
    if (!held) {
        askToActivate(sockPath);
        ::close(lockFd);
        return nullptr;
    }
    // We hold the lock, so any socket file left behind is stale.
    ::unlink(sockPath.c_str());
    int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr;
    if (listenFd >= 0 && fillAddress(addr, sockPath) &&
        (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, 4) != 0)) {
        ::close(listenFd);
        listenFd = -1;
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(lockFd, listenFd, lockPath, sockPath));
}

SingleInstance::SingleInstance(int lockFd, int listenFd, std::filesystem::path lockPath, std::filesystem::path sockPath)
    : lockFd_(lockFd), listenFd_(listenFd), lockPath_(std::move(lockPath)), sockPath_(std::move(sockPath)) {}

SingleInstance::~SingleInstance() {
    if (loop_ && watch_) loop_->unwatchFd(watch_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(sockPath_.c_str());
    }
    ::close(lockFd_);  // releases the lock
}

void SingleInstance::listen(RunLoop& loop, std::function<void()> onActivate) {
    if (listenFd_ < 0) return;
    loop_ = &loop;
    onActivate_ = std::move(onActivate);
    watch_ = loop.watchFd(listenFd_, [this] { acceptOne(); });
}

void SingleInstance::acceptOne() {
    for (;;) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        char buf[16] = {};
        // The peer writes before it closes; never let a silent one hold the loop.
        timeval tv{0, 200000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        ssize_t n = ::read(fd, buf, sizeof buf - 1);
        ::close(fd);
        if (n > 0 && std::strncmp(buf, "activate", 8) == 0 && onActivate_) onActivate_();
    }
}

}  // namespace tarvela

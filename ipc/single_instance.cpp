#include "ipc/single_instance.h"

#include <fcntl.h>

#include <cctype>
#include <cerrno>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/log.h"

namespace tarvela {
namespace {

// Starts that may wait for us to accept them; a burst of them is normal at login.
constexpr int kBacklog = 128;
// Accepted in one turn of the loop; the rest wait for the next turn.
constexpr int kAcceptsPerTurn = 32;
constexpr size_t kRequestBytes = 16;

bool fillAddress(sockaddr_un& addr, const std::filesystem::path& p) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    const std::string s = p.string();
    if (s.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, s.c_str(), s.size());
    return true;
}

// Tells the running instance to come forward ("activate") or to hand over
// and quit ("replace"); false when nobody answers.
bool ask(const std::filesystem::path& sock, const std::string& what) {
    sockaddr_un addr;
    if (!fillAddress(addr, sock)) return false;
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::write(fd, (what + "\n").c_str(), what.size() + 1) == static_cast<ssize_t>(what.size() + 1);
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
                                                        int polls, double wait, bool replace) {
    std::error_code ec;
    // Private whatever the umask: the scripting socket beside ours is only
    // served from a folder nobody else can write to.
    if (!std::filesystem::exists(dir, ec) && std::filesystem::create_directories(dir, ec))
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
    const auto lockPath = dir / (name + ".lock");
    const auto sockPath = dir / (name + ".sock");
    int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) {
        // Refusing to start over a file we cannot open would keep Tarvela from
        // running at all; without the lock there is also no socket of ours.
        log("single instance: cannot open " + lockPath.string() + ": " + std::strerror(errno) +
            "; starting without the check");
        return std::unique_ptr<SingleInstance>(new SingleInstance(-1, -1, lockPath, sockPath));
    }
    bool held = ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;
    if (!held && replace) ask(sockPath, "replace");
    for (int i = 0; i < polls && !held; ++i) {
        // The one blocking wait before the event loop starts: an instance that
        // is quitting gets up to polls x wait seconds to go.
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        held = ::flock(lockFd, LOCK_EX | LOCK_NB) == 0;
    }
    if (!held) {
        if (!replace) ask(sockPath, "activate");
        ::close(lockFd);
        return nullptr;
    }
    // We hold the lock, so any socket file left behind is stale.
    ::unlink(sockPath.c_str());
    int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un addr;
    if (listenFd >= 0 && fillAddress(addr, sockPath) &&
        (::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listenFd, kBacklog) != 0)) {
        ::close(listenFd);
        listenFd = -1;
    }
    return std::unique_ptr<SingleInstance>(new SingleInstance(lockFd, listenFd, lockPath, sockPath));
}

SingleInstance::SingleInstance(int lockFd, int listenFd, std::filesystem::path lockPath, std::filesystem::path sockPath)
    : lockFd_(lockFd), listenFd_(listenFd), lockPath_(std::move(lockPath)), sockPath_(std::move(sockPath)) {}

SingleInstance::~SingleInstance() {
    while (!peers_.empty()) dropPeer(peers_.begin()->first);
    if (loop_ && watch_) loop_->unwatchFd(watch_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(sockPath_.c_str());
    }
    if (lockFd_ >= 0) ::close(lockFd_);  // releases the lock
}

void SingleInstance::listen(RunLoop& loop, std::function<void()> onActivate, double deadline, size_t maxPeers) {
    if (listenFd_ < 0) return;
    loop_ = &loop;
    onActivate_ = std::move(onActivate);
    deadline_ = deadline;
    maxPeers_ = std::max<size_t>(maxPeers, 1);
    watch_ = loop.watchFd(listenFd_, [this] { acceptSome(); });
}

void SingleInstance::acceptSome() {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        // Whoever has waited longest has had its chance.
        if (peers_.size() >= maxPeers_) dropPeer(peers_.begin()->first);
        const uint64_t id = nextPeer_++;
        Peer& p = peers_[id];
        p.fd = fd;
        p.watch = loop_->watchFd(fd, [this, id] { readPeer(id); });
        p.deadline = loop_->after(deadline_, [this, id] {
            if (auto it = peers_.find(id); it != peers_.end()) it->second.deadline = 0;  // fired
            dropPeer(id);
        });
    }
}

void SingleInstance::readPeer(uint64_t id) {
    auto it = peers_.find(id);
    if (it == peers_.end()) return;
    Peer& p = it->second;
    char buf[kRequestBytes];
    const ssize_t n = ::read(p.fd, buf, sizeof buf);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n > 0) p.said.append(buf, static_cast<size_t>(std::min<size_t>(static_cast<size_t>(n), kRequestBytes)));
    const bool asked = p.said.rfind("activate", 0) == 0;
    const bool replacing = p.said.rfind("replace", 0) == 0;
    // It has said all it will: closed, failed, asked, or talked past any request.
    if (n <= 0 || asked || replacing || p.said.size() >= kRequestBytes) {
        dropPeer(id);
        if (asked && onActivate_) onActivate_();
        if (replacing && onReplace_) onReplace_();
    }
}

void SingleInstance::dropPeer(uint64_t id) {
    auto it = peers_.find(id);
    if (it == peers_.end()) return;
    loop_->unwatchFd(it->second.watch);
    if (it->second.deadline) loop_->cancel(it->second.deadline);
    ::close(it->second.fd);
    peers_.erase(it);
}

}  // namespace tarvela

#include "ipc/ipc_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/log.h"

namespace tarvela {

struct IpcServer::Client {
    uint64_t id = 0;
    int fd = -1;
    RunLoop::WatchId readWatch = 0;
    RunLoop::WatchId writeWatch = 0;
    std::string in;
    bool discarding = false;  // skipping the rest of a request line that is too long
    std::string out;
    size_t outPos = 0;
    bool eof = false;
    bool dead = false;
    bool waitingSync = false;
    std::set<std::string> topics;
    uint64_t seq = 0;  // events sent
};

namespace {

constexpr size_t readChunk = 64 * 1024;
constexpr int readsPerTurn = 4;  // a busy client cannot hold the loop for long

// The socket's folder must be the user's own and closed to everyone else.
std::optional<std::string> unsafeFolder(const std::filesystem::path& dir) {
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0) return std::string("cannot read it: ") + std::strerror(errno);
    if (!S_ISDIR(st.st_mode)) return std::string("it is not a folder");
    if (st.st_uid != ::geteuid()) return "it belongs to uid " + std::to_string(st.st_uid);
    if (st.st_mode & (S_IWGRP | S_IWOTH)) return std::string("others may write to it");
    return std::nullopt;
}

}  // namespace

IpcServer::IpcServer(RunLoop& loop, IpcCommands& commands, IpcServerOptions options)
    : loop_(loop), commands_(commands), opt_(std::move(options)) {
    if (opt_.allowedUid == static_cast<uid_t>(-1)) opt_.allowedUid = ::geteuid();
}

IpcServer::~IpcServer() {
    life_.end();
    changed_.disconnect();
    events_.reset();
    for (auto& [id, c] : clients_) drop(*c, "");
    clients_.clear();
    if (listenFd_ >= 0) {
        loop_.unwatchFd(listenWatch_);
        ::close(listenFd_);
        ::unlink(opt_.path.c_str());
    }
}

bool IpcServer::start() {
    const std::filesystem::path dir = opt_.path.parent_path();
    std::error_code ec;
    if (!std::filesystem::exists(dir, ec)) {
        std::filesystem::create_directories(dir.parent_path(), ec);
        ::mkdir(dir.c_str(), 0700);
    }
    if (auto why = unsafeFolder(dir)) {
        log("scripting: not listening: refusing the folder " + dir.string() + ": " + *why);
        return false;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string p = opt_.path.string();
    if (p.size() >= sizeof addr.sun_path) {
        log("scripting: not listening: the socket path is too long: " + p);
        return false;
    }
    std::memcpy(addr.sun_path, p.c_str(), p.size());
    // One Tarvela per display holds the single-instance lock, so a socket
    // left here is a crashed run's.
    struct stat st {};
    if (::lstat(p.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(p.c_str());
    listenFd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::chmod(p.c_str(), 0600) != 0 || ::listen(listenFd_, 64) != 0) {
        log("scripting: not listening on " + p + ": " + std::strerror(errno));
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    listenWatch_ = loop_.watchFd(listenFd_, [this] { acceptSome(); });
    changed_ = commands_.deps().manager.changed.connect([this] {
        for (auto& [id, c] : clients_)
            if (c->waitingSync) return postSyncCheck();
    });
    if (opt_.exportPath) ::setenv("TARVELA_SOCKET", p.c_str(), 1);
    log("listening for scripts on " + p);
    return true;
}

void IpcServer::refuse(int fd, const std::string& why) {
    const std::string line = ipc::errorLine(why);
    [[maybe_unused]] ssize_t n = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::close(fd);
}

void IpcServer::acceptSome() {
    for (int i = 0; i < opt_.acceptsPerTurn; ++i) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) return;
        ucred cred{};
        socklen_t len = sizeof cred;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != opt_.allowedUid) {
            log("scripting: refused a connection from uid " + std::to_string(cred.uid));
            refuse(fd, "permission denied: this Tarvela takes requests from its own user only");
            continue;
        }
        if (clients_.size() >= opt_.maxClients) {
            log("scripting: refused a connection: " + std::to_string(opt_.maxClients) + " clients already");
            refuse(fd, "too many clients (" + std::to_string(opt_.maxClients) + ")");
            continue;
        }
        auto c = std::make_unique<Client>();
        c->id = nextClient_++;
        c->fd = fd;
        Client& ref = *c;
        clients_[c->id] = std::move(c);
        setReading(ref, true);
    }
}

void IpcServer::setReading(Client& c, bool on) {
    if (on && !c.readWatch && !c.eof && !c.dead) {
        c.readWatch = loop_.watchFd(c.fd, [this, id = c.id] {
            auto it = clients_.find(id);
            if (it != clients_.end() && !it->second->dead) readFrom(*it->second);
        });
    } else if (!on && c.readWatch) {
        loop_.unwatchFd(c.readWatch);
        c.readWatch = 0;
    }
}

void IpcServer::readFrom(Client& c) {
    char buf[readChunk];
    for (int i = 0; i < readsPerTurn && !c.waitingSync && !c.dead; ++i) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0) return drop(c, "");  // reset by the peer
        if (n == 0) {
            c.eof = true;
            break;
        }
        std::string_view chunk(buf, static_cast<size_t>(n));
        if (c.discarding) {
            const size_t nl = chunk.find('\n');
            if (nl == std::string_view::npos) continue;
            c.discarding = false;
            send(c, ipc::errorLine("request longer than " + std::to_string(ipc::maxRequestBytes) + " bytes"));
            chunk.remove_prefix(nl + 1);
        }
        c.in.append(chunk);
        process(c);
    }
    if (c.eof && !c.dead) {
        setReading(c, false);
        // A request cut off by the client's end is no request.
        if (!c.waitingSync) c.in.clear();
        if (!c.waitingSync && c.outPos == c.out.size()) drop(c, "");
    }
}

void IpcServer::process(Client& c) {
    size_t start = 0;
    while (!c.waitingSync && !c.dead) {
        const size_t nl = c.in.find('\n', start);
        if (nl == std::string::npos) break;
        std::string_view line(c.in.data() + start, nl - start);
        start = nl + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        handle(c, line);
    }
    if (c.dead) return;
    c.in.erase(0, start);
    if (!c.waitingSync && c.in.size() > ipc::maxRequestBytes) {
        c.discarding = true;
        c.in.clear();
        c.in.shrink_to_fit();
    }
}

void IpcServer::handle(Client& c, std::string_view line) {
    if (line.size() > ipc::maxRequestBytes)
        return send(c, ipc::errorLine("request longer than " + std::to_string(ipc::maxRequestBytes) + " bytes"));
    auto parsed = ipc::parseRequest(line);
    if (auto* err = std::get_if<std::string>(&parsed)) return send(c, ipc::errorLine(*err));
    const ipc::Request& r = std::get<ipc::Request>(parsed);
    if (r.command->name == "subscribe") {
        if (!events_)
            events_ = std::make_unique<IpcEvents>(commands_, loop_, [this](const std::string& topic, Json event) {
                publish(topic, std::move(event));
            });
        for (const Json& t : r.args[0]) c.topics.insert(t.get<std::string>());
        return send(c, ipc::okLine(Json{{"topics", c.topics}}));
    }
    if (r.command->name == "sync") {
        // The reply waits, and so does everything this client sends after it.
        c.waitingSync = true;
        setReading(c, false);
        return postSyncCheck();
    }
    try {
        send(c, ipc::okLine(commands_.run(r)));
    } catch (const IpcError& e) {
        send(c, ipc::errorLine(e.what()));
    } catch (const std::exception& e) {
        send(c, ipc::errorLine(r.command->name + " failed: " + e.what()));
    }
    // What one command changed is told before the next one runs: three
    // focus-right in one write are three focus events, not their sum.
    if (events_) events_->flush();
}

// Checked after the manager's work in hand: a change is in the middle of being
// made while its signal is emitted.
void IpcServer::postSyncCheck() {
    if (syncCheckPosted_) return;
    syncCheckPosted_ = true;
    loop_.post(life_.guard([this] {
        syncCheckPosted_ = false;
        checkSyncs();
    }));
}

// Runs after the work posted before the sync request; strips that still
// slide call it again through the manager's change signal when they settle.
void IpcServer::checkSyncs() {
    if (!commands_.settled()) return;
    if (events_) events_->flush();
    std::vector<uint64_t> waiting;
    for (auto& [id, c] : clients_)
        if (c->waitingSync && !c->dead) waiting.push_back(id);
    for (uint64_t id : waiting) {
        auto it = clients_.find(id);
        if (it == clients_.end() || it->second->dead) continue;
        Client& c = *it->second;
        c.waitingSync = false;
        send(c, ipc::okLine(nullptr));
        process(c);  // may meet another sync
        if (c.dead || c.waitingSync) continue;
        setReading(c, true);
        if (c.eof && c.outPos == c.out.size()) drop(c, "");
    }
}

void IpcServer::send(Client& c, std::string_view data) {
    if (c.dead) return;
    if (c.out.size() - c.outPos + data.size() > opt_.maxOutput)
        return drop(c, "dropped a client that stopped reading (" + std::to_string(opt_.maxOutput) +
                           " bytes waiting for it)");
    if (c.outPos > (1 << 20) && c.outPos * 2 > c.out.size()) {
        c.out.erase(0, c.outPos);
        c.outPos = 0;
    }
    c.out.append(data);
    // Written when the loop next finds the socket writable: the replies and
    // events of one turn leave together.
    if (!c.writeWatch)
        c.writeWatch = loop_.watchFdWritable(c.fd, [this, id = c.id] {
            auto it = clients_.find(id);
            if (it != clients_.end() && !it->second->dead) flushOut(*it->second);
        });
}

void IpcServer::flushOut(Client& c) {
    while (c.outPos < c.out.size()) {
        const ssize_t n = ::send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0) return drop(c, "");  // the client went away
        c.outPos += static_cast<size_t>(n);
    }
    if (c.outPos < c.out.size()) return;  // the writable watch stays
    c.out.clear();
    c.outPos = 0;
    if (c.writeWatch) {
        loop_.unwatchFd(c.writeWatch);
        c.writeWatch = 0;
    }
    // A client that has said all it had to say goes once it has every reply.
    if (c.eof && !c.waitingSync) drop(c, "");
}

void IpcServer::drop(Client& c, const std::string& why) {
    if (c.dead) return;
    c.dead = true;
    if (c.readWatch) loop_.unwatchFd(c.readWatch);
    if (c.writeWatch) loop_.unwatchFd(c.writeWatch);
    c.readWatch = c.writeWatch = 0;
    ::close(c.fd);
    c.fd = -1;
    if (!why.empty()) log("scripting: " + why);
    if (reapPosted_) return;
    reapPosted_ = true;
    loop_.post(life_.guard([this] { reap(); }));
}

void IpcServer::reap() {
    reapPosted_ = false;
    std::erase_if(clients_, [](const auto& kv) { return kv.second->dead; });
}

size_t IpcServer::subscriberCount() const {
    size_t n = 0;
    for (const auto& [id, c] : clients_) n += !c->dead && !c->topics.empty();
    return n;
}

// Each client numbers the events it is sent, so that any subscriber can tell
// that none is missing.
void IpcServer::publish(const std::string& topic, Json event) {
    ++seq_;
    std::string line = event.dump(-1, ' ', false, Json::error_handler_t::replace);
    line.pop_back();  // the object's closing brace
    line += ",\"seq\":";
    const size_t head = line.size();
    for (auto& [id, c] : clients_) {
        if (c->dead || !c->topics.count(topic)) continue;
        line.resize(head);
        line += std::to_string(++c->seq) + "}\n";
        send(*c, line);
    }
}

}  // namespace tarvela

// A shell on the simulated desktop with its scripting socket open in a fresh
// folder, and plain socket clients for it. Nothing waits on a clock: pump()
// runs the descriptor watches that are ready and the work they posted.
#pragma once

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/router.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/manual_time.h"
#include "input/hotkey_service.h"
#include "manager/feedback_hooks.h"
#include "platform/sim/sim_desktop.h"
#include "settings/defaults.h"
#include "tests/app/sim_shell.h"

namespace tarvela::testing {

class IpcDesk {
public:
    ManualTime time;
    SimDesktop sim{time.loop()};
    MemoryDefaults defaults;
    SimHotkeyService keys;
    HeadlessRouter router;
    NoFeedback feedback;
    std::unique_ptr<Shell> shell;
    std::filesystem::path dir;
    std::vector<AXElement> wins;
    std::vector<std::string> logs;
    int32_t pid = 0;

    explicit IpcDesk(int displays = 1, int windows = 6) {
        setLogSink([this](const std::string& l) { logs.push_back(l); });
        char tmpl[] = "/tmp/tarvela-ipc-XXXXXX";
        dir = ::mkdtemp(tmpl);
        for (int d = 0; d < displays; ++d) sim.addStandardDisplay(d ? "Studio Display" : "Built-in Display");
        pid = sim.addApp(AppSpec{std::nullopt, "Term", std::optional<std::string>("org.term"), nullptr,
                                 ActivationPolicy::Regular});
        for (int i = 0; i < windows; ++i) {
            WindowSpec shape;
            shape.title = "term " + std::to_string(i);
            wins.push_back(sim.addWindow(pid, Rect(100 + 40 * i, 100, 700, 600), shape));
        }
        Prefs p(defaults);
        p.onboarded.set(true);
        p.enabled.set(true);
        shell = std::make_unique<Shell>(simShellDeps(sim, time, defaults, keys, router, feedback));
        shell->start({});
        time.advance(1);
    }
    ~IpcDesk() {
        shell.reset();
        setLogSink(nullptr);
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path socket() const { return dir / "run" / "tarvela.sock"; }
    bool open(IpcServerOptions o = {}) {
        o.exportPath = false;
        return shell->startScripting(socket(), o);
    }
    IpcServer& server() { return *shell->scripts; }

    // Runs the ready watches and what they posted until nothing more is ready.
    void pump() {
        for (int i = 0; i < 10000; ++i) {
            const bool ran = time.loop().pollFds(0);
            time.drain();
            if (!ran) return;
        }
    }
    bool logged(const std::string& part) const {
        for (const auto& l : logs)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

// One connection, read without blocking.
class Peer {
public:
    Peer(IpcDesk& desk, const std::filesystem::path& path) : desk_(desk) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        desk_.pump();
    }
    explicit Peer(IpcDesk& desk) : Peer(desk, desk.socket()) {}
    ~Peer() { close(); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    bool connected() const { return connected_; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    // Writes everything, letting the server read whenever the socket is full.
    void write(const std::string& data) {
        for (size_t sent = 0; sent < data.size();) {
            const ssize_t n = ::send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) sent += static_cast<size_t>(n);
            else if (n < 0 && errno != EAGAIN) return;  // the server has let go
            else desk_.pump();
        }
        desk_.pump();
    }
    // Every complete line received so far.
    std::vector<std::string> lines() {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
            if (n == 0) eof_ = true;
            if (n <= 0) break;
            buf_.append(buf, static_cast<size_t>(n));
        }
        std::vector<std::string> out;
        size_t start = 0;
        for (size_t nl; (nl = buf_.find('\n', start)) != std::string::npos; start = nl + 1)
            out.push_back(buf_.substr(start, nl - start));
        buf_.erase(0, start);
        return out;
    }
    // Reads, letting the server write more, until `n` lines have come or no more do.
    std::vector<std::string> lines(size_t n) {
        std::vector<std::string> out;
        for (int idle = 0; out.size() < n && idle < 3;) {
            auto more = lines();
            idle = more.empty() ? idle + 1 : 0;
            for (auto& l : more) out.push_back(std::move(l));
            desk_.pump();
        }
        return out;
    }
    bool closedByServer() {
        lines();
        return eof_;
    }
    // One request and its one reply.
    Json ask(const std::string& line) {
        write(line + "\n");
        auto got = lines();
        if (got.size() != 1) return Json{{"lines", got.size()}};
        return Json::parse(got[0], nullptr, false);
    }
    Json ask(const std::string& command, Json args) {
        return ask(Json{{"command", command}, {"args", std::move(args)}}.dump());
    }

private:
    IpcDesk& desk_;
    int fd_ = -1;
    bool connected_ = false;
    bool eof_ = false;
    std::string buf_;
};

}  // namespace tarvela::testing

// The scripting socket on the simulated desktop, one strip of forty windows:
//   ipc_roundtrip_us   one `get strips` request and its reply over the socket (mean)
//   ipc_events_per_s   events that reach a subscriber while, turn after turn,
//                      focus moves and three preferences flip
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/sim_desk.h"
#include "core/log.h"
#include "ipc/ipc_commands.h"
#include "ipc/ipc_server.h"

using namespace tarvela;

namespace {

struct Rig {
    Desk desk{1, 40};
    IpcCommands commands{IpcDeps{desk.wm, desk.prefs, desk.rules, desk.workspaces, desk.sim,
                                 [this](Action a, int n) { desk.wm.perform(a, n); }}};
    std::string dir;
    std::unique_ptr<IpcServer> server;
    int fd = -1;
    std::string buf;

    Rig() {
        char tmpl[] = "/tmp/tarvela-ipc-bench-XXXXXX";
        dir = ::mkdtemp(tmpl);
        desk.wm.start();
        desk.time.drain();
        IpcServerOptions o;
        o.path = dir + "/s.sock";
        o.exportPath = false;
        server = std::make_unique<IpcServer>(desk.time.loop(), commands, o);
        if (!server->start()) std::abort();
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", o.path.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) std::abort();
        turn();
    }
    ~Rig() {
        ::close(fd);
        server.reset();
        ::unlink((dir + "/s.sock").c_str());
        ::rmdir(dir.c_str());
    }
    void turn() {
        while (desk.time.loop().pollFds(0)) desk.time.drain();
        desk.time.drain();
    }
    // Lines received so far.
    size_t take() {
        char chunk[65536];
        size_t lines = 0;
        for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            buf.append(chunk, static_cast<size_t>(n));
        for (size_t nl; (nl = buf.find('\n')) != std::string::npos; ++lines) buf.erase(0, nl + 1);
        return lines;
    }
    void ask(const std::string& line) {
        if (::send(fd, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size())) std::abort();
        size_t got = 0;
        while (got == 0) {
            turn();
            got = take();
        }
    }
};

double roundTripUs = 0;

void BM_GetStrips(benchmark::State& state) {
    Rig rig;
    const std::string req = "{\"command\":\"get\",\"args\":[\"strips\"]}\n";
    long n = 0;
    double us = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        rig.ask(req);
        us += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
        ++n;
    }
    roundTripUs = n ? us / static_cast<double>(n) : 0;
}
BENCHMARK(BM_GetStrips)->MinTime(0.3);

double eventsPerSecond() {
    Rig rig;
    rig.ask("{\"command\":\"subscribe\",\"args\":[\"focus,window,strip,workspace,preferences\"]}\n");
    using Clock = std::chrono::steady_clock;
    size_t events = 0;
    const auto t0 = Clock::now();
    const auto end = t0 + std::chrono::milliseconds(500);
    for (long i = 0; Clock::now() < end; ++i) {
        rig.desk.wm.perform(i % 80 < 40 ? Action::focusNext : Action::focusPrev, 0);
        // A burst within one turn, as a settings import or a script's batch makes one.
        rig.desk.prefs.blur.set(!rig.desk.prefs.blur());
        rig.desk.prefs.previews.set(!rig.desk.prefs.previews());
        rig.desk.prefs.natural.set(!rig.desk.prefs.natural());
        if (i % 16 == 0) rig.desk.time.advance(0.4);  // lets slides finish: their ends are events too
        rig.turn();
        events += rig.take();
    }
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return static_cast<double>(events) / s;
}

}  // namespace

int main(int argc, char** argv) {
    setLogSink([](const std::string&) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("BENCH ipc_roundtrip_us %.1f us\n", roundTripUs);
    std::printf("BENCH ipc_events_per_s %.0f events/s\n", eventsPerSecond());
    setLogSink(nullptr);
    return 0;
}

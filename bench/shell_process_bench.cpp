// The tarvela executable as a user runs it: a private Xvfb and session bus,
// tint2 as the panel that hosts the tray item, nineteen xterms, and every file
// Tarvela touches in a scratch folder. After a short tour (focus moves along
// the strip through XTEST, a twentieth terminal, one more move):
//   app_rss_mb          its resident memory (VmRSS),
//   idle_wakeups_per_s  with nothing happening, once the HUD has gone: the
//                       context switches of all its threads over ten seconds,
//                       per second. Each thread's share goes to stderr.
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/shell_bench_env.h"

using namespace tarvela::bench;

namespace {

constexpr size_t kTerminals = 20;
constexpr double kIdleSeconds = 10;
// The HUD hides two seconds after the last activity and fades for 0.3 more;
// its fade ends a little after it has gone from the screen.
constexpr double kSettleSeconds = 3;
constexpr double kFadeSeconds = 0.5;

constexpr xcb_keysym_t kControl = 0xffe3, kAlt = 0xffe9, kRight = 0xff53, kLeft = 0xff51;

Clock::duration seconds(double s) { return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s)); }

// A "Name:   value" field of a /proc status file, as a number; -1 when absent.
long statusField(const std::string& path, const std::string& name) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, name.size() + 1, name + ":") == 0) return std::atol(line.c_str() + name.size() + 1);
    return -1;
}

struct Thread {
    std::string comm;
    long switches = 0;
};

// Every thread of pid now: its name and its voluntary plus involuntary switches.
std::map<int, Thread> threads(pid_t pid) {
    std::map<int, Thread> out;
    const std::string dir = "/proc/" + std::to_string(pid) + "/task";
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string task = dir + "/" + e->d_name;
        Thread t;
        std::ifstream(task + "/comm") >> t.comm;
        t.switches = statusField(task + "/status", "voluntary_ctxt_switches") +
                     statusField(task + "/status", "nonvoluntary_ctxt_switches");
        out[std::atoi(e->d_name)] = t;
    }
    closedir(d);
    return out;
}

}  // namespace

int main() {
    Session session;
    const std::string& display = session.server.display;
    XClient x(display);
    if (!session.missing().empty() || !x.ok()) {
        std::fprintf(stderr, "shell_process_bench: %s\n",
                     session.missing().empty() ? "the display is unreachable" : session.missing().c_str());
        return 1;
    }
    int status = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "shell_process_bench: %s\n", what);
        status = 1;
    };

    const pid_t panel = spawn({"tint2"}, display);
    if (!waitUntil([&] { return x.selectionOwner("_NET_SYSTEM_TRAY_S0") != XCB_NONE; }, 20)) fail("tint2 hosts no tray");
    std::vector<pid_t> clients;
    auto terminal = [&] {
        clients.push_back(spawn({"xterm", "-geometry", "80x24+" + std::to_string(clients.size() * 60) + "+100"},
                                display));
    };
    for (size_t i = 0; i + 1 < kTerminals; ++i) terminal();

    Output out;
    const pid_t app = spawn({TARVELA_EXE, "--display", display}, "", out.writeEnd());
    out.closeWriteEnd();
    if (status == 0 && !waitUntil([&] { return out.said("[Tarvela] launched "); }, 30)) fail("tarvela did not launch");
    if (out.said("no system tray")) fail("tarvela found no tray to put its item in");
    if (status == 0 && !waitUntil([&] { return x.clients("XTerm").size() == kTerminals - 1; }, 60))
        fail("tarvela did not manage the terminals");

    // The tour. Each step waits for the focus it asked for, and the last change
    // seen starts the quiet period.
    auto last = Clock::now();
    auto active = [&] {
        const auto a = x.cardinals(x.root(), "_NET_ACTIVE_WINDOW");
        return a.empty() ? 0u : a[0];
    };
    auto step = [&](const std::vector<xcb_keysym_t>& keys) {
        const uint32_t before = active();
        x.chord(keys);
        if (!waitUntil([&] { return active() != before && active() != 0; }, 5)) return false;
        last = Clock::now();
        return true;
    };
    // Every terminal in a full-height column of the strip (below its top inset).
    auto tiled = [&](size_t n) {
        const auto terms = x.clients("XTerm");
        if (terms.size() != n) return false;
        for (xcb_window_t w : terms) {
            const auto g = x.geometry(w);
            if (g.y != 12 || g.h < 900) return false;
        }
        return true;
    };
    // Along the strip, turning back at its end. Once every terminal is a
    // column, their order on screen is the strip's, even while it slides.
    bool rightwards = true;
    auto move = [&] {
        const uint32_t a = active();
        const int at = x.geometry(a).x;
        bool beyond = false;
        for (xcb_window_t w : x.clients("XTerm"))
            if (w != a) beyond |= rightwards ? x.geometry(w).x > at : x.geometry(w).x < at;
        if (!beyond) rightwards = !rightwards;
        if (!step({kControl, kAlt, rightwards ? kRight : kLeft})) fail("a focus move did not land");
    };
    if (status == 0 && !waitUntil([&] { return tiled(kTerminals - 1); }, 60)) {
        fail("the terminals were not tiled");
        for (xcb_window_t w : x.clients("XTerm")) {
            const auto g = x.geometry(w);
            std::fprintf(stderr, "  terminal %x at %d,%d %dx%d\n", w, g.x, g.y, g.w, g.h);
        }
    }
    for (int i = 0; status == 0 && i < 4; ++i) move();
    if (status == 0) {
        const uint32_t before = active();
        terminal();
        if (!waitUntil([&] { return tiled(kTerminals) && active() != before; }, 30))
            fail("the new terminal was not managed and focused");
        last = Clock::now();
    }
    if (status == 0) move();

    // Settled: the HUD gone from the screen, and its fade's end passed.
    if (status == 0 && !waitUntil([&] { return x.overrideRedirectMapped() == 0; }, 10)) fail("the HUD stayed up");
    if (status == 0) {
        std::this_thread::sleep_until(std::max(last + seconds(kSettleSeconds), Clock::now() + seconds(kFadeSeconds)));
        const std::string proc = "/proc/" + std::to_string(app) + "/status";
        std::printf("BENCH app_rss_mb %.1f MB\n", static_cast<double>(statusField(proc, "VmRSS")) / 1024);
        std::fflush(stdout);
        std::fprintf(stderr, "shell_process_bench: %zu terminals managed, RssAnon %ld kB, RssFile %ld kB\n",
                     x.clients("XTerm").size(), statusField(proc, "RssAnon"), statusField(proc, "RssFile"));

        const auto before = threads(app);
        std::this_thread::sleep_for(seconds(kIdleSeconds));
        const auto after = threads(app);
        long total = 0;
        std::vector<std::pair<long, std::string>> shares;
        for (const auto& [tid, t] : after) {
            const auto b = before.find(tid);
            const long n = t.switches - (b != before.end() ? b->second.switches : 0);
            total += n;
            shares.emplace_back(n, t.comm + " (" + std::to_string(tid) + ")");
        }
        std::printf("BENCH idle_wakeups_per_s %.1f /s\n", static_cast<double>(total) / kIdleSeconds);
        std::sort(shares.rbegin(), shares.rend());
        std::fprintf(stderr, "shell_process_bench: %zu threads (%zu before); switches over %.0f s:\n", after.size(),
                     before.size(), kIdleSeconds);
        for (const auto& [n, name] : shares) std::fprintf(stderr, "  %5ld  %s\n", n, name.c_str());
        if (x.overrideRedirectMapped() != 0) fail("something of Tarvela's came on screen while it was idle");
    }

    kill(app, SIGTERM);
    if (!waitUntil([&] { return waitpid(app, nullptr, WNOHANG) == app; }, 10)) end(app);
    if (status != 0) std::fprintf(stderr, "tarvela said:\n%s", out.text().c_str());
    for (pid_t c : clients) end(c);
    end(panel);
    return status;
}

// Restarting in place with the tarvela executable: a private Xvfb and session
// bus, 40 clients arranged in stacks and several widths, Tarvela killed
// (SIGKILL, so only what it left on the display survives) and started again.
//   restart_restore_ms   from the new process's start until every one of the
//                        40 windows is framed by it again exactly where it
//                        stood before the kill.
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/shell_bench_env.h"

using namespace tarvela::bench;

namespace {

constexpr int kWindows = 40;

// `tarvela msg` with these words, to its end.
bool msg(const std::vector<std::string>& words, const std::string& display) {
    std::vector<std::string> argv{TARVELA_EXE, "msg"};
    argv.insert(argv.end(), words.begin(), words.end());
    const pid_t p = spawn(argv, display);
    int st = 0;
    return p > 0 && waitpid(p, &st, 0) == p && WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

xcb_window_t parentOf(XClient& x, xcb_window_t w) {
    auto* r = xcb_query_tree_reply(x.c(), xcb_query_tree(x.c(), w), nullptr);
    const xcb_window_t p = r ? r->parent : XCB_NONE;
    free(r);
    return p;
}

std::string rootText(XClient& x, const char* prop) {
    auto* r = xcb_get_property_reply(
        x.c(), xcb_get_property(x.c(), 0, x.root(), x.atom(prop), XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 16), nullptr);
    std::string out;
    if (r) out.assign(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
    free(r);
    return out;
}

// Every window framed by a window manager, each at its geometry in `want`.
bool inPlace(XClient& x, const std::vector<xcb_window_t>& wins, const std::vector<XClient::Geom>& want) {
    for (size_t i = 0; i < wins.size(); ++i) {
        if (parentOf(x, wins[i]) == x.root()) return false;
        const XClient::Geom g = x.geometry(wins[i]);
        if (g.x != want[i].x || g.y != want[i].y || g.w != want[i].w || g.h != want[i].h) return false;
    }
    return true;
}

}  // namespace

int main() {
#ifndef TARVELA_EXE
    std::fprintf(stderr, "restart_bench: built without the tarvela executable\n");
    return 1;
#else
    Session session;
    const std::string& display = session.server.display;
    XClient x(display);
    if (!sessionReady(session, x, "restart_bench")) return 1;
    std::vector<pid_t> clients;
    for (int i = 0; i < kWindows; ++i)
        clients.push_back(spawn({"xlogo", "-geometry", "200x200+" + std::to_string(i * 45) + "+100"}, display));
    Output out;
    pid_t app = spawn({TARVELA_EXE, "--display", display}, "", out.writeEnd());
    out.closeWriteEnd();
    int status = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "restart_bench: %s\n", what);
        status = 1;
    };
    std::vector<xcb_window_t> wins;
    if (!waitUntil([&] { return out.said("[Tarvela] launched "); }, 30)) fail("tarvela did not launch");
    if (status == 0 && !waitUntil([&] { return (wins = x.clients("XLogo")).size() == kWindows; }, 60))
        fail("not every window was managed");

    // Stacks of two and three, widths stepped up and down, the focus somewhere in the middle.
    if (status == 0) {
        for (int i = 0; i < 8; ++i)
            for (const char* m : {"focus-left", "stack-left", i % 2 ? "wider" : "narrower", "focus-left"})
                if (!msg({m}, display)) fail("an arranging request failed");
        for (const char* m : {"focus-right", "focus-right", "wider", "sync"}) msg({m}, display);
    }
    // Left at rest, with the record of it written (it stops changing).
    std::vector<XClient::Geom> arranged;
    if (status == 0) {
        std::string seen = rootText(x, "_TARVELA_ARRANGEMENT");
        auto still = Clock::now();
        waitUntil([&] {
            const std::string now = rootText(x, "_TARVELA_ARRANGEMENT");
            if (now != seen || now.empty()) {
                seen = now;
                still = Clock::now();
            }
            return msSince(still) > 600;
        }, 20);
        x.sync();
        for (xcb_window_t w : wins) arranged.push_back(x.geometry(w));
        kill(app, SIGKILL);
        waitpid(app, nullptr, 0);
        app = -1;
    }
    Output again;
    if (status == 0) {
        const auto began = Clock::now();
        app = spawn({TARVELA_EXE, "--display", display}, "", again.writeEnd());
        again.closeWriteEnd();
        if (waitUntil([&] { return inPlace(x, wins, arranged); }, 30))
            std::printf("BENCH restart_restore_ms %.0f ms\n", msSince(began));
        else
            fail("the windows did not come back where they were");
        if (!waitUntil([&] { return again.said("40 windows back where they were"); }, 10))
            fail("the new start did not take up the arrangement");
    }
    end(app);
    for (pid_t c : clients) end(c);
    return status;
#endif
}

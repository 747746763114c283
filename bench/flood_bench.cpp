// The tarvela executable while another client floods it: a private Xvfb and
// session bus, one terminal, and a client sending _NET_ACTIVE_WINDOW requests
// as fast as the server takes them.
//   flood_new_window_ms   a window mapped two seconds into the flood, until it
//                         stands tiled in the strip (the manager itself waits
//                         0.35 s before adopting a new window),
//   flood_rss_growth_mb   the most its resident memory grew over five seconds
//                         of flood, from before the flood.
#include <fstream>
#include <string>

#include "bench/shell_bench_env.h"
#include "tests/app/x11/x11_flooder.h"

using namespace tarvela::bench;
using tarvela::testing::Flood;
using tarvela::testing::Flooder;
using tarvela::testing::residentMb;


int main() {
#ifndef TARVELA_EXE
    std::fprintf(stderr, "flood_bench: built without the tarvela executable\n");
    return 1;
#else
    Session session;
    const std::string& display = session.server.display;
    XClient x(display);
    if (!session.missing().empty() || !x.ok()) {
        std::fprintf(stderr, "flood_bench: %s\n",
                     session.missing().empty() ? "the display is unreachable" : session.missing().c_str());
        return 1;
    }
    const pid_t term = spawn({"xterm"}, display);
    Output out;
    const pid_t app = spawn({TARVELA_EXE, "--display", display}, "", out.writeEnd());
    out.closeWriteEnd();
    int status = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "flood_bench: %s\n", what);
        status = 1;
    };
    if (!waitUntil([&] { return out.said("[Tarvela] launched "); }, 30)) fail("tarvela did not launch");
    if (status == 0 && !waitUntil([&] { return x.clients("XTerm").size() == 1; }, 30)) fail("no terminal managed");

    const double before = residentMb(app);
    double most = before;
    Flooder flood(display, Flood::Activation);
    if (status == 0 && !flood.ok()) fail("the flooding client could not connect");
    if (status == 0) {
        flood.start();
        const auto began = Clock::now();
        auto floodFor = [&](double ms) {
            waitUntil([&] {
                most = std::max(most, residentMb(app));
                return msSince(began) >= ms;
            }, ms / 1000 + 30);
        };
        floodFor(2000);
        const xcb_window_t w = xcb_generate_id(x.c());
        xcb_create_window(x.c(), XCB_COPY_FROM_PARENT, w, x.root(), 300, 300, 500, 400, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        const uint32_t pid = 626262;
        xcb_change_property(x.c(), XCB_PROP_MODE_REPLACE, w, x.atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_map_window(x.c(), w);
        x.sync();
        const auto mapped = Clock::now();
        if (waitUntil([&] {
                const auto g = x.geometry(w);
                return g.y == 12 && g.h >= 1000;
            }, 60))
            std::printf("BENCH flood_new_window_ms %.0f ms\n", msSince(mapped));
        else
            fail("the new window was never tiled");
        floodFor(5000);
        std::printf("BENCH flood_rss_growth_mb %.1f MB\n", most - before);
        std::fprintf(stderr, "flood_bench: %llu activations sent\n", static_cast<unsigned long long>(flood.sent()));
    }
    end(app);
    flood.stop();
    end(term);
    return status;
#endif
}

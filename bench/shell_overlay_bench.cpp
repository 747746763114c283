// The dim overlay and the overview on a private display with a compositor,
// in this process and wired as the executable wires them:
//   dim_requests_per_focus  X requests Tarvela sends (its window-manager
//                           connection and Qt's) for one focus change between
//                           two columns on screen, the overlay following (median);
//   overview_open_ms        from the overview action, 20 terminals tiled, until a
//                           second connection has seen the overview mapped, the
//                           widget has painted it and a round trip on Qt's
//                           connection has put that paint on the server (median);
//   overview_capture_ms     from the opening until the pictures of all 20
//                           windows are stored (median).
#include <exception>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "bench/shell_bench_app.h"
#include "core/log.h"
#include "manager/actions.h"
#include "platform/x11/x11_connection.h"

using namespace tarvela;
using namespace tarvela::bench;

namespace {

constexpr int kTerminals = 20;
constexpr int kRounds = 9;

// A terminal running nothing heavier than cat: the user's shell start-up would
// compete for the processor with what is measured.
pid_t terminal(const std::string& display) { return spawn({"xterm", "-bg", "white", "-e", "cat"}, display); }

}  // namespace

int main(int, char** argv) {
    Session session;
    if (!session.missing().empty()) {
        std::fprintf(stderr, "shell_overlay_bench: %s\n", session.missing().c_str());
        return 1;
    }
    const std::string& display = session.server.display;
    std::vector<pid_t> children{spawn({"picom", "--backend", "xrender", "--no-vsync", "--config", "/dev/null"}, display)};
    XClient watcher(display);
    if (!waitUntil([&] { return watcher.selectionOwner("_NET_WM_CM_S0") != XCB_NONE; }, 10)) {
        std::fprintf(stderr, "shell_overlay_bench: picom did not start\n");
        end(children[0]);
        return 1;
    }
    for (int i = 0; i < 2; ++i) children.push_back(terminal(display));

    std::vector<std::string> logs;  // kept off standard output, shown on failure
    setLogSink([&](const std::string& line) { logs.push_back(line); });
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int qargc = 1;
    char* qargv[] = {argv[0], nullptr};
    int status = 0;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "shell_overlay_bench: %s\n", what);
        status = 1;
    };
    try {
        QApplication qapp(qargc, qargv);
        QApplication::setQuitOnLastWindowClosed(false);
        InProcessShell app(display, Panels{false, true, true});
        WindowManager& wm = app.shell->manager;
        xcb_connection_t* own = app.platform->connection().raw();
        xcb_connection_t* qt = qtConnection();
        auto idle = [] { runUntil([] { return false; }, 0.15); };  // trailing paints and restacks land

        // ---- one focus change under the overlay ----
        auto overlayBelowFocus = [&] {
            const StripRef s = wm.cur();
            if (!s || s->animating || app.dim->windows().empty() || !app.dim->windows()[0]->isVisible()) return false;
            const auto& plans = app.shell->dim->plans();
            const auto focused = windowNumber(*app.platform, s->cols[static_cast<size_t>(s->focusC)].items[0].el);
            return !plans.empty() && plans[0].shown && focused && plans[0].below == *focused;
        };
        if (!app.settled(2, 30) || !runUntil(overlayBelowFocus, 10)) fail("no overlay under two tiled terminals");
        std::vector<double> requests;
        for (int round = 0; status == 0 && round < kRounds; ++round) {
            idle();
            const unsigned own0 = nextRequest(own), qt0 = nextRequest(qt);
            const int target = 1 - wm.cur()->focusC;
            wm.perform(target > wm.cur()->focusC ? Action::focusNext : Action::focusPrev, 0);
            if (!runUntil([&] { return wm.cur()->focusC == target && overlayBelowFocus(); }, 5)) {
                fail("the overlay did not follow the focus");
                break;
            }
            idle();
            const unsigned ownN = nextRequest(own) - own0 - 1, qtN = nextRequest(qt) - qt0 - 1;
            std::fprintf(stderr, "shell_overlay_bench: focus round %d: %u window-manager + %u Qt requests\n", round,
                         ownN, qtN);
            requests.push_back(ownN + qtN);
        }
        if (!requests.empty()) std::printf("BENCH dim_requests_per_focus %.0f requests\n", median(requests));
        std::fflush(stdout);

        // ---- the overview over twenty terminals ----
        for (int i = 2; i < kTerminals; ++i) children.push_back(terminal(display));
        if (status == 0 && !app.settled(kTerminals, 60)) fail("the manager did not tile twenty terminals");
        OverviewWidget& widget = *app.overview;
        Overview& overview = *app.shell->overview;
        MapWatch watch(display, static_cast<xcb_window_t>(widget.winId()));
        const auto wake = app.loop.watchFd(xcb_get_file_descriptor(watch.x.c()), [&] { watch.mapped(); });
        PaintCounter paints;
        widget.installEventFilter(&paints);
        auto closed = [&] { return !overview.isOpen() && !overview.orderedIn() && !widget.isVisible(); };
        std::vector<double> opens;
        for (int round = 0; status == 0 && round < kRounds; ++round) {
            watch.forget();
            const int before = paints.paints;
            const auto start = Clock::now();
            wm.perform(Action::overview, 0);
            if (!runUntil(
                    [&] { return watch.mapped() && paints.paints > before; },
                    5)) {
                fail("the overview was not shown");
                break;
            }
            nextRequest(qt);
            opens.push_back(msSince(start));
            wm.perform(Action::overview, 0);
            if (!runUntil(closed, 5)) fail("the overview did not close");
        }
        if (!opens.empty()) std::printf("BENCH overview_open_ms %.2f ms\n", median(opens));
        std::fflush(stdout);

        app.shell->prefs.previews.set(true);
        std::vector<double> captures;
        for (int round = 0; status == 0 && round < kRounds; ++round) {
            std::set<const Image*> earlier;
            for (const auto& [n, picture] : overview.pictures()) earlier.insert(picture.get());
            const auto start = Clock::now();
            wm.perform(Action::overview, 0);
            const bool all = runUntil(
                [&] {
                    if (overview.pictures().size() != kTerminals) return false;
                    for (const auto& [n, picture] : overview.pictures())
                        if (earlier.count(picture.get())) return false;
                    return true;
                },
                60);
            const double ms = msSince(start);
            if (!all) {
                std::fprintf(stderr, "shell_overlay_bench: %zu pictures\n", overview.pictures().size());
                fail("the pictures of twenty windows did not arrive");
                break;
            }
            captures.push_back(ms);
            wm.perform(Action::overview, 0);
            if (!runUntil(closed, 5)) fail("the overview did not close");
        }
        if (!captures.empty()) std::printf("BENCH overview_capture_ms %.1f ms\n", median(captures));
        std::fflush(stdout);
        widget.removeEventFilter(&paints);
        app.loop.unwatchFd(wake);
    } catch (const std::exception& e) {  // the platform could not take the display
        std::fprintf(stderr, "shell_overlay_bench: %s\n", e.what());
        status = 1;
    }
    setLogSink(nullptr);
    if (status != 0)
        for (const auto& l : logs) std::fprintf(stderr, "  log: %s\n", l.c_str());
    for (auto it = children.rbegin(); it != children.rend(); ++it) end(*it);
    return status;
}

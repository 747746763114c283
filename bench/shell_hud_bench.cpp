// The Qt shell's own drawing, in this process and wired as the executable
// wires it: a private Xvfb and session bus, a few xterms, the X11 platform,
// the shell with real text metrics and its windows, the manager running.
//   hud_show_ms    from the manager's activity call, with the HUD gone from the
//                  screen, until a second connection has seen the HUD window
//                  mapped, the widget has painted it, and a round trip on Qt's
//                  own connection has put that paint on the server (median);
//   tray_image_us  one rebuild of the tray item's image: the pill laid out for
//                  the running manager and drawn at device-pixel ratio 2 (mean);
//   icon_lookup_us  the glyph of an application seen before, as the HUD asks
//                  for it on every tile it draws: the strip's windows in turn (mean);
//   settings_open_ms  from the request for the settings window, none open,
//                  until a second connection has seen it mapped, it has painted
//                  and a round trip on Qt's connection has put that on the server (median).
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "bench/shell_bench_app.h"
#include "core/log.h"
#include "ui/app_glyph.h"
#include "ui/hud_widget.h"
#include "ui/tray.h"

using namespace tarvela;
using namespace tarvela::bench;

namespace {

constexpr int kTerminals = 4;
constexpr int kRounds = 12;

}  // namespace

int main(int, char** argv) {
    Session session;
    if (!session.missing().empty()) {
        std::fprintf(stderr, "shell_hud_bench: %s\n", session.missing().c_str());
        return 1;
    }
    const std::string& display = session.server.display;
    std::vector<pid_t> terms;
    for (int i = 0; i < kTerminals; ++i)
        terms.push_back(spawn({"xterm", "-geometry", "80x24+" + std::to_string(i * 300) + "+100"}, display));

    std::vector<std::string> logs;  // kept off standard output, shown on failure
    setLogSink([&](const std::string& line) { logs.push_back(line); });

    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    int qargc = 1;
    char* qargv[] = {argv[0], nullptr};
    int status = 0;
    try {
        QApplication qapp(qargc, qargv);
        QApplication::setQuitOnLastWindowClosed(false);
        InProcessShell app(display, Panels{true, false, false});  // the HUD without the overlay
        QtRunLoop& loop = app.loop;
        X11Platform* platform = app.platform.get();
        Shell* shell = app.shell.get();
        ShellWindows* windows = app.windows.get();
        QtTextMetrics& metrics = app.metrics;
        WindowManager& wm = shell->manager;
        HUDPanel& hud = *shell->hud;
        HUDWidget& widget = windows->hud();
        if (!app.settled(kTerminals, 30)) {
            std::fprintf(stderr, "shell_hud_bench: the manager did not tile %d terminals (%zu tileable, on %d)\n",
                         kTerminals, tileableWindows(*platform).size(), wm.on() ? 1 : 0);
            status = 1;
        }

        const auto hudWindow = static_cast<xcb_window_t>(widget.winId());
        MapWatch watch(display, hudWindow);
        // Its descriptor wakes the loop when the server reports.
        const auto wake = loop.watchFd(xcb_get_file_descriptor(watch.x.c()), [&] { watch.mapped(); });
        PaintCounter paints;
        widget.installEventFilter(&paints);
        xcb_connection_t* qt = qtConnection();

        auto gone = [&] {
            return !hud.shown() && !hud.idleTimerRunning() && hud.alpha() <= 0 && !widget.isVisible() &&
                   !watch.x.viewable(hudWindow);
        };
        std::vector<double> shows;
        for (int round = 0; status == 0 && round < kRounds; ++round) {
            if (!runUntil(gone, 10)) {
                std::fprintf(stderr, "shell_hud_bench: the HUD did not go away before round %d\n", round);
                status = 1;
                break;
            }
            watch.forget();
            const int paintsBefore = paints.paints;
            const auto start = Clock::now();
            wm.onActivity();
            double mapMs = 0, paintMs = 0;
            const bool shown = runUntil(
                [&] {
                    const bool mapped = watch.mapped();
                    if (mapped && mapMs == 0) mapMs = msSince(start);
                    if (paints.paints > paintsBefore && paintMs == 0) paintMs = msSince(start);
                    return mapped && paints.paints > paintsBefore;
                },
                5);
            free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
            const double total = msSince(start);
            if (!shown) {
                std::fprintf(stderr, "shell_hud_bench: round %d: HUD mapped %d, painted %d\n", round, watch.mapped() ? 1 : 0,
                             paints.paints > paintsBefore ? 1 : 0);
                status = 1;
                break;
            }
            std::fprintf(stderr, "shell_hud_bench: round %d: mapped at %.2f ms, painted at %.2f ms, on the server at %.2f ms\n",
                         round, mapMs, paintMs, total);
            shows.push_back(total);
        }
        loop.unwatchFd(wake);
        widget.removeEventFilter(&paints);
        if (!shows.empty()) {
            std::printf("BENCH hud_show_ms %.2f ms\n", median(shows));
            std::fflush(stdout);
        }

        if (status == 0) {
            const std::optional<Size> mascot = Size{16, 16};  // what the tray item asks for
            auto rebuild = [&] {
                const PillImage pill = PillImage::make(wm, true, false, mascot, metrics);
                return renderPill(pill, 2.0);
            };
            std::fprintf(stderr, "shell_hud_bench: pill text \"%s\", image %dx%d\n",
                         PillImage::make(wm, true, false, mascot, metrics).text.c_str(), rebuild().width(),
                         rebuild().height());
            for (int i = 0; i < 50; ++i) rebuild();  // fonts and glyph caches warm
            long n = 0;
            uint64_t sink = 0;  // every image is read, so none is left unmade
            const auto start = Clock::now();
            while (n < 2000 || msSince(start) < 500) {
                for (int i = 0; i < 100; ++i, ++n) sink += rebuild().pixel(20, 20);
            }
            const double us = msSince(start) * 1000 / static_cast<double>(n);
            std::printf("BENCH tray_image_us %.1f us\n", us);
            std::fflush(stdout);
            std::fprintf(stderr, "shell_hud_bench: %ld rebuilds (%llx)\n", n, static_cast<unsigned long long>(sink));
        }

        if (status == 0) {
            std::vector<Item> items;
            if (const StripRef strip = wm.cur())
                for (const Col& c : strip->cols) items.insert(items.end(), c.items.begin(), c.items.end());
            AppGlyphs& glyphs = AppGlyphs::shared();
            auto lookUp = [&](const Item& it) {
                return glyphs.glyph(it.icon, it.bundleID.value_or(""), it.app, static_cast<int>(hud::iconSingle), 1).cacheKey();
            };
            for (const Item& it : items) lookUp(it);  // each application seen once
            long n = 0;
            uint64_t sink = 0;
            const auto start = Clock::now();
            while (!items.empty() && (n < 20000 || msSince(start) < 300))
                for (const Item& it : items) sink += static_cast<uint64_t>(lookUp(it)), ++n;
            if (n > 0) std::printf("BENCH icon_lookup_us %.2f us\n", msSince(start) * 1000 / static_cast<double>(n));
            std::fflush(stdout);
            std::fprintf(stderr, "shell_hud_bench: %ld glyph lookups over %zu windows (%llx)\n", n, items.size(),
                         static_cast<unsigned long long>(sink));
        }

        if (status == 0) {
            // Each round opens a new window: the last one was closed and is gone.
            // Tarvela frames it, so whether it is up is asked, not heard.
            XClient observer(display);
            PaintCounter settingsPaints;
            qApp->installEventFilter(&settingsPaints);
            std::vector<double> opens;
            for (int round = 0; status == 0 && round < kRounds; ++round) {
                const int before = settingsPaints.paints;
                const auto start = Clock::now();
                app.router.settings(std::nullopt);
                QWidget* window = app.router.windows().find(own_window::settings.key);
                const bool shown = window && runUntil(
                                                 [&] {
                                                     return settingsPaints.paints > before &&
                                                            observer.viewable(static_cast<xcb_window_t>(window->winId()));
                                                 },
                                                 5);
                free(xcb_get_input_focus_reply(qt, xcb_get_input_focus(qt), nullptr));
                if (!shown) {
                    std::fprintf(stderr, "shell_hud_bench: the settings window was not shown\n");
                    status = 1;
                    break;
                }
                opens.push_back(msSince(start));
                app.router.windows().destroy(own_window::settings.key);
                runUntil([] { return false; }, 0.05);
            }
            qApp->removeEventFilter(&settingsPaints);
            if (!opens.empty()) std::printf("BENCH settings_open_ms %.1f ms\n", median(opens));
            std::fflush(stdout);
        }

    } catch (const std::exception& e) {  // the platform could not take the display
        std::fprintf(stderr, "shell_hud_bench: %s\n", e.what());
        status = 1;
    }
    setLogSink(nullptr);
    if (status != 0)
        for (const auto& l : logs) std::fprintf(stderr, "  log: %s\n", l.c_str());
    for (pid_t t : terms) end(t);
    return status;
}

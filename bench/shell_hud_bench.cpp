// The Qt shell's own drawing, in this process and wired as the executable
// wires it: a private Xvfb and session bus, a few xterms, the X11 platform,
// the shell with real text metrics and its windows, the manager running.
//   hud_show_ms    from the manager's activity call, with the HUD gone from the
//                  screen, until a second connection has seen the HUD window
//                  mapped, the widget has painted it, and a round trip on Qt's
//                  own connection has put that paint on the server (median);
//   tray_image_us  one rebuild of the tray item's image: the pill laid out for
//                  the running manager and drawn at device-pixel ratio 2 (mean).
#include <algorithm>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app/router.h"
#include "app/shell.h"
#include "bench/shell_bench_env.h"
#include "core/log.h"
#include "core/window_access.h"
#include "manager/feedback_hooks.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_platform.h"
#include "settings/defaults_file.h"
#include "settings/login_item.h"
#include "ui/hud_widget.h"
#include "ui/painting.h"
#include "ui/qt_runloop.h"
#include "ui/shell_windows.h"
#include "ui/tray.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>

using namespace tarvela;
using namespace tarvela::bench;

namespace {

constexpr int kTerminals = 4;
constexpr int kRounds = 12;

// Runs Qt's event loop until `done` holds; at most `seconds`. Each pass blocks
// until something arrives, so a condition met by an event is seen at once.
bool runUntil(const std::function<bool()>& done, double seconds) {
    QTimer tick;  // wakes the loop even when nothing else does
    tick.start(20);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Counts the paint events a widget receives; the count changes before the
// paint, so whoever reads it after the event loop has returned sees a finished one.
class PaintCounter final : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

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
        QApplication app(qargc, qargv);
        QApplication::setQuitOnLastWindowClosed(false);
        QtRunLoop loop;
        X11Options x11;
        x11.display = display;
        auto platform = std::make_unique<X11Platform>(loop, x11);
        auto hotkeys = std::make_unique<X11HotkeyService>(*platform, loop);
        auto gestureSources = std::make_unique<X11GestureSources>(*platform, loop);
        HeadlessRouter router;
        NoFeedback feedback;
        QtTextMetrics metrics;
        auto screens = [&] { return platform->screens(); };
        auto pointer = [&]() -> std::optional<Point> {
            const QPoint at = QCursor::pos();
            return axRect(screens(), Rect(at.x(), at.y(), 0, 0)).origin();
        };
        QtAppearance appearance;
        ShellDeps deps{*platform, loop, FileDefaults::standard(), *hotkeys, router, feedback, {}, nullptr,
                       &XdgAutostart::standard(), [&] { platform->releaseAllArranged(); }, gestureSources.get(),
                       &metrics, pointer, platform.get(), &appearance, [] {}};
        auto shell = std::make_unique<Shell>(deps);
        auto windows = std::make_unique<ShellWindows>(
            ShellWindowsDeps{shell->manager, shell->prefs, *shell->hud, *shell->toast, *shell->status, *shell->popover,
                             metrics, screens, [&] { return platform->compositing(); }, [] {}, [] {}});
        platform->onCompositingChanged([&](bool) { windows->compositingChanged(); });
        router.completeOnboarding = [&] { shell->completeOnboarding(); };
        shell->start({});

        WindowManager& wm = shell->manager;
        HUDPanel& hud = *shell->hud;
        HUDWidget& widget = windows->hud();
        auto settled = [&] {
            if (!wm.on() || !wm.cur() || wm.cur()->cols.size() != kTerminals) return false;
            for (const StripRef& s : wm.strips())
                if (s->animating) return false;
            return true;
        };
        if (!runUntil([&] { return settled() && platform->sync(); }, 30)) {
            std::fprintf(stderr, "shell_hud_bench: the manager did not tile %d terminals (%zu tileable, on %d)\n",
                         kTerminals, tileableWindows(*platform).size(), wm.on() ? 1 : 0);
            status = 1;
        }

        // The watching connection sees the server's own MapNotify of the HUD.
        XClient watcher(display);
        const auto hudWindow = static_cast<xcb_window_t>(widget.winId());
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(watcher.c(), watcher.root(), XCB_CW_EVENT_MASK, &mask);
        watcher.sync();
        bool mapped = false;
        auto drain = [&] {
            while (xcb_generic_event_t* e = xcb_poll_for_event(watcher.c())) {
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    reinterpret_cast<xcb_map_notify_event_t*>(e)->window == hudWindow)
                    mapped = true;
                free(e);
            }
        };
        const auto watch = loop.watchFd(xcb_get_file_descriptor(watcher.c()), drain);
        PaintCounter paints;
        widget.installEventFilter(&paints);
        xcb_connection_t* qtConnection =
            qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();

        auto gone = [&] {
            return !hud.shown() && !hud.idleTimerRunning() && hud.alpha() <= 0 && !widget.isVisible() &&
                   !watcher.viewable(hudWindow);
        };
        std::vector<double> shows;
        for (int round = 0; status == 0 && round < kRounds; ++round) {
            if (!runUntil(gone, 10)) {
                std::fprintf(stderr, "shell_hud_bench: the HUD did not go away before round %d\n", round);
                status = 1;
                break;
            }
            drain();
            mapped = false;
            const int paintsBefore = paints.paints;
            const auto start = Clock::now();
            wm.onActivity();
            double mapMs = 0, paintMs = 0;
            const bool shown = runUntil(
                [&] {
                    drain();
                    if (mapped && mapMs == 0) mapMs = msSince(start);
                    if (paints.paints > paintsBefore && paintMs == 0) paintMs = msSince(start);
                    return mapped && paints.paints > paintsBefore;
                },
                5);
            free(xcb_get_input_focus_reply(qtConnection, xcb_get_input_focus(qtConnection), nullptr));
            const double total = msSince(start);
            if (!shown) {
                std::fprintf(stderr, "shell_hud_bench: round %d: HUD mapped %d, painted %d\n", round, mapped ? 1 : 0,
                             paints.paints > paintsBefore ? 1 : 0);
                status = 1;
                break;
            }
            std::fprintf(stderr, "shell_hud_bench: round %d: mapped at %.2f ms, painted at %.2f ms, on the server at %.2f ms\n",
                         round, mapMs, paintMs, total);
            shows.push_back(total);
        }
        loop.unwatchFd(watch);
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

        shell->terminate();
        platform->onCompositingChanged(nullptr);
        windows.reset();
        shell.reset();
        hotkeys.reset();
        gestureSources.reset();
        platform.reset();
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

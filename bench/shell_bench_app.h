// Tarvela's shell in the benchmark's own process, wired as the executable wires
// it on a private display: the X11 platform on Qt's loop, the shell with real
// text metrics, and whichever of its windows a benchmark asks for.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/qt_router.h"
#include "app/shell.h"
#include "bench/shell_bench_env.h"
#include "core/window_access.h"
#include "manager/feedback_hooks.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_platform.h"
#include "settings/defaults_file.h"
#include "settings/login_item.h"
#include "ui/dim_widget.h"
#include "ui/overview_widget.h"
#include "ui/painting.h"
#include "ui/qt_runloop.h"
#include "ui/shell_windows.h"

namespace tarvela::bench {

// Runs Qt's event loop until `done` holds; at most `seconds`. Each pass blocks
// until something arrives, so a condition met by an event is seen at once.
inline bool runUntil(const std::function<bool()>& done, double seconds) {
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

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Qt's own connection to the server.
inline xcb_connection_t* qtConnection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// The sequence number the next request on `c` gets, after a round trip: the
// difference of two readings is what was sent in between (plus the first probe).
inline unsigned nextRequest(xcb_connection_t* c) {
    const xcb_get_input_focus_cookie_t probe = xcb_get_input_focus(c);
    free(xcb_get_input_focus_reply(c, probe, nullptr));
    return probe.sequence + 1;
}

// A second connection that sees the server's own MapNotify of one window.
class MapWatch {
public:
    MapWatch(const std::string& display, xcb_window_t window) : x(display), window_(window) {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(x.c(), x.root(), XCB_CW_EVENT_MASK, &mask);
        x.sync();
    }
    // Whether it has been mapped since the last forget().
    bool mapped() {
        while (xcb_generic_event_t* e = xcb_poll_for_event(x.c())) {
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                reinterpret_cast<xcb_map_notify_event_t*>(e)->window == window_)
                mapped_ = true;
            free(e);
        }
        return mapped_;
    }
    void forget() {
        mapped();
        mapped_ = false;
    }
    XClient x;

private:
    xcb_window_t window_;
    bool mapped_ = false;
};

struct Panels {
    bool shellWindows = false;  // tray, HUD, toasts, popover
    bool dim = false;
    bool overview = false;
};

// Needs a QApplication on `display`; the platform's constructor throws when
// it cannot take the display.
class InProcessShell {
public:
    InProcessShell(const std::string& display, Panels panels) {
        X11Options x11;
        x11.display = display;
        platform = std::make_unique<X11Platform>(loop, x11);
        hotkeys = std::make_unique<X11HotkeyService>(*platform, loop);
        gestureSources = std::make_unique<X11GestureSources>(*platform, loop);
        auto screens = [this] { return platform->screens(); };
        auto pointer = [screens]() -> std::optional<Point> {
            const QPoint at = QCursor::pos();
            return axRect(screens(), Rect(at.x(), at.y(), 0, 0)).origin();
        };
        shell = std::make_unique<Shell>(ShellDeps{.platform = *platform,
                                                  .main = loop,
                                                  .defaults = FileDefaults::standard(),
                                                  .hotkeys = *hotkeys,
                                                  .router = router,
                                                  .feedback = feedback,
                                                  .loginItems = &XdgAutostart::standard(),
                                                  .managerStopped = [this] { platform->releaseAllArranged(); },
                                                  .gestures = gestureSources.get(),
                                                  .metrics = &metrics,
                                                  .pointer = pointer,
                                                  .desktop = platform.get(),
                                                  .appearance = &appearance,
                                                  .quit = [] {}});
        auto compositing = [this] { return platform->compositing(); };
        if (panels.shellWindows)
            windows = std::make_unique<ShellWindows>(ShellWindowsDeps{*shell->hud,
                                                                      *shell->toast, *shell->status, *shell->popover,
                                                                      metrics, screens, compositing, [] {}, [] {}});
        if (panels.dim) dim = std::make_unique<DimWindows>(*shell->dim, *platform, screens);
        if (panels.overview) overview = std::make_unique<OverviewWidget>(*shell->overview, screens, compositing);
        platform->onCompositingChanged([this](bool) {
            if (windows) windows->compositingChanged();
            if (dim) dim->sync();
        });
        router.completeOnboarding() = [this] { shell->completeOnboarding(); };
        router.attach(QtRouterDeps{*shell, *platform, compositing, [this] { platform->takeOver(); }, {}});
        shell->start({});
    }
    ~InProcessShell() {
        router.detach();
        shell->terminate();
        platform->onCompositingChanged(nullptr);
        overview.reset();
        dim.reset();
        windows.reset();
        shell.reset();
        hotkeys.reset();
        gestureSources.reset();
        platform.reset();
    }
    InProcessShell(const InProcessShell&) = delete;
    InProcessShell& operator=(const InProcessShell&) = delete;

    // The manager runs `columns` columns on the first strip, none sliding, and
    // the server has done what it was asked.
    bool settled(size_t columns, double seconds) {
        WindowManager& wm = shell->manager;
        return runUntil(
            [&] {
                if (!wm.on() || !wm.cur() || wm.cur()->cols.size() != columns) return false;
                for (const StripRef& s : wm.strips())
                    if (s->animating) return false;
                return platform->sync();
            },
            seconds);
    }

    QtRunLoop loop;
    std::unique_ptr<X11Platform> platform;
    std::unique_ptr<X11HotkeyService> hotkeys;
    std::unique_ptr<X11GestureSources> gestureSources;
    QtRouter router;
    NoFeedback feedback;
    QtTextMetrics metrics;
    QtAppearance appearance;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<ShellWindows> windows;
    std::unique_ptr<DimWindows> dim;
    std::unique_ptr<OverviewWidget> overview;
};

}  // namespace tarvela::bench

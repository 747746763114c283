// tarvela: the window manager on an X11 display.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/dbus_bridge.h"
#include "app/launch_options.h"
#include "app/qt_router.h"
#include "app/restart_key.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/window_access.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_protocol.h"
#include "ipc/single_instance.h"
#include "feedback/palette.h"
#include "manager/feedback_hooks.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_platform.h"
#include "platform/x11/x11_probe.h"
#include "settings/app_info.h"
#include "settings/defaults_file.h"
#include "settings/login_item.h"
#include "ui/dim_widget.h"
#include "ui/overview_widget.h"
#include "ui/painting.h"
#include "ui/qt_runloop.h"
#include "ui/shell_windows.h"
#include "ui/theme.h"
#include "ui/title_bars.h"
#include "ui/tray.h"
#include "updates/background_check_timer.h"
#include "updates/notify_check.h"
#include "updates/update_config.h"

#include <QApplication>
#include <QKeyEvent>
#include <QCursor>
#include <QtGlobal>

using namespace tarvela;

namespace {

int stopPipe[2] = {-1, -1};

// Qt's own connection may notice a dead X server before the window manager's
// does, and then Qt ends the process at once; the platform must say why first.
X11Platform* platformForQt = nullptr;
QtMessageHandler qtDefaultHandler = nullptr;

void onQtMessage(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    if (msg.startsWith("The X11 connection broke")) {
        if (platformForQt) platformForQt->dispatchEvents();
        return;
    }
    if (qtDefaultHandler) qtDefaultHandler(type, ctx, msg);
}

void onStopSignal(int) {
    const char c = 's';
    [[maybe_unused]] ssize_t n = ::write(stopPipe[1], &c, 1);
}

}  // namespace

// A key press in Tarvela's own windows as the shortcut recorder reads it: the
// key's US-layout position and the modifiers held.
std::optional<KeyEvent> recorderKey(const QKeyEvent& e) {
    const std::optional<uint32_t> code = x11::keyCodeForKeysym(e.nativeVirtualKey());
    if (!code) return std::nullopt;
    uint64_t flags = 0;
    if (e.modifiers() & Qt::ControlModifier) flags |= eventflags::control;
    if (e.modifiers() & Qt::AltModifier) flags |= eventflags::option;
    if (e.modifiers() & Qt::MetaModifier) flags |= eventflags::command;
    if (e.modifiers() & Qt::ShiftModifier) flags |= eventflags::shift;
    std::string chars;
    if (e.key() >= 0x20 && e.key() < 0x7f) chars = QString(QChar(e.key())).toLower().toStdString();
    return KeyEvent{*code, flags, chars};
}

namespace {

// --display, else $DISPLAY; empty when neither names one.
std::string displayToManage(const LaunchOptions& o) {
    if (!o.display.empty()) return o.display;
    const char* env = std::getenv("DISPLAY");
    return env ? env : "";
}

// The application object only after the single-instance check, and on the
// display Tarvela manages. Qt keeps the argument count it was given.
std::unique_ptr<QApplication> startQt(char* argv0, const std::string& display) {
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int qargc = 1;
    static char* qargv[] = {argv0, nullptr};
    qtDefaultHandler = qInstallMessageHandler(onQtMessage);
    auto app = std::make_unique<QApplication>(qargc, qargv);
    QApplication::setApplicationName("Tarvela");
    QApplication::setApplicationVersion(QString::fromStdString(AppInfo::version()));
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

// Log lines go to standard output. Once the platform has said the server is
// gone, that is the last line: work queued before it noticed (the check
// timer's start-up look, say) runs on the way out but says nothing.
void logToStdout() {
    setLogSink([silent = false](const std::string& line) mutable {
        if (silent) return;
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        silent = line.ends_with("lost the connection to the X server");
    });
}

// SIGINT and SIGTERM end the loop; a reader that went away is no reason to die.
bool stopOnSignals(QtRunLoop& loop) {
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) return false;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    loop.watchFd(stopPipe[0], [&loop] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(stopPipe[0], &c, 1);
        loop.quit();
    });
    return true;
}

// What the shell runs on besides the platform and the loop; made before the
// shell and ended after it.
struct ShellServices {
    std::unique_ptr<X11HotkeyService> hotkeys;
    std::unique_ptr<X11GestureSources> gestureSources;
    QtRouter router;
    NoFeedback feedback;
    QtTextMetrics metrics;
    QtAppearance appearance;
    const UpdateConfig updates = UpdateConfig::standard();
    BackgroundCheckTimer checkTimer;

    ShellServices(X11Platform& platform, QtRunLoop& loop)
        : hotkeys(std::make_unique<X11HotkeyService>(platform, loop)),
          gestureSources(std::make_unique<X11GestureSources>(platform, loop)),
          checkTimer(checkTimerDeps()) {}
    // The grabs go first, in the order they were made.
    ~ShellServices() {
        hotkeys.reset();
        gestureSources.reset();
    }

    static BackgroundCheckTimerDeps checkTimerDeps() {
        BackgroundCheckTimerDeps d = BackgroundCheckTimer::standardDeps();
        d.notificationsAllowed = askNotificationsAllowed;
        return d;
    }
};

ShellDeps shellDeps(X11Platform& platform, QtRunLoop& loop, ShellServices& s, RecordSeal restartSeal) {
    return ShellDeps{
        .platform = platform,
        .main = loop,
        .defaults = FileDefaults::standard(),
        .hotkeys = *s.hotkeys,
        .router = s.router,
        .feedback = s.feedback,
        .loginItems = &XdgAutostart::standard(),
        .managerStopped = [&platform] { platform.releaseAllArranged(); },
        .gestures = s.gestureSources.get(),
        .metrics = &s.metrics,
        .pointer = [&platform]() -> std::optional<Point> {
            const QPoint at = QCursor::pos();
            return axRect(platform.screens(), Rect(at.x(), at.y(), 0, 0)).origin();
        },
        .desktop = &platform,
        .appearance = &s.appearance,
        .quit = [&loop] { loop.quit(); },
        .updates = &s.updates,
        .checkTimer = &s.checkTimer,
        .restartSeal = std::move(restartSeal),
    };
}

// The shell, its windows and its sockets on a running platform, until the
// loop ends; then everything stops and leaves the windows where they are.
void serve(X11Platform& platform, QtRunLoop& loop, SingleInstance& instance, const LaunchOptions& launch,
           const std::string& display, const bool& serverGone) {
    auto services = std::make_unique<ShellServices>(platform, loop);
    QtRouter& router = services->router;
    // Title bars in the application's look, painted again when it changes.
    platform.setTitleBarPainter(std::make_shared<QtTitleBarPainter>());
    // The bar marking where a dragged window would drop, in the appearance's accent.
    const auto markerColour = [&platform] {
        const Rgba accent = Theme::current().dark() ? palette::accent.dark : palette::accent.light;
        const auto channel = [](double v) { return static_cast<uint32_t>(std::lround(v * 255)); };
        platform.setDropMarkerColour(channel(accent.r) << 16 | channel(accent.g) << 8 | channel(accent.b));
    };
    markerColour();
    services->appearance.onChanged([&platform, markerColour] {
        platform.repaintTitleBars();
        markerColour();
    });
    platform.onUnresponsiveClose([](uint32_t, const std::string& title, std::function<void(bool)> answer) {
        askForceQuit(title, std::move(answer));
    });
    // What this user's Tarvela leaves on the display is signed with a key of the user's own.
    const std::optional<RestartKey> restartKey = RestartKey::load(RestartKey::standardPath());
    auto shell = std::make_unique<Shell>(
        shellDeps(platform, loop, *services, restartKey ? restartKey->seal() : RecordSeal{}));
    auto screens = [&] { return platform.screens(); };
    auto compositing = [&] { return platform.compositing(); };
    router.attach(QtRouterDeps{*shell, platform, compositing, [&] { platform.takeOver(); }, recorderKey});
    auto windows = std::make_unique<ShellWindows>(ShellWindowsDeps{
        *shell->hud, *shell->toast, *shell->status, *shell->popover, services->metrics, screens, compositing,
        [&] { router.settings(std::nullopt); }, [&] { loop.quit(); }});
    DimWindows dimWindows(*shell->dim, platform, screens);
    OverviewWidget overviewWidget(*shell->overview, screens, compositing);
    platform.onCompositingChanged([&](bool) {
        router.compositingChanged();
        windows->compositingChanged();
        dimWindows.sync();
    });
    platform.onSystemTrayChanged([&](bool runs) { windows->tray().trayChanged(runs); });
    router.completeOnboarding() = [&] { shell->completeOnboarding(); };
    // Another start brings this one forward: its windows if it shows any, else the settings.
    instance.listen(loop, [&] {
        if (!ShellWindows::bringForward()) shell->reopen();
    });
    instance.onReplace([&] {
        log("a new start replaces this one");
        loop.quit();
    });
    // Any process of this user may ask for the update window; Tarvela itself never does.
    ShowUpdateListener showUpdate([&] { shell->showUpdate(); });

    shell->start(launch);
    if (shell->startScripting(SingleInstance::defaultDir() / ipc::socketName(display)))
        platform.publishOnRoot("_TARVELA_SOCKET", shell->scripts->path().string());
    QApplication::exec();
    if (shell->scripts) platform.publishOnRoot("_TARVELA_SOCKET", "");

    // The platform has said why already: one line is all a lost server gets.
    if (!serverGone) log("stopping: windows stay where they are");
    shell->terminate();
    platform.onCompositingChanged(nullptr);
    platform.onSystemTrayChanged(nullptr);
    platform.onUnresponsiveClose(nullptr);
    services->appearance.onChanged(nullptr);
    windows.reset();  // the widgets read the shell's panels to the last
    router.detach();
    shell.reset();     // its shortcuts are unregistered while the service lives
    services.reset();
}

// Tarvela as the display's window manager, until it is asked to stop or its
// X server goes; 1 when the server went or it could not start.
int manageDisplay(char* argv0, const LaunchOptions& launch) {
    const std::string display = displayToManage(launch);
    if (display.empty()) {
        std::fprintf(stderr, "tarvela: no display: set DISPLAY or pass --display\n");
        return 1;
    }
    // With --replace a running Tarvela is asked to make way: it leaves its
    // arrangement on the display and quits, and this one takes it up.
    auto instance =
        SingleInstance::acquire(SingleInstance::defaultDir(), SingleInstance::nameFor(display), 12, 0.25, launch.replace);
    if (!instance) {
        log("already running on " + display +
            (launch.replace ? "; it did not make way" : "; asked it to come forward"));
        return launch.replace ? 1 : 0;
    }
    // Qt would abort without its display; say so plainly instead.
    if (auto why = probeDisplay(display)) {
        std::fprintf(stderr, "tarvela: %s\n", why->c_str());
        return 1;
    }
    auto app = startQt(argv0, display);
    QtRunLoop loop;
    // Without its X server a window manager has nothing left to do, and staying
    // would keep the next session on this display from starting one.
    bool serverGone = false;
    X11Options x11{.display = launch.display, .replace = launch.replace, .connectionLost = [&] {
                       serverGone = true;
                       loop.quit();
                   }};
    logToStdout();

    std::unique_ptr<X11Platform> platform;
    try {
        platform = std::make_unique<X11Platform>(loop, x11);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvela: %s\n", e.what());
        return 1;
    }
    platformForQt = platform.get();
    if (!stopOnSignals(loop)) return 1;
    serve(*platform, loop, *instance, launch, display, serverGone);
    platformForQt = nullptr;
    platform.reset();
    instance.reset();  // it unwatches its socket on the loop
    return serverGone ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = parseLaunch({argv + 1, argv + argc}, std::getenv("TARVELA_NOTIFY_CHECK"));
    if (const auto* error = std::get_if<LaunchError>(&parsed)) {
        std::fprintf(stderr, "tarvela: %s\n", error->message.c_str());
        return 2;
    }
    const LaunchOptions& launch = std::get<LaunchOptions>(parsed);
    switch (launch.mode) {
    // The background update check makes no window and never connects to X;
    // nor does a script's request to the running Tarvela.
    case LaunchOptions::Mode::notifyCheck: return runNotifyCheckProcess();
    case LaunchOptions::Mode::msg: return ipc::runMsg(launch.msgArgs, stdout, stderr);
    case LaunchOptions::Mode::help: std::fputs(launch::usage().c_str(), stdout); return 0;
    case LaunchOptions::Mode::version: std::printf("tarvela %s\n", AppInfo::version().c_str()); return 0;
    case LaunchOptions::Mode::manage: break;
    }
    return manageDisplay(argv[0], launch);
}

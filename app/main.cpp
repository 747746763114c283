// tarvela: the window manager on an X11 display.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/dbus_bridge.h"
#include "app/qt_router.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/window_access.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_protocol.h"
#include "ipc/single_instance.h"
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

const char* kUsage =
    "Usage: tarvela [options]\n"
    "\n"
    "Lines the windows of all running applications up in a horizontal strip of\n"
    "full-height columns per display, and slides the strip as focus moves.\n"
    "Tarvela is the display's window manager: start it from ~/.xinitrc, a display\n"
    "manager session, or with --replace inside a running session.\n"
    "\n"
    "Options:\n"
    "  --display NAME   the X display to manage (default: $DISPLAY)\n"
    "  --replace        ask the running window manager to hand over\n"
    "  --preview NAME   show one window for inspection: onboarding, settings or\n"
    "                   settings:PANE, permission, update, save, addapps, toast,\n"
    "                   or popover (after a normal start)\n"
    "  --show-update    open the software-update window and check for updates\n"
    "  --reset-notifier run the background update check now\n"
    "  --notify-check   run the background update check in this process and exit\n"
    "  --version        print the version and exit\n"
    "  msg COMMAND ...  send a command to the running Tarvela (tarvela msg --help)\n"
    "  -h, --help       print this help and exit\n"
    "\n"
    "Environment:\n"
    "  TARVELA_DEFAULTS   settings file (default $XDG_CONFIG_HOME/tarvela/app.tarvela.plist)\n"
    "  TARVELA_FEED_URL   the update feed's address (overrides the built-in one)\n"
    "  TARVELA_NOTIFY_CHECK=1  the same as --notify-check\n";

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

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // The background update check comes first: it makes no window and never
    // connects to X.
    if (NotifyCheck::requested(args, std::getenv("TARVELA_NOTIFY_CHECK"))) return runNotifyCheckProcess();
    // So does a script's request to the running one.
    if (!args.empty() && args[0] == "msg") return ipc::runMsg({args.begin() + 1, args.end()}, stdout, stderr);
    X11Options x11;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tarvela %s\n", AppInfo::version().c_str());
            return 0;
        } else if (a == "--replace") {
            x11.replace = true;
        } else if (a == "--display") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "tarvela: --display needs a display name, e.g. --display :1\n");
                return 2;
            }
            x11.display = args[++i];
        } else if (a == "--preview") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "tarvela: --preview needs a window name, e.g. --preview toast\n");
                return 2;
            }
            // Before anything starts: an unknown name would leave a Tarvela
            // showing nothing, waiting for nobody.
            if (!preview::known(args[++i])) {
                std::fprintf(stderr, "tarvela: unknown preview \"%s\"; known: %s\n", args[i].c_str(),
                             preview::knownNames);
                return 2;
            }
        } else if (a.rfind("--", 0) == 0 && a != "--reset-notifier" && a != "--show-update" && a != "--notify-check") {
            std::fprintf(stderr, "tarvela: unknown option %s (see tarvela --help)\n", a.c_str());
            return 2;
        }
    }

    const std::string display = !x11.display.empty() ? x11.display : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    if (display.empty()) {
        std::fprintf(stderr, "tarvela: no display: set DISPLAY or pass --display\n");
        return 1;
    }
    auto instance = SingleInstance::acquire(SingleInstance::defaultDir(), SingleInstance::nameFor(display));
    if (!instance) {
        log("already running on " + display + "; asked it to come forward");
        return 0;
    }
    // Qt would abort without its display; say so plainly instead.
    if (auto why = probeDisplay(display)) {
        std::fprintf(stderr, "tarvela: %s\n", why->c_str());
        return 1;
    }
    // The application object only now, after the single-instance check, and on
    // the display Tarvela manages.
    ::setenv("DISPLAY", display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    int qargc = 1;
    char* qargv[] = {argv[0], nullptr};
    qtDefaultHandler = qInstallMessageHandler(onQtMessage);
    QApplication app(qargc, qargv);
    QApplication::setApplicationName("Tarvela");
    QApplication::setApplicationVersion(QString::fromStdString(AppInfo::version()));
    QApplication::setQuitOnLastWindowClosed(false);
    QtRunLoop loop;
    // Without its X server a window manager has nothing left to do, and staying
    // would keep the next session on this display from starting one.
    bool serverGone = false;
    x11.connectionLost = [&] {
        serverGone = true;
        loop.quit();
    };
    // Once the platform has said the server is gone, that is the last line:
    // work queued before it noticed (the notifier's start-up check, say) runs
    // on the way out but says nothing.
    setLogSink([silent = false](const std::string& line) mutable {
        if (silent) return;
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        silent = line.ends_with("lost the connection to the X server");
    });

    std::unique_ptr<X11Platform> platform;
    try {
        platform = std::make_unique<X11Platform>(loop, x11);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tarvela: %s\n", e.what());
        return 1;
    }

    platformForQt = platform.get();
    if (::pipe2(stopPipe, O_CLOEXEC) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    loop.watchFd(stopPipe[0], [&] {
        char c;
        [[maybe_unused]] ssize_t n = ::read(stopPipe[0], &c, 1);
        loop.quit();
    });

    auto hotkeys = std::make_unique<X11HotkeyService>(*platform, loop);
    auto gestureSources = std::make_unique<X11GestureSources>(*platform, loop);
    QtRouter router;
    NoFeedback feedback;
    FileDefaults& defaults = FileDefaults::standard();
    QtTextMetrics metrics;
    auto screens = [&] { return platform->screens(); };
    auto pointer = [&]() -> std::optional<Point> {
        const QPoint at = QCursor::pos();
        return axRect(screens(), Rect(at.x(), at.y(), 0, 0)).origin();
    };
    QtAppearance appearance;
    const UpdateConfig updates = UpdateConfig::standard();
    BackgroundCheckTimerDeps timerDeps = BackgroundCheckTimer::standardDeps();
    timerDeps.notificationsAllowed = askNotificationsAllowed;
    BackgroundCheckTimer checkTimer(timerDeps);
    ShellDeps deps{*platform, loop, defaults, *hotkeys, router, feedback, {}, nullptr, &XdgAutostart::standard(),
                   [&] { platform->releaseAllArranged(); }, gestureSources.get(), &metrics, pointer,
                   platform.get(), &appearance, [&] { loop.quit(); }, &updates, &checkTimer};
    auto shell = std::make_unique<Shell>(deps);
    router.attach(QtRouterDeps{*shell, *platform, [&] { return platform->compositing(); },
                               [&] { platform->takeOver(); }, recorderKey});
    auto windows = std::make_unique<ShellWindows>(ShellWindowsDeps{
        *shell->hud, *shell->toast, *shell->status, *shell->popover, metrics, screens, [&] { return platform->compositing(); }, [&] { router.settings(std::nullopt); },
        [&] { loop.quit(); }});
    DimWindows dimWindows(*shell->dim, *platform, screens);
    OverviewWidget overviewWidget(*shell->overview, screens, [&] { return platform->compositing(); });
    platform->onCompositingChanged([&](bool) {
        router.compositingChanged();
        windows->compositingChanged();
        dimWindows.sync();
    });
    platform->onSystemTrayChanged([&](bool runs) { windows->tray().trayChanged(runs); });
    router.completeOnboarding() = [&] { shell->completeOnboarding(); };
    // Another start brings this one forward: its windows if it shows any, else the settings.
    instance->listen(loop, [&] {
        if (!ShellWindows::bringForward()) shell->reopen();
    });

    // Any process of this user may ask for the update window; Tarvela itself never does.
    ShowUpdateListener showUpdate([&] { shell->showUpdate(); });

    shell->start(args);
    if (shell->startScripting(SingleInstance::defaultDir() / ipc::socketName(display)))
        platform->publishOnRoot("_TARVELA_SOCKET", shell->scripts->path().string());
    QApplication::exec();
    if (shell->scripts) platform->publishOnRoot("_TARVELA_SOCKET", "");

    // The platform has said why already: one line is all a lost server gets.
    if (!serverGone) log("stopping: windows stay where they are");
    shell->terminate();
    platform->onCompositingChanged(nullptr);
    platform->onSystemTrayChanged(nullptr);
    windows.reset();  // the widgets read the shell's panels to the last
    router.detach();
    shell.reset();    // its shortcuts are unregistered while the service lives
    hotkeys.reset();
    gestureSources.reset();
    platformForQt = nullptr;
    platform.reset();
    instance.reset();  // it unwatches its socket on the loop
    return serverGone ? 1 : 0;
}

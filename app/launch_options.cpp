#include "app/launch_options.h"

#include "app/router.h"
#include "updates/notify_check.h"

namespace tarvela {

const char* const launch::usage =
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

std::variant<LaunchOptions, LaunchError> parseLaunch(const std::vector<std::string>& args,
                                                     const char* notifyCheckEnv) {
    using Mode = LaunchOptions::Mode;
    LaunchOptions o;
    if (NotifyCheck::requested(args, notifyCheckEnv)) {
        o.mode = Mode::notifyCheck;
        return o;
    }
    if (!args.empty() && args[0] == "msg") {
        o.mode = Mode::msg;
        o.msgArgs.assign(args.begin() + 1, args.end());
        return o;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "-h" || a == "--help") {
            return LaunchOptions{.mode = Mode::help};
        } else if (a == "--version") {
            return LaunchOptions{.mode = Mode::version};
        } else if (a == "--replace") {
            o.replace = true;
        } else if (a == "--show-update") {
            o.showUpdate = true;
        } else if (a == "--reset-notifier") {
            o.resetNotifier = true;
        } else if (a == "--display") {
            if (!hasValue) return LaunchError{"--display needs a display name, e.g. --display :1"};
            o.display = args[++i];
        } else if (a == "--preview") {
            if (!hasValue) return LaunchError{"--preview needs a window name, e.g. --preview toast"};
            // Before anything starts: an unknown name would leave a Tarvela
            // showing nothing, waiting for nobody.
            const std::string& name = args[++i];
            if (!preview::known(name))
                return LaunchError{"unknown preview \"" + name + "\"; known: " + preview::knownNames};
            if (!o.preview) o.preview = name;
        } else if (a.rfind("--", 0) == 0) {
            return LaunchError{"unknown option " + a + " (see tarvela --help)"};
        }
    }
    return o;
}

}  // namespace tarvela

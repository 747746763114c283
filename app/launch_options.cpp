#include "app/launch_options.h"

#include "app/router.h"
#include "updates/notify_check.h"

namespace tarvela {

const char* const launch::summary =
    "Lines the windows of all running applications up in a horizontal strip of "
    "full-height columns per display, and slides the strip as focus moves. "
    "Tarvela is the display's window manager: start it from ~/.xinitrc, a display "
    "manager session, or with --replace inside a running session.";

const std::vector<OptionDoc>& launch::options() {
    static const std::vector<OptionDoc> table{
        {{"--display"}, "NAME", "the X display to manage (default: $DISPLAY)"},
        {{"--replace"}, "", "ask the running window manager to hand over"},
        {{"--preview"}, "NAME",
         "show one window for inspection: onboarding, settings or settings:PANE, permission, update, save, "
         "addapps, toast, or popover (after a normal start)"},
        {{"--show-update"}, "", "open the software-update window and check for updates"},
        {{"--reset-notifier"}, "", "run the background update check now"},
        {{"--notify-check"}, "", "run the background update check in this process and exit"},
        {{"--version"}, "", "print the version and exit"},
        {{"msg"}, "COMMAND ...", "send a command to the running Tarvela (tarvela msg --help)"},
        {{"-h", "--help"}, "", "print this help and exit"},
    };
    return table;
}

const std::vector<launch::EnvDoc>& launch::environment() {
    static const std::vector<EnvDoc> table{
        {"DISPLAY", "the X display to manage when --display is not given"},
        {"TARVELA_DEFAULTS", "settings file (default $XDG_CONFIG_HOME/tarvela/app.tarvela.plist)"},
        {"TARVELA_FEED_URL", "the update feed's address (overrides the built-in one)"},
        {"TARVELA_NOTIFY_CHECK", "set to 1: the same as --notify-check"},
        {"TARVELA_SOCKET", "where tarvela msg finds the running Tarvela (default: the runtime folder's socket for $DISPLAY)"},
    };
    return table;
}

std::string launch::usage() {
    std::string s = "Usage: tarvela [options]\n\n";
    s += wrapText(summary, 0, 78) + "\nOptions:\n" + formatOptions(options(), 19, 78);
    s += "\nEnvironment:\n";
    for (const EnvDoc& e : environment()) s += formatOptions({{{e.name}, "", e.help}}, 25, 78);
    return s;
}

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

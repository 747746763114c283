#include "updates/background_check_timer.h"

#include <fstream>
#include <sstream>

#include "core/log.h"
#include "core/processes.h"
#include "core/xdg_dirs.h"
#include "settings/defaults_file.h"
#include "updates/update_config.h"

namespace tarvela {
namespace fs = std::filesystem;
namespace {

std::optional<std::string> contentsOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// systemd refuses an executable path with control characters, quotes or
// backslashes, however they are escaped.
bool writable(const std::string& path) {
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '"' || c == '\'' || c == '\\') return false;
    return !path.empty();
}

}  // namespace

BackgroundCheckTimer::BackgroundCheckTimer(BackgroundCheckTimerDeps deps) : d_(std::move(deps)) {}

BackgroundCheckTimerDeps BackgroundCheckTimer::standardDeps() {
    BackgroundCheckTimerDeps d;
    d.unitDir = xdgBaseDir("XDG_CONFIG_HOME", ".config") / "systemd" / "user";
    std::error_code ec;
    d.executable = fs::read_symlink("/proc/self/exe", ec);
    d.systemctl = [](const std::vector<std::string>& args) {
        std::vector<std::string> argv{"systemctl"};
        argv.insert(argv.end(), args.begin(), args.end());
        return runAndWait(argv);
    };
    return d;
}

fs::path BackgroundCheckTimer::servicePath() const { return d_.unitDir / (std::string(check_timer::label) + ".service"); }
fs::path BackgroundCheckTimer::timerPath() const { return d_.unitDir / (std::string(check_timer::label) + ".timer"); }

std::string BackgroundCheckTimer::execWord(const std::string& path) {
    // Quoted for its spaces; % starts a specifier unless doubled. Variables
    // are not expanded in the executable's own path, so $ stays as it is.
    std::string out = "\"";
    for (char c : path) {
        if (c == '%') out += c;
        out += c;
    }
    return out + "\"";
}

std::string BackgroundCheckTimer::serviceText() const {
    return "# Written by Tarvela, and removed by it, with its background update notifications.\n"
           "[Unit]\n"
           "Description=Tarvela background update check\n"
           "\n"
           "[Service]\n"
           // Started, not finished, is what a start or restart waits for: the
           // check may wait minutes for an answer to its notification.
           "Type=exec\n"
           "ExecStart=" +
           execWord(d_.executable.string()) +
           "\n"
           "Environment=TARVELA_NOTIFY_CHECK=1\n";
}

std::string BackgroundCheckTimer::timerText() const {
    const std::string every = std::to_string(check_timer::interval);
    return "# Written by Tarvela, and removed by it, with its background update notifications.\n"
           "[Unit]\n"
           "Description=Tarvela background update check every 6 hours\n"
           "\n"
           "[Timer]\n"
           // Counted from the timer's start, never at it (a boot- or
           // startup-relative time already past would fire at once); then from
           // each run's start. OnUnitActiveSec alone would never fire, as the
           // service has not run yet.
           "OnActiveSec=" +
           every +
           "\n"
           "OnUnitActiveSec=" +
           every +
           "\n"
           "\n"
           "[Install]\n"
           "WantedBy=timers.target\n";
}

bool BackgroundCheckTimer::userManagerAnswers() { return d_.systemctl && d_.systemctl({"--user", "show-environment"}) == 0; }

void BackgroundCheckTimer::apply(bool enabled) {
    if (applyUnits(enabled)) checkNotifications();
}

bool BackgroundCheckTimer::applyUnits(bool enabled) {
    if (!userManagerAnswers()) {
        log(check_timer::noUserManagerLine);
        return false;
    }
    const std::string timer = std::string(check_timer::label) + ".timer";
    if (!enabled) {
        std::error_code ec;
        if (!fs::exists(servicePath(), ec) && !fs::exists(timerPath(), ec)) return false;
        d_.systemctl({"--user", "disable", "--now", timer});
        fs::remove(timerPath(), ec);
        fs::remove(servicePath(), ec);
        d_.systemctl({"--user", "daemon-reload"});
        return false;
    }
    if (!d_.executable.is_absolute() || !writable(d_.executable.string())) {
        log("background notifier not installed: Tarvela’s path cannot be written into a unit file");
        return false;
    }
    // What the check starts (Tarvela with its update window, in a unit of the
    // user manager) gets the manager's environment, which a session started
    // without systemd's help does not give the display. Each start brings the
    // current one: the display may differ from the last session's.
    d_.systemctl({"--user", "import-environment", "DISPLAY", "XAUTHORITY"});
    const std::string service = serviceText(), timerUnit = timerText();
    if (contentsOf(servicePath()) != service || contentsOf(timerPath()) != timerUnit) {
        std::error_code ec;
        fs::create_directories(d_.unitDir, ec);
        std::optional<std::string> failed;
        if (ec) failed = "create " + d_.unitDir.string() + ": " + ec.message();
        if (!failed) failed = replaceFileAtomically(servicePath(), service);
        if (!failed) failed = replaceFileAtomically(timerPath(), timerUnit);
        if (failed) {
            log("background notifier not installed: " + *failed);
            return false;
        }
        d_.systemctl({"--user", "daemon-reload"});
        d_.systemctl({"--user", "enable", "--now", timer});
        log(check_timer::installedLine);
    }
    return true;
}

void BackgroundCheckTimer::checkNotifications() {
    if (!d_.notificationsAllowed) return;
    d_.notificationsAllowed([](bool allowed) {
        if (!allowed) log(check_timer::notificationsOffLine);
    });
}

void BackgroundCheckTimer::reset() {
    if (d_.systemctl) d_.systemctl({"--user", "restart", std::string(check_timer::label) + ".service"});
}

}  // namespace tarvela

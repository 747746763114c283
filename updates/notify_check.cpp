#include "updates/notify_check.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "settings/defaults_file.h"
#include "updates/appcast.h"

namespace tarvela {
namespace fs = std::filesystem;

NotifierLog::NotifierLog(fs::path file, std::function<std::time_t()> clock)
    : file_(std::move(file)), clock_(std::move(clock)) {}

std::string NotifierLog::timestamp(std::time_t t) {
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

void NotifierLog::say(const std::string& message) {
    const std::string line = timestamp(clock_ ? clock_() : std::time(nullptr)) + " " + message + "\n";
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    {
        std::ofstream out(file_, std::ios::app | std::ios::binary);
        if (out && (out << line).flush()) return;
    }
    replaceFileAtomically(file_, line);
}

namespace NotifyCheck {

bool requested(const std::vector<std::string>& args, const char* envValue) {
    if (envValue && std::strcmp(envValue, "1") == 0) return true;
    for (const std::string& a : args)
        if (a == "--notify-check") return true;
    return false;
}

bool tarvelaRunning(const fs::path& dir) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.rfind("app.tarvela", 0) != 0 || e.path().extension() != ".lock") continue;
        const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        // A shared lock is refused exactly while a running Tarvela holds its
        // exclusive one; closing lets go of ours at once.
        const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        ::close(fd);
        if (held) return true;
    }
    return false;
}

std::string startShowingUpdate(const fs::path& executable,
                               const std::function<int(const std::vector<std::string>&)>& run,
                               const std::function<bool(const std::vector<std::string>&)>& detach) {
    const std::vector<std::string> tarvela{executable.string(), "--show-update"};
    std::vector<std::string> unit{"systemd-run", "--user", "--collect", "--quiet",
                                  "--description=Tarvela, opened from its update notification", "--"};
    unit.insert(unit.end(), tarvela.begin(), tarvela.end());
    if (run(unit) == 0) return "install: started Tarvela to show the update";
    if (detach(tarvela)) return "install: started Tarvela to show the update (without systemd-run)";
    return "install: Tarvela could not be started";
}

void post(NotifyCheckDeps& d, const std::string& latest, const std::string& current) {
    if (!d.notifications.allowed()) {
        d.say("notifications not allowed for Tarvela (status " + std::to_string(notify_check::deniedStatus) + ")");
        return;
    }
    const UpdateNotification n{"update-" + latest,
                               "Tarvela " + latest + " is available",
                               "Smoother scrolling and fixes. You’re on " + current + ".",
                               {{"INSTALL", "Install"}, {"LATER", "Later"}, {"default", "Open"}}};
    if (auto error = d.notifications.post(n)) {
        d.say("failed: " + *error);
        return;
    }
    d.say("posted: " + latest);
    if (d.notifications.waitForAnswer(d.answerWait) == UpdateNotifications::Answer::install && d.showUpdate)
        d.say(d.showUpdate());
}

int run(NotifyCheckDeps& d) {
    if (d.defaults.getBool(notify_check::testKey).value_or(false)) {
        d.defaults.remove(notify_check::testKey);
        post(d, notify_check::sampleVersion, d.currentVersion);
        return 0;
    }
    if (d.tarvelaRunning && d.tarvelaRunning()) {
        d.say("Tarvela is running; it shows its own toast");
        return 0;
    }
    // Only a stored "off" stops the check; a missing setting counts as on.
    if (d.defaults.getBool("notifyWhenClosed") == false) return 0;
    if (d.defaults.getBool("autoCheck") == false) return 0;

    std::optional<std::string> latest;
    if (!d.feedUrl.empty() && d.fetch) {
        const FetchResult r = d.fetch(d.feedUrl);
        if (r.ok()) latest = highestVersion(versionsIn(r.body));
    }
    if (latest && compareVersions(*latest, d.currentVersion) > 0) {
        if (d.defaults.getString(notify_check::notifiedVersionKey) == *latest) return 0;
        d.defaults.set(notify_check::notifiedVersionKey, *latest);
        post(d, *latest, d.currentVersion);
        return 0;
    }
    d.say("up to date");
    return 0;
}

}  // namespace NotifyCheck
}  // namespace tarvela

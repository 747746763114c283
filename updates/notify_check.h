// The background update check: a short run of this executable, started by the
// notifier's timer while Tarvela is not running, that reads the feed itself
// and, when a newer version is out, posts a desktop notification whose
// "Install" brings Tarvela's update window up. It makes no window and no X
// connection; what it did goes to its own log, one time-stamped line each.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/defaults.h"
#include "updates/http_fetch.h"

namespace tarvela {

namespace notify_check {
inline constexpr const char* notifiedVersionKey = "notifiedVersion";
inline constexpr const char* testKey = "notifierTest";
inline constexpr const char* sampleVersion = "1.1";
inline constexpr double feedTimeout = 20;
// How long the check waits for the user to answer its notification. The
// server may keep the notification far longer, but its buttons only work
// while this process listens; at the end the notification is withdrawn so
// that none is left whose buttons do nothing. Five minutes covers a banner on
// screen and a user who glances at it a little later, and stays far below
// the six hours between runs.
inline constexpr double answerWait = 300;
// Notification statuses as the log counts them: 1 is "denied", here meaning
// that no notification server answers.
inline constexpr int deniedStatus = 1;
}  // namespace notify_check

struct UpdateNotification {
    std::string identifier;  // "update-" + the version
    std::string title;
    std::string body;
    // Key and label of each button; "default" is a click on the notification.
    std::vector<std::pair<std::string, std::string>> actions;
};

// The desktop's notifications, as far as the check needs them.
class UpdateNotifications {
public:
    enum class Answer { install, later, dismissed, unanswered };
    virtual ~UpdateNotifications() = default;
    // Whether notifications can be shown at all: a server answers.
    virtual bool allowed() = 0;
    // Shows it; none on success, else what went wrong.
    virtual std::optional<std::string> post(const UpdateNotification& n) = 0;
    // Waits at most `seconds` for the user to act on the notification last
    // posted; "install" is the Install button or a click on the notification.
    virtual Answer waitForAnswer(double seconds) = 0;
};

// The notifier's log: "<ISO 8601 time> <message>\n" per line, appended.
class NotifierLog {
public:
    explicit NotifierLog(std::filesystem::path file, std::function<std::time_t()> clock = {});
    void say(const std::string& message);
    const std::filesystem::path& path() const { return file_; }
    static std::string timestamp(std::time_t t);

private:
    std::filesystem::path file_;
    std::function<std::time_t()> clock_;
};

struct NotifyCheckDeps {
    Defaults& defaults;
    std::string currentVersion;
    std::string feedUrl;  // empty: none
    // Whether Tarvela runs for this user, on any display.
    std::function<bool()> tarvelaRunning;
    std::function<FetchResult(const std::string& url)> fetch;
    UpdateNotifications& notifications;
    // Brings the update window of the running Tarvela up, or starts one that
    // shows it; gives a line for the log.
    std::function<std::string()> showUpdate;
    std::function<void(const std::string&)> say;
    double answerWait = notify_check::answerWait;
};

namespace NotifyCheck {

// "--notify-check" among the arguments, or TARVELA_NOTIFY_CHECK = "1".
bool requested(const std::vector<std::string>& args, const char* envValue);
// The whole check; the process then ends with the status it returns (0).
int run(NotifyCheckDeps& d);
// Posts the update notification for `latest` and acts on its answer.
void post(NotifyCheckDeps& d, const std::string& latest, const std::string& current);
// Whether a process holds one of Tarvela's single-instance locks in `dir`.
bool tarvelaRunning(const std::filesystem::path& dir);

// Starts `executable --show-update` for a user who chose "Install" while no
// Tarvela runs. The check is a service of the user manager, and whatever it
// starts itself is ended with it; so Tarvela goes into a transient unit of its
// own (systemd-run --user), which also gives it the session's display that
// the running Tarvela imported into the manager. Where that cannot be had
// (the check was started by hand, without a user manager), `detach` starts it
// from here. `run` runs a program and gives its exit status (-1: not started).
// Gives a line for the log.
std::string startShowingUpdate(const std::filesystem::path& executable,
                               const std::function<int(const std::vector<std::string>&)>& run,
                               const std::function<bool(const std::vector<std::string>&)>& detach);

}  // namespace NotifyCheck

}  // namespace tarvela

// The background update check's timer: two systemd user units that start this
// executable in its check mode every 6 hours while Tarvela is not running,
//   $XDG_CONFIG_HOME/systemd/user/app.tarvela.notifier.service
//   $XDG_CONFIG_HOME/systemd/user/app.tarvela.notifier.timer
// They exist exactly while `notifyWhenClosed` is on. Writing them when their
// contents are already there changes nothing and reloads nothing.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarvela {

namespace check_timer {
inline constexpr const char* label = "app.tarvela.notifier";
inline constexpr int interval = 21600;  // seconds
inline constexpr const char* installedLine = "background notifier installed (every 6 h)";
// What takes the place of the system's notification settings here.
inline constexpr const char* notificationsOffLine = "notifications are off for Tarvela (no notification server answers)";
inline constexpr const char* noUserManagerLine =
    "background notifier not installed: no systemd user manager answers (systemctl --user)";
}  // namespace check_timer

struct BackgroundCheckTimerDeps {
    std::filesystem::path unitDir;
    std::filesystem::path executable;  // absolute
    // Runs systemctl with these arguments after "systemctl"; gives its exit
    // status, or -1 when it could not be started.
    std::function<int(const std::vector<std::string>& args)> systemctl;
    // Asks whether a notification server answers; calls back with the answer
    // on the main thread, later or at once. Empty: not asked.
    std::function<void(std::function<void(bool)>)> notificationsAllowed;
};

class BackgroundCheckTimer {
public:
    explicit BackgroundCheckTimer(BackgroundCheckTimerDeps deps);

    // $XDG_CONFIG_HOME/systemd/user (~/.config/systemd/user when unset),
    // running this process's executable, with the real systemctl and no
    // notification check (the shell brings its own).
    static BackgroundCheckTimerDeps standardDeps();

    // Installs (true) or removes (false) the units, and enables or disables the
    // timer. Where no user manager answers, says so in one line and does nothing else.
    void apply(bool enabled);
    // apply() in its two halves, so that the slow one can run off the main
    // thread (systemctl waits for the user manager, seconds when it is busy):
    // the units, on any one thread at a time, true when the notifications'
    // permission is to be looked at next; then that look, on the main thread.
    bool applyUnits(bool enabled);
    void checkNotifications();
    // Runs the background check now.
    void reset();

    std::filesystem::path servicePath() const;
    std::filesystem::path timerPath() const;
    std::string serviceText() const;
    std::string timerText() const;
    // An executable's path as the first word of an ExecStart= line.
    static std::string execWord(const std::string& path);

private:
    bool userManagerAnswers();

    BackgroundCheckTimerDeps d_;
};

}  // namespace tarvela

// The update check inside the running application. It reads the feed off the
// main thread, keeps the check's state for the software-update window, tells
// the shell when a background check found a version worth a toast, and with
// `autoInstall` downloads the new package into the cache folder, keeping it
// only when its size and signature check out.
//
//   idle -> checking -> available(v) | upToDate | failed(m);  a new check -> checking
//
// The state, the release and the time of the last check change only on the
// main thread, and `changed` fires after each change.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "core/serial_queue.h"
#include "core/signal.h"
#include "feedback/settings_panes.h"
#include "feedback/update_view.h"
#include "settings/defaults.h"
#include "settings/prefs.h"
#include "updates/appcast.h"
#include "updates/http_fetch.h"
#include "updates/update_config.h"

namespace tarvela {

namespace updater {
inline constexpr const char* notSetUp = "The update server isn’t set up yet.";
inline constexpr const char* checkFailed = "Couldn’t check for updates: ";
inline constexpr double interval = 24 * 60 * 60;  // between scheduled checks
inline constexpr uint64_t maxFeedBytes = 4 * 1024 * 1024;
inline constexpr uint64_t maxPackageBytes = 1024ull * 1024 * 1024;
// The defaults key of the last finished check, in seconds since 1970.
inline constexpr const char* lastCheckedKey = "lastChecked";
}  // namespace updater

struct UpdaterDeps {
    RunLoop& main;
    Prefs& prefs;  // autoCheck, autoInstall, notifyWhenClosed
    std::string currentVersion;
    UpdateConfig config;
    // The network runs on this queue; empty: a thread of its own.
    SerialQueueFactory makeQueue;
    // Seconds since 1970; empty: the system clock.
    std::function<double()> wallClock;
};

class Updater {
public:
    explicit Updater(UpdaterDeps deps);
    ~Updater();
    Updater(const Updater&) = delete;
    Updater& operator=(const Updater&) = delete;

    const UpdateState& state() const { return state_; }
    const std::optional<Release>& release() const { return release_; }
    // When a check last read the feed (seconds since 1970), kept across
    // launches; a failed check leaves it, so it says how current Tarvela's
    // knowledge is.
    std::optional<double> lastChecked() const { return lastChecked_; }
    // The version install() installs: the one found, also after a later check
    // or its download failed; none when nothing newer is known.
    std::optional<std::string> installable() const;
    // The downloaded package of `release`, once its checks have passed.
    const std::optional<std::filesystem::path>& package() const { return package_; }
    const std::string& currentVersion() const { return d_.currentVersion; }
    UpdateView view() const;

    Signal<> changed;
    // A background check found a newer version and `notifyWhenClosed` is on:
    // the version and its notes. Called once per version for the life of the process.
    std::function<void(const std::string& version, const std::vector<std::string>& notes)> onAvailable;

    // Checks at once and then every 24 hours while `autoCheck` is on, and
    // follows `autoCheck` and `autoInstall` from now on. A second call only
    // re-applies the two preferences.
    void startSchedule();
    // Reads the feed. A user-initiated check is one the user watches in the
    // window, so it is never announced by a toast. A check while one is under
    // way joins it.
    void check(bool userInitiated);
    // The main button of the available state: the verified package to the
    // desktop's opener with `autoInstall`, else the release's download page.
    // With nothing installable, a check.
    void install();

private:
    void applyPrefs();
    void finishCheck(const FetchResult& r);
    void startDownload();
    void finishDownload(const std::string& version, const std::filesystem::path& file,
                        const std::optional<std::string>& error);
    void setState(UpdateState s);
    void submit(std::function<void()> job);
    double wallNow() const;

    UpdaterDeps d_;
    UpdateState state_;
    std::optional<Release> release_;
    std::optional<double> lastChecked_;
    std::optional<std::filesystem::path> package_;
    bool started_ = false;
    bool checking_ = false;
    bool userInitiated_ = false;
    bool downloading_ = false;
    bool installWhenReady_ = false;
    std::set<std::string> announced_;
    std::optional<RunLoop::TimerId> timer_;
    std::vector<Connection> bag_;
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SerialQueue> queue_;
    Lifetime life_;
};

// The updater as the settings window's Updates pane reads it.
class UpdaterSource final : public UpdateSource {
public:
    // `when` writes a time (seconds since 1970) as the user reads it.
    UpdaterSource(Updater& updater, std::function<std::string(double)> when);
    UpdateStatus status() const override;
    void checkNow() override { u_.check(true); }
    void install() override { u_.install(); }

private:
    Updater& u_;
    std::function<std::string(double)> when_;
    Connection link_;
};

}  // namespace tarvela

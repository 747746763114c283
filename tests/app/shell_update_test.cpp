// The shell's update wiring, headless: a background check that finds a newer
// version puts up the update toast, the launch switches and the "show update"
// request open the update window and check, and the background check's timer
// follows `notifyWhenClosed`.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "app/shell.h"
#include "core/manual_time.h"
#include "input/hotkey_service.h"
#include "manager/feedback_hooks.h"
#include "platform/sim/sim_desktop.h"
#include "settings/app_info.h"
#include "tests/app/sim_shell.h"
#include "tests/settings/temp_dir.h"
#include "tests/support/fake_metrics.h"
#include "tests/support/test_helpers.h"
#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"

namespace tarvela::testing {
namespace {

class UpdateRouter final : public Router {
public:
    std::vector<std::string> calls;
    void settings(const std::optional<std::string>&) override { calls.push_back("settings"); }
    void onboarding() override { calls.push_back("onboarding"); }
    void permissionLost() override { calls.push_back("permissionLost"); }
    void preview(const std::string& name) override { calls.push_back("preview:" + name); }
    void softwareUpdate() override { calls.push_back("softwareUpdate"); }
};

class ShellUpdateTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    MemoryDefaults defaults;
    SimHotkeyService keys;
    UpdateRouter router;
    NoFeedback feedback;
    FakeMetrics metrics;
    LoopbackHttp http;
    TempDir tmp;
    testsupport::LogCapture logs;
    std::vector<std::string> systemctl;
    UpdateConfig updates;
    std::unique_ptr<BackgroundCheckTimer> checkTimer;
    std::unique_ptr<Shell> shell;

    void SetUp() override {
        sim.addStandardDisplay("Built-in Display");
        Prefs(defaults).onboarded.set(true);
        updates.feedUrl = http.url("/feed");
        updates.cacheDir = tmp / "cache";
        checkTimer = std::make_unique<BackgroundCheckTimer>(BackgroundCheckTimerDeps{tmp / "units", "/usr/bin/tarvela",
                                                           [this](const std::vector<std::string>& a) {
                                                               systemctl.push_back(a[1]);
                                                               return 0;
                                                           },
                                                           {}});
    }
    void TearDown() override { shell.reset(); }
    Shell& start(const LaunchOptions& launch = {}, bool panels = true, Router* r = nullptr,
                 SerialQueueFactory queues = {}) {
        ShellDeps d = simShellDeps(sim, time, defaults, keys, r ? *r : router, feedback);
        if (queues) d.makeQueue = queues;
        d.metrics = panels ? &metrics : nullptr;
        d.updates = &updates;
        d.checkTimer = checkTimer.get();
        shell = std::make_unique<Shell>(d);
        shell->start(launch);
        time.drain();
        return *shell;
    }
    bool logged(const std::string& line) const {
        return std::find(logs.lines.begin(), logs.lines.end(), line) != logs.lines.end();
    }
};

TEST_F(ShellUpdateTest, ABackgroundFindPutsUpTheUpdateToastUntilAnswered) {
    http.set("/feed", 200, appcast({{"1.2"}, {"99.1"}}));
    Shell& s = start();
    EXPECT_EQ(http.hits("/feed"), 1);  // checked at launch
    ASSERT_NE(s.toast->panel(), nullptr);
    const ToastModel& m = s.toast->panel()->model;
    EXPECT_EQ(m.title, "Tarvela 99.1 is available");
    EXPECT_EQ(m.text, "What 99.1 brings You’re on " + AppInfo::version() + ".");
    EXPECT_EQ(m.primary, std::optional<std::string>("Install"));
    EXPECT_EQ(m.secondary, "Later");
    EXPECT_TRUE(s.popover->model().footer.at(2).badge);  // "Updates"
    time.advance(600);
    ASSERT_NE(s.toast->panel(), nullptr);  // no auto-hide
    s.toast->primaryPressed();
    EXPECT_EQ(router.calls, std::vector<std::string>{"softwareUpdate"});

    // Without notes, and without panels, the same announcement goes to the log.
    shell.reset();
    http.set("/feed", 200, "<item><sparkle:shortVersionString>99.2</sparkle:shortVersionString></item>");
    start({}, false);
    EXPECT_TRUE(logged("[Tarvela] Tarvela 99.2 is available: A new version is ready. You’re on " + AppInfo::version() +
                       "."));
}

TEST_F(ShellUpdateTest, ShowUpdateOpensTheWindowAndChecksSoonAfterLaunch) {
    http.set("/feed", 200, appcast({{"0.0.1"}}));
    Prefs(defaults).autoCheck.set(false);
    Shell& s = start({.showUpdate = true});
    EXPECT_TRUE(router.calls.empty());
    time.advance(0.39);
    EXPECT_TRUE(router.calls.empty());
    time.advance(0.02);
    EXPECT_EQ(router.calls, std::vector<std::string>{"softwareUpdate"});
    EXPECT_EQ(s.updater->state(), UpdateState::upToDate());
    EXPECT_EQ(http.hits("/feed"), 1);

    EXPECT_FALSE(s.popover->model().footer.at(2).badge);
    int told = 0;
    Connection c = s.popover->changed.connect([&] { ++told; });
    s.showUpdate();  // the request any process of the user may send
    time.drain();
    EXPECT_GE(told, 2);  // checking, then up to date: an open popover follows
    EXPECT_EQ(router.calls.size(), 2u);
    EXPECT_EQ(http.hits("/feed"), 2);
}

TEST_F(ShellUpdateTest, TheCheckTimerFollowsNotifyWhenClosedAndTheSwitches) {
    Shell& s = start({.resetNotifier = true});
    EXPECT_EQ(systemctl, (std::vector<std::string>{"restart", "show-environment", "import-environment",
                                                   "daemon-reload", "enable"}));
    systemctl.clear();
    s.prefs.notifyWhenClosed.set(false);
    time.drain();
    EXPECT_EQ(systemctl, (std::vector<std::string>{"show-environment", "disable", "daemon-reload"}));
    EXPECT_FALSE(std::filesystem::exists(checkTimer->timerPath()));
}

TEST_F(ShellUpdateTest, SystemctlKeepsNoOneWaitingOnTheMainThread) {
    const auto mainThread = std::this_thread::get_id();
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    std::atomic<int> calls{0}, onMain{0};
    checkTimer = std::make_unique<BackgroundCheckTimer>(BackgroundCheckTimerDeps{tmp / "units", "/usr/bin/tarvela",
                                                       [&](const std::vector<std::string>&) {
                                                           onMain += std::this_thread::get_id() == mainThread;
                                                           ++calls;
                                                           // A user manager that takes its time.
                                                           answered.wait_for(std::chrono::seconds(10));
                                                           return 0;
                                                       },
                                                       {}});
    auto manual = time.queueFactory();
    Shell& s = start({.resetNotifier = true}, true, nullptr, [manual](const char* label) {
        return std::string(label) == "tarvela.notifier" ? makeThreadQueue(label) : manual(label);
    });
    // The main loop goes on while systemctl has not answered.
    bool ran = false;
    time.loop().after(1, [&] { ran = true; });
    time.advance(1);
    EXPECT_TRUE(ran);
    EXPECT_LE(calls, 1);
    answer.set_value();
    s.prefs.notifyWhenClosed.set(false);
    time.drain();
    shell.reset();  // the queue finishes what it was given
    EXPECT_EQ(onMain, 0);
    EXPECT_EQ(calls, 8);  // restart; four to install (the display with them); three to remove
}

TEST_F(ShellUpdateTest, TheHeadlessRouterSaysWhatTheUpdateWindowShows) {
    http.set("/feed", 200, appcast({{"99.3"}}));
    Prefs(defaults).autoCheck.set(false);
    HeadlessRouter headless;
    Shell& s = start({.preview = "update"}, false, &headless);
    headless.updater = s.updater.get();
    headless.softwareUpdate();
    s.updater->check(true);
    time.drain();
    const std::string have = "You have " + AppInfo::version() + ".";
    EXPECT_TRUE(logged("[Tarvela] software update: Software update — " + have + " [Check again]"));
    EXPECT_TRUE(logged("[Tarvela] software update: Checking for updates… — " + have + " [Checking…, inactive]"));
    EXPECT_TRUE(logged("[Tarvela] software update: Tarvela 99.3 is available — " + have +
                       " This update is free. [Install update] · What’s new: What 99.3 brings / Fixes"));
}

}  // namespace
}  // namespace tarvela::testing

// The background update check's steps, in this process, against a loopback
// feed and recorded notifications. (The executable running it, with a real
// notification server, is in dbus/.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ipc/single_instance.h"
#include "tests/settings/temp_dir.h"
#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"
#include "updates/notify_check.h"

namespace tarvela::testing {
namespace {

using Answer = UpdateNotifications::Answer;

class RecordedNotifications final : public UpdateNotifications {
public:
    bool allow = true;
    std::optional<std::string> failure;
    Answer answer = Answer::later;
    std::vector<UpdateNotification> posted;

    bool allowed() override { return allow; }
    std::optional<std::string> post(const UpdateNotification& n) override {
        if (!failure) posted.push_back(n);
        return failure;
    }
    Answer waitForAnswer(double) override { return answer; }
};

class NotifyCheckTest : public ::testing::Test {
protected:
    MemoryDefaults defaults;
    LoopbackHttp http;
    RecordedNotifications notifications;
    std::vector<std::string> said;
    bool running = false;
    std::string feedUrl = http.url("/feed");

    void run() {
        NotifyCheckDeps d{defaults,
                          "1.0.0",
                          feedUrl,
                          [this] { return running; },
                          [](const std::string& url) { return fetch(url); },
                          notifications,
                          [] { return std::string("install: shown"); },
                          [this](const std::string& m) { said.push_back(m); }};
        EXPECT_EQ(NotifyCheck::run(d), 0);
    }
    std::vector<std::string> takeSaid() { return std::exchange(said, {}); }
};

TEST_F(NotifyCheckTest, ANewerVersionIsNotifiedOnceEver) {
    http.set("/feed", 200, appcast({{"1.2"}, {"1.10"}, {"0.9"}}));
    run();
    ASSERT_EQ(notifications.posted.size(), 1u);
    const UpdateNotification& n = notifications.posted[0];
    EXPECT_EQ(n.identifier, "update-1.10");
    EXPECT_EQ(n.title, "Tarvela 1.10 is available");
    EXPECT_EQ(n.body, "Smoother scrolling and fixes. You’re on 1.0.0.");
    EXPECT_EQ(n.actions[0].second + n.actions[1].second, "InstallLater");
    EXPECT_EQ(takeSaid(), std::vector<std::string>{"posted: 1.10"});  // "Later": nothing shown
    EXPECT_EQ(defaults.getString("notifiedVersion"), "1.10");

    for (int i = 0; i < 3; ++i) run();
    EXPECT_EQ(notifications.posted.size(), 1u);
    EXPECT_TRUE(said.empty());

    http.set("/feed", 200, appcast({{"1.11"}}));
    notifications.answer = Answer::install;
    run();
    EXPECT_EQ(takeSaid(), (std::vector<std::string>{"posted: 1.11", "install: shown"}));
}

TEST_F(NotifyCheckTest, RunningOrSwitchedOffOrNothingNewer) {
    http.set("/feed", 200, appcast({{"1.2"}}));
    running = true;
    run();
    EXPECT_EQ(takeSaid(), std::vector<std::string>{"Tarvela is running; it shows its own toast"});
    running = false;
    for (const char* key : {"notifyWhenClosed", "autoCheck"}) {
        defaults.set(key, false);
        run();
        EXPECT_TRUE(takeSaid().empty()) << key;
        defaults.remove(key);  // missing counts as on
    }
    EXPECT_EQ(http.hits("/feed"), 0);

    const std::vector<std::pair<int, std::string>> upToDate = {
        {200, appcast({{"1.0.0"}, {"0.9.9"}})}, {200, "<rss/>"}, {404, appcast({{"2.0"}})}};
    for (const auto& [status, body] : upToDate) {
        http.set("/feed", status, body);
        run();
        EXPECT_EQ(takeSaid(), std::vector<std::string>{"up to date"}) << status << " " << body;
    }
    feedUrl = "";
    run();
    EXPECT_EQ(takeSaid(), std::vector<std::string>{"up to date"});
    EXPECT_TRUE(notifications.posted.empty());
}

TEST_F(NotifyCheckTest, TheTestNotificationAndNotificationsThatCannotBeShown) {
    defaults.set("notifierTest", true);
    running = true;
    run();
    ASSERT_EQ(notifications.posted.size(), 1u);
    EXPECT_EQ(notifications.posted[0].title, "Tarvela 1.1 is available");
    EXPECT_FALSE(defaults.get("notifierTest"));
    EXPECT_EQ(http.hits("/feed"), 0);
    run();
    EXPECT_EQ(takeSaid().back(), "Tarvela is running; it shows its own toast");

    running = false;
    http.set("/feed", 200, appcast({{"1.2"}}));
    notifications.allow = false;
    run();
    EXPECT_EQ(takeSaid(), std::vector<std::string>{"notifications not allowed for Tarvela (status 1)"});
    notifications.allow = true;
    notifications.failure = "no server";
    defaults.remove("notifiedVersion");
    run();
    EXPECT_EQ(takeSaid(), std::vector<std::string>{"failed: no server"});
}

// "Install" with no Tarvela running: a unit of its own, not a child of the check's service.
TEST(StartShowingUpdateTest, TarvelaGoesIntoAUnitOfItsOwn) {
    std::string ran, detached;
    int status = 0;
    using Argv = std::vector<std::string>;
    const auto start = [&] {
        return NotifyCheck::startShowingUpdate(
            "/t/tarvela", [&](const Argv& a) { ran = ::testing::PrintToString(a); return status; },
            [&](const Argv& a) { detached = ::testing::PrintToString(a); return true; });
    };
    EXPECT_EQ(start(), "install: started Tarvela to show the update");
    EXPECT_TRUE(ran.starts_with("{ \"systemd-run\", \"--user\", ") &&
                ran.ends_with(", \"--\", \"/t/tarvela\", \"--show-update\" }")) << ran;
    EXPECT_EQ(detached, "");
    status = -1;  // no systemd-run, or no user manager
    EXPECT_EQ(start(), "install: started Tarvela to show the update (without systemd-run)");
    EXPECT_EQ(detached, "{ \"/t/tarvela\", \"--show-update\" }");
}

TEST(NotifierLogTest, LinesAreTimeStampedAndAppended) {
    TempDir tmp;
    NotifierLog log(tmp / "state" / "tarvela" / "notifier.log", [] { return std::time_t(1700000000); });
    log.say("posted: 1.2");
    log.say("up to date");
    std::ifstream in(log.path());
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "2023-11-14T22:13:20Z posted: 1.2\n2023-11-14T22:13:20Z up to date\n");
}

TEST(TarvelaRunningTest, ATarvelaOnAnyDisplayHoldsItsLock) {
    TempDir tmp;
    EXPECT_FALSE(NotifyCheck::tarvelaRunning(tmp.path()));
    { auto gone = SingleInstance::acquire(tmp.path(), SingleInstance::nameFor(":0"), 0); }
    EXPECT_FALSE(NotifyCheck::tarvelaRunning(tmp.path()));  // a lock file left behind
    auto held = SingleInstance::acquire(tmp.path(), SingleInstance::nameFor(":7"), 0);
    ASSERT_TRUE(held);
    EXPECT_TRUE(NotifyCheck::tarvelaRunning(tmp.path()));
}


}  // namespace
}  // namespace tarvela::testing

// The in-app update check against a feed served on loopback. The network
// runs on a manual queue, so each transfer happens inside drain() and its
// result is back on the main loop when drain() returns.
#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "tests/settings/temp_dir.h"
#include "tests/support/test_helpers.h"
#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"
#include "updates/updater.h"

namespace tarvela::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class UpdaterTest : public ::testing::Test {
protected:
    ManualTime time;
    MemoryDefaults defaults;
    Prefs prefs{defaults};
    LoopbackHttp http;
    TempDir tmp;
    Ed25519Signer signer;
    testsupport::LogCapture logs;
    Strings opened, announced;
    std::unique_ptr<Updater> updater;
    double now = 1.7e9;

    Updater& make(bool withFeed = true) {
        UpdateConfig c{withFeed ? http.url("/feed") : "", signer.publicKey(), tmp / "cache",
                       [this](const std::string& t) { return opened.push_back(t), true; }, 0.5};
        updater = std::make_unique<Updater>(
            UpdaterDeps{time.loop(), prefs, "1.0.0", c, time.queueFactory(), [this] { return now; }});
        updater->onAvailable = [this](const std::string& v, const Strings& notes) {
            announced.push_back(v + ": " + notes.at(0));
        };
        return *updater;
    }
    UpdateState checked(bool user = false) {
        updater->check(user);
        time.drain();
        return updater->state();
    }
    void feed(const std::vector<FeedItem>& items) { http.set("/feed", 200, appcast(items)); }
    // `served` at /pkg, announced in the feed as 1.2 with `length` and a signature of `signedBytes`.
    void package(const std::string& served, const std::string& signedBytes, size_t length) {
        http.set("/pkg", 200, served);
        feed({{"1.2", http.url("/pkg"), std::to_string(length), signer.sign(signedBytes)}});
    }
    bool cacheEmpty() { return !fs::exists(tmp / "cache") || fs::is_empty(tmp / "cache"); }
};

TEST_F(UpdaterTest, TheHighestVersionIsAvailableAndTheCheckTimeKept) {
    feed({{"1.2"}, {"1.10"}, {"1.9"}});
    make();
    Strings seen;
    auto c = updater->changed.connect([&] { seen.push_back(describe(updater->state())); });
    EXPECT_EQ(checked(true), UpdateState::available("1.10"));
    EXPECT_EQ(seen, (Strings{"checking", "available(1.10)"}));
    EXPECT_EQ(updater->release()->notes, (Strings{"What 1.10 brings", "Fixes"}));
    EXPECT_TRUE(announced.empty());  // the user watched this check in the window
    make();                          // the next launch
    EXPECT_EQ(updater->lastChecked(), 1.7e9);

    feed({{"1.0.0"}, {"0.9"}});
    EXPECT_EQ(checked(), UpdateState::upToDate());
    http.set("/feed", 200, "<rss><channel/></rss>");
    EXPECT_EQ(checked(), UpdateState::upToDate());
    // Invalid bytes are repaired, not refused.
    http.set("/feed", 200, "<item><sparkle:shortVersionString>2.0</sparkle:shortVersionString>"
                           "<description>Caf\xe9 \xf0\x9f\x98</description></item>");
    EXPECT_EQ(checked(), UpdateState::available("2.0"));
    EXPECT_EQ(updater->release()->notes, Strings{"Caf\xEF\xBF\xBD \xEF\xBF\xBD"});
}

TEST_F(UpdaterTest, FailedChecksSayWhatWentWrong) {
    make(false);
    EXPECT_EQ(checked(), UpdateState::failed("The update server isn’t set up yet."));
    make();
    const std::string p = "Couldn’t check for updates: ";
    const std::vector<std::pair<LoopbackHttp::Response, std::string>> cases = {
        {{404, "gone"}, p + "The server answered with status 404."},
        {{200, std::string(4 * 1024 * 1024 + 1, 'x')}, p + "The answer is larger than 4 MB."},
        {{200, "not a feed <"}, p + "The update feed can’t be read."},
        {{200, appcast({{"1.2"}}), true}, p + "Transfer closed with 1000 bytes remaining to read."},
        {{200, "", false, true}, p + "The server didn’t answer within 0.5 seconds."},
    };
    for (const auto& [response, message] : cases) {
        http.set("/feed", response);
        EXPECT_EQ(checked(), UpdateState::failed(message));
    }
    EXPECT_EQ(updater->view().subline, cases.back().second + " Check your connection and try again.");
}

TEST_F(UpdaterTest, BackgroundFindsAreAnnouncedOncePerVersionWhileTheScheduleRuns) {
    feed({{"1.2"}});
    make().startSchedule();  // checks at once
    time.drain();
    time.advance(updater::interval);
    EXPECT_EQ(http.hits("/feed"), 2);
    EXPECT_EQ(announced, Strings{"1.2: What 1.2 brings"});  // once per version

    feed({{"1.3"}});
    checked(true);  // found in the window: no toast
    prefs.notifyWhenClosed.set(false);
    feed({{"1.4"}});
    time.advance(updater::interval);
    EXPECT_EQ(updater->state(), UpdateState::available("1.4"));
    EXPECT_EQ(announced.size(), 1u);

    prefs.notifyWhenClosed.set(true);
    prefs.autoCheck.set(false);
    time.advance(3 * updater::interval);
    EXPECT_EQ(http.hits("/feed"), 4);
    prefs.autoCheck.set(true);  // back on: a check at once
    time.drain();
    EXPECT_EQ(http.hits("/feed"), 5);
    EXPECT_EQ(announced.back(), "1.4: What 1.4 brings");
}

TEST_F(UpdaterTest, AutoInstallKeepsOnlyASignedPackageOfTheAnnouncedSize) {
    prefs.autoInstall.set(true);
    const std::string bytes = "package bytes \x01\x02";  // 16
    package(bytes, bytes, 16);
    make();
    EXPECT_EQ(checked(), UpdateState::available("1.2"));
    ASSERT_TRUE(updater->package());
    updater->install();
    EXPECT_EQ(opened, Strings{(tmp / "cache" / "pkg").string()});

    fs::remove_all(tmp / "cache");
    package(bytes + "?", bytes + "!", 17);  // tampered
    EXPECT_EQ(checked(), UpdateState::failed("The downloaded update’s signature doesn’t match, so it was not kept."));
    EXPECT_TRUE(cacheEmpty());
    package(bytes, bytes, 21);
    EXPECT_EQ(checked().detail, "The downloaded update is 16 bytes, not the 21 the feed announced, so it was not kept.");
    EXPECT_TRUE(cacheEmpty());
    EXPECT_FALSE(updater->package());
}

TEST_F(UpdaterTest, WithoutAutoInstallInstallOpensTheDownloadPage) {
    package("bytes", "bytes", 5);
    make();
    checked();
    updater->install();
    EXPECT_EQ(opened, Strings{"https://tarvela.app/releases/1.2"});
    EXPECT_EQ(http.hits("/pkg"), 0);
    prefs.autoInstall.set(true);  // then downloaded, and opened once verified
    updater->install();
    time.drain();
    EXPECT_EQ(opened.back(), (tmp / "cache" / "pkg").string());
}

// The settings pane over the updater: a failure after a find is shown as
// one, with the time of the last check that read the feed, and the update
// found stays there to install.
TEST_F(UpdaterTest, AFailureAfterAFindKeepsTheUpdateAndTheTimeOfTheLastGoodCheck) {
    prefs.autoInstall.set(true);
    const std::string good = "package bytes \x01\x02", bad = "package bytes \x01\x03";
    package(bad, good, 16);
    make();
    UpdaterSource source(*updater, [](double t) { return std::to_string(static_cast<long long>(t)); });
    UpdatesPane pane(prefs, &source);
    checked();  // 1.2 found, but its package fails its signature
    now += 60;
    http.set("/feed", 404, "gone");
    checked();
    const UpdateStatusView v = *pane.status();
    EXPECT_EQ(v.line, "Couldn’t check for updates · last successful check 1700000000");
    EXPECT_EQ(v.detail, std::string(updater::checkFailed) +
                            "The server answered with status 404. Check your connection and try again.");
    EXPECT_EQ(v.installButton, "Install Update");
    http.set("/pkg", 200, good);  // Install fetches the package again, and opens it once it checks out
    pane.install();
    time.drain();
    EXPECT_EQ(opened, Strings{(tmp / "cache" / "pkg").string()});
    EXPECT_EQ(updater->state(), UpdateState::available("1.2"));
}

TEST(Utf8RepairTest, InvalidSequencesBecomeOneReplacementEach) {
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(repairUtf8("é€😀 ok"), "é€😀 ok");
    EXPECT_EQ(repairUtf8("\xC0\xAF"), r + r);                  // overlong
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), r + r + r);          // a surrogate
    EXPECT_EQ(repairUtf8("a\xF0\x9F\x98"), "a" + r);           // cut short
    EXPECT_EQ(repairUtf8("\xF4\x90\x80\x80"), r + r + r + r);  // past U+10FFFF
}

}  // namespace
}  // namespace tarvela::testing

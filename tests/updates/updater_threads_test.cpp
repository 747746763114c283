// The update check on its real thread: results come back through the main
// loop's post, and an updater that goes away ends a transfer under way.
#include <gtest/gtest.h>

#include <chrono>

#include "core/manual_time.h"
#include "tests/updates/loopback_http.h"
#include "tests/updates/update_support.h"
#include "updates/updater.h"

namespace tarvela::testing {
namespace {

class UpdaterThreadsTest : public ::testing::Test {
protected:
    ManualTime time;
    MemoryDefaults defaults;
    Prefs prefs{defaults};
    LoopbackHttp http;

    std::unique_ptr<Updater> make(double timeout) {
        UpdateConfig c;
        c.feedUrl = http.url("/feed");
        c.timeout = timeout;
        // No queue factory: the updater's own thread.
        return std::make_unique<Updater>(UpdaterDeps{time.loop(), prefs, "1.0.0", c, {}, {}});
    }
};

TEST_F(UpdaterThreadsTest, TheResultArrivesOnTheMainLoop) {
    http.set("/feed", 200, appcast({{"1.2"}, {"1.10"}}));
    auto u = make(10);
    u->check(false);
    EXPECT_EQ(u->state(), UpdateState::checking());
    ASSERT_TRUE(time.loop().waitForPost(10));
    EXPECT_EQ(u->state(), UpdateState::checking());  // nothing changes off the main loop
    time.drain();
    EXPECT_EQ(u->state(), UpdateState::available("1.10"));
}

TEST_F(UpdaterThreadsTest, GoingAwayEndsATransferUnderWay) {
    http.set("/feed", LoopbackHttp::Response{200, "", false, true});
    auto u = make(60);
    u->check(false);
    ASSERT_TRUE(http.waitForHits("/feed", 1, 10));  // asked; the server never answers
    const auto start = std::chrono::steady_clock::now();
    u.reset();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    time.drain();  // what the transfer posted finds no updater
}

}  // namespace
}  // namespace tarvela::testing

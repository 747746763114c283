// One Tarvela per user and display: the lock, the wake-up socket, and what a
// second start sees. Real files and sockets in a temporary folder; waits run
// the poll loop, never sleep.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/poll_runloop.h"
#include "ipc/single_instance.h"
#include "tests/support/test_helpers.h"

namespace tarvela::testing {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tarvela-single-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path dir;
    PollRunLoop loop;
};

TEST_F(SingleInstanceTest, ASecondStartIsRefusedAndWakesTheFirst) {
    const std::string name = SingleInstance::nameFor(":7");
    auto first = SingleInstance::acquire(dir, name, 0);
    ASSERT_TRUE(first);
    int activations = 0;
    first->listen(loop, [&] { ++activations; });

    EXPECT_FALSE(SingleInstance::acquire(dir, name, 0));
    EXPECT_TRUE(loop.runUntil([&] { return activations == 1; }, 5));
    // With a short wait the answer is the same, and each start asks once.
    EXPECT_FALSE(SingleInstance::acquire(dir, name, 2, 0.01));
    EXPECT_TRUE(loop.runUntil([&] { return activations == 2; }, 5));
    loop.runOnce(0.05);
    EXPECT_EQ(activations, 2);
}

TEST_F(SingleInstanceTest, AStartThatReplacesAsksTheFirstToMakeWayAndTakesOverOnceItHas) {
    const std::string name = SingleInstance::nameFor(":5");
    auto first = SingleInstance::acquire(dir, name, 0);
    ASSERT_TRUE(first);
    int activations = 0, replaced = 0;
    first->listen(loop, [&] { ++activations; });
    first->onReplace([&] { ++replaced; });

    EXPECT_FALSE(SingleInstance::acquire(dir, name, 0, 0, true));
    EXPECT_TRUE(loop.runUntil([&] { return replaced == 1; }, 5));
    EXPECT_EQ(activations, 0);
    first.reset();  // it made way
    EXPECT_TRUE(SingleInstance::acquire(dir, name, 0, 0, true));
}

TEST_F(SingleInstanceTest, TheLockGoesWithTheInstanceAndLeftoversDoNotBlock) {
    const std::string name = SingleInstance::nameFor(":3");
    {
        auto first = SingleInstance::acquire(dir, name, 0);
        ASSERT_TRUE(first);
    }
    // A socket file left behind by a crashed instance, with nobody listening.
    const auto stale = dir / (name + ".sock");
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", stale.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);

    auto again = SingleInstance::acquire(dir, name, 0);
    ASSERT_TRUE(again);
    int activations = 0;
    again->listen(loop, [&] { ++activations; });
    EXPECT_FALSE(SingleInstance::acquire(dir, name, 0));
    EXPECT_TRUE(loop.runUntil([&] { return activations == 1; }, 5));
}

TEST_F(SingleInstanceTest, SilentPeersNeitherStallTheLoopNorCrowdOutASecondStart) {
    const std::string name = SingleInstance::nameFor(":9");
    auto first = SingleInstance::acquire(dir, name, 0);
    ASSERT_TRUE(first);
    int activations = 0;
    first->listen(loop, [&] { ++activations; });

    // Two hundred peers that connect and never say a word, all at once.
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", (dir / (name + ".sock")).c_str());
    std::vector<int> silent;
    for (int i = 0; i < 200; ++i) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) silent.push_back(fd);
        else ::close(fd);
    }
    EXPECT_GE(silent.size(), 100u);  // the listen queue holds far more than a handful

    // The loop keeps its timing: a timer due in 50 ms is not held up by them.
    const double armed = loop.now();
    double fired = 0;
    loop.after(0.05, [&] { fired = loop.now(); });
    ASSERT_TRUE(loop.runUntil([&] { return fired > 0; }, 30));
    EXPECT_LT(fired - armed, 0.5);
    EXPECT_LE(first->peers(), 16u);

    // A second start is heard while they are still connected.
    EXPECT_FALSE(SingleInstance::acquire(dir, name, 0));
    EXPECT_TRUE(loop.runUntil([&] { return activations == 1; }, 5));
    // Each silent one is let go after its deadline.
    EXPECT_TRUE(loop.runUntil([&] { return first->peers() == 0; }, 5));
    for (int fd : silent) ::close(fd);
    EXPECT_EQ(activations, 1);
}

TEST_F(SingleInstanceTest, EachDisplayHasItsOwnInstance) {
    EXPECT_NE(SingleInstance::nameFor(":1"), SingleInstance::nameFor(":2"));
    // A display name never escapes the folder.
    EXPECT_EQ(SingleInstance::nameFor("../x/:1").find('/'), std::string::npos);
    auto one = SingleInstance::acquire(dir, SingleInstance::nameFor(":1"), 0);
    auto two = SingleInstance::acquire(dir, SingleInstance::nameFor(":2"), 0);
    EXPECT_TRUE(one);
    EXPECT_TRUE(two);
}

// A lock that cannot be opened tells nothing about another instance.
TEST_F(SingleInstanceTest, ALockThatCannotBeOpenedSkipsTheCheck) {
    std::filesystem::create_directory(dir / "app.tarvela-x.lock");  // not even root opens it for writing
    testsupport::LogCapture logs;
    auto inst = SingleInstance::acquire(dir, "app.tarvela-x", 0);
    ASSERT_TRUE(inst && !inst->checked());
    ASSERT_EQ(logs.lines.size(), 1u);
    EXPECT_TRUE(logs.lines[0].ends_with(": Is a directory; starting without the check")) << logs.lines[0];
}

TEST_F(SingleInstanceTest, AMissingFolderIsCreated) {
    auto inst = SingleInstance::acquire(dir / "runtime" / "nested", "app.tarvela-test", 0);
    EXPECT_TRUE(inst);
    EXPECT_TRUE(std::filesystem::exists(dir / "runtime" / "nested" / "app.tarvela-test.lock"));
}

}  // namespace
}  // namespace tarvela::testing

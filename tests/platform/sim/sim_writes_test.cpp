#include <gtest/gtest.h>

#include <chrono>

#include "core/manual_time.h"
#include "core/window_access.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela {
namespace {

struct SimWrites : ::testing::Test {
    ManualTime time;
    SimDesktop sim{time.loop()};
    int32_t pid = sim.addApp({.name = "Editor"});
    AXElement a = sim.addWindow(pid, Rect(0, 0, 400, 300));
    AXElement b = sim.addWindow(pid, Rect(0, 0, 400, 300));
};

TEST_F(SimWrites, CountsEveryAttemptPerElementAndKind) {
    EXPECT_EQ(sim.totals(), WriteCounts{});
    sim.setAttribute(a, ax::Position, Point{1, 2});
    sim.setAttribute(a, ax::Position, Point{3, 4});
    sim.setAttribute(a, ax::SizeAttr, Size{500, 300});
    sim.setAttribute(b, ax::Main, true);
    sim.performAction(b, ax::Raise);
    sim.setEnhancedUI(pid, true);
    EnhancedUI eui(sim);
    eui.suspend({pid});
    // Reads, user actions and test set-up are not writes.
    frame(sim, a);
    sim.focusWindow(a);
    sim.dragWindow(b, {9, 9});
    sim.setMinimized(a, true);

    EXPECT_EQ(sim.writes(a), (WriteCounts{.position = 2, .size = 1}));
    EXPECT_EQ(sim.writes(b), (WriteCounts{.main = 1, .raise = 1}));
    EXPECT_EQ(sim.writes(AXElement::application(pid)), (WriteCounts{.enhancedUI = 1}));
    EXPECT_EQ(sim.totals().total(), 6);

    sim.closeWindow(a);
    EXPECT_FALSE(sim.setAttribute(a, ax::Position, Point{0, 0}));
    EXPECT_EQ(sim.writes(a).position, 3) << "a write to a closed window is still an attempt";

    sim.resetCounts();
    EXPECT_EQ(sim.totals(), WriteCounts{});
    EXPECT_EQ(sim.writes(b), WriteCounts{});
}

TEST_F(SimWrites, WriteLogRecordsValuesOutcomeAndThreadWhenEnabled) {
    sim.setAttribute(a, ax::Position, Point{1, 1});
    EXPECT_TRUE(sim.writeLog().empty()) << "off by default";
    sim.enableWriteLog(true);
    sim.setAttribute(a, ax::Position, Point{5, 6});
    sim.setConstraints(b, {.refuseResize = true});
    sim.setAttribute(b, ax::SizeAttr, Size{10, 10});
    sim.performAction(a, ax::Raise);
    auto log = sim.writeLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].el, a);
    EXPECT_EQ(log[0].kind, WriteKind::Position);
    EXPECT_EQ(log[0].value, AttrValue(Point{5, 6}));
    EXPECT_TRUE(log[0].applied);
    EXPECT_EQ(log[0].thread, std::this_thread::get_id());
    EXPECT_EQ(log[1].kind, WriteKind::Size);
    EXPECT_FALSE(log[1].applied);
    EXPECT_EQ(log[2].kind, WriteKind::Raise);
    EXPECT_FALSE(log[2].value);
    sim.resetCounts();
    EXPECT_TRUE(sim.writeLog().empty());
}

TEST_F(SimWrites, WriteCostIsReallySpentPerApplication) {
    using Clock = std::chrono::steady_clock;
    auto timeWrites = [&](AXElement el, int n) {
        const auto t0 = Clock::now();
        for (int i = 0; i < n; ++i) sim.setAttribute(el, ax::Position, Point{double(i), 0});
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    sim.setWriteCost(0.002);
    EXPECT_GE(timeWrites(a, 3), 0.006);
    const int32_t fast = sim.addApp();
    const AXElement f = sim.addWindow(fast, Rect());
    sim.setWriteCost(fast, 0);
    EXPECT_LT(timeWrites(f, 3), 0.006);
}

}  // namespace
}  // namespace tarvela

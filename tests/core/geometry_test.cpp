#include <gtest/gtest.h>

#include "core/enums.h"
#include "core/manual_time.h"
#include "core/window_access.h"

using namespace tarvela;

namespace {
Screen screenAt(Rect frame) {
    Screen s;
    s.frame = frame;
    s.visibleFrame = frame;
    return s;
}
}  // namespace

TEST(Coordinates, FlipUsesTheFirstDisplayWhateverDisplayTheRectIsOn) {
    std::vector<Screen> screens{screenAt({0, 0, 1920, 1080}), screenAt({1920, 200, 1280, 800})};
    // The second display's frame, flipped about the first display's height.
    Rect r = axRect(screens, screens[1].frame);
    EXPECT_EQ(r, Rect(1920, 1080 - 1000, 1280, 800));
    EXPECT_EQ(axRect(screens, r), screens[1].frame);  // its own inverse
    EXPECT_EQ(axRect({}, Rect(10, 20, 30, 40)), Rect(10, -60, 30, 40));
}

TEST(Coordinates, ScreenIndexByMidpointWithInclusiveMinimumEdges) {
    std::vector<Screen> screens{screenAt({0, 0, 1000, 800}), screenAt({1000, 0, 1000, 800})};
    EXPECT_EQ(screenIndex(screens, std::nullopt), 0);
    EXPECT_EQ(screenIndex(screens, Rect(1200, 100, 300, 300)), 1);
    // Centred exactly on the shared edge: the right-hand display owns its minimum edge.
    EXPECT_EQ(screenIndex(screens, Rect(900, 100, 200, 200)), 1);
    // Outside every display: 0. No display at all: 0.
    EXPECT_EQ(screenIndex(screens, Rect(5000, 100, 200, 200)), 0);
    EXPECT_EQ(screenIndex({}, Rect(0, 0, 10, 10)), 0);
}

TEST(Enumerations, RawValuesRoundTripAndUnknownOnesAreRejected) {
    for (Layout l : allLayouts) EXPECT_EQ(layoutFromRaw(rawValue(l)), l);
    for (Align a : allAligns) EXPECT_EQ(alignFromRaw(rawValue(a)), a);
    EXPECT_EQ(layoutFromRaw("grid32"), Layout::grid32);
    EXPECT_EQ(alignFromRaw("auto"), Align::autoAlign);
    EXPECT_FALSE(layoutFromRaw("grid33"));
    EXPECT_FALSE(alignFromRaw("Center"));
    EXPECT_EQ(rawValue(Behavior::floatWin), 1);
    EXPECT_FALSE(behaviorFromRaw(3));
    EXPECT_FALSE(behaviorFromRaw(-1));
}

TEST(ManualTime, TimersAndQueueTicksRunInTimeOrder) {
    ManualTime t;
    std::vector<std::string> seen;
    auto q = t.makeQueue();
    t.loop().after(0.010, [&] { seen.push_back("main@10"); });
    std::shared_ptr<SerialQueue::Timer> timer;
    int ticks = 0;
    q->async([&] {
        timer = q->startTimer(0.008, 0.001, [&] {
            seen.push_back("tick" + std::to_string(ticks));
            if (++ticks == 3) timer->cancel();
        });
    });
    t.advance(0.020);
    std::vector<std::string> want{"tick0", "tick1", "main@10", "tick2"};
    EXPECT_EQ(seen, want);
    t.advance(1);
    EXPECT_EQ(ticks, 3);
}

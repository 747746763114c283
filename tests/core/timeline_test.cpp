// A fade, a toast's slide and the strip's scroll all read one timeline.
#include <gtest/gtest.h>

#include "core/timeline.h"

namespace tarvela::testing {
namespace {

TEST(Timeline, ValueAtEachMomentForEachEasing) {
    // From 10 to 30 over 2 s, starting at 100 s on the clock.
    const auto at = [](Easing e, double now) { return Timeline{10, 30, 100, 2, e}.at(now); };
    const struct {
        Easing easing;
        double now, value;
        bool running;
    } cases[] = {
        {Easing::linear, 99, 10, true},  // read before it set off: still at the start
        {Easing::linear, 100, 10, true},
        {Easing::linear, 101, 20, true},
        {Easing::outCubic, 101, 10 + 20 * 0.875, true},  // most of the way at half time
        {Easing::inCubic, 101, 10 + 20 * 0.125, true},
        {Easing::outCubic, 102 - 1e-12, 30, false},  // a step that lands a hair short is the end
        {Easing::inCubic, 103, 30, false},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(at(c.easing, c.now), c.value) << "easing " << int(c.easing) << " at " << c.now;
        EXPECT_EQ(Timeline({10, 30, 100, 2, c.easing}).running(c.now), c.running) << c.now;
    }
    const Timeline instant{5, 7, 100, 0};  // no duration: there at once
    EXPECT_EQ(instant.at(100), 7);
    EXPECT_FALSE(instant.running(100));
    // The end is exactly `to`, not from + (to - from) * 1 in floating point.
    EXPECT_EQ((Timeline{10.1, 30.7, 0, 0.32, Easing::outCubic}.at(0.32)), 30.7);
}

}  // namespace
}  // namespace tarvela::testing

// Contact frames arrive on the trackpad framework's own thread while the main
// thread replaces the swipe callback (gestures restarting): no race, no lost
// or doubled swipe.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "input/sim_gesture_sources.h"
#include "input/touches.h"

namespace tarvela {
namespace {

TEST(TouchesThreads, FramesOnTheirThreadWhileTheCallbackIsReplaced) {
    SimGestureSources sources;
    Touches touches(sources);
    std::atomic<int> swipes{0};
    touches.start([&](int) { swipes.fetch_add(1); });
    constexpr int touchesCount = 300;
    std::thread frames([&] {
        for (int t = 0; t < touchesCount; ++t) {
            for (float x = 0.8f; x > 0.3f; x -= 0.05f) sources.frame(0, {{x, 0}, {x, 0}, {x, 0}});
            sources.frame(0, {});
        }
    });
    for (int i = 0; i < 2000; ++i) touches.start([&](int) { swipes.fetch_add(1); });
    frames.join();
    EXPECT_EQ(swipes.load(), touchesCount);
    EXPECT_EQ(sources.contactStarts(), 1);
}

}  // namespace
}  // namespace tarvela

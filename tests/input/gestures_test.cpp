// Option-scroll, pinch and three-finger swipes against a real manager and its
// strips on the simulated desktop, with a manual clock.
#include <cmath>

#include "core/strip_geometry.h"
#include "input/gestures.h"
#include "input/sim_gesture_sources.h"
#include "input/swipe_frames.h"
#include "settings/key_codes.h"
#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;

namespace {

ScrollEvent wheel(double lines, uint64_t flags = eventflags::option) {
    ScrollEvent e;
    e.deltaY = lines;
    e.precise = false;
    e.modifierFlags = flags;
    return e;
}

ScrollEvent fingers(double dx, double dy, uint64_t flags = eventflags::option) {
    ScrollEvent e;
    e.deltaX = dx;
    e.deltaY = dy;
    e.precise = true;
    e.modifierFlags = flags;
    return e;
}

std::vector<Contact> three(float x) { return {{x - 0.05f, 0.4f}, {x, 0.5f}, {x + 0.05f, 0.45f}}; }

class GesturesTest : public ManagerTest {
protected:
    SimGestureSources sources;
    std::unique_ptr<Touches> touches;
    std::unique_ptr<Gestures> gestures;
    std::vector<AXElement> wins;

    void SetUp() override {
        ManagerTest::SetUp();
        touches = std::make_unique<Touches>(sources);
        gestures = std::make_unique<Gestures>(time.loop(), *prefs, *wm, sources, *touches);
    }
    void TearDown() override {
        gestures.reset();
        touches.reset();
        ManagerTest::TearDown();
    }

    // Five windows side by side on one display, far wider than it.
    void desktop(int count = 5) {
        display("Built-in Display");
        const int32_t pid = app("Safari");
        for (int i = 0; i < count; ++i) wins.push_back(window(pid, 100.0 + 300 * i));
        startAndSettle();
        ASSERT_EQ(strip(0)->cols.size(), static_cast<size_t>(count));
    }
    Strip& s() { return *strip(0); }
    int64_t raises() { return sim.totals().raise; }
    // The column whose centre is nearest the middle of the view.
    int nearestColumn() {
        const double m = s().offset + s().usableWidth() / 2;
        int best = 0;
        for (size_t i = 0; i < s().cw.size(); ++i) {
            double d = std::fabs(geom::columnLeft(s().cw, i) + s().cw[i] / 2 - m);
            double bd = std::fabs(geom::columnLeft(s().cw, static_cast<size_t>(best)) + s().cw[static_cast<size_t>(best)] / 2 - m);
            if (d < bd) best = static_cast<int>(i);
        }
        return best;
    }
    // A whole three-finger touch from `from` to `to`, in steps, then lifted.
    void swipe(float from, float to, int steps = 10) {
        for (int i = 0; i <= steps; ++i) sources.frame(0, three(from + (to - from) * static_cast<float>(i) / steps));
        sources.frame(0, {});
        time.drain();
    }
};

TEST_F(GesturesTest, ScrollReachesTheApplicationUnlessOptionHeldAndEverythingAllows) {
    desktop();
    gestures->start();
    ASSERT_EQ(sources.liveTaps(), 1);
    sim.resetCounts();
    const double before = s().offset;

    EXPECT_FALSE(sources.scroll(wheel(1, 0)));                      // no modifier
    EXPECT_FALSE(sources.scroll(wheel(1, eventflags::control)));    // another modifier
    prefs->optionScroll.set(false);
    EXPECT_FALSE(sources.scroll(wheel(1)));
    prefs->optionScroll.set(true);
    wm->paused.set(true);
    EXPECT_FALSE(sources.scroll(wheel(1)));
    wm->paused.set(false);
    wm->stop(false);
    EXPECT_FALSE(sources.scroll(wheel(1)));
    EXPECT_EQ(sim.totals(), WriteCounts{});
    EXPECT_FALSE(gestures->settlePending());

    wm->start();
    settle();
    EXPECT_TRUE(sources.scroll(wheel(1)));
    EXPECT_NE(strip(0)->offset, before);
}

TEST_F(GesturesTest, NotchesMoveTwelvePointsPerLineTimesTheSpeed) {
    desktop();
    gestures->start();
    struct Case {
        int speed;
        double factor;
    };
    for (Case c : {Case{0, 0.6}, Case{1, 1.0}, Case{2, 1.7}, Case{9, 1.7}, Case{-4, 0.6}}) {
        prefs->scrollSpeed.set(c.speed);
        const double before = s().offset;
        ASSERT_TRUE(sources.scroll(wheel(2)));
        EXPECT_NEAR(s().offset - before, 2 * 12 * c.factor, 1e-9) << "speed " << c.speed;
        // Trackpad deltas are points already.
        const double mid = s().offset;
        ASSERT_TRUE(sources.scroll(fingers(0, 10)));
        EXPECT_NEAR(s().offset - mid, 10 * c.factor, 1e-9) << "speed " << c.speed;
    }
    // The larger axis wins; a tie takes the vertical one.
    prefs->scrollSpeed.set(1);
    double o = s().offset;
    sources.scroll(fingers(-7, 5));
    EXPECT_NEAR(s().offset - o, -7, 1e-9);
    o = s().offset;
    sources.scroll(fingers(-6, 6));
    EXPECT_NEAR(s().offset - o, 6, 1e-9);
}

TEST_F(GesturesTest, DirectionFollowsNaturalAndTheDevicesInversion) {
    desktop();
    gestures->start();
    sources.scroll(fingers(0, 200));  // away from the left end, so both directions show
    auto moved = [&](bool natural, bool inverted) {
        prefs->natural.set(natural);
        ScrollEvent e = fingers(0, 30);
        e.invertedFromDevice = inverted;
        const double before = s().offset;
        sources.scroll(e);
        return s().offset - before;
    };
    EXPECT_NEAR(moved(true, false), 30, 1e-9);
    EXPECT_NEAR(moved(false, false), -30, 1e-9);
    EXPECT_NEAR(moved(true, true), -30, 1e-9);
    EXPECT_NEAR(moved(false, true), 30, 1e-9);
}

TEST_F(GesturesTest, ABurstSettlesOnceOnTheNearestColumnAQuarterSecondAfterTheLastEvent) {
    desktop();
    gestures->start();
    const int64_t raisesBefore = raises();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(sources.scroll(wheel(3)));
        time.advance(0.1);
    }
    const double rest = s().offset;
    const int expected = nearestColumn();
    time.advance(0.149);  // 0.249 s after the last event
    EXPECT_EQ(raises(), raisesBefore);
    EXPECT_TRUE(gestures->settlePending());
    EXPECT_EQ(s().offset, rest);
    time.advance(0.002);
    EXPECT_EQ(raises(), raisesBefore + 1);
    EXPECT_FALSE(gestures->settlePending());
    settle();
    EXPECT_EQ(s().focusC, expected);
    EXPECT_FALSE(s().animating);
    EXPECT_EQ(raises(), raisesBefore + 1);
    EXPECT_EQ(s().checkInvariants(), "");
}

TEST_F(GesturesTest, PendingSettleOnAStripThatStoppedDoesNothing) {
    desktop();
    gestures->start();
    sources.scroll(wheel(5));
    wm->stop(false);
    sim.resetCounts();
    settle();
    EXPECT_EQ(sim.totals(), WriteCounts{});
    // And a gone Gestures leaves no timer behind that could fire into it.
    sources.scroll(wheel(5));  // no tap reacts: the manager is off
    wm->start();
    settle();
    sources.scroll(wheel(5));
    gestures.reset();
    settle();
    EXPECT_EQ(sources.liveTaps(), 0);
}

TEST_F(GesturesTest, PinchInOpensTheOverviewOnlyPastAQuarter) {
    desktop();
    gestures->start();
    auto pinch = [&](std::vector<double> steps, int endPhase = gesturephase::ended) {
        sources.magnify({gesturephase::began, steps.front()});
        for (size_t i = 1; i < steps.size(); ++i) sources.magnify({gesturephase::changed, steps[i]});
        sources.magnify({endPhase, 0});
    };
    prefs->pinch4.set(true);
    pinch({-0.05, -0.05, -0.1});  // -0.2
    EXPECT_EQ(feedback.shows, 0);
    EXPECT_EQ(gestures->pinchSum(), 0);
    pinch({-0.1, -0.1, -0.1});  // -0.3
    EXPECT_EQ(feedback.shows, 1);
    pinch({0.4, 0.3});  // out
    EXPECT_EQ(feedback.shows, 1);
    pinch({-0.2, -0.2}, gesturephase::cancelled);  // a cancelled pinch still counts
    EXPECT_EQ(feedback.shows, 2);

    // A pinch that never ended leaves a sum behind; the next one starts afresh.
    sources.magnify({gesturephase::began, -0.2});
    sources.magnify({gesturephase::began, -0.1});
    sources.magnify({gesturephase::ended, 0});
    EXPECT_EQ(feedback.shows, 2);

    prefs->pinch4.set(false);
    pinch({-0.5, -0.5});
    wm->paused.set(true);
    prefs->pinch4.set(true);
    pinch({-0.5, -0.5});
    EXPECT_EQ(feedback.shows, 2);
}

TEST_F(GesturesTest, ThreeFingerTouchesSwipeOncePerTouchPastTwelvePercent) {
    desktop();
    gestures->start();
    wm->perform(Action::jump, 3);
    settle();
    ASSERT_EQ(s().focusC, 2);

    swipe(0.5f, 0.4f);  // 10 %
    EXPECT_EQ(s().focusC, 2);
    swipe(0.5f, 0.35f);  // 15 % to the left: next column
    settle();
    EXPECT_EQ(s().focusC, 3);
    swipe(0.8f, 0.2f);  // 60 %, still one column
    settle();
    EXPECT_EQ(s().focusC, 4);
    swipe(0.2f, 0.8f);  // to the right: previous
    settle();
    EXPECT_EQ(s().focusC, 3);

    // Lifting a finger mid-drag ends the touch; putting it back starts a new one.
    for (float x : {0.5f, 0.42f}) sources.frame(0, three(x));
    sources.frame(0, {{0.4f, 0.5f}, {0.45f, 0.5f}});
    EXPECT_FALSE(touches->startX());
    for (float x : {0.42f, 0.36f, 0.33f}) sources.frame(0, three(x));  // 9 % from the new start
    time.drain();
    EXPECT_EQ(s().focusC, 3);
    // A null frame ends it just as well, and four fingers are not three.
    sources.frameNull(0);
    EXPECT_FALSE(touches->startX());
    EXPECT_FALSE(touches->fired());
    for (float x : {0.6f, 0.2f}) sources.frame(0, {{x, 0}, {x, 0}, {x, 0}, {x, 0}});
    time.drain();
    EXPECT_EQ(s().focusC, 3);
}

TEST_F(GesturesTest, SwipesStopAtTheEndsFlipWithoutNaturalAndObeyTheirGates) {
    desktop(4);
    gestures->start();
    wm->perform(Action::jump, 4);
    settle();
    ASSERT_EQ(s().focusC, 3);  // the last column
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 3);

    prefs->natural.set(false);
    swipe(0.6f, 0.3f);  // fingers left: previous column now
    settle();
    EXPECT_EQ(s().focusC, 2);
    wm->perform(Action::jump, 1);
    settle();
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 0);
    prefs->natural.set(true);

    prefs->swipe3.set(false);
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 0);
    prefs->swipe3.set(true);
    wm->paused.set(true);
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 0);
    wm->paused.set(false);
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 1);
}

// A three-finger swipe as a trackpad reports it: fingers land one after
// another, wobble, drift vertically, accelerate leftwards, and lift one by one.
struct RecordedFrame {
    std::vector<Contact> contacts;
};
const std::vector<RecordedFrame> recordedLeftSwipe = {
    {{{0.612f, 0.48f}}},
    {{{0.612f, 0.48f}, {0.671f, 0.52f}}},
    {{{0.611f, 0.48f}, {0.671f, 0.52f}, {0.553f, 0.55f}}},
    {{{0.611f, 0.48f}, {0.670f, 0.52f}, {0.553f, 0.55f}}},
    {{{0.609f, 0.481f}, {0.668f, 0.521f}, {0.552f, 0.552f}}},
    {{{0.603f, 0.482f}, {0.661f, 0.523f}, {0.546f, 0.553f}}},
    {{{0.591f, 0.484f}, {0.650f, 0.524f}, {0.533f, 0.555f}}},
    {{{0.574f, 0.487f}, {0.634f, 0.527f}, {0.517f, 0.557f}}},
    {{{0.551f, 0.489f}, {0.612f, 0.530f}, {0.493f, 0.561f}}},
    {{{0.524f, 0.492f}, {0.585f, 0.533f}, {0.466f, 0.564f}}},
    {{{0.496f, 0.494f}, {0.556f, 0.536f}, {0.437f, 0.566f}}},  // 11.5 %
    {{{0.468f, 0.497f}, {0.529f, 0.538f}, {0.409f, 0.569f}}},  // 14.3 %: recognised
    {{{0.443f, 0.499f}, {0.503f, 0.540f}, {0.384f, 0.571f}}},
    {{{0.421f, 0.500f}, {0.482f, 0.541f}, {0.362f, 0.572f}}},
    {{{0.405f, 0.501f}, {0.466f, 0.542f}, {0.347f, 0.573f}}},
    {{{0.396f, 0.501f}, {0.457f, 0.542f}}},
    {{{0.457f, 0.542f}}},
    {{}},
};

TEST_F(GesturesTest, RecordedThreeFingerSwipeMovesOneColumn) {
    desktop();
    gestures->start();
    wm->perform(Action::jump, 2);
    settle();
    int fires = 0;
    for (size_t i = 0; i < recordedLeftSwipe.size(); ++i) {
        sources.frame(0, recordedLeftSwipe[i].contacts);
        if (touches->fired() && fires == 0) {
            fires = 1;
            EXPECT_EQ(i, 11u) << "recognised at the wrong frame";
        }
    }
    time.drain();
    settle();
    EXPECT_EQ(s().focusC, 2);
    EXPECT_FALSE(touches->startX());
    // Replayed mirrored (a rightward swipe), it goes back.
    for (auto f : recordedLeftSwipe) {
        for (auto& c : f.contacts) c.x = 1 - c.x;
        sources.frame(0, f.contacts);
    }
    time.drain();
    settle();
    EXPECT_EQ(s().focusC, 1);
}

TEST_F(GesturesTest, PlatformSwipesBecomeFramesWithTheSameRules) {
    desktop();
    gestures->start();
    wm->perform(Action::jump, 2);
    settle();
    std::vector<int> swipes;
    Touches t(sources);
    t.start([&](int d) { swipes.push_back(d); });
    SwipeFrames frames([&](int32_t dev, const Contact* c, int32_t n, double ts, int32_t f) {
        return t.frame(dev, c, n, ts, f);
    });
    const double w = SwipeFrames::padWidth;
    frames.begin(3, -0.02 * w);
    for (int i = 0; i < 4; ++i) frames.update(-0.02 * w);  // 10 % in all
    EXPECT_TRUE(swipes.empty());
    frames.update(-0.03 * w);  // 13 %
    frames.update(-0.5 * w);
    EXPECT_EQ(swipes, std::vector<int>{1});
    frames.end();
    frames.begin(3, 0);
    frames.update(0.2 * w);
    EXPECT_EQ(swipes, (std::vector<int>{1, -1}));
    frames.end();
    frames.begin(4, 0);  // four fingers are another gesture
    frames.update(0.3 * w);
    frames.end();
    frames.update(0.3 * w);  // after the end: nothing
    EXPECT_EQ(swipes.size(), 2u);
}

TEST_F(GesturesTest, StartingAgainReplacesTapAndMonitorAndKeepsOneSwipeRegistration) {
    sources.trackpads = 2;
    desktop();
    gestures->start();
    gestures->start();
    gestures->start();
    EXPECT_EQ(sources.liveTaps(), 1);
    EXPECT_EQ(sources.liveMagnifyMonitors(), 1);
    EXPECT_EQ(sources.contactStarts(), 1);
    EXPECT_EQ(sources.registrations(0), 1);
    EXPECT_EQ(sources.registrations(1), 1);
    EXPECT_EQ(countLogged("[Tarvela] gestures: listening to 2 trackpad(s)"), 1);
    // One swipe, one column: the swipe handler is not doubled either.
    wm->perform(Action::jump, 1);
    settle();
    swipe(0.6f, 0.3f);
    settle();
    EXPECT_EQ(s().focusC, 1);

    gestures->stop();
    EXPECT_EQ(sources.liveTaps(), 0);
    EXPECT_EQ(sources.liveMagnifyMonitors(), 0);
    swipe(0.6f, 0.3f);  // the swipe source is not stopped
    settle();
    EXPECT_EQ(s().focusC, 2);
}

TEST_F(GesturesTest, MissingSourcesAreLoggedAndTheOthersStillWork) {
    desktop();
    sources.tapAllowed = false;
    sources.trackpads.reset();
    prefs->pinch4.set(true);
    gestures->start();
    EXPECT_TRUE(logged("[Tarvela] gestures: event tap unavailable (needs Accessibility)"));
    EXPECT_TRUE(logged("[Tarvela] gestures: three-finger swipe unavailable on this Mac"));
    EXPECT_FALSE(gestures->tapInstalled());
    EXPECT_FALSE(sources.scroll(wheel(1)));  // reaches the application
    sources.magnify({gesturephase::began, -0.4});
    sources.magnify({gesturephase::ended, 0});
    EXPECT_EQ(feedback.shows, 1);

    // The next start tries the missing ones again.
    sources.tapAllowed = true;
    sources.trackpads = 1;
    gestures->start();
    EXPECT_TRUE(gestures->tapInstalled());
    EXPECT_TRUE(touches->started());
    EXPECT_EQ(sources.contactStarts(), 2);
    EXPECT_TRUE(logged("[Tarvela] gestures: listening to 1 trackpad(s)"));
    EXPECT_TRUE(sources.scroll(wheel(1)));
}

TEST_F(GesturesTest, GainingThePermissionAfterLaunchStartsGesturesAgain) {
    display("Built-in Display");
    window(app("Safari"), 100);
    window(app("Mail"), 700);
    sim.setTrusted(false);
    wm = makeManager();
    gestures = std::make_unique<Gestures>(time.loop(), *prefs, *wm, sources, *touches);
    // As on a platform whose tap needs the permission.
    sources.tapAllowed = false;
    gestures->start();
    Connection restart = gestures->restartWhenTrusted(*wm);
    wm->start();
    wm->startWatchingPermission();
    settle(2);
    EXPECT_FALSE(gestures->tapInstalled());
    EXPECT_FALSE(wm->on());

    sim.setTrusted(true);
    sources.tapAllowed = true;
    settle(2);  // the permission poll notices, the manager starts, gestures restart
    ASSERT_TRUE(wm->trusted());
    ASSERT_TRUE(wm->on());
    EXPECT_TRUE(gestures->tapInstalled());
    EXPECT_EQ(countLogged("[Tarvela] gestures: event tap unavailable (needs Accessibility)"), 1);
    EXPECT_TRUE(sources.scroll(wheel(1)));

    // Re-assigning the same permission (every manager start does) is no change.
    const int taps = sources.liveTaps();
    sources.tapAllowed = false;
    wm->start();
    settle();
    EXPECT_TRUE(gestures->tapInstalled());
    EXPECT_EQ(sources.liveTaps(), taps);

    // Lost and regained: started again.
    sim.setTrusted(false);
    settle(2);
    sim.setTrusted(true);
    settle(2);
    EXPECT_FALSE(gestures->tapInstalled());  // this time the source refused
    EXPECT_EQ(countLogged("[Tarvela] gestures: event tap unavailable (needs Accessibility)"), 2);
}

}  // namespace

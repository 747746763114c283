#include "tests/core/strip_fixture.h"

using namespace tarvela;
using tarvela::testing::StripTest;

namespace {
// Five columns of 480 points: column 2 starts at 1000, T - U = 1480.
constexpr double kFrac = 500.0 / 1020;
}  // namespace

class SlideTest : public StripTest {
protected:
    void SetUp() override {
        StripTest::SetUp();
        auto cols = columns({kFrac, kFrac, kFrac, kFrac, kFrac});
        sim.focusWindow(cols[0].items[0].el);
        strip->setAlign(Align::left);
        strip->start(cols, Layout::strip);
        ASSERT_EQ(strip->offset, 0);
        ASSERT_EQ(strip->cw[0], 480);
        logLines.clear();
        activity = settled = 0;
    }
};

TEST_F(SlideTest, EasedSlideReachesItsTargetInFortyOneFrames) {
    sim.resetCounts();
    strip->raise(2, 0);
    EXPECT_TRUE(strip->scrolling);
    EXPECT_EQ(strip->offset, 0);  // unchanged until the slide ends
    time.advance(0.16);
    EXPECT_NEAR(strip->liveOffset(), 875, 1e-6);  // p = 0.5: 1 - 0.125
    time.advance(0.165);
    EXPECT_NEAR(strip->liveOffset(), 1000, 1e-9);
    EXPECT_FALSE(strip->animating);
    EXPECT_FALSE(strip->scrolling);
    EXPECT_EQ(strip->offset, 1000);
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0], "[Tarvela] scroll: 41 frames / 0.32s = 128 fps (5 windows)");
    EXPECT_EQ(settled, 1);
    expectAtRest();
    // Only positions are written during a slide.
    EXPECT_EQ(sim.totals().size, 0);
    // At rest, placing again writes nothing.
    sim.resetCounts();
    strip->reseat(AXElement::window(123456));
    strip->scrollBy(0);
    EXPECT_EQ(sim.totals().position, 0);
}

TEST_F(SlideTest, OffScreenWindowsMoveOnceOnTheLastTick) {
    // Add columns far to the right that stay off screen throughout a short slide.
    for (int i = 0; i < 3; ++i) strip->add(window());
    strip->setAlign(Align::left);
    strip->raise(0, 0);
    finishSlide();
    sim.resetCounts();
    strip->raise(1, 0);  // 0 -> 500: columns 5.. start beyond 2400 - 500 + 40 > 1081
    finishSlide();
    const AXElement farRight = strip->cols.back().items[0].el;
    EXPECT_EQ(sim.writes(farRight).position, 1);
    // Visible windows move on every tick until the last steps shrink under half a point.
    EXPECT_GT(sim.writes(strip->cols[1].items[0].el).position, 30);
    expectAtRest();
}

TEST_F(SlideTest, ANewTargetRestartsFromTheLivePositionAndTheOldFinishIsIgnored) {
    strip->raise(2, 0);  // to 1000
    time.advance(0.16);
    const double mid = strip->liveOffset();
    strip->raise(1, 0);  // to 500, from where the view is now
    EXPECT_EQ(strip->animTarget, 500);
    time.advance(0.008);
    const double after = strip->liveOffset();
    EXPECT_LT(after, mid);
    EXPECT_GT(after, 500);
    time.advance(0.3);  // the first slide's end time passes: nothing lands yet
    EXPECT_TRUE(strip->animating);
    time.advance(0.05);
    EXPECT_FALSE(strip->animating);
    EXPECT_EQ(strip->offset, 500);
    EXPECT_EQ(logLines.size(), 1u);
    expectAtRest();
}

TEST_F(SlideTest, MovingToTheCurrentTargetOnlyRefocuses) {
    strip->raise(2, 0);
    time.advance(0.05);
    const int before = activity;
    strip->focusChanged(strip->cols[2].items[0].el);  // same column, animation running: nothing
    strip->setAlign(Align::left);                    // same target: just focus and activity
    EXPECT_EQ(activity, before + 1);
    EXPECT_TRUE(strip->animating);
    finishSlide();
    EXPECT_EQ(logLines.size(), 1u);
}

TEST_F(SlideTest, MoveWithinHalfAPointDoesNotAnimate) {
    sim.resetCounts();
    strip->setAlign(Align::left);  // already at column 0's target
    EXPECT_FALSE(strip->animating);
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(sim.totals().position, 0);
    EXPECT_TRUE(logLines.empty());
}

TEST_F(SlideTest, EnhancedInterfaceIsOffDuringTheSlideOnly) {
    const int32_t other = sim.addApp(AppSpec{std::nullopt, std::string("Other"), std::nullopt, nullptr,
                                             ActivationPolicy::Regular});
    sim.setEnhancedUI(pid, true);
    sim.setEnhancedUI(other, false);
    strip->add(window({}, other));
    finishSlide();
    strip->raise(0, 0);
    EXPECT_EQ(sim.enhancedUI(pid), false);
    EXPECT_EQ(strip->eui.saved(), (std::set<int32_t>{pid}));  // the one already off is not recorded
    finishSlide();
    EXPECT_EQ(sim.enhancedUI(pid), true);
    EXPECT_EQ(sim.enhancedUI(other), false);
    EXPECT_TRUE(strip->eui.saved().empty());
    // A resize in the middle of a slide cancels it and switches the mode back.
    strip->raise(2, 0);
    time.advance(0.1);
    strip->setWidth(0.5);
    EXPECT_FALSE(strip->animating);
    EXPECT_EQ(sim.enhancedUI(pid), true);
    time.advance(1);
    EXPECT_TRUE(logLines.size() == 1u);  // the cancelled slide never finishes
    expectAtRest();
}

TEST_F(SlideTest, WindowsThatCloseMidSlideAreSkippedAtTheEnd) {
    const AXElement closing = strip->cols[1].items[0].el;
    strip->raise(2, 0);
    time.advance(0.1);
    sim.closeWindow(closing);
    strip->remove(closing);  // the manager's prune would do this; it cancels the slide
    EXPECT_FALSE(strip->animating);
    strip->raise(3, 0);
    finishSlide();
    EXPECT_FALSE(strip->find(closing));
    expectAtRest();
}

TEST_F(SlideTest, AStripReleasedMidSlideStopsItsTimer) {
    strip->raise(2, 0);
    time.advance(0.1);
    std::weak_ptr<Strip> weak = strip;
    strip.reset();
    EXPECT_TRUE(weak.expired());
    sim.resetCounts();
    time.advance(1);
    EXPECT_EQ(sim.totals().total(), 0);
}

TEST_F(SlideTest, ScrollByClampsAndLeavesTheFocus) {
    strip->scrollBy(20);
    EXPECT_EQ(strip->offset, 20);
    strip->scrollBy(-50);
    EXPECT_EQ(strip->offset, 0);
    strip->scrollBy(5000);
    EXPECT_EQ(strip->offset, 1480);
    EXPECT_EQ(strip->focusC, 0);
    EXPECT_EQ(activity, 3);
    EXPECT_EQ(strip->liveOffset(), 1480);
    expectAtRest();
    // A row that fits does not scroll by hand.
    strip->setColumns(columns({0.3}), Layout::strip);
    activity = 0;
    const double o = strip->offset;
    strip->scrollBy(100);
    EXPECT_EQ(strip->offset, o);
    EXPECT_EQ(activity, 0);
}

TEST_F(SlideTest, SettlePicksTheNearestColumnAndTheLeftOneOnATie) {
    // View middle at 250 + 500 = 750; column centres 240, 740, 1240: column 1.
    strip->scrollBy(250);
    strip->settle();
    EXPECT_EQ(strip->focusC, 1);
    finishSlide();
    // Middle exactly between column centres 740 and 1240 (990): the left one.
    strip->scrollBy(490 - strip->offset);
    ASSERT_EQ(strip->offset + 500, 990);
    strip->settle();
    EXPECT_EQ(strip->focusC, 1);
    finishSlide();
    expectAtRest();
}

TEST_F(SlideTest, ScrollingAndSettlingNeedARunningStripWithColumns) {
    auto idle = makeStrip();
    idle->scrollBy(100);
    idle->settle();
    EXPECT_EQ(idle->offset, 0);
    EXPECT_EQ(sim.totals().raise, 0);
}

TEST_F(SlideTest, ASlideStoppedPartWayLeavesNoWindowOutOfLine) {
    // Heading for 1000, stopped by a jump back to where the strip still rests.
    strip->raise(2, 0);
    time.advance(0.1);
    strip->raise(0, 0);
    EXPECT_FALSE(strip->animating);
    expectAtRest();
    // Stopped by free scrolling: the scroll places from where the slide really was.
    strip->raise(3, 0);
    time.advance(0.1);
    strip->scrollBy(0);
    expectAtRest();
    // Replaced by another slide, which then finishes.
    strip->raise(4, 0);
    time.advance(0.05);
    strip->raise(1, 0);
    finishSlide();
    expectAtRest();
}

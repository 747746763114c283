#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "feedback/toast.h"
#include "platform/sim/sim_desktop.h"
#include "tests/feedback/feedback_fixture.h"

using namespace tarvela;

namespace {

class ToastTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    tarvela::testing::FakeMetrics metrics;
    std::unique_ptr<Toast> toast;

    void SetUp() override {
        sim.addStandardDisplay("Built-in Display");  // primary, at the left
        sim.addStandardDisplay("DELL U2720Q");
        toast = std::make_unique<Toast>(ToastDeps{time.loop(), metrics, [this] { return sim.screens(); }});
    }
    static ToastModel model(const std::string& title, std::function<void()> onPrimary = nullptr) {
        return {title, "Smoother scrolling.", onPrimary ? std::optional<std::string>("Install") : std::nullopt,
                std::move(onPrimary), "Later"};
    }
    double x() const { return toast->panel() ? toast->panel()->frame.x : NAN; }
    // Where a card comes to rest on the primary display.
    static constexpr double restX = 1920 - 344 - 12;
    // How far along a slide is after `ticks` of its 120 Hz timer.
    static double eased(int ticks, double duration, bool easeIn) {
        const double p = ticks / 120.0 / duration;
        return easeIn ? p * p * p : 1 - (1 - p) * (1 - p) * (1 - p);
    }
};

}  // namespace

TEST_F(ToastTest, SlidesInAtTheTopRightOfThePrimaryDisplay) {
    toast->notice("Workspace restored", "2 windows could not be placed.");
    ASSERT_TRUE(toast->panel());
    const ToastPanel& p = *toast->panel();
    EXPECT_EQ(p.model.secondary, "OK");
    EXPECT_FALSE(p.model.primary);
    // 14 + title line 17 + 2 + one text line 16 + 2 + 8 + buttons 28 + 14
    EXPECT_EQ(p.frame.size(), (Size{344, 101}));
    EXPECT_EQ(p.frame.y, 1055 - 101 - 10);
    EXPECT_EQ(x(), 1920 + 8);

    time.advance(25.5 / 120);
    EXPECT_NEAR(x(), 1928 + (restX - 1928) * eased(25, toast::slideIn, false), 1e-6);
    EXPECT_TRUE(toast->sliding());
    time.advance(0.22);
    EXPECT_EQ(x(), restX);
    EXPECT_FALSE(toast->sliding());
    EXPECT_EQ(time.loop().pendingTimers(), 1u);  // the countdown only
    EXPECT_EQ(toast->panel()->frame.y, 1055 - 101 - 10);
}

TEST_F(ToastTest, HoverStopsTheCountdownAndLeavingRestartsAllOfIt) {
    toast->show(model("Notice"), 8);
    time.advance(5);
    toast->hover(true);
    time.advance(20);
    ASSERT_TRUE(toast->panel());
    toast->hover(false);
    time.advance(4);
    toast->hover(false);  // a leave without an enter restarts it as well
    time.advance(7.9);
    EXPECT_TRUE(toast->panel());
    time.advance(0.2);
    EXPECT_FALSE(toast->panel());
    EXPECT_TRUE(toast->leaving());
    time.advance(toast::slideOut);
    EXPECT_FALSE(toast->leaving());
    EXPECT_EQ(time.loop().pendingTimers(), 0u);
}

TEST_F(ToastTest, WithoutAutoHideOnlyAButtonOrASwipeOfMoreThan40PointsToTheRight) {
    int runs = 0;
    bool openWhileRunning = false;
    auto install = [&] {
        ++runs;
        openWhileRunning = toast->panel() != nullptr;
    };
    toast->show(model("Tarvela 1.1 is available", install), std::nullopt);
    time.advance(3600);
    ASSERT_TRUE(toast->panel());
    EXPECT_LT(toast->panel()->layout.primary->maxX(), toast->panel()->layout.secondary.minX());
    toast->dragEnded(40);
    toast->dragEnded(-120);
    EXPECT_TRUE(toast->panel());
    toast->dragEnded(41);
    EXPECT_FALSE(toast->panel());
    EXPECT_TRUE(toast->leaving());
    EXPECT_EQ(runs, 0);

    toast->show(model("Again"), std::nullopt);
    toast->secondaryPressed();
    EXPECT_FALSE(toast->panel());
    toast->show(model("Once more", install), std::nullopt);
    toast->primaryPressed();
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(openWhileRunning);  // the action first, then the toast goes
    EXPECT_FALSE(toast->panel());
}

TEST_F(ToastTest, ANewToastReplacesTheOldOneAtOnceWhateverItWasDoing) {
    toast->show(model("First"), 1);
    time.advance(0.1);
    toast->show(model("Second"), std::nullopt);  // the first was still sliding in
    EXPECT_EQ(toast->panel()->model.title, "Second");
    EXPECT_FALSE(toast->leaving());
    EXPECT_EQ(x(), 1928);
    time.advance(2);  // nothing of the first survives to close the second
    ASSERT_TRUE(toast->panel());
    EXPECT_EQ(time.loop().pendingTimers(), 0u);

    toast->close(true);
    time.advance(0.1);
    ASSERT_TRUE(toast->leaving());
    toast->show(model("Third"), std::nullopt);
    EXPECT_FALSE(toast->leaving());
    EXPECT_EQ(toast->panel()->model.title, "Third");
    time.advance(0.5);
    EXPECT_EQ(x(), restX);
    EXPECT_TRUE(toast->panel());
}

TEST_F(ToastTest, ASlideOutTakesOverFromWhereTheSlideInWas) {
    toast->show(model("Notice"), std::nullopt);
    time.advance(0.1);
    const double at = x();
    toast->dragEnded(100);
    ASSERT_TRUE(toast->leaving());
    EXPECT_EQ(time.loop().pendingTimers(), 1u);  // one slide at a time
    time.advance(21.5 / 120);
    EXPECT_NEAR(toast->leaving()->frame.x, at + (1928 - at) * eased(21, toast::slideOut, true), 1e-6);
    time.advance(toast::slideOut);
    EXPECT_FALSE(toast->leaving());
}

TEST_F(ToastTest, NoDisplayNoToastAndNoSlideOut) {
    toast->show(model("Notice"), 8);
    sim.setDisplays({});
    toast->close(true);  // nowhere to slide to: gone at once
    EXPECT_FALSE(toast->panel());
    EXPECT_FALSE(toast->leaving());
    toast->show(model("Dropped"), 8);
    EXPECT_FALSE(toast->panel());
    EXPECT_EQ(time.loop().pendingTimers(), 0u);

    sim.addStandardDisplay();
    toast->show(model("Notice"), 8);
    time.advance(1);
    toast.reset();  // a countdown and a slide pending
    time.advance(10);
}

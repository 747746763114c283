// Which displays get a dim overlay, how dark, and below which window.
#include <gtest/gtest.h>

#include "feedback/dim_overlay.h"
#include "manager/actions.h"
#include "tests/manager/manager_fixture.h"

namespace tarvela::testing {
namespace {

class DimTest : public ManagerTest {
protected:
    std::unique_ptr<DimOverlay> dim;
    void SetUp() override {
        ManagerTest::SetUp();
        dim = std::make_unique<DimOverlay>(*wm, *prefs, sim);
    }
    const OverlayPlan& plan(size_t i) { return dim->plans().at(i); }
    uint32_t number(const AXElement& el) { return *sim.windowNumber(el); }
};

TEST_F(DimTest, SettingsDecideDarknessAndBlurAndPauseOrdersEverythingOut) {
    display("Built-in Display");
    const int32_t pid = app("Notes");
    const AXElement a = window(pid, 100), b = window(pid, 800);
    startAndSettle();
    prefs->dimLevel.set(0);
    prefs->blur.set(false);
    dim->update();
    for (const OverlayPlan& p : dim->plans()) EXPECT_FALSE(p.shown);

    prefs->blur.set(true);
    dim->update();
    ASSERT_EQ(dim->plans().size(), 1u);
    EXPECT_TRUE(plan(0).shown);
    EXPECT_TRUE(plan(0).blur);
    EXPECT_EQ(plan(0).dimAlpha, 0);
    EXPECT_EQ(plan(0).frame, sim.screens()[0].visibleFrame);

    prefs->blur.set(false);
    for (auto [level, alpha] : std::vector<std::pair<int, double>>{{1, 0.18}, {2, 0.32}, {3, 0.5}, {9, 0.5}}) {
        prefs->dimLevel.set(level);
        dim->update();
        EXPECT_TRUE(plan(0).shown) << level;
        EXPECT_FALSE(plan(0).blur);
        EXPECT_DOUBLE_EQ(plan(0).dimAlpha, alpha) << level;
    }
    EXPECT_EQ(dim::alphaFor(-4), 0);

    wm->paused.set(true);
    dim->update();
    EXPECT_FALSE(plan(0).shown);
    wm->paused.set(false);
    dim->update();
    EXPECT_TRUE(plan(0).shown);
    EXPECT_TRUE(plan(0).below == number(a) || plan(0).below == number(b));
}

TEST_F(DimTest, LiesBelowTheFocusedWindowOrTheStripsOwnAndNeedsTwoWindows) {
    display("Left");
    display("Right");
    const int32_t pid = app("Notes");
    const AXElement a = window(pid, 100), b = window(pid, 700), e = window(pid, 1200);
    const AXElement c = window(pid, 2100);  // alone on the right display
    startAndSettle();
    prefs->dimLevel.set(2);
    ASSERT_EQ(stripOf(c), 1);
    ASSERT_EQ(stripOf(e), 0);

    sim.focusWindow(b);
    settle();
    dim->update();
    ASSERT_EQ(dim->plans().size(), 2u);
    EXPECT_TRUE(plan(0).shown);
    EXPECT_EQ(plan(0).below, number(b));
    EXPECT_FALSE(plan(1).shown);  // one window: nothing to dim behind it

    // A second window on the right display: its overlay comes at the next update.
    const AXElement d = window(pid, 2600);
    settle();
    ASSERT_EQ(stripOf(d), 1);
    dim->update();
    EXPECT_TRUE(plan(1).shown);

    // The focused window floats: the left overlay goes below the strip's own focused item.
    sim.focusWindow(a);
    settle();
    wm->perform(Action::floatToggle, 0);
    settle();
    ASSERT_EQ(stripOf(a), -1);
    dim->update();
    ASSERT_TRUE(plan(0).shown);
    ASSERT_NE(strip(0)->focusedItem(), nullptr);
    EXPECT_EQ(plan(0).below, number(strip(0)->focusedItem()->el));
    EXPECT_NE(plan(0).below, number(a));
}

}  // namespace
}  // namespace tarvela::testing

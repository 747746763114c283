#include "feedback/onboarding.h"

#include "feedback/permission_view.h"
#include "tests/feedback/settings_fixture.h"

using namespace tarvela;
using tarvela::testing::SettingsTest;

namespace {

class FirstLaunchTest : public SettingsTest {
protected:
    int handOvers = 0;

    void SetUp() override {
        SettingsTest::SetUp();
        prefs->onboarded.set(false);
        display("Built-in Display");
        window(app("Editor"), 100);
        // Another window manager holds the display.
        sim.setTrusted(false);
        wm = makeManager();
        wm->startWatchingPermission();
    }
    // The other window manager lets go; the permission watch notices.
    void handBack() {
        sim.setTrusted(true);
        time.advance(1.5);
    }
    OnboardingDeps deps() {
        return {*wm, *prefs, *hotkeys, [this] { ++handOvers; }, closer()};
    }
};

}  // namespace

TEST_F(FirstLaunchTest, PermissionWindowChangesWhenTheDisplayComesBack) {
    PermissionView view(*wm, [this] { ++handOvers; }, closer());
    int told = 0;
    Connection c = view.changed.connect([&] { ++told; });
    PermissionTexts t = view.texts();
    EXPECT_EQ(t.title + "|" + t.primary + "|" + t.secondary.value_or(""),
              "Tarvela can’t move windows|Take over window management|Not now");
    view.primary();
    EXPECT_EQ(handOvers, 1);
    time.advance(1.5);  // still another's: nothing changes
    EXPECT_EQ(told, 0);

    handBack();
    EXPECT_EQ(told, 1);
    t = view.texts();
    EXPECT_EQ(t.title + "|" + t.primary, "Tarvela can move windows again|Done");
    EXPECT_EQ(t.secondary, std::nullopt);
    view.primary();
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(handOvers, 1);

    // Lost again while still open: back to the first texts.
    sim.setTrusted(false);
    time.advance(1.5);
    EXPECT_FALSE(view.texts().granted);
}

TEST_F(FirstLaunchTest, StepsFollowThePermissionAndFinishStartsTheManager) {
    Onboarding ob(deps());
    OnboardingView v = ob.view();
    EXPECT_EQ(v.stepLabel, "Step 1");
    EXPECT_EQ(v.dots, (std::vector<bool>{true, false, false, false}));
    EXPECT_TRUE(v.welcome && !v.back && !v.skip);

    ob.forward();
    v = ob.view();
    ASSERT_TRUE(v.permission);
    EXPECT_EQ(v.permission->status, "Waiting for the display…");
    EXPECT_EQ(v.back.value_or("") + "|" + v.skip.value_or(""), "Back|Skip");
    EXPECT_FALSE(v.forwardEnabled);
    ob.forward();  // not without the display
    ob.takeOver();
    EXPECT_EQ(ob.step() * 10 + handOvers, 11);

    int told = 0;
    Connection c = ob.changed.connect([&] { ++told; });
    handBack();
    EXPECT_GE(told, 1);
    v = ob.view();
    EXPECT_EQ(v.permission->status + "|" + v.permission->statusDetail,
              "Tarvela manages your windows|Tarvela can now arrange your windows.");
    EXPECT_TRUE(v.forwardEnabled && !v.skip);

    ob.forward();
    ob.chooseLayout(Layout::two);
    ob.chooseWidth(1.0 / 3);
    EXPECT_EQ(defaults.getString("layout"), "two");
    EXPECT_EQ(defaults.getDouble("defaultWidth"), 1.0 / 3);
    v = ob.view();
    ASSERT_TRUE(v.layout);
    for (auto& choice : v.layout->layouts) EXPECT_EQ(choice.selected, choice.value == Layout::two);
    EXPECT_TRUE(v.layout->widths.at(0).selected);

    ob.forward();
    v = ob.view();
    ASSERT_TRUE(v.ready);
    EXPECT_EQ(v.ready->layout + "|" + v.ready->permission, "Two · Layout saved|Window management on");
    EXPECT_EQ(v.ready->shortcuts.at(0).caps, (std::vector<std::string>{"⌃", "⌥", "→"}));
    EXPECT_EQ(v.forward, "Start using Tarvela");

    prefs->enabled.set(false);
    ob.forward();
    EXPECT_EQ(defaults.getBool("onboarded"), true);
    EXPECT_EQ(defaults.getBool("enabled"), true);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(wm->on());
}

TEST_F(FirstLaunchTest, SkippingThePermissionAndClosingEarly) {
    {
        Onboarding ob(deps());
        ob.forward();
        ob.skip();
        ob.forward();
        ASSERT_TRUE(ob.view().ready);
        EXPECT_EQ(ob.view().ready->permission, "Window management still needed");
    }
    // Closed without finishing: the next start shows it again.
    EXPECT_EQ(defaults.getBool("onboarded"), false);

    // Finishing without the display: onboarded, and the manager starts once it comes.
    Onboarding ob(deps());
    ob.finish();
    EXPECT_TRUE(prefs->onboarded());
    EXPECT_FALSE(wm->on());
    handBack();
    EXPECT_TRUE(wm->on());
}

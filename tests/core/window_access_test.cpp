#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "core/window_access.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela {
namespace {

struct WindowAccess : ::testing::Test {
    ManualTime time;
    SimDesktop sim{time.loop()};

    std::vector<std::pair<int32_t, AXElement>> enumerate() {
        std::vector<std::pair<int32_t, AXElement>> out;
        for (const Win& w : tileableWindows(sim)) out.emplace_back(w.app.pid, w.el);
        return out;
    }
};

TEST_F(WindowAccess, TileableWindowsKeepOnlyStandardVisibleWindowsOfOtherRegularApps) {
    const int32_t a = sim.addApp({.name = "A"});
    const int32_t helper = sim.addApp({.name = "Helper", .policy = ActivationPolicy::Accessory});
    const int32_t daemon = sim.addApp({.policy = ActivationPolicy::Prohibited});
    const int32_t self = sim.addApp({.name = "Tarvela"});
    const int32_t b = sim.addApp();  // no name, no bundle identifier: still a regular application
    const int32_t mute = sim.addApp({.name = "Mute"});
    sim.setOwnPid(self);

    const AXElement a1 = sim.addWindow(a, Rect());
    sim.addWindow(a, Rect(), {.subrole = std::string(ax::Dialog)});
    sim.addWindow(a, Rect(), {.subrole = std::nullopt});
    sim.addWindow(a, Rect(), {.minimized = true});
    const AXElement full = sim.addWindow(a, Rect());
    sim.setFullScreen(full, true);
    const AXElement a2 = sim.addWindow(a, Rect(), {.unreadableFrame = true});  // the frame is not asked here
    sim.addWindow(helper, Rect());
    sim.addWindow(daemon, Rect());
    sim.addWindow(self, Rect());
    const AXElement b1 = sim.addWindow(b, Rect());
    const AXElement unsure = sim.addWindow(b, Rect());
    sim.setUnreadable(unsure, ax::Subrole);
    const AXElement flagsMissing = sim.addWindow(b, Rect());
    sim.setUnreadable(flagsMissing, ax::Minimized);
    sim.setUnreadable(flagsMissing, ax::FullScreen);
    sim.addWindow(mute, Rect());
    sim.setUnreadable(AXElement::application(mute), ax::Windows);

    const std::vector<std::pair<int32_t, AXElement>> want{{a, a1}, {a, a2}, {b, b1}, {b, flagsMissing}};
    EXPECT_EQ(enumerate(), want);
    EXPECT_TRUE(isTileable(sim, a1));
    EXPECT_FALSE(isTileable(sim, unsure));
    EXPECT_TRUE(isTileable(sim, flagsMissing)) << "missing flags count as false";
    EXPECT_FALSE(isTileable(sim, full));

    // A window that comes out of minimised or full-screen state qualifies again;
    // a closed one never does.
    sim.setFullScreen(full, false);
    EXPECT_TRUE(isTileable(sim, full));
    sim.closeWindow(full);
    EXPECT_FALSE(isTileable(sim, full));
    EXPECT_EQ(enumerate(), want);

    sim.setTrusted(false);
    EXPECT_TRUE(enumerate().empty()) << "without permission every read fails";
}

TEST_F(WindowAccess, TileableWindowsAreGroupedByApplicationInPlatformOrder) {
    const int32_t first = sim.addApp({.name = "First"});
    const int32_t second = sim.addApp({.name = "Second"});
    // Interleaved creation, focus and stacking changes do not reorder anything.
    const AXElement s1 = sim.addWindow(second, Rect());
    const AXElement f1 = sim.addWindow(first, Rect());
    const AXElement s2 = sim.addWindow(second, Rect());
    const AXElement f2 = sim.addWindow(first, Rect());
    sim.focusWindow(s1);
    sim.performAction(f1, ax::Raise);
    sim.resetCounts();
    EXPECT_EQ(enumerate(), (std::vector<std::pair<int32_t, AXElement>>{{first, f1}, {first, f2}, {second, s1}, {second, s2}}));
    const std::vector<Win> wins = tileableWindows(sim);
    EXPECT_EQ(wins[0].app.localizedName, "First");
    EXPECT_EQ(wins[3].app.localizedName, "Second");
    EXPECT_EQ(sim.totals(), WriteCounts{}) << "enumerating writes nothing";
}

TEST_F(WindowAccess, FrameNeedsBothPositionAndSize) {
    const int32_t a = sim.addApp();
    const AXElement w = sim.addWindow(a, Rect(10, 20, 300, 200));
    EXPECT_EQ(frame(sim, w), Rect(10, 20, 300, 200));
    sim.setUnreadable(w, ax::Position);
    EXPECT_EQ(frame(sim, w), std::nullopt);
    sim.setUnreadable(w, ax::Position, false);
    sim.setUnreadable(w, ax::SizeAttr);
    EXPECT_EQ(frame(sim, w), std::nullopt);

    // A window whose frame cannot be read belongs to the first display.
    sim.addStandardDisplay();
    sim.addStandardDisplay();
    const AXElement right = sim.addWindow(a, Rect(2000, 100, 400, 300));
    EXPECT_EQ(screenIndex(sim, frame(sim, right)), 1);
    sim.setUnreadable(right, ax::SizeAttr);
    EXPECT_EQ(screenIndex(sim, frame(sim, right)), 0);
}

TEST_F(WindowAccess, WindowNumberIsKnownOnlyWhenNonZero) {
    const int32_t a = sim.addApp();
    const AXElement w = sim.addWindow(a, Rect());
    EXPECT_EQ(windowNumber(sim, w), sim.windowNumber(w));
    EXPECT_FALSE(windowNumber(sim, sim.addWindow(a, Rect(), {.hasNumber = false})));
    EXPECT_FALSE(windowNumber(sim, AXElement::application(a)));
}

TEST_F(WindowAccess, EnhancedUISuspendsOnlyWhatWasOnAndRestoresItOnce) {
    const int32_t on = sim.addApp(), off = sim.addApp(), missing = sim.addApp(), mute = sim.addApp();
    sim.setEnhancedUI(on, true);
    sim.setEnhancedUI(off, false);
    sim.setEnhancedUI(mute, true);
    sim.setUnreadable(AXElement::application(mute), ax::EnhancedUserInterface);
    const AXElement onEl = AXElement::application(on);

    EnhancedUI eui(sim);
    eui.suspend({on, off, missing, mute, 4242});
    EXPECT_EQ(eui.saved(), (std::set<int32_t>{on}));
    EXPECT_EQ(sim.enhancedUI(on), false);
    EXPECT_EQ(sim.enhancedUI(off), false);
    EXPECT_EQ(sim.enhancedUI(missing), std::nullopt);
    EXPECT_EQ(sim.enhancedUI(mute), true);
    EXPECT_EQ(sim.totals().enhancedUI, 1) << "only the one that was on is switched";

    // Suspending again while saved: no second write, still recorded once.
    eui.suspend({on, off});
    EXPECT_EQ(sim.writes(onEl).enhancedUI, 1);
    EXPECT_EQ(eui.saved(), (std::set<int32_t>{on}));

    eui.restore();
    EXPECT_EQ(sim.enhancedUI(on), true);
    EXPECT_EQ(sim.enhancedUI(off), false) << "an application that was off is not switched on";
    EXPECT_TRUE(eui.saved().empty());
    EXPECT_EQ(sim.writes(onEl).enhancedUI, 2);
    eui.restore();
    EXPECT_EQ(sim.totals().enhancedUI, 2) << "a second restore does nothing";

    // An application that quits while suspended fails the restore silently.
    eui.suspend({on});
    sim.quitApp(on);
    eui.restore();
    EXPECT_TRUE(eui.saved().empty());
    EXPECT_EQ(sim.writes(onEl).enhancedUI, 4);
}

}  // namespace
}  // namespace tarvela

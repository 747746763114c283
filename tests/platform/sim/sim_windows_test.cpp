#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "core/window_access.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela {
namespace {

struct SimWindows : ::testing::Test {
    ManualTime time;
    SimDesktop sim{time.loop()};
    int32_t pid = sim.addApp({.name = "Terminal", .bundleID = "org.example.term"});

    bool writeSize(AXElement el, double w, double h) { return sim.setAttribute(el, ax::SizeAttr, Size{w, h}); }
    Size sizeOf(AXElement el) { return sim.frameOf(el)->size(); }
};

TEST_F(SimWindows, SizeIncrementsRoundDownLikeXterm) {
    const AXElement xterm =
        sim.addWindow(pid, Rect(0, 0, 490, 290), {.base = {4, 4}, .inc = {6, 13}});
    const std::pair<double, double> cases[] = {{490, 490}, {491, 490}, {495, 490}, {500, 496}, {960, 958}};
    for (auto [asked, got] : cases) {
        EXPECT_TRUE(writeSize(xterm, asked, 300));
        EXPECT_EQ(sizeOf(xterm), (Size{got, 290})) << "asked " << asked;
    }
    // The size it opens at obeys the same rule.
    const AXElement opened = sim.addWindow(pid, Rect(0, 0, 501, 301), {.base = {4, 4}, .inc = {6, 13}});
    EXPECT_EQ(sizeOf(opened), (Size{496, 290}));
}

TEST_F(SimWindows, SizesAreClampedToLimitsAndIncrementsStayAboveTheMinimum) {
    const AXElement w = sim.addWindow(pid, Rect(0, 0, 500, 400), {.minW = 300, .maxW = 800, .minH = 200, .maxH = 600});
    writeSize(w, 100, 100);
    EXPECT_EQ(sizeOf(w), (Size{300, 200}));
    writeSize(w, 2000, 2000);
    EXPECT_EQ(sizeOf(w), (Size{800, 600}));

    // A minimum that is no whole number of cells rounds up to the next cell.
    const AXElement t = sim.addWindow(pid, Rect(0, 0, 500, 400), {.minW = 301, .base = {0, 0}, .inc = {10, 0}});
    writeSize(t, 100, 400);
    EXPECT_EQ(sizeOf(t).width, 310);
}

TEST_F(SimWindows, RefusingWindowKeepsItsSizeAndReportsFailure) {
    const AXElement w = sim.addWindow(pid, Rect(10, 20, 500, 400), {.refuseResize = true});
    EXPECT_FALSE(writeSize(w, 700, 300));
    EXPECT_EQ(sim.frameOf(w), Rect(10, 20, 500, 400));
    EXPECT_EQ(sim.writes(w).size, 1) << "refused writes are still attempts";
    EXPECT_TRUE(sim.setAttribute(w, ax::Position, Point{5, 6}));
    EXPECT_EQ(sim.frameOf(w), Rect(5, 6, 500, 400));
}

TEST_F(SimWindows, ClosedWindowHandleStaysValidButEverythingFails) {
    const AXElement w = sim.addWindow(pid, Rect(0, 0, 400, 300));
    const AXElement other = sim.addWindow(pid, Rect(0, 0, 400, 300));
    EXPECT_TRUE(sim.closeWindow(w));
    EXPECT_FALSE(sim.closeWindow(w));
    EXPECT_TRUE(sim.isClosed(w));
    EXPECT_FALSE(sim.isClosed(other));
    EXPECT_EQ(frame(sim, w), std::nullopt);
    EXPECT_FALSE(sim.copyAttribute(w, ax::Subrole));
    EXPECT_FALSE(sim.copyAttribute(w, ax::Minimized));
    EXPECT_FALSE(sim.setAttribute(w, ax::Position, Point{1, 1}));
    EXPECT_FALSE(sim.setAttribute(w, ax::SizeAttr, Size{1, 1}));
    EXPECT_FALSE(sim.performAction(w, ax::Raise));
    EXPECT_EQ(sim.capture(w, std::nullopt), nullptr);
    EXPECT_NE(sim.capture(other, std::nullopt), nullptr);
    // Identity survives: the same window, its process and number are still known.
    EXPECT_EQ(w, AXElement::window(w.id));
    EXPECT_EQ(sim.pidOf(w), pid);
    EXPECT_EQ(sim.windowNumber(w), static_cast<uint32_t>(w.id));
    EXPECT_EQ(attr<std::vector<AXElement>>(sim, AXElement::application(pid), ax::Windows),
              std::vector<AXElement>{other});
}

TEST_F(SimWindows, UnreadableFrameAndAttributes) {
    const AXElement w = sim.addWindow(pid, Rect(1, 2, 300, 200), {.unreadableFrame = true});
    EXPECT_FALSE(sim.copyAttribute(w, ax::Position));
    EXPECT_FALSE(sim.copyAttribute(w, ax::SizeAttr));
    EXPECT_TRUE(sim.copyAttribute(w, ax::Subrole));
    EXPECT_EQ(sim.frameOf(w), Rect(1, 2, 300, 200));

    const AXElement v = sim.addWindow(pid, Rect(1, 2, 300, 200));
    sim.setUnreadable(v, ax::SizeAttr);
    EXPECT_TRUE(sim.copyAttribute(v, ax::Position));
    EXPECT_FALSE(sim.copyAttribute(v, ax::SizeAttr));
    sim.setUnreadable(v, ax::SizeAttr, false);
    EXPECT_TRUE(sim.copyAttribute(v, ax::SizeAttr));

    sim.setUnresponsive(pid, true);
    EXPECT_FALSE(sim.copyAttribute(v, ax::Position));
    EXPECT_FALSE(sim.copyAttribute(AXElement::application(pid), ax::Windows));
    EXPECT_FALSE(sim.setAttribute(v, ax::Position, Point{0, 0}));
    sim.setUnresponsive(pid, false);

    sim.setTrusted(false);
    EXPECT_FALSE(sim.isProcessTrusted());
    EXPECT_FALSE(sim.copyAttribute(v, ax::Position));
    EXPECT_FALSE(sim.setAttribute(v, ax::Position, Point{0, 0}));
    sim.setTrusted(true);
    EXPECT_TRUE(sim.isProcessTrusted());
}

TEST_F(SimWindows, AttributesReadAsTheirTypes) {
    const AXElement w = sim.addWindow(pid, Rect(10, 20, 300, 200), {.title = "~/src"});
    const AXElement dlg = sim.addWindow(pid, Rect(10, 20, 300, 200), {.subrole = std::string(ax::Dialog)});
    const AXElement bare = sim.addWindow(pid, Rect(10, 20, 300, 200), {.subrole = std::nullopt});
    EXPECT_EQ(attr<Point>(sim, w, ax::Position), (Point{10, 20}));
    EXPECT_EQ(attr<Size>(sim, w, ax::SizeAttr), (Size{300, 200}));
    EXPECT_EQ(attr<std::string>(sim, w, ax::Subrole), "AXStandardWindow");
    EXPECT_EQ(attr<std::string>(sim, dlg, ax::Subrole), "AXDialog");
    EXPECT_FALSE(sim.copyAttribute(bare, ax::Subrole));
    EXPECT_EQ(attr<std::string>(sim, w, ax::Title), "~/src");
    EXPECT_EQ(attr<bool>(sim, w, ax::Minimized), false);
    EXPECT_EQ(attr<bool>(sim, w, ax::FullScreen), false);
    EXPECT_FALSE(sim.copyAttribute(w, "AXNoSuchThing"));
    EXPECT_FALSE(sim.setAttribute(w, "AXNoSuchThing", true));
    // A position written as the wrong type is not applied.
    EXPECT_FALSE(sim.setAttribute(w, ax::Position, Size{1, 1}));
    EXPECT_EQ(sim.frameOf(w)->origin(), (Point{10, 20}));
    // Window numbers are stable, distinct and never 0.
    EXPECT_NE(sim.windowNumber(w), sim.windowNumber(dlg));
    EXPECT_NE(sim.windowNumber(w).value_or(0), 0u);
    EXPECT_EQ(sim.windowNumber(w), sim.windowNumber(w));
    EXPECT_FALSE(sim.windowNumber(sim.addWindow(pid, Rect(), {.hasNumber = false})));
    EXPECT_EQ(sim.pidOf(AXElement::application(pid)), pid);
    EXPECT_FALSE(sim.pidOf(AXElement::window(12345)));
}

TEST_F(SimWindows, FocusStackingAndMainFollowTheWindows) {
    const AXElement a = sim.addWindow(pid, Rect(0, 0, 100, 100));
    const AXElement b = sim.addWindow(pid, Rect(0, 0, 100, 100));
    const AXElement c = sim.addWindow(pid, Rect(0, 0, 100, 100), {.takesFocus = false});
    const AXElement app = AXElement::application(pid);
    EXPECT_EQ(attr<AXElement>(sim, app, ax::FocusedWindow), b);
    EXPECT_EQ(attr<std::vector<AXElement>>(sim, app, ax::Windows), (std::vector<AXElement>{a, b, c}));
    EXPECT_EQ(sim.stackingOrder(), (std::vector<AXElement>{c, b, a}));

    EXPECT_TRUE(sim.performAction(a, ax::Raise));
    EXPECT_EQ(sim.stackingOrder(), (std::vector<AXElement>{a, c, b}));
    EXPECT_EQ(sim.focusedWindow(pid), a);

    EXPECT_TRUE(sim.setAttribute(b, ax::Main, true));
    EXPECT_TRUE(sim.isMain(b));
    EXPECT_EQ(attr<bool>(sim, b, ax::Main), true);
    EXPECT_EQ(attr<bool>(sim, a, ax::Main), false);
    EXPECT_EQ(sim.focusedWindow(pid), b);

    // Minimising or closing the focused window hands the focus to the
    // application's topmost remaining window.
    sim.setMinimized(b, true);
    EXPECT_EQ(attr<bool>(sim, b, ax::Minimized), true);
    EXPECT_EQ(sim.focusedWindow(pid), a);
    sim.closeWindow(a);
    EXPECT_EQ(sim.focusedWindow(pid), c);
    sim.closeWindow(c);
    EXPECT_EQ(sim.focusedWindow(pid), std::nullopt);
    EXPECT_FALSE(sim.copyAttribute(app, ax::FocusedWindow));
    EXPECT_TRUE(sim.setAttribute(b, ax::Minimized, false));
    EXPECT_EQ(sim.focusedWindow(pid), b);
    EXPECT_EQ(sim.writes(b).minimized, 1);
}

TEST_F(SimWindows, FullScreenCoversItsDisplayAndRefusesMoves) {
    sim.addStandardDisplay();
    sim.addStandardDisplay("Right");
    const AXElement w = sim.addWindow(pid, Rect(2000, 100, 800, 600));
    sim.setFullScreen(w, true);
    EXPECT_EQ(attr<bool>(sim, w, ax::FullScreen), true);
    EXPECT_EQ(sim.frameOf(w), Rect(1920, 0, 1920, 1080));
    EXPECT_FALSE(sim.setAttribute(w, ax::Position, Point{0, 0}));
    EXPECT_FALSE(writeSize(w, 100, 100));
    sim.setFullScreen(w, false);
    EXPECT_EQ(sim.frameOf(w), Rect(2000, 100, 800, 600));
}

TEST_F(SimWindows, UserFocusAndDragAreNotTarvelaWrites) {
    const int32_t other = sim.addApp({.name = "Editor"});
    const AXElement w = sim.addWindow(other, Rect(0, 0, 100, 100));
    sim.addWindow(pid, Rect(0, 0, 100, 100));
    sim.dragWindow(w, {300, 40});
    EXPECT_EQ(sim.frameOf(w), Rect(300, 40, 100, 100));
    EXPECT_EQ(sim.frontmostApplication()->pid, other);
    EXPECT_EQ(sim.stackingOrder().front(), w);
    EXPECT_EQ(sim.totals(), WriteCounts{});
}

TEST_F(SimWindows, WindowClosesBetweenTwoReads) {
    const AXElement w = sim.addWindow(pid, Rect(1, 2, 300, 200));
    sim.closeAfterReads(w, 1);
    EXPECT_TRUE(sim.copyAttribute(w, ax::Position));
    EXPECT_EQ(frame(sim, w), std::nullopt) << "position read first, size never";
    EXPECT_TRUE(sim.isClosed(w));
    EXPECT_EQ(sim.windowsOf(pid), std::vector<AXElement>{});
}

TEST_F(SimWindows, WriteHookSeesEachWriteAndMayCloseTheWindow) {
    const AXElement w = sim.addWindow(pid, Rect(0, 0, 300, 200));
    std::vector<WriteKind> seen;
    sim.setWriteHook([&](const WriteRecord& r) {
        seen.push_back(r.kind);
        if (r.kind == WriteKind::Position) sim.closeWindow(r.el);  // closes under the animation's feet
    });
    EXPECT_TRUE(sim.setAttribute(w, ax::SizeAttr, Size{400, 300}));
    EXPECT_TRUE(sim.setAttribute(w, ax::Position, Point{5, 5}));
    EXPECT_FALSE(sim.setAttribute(w, ax::Position, Point{6, 6}));
    EXPECT_EQ(seen, (std::vector<WriteKind>{WriteKind::Size, WriteKind::Position, WriteKind::Position}));
    EXPECT_EQ(sim.frameOf(w), Rect(5, 5, 400, 300));

    // The application moving itself is no Tarvela write.
    const AXElement v = sim.addWindow(pid, Rect());
    sim.setFrame(v, Rect(7, 8, 9, 10));
    EXPECT_EQ(frame(sim, v), Rect(7, 8, 9, 10));
    EXPECT_EQ(seen.size(), 3u);
}

}  // namespace
}  // namespace tarvela

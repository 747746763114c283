#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;
using Columns = tarvela::testing::Columns;

TEST_F(ManagerTest, RebuildSortsByLeftEdgeAndLeavesRuleWindowsOut) {
    display("Built-in Display");
    const int32_t safari = app("Safari");
    const int32_t notes = app("Notes");
    const int32_t zoom = app("Zoom", "Zoom");                        // built-in float rule
    const int32_t calc = app("Calculator", "org.gnome.Calculator");  // built-in ignore rule
    AXElement at100 = window(safari, 100);
    AXElement at40 = window(notes, 40);
    WindowSpec unreadable;
    unreadable.unreadableFrame = true;
    AXElement blind = sim.addWindow(safari, Rect(900, 100, 500, 400), unreadable);
    AXElement z = window(zoom, 10);
    AXElement c = window(calc, 20);
    WindowSpec dialog;
    dialog.subrole = std::string(ax::Dialog);
    AXElement d = sim.addWindow(notes, Rect(0, 100, 300, 200), dialog);
    startAndSettle();

    EXPECT_EQ(columns(0), (Columns{{blind}, {at40}, {at100}}));
    EXPECT_TRUE(logged("[Tarvela] display 0 Built-in: 3 windows"));
    for (AXElement e : {z, c, d}) EXPECT_EQ(stripOf(e), -1);
    // Rule applications are still watched; their new windows stay out too.
    EXPECT_TRUE(wm->observers.count(zoom));
    EXPECT_TRUE(wm->observers.count(calc));
    AXElement z2 = window(zoom, 300);
    settle();
    EXPECT_EQ(stripOf(z2), -1);
    EXPECT_EQ(sim.writes(z2).total(), 0);
    // Nobody touched the rule windows.
    EXPECT_EQ(sim.writes(z).total() + sim.writes(c).total() + sim.writes(d).total(), 0);
}

TEST_F(ManagerTest, WindowsCreatedMinimisedRestoredAndClosed) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    startAndSettle();
    EXPECT_EQ(columns(0), (Columns{{a}}));

    AXElement b = window(pid, 900);
    time.advance(0.3);
    EXPECT_EQ(stripOf(b), -1);  // judged only after 0.35 s
    time.advance(0.1);
    EXPECT_EQ(columns(0), (Columns{{a}, {b}}));
    EXPECT_EQ(strip(0)->focusC, 1);
    EXPECT_TRUE(logged("[Tarvela] new window: Safari joined Built-in"));

    sim.setMinimized(b, true);
    settle();
    EXPECT_EQ(columns(0), (Columns{{a}}));
    sim.setMinimized(b, false);
    time.advance(0.3);
    EXPECT_EQ(stripOf(b), -1);
    time.advance(0.1);
    EXPECT_EQ(columns(0), (Columns{{a}, {b}}));

    sim.closeWindow(b);
    settle();
    EXPECT_EQ(columns(0), (Columns{{a}}));

    // A window that is gone before it is judged is ignored.
    AXElement brief = window(pid, 500);
    sim.closeWindow(brief);
    settle();
    EXPECT_EQ(columns(0), (Columns{{a}}));

    // Full screen leaves the strip at the next prune.
    AXElement c = window(pid, 700);
    settle();
    sim.setFullScreen(c, true);
    sim.focusWindow(a);
    settle();
    EXPECT_EQ(stripOf(c), -1);
    EXPECT_EQ(columns(0), (Columns{{a}}));

    // Created while paused: unmanaged until the next rebuild; closed windows are still pruned.
    wm->paused.set(true);
    AXElement p = window(pid, 1200);
    AXElement q = window(pid, 1300);
    settle();
    EXPECT_EQ(stripOf(p), -1);
    wm->paused.set(false);
    settle();
    EXPECT_EQ(stripOf(p), -1);
    wm->paused.set(true);
    sim.closeWindow(a);
    settle();
    EXPECT_EQ(stripOf(a), -1);
    wm->paused.set(false);
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(stripOf(p), 0);
    EXPECT_EQ(stripOf(q), 0);
    EXPECT_EQ(strip(0)->checkInvariants(), "");
}

TEST_F(ManagerTest, ApplicationsLaunchedAndQuitting) {
    display("Built-in Display");
    const int32_t safari = app("Safari");
    AXElement s = window(safari, 100);
    startAndSettle();

    // A launch is looked at after 0.6 s: its standard windows join 0.35 s later.
    const int32_t mail = app("Mail");
    AXElement m1 = window(mail, 600);
    WindowSpec minimised;
    minimised.minimized = true;
    AXElement m2 = sim.addWindow(mail, Rect(700, 100, 400, 400), minimised);
    WindowSpec dialog;
    dialog.subrole = std::string(ax::Dialog);
    AXElement m3 = sim.addWindow(mail, Rect(800, 100, 300, 200), dialog);
    time.advance(0.5);
    EXPECT_FALSE(wm->observers.count(mail));
    time.advance(0.2);
    EXPECT_TRUE(wm->observers.count(mail));
    EXPECT_EQ(stripOf(m1), -1);
    time.advance(0.4);
    EXPECT_EQ(stripOf(m1), 0);
    EXPECT_EQ(stripOf(m2), -1);
    EXPECT_EQ(stripOf(m3), -1);
    EXPECT_EQ(countLogged("[Tarvela] new window: Mail joined Built-in"), 1);

    // Quitting takes its windows out at once and drops its observer.
    ASSERT_TRUE(sim.quitApp(mail));
    time.drain();
    EXPECT_EQ(stripOf(m1), -1);
    EXPECT_FALSE(wm->observers.count(mail));
    EXPECT_EQ(sim.liveObservers(mail), 0);
    EXPECT_EQ(columns(0), (Columns{{s}}));

    // Launched while paused: not adopted.
    wm->paused.set(true);
    const int32_t music = app("Music");
    AXElement mu = window(music, 900);
    settle(2);
    EXPECT_EQ(stripOf(mu), -1);
    EXPECT_TRUE(wm->observers.count(music));  // watched all the same

    // An application that refuses an observer is still picked up at a rebuild.
    wm->paused.set(false);
    const int32_t mute = sim.addApp(AppSpec{std::nullopt, std::string("Mute"), std::string("org.mute"), nullptr,
                                            ActivationPolicy::Regular});
    sim.setRefusesObservers(mute, true);
    AXElement mw = window(mute, 1000);
    settle(2);
    EXPECT_FALSE(wm->observers.count(mute));
    EXPECT_EQ(stripOf(mw), 0);  // adopted through its launch notification
    AXElement mw2 = window(mute, 1100);
    settle();
    EXPECT_EQ(stripOf(mw2), -1);  // no observer, no notification
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(stripOf(mw2), 0);
}

TEST_F(ManagerTest, FocusIsFollowedAcrossDisplaysUnlessPaused) {
    display("Built-in Display");
    display("Studio Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 700);
    AXElement c = window(pid, 2100);
    sim.focusWindow(a);
    startAndSettle();
    EXPECT_EQ(wm->displayIdx(), 0);
    EXPECT_EQ(columns(1), (Columns{{c}}));

    sim.focusWindow(c);
    settle();
    EXPECT_EQ(wm->displayIdx(), 1);
    sim.focusWindow(b);
    settle();
    EXPECT_EQ(wm->displayIdx(), 0);
    EXPECT_EQ(strip(0)->focusC, 1);

    // A new application's first window on the other display takes the
    // keyboard there before it is adopted: the display follows at once.
    const int32_t mail = app("Mail");
    AXElement m = window(mail, 2400);
    sim.focusWindow(m);
    time.advance(0.05);
    EXPECT_EQ(stripOf(m), -1);
    EXPECT_EQ(wm->displayIdx(), 1);
    sim.focusWindow(b);
    settle();
    EXPECT_EQ(wm->displayIdx(), 0);

    wm->paused.set(true);
    sim.focusWindow(c);
    settle();
    EXPECT_EQ(wm->displayIdx(), 0);
    EXPECT_EQ(strip(0)->focusC, 1);
    // Paused, a focus change still prunes.
    sim.closeWindow(a);
    sim.focusWindow(b);
    settle();
    EXPECT_EQ(stripOf(a), -1);
}

TEST_F(ManagerTest, DragsAcrossDisplaysAndWithinOne) {
    display("Built-in Display");
    display("Studio Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 800);
    startAndSettle();
    ASSERT_EQ(columns(0), (Columns{{a}, {b}}));

    sim.dragWindow(a, Point{2300, 200});
    sim.mouseUp();
    time.advance(0.1);
    EXPECT_EQ(stripOf(a), 0);  // judged 0.15 s after the mouse-up
    time.advance(0.1);
    EXPECT_EQ(columns(1), (Columns{{a}}));
    EXPECT_EQ(columns(0), (Columns{{b}}));
    EXPECT_EQ(wm->displayIdx(), 1);
    EXPECT_EQ(wm->note(), "Moved Safari to Studio Display");
    settle();

    // Within a display: more than 8 points puts it back, up to 8 leaves it be.
    const Rect home = *sim.frameOf(b);
    sim.dragWindow(b, Point{home.x + 9, home.y});
    sim.mouseUp();
    settle();
    EXPECT_EQ(sim.frameOf(b)->origin(), home.origin());
    sim.dragWindow(b, Point{home.x, home.y - 40});
    sim.mouseUp();
    settle();
    EXPECT_EQ(sim.frameOf(b)->origin(), home.origin());
    // Resized by hand: the column takes the new width; its height stays the strip's.
    sim.setFrame(b, Rect(home.x, home.y, home.width - 100, home.height - 60));
    sim.mouseUp();
    settle();
    EXPECT_EQ(wm->strips()[0]->cw.at(0), home.width - 100);
    EXPECT_EQ(sim.frameOf(b)->size(), (Size{home.width - 100, home.height}));
    const Rect resized = *sim.frameOf(b);
    sim.resetCounts();
    sim.dragWindow(b, Point{resized.x + 8, resized.y - 8});
    sim.mouseUp();
    settle();
    EXPECT_EQ(sim.frameOf(b)->origin(), (Point{resized.x + 8, resized.y - 8}));
    EXPECT_EQ(sim.writes(b).position, 0);

    // Paused or off, a drop is left where it is.
    wm->paused.set(true);
    sim.dragWindow(b, Point{2600, 300});
    sim.mouseUp();
    settle();
    EXPECT_EQ(stripOf(b), 0);
    EXPECT_EQ(sim.frameOf(b)->origin(), (Point{2600, 300}));

    // A window that is in no strip is not the mouse-up's business.
    wm->paused.set(false);
    WindowSpec dialog;
    dialog.subrole = std::string(ax::Dialog);
    AXElement d = sim.addWindow(pid, Rect(100, 100, 300, 200), dialog);
    sim.dragWindow(d, Point{2500, 500});
    sim.mouseUp();
    settle();
    EXPECT_EQ(sim.frameOf(d)->origin(), (Point{2500, 500}));
    EXPECT_EQ(sim.writes(d).total(), 0);
}

TEST_F(ManagerTest, SpaceAndDisplayChangesRebuildAndKeepTheArrangement) {
    display("Built-in Display");
    prefs->defaultWidth.set(0.25);  // four columns fit on the display
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 400);
    AXElement c = window(pid, 700);
    AXElement d = window(pid, 1000);
    startAndSettle();
    ASSERT_EQ(columns(0), (Columns{{a}, {b}, {c}, {d}}));
    wm->perform(Action::jump, 2);
    wm->perform(Action::stackLeft, 0);  // b under a
    settle();
    wm->perform(Action::jump, 3);
    wm->perform(Action::wider, 0);  // d's column wider
    settle();
    const Columns arranged{{a, b}, {c}, {d}};
    ASSERT_EQ(columns(0), arranged);
    const std::vector<double> widths = fracs(0);
    ASSERT_NE(widths[2], 0.25);

    // Space change: rebuilt after 0.4 s, arrangement recalled from memory.
    StripRef before = strip(0);
    logs.clear();
    sim.postActiveSpaceChange();
    time.advance(0.3);
    EXPECT_EQ(strip(0), before);
    time.advance(0.2);
    EXPECT_NE(strip(0), before);
    EXPECT_EQ(columns(0), arranged);
    EXPECT_EQ(fracs(0), widths);
    EXPECT_EQ(countLogged("[Tarvela] display 0 Built-in: 4 windows"), 1);

    // Two quick switches are two rebuilds.
    logs.clear();
    sim.postActiveSpaceChange();
    time.advance(0.1);
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(countLogged("[Tarvela] display 0 Built-in: 4 windows"), 2);

    // A display plugged in on the left: rebuilt after 0.5 s, two strips, same arrangement.
    before = strip(0);
    const uint64_t left = sim.addDisplay(Rect(-1920, 0, 1920, 1080), Rect(-1920, 0, 1920, 1055), "Studio Display");
    time.advance(0.45);
    EXPECT_EQ(strip(0), before);
    time.advance(0.1);
    ASSERT_EQ(wm->strips().size(), 2u);
    EXPECT_EQ(columns(0), arranged);
    EXPECT_EQ(fracs(0), widths);
    EXPECT_TRUE(columns(1).empty());
    sim.removeDisplay(left);
    settle();
    ASSERT_EQ(wm->strips().size(), 1u);
    EXPECT_EQ(columns(0), arranged);

    // While off, nothing is rebuilt.
    wm->stop(false);
    sim.postActiveSpaceChange();
    settle();
    EXPECT_TRUE(wm->strips().empty());
}

TEST_F(ManagerTest, ArrangedWindowsStayWithTheirDisplayAcrossRebuilds) {
    display("Built-in Display");
    const uint64_t second = display("Studio Display");
    const int32_t p = app("Safari"), q = app("Mail");
    AXElement a = window(p, 100), b = window(p, 300), c = window(p, 500);
    AXElement d = window(q, 2100), e = window(q, 2300), f = window(q, 2500);
    sim.focusWindow(a);
    startAndSettle();
    const Columns left{{a}, {b}, {c}}, right{{d}, {e}, {f}};
    ASSERT_EQ(columns(0), left);
    // The last columns overflow: c lies over the second display, f over none.
    ASSERT_EQ(screenIndex(sim, sim.frameOf(c)), 1);
    ASSERT_GT(sim.frameOf(f)->midX(), 3840);
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(columns(0), left);
    EXPECT_EQ(columns(1), right);
    // Displays listed the other way round: each strip's windows follow its display.
    sim.setDisplays({sim.screens()[1], sim.screens()[0]});
    settle();
    ASSERT_EQ(strip(0)->screen.id, second);
    EXPECT_EQ(columns(0), right);
    EXPECT_EQ(columns(1), left);
}

TEST_F(ManagerTest, DisplayUnpluggedUnderTheCurrentIndex) {
    display("Built-in Display");
    const uint64_t second = display("Studio Display");
    const int32_t pid = app("Safari");
    window(pid, 100);
    AXElement b = window(pid, 2100);
    sim.focusWindow(b);
    startAndSettle();
    EXPECT_EQ(wm->displayIdx(), 1);
    sim.removeDisplay(second);
    settle();
    ASSERT_EQ(wm->strips().size(), 1u);
    // The window's display is gone: it counts as on the first one.
    EXPECT_EQ(stripOf(b), 0);
    EXPECT_EQ(wm->cur(), strip(0));
    for (const StripRef& s : wm->strips()) EXPECT_EQ(s->checkInvariants(), "");
}

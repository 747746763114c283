#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;
using Columns = tarvela::testing::Columns;

namespace {
const std::string noPermission = "[Tarvela] start: no accessibility permission";
const std::string lost = "[Tarvela] Accessibility permission lost";
const std::string granted = "[Tarvela] Accessibility permission granted";
}  // namespace

TEST_F(ManagerTest, StartWithoutPermissionBuildsNothingAndSaysSoEachTime) {
    display("Built-in Display");
    window(app("Safari"), 100);
    sim.setTrusted(false);
    wm = makeManager();
    EXPECT_FALSE(wm->trusted());
    wm->start();
    wm->start();
    settle();
    EXPECT_FALSE(wm->on());
    EXPECT_TRUE(wm->strips().empty());
    EXPECT_EQ(countLogged(noPermission), 2);
    EXPECT_EQ(permissionLost, 2);
    EXPECT_EQ(sim.liveObservers(), 0);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 0);
    EXPECT_EQ(sim.totals().total(), 0);
    EXPECT_EQ(wm->statusLine(), "Another window manager holds the display: Tarvela can’t move windows.");
}

TEST_F(ManagerTest, StartingTwiceRebuildsWithoutDuplicates) {
    display("Built-in Display");
    const int32_t safari = app("Safari");
    const int32_t notes = app("Notes");
    app("Music");  // regular, no window yet: watched too
    window(safari, 100);
    window(notes, 800);
    startAndSettle();
    EXPECT_TRUE(wm->on());
    EXPECT_EQ(wm->observers.size(), 3u);
    EXPECT_EQ(sim.liveObservers(), 3);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 5);
    EXPECT_EQ(sim.liveMouseMonitors(), 1);
    EXPECT_EQ(wm->bag.size(), static_cast<size_t>(wm->desktopCount()));  // one link per strip of every desktop
    EXPECT_EQ(logs.back(), "[Tarvela] display 0 Built-in: 2 windows");

    wm->start();
    settle();
    EXPECT_EQ(sim.liveObservers(), 3);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 5);
    EXPECT_EQ(sim.liveMouseMonitors(), 1);
    EXPECT_EQ(wm->strips().size(), 1u);
    EXPECT_EQ(wm->bag.size(), static_cast<size_t>(wm->desktopCount()));  // one link per strip of every desktop

    // One observer per application: a new window joins exactly once.
    logs.clear();
    AXElement w = window(safari, 300);
    settle();
    int seen = 0;
    for (const auto& col : columns(0)) seen += static_cast<int>(std::count(col.begin(), col.end(), w));
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(countLogged("[Tarvela] new window: Safari joined Built-in"), 1);
}

TEST_F(ManagerTest, PermissionLostAndRegainedWhileRunning) {
    display("Built-in Display");
    AXElement a = window(app("Safari"), 100);
    AXElement b = window(app("Notes"), 800);
    wm->startWatchingPermission();
    startAndSettle();
    const Rect fa = *sim.frameOf(a);
    const Rect fb = *sim.frameOf(b);
    const int dimsBefore = feedback.dims;
    prefs->enabled.set(false);  // the manager was on: it comes back regardless

    sim.setTrusted(false);
    sim.resetCounts();
    time.advance(1.5);
    EXPECT_FALSE(wm->on());
    EXPECT_FALSE(wm->trusted());
    EXPECT_TRUE(wm->wasOnBeforeLoss);
    EXPECT_EQ(countLogged(lost), 1);
    EXPECT_EQ(permissionLost, 1);
    EXPECT_TRUE(wm->strips().empty());
    EXPECT_EQ(sim.liveObservers(), 0);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 0);
    EXPECT_GT(feedback.dims, dimsBefore);
    EXPECT_EQ(sim.totals().total(), 0);  // windows stay where they were
    EXPECT_EQ(*sim.frameOf(a), fa);
    EXPECT_EQ(*sim.frameOf(b), fb);

    time.advance(1.5);  // still lost: nothing more
    EXPECT_EQ(countLogged(lost), 1);
    EXPECT_EQ(permissionLost, 1);

    sim.setTrusted(true);
    time.advance(1.5);
    EXPECT_TRUE(wm->on());
    EXPECT_TRUE(wm->trusted());
    EXPECT_EQ(countLogged(granted), 1);
    EXPECT_EQ(columns(0), (Columns{{a}, {b}}));
    EXPECT_EQ(sim.liveObservers(), 2);
}

TEST_F(ManagerTest, PermissionRegainedWhileOffStartsOnlyWhenEnabledAndOnboarded) {
    display("Built-in Display");
    window(app("Safari"), 100);
    wm->startWatchingPermission();
    auto flip = [&] {
        sim.setTrusted(false);
        time.advance(1.5);
        EXPECT_FALSE(wm->wasOnBeforeLoss);
        sim.setTrusted(true);
        time.advance(1.5);
    };
    prefs->enabled.set(false);
    flip();
    EXPECT_FALSE(wm->on());
    prefs->enabled.set(true);
    prefs->onboarded.set(false);
    flip();
    EXPECT_FALSE(wm->on());
    prefs->onboarded.set(true);
    flip();
    EXPECT_TRUE(wm->on());
    EXPECT_EQ(countLogged(granted), 3);
    EXPECT_EQ(countLogged(lost), 3);
    EXPECT_EQ(permissionLost, 3);  // called on every loss, even while off
}

TEST_F(ManagerTest, UnchangedPermissionBetweenTicksDoesNothing) {
    display("Built-in Display");
    window(app("Safari"), 100);
    wm->startWatchingPermission();
    startAndSettle();
    logs.clear();
    const int dims = feedback.dims;
    sim.resetCounts();
    time.advance(15);
    EXPECT_TRUE(logs.empty());
    EXPECT_TRUE(wm->on());
    EXPECT_EQ(feedback.dims, dims);
    EXPECT_EQ(sim.totals().total(), 0);
    // Watching again replaces the timer instead of adding a second one.
    wm->startWatchingPermission();
    sim.setTrusted(false);
    time.advance(1.5);
    EXPECT_EQ(countLogged(lost), 1);
}

TEST_F(ManagerTest, PauseLastsAnHourFromWhenItBegan) {
    display("Built-in Display");
    window(app("Safari"), 100);
    startAndSettle();
    int dims = feedback.dims;
    wm->paused.set(true);
    EXPECT_EQ(feedback.dims, dims + 1);
    EXPECT_TRUE(wm->on());
    EXPECT_EQ(wm->strips().size(), 1u);
    EXPECT_EQ(wm->statusLine(), "Paused for 1 hour. Windows are left where they are.");
    time.advance(1800);
    // Assigning the value it holds is no change: nobody hears of it, no
    // follow-up runs, and the hour goes on.
    int told = 0;
    Connection own = wm->paused.changed.connect([&](const bool&) { ++told; });
    Connection any = wm->changed.connect([&] { ++told; });
    dims = feedback.dims;
    wm->paused.set(true);
    EXPECT_EQ(told, 0);
    EXPECT_EQ(feedback.dims, dims);
    time.advance(1799);
    EXPECT_TRUE(wm->paused());
    time.advance(1);
    EXPECT_FALSE(wm->paused());
    EXPECT_EQ(told, 2);  // the property's own subscriber, then the manager's
    EXPECT_FALSE(wm->pauseTimer);
    EXPECT_EQ(feedback.dims, dims + 1);
    EXPECT_TRUE(wm->on());

    // Unpausing by hand ends the timer; a pause set while off runs on and survives a stop.
    wm->paused.set(true);
    wm->paused.set(false);
    EXPECT_FALSE(wm->pauseTimer);
    wm->stop(false);
    wm->paused.set(true);
    EXPECT_EQ(wm->statusLine(), "Tarvela is off. Turn this on to arrange windows.");
    time.advance(3600);
    EXPECT_FALSE(wm->paused());
}

TEST_F(ManagerTest, StopLeavesWindowsAndKeepsFloatingMemoryAndPause) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 800);
    startAndSettle();
    sim.focusWindow(b);
    settle();
    wm->perform(Action::floatToggle, 0);
    wm->paused.set(true);
    const size_t remembered = wm->memory.size();
    EXPECT_GT(remembered, 0u);
    sim.resetCounts();
    const int dims = feedback.dims;
    wm->stop(false);
    EXPECT_FALSE(wm->on());
    EXPECT_TRUE(wm->strips().empty());
    EXPECT_TRUE(wm->bag.empty());
    EXPECT_TRUE(wm->observers.empty());
    EXPECT_TRUE(wm->wsObs.empty());
    EXPECT_EQ(sim.liveMouseMonitors(), 1);  // replaced by the next start, idle meanwhile
    EXPECT_EQ(feedback.dims, dims + 1);
    EXPECT_EQ(sim.totals().total(), 0);
    EXPECT_TRUE(isFloating(b));
    EXPECT_EQ(wm->memory.size(), remembered);
    EXPECT_TRUE(wm->paused());
    EXPECT_TRUE(wm->pauseTimer);
    // Off: mouse-ups, new windows and closings leave everything alone.
    sim.dragWindow(a, Point{300, 300});
    sim.mouseUp();
    window(pid, 500);
    settle();
    EXPECT_EQ(sim.totals().total(), 0);

    // stop(keepObservers: true) keeps the platform subscriptions.
    wm->paused.set(false);
    startAndSettle();
    wm->stop(true);
    EXPECT_EQ(sim.liveObservers(), 1);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 5);
}

TEST_F(ManagerTest, StatusLineCurAndOther) {
    EXPECT_EQ(wm->statusLine(), "Tarvela is off. Turn this on to arrange windows.");
    wm->note.set("Sent Safari to Studio");
    EXPECT_EQ(wm->statusLine(), "Sent Safari to Studio");
    sim.setTrusted(false);
    wm->start();
    EXPECT_EQ(wm->statusLine(), "Sent Safari to Studio");  // the note wins even without permission
    wm->note.set("");
    sim.setTrusted(true);

    EXPECT_EQ(wm->cur(), nullptr);
    EXPECT_EQ(wm->other(), nullptr);
    display("Built-in Display");
    const int32_t pid = app("Safari");
    window(pid, 100);
    window(pid, 800);
    startAndSettle();
    EXPECT_EQ(wm->statusLine(), "Tarvela is on · Built-in display · 2 columns");
    EXPECT_EQ(wm->other(), nullptr);

    display("Studio Display");
    display("Side Display");
    settle();
    ASSERT_EQ(wm->strips().size(), 3u);
    wm->displayIdx.set(2);
    EXPECT_EQ(wm->cur(), strip(2));
    EXPECT_EQ(wm->other(), strip(0));
    wm->displayIdx.set(0);
    EXPECT_EQ(wm->other(), strip(1));
    wm->displayIdx.set(7);  // a display was unplugged
    EXPECT_EQ(wm->cur(), strip(2));
    EXPECT_EQ(wm->statusLine(), "Tarvela is on · Side Display · 0 columns");
}

TEST_F(ManagerTest, PublishedChangesReachSubscribers) {
    int changes = 0;
    auto c = wm->changed.connect([&] { ++changes; });
    std::vector<bool> trustedSeen;
    auto t = wm->trusted.changed.connect([&](const bool& v) { trustedSeen.push_back(v); });
    display("Built-in Display");
    window(app("Safari"), 100);
    wm->startWatchingPermission();
    startAndSettle();
    EXPECT_GT(changes, 0);
    const int before = changes;
    wm->perform(Action::wider, 0);  // a strip's width change is the manager's change too
    EXPECT_GT(changes, before);
    sim.setTrusted(false);
    time.advance(1.5);
    EXPECT_EQ(trustedSeen.back(), false);
}

TEST_F(ManagerTest, TimersAndNotificationsDoNothingOnceTheManagerIsGone) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    window(pid, 100);
    wm->startWatchingPermission();
    startAndSettle();
    wm->paused.set(true);
    window(pid, 700);
    sim.postActiveSpaceChange();
    sim.mouseUp();
    wm.reset();
    sim.setTrusted(false);
    EXPECT_NO_FATAL_FAILURE(time.advance(4000));
    EXPECT_EQ(sim.liveObservers(), 0);
    EXPECT_EQ(sim.liveWorkspaceObservers(), 0);
    EXPECT_EQ(sim.liveMouseMonitors(), 0);
}

TEST_F(ManagerTest, DimOverlayIsRefreshedWheneverWhatIsShownChanges) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 800);
    AXElement c = window(pid, 1400);
    int dims = feedback.dims;
    auto refreshed = [&](const char* what) {
        EXPECT_GT(feedback.dims, dims) << what;
        dims = feedback.dims;
    };
    startAndSettle();
    refreshed("start");
    sim.focusWindow(c);  // off to the right: the strip slides to it
    time.drain();
    refreshed("focus change");
    time.advance(0.2);
    dims = feedback.dims;
    time.advance(0.2);
    refreshed("slide at rest");
    sim.closeWindow(a);
    time.drain();
    refreshed("prune");
    sim.postActiveSpaceChange();
    settle();
    refreshed("rebuild");
    sim.focusWindow(b);
    settle();
    dims = feedback.dims;
    wm->perform(Action::floatToggle, 0);
    refreshed("float");
    wm->paused.set(true);
    refreshed("pause");
    wm->paused.set(false);
    refreshed("unpause");
    wm->stop(false);
    refreshed("stop");
}

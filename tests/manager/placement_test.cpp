#include <cmath>

#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;
using Columns = tarvela::testing::Columns;

namespace {
std::vector<size_t> sizes(const Columns& cols) {
    std::vector<size_t> out;
    for (const auto& c : cols) out.push_back(c.size());
    return out;
}
}  // namespace

TEST_F(ManagerTest, RecallClosesGapsOrdersRowsAndAppendsNewWindows) {
    display("Built-in Display");
    prefs->defaultWidth.set(0.25);
    rules->setRules({AppRule{"org.Notes", "Notes", Behavior::tile, 0.4}});
    const int32_t safari = app("Safari");
    const int32_t notes = app("Notes");
    AXElement a = window(safari, 100);
    AXElement b = window(safari, 400);
    AXElement c = window(safari, 700);
    AXElement d = window(safari, 1000);
    AXElement e = window(safari, 1300);
    startAndSettle();
    ASSERT_EQ(columns(0), (Columns{{a}, {b}, {c}, {d}, {e}}));
    wm->perform(Action::jump, 4);
    wm->perform(Action::wider, 0);  // d's column to a third
    wm->perform(Action::jump, 2);
    wm->perform(Action::stackLeft, 0);  // b goes under a
    settle();
    ASSERT_EQ(columns(0), (Columns{{a, b}, {c}, {d}, {e}}));

    // Off: the user closes c, shuffles the stacked pair and opens two windows.
    wm->stop(false);
    sim.closeWindow(c);
    sim.dragWindow(b, Point{0, 300});
    sim.dragWindow(a, Point{900, 300});
    AXElement n = window(notes, 1500, 400);
    AXElement m = window(safari, 1400, 400);
    startAndSettle();
    EXPECT_EQ(columns(0), (Columns{{a, b}, {d}, {e}, {m}, {n}}));
    const std::vector<double> f = fracs(0);
    ASSERT_EQ(f.size(), 5u);
    EXPECT_EQ(f[0], 0.25);
    EXPECT_NEAR(f[1], 1.0 / 3, 1e-9);
    EXPECT_EQ(f[2], 0.25);
    EXPECT_EQ(f[3], 0.25);  // no rule: the default width
    EXPECT_EQ(f[4], 0.4);   // its rule's width
    EXPECT_EQ(strip(0)->checkInvariants(), "");

    // The memory follows the settled arrangement, renumbered.
    auto memo = [&](AXElement el) { return wm->memory.at(*sim.windowNumber(el)); };
    EXPECT_EQ(memo(b), (WindowManager::Memo{0, 1, 0.25}));
    EXPECT_EQ(memo(e).col, 2);
    EXPECT_EQ(memo(n), (WindowManager::Memo{4, 0, 0.4}));

    // A window without a number is never remembered: it comes back as new, at the end.
    WindowSpec anonymous;
    anonymous.hasNumber = false;
    AXElement x = sim.addWindow(safari, Rect(50, 100, 300, 300), anonymous);
    settle();
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(columns(0).back(), std::vector<AXElement>{x});
}

TEST_F(ManagerTest, AWindowBackFromFullScreenGetsItsOwnColumnBack) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100), b = window(pid, 400), c = window(pid, 700), d = window(pid, 1000);
    startAndSettle();
    wm->perform(Action::jump, 4);
    wm->perform(Action::stackLeft, 0);  // d under c: the rows of others survive too
    settle();
    const Columns before{{a}, {b}, {c, d}};
    ASSERT_EQ(columns(0), before);
    // While b is away, the others close up and are remembered one column left.
    sim.setFullScreen(b, true);
    sim.postActiveSpaceChange();
    settle();
    ASSERT_EQ(columns(0), (Columns{{a}, {c, d}}));
    sim.setFullScreen(b, false);
    sim.postActiveSpaceChange();
    settle();
    EXPECT_EQ(columns(0), before);
}

TEST_F(ManagerTest, WithoutMemoryWindowsAreGroupedByTheLayout) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    auto fresh = [&](Layout layout, int count) {
        wm.reset();
        for (AXElement el : sim.windowsOf(pid)) sim.closeWindow(el);
        for (int i = 0; i < count; ++i) window(pid, 50 + 100 * i, 300);
        prefs->layout.set(layout);
        wm = makeManager();
        startAndSettle();
        EXPECT_EQ(strip(0)->layout, layout);
        return sizes(columns(0));
    };
    EXPECT_EQ(fresh(Layout::grid22, 4), (std::vector<size_t>{2, 2}));
    EXPECT_EQ(fresh(Layout::strip, 4), (std::vector<size_t>{1, 1, 1, 1}));
    EXPECT_EQ(fresh(Layout::plus12, 3), (std::vector<size_t>{1, 2}));
    EXPECT_EQ(fresh(Layout::plus21, 5), (std::vector<size_t>{2, 1, 2}));
    EXPECT_EQ(fresh(Layout::three, 2), (std::vector<size_t>{1, 1}));
    EXPECT_NEAR(fracs(0)[0], 1.0 / 3, 1e-9);

    // One remembered window and two new ones: remembered first, then singles.
    wm->stop(false);
    AXElement n1 = window(pid, 1200, 300);
    AXElement n2 = window(pid, 1500, 300);
    const AXElement kept = sim.windowsOf(pid).front();
    for (AXElement el : sim.windowsOf(pid))
        if (el != n1 && el != n2 && el != kept) sim.closeWindow(el);
    prefs->layout.set(Layout::grid22);
    startAndSettle();
    EXPECT_EQ(columns(0), (Columns{{kept}, {n1}, {n2}}));
    EXPECT_EQ(fracs(0)[1], prefs->defaultWidth());
}

TEST_F(ManagerTest, FloatAndTileAgain) {
    display("Built-in Display");
    display("Studio Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    startAndSettle();

    // A big window that the strips never took (it opened during a pause).
    wm->paused.set(true);
    AXElement big = window(pid, 300, 1200, 800, 120);
    AXElement small = window(pid, 500, 600, 400, 150);
    settle();
    wm->paused.set(false);
    sim.focusWindow(big);
    settle();
    int dims = feedback.dims;
    wm->perform(Action::floatToggle, 0);
    EXPECT_EQ(*sim.frameOf(big), Rect(300, 120, 900, 640));
    EXPECT_TRUE(isFloating(big));
    EXPECT_EQ(wm->note(), "Window floats until you press the shortcut again");
    EXPECT_GT(feedback.dims, dims);
    sim.focusWindow(small);
    settle();
    int changes = 0;
    Connection counting = wm->changed.connect([&] { ++changes; });
    wm->perform(Action::floatToggle, 0);
    EXPECT_EQ(*sim.frameOf(small), Rect(500, 150, 600, 400));
    EXPECT_EQ(changes, 1) << "the note reads as it did, yet another window floats";

    // A tiled window floats out of its strip, never bigger than 900 x 640.
    sim.focusWindow(a);
    settle();
    const auto home = sim.assignedDisplay(a);
    ASSERT_TRUE(home);
    wm->perform(Action::floatToggle, 0);
    EXPECT_EQ(stripOf(a), -1);
    EXPECT_TRUE(isFloating(a));
    EXPECT_FALSE(sim.assignedDisplay(a));  // the platform lets it go
    EXPECT_LE(sim.frameOf(a)->width, 900);
    EXPECT_LE(sim.frameOf(a)->height, 640);

    // Floated windows stay out: rebuilds, minimise and restore, relaunch adoption.
    sim.postActiveSpaceChange();
    settle();
    sim.setMinimized(a, true);
    settle();
    sim.setMinimized(a, false);
    settle();
    EXPECT_EQ(stripOf(a), -1);
    EXPECT_EQ(stripOf(big), -1);
    EXPECT_TRUE(isFloating(a));

    // Tiled again on the display that holds it, as a new column.
    sim.dragWindow(big, Point{2200, 100});
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_FALSE(isFloating(big));
    EXPECT_EQ(stripOf(big), 1);
    EXPECT_EQ(wm->note(), "Safari is tiled again");
    sim.focusWindow(a);
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_EQ(stripOf(a), 0);
    EXPECT_EQ(sim.assignedDisplay(a), home);

    // A floated window that closes is forgotten at the next prune.
    EXPECT_TRUE(isFloating(small));
    sim.closeWindow(small);
    settle();
    EXPECT_FALSE(isFloating(small));
}

TEST_F(ManagerTest, TheInvariantCheckNamesAWindowInTwoPlacesAndAMemoryOfNoPlace) {
    display("Built-in Display");
    const AXElement w = window(app("Safari"), 100);
    startAndSettle();
    EXPECT_EQ(wm->checkInvariants(), std::vector<std::string>{});
    wm->floating.push_back(w);
    wm->memory[77] = WindowManager::Memo{-1, 0, 0.5, 0};
    const std::string id = std::to_string(w.id);
    EXPECT_EQ(wm->checkInvariants(),
              (std::vector<std::string>{"window " + id + " floats and is held by a strip", "window " + id + " has 2 places",
                                        "the memory of window number 77 is no place: column -1, row 0, width "
                                        "0.500000, written 0"}));
    wm->floating.clear();
}

TEST_F(ManagerTest, FloatingRespectsRulesAndDialogs) {
    display("Built-in Display");
    const int32_t zoom = app("Zoom", "Zoom");
    const int32_t safari = app("Safari");
    window(safari, 100);
    AXElement z = window(zoom, 700, 1000, 700);
    startAndSettle();
    sim.focusWindow(z);
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_TRUE(isFloating(z));
    EXPECT_EQ(*sim.frameOf(z), Rect(700, 100, 900, 640));
    // Its rule keeps it out of the strips: toggling only ends the floating.
    wm->perform(Action::floatToggle, 0);
    EXPECT_FALSE(isFloating(z));
    EXPECT_EQ(stripOf(z), -1);

    WindowSpec dialog;
    dialog.subrole = std::string(ax::Dialog);
    AXElement d = sim.addWindow(safari, Rect(200, 200, 400, 300), dialog);
    sim.focusWindow(d);
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_TRUE(isFloating(d));
    wm->perform(Action::floatToggle, 0);
    EXPECT_FALSE(isFloating(d));
    EXPECT_EQ(stripOf(d), -1);

    // Nothing focused: nothing happens.
    wm->note.set("");
    sim.quitApp(zoom);
    sim.quitApp(safari);
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_EQ(wm->note(), "");
}

TEST_F(ManagerTest, SendAcrossTwoAndThreeDisplays) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    AXElement a = window(pid, 100);
    AXElement b = window(pid, 800);
    startAndSettle();
    wm->perform(Action::sendDisplay, 0);
    EXPECT_EQ(wm->note(), "Plug in a second display to send windows across.");
    EXPECT_EQ(columns(0), (Columns{{a}, {b}}));

    display("Studio Display");
    settle();
    ASSERT_EQ(wm->strips().size(), 2u);
    wm->perform(Action::jump, 2);
    settle();
    wm->send();
    EXPECT_EQ(columns(0), (Columns{{a}}));
    EXPECT_EQ(columns(1), (Columns{{b}}));
    EXPECT_EQ(wm->displayIdx(), 1);
    EXPECT_EQ(wm->note(), "Sent Safari to Studio Display");
    settle();
    EXPECT_EQ(sim.focusedWindow(pid), b);  // raised on arrival
    EXPECT_EQ(wm->statusLine(), "Sent Safari to Studio Display");

    display("Side Display");
    settle();
    ASSERT_EQ(wm->strips().size(), 3u);
    // b sits on display 1; sending from display 2 wraps around to display 0.
    wm->displayIdx.set(1);
    wm->send();
    settle();
    EXPECT_EQ(stripOf(b), 2);
    EXPECT_EQ(wm->displayIdx(), 2);
    wm->send();
    settle();
    EXPECT_EQ(stripOf(b), 0);
    EXPECT_EQ(wm->displayIdx(), 0);
    EXPECT_EQ(wm->note(), "Sent Safari to Built-in display");

    // An empty strip has nothing to send and says nothing.
    wm->displayIdx.set(1);
    wm->note.set("");
    wm->send();
    EXPECT_EQ(wm->note(), "");
    for (const StripRef& s : wm->strips()) EXPECT_EQ(s->checkInvariants(), "");
}

TEST_F(ManagerTest, EveryActionOnTheCurrentStrip) {
    display("Built-in Display");
    display("Studio Display");
    prefs->defaultWidth.set(0.25);
    const int32_t pid = app("Safari");
    std::vector<AXElement> w;
    for (int i = 0; i < 4; ++i) w.push_back(window(pid, 100 + 300 * i, 400));
    sim.focusWindow(w[0]);
    startAndSettle();
    StripRef s = strip(0);

    wm->perform(Action::focusPrev, 0);  // stops at the first column
    settle();
    EXPECT_EQ(s->focusC, 0);
    EXPECT_EQ(sim.focusedWindow(pid), w[0]);
    wm->perform(Action::focusNext, 0);
    settle();
    EXPECT_EQ(s->focusC, 1);
    EXPECT_EQ(sim.focusedWindow(pid), w[1]);
    wm->perform(Action::jump, 5);  // four columns: nothing
    settle();
    EXPECT_EQ(s->focusC, 1);
    wm->perform(Action::jump, 0);
    EXPECT_EQ(s->focusC, 1);
    wm->perform(Action::jump, 4);
    wm->perform(Action::focusNext, 0);  // stops at the last
    settle();
    EXPECT_EQ(s->focusC, 3);
    EXPECT_EQ(sim.focusedWindow(pid), w[3]);
    wm->perform(Action::jump, 1);
    settle();
    EXPECT_EQ(s->focusC, 0);
    EXPECT_EQ(sim.focusedWindow(pid), w[0]);

    wm->perform(Action::cycleWidth, 0);
    EXPECT_NEAR(s->cols[0].frac, 1.0 / 3, 1e-9);
    wm->perform(Action::wider, 0);
    EXPECT_EQ(s->cols[0].frac, 0.5);
    wm->perform(Action::narrower, 0);
    EXPECT_NEAR(s->cols[0].frac, 1.0 / 3, 1e-9);

    wm->perform(Action::jump, 2);
    wm->perform(Action::stackLeft, 0);
    settle();
    EXPECT_EQ(columns(0), (Columns{{w[0], w[1]}, {w[2]}, {w[3]}}));

    wm->perform(Action::overview, 0);
    EXPECT_EQ(feedback.shows, 1);
    wm->perform(Action::overview, 0);
    EXPECT_EQ(feedback.closes, 1);

    wm->perform(Action::tileFour, 0);
    settle();
    EXPECT_EQ(prefs->layout(), Layout::grid22);
    EXPECT_EQ(s->layout, Layout::grid22);
    EXPECT_EQ(sizes(columns(0)), (std::vector<size_t>{2, 2}));

    wm->perform(Action::sendDisplay, 0);
    settle();
    EXPECT_EQ(columns(1).size(), 1u);
    EXPECT_EQ(wm->displayIdx(), 1);

    sim.focusWindow(w[3]);
    settle();
    wm->perform(Action::floatToggle, 0);
    EXPECT_TRUE(isFloating(w[3]));
}

TEST_F(ManagerTest, NoActionDoesAnythingWhilePausedOrOff) {
    display("Built-in Display");
    display("Studio Display");
    const int32_t pid = app("Safari");
    for (int i = 0; i < 3; ++i) window(pid, 100 + 500 * i, 400);
    startAndSettle();
    const Columns before = columns(0);
    const AXElement focused = *sim.focusedWindow(pid);
    auto tryAll = [&] {
        sim.resetCounts();
        wm->note.set("");
        for (Action a : allActions) wm->perform(a, 1);
        settle();
        EXPECT_EQ(sim.totals().total(), 0);
        EXPECT_EQ(feedback.shows, 0);
        EXPECT_EQ(prefs->layout(), Layout::strip);
        EXPECT_EQ(wm->note(), "");
        EXPECT_TRUE(wm->floating.empty());
        EXPECT_FALSE(sim.isClosed(focused));
        EXPECT_EQ(attr<bool>(sim, focused, ax::FullScreen), false);
    };
    wm->paused.set(true);
    tryAll();
    EXPECT_EQ(columns(0), before);
    wm->paused.set(false);
    wm->stop(false);
    tryAll();
}

TEST_F(ManagerTest, MemoryIsThinnedBeyondFourHundredEntries) {
    display("Built-in Display");
    const int32_t pid = app("Safari");
    for (int i = 0; i < 300; ++i) window(pid, 100 + i, 300);
    startAndSettle();
    EXPECT_EQ(wm->memory.size(), 300u);
    wm->stop(false);
    for (AXElement el : sim.windowsOf(pid)) sim.closeWindow(el);
    for (int i = 0; i < 300; ++i) window(pid, 100 + i, 300);
    startAndSettle();
    // 600 entries were thinned to about half, at random; never above 400 plus one strip.
    EXPECT_LT(wm->memory.size(), 400u);
    EXPECT_GT(wm->memory.size(), 150u);
}

TEST_F(ManagerTest, ALaunchedWindowOpensBesideTheColumnFocusedAtLaunchWhileTheLaunchIsRecent) {
    display("Built-in Display");
    display("External");
    const int32_t pid = app("Term");
    AXElement a = window(pid, 100), b = window(pid, 800), c = window(pid, 1920 + 100);
    startAndSettle();
    sim.focusWindow(a);
    settle();
    auto opened = [&](double x, const char* startupId) {
        AXElement w = sim.addWindow(pid, Rect(x, 100, 600, 500), WindowSpec{.startupId = startupId});
        settle();
        return w;
    };

    // Launched from a's column; the user moved on to b and then to the other
    // display meanwhile, where the window first appears.
    sim.announceLaunch("launch-1");
    settle(0.1);
    sim.focusWindow(b);
    settle();
    sim.focusWindow(c);
    settle();
    ASSERT_EQ(wm->displayIdx(), 1);
    const AXElement launched = opened(1920 + 700, "launch-1");
    EXPECT_EQ(columns(0), (Columns{{a}, {launched}, {b}}));
    EXPECT_EQ(strip(0)->focusedItem()->el, launched);
    EXPECT_EQ(wm->displayIdx(), 0);

    // A launch places its first window only; a second opens where the user is.
    sim.focusWindow(c);
    settle();
    const AXElement second = opened(1920 + 700, "launch-1");
    EXPECT_EQ(stripOf(second), 1);

    // A launch from long ago no longer decides.
    sim.announceLaunch("launch-2");
    settle(0.1);
    sim.focusWindow(a);
    settle(LaunchContexts::bound + 1);
    const AXElement late = opened(700, "launch-2");
    EXPECT_EQ(stripOf(late), 0);
    EXPECT_EQ(columns(0)[1], std::vector<AXElement>{late});
}

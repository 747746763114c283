// Tarvela's shell and manager on a real X server, in this process: real
// clients (xterm, xlogo, xeyes), real slides on the animation threads, and the
// server's own idea of every window's geometry compared with the engine's.
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/window_access.h"
#include "feedback/status_item.h"
#include "input/hotkeys.h"
#include "shell_x11_fixture.h"
#include "tests/support/fake_metrics.h"

namespace tarvela::testing {
namespace {

TEST_F(ShellX11Test, WindowsAlreadyOpenAreTiledInColumnsAtStartIncludingOffScreen) {
    // No window manager yet: each client maps where it asks, so the left edges give the order.
    std::vector<Child> apps;
    apps.push_back(client({"xlogo", "-geometry", "300x300+500+200"}));
    apps.push_back(client({"xterm", "-geometry", "80x24+0+200"}));
    apps.push_back(client({"xeyes", "-geometry", "300x300+900+200"}));
    apps.push_back(client({"xterm", "-geometry", "80x24+1300+200"}));
    apps.push_back(client({"xlogo", "-geometry", "300x300+1500+300"}));
    apps.push_back(client({"xeyes", "-geometry", "200x200+1700+300"}));
    ASSERT_TRUE(waitMapped(6));
    startShell();
    ASSERT_TRUE(manager().on());
    ASSERT_EQ(manager().strips().size(), 1u);
    ASSERT_EQ(strip(0)->cols.size(), 6u);
    EXPECT_TRUE(logged("display 0 " + strip(0)->shortName() + ": 6 windows"));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");

    const std::vector<pid_t> order{apps[1].pid(), apps[0].pid(), apps[2].pid(),
                                   apps[3].pid(), apps[4].pid(), apps[5].pid()};
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(strip(0)->cols[i].items[0].pid, order[i]) << i;
    // Six half-width columns are three screens wide: those out of view are parked
    // entirely beyond the edge, still exactly where the engine put them.
    auto offScreen = [&] {
        int n = 0;
        for (const Col& c : strip(0)->cols) n += fullyOffScreen(c.items[0].el, 0, 1920);
        return n;
    };
    EXPECT_GE(offScreen(), 2);

    // Sliding to the far end: every column again where computed, the first ones now parked left.
    manager().perform(Action::jump, 4);
    ASSERT_TRUE(quiet());
    manager().perform(Action::focusNext, 0);
    ASSERT_TRUE(quiet());
    manager().perform(Action::focusNext, 0);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->focusC, 5);
    EXPECT_EQ(mismatches(), "");
    EXPECT_TRUE(fullyOffScreen(strip(0)->cols[0].items[0].el, 0, 1920));
    EXPECT_FALSE(fullyOffScreen(strip(0)->cols[5].items[0].el, 0, 1920));
    EXPECT_TRUE(logged("scroll: "));
}

TEST_F(ShellX11Test, ANewWindowJoinsBesideTheFocusedColumnAndALaunchedOneBesideTheColumnOfItsLaunch) {
    Child a = client({"xterm", "-geometry", "+0+100"});
    Child b = client({"xterm", "-geometry", "+600+100"});
    Child c = client({"xterm", "-geometry", "+1200+100"});
    ASSERT_TRUE(waitMapped(3));
    startShell();
    // The start-up's own focus changes are through before the jump (a late one
    // taking the focus back after it is a separate, known race).
    ASSERT_TRUE(quiet());
    manager().perform(Action::jump, 1);
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(0)->focusC, 0);
    const AXElement first = strip(0)->cols[0].items[0].el;

    Child logo = client({"xlogo"});
    const AXElement w = windowOf(logo.pid());
    ASSERT_TRUE(w);
    const double seen = loop_.now();
    EXPECT_FALSE(stripOf(w));  // judged only once the window had its moment
    ASSERT_TRUE(waitFor([&] { return stripOf(w) != nullptr; }, 3));
    const double joined = loop_.now() - seen;
    EXPECT_GE(joined, 0.3);
    EXPECT_LT(joined, 1.5);
    ASSERT_EQ(strip(0)->cols.size(), 4u);
    EXPECT_EQ(strip(0)->find(w), std::make_pair(1, 0));
    EXPECT_EQ(strip(0)->focusC, 1);
    EXPECT_TRUE(logged(" joined " + strip(0)->shortName()));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
    const auto left = tc_->geometry(xid(first));
    EXPECT_EQ(tc_->geometry(xid(w)).x, left.x + left.w + 20);

    // A launcher announces a launch from that column; the user moves to the
    // last before the program (xterm, which knows no startup notification)
    // shows its window: it opens beside the column of the launch.
    tc_->announce("new: ID=\"launcher-7 xterm_TIME42\" SCREEN=0 NAME=XTerm");
    ASSERT_TRUE(barrier());
    bool heard = false;  // posted after what the announcement posted
    loop_.post([&] { heard = true; });
    ASSERT_TRUE(waitFor([&] { return heard; }));
    manager().perform(Action::jump, 4);
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(0)->focusC, 3);
    Child launched = client({"env", "DESKTOP_STARTUP_ID=launcher-7 xterm_TIME42", "xterm"});
    const AXElement t = windowOf(launched.pid());
    ASSERT_TRUE(t);
    ASSERT_TRUE(waitFor([&] { return stripOf(t) != nullptr; }, 3));
    EXPECT_EQ(strip(0)->find(t), std::make_pair(2, 0));
    EXPECT_EQ(strip(0)->focusC, 2);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
}

TEST_F(ShellX11Test, AnApplicationDoesNotTakeTheFocusFromTypingAndUrgencyBadgesThePill) {
    Child a = client({"xterm", "-geometry", "+0+100"});
    Child b = client({"xterm", "-geometry", "+600+100"});
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement typing = strip(0)->focusedItem()->el;
    const AXElement other = strip(0)->cols[0].items[0].el == typing ? strip(0)->cols[1].items[0].el
                                                                     : strip(0)->cols[0].items[0].el;
    FakeMetrics metrics;
    auto badged = [&] { return PillImage::make(manager(), false, false, std::nullopt, metrics).badge.has_value(); };
    auto active = [&] { return tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"); };
    // The user types in one window (its toolkit stamps the key press); the
    // other application asks for the focus with an older input of its own.
    tc_->setCardinals(xid(typing), "_NET_WM_USER_TIME", XCB_ATOM_CARDINAL, {100000});
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return attr<int64_t>(*wm_, typing, ax::UserTime).has_value(); }));
    tc_->rootMessage(xid(other), "_NET_ACTIVE_WINDOW", {1, 50000, 0});
    ASSERT_TRUE(waitFor([&] { return manager().wantsAttention(other); }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->focusedItem()->el, typing);
    EXPECT_EQ(active(), std::vector<uint32_t>{xid(typing)});
    EXPECT_TRUE(badged());
    // A taskbar acts for the user.
    tc_->rootMessage(xid(other), "_NET_ACTIVE_WINDOW", {2, 0, 0});
    ASSERT_TRUE(waitFor([&] { return active() == std::vector<uint32_t>{xid(other)}; }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->focusedItem()->el, other);
    EXPECT_FALSE(badged());
    // A client's urgency hint marks its window on the pill.
    tc_->setCardinals(xid(typing), "WM_HINTS", XCB_ATOM_WM_HINTS, {256, 0, 0, 0, 0, 0, 0, 0, 0});
    tc_->sync();
    EXPECT_TRUE(waitFor(badged));
    EXPECT_EQ(manager().attention(), std::vector<AXElement>{typing});
}

TEST_F(ShellX11Test, AWindowRefusedTheFocusAtMapIsNeverFocusedAndTaskbarsSeeItsMark) {
    Child a = client({"xterm", "-geometry", "+0+100"});
    ASSERT_TRUE(waitMapped(1));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement typing = strip(0)->focusedItem()->el;
    const xcb_atom_t demands = tc_->atom("_NET_WM_STATE_DEMANDS_ATTENTION");
    auto marked = [&](xcb_window_t w) {
        const auto states = tc_->cardinals(w, "_NET_WM_STATE");
        return std::find(states.begin(), states.end(), demands) != states.end();
    };
    // A window that asks not to be focused (user time 0), watching its focus.
    const xcb_window_t w = managedWindow(4242, Rect(300, 100, 400, 300), [&](xcb_window_t win) {
        tc_->setCardinals(win, "_NET_WM_USER_TIME", XCB_ATOM_CARDINAL, {0});
        const uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(tc_->c(), win, XCB_CW_EVENT_MASK, &mask);
    });
    const AXElement el = AXElement::window(w);
    ASSERT_TRUE(waitFor([&] { return stripOf(el) != nullptr; }, 3));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->focusedItem()->el, typing);
    EXPECT_TRUE(manager().wantsAttention(el));
    EXPECT_TRUE(marked(w));
    bool focused = false;
    while (xcb_generic_event_t* ev = xcb_poll_for_event(tc_->c())) {
        focused |= (ev->response_type & 0x7f) == XCB_FOCUS_IN && reinterpret_cast<xcb_focus_in_event_t*>(ev)->event == w;
        free(ev);
    }
    EXPECT_FALSE(focused);
    // The jump to it clears the mark, for taskbars too.
    manager().perform(Action::focusUrgent, 0);
    ASSERT_TRUE(waitFor([&] { return !marked(w); }));
    EXPECT_FALSE(manager().wantsAttention(el));
}

TEST_F(ShellX11Test, ClosingIconifyingAndRestoringFollowTheStrip) {
    Child term = client({"xterm", "-geometry", "+0+100"});
    Child logo = client({"xlogo", "-geometry", "300x300+600+100"});
    Child eyes = client({"xeyes", "-geometry", "300x300+1200+100"});
    ASSERT_TRUE(waitMapped(3));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement t = windowOf(term.pid()), l = windowOf(logo.pid()), e = windowOf(eyes.pid());
    ASSERT_TRUE(t && l && e);
    ASSERT_EQ(strip(0)->cols.size(), 3u);

    tc_->rootMessage(xid(l), "WM_CHANGE_STATE", {3});  // IconicState, as a client's own minimise sends it
    ASSERT_TRUE(waitFor([&] { return !stripOf(l); }));
    ASSERT_TRUE(quiet());
    EXPECT_FALSE(tc_->viewable(xid(l)));
    EXPECT_EQ(strip(0)->cols.size(), 2u);
    EXPECT_EQ(mismatches(), "");

    tc_->rootMessage(xid(l), "_NET_ACTIVE_WINDOW", {2, 0, 0});  // a pager restores it
    ASSERT_TRUE(waitFor([&] { return stripOf(l) != nullptr; }));
    ASSERT_TRUE(quiet());
    EXPECT_TRUE(tc_->viewable(xid(l)));
    EXPECT_EQ(strip(0)->cols.size(), 3u);
    EXPECT_EQ(mismatches(), "");

    tc_->rootMessage(xid(t), "_NET_CLOSE_WINDOW", {0, 2});  // xterm answers WM_DELETE_WINDOW by quitting
    ASSERT_TRUE(waitFor([&] { return !stripOf(t); }));
    EXPECT_TRUE(waitFor([&] { return term.exited(); }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->cols.size(), 2u);
    EXPECT_EQ(mismatches(), "");

    ::kill(eyes.pid(), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return !stripOf(e); }));
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(0)->cols.size(), 1u);
    EXPECT_EQ(strip(0)->cols[0].items[0].el, l);
    EXPECT_EQ(mismatches(), "");
    EXPECT_TRUE(manager().on());
}

TEST_F(ShellX11Test, OnceTheManagerIsOffWindowsPlaceThemselvesAgain) {
    const xcb_window_t own = tc_->createWindow(700, 100, 300, 200);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {424242});
    xcb_map_window(tc_->c(), own);
    Child term = client({"xterm", "-geometry", "+0+100"});
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    ASSERT_TRUE(stripOf(AXElement::window(own)));
    const auto arranged = tc_->geometry(own);

    const uint16_t mask = XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    const uint32_t want[] = {50, 60, 400, 250};
    auto ask = [&] {
        xcb_configure_window(tc_->c(), own, mask, want);
        tc_->sync();
        ASSERT_TRUE(barrier());
    };
    ask();  // the strip keeps its windows in place
    auto g = tc_->geometry(own);
    EXPECT_EQ(std::make_tuple(g.x, g.y, g.w, g.h), std::make_tuple(arranged.x, arranged.y, arranged.w, arranged.h));

    const int before = stops_;
    manager().stop(false);  // the user's off switch
    EXPECT_EQ(stops_, before + 1);
    ask();
    g = tc_->geometry(own);
    EXPECT_EQ(std::make_tuple(g.x, g.y, g.w, g.h), std::make_tuple(50, 60, 400, 250));
    // The terminal was not moved by the stop.
    EXPECT_TRUE(tc_->viewable(xid(windowOf(term.pid()))));
}

TEST_F(ShellX11Test, SizeHintsGiveLearnedLimitsAndFitFlags) {
    Child term = client({"xterm", "-geometry", "+0+100"});
    // A window that will not be narrower than 1000 pixels (ICCCM PMinSize).
    const xcb_window_t own = tc_->createWindow(1000, 100, 1000, 400);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {515151});
    tc_->setCardinals(own, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS,
                      {16, 0, 0, 0, 0, 1000, 200, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    xcb_map_window(tc_->c(), own);
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement t = windowOf(term.pid());
    const AXElement o = AXElement::window(own);
    ASSERT_EQ(strip(0)->find(t), std::make_pair(0, 0));
    ASSERT_EQ(strip(0)->find(o), std::make_pair(1, 0));
    // Half the usable 1840 is 910 = 4 + 151 x 6: the terminal takes it exactly.
    manager().perform(Action::jump, 1);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(tc_->geometry(xid(t)).w, 910);
    EXPECT_FALSE(strip(0)->cols[0].items[0].maxW);
    EXPECT_EQ(strip(0)->fit, (Fit{49, false, false, false}));

    // Two thirds ask for 1220; character cells give 1216. A shortfall under one
    // cell is snapping, not a limit: nothing is learned and wider still works.
    manager().perform(Action::cycleWidth, 0);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(tc_->geometry(xid(t)).w, 1216);
    EXPECT_FALSE(strip(0)->cols[0].items[0].maxW);
    EXPECT_EQ(strip(0)->fit, (Fit{66, false, false, false}));
    EXPECT_EQ(mismatches(), "");
    manager().perform(Action::wider, 0);  // three quarters ask for 1375: 228 cells
    ASSERT_TRUE(quiet());
    EXPECT_EQ(tc_->geometry(xid(t)).w, 1372);

    manager().perform(Action::jump, 2);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(tc_->geometry(own).w, 1000);
    EXPECT_EQ(strip(0)->cols[1].items[0].minW, 1000);
    EXPECT_EQ(strip(0)->fit, (Fit{54, false, false, true}));
    manager().perform(Action::narrower, 0);  // half would be floored: refused
    ASSERT_TRUE(quiet());
    EXPECT_EQ(tc_->geometry(own).w, 1000);
    EXPECT_EQ(mismatches(), "");
}

class TwoMonitorShell : public ShellX11Test {
protected:
    // A terminal on the left monitor, a logo and eyes on the right, tiled.
    void startTiled() {
        twoMonitors();
        term = client({"xterm", "-geometry", "+100+100"});
        logo = client({"xlogo", "-geometry", "300x300+1200+100"});
        eyes = client({"xeyes", "-geometry", "300x300+1500+100"});
        ASSERT_TRUE(waitMapped(3));
        startShell();
        ASSERT_EQ(manager().strips().size(), 2u);
        ASSERT_TRUE(quiet());
        t = windowOf(term.pid());
        l = windowOf(logo.pid());
        e = windowOf(eyes.pid());
    }
    // The note a move to strip i leaves, naming the window now focused there.
    std::string noteFor(const char* verb, int i) {
        const StripRef s = strip(i);
        return verb + (" " + s->cols[static_cast<size_t>(s->focusC)].items[0].app) + " to " + s->displayName();
    }
    Child term, logo, eyes;
    AXElement t, l, e;
};

TEST_F(TwoMonitorShell, TwoMonitorsGiveTwoStripsAndSendMovesTheFocusedWindow) {
    startTiled();
    EXPECT_EQ(stripOf(t), strip(0));
    EXPECT_EQ(stripOf(l), strip(1));
    EXPECT_EQ(stripOf(e), strip(1));
    EXPECT_EQ(mismatches(), "");
    // Each strip stays on its own monitor.
    for (const AXElement& el : {t, l, e}) {
        const auto g = tc_->geometry(xid(el));
        const int lo = stripOf(el) == strip(0) ? 0 : 960;
        EXPECT_GE(g.x, lo);
        EXPECT_LE(g.x + g.w, lo + 960);
    }

    tc_->rootMessage(xid(t), "_NET_ACTIVE_WINDOW", {2, 0, 0});
    ASSERT_TRUE(waitFor([&] {
        auto front = wm_->frontmostApplication();
        return front && front->pid == term.pid() && manager().displayIdx() == 0;
    }));
    manager().perform(Action::sendDisplay, 0);
    EXPECT_EQ(stripOf(t), strip(1));
    EXPECT_TRUE(strip(0)->cols.empty());
    EXPECT_EQ(manager().displayIdx(), 1);
    EXPECT_EQ(manager().note(), noteFor("Sent", 1));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
    const auto g = tc_->geometry(xid(t));
    EXPECT_GE(g.x, 960);
    EXPECT_LE(g.x + g.w, 1920);
}

TEST_F(TwoMonitorShell, AnAltDragSnapsBackWithinADisplayAndMovesStripsAcrossDisplays) {
    startTiled();
    const auto home = tc_->geometry(xid(t));
    ASSERT_TRUE(altDrag(home.x + 50, home.y + 50, home.x + 250, home.y + 150));
    const auto dropped = tc_->geometry(xid(t));
    EXPECT_EQ(dropped.x, home.x + 200);  // the drag itself moved it ...
    EXPECT_EQ(dropped.y, home.y + 100);
    ASSERT_TRUE(waitFor([&] {  // ... and the strip puts it back
        const auto g = tc_->geometry(xid(t));
        return g.x == home.x && g.y == home.y;
    }));
    EXPECT_EQ(stripOf(t), strip(0));

    const auto lg = tc_->geometry(xid(l));
    ASSERT_TRUE(altDrag(lg.x + 40, lg.y + 40, lg.x + 40 - 800, lg.y + 40));
    ASSERT_TRUE(waitFor([&] { return stripOf(l) == strip(0); }));
    EXPECT_EQ(manager().note(), noteFor("Moved", 0));
    EXPECT_EQ(strip(0)->cols.size(), 2u);
    EXPECT_EQ(strip(1)->cols.size(), 1u);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
}

TEST_F(ShellX11Test, WithOpenboxRunningTarvelaWaitsAndStartsOnceItQuits) {
    Child openbox = client({"openbox", "--config-file", openboxConfig()});
    ASSERT_TRUE(waitFor([&] { return tc_->selectionOwner("WM_S0") != XCB_NONE; }));
    Child a = client({"xterm"});
    Child b = client({"xterm"});
    ASSERT_TRUE(waitFor([&] { return tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size() == 2; }));
    startShell();
    EXPECT_FALSE(manager().trusted());
    EXPECT_FALSE(manager().on());
    EXPECT_TRUE(logged("accessibility false"));
    EXPECT_TRUE(logged("another window manager holds the display"));

    openbox.stop();
    ASSERT_TRUE(waitFor([&] { return manager().on(); }, 8));
    EXPECT_TRUE(logged("Accessibility permission granted"));
    ASSERT_TRUE(waitFor([&] { return strip(0)->cols.size() == 2; }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
}

TEST_F(ShellX11Test, OpenboxReplaceTakesOverAndTarvelaStopsLeavingWindowsInPlace) {
    Child a = client({"xterm", "-geometry", "+0+100"});
    Child b = client({"xterm", "-geometry", "+900+100"});
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    const std::vector<xcb_window_t> wins{xid(windowOf(a.pid())), xid(windowOf(b.pid()))};
    std::vector<TestClient::Geom> before;
    for (xcb_window_t w : wins) before.push_back(tc_->geometry(w));
    const xcb_window_t ours = tc_->selectionOwner("WM_S0");
    const int stops = stops_;

    Child openbox = client({"openbox", "--replace", "--config-file", openboxConfig()});
    ASSERT_TRUE(waitFor([&] { return !manager().on(); }, 8));
    EXPECT_TRUE(logged("Accessibility permission lost"));
    EXPECT_GT(stops_, stops);
    EXPECT_TRUE(manager().strips().empty());
    ASSERT_TRUE(waitFor([&] {
        const xcb_window_t o = tc_->selectionOwner("WM_S0");
        return o != XCB_NONE && o != ours && tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size() == 2;
    }));
    for (size_t i = 0; i < wins.size(); ++i) {
        const auto g = tc_->geometry(wins[i]);
        // Where we left them, give or take the frame openbox draws around them.
        EXPECT_NEAR(g.x, before[i].x, 30) << i;
        EXPECT_NEAR(g.y, before[i].y, 60) << i;
        EXPECT_EQ(g.w, before[i].w) << i;
        EXPECT_EQ(g.h, before[i].h) << i;
    }
}

TEST_F(ShellX11Test, AClientKilledMidSlideLeavesTheAnimationAndTheManagerIntact) {
    std::vector<Child> terms;
    for (int i = 0; i < 8; ++i) terms.push_back(client({"xterm", "-geometry", "+" + std::to_string(i * 100) + "+100"}));
    ASSERT_TRUE(waitMapped(8));
    startShell();
    ASSERT_EQ(strip(0)->cols.size(), 8u);
    manager().perform(Action::jump, 1);
    ASSERT_TRUE(quiet());

    manager().perform(Action::jump, 4);
    ASSERT_TRUE(strip(0)->animating);
    const AXElement victim = strip(0)->cols[2].items[0].el;  // moving through the view right now
    ::kill(terms[2].pid(), SIGKILL);
    // The slide ends by itself, or sooner when the victim's removal stops it:
    // which comes first depends on how fast the server reports the death.
    ASSERT_TRUE(waitFor([&] { return !strip(0)->animating; }));
    ASSERT_TRUE(waitFor([&] { return !stripOf(victim); }));
    ASSERT_TRUE(quiet());
    EXPECT_TRUE(manager().on());
    EXPECT_EQ(strip(0)->cols.size(), 7u);
    EXPECT_EQ(strip(0)->checkInvariants(), "");
    EXPECT_EQ(mismatches(), "");

    // The loop and the animation queue are still alive: another slide lands where computed.
    manager().perform(Action::jump, 1);
    ASSERT_TRUE(quiet());
    EXPECT_EQ(strip(0)->focusC, 0);
    EXPECT_EQ(mismatches(), "");
}

}  // namespace
}  // namespace tarvela::testing

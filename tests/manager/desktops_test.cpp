#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;
using Columns = tarvela::testing::Columns;

namespace {
class DesktopTest : public ManagerTest {
protected:
    int32_t term = 0;
    AXElement a, b, c, d;
    void SetUp() override {
        ManagerTest::SetUp();
        display("Left");
        display("Right");
        term = app("Term");
        a = window(term, 100);
        b = window(term, 700);
        c = window(term, 1300);
        d = window(term, 2100);  // on the right display
        startAndSettle();
    }
    int desktopOfStrip(const AXElement& el) {
        for (int k = 0; k < wm->desktopCount(); ++k)
            for (const StripRef& s : wm->stripsOf(k))
                if (s->find(el)) return k;
        return -1;
    }
};
}  // namespace

TEST_F(DesktopTest, SwitchingShowsEachDesktopAsLeftWithItsFocusAndWithoutMovingAWindow) {
    EXPECT_EQ(sim.desktops(), (DesktopSet{4, 0, {"1", "2", "3", "4"}}));
    wm->raise(1, 0);
    wm->perform(Action::wider, 0);
    settle();
    const Columns before = columns(0);
    const std::vector<double> widths = fracs(0);
    const double offset = strip(0)->offset;

    wm->raise(0, 0, 1);  // the user works on the right display, in d
    settle();
    wm->showDesktop(1);
    EXPECT_EQ(sim.desktops().current, 1);
    EXPECT_TRUE(columns(0).empty() && columns(1).empty());
    for (AXElement el : {a, b, c, d}) EXPECT_FALSE(sim.isShown(el));
    AXElement e = window(term, 300);  // opens on the desktop shown
    settle();
    EXPECT_EQ(columns(0), (Columns{{e}}));
    EXPECT_EQ(sim.desktopOf(e), 1);
    EXPECT_EQ(wm->displayIdx(), 0);

    sim.resetCounts();
    wm->showDesktop(0);
    EXPECT_EQ(columns(0), before);
    EXPECT_EQ(fracs(0), widths);
    EXPECT_EQ(strip(0)->offset, offset);
    EXPECT_EQ(sim.focusedWindow(term), d);  // the display and window left are back
    EXPECT_EQ(wm->displayIdx(), 1);
    EXPECT_EQ(strip(0)->focusedItem()->el, b);
    settle();
    EXPECT_EQ(sim.totals().position + sim.totals().size, 0);  // no slide, no resize
    EXPECT_TRUE(sim.isShown(b) && sim.isShown(d));
    EXPECT_FALSE(sim.isShown(e));
    EXPECT_EQ(wm->windowCount(0), 4);
    EXPECT_EQ(wm->windowCount(1), 1);
    // A floating window that had the focus gets it back, not the strip's column.
    sim.focusWindow(c);
    settle();
    wm->perform(Action::floatToggle, 0);
    sim.focusWindow(c);
    settle();
    wm->showDesktop(1);
    settle();
    wm->showDesktop(0);
    settle();
    EXPECT_EQ(sim.focusedWindow(term), c);
    EXPECT_EQ(wm->checkInvariants(), std::vector<std::string>{});
}

TEST_F(DesktopTest, SendingAWindowOrItsColumnKeepsTheWidthAndJoinsBesideTheFocusedColumn) {
    struct Case {
        bool column;
        Columns left;        // desktop 1's left strip afterwards
        Columns third;       // desktop 3's left strip afterwards
    };
    // Column 2 holds b over c; desktop 3 already has x.
    wm->raise(2, 0);
    wm->perform(Action::stackLeft, 0);
    wm->perform(Action::cycleWidth, 0);
    settle();
    ASSERT_EQ(columns(0), (Columns{{a}, {b, c}}));
    const double width = fracs(0)[1];
    wm->showDesktop(2);
    AXElement x = window(term, 100);
    settle();
    wm->showDesktop(0);
    wm->raise(1, 1);  // c
    for (const Case& k : {Case{false, {{a}, {b}}, {{x}, {c}}}, Case{true, {{a}}, {{x}, {b}, {c}}}}) {
        wm->sendToDesktop(2, k.column);
        settle();
        EXPECT_EQ(columns(0), k.left) << k.column;
        EXPECT_EQ(ManagerTest::columns(*wm->stripsOf(2)[0]), k.third) << k.column;
        EXPECT_EQ(wm->stripsOf(2)[0]->cols[1].frac, width) << k.column;
        EXPECT_FALSE(sim.isShown(c));
        EXPECT_EQ(sim.desktopOf(c), 2);
        EXPECT_EQ(wm->note(), "Sent Term to desktop 3");
        wm->raise(1, 0);
    }
    EXPECT_EQ(sim.focusedWindow(term), a);  // the focus stays on the desktop shown
}

TEST_F(DesktopTest, PagersSwitchMoveRenameAndWindowsAskingForADesktopOpenThere) {
    // A restored session's window asks for desktop 2 before it opens.
    WindowSpec asks;
    asks.desktop = 1;
    AXElement r = sim.addWindow(term, Rect(400, 100, 600, 500), asks);
    settle();
    EXPECT_EQ(desktopOfStrip(r), 1);
    EXPECT_FALSE(sim.isShown(r));
    EXPECT_EQ(columns(0), (Columns{{a}, {b}, {c}}));

    std::vector<std::string> events;
    auto link = wm->desktopsChanged.connect([&](const std::string& e) { events.push_back(e); });
    sim.requestDesktop({DesktopRequest::Kind::MoveWindow, 3, a, {}, false});
    sim.requestDesktop({DesktopRequest::Kind::Rename, 0, {}, {"Mail", "Web"}, false});
    sim.requestDesktop({DesktopRequest::Kind::Show, 3, {}, {}, false});
    settle();
    EXPECT_EQ(desktopOfStrip(a), 3);
    EXPECT_EQ(wm->desktop(), 3);
    EXPECT_TRUE(sim.isShown(a));
    EXPECT_EQ(sim.desktops().names, (std::vector<std::string>{"Mail", "Web", "3", "4"}));
    EXPECT_EQ(events, (std::vector<std::string>{"renamed", "switched"}));

    // A stop and start (a display change, a restart) keeps every window's desktop.
    wm->stop(false);
    startAndSettle();
    EXPECT_EQ(desktopOfStrip(a), 3);
    EXPECT_EQ(desktopOfStrip(r), 1);
    EXPECT_EQ(desktopOfStrip(b), 0);

    // Fewer desktops: the windows of those that go join the last that stays, and it is shown.
    prefs->desktops.set(2);
    settle();
    EXPECT_EQ(sim.desktops(), (DesktopSet{2, 1, {"Mail", "Web"}}));
    EXPECT_EQ(desktopOfStrip(a), 1);
    EXPECT_EQ(desktopOfStrip(r), 1);
    EXPECT_TRUE(sim.isShown(a) && sim.isShown(r));
    EXPECT_EQ(events.back(), "count");
    // The names survive in the settings file, also for a desktop that comes
    // back; a pager asking for more sets the preference, within its range.
    sim.requestDesktop({DesktopRequest::Kind::Count, 99, {}, {}, false});
    settle();
    EXPECT_EQ(prefs->desktops(), 10);
    EXPECT_EQ(sim.desktops().count, 10);
    prefs->desktops.set(4);
    EXPECT_EQ(Prefs(defaults).desktopNameList(), (std::vector<std::string>{"Mail", "Web", "3", "4"}));
    EXPECT_EQ(wm->checkInvariants(), std::vector<std::string>{});
}

TEST_F(DesktopTest, AWorkspaceDriftsOnlyByWindowsClosingOnItsOwnDesktop) {
    wm->raise(2, 0);
    wm->sendToDesktop(1, false);  // c
    const int32_t mail = app("Mail");
    window(mail, 900);
    settle();
    wm->saveWorkspace("Work", std::nullopt);
    wm->showDesktop(1);
    // A workspace lays out the desktop shown and takes no window from another.
    wm->restore(*workspaces->find(*workspaces->activeID()));
    settle();
    EXPECT_EQ(columns(0), (Columns{{c}}));
    EXPECT_EQ(wm->windowCount(0), 4);
    notices.clear();
    wm->showDesktop(0);
    // Restored on desktop 2: Mail quitting from desktop 1 leaves it matching.
    sim.quitApp(mail);
    settle();
    EXPECT_TRUE(notices.empty());
    sim.closeWindow(c);
    settle();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, "Work changed");
}

TEST_F(DesktopTest, OnlyFloatingWindowsGoOnEveryDesktop) {
    sim.focusWindow(c);
    settle();
    sim.requestDesktop({DesktopRequest::Kind::Sticky, 0, b, {}, true});  // tiled: refused
    wm->perform(Action::floatToggle, 0);
    sim.requestDesktop({DesktopRequest::Kind::Sticky, 0, c, {}, true});
    settle();
    EXPECT_FALSE(wm->isSticky(b));
    EXPECT_TRUE(wm->isSticky(c));
    wm->showDesktop(2);
    EXPECT_TRUE(sim.isShown(c));
    EXPECT_FALSE(sim.isShown(b));
    EXPECT_EQ(wm->windowCount(2), 0);
}

#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::ManagerTest;
using Columns = tarvela::testing::Columns;
using Notice = std::pair<std::string, std::string>;

namespace {
Workspace workspace(const std::string& name, int display, std::vector<std::vector<WSApp>> columns,
                    std::vector<double> widths, Layout layout = Layout::strip) {
    Workspace ws;
    ws.id = Uuid::random();
    ws.name = name;
    ws.display = display;
    ws.layout = layout;
    ws.columns = std::move(columns);
    ws.widths = std::move(widths);
    return ws;
}
const WSApp safariApp{"org.Safari", "Safari"};
const WSApp notesApp{"org.Notes", "Notes"};
const WSApp mailApp{"org.Mail", "Mail"};
}  // namespace

class WorkspaceTest : public ManagerTest {
protected:
    int32_t safari = 0, notes = 0, mail = 0;
    AXElement s1, s2, n, m;

    // Safari (two windows), Notes and Mail on one display, columns of a quarter.
    void desk() {
        display("Built-in Display");
        prefs->defaultWidth.set(0.25);
        safari = app("Safari");
        notes = app("Notes");
        mail = app("Mail");
        s1 = window(safari, 100, 400);
        s2 = window(safari, 500, 400);
        n = window(notes, 900, 400);
        m = window(mail, 1300, 400);
        startAndSettle();
    }
    // Two displays, Safari and Notes on the first and Mail on the second, not started yet.
    void twoDisplays() {
        display("Built-in Display");
        display("Studio Display");
        prefs->defaultWidth.set(0.25);
        safari = app("Safari");
        notes = app("Notes");
        mail = app("Mail");
        s1 = window(safari, 100, 400);
        n = window(notes, 600, 400);
        m = window(mail, 2100, 400);
    }
};

TEST_F(WorkspaceTest, SaveAndRestoreRebuildTheSavedColumns) {
    desk();
    wm->perform(Action::jump, 2);
    wm->perform(Action::stackLeft, 0);  // s2 under s1
    wm->perform(Action::jump, 2);
    wm->perform(Action::wider, 0);  // Notes' column a third
    settle();
    ASSERT_EQ(columns(0), (Columns{{s1, s2}, {n}, {m}}));
    int storeChanges = 0;
    auto c = workspaces->changed.connect([&] { ++storeChanges; });

    wm->saveWorkspace("Deep work", 5);
    ASSERT_EQ(workspaces->items().size(), 1u);
    const Workspace ws = workspaces->items()[0];
    EXPECT_EQ(ws.name, "Deep work");
    EXPECT_EQ(ws.display, 0);
    EXPECT_EQ(ws.layout, Layout::strip);
    EXPECT_EQ(ws.slot, 5);
    EXPECT_EQ(ws.columns, (std::vector<std::vector<WSApp>>{{safariApp, safariApp}, {notesApp}, {mailApp}}));
    ASSERT_EQ(ws.widths.size(), 3u);
    EXPECT_EQ(ws.widths[0], 0.25);
    EXPECT_NEAR(ws.widths[1], 1.0 / 3, 1e-9);
    EXPECT_EQ(workspaces->activeID(), ws.id);
    EXPECT_EQ(storeChanges, 1);  // the shortcuts re-register on this
    EXPECT_TRUE(defaults.getData(WorkspaceStore::key).has_value());

    // Saving again appends, even under the same name and slot.
    wm->saveWorkspace("Deep work", 5);
    EXPECT_EQ(workspaces->items().size(), 2u);
    EXPECT_NE(workspaces->activeID(), ws.id);

    // Shuffle, then restore: the same columns in order, with their widths.
    wm->perform(Action::jump, 3);
    wm->perform(Action::stackLeft, 0);  // m under n
    settle();
    ASSERT_NE(columns(0), (Columns{{s1, s2}, {n}, {m}}));
    wm->restore(ws);
    EXPECT_TRUE(notices.empty());  // nothing missing: applied on the next turn of the run loop
    time.drain();
    EXPECT_EQ(columns(0), (Columns{{s1, s2}, {n}, {m}}));
    EXPECT_EQ(fracs(0), ws.widths);
    EXPECT_EQ(strip(0)->focusC, 0);
    EXPECT_EQ(workspaces->activeID(), ws.id);
    EXPECT_EQ(notices, (std::vector<Notice>{{"Restored Deep work", "All 4 apps are back in place."}}));
    EXPECT_TRUE(sim.launchRequests().empty());

    // With notifyRestore off, the restore is silent.
    prefs->notifyRestore.set(false);
    wm->restore(ws);
    time.drain();
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(WorkspaceTest, MissingApplicationsAreLaunchedAndWaitedFor) {
    desk();
    // Not installed: nothing launched, yet the restore waits 2.5 s for it.
    Workspace ws = workspace("Focus", 0, {{safariApp}, {WSApp{"org.Absent", "Absent"}}}, {0.5, 0.5});
    wm->restore(ws);
    time.advance(2.4);
    EXPECT_TRUE(notices.empty());
    time.advance(0.2);
    EXPECT_TRUE(sim.launchRequests().empty());
    EXPECT_EQ(notices,
              (std::vector<Notice>{{"Restored Focus", "1 of 2 apps found. Open the missing ones and restore again."}}));
    EXPECT_EQ(columns(0).front(), (std::vector<AXElement>{s1}));

    // Installed and quick: launched, its window found after the wait.
    notices.clear();
    sim.registerInstallable("org.Editor", AppSpec{std::nullopt, std::string("Editor"), std::nullopt, nullptr,
                                                  ActivationPolicy::Regular},
                            1.0, {WindowPlan{Rect(200, 200, 500, 500), {}}});
    Workspace ws2 = workspace("Write", 0, {{WSApp{"org.Editor", "Editor"}}, {notesApp}}, {0.4, 0.3});
    wm->restore(ws2);
    EXPECT_EQ(sim.launchRequests(), (std::vector<std::string>{"org.Editor"}));
    settle(2.6);
    EXPECT_EQ(notices, (std::vector<Notice>{{"Restored Write", "All 2 apps are back in place."}}));
    ASSERT_GE(columns(0).size(), 2u);
    const AXElement editorWindow = columns(0)[0][0];
    EXPECT_EQ(sim.pidOf(editorWindow), sim.runningApplications().back().pid);
    EXPECT_EQ(columns(0)[1], (std::vector<AXElement>{n}));
    EXPECT_EQ(fracs(0)[0], 0.4);

    // Installed but slow: counted as not found; restoring again picks it up.
    notices.clear();
    sim.registerInstallable("org.Slow", AppSpec{std::nullopt, std::string("Slow"), std::nullopt, nullptr,
                                                ActivationPolicy::Regular},
                            4.0, {WindowPlan{Rect(300, 200, 500, 500), {}}});
    Workspace ws3 = workspace("Later", 0, {{WSApp{"org.Slow", "Slow"}}, {mailApp}}, {0.5, 0.5});
    wm->restore(ws3);
    settle(2.6);
    EXPECT_EQ(notices.back().second, "1 of 2 apps found. Open the missing ones and restore again.");
    settle(3);
    wm->restore(ws3);
    time.drain();
    EXPECT_EQ(notices.back().second, "All 2 apps are back in place.");
    EXPECT_EQ(sim.launchRequests().size(), 2u);  // running by then: not launched twice
}

TEST_F(WorkspaceTest, RestoreDrawsWindowsFromEverywhereAndKeepsTheRest) {
    twoDisplays();
    const int32_t calc = app("Calculator", "org.gnome.Calculator");  // ignored by rule
    AXElement k = window(calc, 1000, 300);
    startAndSettle();
    ASSERT_EQ(columns(1), (Columns{{m}}));

    // A floated Safari window is drawn in and stops floating.
    wm->paused.set(true);
    s2 = window(safari, 1200, 400);
    settle();
    wm->paused.set(false);
    sim.focusWindow(s2);
    settle();
    wm->perform(Action::floatToggle, 0);
    ASSERT_TRUE(isFloating(s2));

    Workspace ws = workspace("Mix", 0,
                             {{mailApp}, {safariApp, safariApp, safariApp}, {WSApp{"org.gnome.Calculator", "Calculator"}}},
                             {0.3, 0.5, 0.4});
    wm->restore(ws);
    time.drain();
    EXPECT_EQ(columns(0), (Columns{{m}, {s1, s2}, {n}}));
    EXPECT_TRUE(columns(1).empty());
    EXPECT_FALSE(isFloating(s2));
    EXPECT_EQ(stripOf(k), -1);
    const std::vector<double> f = fracs(0);
    EXPECT_EQ(f[0], 0.3);
    EXPECT_EQ(f[1], 0.5);
    EXPECT_EQ(f[2], 0.25);  // the kept window: its default width
    EXPECT_EQ(wm->displayIdx(), 0);
    EXPECT_EQ(notices.back(), (Notice{"Restored Mix", "3 of 5 apps found. Open the missing ones and restore again."}));
    EXPECT_TRUE(sim.launchRequests().empty());  // all of them run

    // A display index that no longer exists restores onto the current display.
    wm->displayIdx.set(1);
    Workspace far = workspace("Far", 5, {{notesApp}}, {0.5});
    wm->restore(far);
    time.drain();
    EXPECT_EQ(columns(1), (Columns{{n}}));
    EXPECT_EQ(wm->displayIdx(), 1);
    for (const StripRef& s : wm->strips()) EXPECT_EQ(s->checkInvariants(), "");
}

TEST_F(WorkspaceTest, EveryDisplayIsKeptAndGoesBackToTheDisplayOfItsKey) {
    twoDisplays();
    AXElement e = window(app("Editor"), 2600, 400);
    startAndSettle();
    wm->displayIdx.set(1);  // the display worked on comes first
    const WSApp editorApp{"org.Editor", "Editor"};
    EXPECT_EQ(wm->session().value_or(Workspace{}).displays(),
              (std::vector<WorkspaceDisplay>{{1, "Studio Display", Layout::strip, {{mailApp}, {editorApp}}, {0.25, 0.25}},
                                             {0, "Built-in Display", Layout::strip, {{safariApp}, {notesApp}}, {0.25, 0.25}}}));

    // Saved while the displays stood the other way round, with one more that
    // is gone: by key, else by index, else onto the display worked on.
    wm->displayIdx.set(0);
    Workspace ws = workspace("Swapped", 0, {{mailApp}}, {0.4});
    ws.displayKey = "Studio Display";
    ws.moreDisplays = {WorkspaceDisplay{1, "Built-in Display", Layout::two, {{notesApp}, {safariApp}}, {0.3, 0.6}},
                       WorkspaceDisplay{7, "Gone", Layout::strip, {{editorApp, WSApp{"org.Absent", "Absent"}}}, {0.5}}};
    workspaces->setItems({ws});
    wm->restore(ws);
    settle(3);  // the absent one is waited for
    EXPECT_EQ(columns(1), (Columns{{m}}));
    EXPECT_EQ(columns(0), (Columns{{n}, {s1}, {e}}));
    EXPECT_EQ(fracs(0), (std::vector<double>{0.3, 0.6, 0.5}));
    EXPECT_EQ(strip(0)->layout, Layout::two);
    EXPECT_EQ(notices.back().second, "4 of 5 apps found. Open the missing ones and restore again.");
    sim.quitApp(notes);  // a further display's application: it drifts too
    settle();
    EXPECT_EQ(notices.back().first, "Swapped changed");
}

TEST_F(WorkspaceTest, EmptyWorkspacesAndRefusals) {
    // No strip: nothing saved, nothing said.
    wm->saveWorkspace("Nothing", std::nullopt);
    EXPECT_TRUE(workspaces->items().empty());

    desk();
    display("Studio Display");
    settle();
    wm->displayIdx.set(1);
    wm->saveWorkspace("Blank", std::nullopt);
    const Workspace blank = workspaces->items().back();
    EXPECT_TRUE(blank.columns.empty());
    EXPECT_TRUE(blank.widths.empty());
    EXPECT_EQ(blank.display, 1);

    Workspace onto = blank;
    onto.display = 0;
    onto.layout = Layout::grid22;
    wm->restore(onto);
    time.drain();
    EXPECT_EQ(notices.back(), (Notice{"Restored Blank", "All 0 apps are back in place."}));
    EXPECT_EQ(columns(0), (Columns{{s1}, {s2}, {n}, {m}}));
    EXPECT_EQ(strip(0)->layout, Layout::grid22);

    // Paused or off: refused with a note, nothing launched.
    Workspace wanting = workspace("Want", 0, {{WSApp{"org.Absent", "Absent"}}}, {0.5});
    sim.registerInstallable("org.Absent", AppSpec{}, 0.1);
    notices.clear();
    wm->paused.set(true);
    wm->restore(wanting);
    EXPECT_EQ(wm->note(), "Turn Tarvela on to restore a workspace.");
    wm->paused.set(false);
    wm->note.set("");
    wm->stop(false);
    wm->restore(wanting);
    EXPECT_EQ(wm->note(), "Turn Tarvela on to restore a workspace.");
    settle(3);
    EXPECT_TRUE(sim.launchRequests().empty());
    EXPECT_TRUE(notices.empty());
}

TEST_F(WorkspaceTest, OneDriftNoticePerActivation) {
    desk();
    wm->saveWorkspace("Deep work", std::nullopt);
    const Workspace ws = workspaces->items()[0];
    wm->restore(ws);
    settle(3);  // its missing applications are waited for
    notices.clear();

    sim.quitApp(notes);
    settle();
    const Notice notesGone{"Deep work changed", "Notes closed, so this layout no longer matches your saved workspace."};
    EXPECT_EQ(notices, (std::vector<Notice>{notesGone}));
    EXPECT_FALSE(workspaces->activeID());
    sim.quitApp(mail);
    settle();
    EXPECT_EQ(notices.size(), 1u);

    // Closing one of several windows of an application drifts too.
    wm->restore(ws);
    settle(3);  // its missing applications are waited for
    notices.clear();
    sim.closeWindow(s2);
    settle();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].second, "Safari closed, so this layout no longer matches your saved workspace.");

    // So does minimising one, since it leaves the strip.
    AXElement s3 = window(safari, 600, 400);
    settle();
    wm->restore(ws);
    settle(3);  // its missing applications are waited for
    notices.clear();
    sim.setMinimized(s3, true);
    settle();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, "Deep work changed");

    // Closings that concern no application of the workspace say nothing.
    wm->restore(ws);
    settle(3);  // its missing applications are waited for
    notices.clear();
    const int32_t other = app("Other");
    AXElement o = window(other, 700, 300);
    settle();
    sim.closeWindow(o);
    settle();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(workspaces->activeID(), ws.id);

    // With notifyDrift off: no notice, and the workspace stays active.
    prefs->notifyDrift.set(false);
    sim.closeWindow(s1);
    settle();
    EXPECT_TRUE(notices.empty());
    EXPECT_EQ(workspaces->activeID(), ws.id);

    // A deleted workspace cannot drift.
    prefs->notifyDrift.set(true);
    AXElement s4 = window(safari, 800, 400);
    settle();
    ASSERT_EQ(stripOf(s4), 0);
    workspaces->setItems({});
    sim.closeWindow(s4);
    settle();
    EXPECT_TRUE(notices.empty());
}

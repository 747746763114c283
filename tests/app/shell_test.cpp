// The shell's start sequence, shortcut wiring and quitting, headless on the
// simulated desktop with a manual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/router.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/manual_time.h"
#include "input/hotkey_service.h"
#include "input/sim_gesture_sources.h"
#include "ipc/ipc_protocol.h"
#include "manager/feedback_hooks.h"
#include "platform/sim/sim_desktop.h"
#include "settings/app_info.h"
#include "settings/defaults.h"
#include "settings/key_codes.h"
#include "tests/app/sim_shell.h"
#include "tests/settings/temp_dir.h"
#include "tests/support/test_helpers.h"
#include "tests/support/fake_metrics.h"

namespace tarvela {
// What a start that put every window back in place would have set.
struct WindowManagerTestAccess {
    static void restoredInPlace(WindowManager& m) { m.restoredInPlace_ = true; }
};
}  // namespace tarvela

namespace tarvela::testing {
namespace {

class RecordingRouter final : public Router {
public:
    std::vector<std::string> calls;
    void settings(const std::optional<std::string>& pane) override {
        calls.push_back("settings" + (pane ? ":" + *pane : std::string()));
    }
    void onboarding() override { calls.push_back("onboarding"); }
    void permissionLost() override { calls.push_back("permissionLost"); }
    void preview(const std::string& name) override { calls.push_back("preview:" + name); }
};

class ShellTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    testsupport::RecordingDefaults defaults;
    SimHotkeyService keys;
    RecordingRouter router;
    NoFeedback feedback;
    std::unique_ptr<Shell> shell;
    std::vector<std::string> logs;
    int stops = 0;
    int32_t pid = 0;
    std::vector<AXElement> wins;

    void SetUp() override {
        setLogSink([this](const std::string& l) { logs.push_back(l); });
        sim.addStandardDisplay("Built-in Display");
        pid = sim.addApp(AppSpec{std::nullopt, "Term", std::optional<std::string>("org.term"), nullptr,
                                 ActivationPolicy::Regular});
        for (double x : {100.0, 700.0, 1300.0}) wins.push_back(sim.addWindow(pid, Rect(x, 100, 500, 600)));
    }
    void TearDown() override {
        shell.reset();
        setLogSink(nullptr);
    }

    // Stored before the shell reads them, as a previous run would have left them.
    void stored(bool onboarded, bool enabled) {
        Prefs p(defaults);
        p.onboarded.set(onboarded);
        p.enabled.set(enabled);
    }
    FakeMetrics metrics;
    Shell& make(Router& r, bool panels = false, GestureSources* gestures = nullptr) {
        ShellDeps d = simShellDeps(sim, time, defaults, keys, r, feedback);
        d.managerStopped = [this] { ++stops; };
        d.gestures = gestures;
        d.metrics = panels ? &metrics : nullptr;
        shell = std::make_unique<Shell>(d);
        return *shell;
    }
    Shell& make(bool panels = false) { return make(router, panels); }

    static std::string launchLine(bool onboarded, bool trusted) {
        return "[Tarvela] launched " + AppInfo::version() + " · onboarded " + (onboarded ? "true" : "false") +
               " · accessibility " + (trusted ? "true" : "false");
    }
    int countLaunchLines() const {
        return static_cast<int>(std::count_if(logs.begin(), logs.end(),
                                              [](const std::string& l) { return l.rfind("[Tarvela] launched ", 0) == 0; }));
    }
    bool logged(const std::string& line) const { return std::find(logs.begin(), logs.end(), line) != logs.end(); }
    // The last session as the settings file has it: its columns, and the writes of the workspaces.
    const WSApp term{"org.term", "Term"};
    size_t workspaceWrites() const { return defaults.writesTo(WorkspaceStore::key); }
    size_t keptColumns() {
        const WorkspaceStore store(defaults);
        return store.lastSession() ? store.lastSession()->columns.size() : 0;
    }
};

TEST_F(ShellTest, FirstRunOpensOnboardingAndLeavesTheManagerOff) {
    Shell& s = make();
    s.start({});
    EXPECT_EQ(router.calls, std::vector<std::string>{"onboarding"});
    EXPECT_FALSE(s.manager.on());
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.back(), launchLine(false, true));
    time.advance(5);  // the permission watch does not start a manager the user has not set up
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(sim.totals().position, 0);

    s.completeOnboarding();
    EXPECT_TRUE(s.prefs.onboarded());
    EXPECT_TRUE(s.manager.on());
    ASSERT_EQ(s.manager.strips().size(), 1u);
    EXPECT_EQ(s.manager.strips()[0]->cols.size(), 3u);
}

TEST_F(ShellTest, HeadlessOnboardingCompletesAtOnceAndStarts) {
    HeadlessRouter headless;
    Shell& s = make(headless);
    headless.completeOnboarding = [&] { s.completeOnboarding(); };
    s.start({});
    EXPECT_TRUE(s.manager.on());
    ASSERT_EQ(s.manager.strips().size(), 1u);
    EXPECT_EQ(s.manager.strips()[0]->cols.size(), 3u);
    EXPECT_EQ(logs.back(), launchLine(true, true));
}

TEST_F(ShellTest, OnboardedEnabledAndTrustedStartsTheManagerBeforeTheLaunchLine) {
    stored(true, true);
    Shell& s = make();
    s.start({});
    EXPECT_TRUE(router.calls.empty());
    EXPECT_TRUE(s.manager.on());
    ASSERT_EQ(s.manager.strips().size(), 1u);
    EXPECT_EQ(s.manager.strips()[0]->cols.size(), 3u);
    ASSERT_GE(logs.size(), 2u);
    EXPECT_EQ(logs.back(), launchLine(true, true));
    EXPECT_EQ(countLaunchLines(), 1);
    // The strip's own line comes first: the launch line reports a finished start.
    auto display = std::find_if(logs.begin(), logs.end(), [](const std::string& l) { return l.find("display 0 ") != std::string::npos; });
    EXPECT_NE(display, logs.end());
    EXPECT_LT(display - logs.begin(), static_cast<long>(logs.size()) - 1);
}

TEST_F(ShellTest, WithoutPermissionThePermissionPathOpensAndTheWatchStartsLater) {
    stored(true, true);
    sim.setTrusted(false);  // another window manager holds the display
    Shell& s = make(true);
    s.start({});
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(router.calls, std::vector<std::string>{"permissionLost"});
    EXPECT_EQ(logs.back(), launchLine(true, false));
    EXPECT_EQ(sim.totals().position, 0);

    time.advance(3);  // still refused: nothing changes, nothing is logged
    EXPECT_FALSE(s.manager.on());
    EXPECT_FALSE(logged("[Tarvela] Accessibility permission granted"));

    s.popover->takeOver();  // as the permission window's button does
    time.advance(1.6);
    EXPECT_TRUE(logged("[Tarvela] Accessibility permission granted"));
    EXPECT_TRUE(s.manager.on());
    EXPECT_EQ(s.manager.strips()[0]->cols.size(), 3u);
}

TEST_F(ShellTest, OnboardedButSwitchedOffStaysOff) {
    stored(true, false);
    Shell& s = make();
    s.start({});
    EXPECT_TRUE(router.calls.empty());
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(logs.back(), launchLine(true, true));
    time.advance(5);
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(sim.totals().total(), 0);
}

TEST_F(ShellTest, PreviewOfAWindowEndsTheStartBeforeTheManager) {
    stored(true, true);
    for (const std::string name : {"settings", "permission"}) {
        logs.clear();
        Shell& s = make();
        s.start({.preview = name});
        EXPECT_FALSE(s.manager.on());
        EXPECT_EQ(countLaunchLines(), 0) << name;
        EXPECT_EQ(router.calls, std::vector<std::string>{"preview:" + name});
        router.calls.clear();
        shell.reset();
    }
    EXPECT_EQ(sim.totals().total(), 0);

    // The popover is the one preview that still starts normally.
    logs.clear();
    Shell& s = make();
    s.start({.preview = "popover"});
    EXPECT_TRUE(s.manager.on());
    EXPECT_EQ(logs.back(), launchLine(true, true));
}

TEST_F(ShellTest, ActivityShowsTheHUDAndNoticesAndThePreviewShowToasts) {
    stored(true, true);
    Shell& s = make(true);
    s.start({});
    time.advance(HUDPanel::idle + HUDPanel::fadeOut + 0.1);
    ASSERT_FALSE(s.hud->shown());
    s.manager.onActivity();
    EXPECT_TRUE(s.hud->shown());

    s.manager.onNotice("Window moved", "It went to the other display.");
    ASSERT_NE(s.toast->panel(), nullptr);
    EXPECT_EQ(s.toast->panel()->model.title, "Window moved");
    EXPECT_EQ(s.toast->panel()->model.secondary, "OK");
    EXPECT_FALSE(s.toast->panel()->model.primary);
    time.advance(toast::slideIn + toast::noticeSeconds + toast::slideOut + 0.1);
    EXPECT_EQ(s.toast->panel(), nullptr);
    shell.reset();

    // The sample toast stays until dismissed, and the manager does not start.
    logs.clear();
    Shell& p = make(true);
    p.start({.preview = "toast"});
    EXPECT_FALSE(p.manager.on());
    EXPECT_EQ(countLaunchLines(), 0);
    time.advance(60);
    ASSERT_NE(p.toast->panel(), nullptr);
    EXPECT_EQ(p.toast->panel()->model.primary, std::optional<std::string>("Install"));
    EXPECT_EQ(p.toast->panel()->model.secondary, "Later");
}

TEST_F(ShellTest, ShortcutsPerformActionsOnTheManager) {
    stored(true, true);
    Shell& s = make();
    s.start({});
    EXPECT_GT(keys.registered().size(), 10u);  // registered during the start
    const StripRef strip = s.manager.strips()[0];
    ASSERT_EQ(strip->cols.size(), 3u);
    const int before = strip->focusC;

    keys.fire(1);  // focusNext
    time.advance(1);
    const int next = std::min(before + 1, 2);
    EXPECT_EQ(strip->focusC, next);
    keys.fire(101);  // jump to column 1
    time.advance(1);
    EXPECT_EQ(strip->focusC, 0);
    keys.fire(103);  // column 3
    time.advance(1);
    EXPECT_EQ(strip->focusC, 2);
    EXPECT_EQ(sim.focusedWindow(pid), strip->cols[2].items[0].el);
}

TEST_F(ShellTest, WorkspaceShortcutRestoresTheFirstWorkspaceWithThatSlot) {
    stored(true, true);
    for (const char* b : {"org.a", "org.b", "org.c"})
        sim.registerInstallable(b, AppSpec{std::nullopt, b, std::optional<std::string>(b), nullptr,
                                           ActivationPolicy::Regular},
                                0.1);
    Shell& s = make();
    auto ws = [](const char* name, const char* bundle, std::optional<int> slot) {
        Workspace w;
        w.id = Uuid::random();
        w.name = name;
        w.columns = {{WSApp{bundle, bundle}}};
        w.widths = {0.5};
        w.slot = slot;
        return w;
    };
    s.workspaces.append(ws("six", "org.a", 6));
    s.workspaces.append(ws("first five", "org.b", 5));
    s.workspaces.append(ws("second five", "org.c", 5));
    s.start({});
    ASSERT_TRUE(s.manager.on());

    keys.fire(207);  // slot 7: nobody has it
    time.advance(3);
    EXPECT_TRUE(sim.launchRequests().empty());
    keys.fire(205);
    time.advance(3);
    EXPECT_EQ(sim.launchRequests(), std::vector<std::string>{"org.b"});
}

TEST_F(ShellTest, EveryStopOfTheManagerIsReportedAndQuittingMovesNothing) {
    stored(true, true);
    Shell& s = make();
    s.start({});
    ASSERT_TRUE(s.manager.on());
    time.advance(1);
    const int afterStart = stops;  // a start begins from a clean stop

    sim.setTrusted(false);
    time.advance(1.6);
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(stops, afterStart + 1);
    EXPECT_EQ(router.calls, std::vector<std::string>{"permissionLost"});

    sim.setTrusted(true);
    time.advance(1.6);
    ASSERT_TRUE(s.manager.on());
    time.advance(1);
    sim.resetCounts();
    const int beforeQuit = stops;
    s.terminate();
    EXPECT_FALSE(s.manager.on());
    EXPECT_EQ(stops, beforeQuit + 1);
    time.advance(5);
    EXPECT_EQ(sim.totals().total(), 0);
    EXPECT_EQ(sim.liveObservers(), 0);
}

TEST_F(ShellTest, AnotherStartOpensTheSettings) {
    stored(true, true);
    Shell& s = make();
    s.start({});
    s.reopen();
    EXPECT_EQ(router.calls, std::vector<std::string>{"settings"});
}

TEST_F(ShellTest, GesturesStartAfterTheShortcutsAndComeBackWhenThePermissionDoes) {
    stored(true, true);
    Prefs(defaults).pinch4.set(true);
    sim.setTrusted(false);
    SimGestureSources sources;
    sources.tapAllowed = false;  // no permission: no tap yet
    ShellDeps d = simShellDeps(sim, time, defaults, keys, router, feedback);
    d.gestures = &sources;
    d.metrics = &metrics;
    shell = std::make_unique<Shell>(d);
    shell->start({});
    ASSERT_TRUE(shell->gestures);
    EXPECT_FALSE(shell->gestures->tapInstalled());
    EXPECT_TRUE(logged("[Tarvela] gestures: event tap unavailable (needs Accessibility)"));

    sources.tapAllowed = true;
    sim.setTrusted(true);
    time.advance(1.6);  // the permission poll notices; gestures start again
    EXPECT_TRUE(shell->manager.on());
    EXPECT_TRUE(shell->gestures->tapInstalled());
    EXPECT_EQ(sources.liveTaps(), 1);

    // Option-scroll is now taken (swallowed) as strip scrolling, and settles later.
    ScrollEvent e;
    e.deltaX = 3;
    e.modifierFlags = eventflags::option;
    EXPECT_TRUE(sources.scroll(e));
    EXPECT_TRUE(shell->gestures->settlePending());
    // A four-finger pinch opens the shell's own overview, as the shortcut does.
    for (int phase : {gesturephase::began, gesturephase::ended}) sources.magnify({phase, -0.15});
    EXPECT_TRUE(shell->overview->isOpen());
}

#ifdef TARVELA_EXE
// The executable refuses an unknown window name before it starts anything.
TEST_F(ShellTest, AnUnknownPreviewIsSaidToBeUnknownAndEndsTheStart) {
    FILE* p = ::popen("env -u DISPLAY '" TARVELA_EXE "' --preview nonsense 2>&1", "r");
    char buf[512] = {};
    const std::string out(buf, std::fread(buf, 1, sizeof buf - 1, p));
    EXPECT_EQ(::pclose(p), 2 << 8);
    EXPECT_EQ(out, std::string("tarvela: unknown preview \"nonsense\"; known: ") + preview::knownNames + "\n");
}
#endif

// Everything that acts on windows goes through the manager's one way in:
// paused, no surface writes to any window, and the overview goes.
TEST_F(ShellTest, WhilePausedNoSurfaceWritesAWindow) {
    stored(true, true);
    sim.addStandardDisplay("Studio Display");
    SimGestureSources touch;
    Shell& s = make(router, true, &touch);
    s.start({});
    TempDir dir;
    ASSERT_TRUE(s.startScripting(dir.path() / "tarvela.sock"));
    s.manager.saveWorkspace("Desk", 5);
    s.overview->open();
    s.popover->togglePause();
    time.advance(1);
    EXPECT_FALSE(s.overview->isOpen());
    sim.resetCounts();

    for (const SimHotkeyService::Entry& e : keys.registered()) keys.fire(e.number);
    EXPECT_FALSE(touch.scroll({0, 3, false, false, eventflags::option}));  // passed on
    for (int phase : {gesturephase::began, gesturephase::ended}) touch.magnify({phase, -0.2});
    for (float x : {0.3f, 0.5f, 0.7f}) touch.frame(0, {{x, 0.5f}, {x + 0.02f, 0.5f}, {x + 0.04f, 0.5f}});
    touch.frame(0, {});
    s.hud->pick(1, 0);
    s.hud->focusNext();
    PopoverActions& pop = *s.popover;
    pop.goToColumn(2);
    pop.send();
    pop.setWidth(1.0);
    pop.setAlign(Align::left);
    pop.setLayout(Layout::grid22);
    pop.openOverview();
    s.overview->clickColumn(0, 2);
    for (const ipc::CommandDef& c : ipc::commands())
        if (c.action) s.scriptCommands->run(ipc::Request{&c, std::vector<Json>(c.args.size(), Json(2))});
    const ipc::Request layout = std::get<ipc::Request>(ipc::parseRequest(R"({"command":"set","args":["layout","two"]})"));
    EXPECT_THROW(s.scriptCommands->run(layout), IpcError);
    time.advance(2);

    EXPECT_EQ(sim.totals(), WriteCounts{});
    EXPECT_TRUE(sim.launchRequests().empty());
    EXPECT_EQ(s.prefs.layout(), Layout::strip);
}

TEST_F(ShellTest, TheLastSessionIsKeptOnQuitAndEveryFiveMinutesWhenItChanged) {
    Workspace mine;
    mine.name = "Last session";  // the user's own, by that name
    WorkspaceStore(defaults).setItems({mine});
    stored(true, true);
    make().start({});
    const size_t before = workspaceWrites();
    time.advance(Shell::lastSessionInterval - 0.5);
    EXPECT_EQ(workspaceWrites(), before);
    time.advance(1);
    EXPECT_EQ(keptColumns(), 3u);
    time.advance(Shell::lastSessionInterval);  // unchanged: the file is left alone
    EXPECT_EQ(workspaceWrites(), before + 1);

    sim.closeWindow(wins[2]);
    time.advance(1);
    shell->terminate();
    EXPECT_EQ(workspaceWrites(), before + 2);
    EXPECT_EQ(keptColumns(), 2u);
    EXPECT_EQ(WorkspaceStore(defaults).items()[0], mine);

    // Nothing to keep replaces nothing.
    sim.closeWindow(wins[0]);
    sim.closeWindow(wins[1]);
    shell.reset();
    make().start({});
    shell->terminate();
    EXPECT_EQ(keptColumns(), 2u);
}

TEST_F(ShellTest, TheLastSessionComesBackAtStartUnlessTheWindowsAreBackInPlace) {
    stored(true, true);
    Workspace last;
    last.columns = {{term, term}, {term}};
    last.widths = {0.5, 0.3};
    WorkspaceStore(defaults).keepLastSession(last);
    for (const auto& [pref, inPlace, columns] : {std::tuple{true, false, 2u}, {false, false, 3u}, {true, true, 3u}}) {
        Prefs(defaults).restoreLastSession.set(pref);
        logs.clear();
        shell.reset();
        make().start({});
        if (inPlace) WindowManagerTestAccess::restoredInPlace(shell->manager);
        time.advance(1);
        EXPECT_EQ(shell->manager.strips().at(0)->cols.size(), columns) << pref << inPlace;
        // Once a run: a later start of the manager does not bring it back again.
        shell->manager.stop(false);
        shell->manager.start();
        time.advance(1);
        EXPECT_EQ(std::count(logs.begin(), logs.end(), "[Tarvela] restoring the last session"), columns == 2 ? 1 : 0);
    }
}

}  // namespace
}  // namespace tarvela::testing

#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela {
namespace {

struct Seen {
    AXElement el;
    std::string name;
    bool operator==(const Seen&) const = default;
};

struct SimEvents : ::testing::Test {
    ManualTime time;
    SimDesktop sim{time.loop()};
    int32_t pid = sim.addApp({.name = "Editor", .bundleID = "org.example.editor"});
    std::vector<Seen> seen;

    std::unique_ptr<AXObserver> observe(int32_t p, std::vector<std::string_view> names) {
        auto obs = sim.createObserver(p, [this](const AXElement& el, const std::string& n) { seen.push_back({el, n}); });
        if (!obs) return obs;
        for (auto n : names) obs->addNotification(AXElement::application(p), n);
        obs->attach();
        return obs;
    }
    static std::vector<std::string_view> all() {
        return {ax::FocusedWindowChanged, ax::WindowCreated, ax::UIElementDestroyed, ax::WindowMiniaturized,
                ax::WindowDeminiaturized};
    }
};

TEST_F(SimEvents, AccessibilityNotificationsArriveLaterOnTheRunLoop) {
    auto obs = observe(pid, all());
    ASSERT_TRUE(obs);
    const AXElement w = sim.addWindow(pid, Rect(0, 0, 100, 100));
    EXPECT_TRUE(seen.empty()) << "never inside the call that caused it";
    time.drain();
    EXPECT_EQ(seen, (std::vector<Seen>{{w, "AXWindowCreated"}, {w, "AXFocusedWindowChanged"}}));

    seen.clear();
    const AXElement v = sim.addWindow(pid, Rect(0, 0, 100, 100));
    sim.setMinimized(v, true);
    sim.setMinimized(v, true);  // no change, no notification
    sim.setMinimized(v, false);
    sim.closeWindow(v);
    time.drain();
    EXPECT_EQ(seen, (std::vector<Seen>{{v, "AXWindowCreated"},
                                       {v, "AXFocusedWindowChanged"},
                                       {v, "AXWindowMiniaturized"},
                                       {w, "AXFocusedWindowChanged"},
                                       {v, "AXWindowDeminiaturized"},
                                       {v, "AXFocusedWindowChanged"},
                                       {v, "AXUIElementDestroyed"},
                                       {w, "AXFocusedWindowChanged"}}));
}

TEST_F(SimEvents, ObserverGetsOnlyWhatItAddedForItsOwnProcessWhileAttached) {
    const int32_t other = sim.addApp({.name = "Other"});
    auto obs = sim.createObserver(pid, [this](const AXElement& el, const std::string& n) { seen.push_back({el, n}); });
    obs->addNotification(AXElement::application(pid), ax::WindowCreated);
    obs->addNotification(AXElement::application(other), ax::UIElementDestroyed);  // not its process: ignored
    const AXElement early = sim.addWindow(pid, Rect());
    time.drain();
    EXPECT_TRUE(seen.empty()) << "not attached yet";

    obs->attach();
    const AXElement w = sim.addWindow(pid, Rect());
    sim.addWindow(other, Rect());
    sim.closeWindow(early);
    time.drain();
    EXPECT_EQ(seen, (std::vector<Seen>{{w, "AXWindowCreated"}}));

    // Detached or destroyed before delivery: what was queued is dropped.
    seen.clear();
    sim.addWindow(pid, Rect());
    obs->detach();
    time.drain();
    obs->attach();
    sim.addWindow(pid, Rect());
    obs.reset();
    time.drain();
    EXPECT_TRUE(seen.empty());
}

TEST_F(SimEvents, ObserversAreCountedAndCanBeRefused) {
    EXPECT_EQ(sim.createObserver(4242, [](auto&, auto&) {}), nullptr) << "no such process";
    sim.setRefusesObservers(pid, true);
    EXPECT_EQ(sim.createObserver(pid, [](auto&, auto&) {}), nullptr);
    sim.setRefusesObservers(pid, false);
    auto a = sim.createObserver(pid, [](auto&, auto&) {});
    auto b = sim.createObserver(pid, [](auto&, auto&) {});
    EXPECT_EQ(sim.liveObservers(), 2);
    EXPECT_EQ(sim.liveObservers(pid), 2);
    b.reset();
    EXPECT_EQ(sim.liveObservers(pid), 1);
    a.reset();
    EXPECT_EQ(sim.liveObservers(), 0);
}

TEST_F(SimEvents, WorkspaceEventsReachSubscribersOfTheTimeAndStopWhenUnsubscribed) {
    std::vector<std::pair<WorkspaceEvent, std::optional<int32_t>>> got;
    auto on = [&](WorkspaceEvent e, const std::optional<RunningApp>& app) {
        got.emplace_back(e, app ? std::optional(app->pid) : std::nullopt);
    };
    const int32_t before = sim.addApp({.name = "Before"});  // happens before anyone listens
    std::vector<SubscriptionRef> subs;
    for (auto e : {WorkspaceEvent::DidLaunchApplication, WorkspaceEvent::DidTerminateApplication,
                   WorkspaceEvent::DidActivateApplication, WorkspaceEvent::ActiveSpaceDidChange,
                   WorkspaceEvent::ScreenParametersDidChange})
        subs.push_back(sim.addWorkspaceObserver(e, on));
    EXPECT_EQ(sim.liveWorkspaceObservers(), 5);
    EXPECT_EQ(sim.liveWorkspaceObservers(WorkspaceEvent::ActiveSpaceDidChange), 1);

    const int32_t fresh = sim.addApp({.name = "Fresh"});
    EXPECT_TRUE(sim.activate(fresh));
    EXPECT_TRUE(sim.activate(fresh));  // already frontmost: no second notification
    sim.postActiveSpaceChange();
    sim.addStandardDisplay();
    EXPECT_TRUE(sim.quitApp(before));
    EXPECT_FALSE(sim.quitApp(before));
    EXPECT_TRUE(got.empty());
    time.drain();
    using E = WorkspaceEvent;
    EXPECT_EQ(got, (std::vector<std::pair<E, std::optional<int32_t>>>{{E::DidLaunchApplication, fresh},
                                                                      {E::DidActivateApplication, fresh},
                                                                      {E::ActiveSpaceDidChange, std::nullopt},
                                                                      {E::ScreenParametersDidChange, std::nullopt},
                                                                      {E::DidTerminateApplication, before}}));
    EXPECT_EQ(sim.activations(fresh), 2);

    got.clear();
    sim.postActiveSpaceChange();
    subs.clear();  // gone before delivery
    time.drain();
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(sim.liveWorkspaceObservers(), 0);
}

TEST_F(SimEvents, MouseUpMonitorsFireOnTheLoopAndCanOutliveTheDesktop) {
    int ups = 0;
    auto sub = sim.addMouseUpMonitor([&] { ++ups; });
    auto second = sim.addMouseUpMonitor([&] { ups += 10; });
    EXPECT_EQ(sim.liveMouseMonitors(), 2);
    sim.mouseUp();
    EXPECT_EQ(ups, 0);
    time.drain();
    EXPECT_EQ(ups, 11);
    second.reset();
    EXPECT_EQ(sim.liveMouseMonitors(), 1);

    auto other = std::make_unique<SimDesktop>(time.loop());
    auto late = other->addMouseUpMonitor([&] { ups += 100; });
    auto obs = other->createObserver(other->addApp(), [](auto&, auto&) {});
    other->mouseUp();
    other.reset();  // subscriptions and queued deliveries outlive it harmlessly
    time.drain();
    late.reset();
    obs.reset();
    EXPECT_EQ(ups, 11);
}

TEST_F(SimEvents, QuittingClosesWindowsAndPostsDestroyed) {
    auto obs = observe(pid, {ax::UIElementDestroyed});
    const AXElement a = sim.addWindow(pid, Rect());
    const AXElement b = sim.addWindow(pid, Rect());
    sim.activate(pid);
    EXPECT_TRUE(sim.quitApp(pid));
    EXPECT_TRUE(sim.isClosed(a));
    EXPECT_TRUE(sim.isClosed(b));
    EXPECT_FALSE(sim.runningApplication(pid));
    EXPECT_FALSE(sim.frontmostApplication());
    EXPECT_TRUE(sim.runningApplications().empty());
    EXPECT_FALSE(sim.copyAttribute(AXElement::application(pid), ax::Windows));
    time.drain();
    EXPECT_EQ(seen, (std::vector<Seen>{{a, "AXUIElementDestroyed"}, {b, "AXUIElementDestroyed"}}));
}

TEST_F(SimEvents, LaunchAfterDelayOpensWindowsAndComesForward) {
    std::vector<WorkspaceEvent> got;
    auto on = [&](WorkspaceEvent e, const std::optional<RunningApp>&) { got.push_back(e); };
    auto s1 = sim.addWorkspaceObserver(WorkspaceEvent::DidLaunchApplication, on);
    auto s2 = sim.addWorkspaceObserver(WorkspaceEvent::DidActivateApplication, on);

    EXPECT_FALSE(sim.isApplicationInstalled("org.example.mail"));
    EXPECT_FALSE(sim.launchApplication("org.example.mail"));
    sim.registerInstallable("org.example.mail", {.name = "Mail"}, 2.0,
                            {{Rect(10, 10, 600, 400), {}}, {Rect(20, 20, 300, 200), {.subrole = std::string(ax::Dialog)}}});
    EXPECT_TRUE(sim.isApplicationInstalled("org.example.mail"));
    EXPECT_TRUE(sim.isApplicationInstalled("org.example.editor")) << "a running application is installed too";
    EXPECT_TRUE(sim.launchApplication("org.example.mail"));
    EXPECT_TRUE(sim.launchApplication("org.example.mail"));  // asked twice while starting: one process
    time.advance(1.9);
    EXPECT_EQ(sim.runningApplications().size(), 1u);
    time.advance(0.2);
    auto apps = sim.runningApplications();
    ASSERT_EQ(apps.size(), 2u);
    const RunningApp& mail = apps[1];
    EXPECT_EQ(mail.bundleIdentifier, "org.example.mail");
    EXPECT_EQ(mail.localizedName, "Mail");
    EXPECT_EQ(sim.windowsOf(mail.pid).size(), 2u);
    EXPECT_EQ(sim.frontmostApplication()->pid, mail.pid);
    time.drain();
    EXPECT_EQ(got, (std::vector<WorkspaceEvent>{WorkspaceEvent::DidLaunchApplication,
                                                WorkspaceEvent::DidActivateApplication}));
    EXPECT_EQ(sim.launchRequests(), (std::vector<std::string>{"org.example.mail", "org.example.mail",
                                                              "org.example.mail"}));

    // Launching a running application just brings it forward.
    sim.activate(pid);
    EXPECT_TRUE(sim.launchApplication("org.example.mail"));
    EXPECT_EQ(sim.frontmostApplication()->pid, mail.pid);
    sim.uninstall("org.example.mail");
    sim.quitApp(mail.pid);
    EXPECT_FALSE(sim.launchApplication("org.example.mail"));
}

TEST_F(SimEvents, ApplicationsKeepOrderPolicyAndMissingFields) {
    const int32_t helper = sim.addApp({.pid = 7, .policy = ActivationPolicy::Accessory});
    EXPECT_EQ(helper, 7);
    EXPECT_EQ(sim.addApp({.pid = 7}), 0) << "that process already runs";
    const int32_t next = sim.addApp();
    EXPECT_NE(next, pid);
    EXPECT_NE(next, sim.ownPid());
    auto apps = sim.runningApplications();
    ASSERT_EQ(apps.size(), 3u);
    EXPECT_EQ(apps[0].pid, pid);
    EXPECT_EQ(apps[1].pid, 7);
    EXPECT_EQ(apps[1].activationPolicy, ActivationPolicy::Accessory);
    EXPECT_FALSE(apps[2].localizedName);
    EXPECT_FALSE(apps[2].bundleIdentifier);
    EXPECT_FALSE(sim.activate(4242));
    EXPECT_FALSE(sim.frontmostApplication());
    sim.setOwnPid(next);
    EXPECT_EQ(sim.ownPid(), next);
    EXPECT_EQ(sim.addWindow(4242, Rect()), AXElement{}) << "no such process";
}

TEST_F(SimEvents, DisplaysListInOrderAndEveryChangeIsAnnounced) {
    int changes = 0;
    auto sub = sim.addWorkspaceObserver(WorkspaceEvent::ScreenParametersDidChange,
                                        [&](WorkspaceEvent, const std::optional<RunningApp>& app) {
                                            EXPECT_FALSE(app);
                                            ++changes;
                                        });
    const uint64_t main = sim.addStandardDisplay();
    const uint64_t side = sim.addDisplay(Rect(1920, 200, 1280, 800), std::nullopt, "Side", 2);
    auto s = sim.screens();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].id, main);
    EXPECT_EQ(s[0].frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(s[0].visibleFrame, Rect(0, 0, 1920, 1055));
    EXPECT_EQ(s[0].localizedName, "Built-in Display");
    EXPECT_EQ(s[1].visibleFrame, s[1].frame);
    EXPECT_EQ(s[1].backingScaleFactor, 2);
    EXPECT_TRUE(sim.removeDisplay(main));
    EXPECT_FALSE(sim.removeDisplay(main));
    EXPECT_EQ(sim.screens().front().id, side);
    sim.setDisplays({Screen{0, Rect(0, 0, 800, 600), Rect(0, 0, 800, 600), "A", 1, "A"}});
    EXPECT_NE(sim.screens().front().id, 0u);
    EXPECT_NE(sim.screens().front().id, side);
    EXPECT_EQ(changes, 0);
    time.drain();
    EXPECT_EQ(changes, 4);
}

TEST_F(SimEvents, CaptureGivesEachOpenWindowItsOwnPicture) {
    const AXElement a = sim.addWindow(pid, Rect());
    const AXElement b = sim.addWindow(pid, Rect());
    ImageRef pa = sim.capture(a, std::nullopt);
    ImageRef pb = sim.capture(b, std::nullopt);
    ASSERT_TRUE(pa && pb);
    EXPECT_EQ(pa->width, 8);
    EXPECT_EQ(pa->argb.size(), 64u);
    EXPECT_NE(pa->argb[0], pb->argb[0]);
    EXPECT_EQ(sim.capture(a, std::nullopt)->argb, pa->argb);
    sim.setMinimized(a, true);
    EXPECT_EQ(sim.capture(a, std::nullopt), nullptr);
    EXPECT_EQ(sim.capture(AXElement::application(pid), std::nullopt), nullptr);
}

}  // namespace
}  // namespace tarvela

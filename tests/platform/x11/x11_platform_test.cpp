// The X11 platform against a private Xvfb with real clients.
#include <signal.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <array>

#include <filesystem>
#include <fstream>
#include <set>

#include "core/log.h"
#include "core/title_bar.h"
#include "core/window_access.h"
#include "platform/x11/frames.h"
#include "x11_fixture.h"

namespace tarvela::testing {
namespace {

using Events = std::vector<std::pair<AXElement, std::string>>;

struct Recorder {
    Events ax;
    std::vector<std::pair<WorkspaceEvent, std::optional<RunningApp>>> ws;
    std::vector<SubscriptionRef> subs;
    std::vector<std::unique_ptr<AXObserver>> observers;

    void watchWorkspace(Platform& p) {
        for (auto ev : {WorkspaceEvent::DidLaunchApplication, WorkspaceEvent::DidTerminateApplication,
                        WorkspaceEvent::DidActivateApplication, WorkspaceEvent::ScreenParametersDidChange})
            subs.push_back(p.addWorkspaceObserver(ev, [this](WorkspaceEvent e, const std::optional<RunningApp>& app) {
                ws.emplace_back(e, app);
            }));
    }
    void observe(Platform& p, int32_t pid) {
        auto o = p.createObserver(pid, [this](const AXElement& el, const std::string& n) { ax.emplace_back(el, n); });
        ASSERT_TRUE(o);
        for (auto n : {ax::FocusedWindowChanged, ax::WindowCreated, ax::UIElementDestroyed, ax::WindowMiniaturized,
                       ax::WindowDeminiaturized, ax::AttentionChanged})
            o->addNotification(AXElement::application(pid), n);
        o->attach();
        observers.push_back(std::move(o));
    }
    bool sawAX(const AXElement& el, std::string_view name) const {
        for (auto& [e, n] : ax)
            if (e == el && n == name) return true;
        return false;
    }
    int countWs(WorkspaceEvent ev, int32_t pid = 0) const {
        int n = 0;
        for (auto& [e, app] : ws)
            if (e == ev && (pid == 0 || (app && app->pid == pid))) ++n;
        return n;
    }
};

xcb_window_t xid(const AXElement& el) { return static_cast<xcb_window_t>(el.id); }

using Region = std::vector<std::array<int, 4>>;

// w's own bounding shape as rectangles moved by dx; empty when w is not shaped.
Region boundingShape(TestClient& tc, xcb_window_t w, int dx = 0) {
    xcb_connection_t* c = tc.c();
    auto* ext = xcb_shape_query_extents_reply(c, xcb_shape_query_extents(c, w), nullptr);
    const bool shaped = ext && ext->bounding_shaped;
    free(ext);
    Region out;
    auto* r = shaped ? xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, w, XCB_SHAPE_SK_BOUNDING), nullptr)
                     : nullptr;
    if (!r) return out;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(r);
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(r); ++i)
        out.push_back({rects[i].x + dx, rects[i].y, rects[i].width, rects[i].height});
    free(r);
    return out;
}

// Until its forked child has exec'd the shell, that child still runs xterm's own
// code and signal handlers: the hang-up xterm sends it on WM_DELETE_WINDOW is
// swallowed and xterm never exits. Under load the window is managed well
// before that, so a close must wait for the shell, as a user waits for the prompt.
bool shellRunsIn(pid_t term) {
    const std::string proc = "/proc/" + std::to_string(term);
    std::error_code ec;
    const auto own = std::filesystem::read_symlink(proc + "/exe", ec);
    if (ec) return false;
    std::ifstream kids(proc + "/task/" + std::to_string(term) + "/children");
    for (pid_t kid; kids >> kid;) {
        const auto exe = std::filesystem::read_symlink("/proc/" + std::to_string(kid) + "/exe", ec);
        if (!ec && exe != own) return true;
    }
    return false;
}

TEST_F(X11Test, TakesWmS0AndPublishesTheEwmhRootProperties) {
    startPlatform();
    ASSERT_TRUE(wm_->isProcessTrusted());
    const xcb_window_t owner = tc_->selectionOwner("WM_S0");
    ASSERT_NE(owner, 0u);
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_SUPPORTING_WM_CHECK"), std::vector<uint32_t>{owner});
    EXPECT_EQ(tc_->cardinals(owner, "_NET_SUPPORTING_WM_CHECK"), std::vector<uint32_t>{owner});
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_NUMBER_OF_DESKTOPS"), std::vector<uint32_t>{1});
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_WORKAREA"), (std::vector<uint32_t>{0, 0, 1920, 1080}));
    auto supported = tc_->cardinals(tc_->root(), "_NET_SUPPORTED");
    for (const char* a : {"_NET_WM_STATE_FULLSCREEN", "_NET_ACTIVE_WINDOW", "_NET_CLIENT_LIST_STACKING",
                          "_NET_WM_STRUT_PARTIAL", "_NET_CLOSE_WINDOW", "_NET_WM_MOVERESIZE"})
        EXPECT_NE(std::find(supported.begin(), supported.end(), tc_->atom(a)), supported.end()) << a;

    // A second instance on the same display is not trusted and never steals.
    X11Options o;
    o.display = display_;
    X11Platform second(loop_, o);
    EXPECT_FALSE(second.isProcessTrusted());
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_TRUE(second.copyAttribute(AXElement::window(owner), ax::Position) == std::nullopt);
    EXPECT_EQ(tc_->selectionOwner("WM_S0"), owner);
    EXPECT_TRUE(wm_->sync());
    EXPECT_TRUE(wm_->isProcessTrusted());
}

TEST_F(X11Test, AdoptsWindowsAlreadyOnScreenWithTheirApplications) {
    Child term = client({"xterm"});
    Child logo = client({"xlogo"});
    // No window manager yet: both map themselves. Wait until the server shows them.
    std::vector<xcb_window_t> shown;
    ASSERT_TRUE(waitFor([&] {
        shown.clear();
        auto* tree = xcb_query_tree_reply(tc_->c(), xcb_query_tree(tc_->c(), tc_->root()), nullptr);
        if (tree) {
            auto* kids = xcb_query_tree_children(tree);
            for (int i = 0; i < xcb_query_tree_children_length(tree); ++i)
                if (tc_->viewable(kids[i])) shown.push_back(kids[i]);
        }
        free(tree);
        return shown.size() >= 2;
    }));
    startPlatform();
    ASSERT_TRUE(wm_->isProcessTrusted());
    const AXElement t = windowOf(term.pid(), 1), l = windowOf(logo.pid(), 1);
    ASSERT_TRUE(t && l);
    EXPECT_EQ(attr<std::string>(*wm_, t, ax::Subrole), std::string(ax::StandardWindow));
    EXPECT_EQ(attr<bool>(*wm_, t, ax::Minimized), false);
    EXPECT_EQ(wm_->pidOf(t), term.pid());
    EXPECT_EQ(wm_->windowNumber(t), xid(t));

    auto apps = wm_->runningApplications();
    ASSERT_EQ(apps.size(), 2u);
    // xterm names its pid; xlogo does not, and is found through X-Resource.
    auto app = [&](pid_t pid) { return *std::find_if(apps.begin(), apps.end(), [&](auto& a) { return a.pid == pid; }); };
    EXPECT_EQ(app(term.pid()).localizedName, "XTerm");  // from its desktop entry
    EXPECT_EQ(app(term.pid()).bundleIdentifier, "debian-xterm");
    EXPECT_EQ(app(logo.pid()).localizedName, "XLogo");  // no entry: its WM_CLASS class
    EXPECT_EQ(app(logo.pid()).bundleIdentifier, "XLogo");
    EXPECT_EQ(app(logo.pid()).activationPolicy, ActivationPolicy::Regular);

    auto list = tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST");
    EXPECT_EQ(list.size(), 2u);
    EXPECT_NE(std::find(list.begin(), list.end(), xid(t)), list.end());
    EXPECT_EQ(tileableWindows(*wm_).size(), 2u);
    // Their own pixmaps come a second later, or at once for a picture.
    EXPECT_TRUE(wm_->capture(l, PixelSize{40, 30}));
}

TEST_F(X11Test, NotificationsFollowWindowsAppearingWithdrawingAndClosing) {
    startPlatform();
    Recorder rec;
    rec.watchWorkspace(*wm_);
    Child term = client({"xterm"});
    rec.observe(*wm_, term.pid());
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::WindowCreated) && rec.sawAX(t, ax::FocusedWindowChanged); }));
    EXPECT_EQ(rec.countWs(WorkspaceEvent::DidLaunchApplication, term.pid()), 1);
    EXPECT_EQ(rec.countWs(WorkspaceEvent::DidActivateApplication, term.pid()), 1);
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{xid(t)});
    EXPECT_EQ(attr<AXElement>(*wm_, AXElement::application(term.pid()), ax::FocusedWindow), t);
    EXPECT_EQ(wm_->frontmostApplication()->pid, term.pid());

    // A window of our own that withdraws (unmaps) and comes back is destroyed and created again.
    const xcb_window_t own = tc_->createWindow(10, 10, 200, 100);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {424242});
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    rec.observe(*wm_, 424242);
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(AXElement::window(own), ax::WindowCreated); }));
    xcb_unmap_window(tc_->c(), own);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(AXElement::window(own), ax::UIElementDestroyed); }));
    EXPECT_FALSE(frame(*wm_, AXElement::window(own)));
    EXPECT_EQ(rec.countWs(WorkspaceEvent::DidTerminateApplication, 424242), 1);
    rec.ax.clear();
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(AXElement::window(own), ax::WindowCreated); }));
    EXPECT_TRUE(frame(*wm_, AXElement::window(own)));

    // Killing the terminal: its window is destroyed, its application terminates,
    // and its element stays a handle whose reads fail.
    kill(term.pid(), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::UIElementDestroyed); }));
    ASSERT_TRUE(waitFor([&] { return rec.countWs(WorkspaceEvent::DidTerminateApplication, term.pid()) == 1; }));
    auto terminated = std::find_if(rec.ws.begin(), rec.ws.end(), [&](auto& e) {
        return e.first == WorkspaceEvent::DidTerminateApplication && e.second && e.second->pid == term.pid();
    });
    EXPECT_EQ(terminated->second->localizedName, "XTerm");
    EXPECT_FALSE(frame(*wm_, t));
    EXPECT_FALSE(attr<std::string>(*wm_, t, ax::Subrole));
    EXPECT_FALSE(wm_->setAttribute(t, ax::Position, Point{1, 1}));
    EXPECT_FALSE(wm_->runningApplication(term.pid()));
    EXPECT_TRUE(wm_->sync());
}

TEST_F(X11Test, GeometryWritesHonourSizeHintsAndReadBackFromTheServer) {
    startPlatform();
    Child term = client({"xterm"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    wm_->setAttribute(t, ax::Position, Point{100, 50});
    wm_->setAttribute(t, ax::SizeAttr, Size{490, 300});
    EXPECT_EQ(frame(*wm_, t), Rect(100, 50, 490, 290));
    wm_->setAttribute(t, ax::SizeAttr, Size{500, 300});
    EXPECT_EQ(attr<Size>(*wm_, t, ax::SizeAttr), (Size{496, 290}));
    wm_->setAttribute(t, ax::SizeAttr, Size{960, 1000});
    EXPECT_EQ(attr<Size>(*wm_, t, ax::SizeAttr)->width, 958);
    // Off screen is allowed: the strip parks columns beyond the display edges.
    wm_->setAttribute(t, ax::Position, Point{-700.4, 20.6});
    EXPECT_EQ(attr<Point>(*wm_, t, ax::Position), (Point{-700, 21}));
    auto g = tc_->geometry(xid(t));
    EXPECT_EQ(g.x, -700);
    EXPECT_EQ(g.w, 958);

    // A window's own ConfigureRequest is honoured until the logic arranges it.
    const xcb_window_t own = tc_->createWindow(0, 0, 300, 200);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {515151});
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    const AXElement o = windowOf(515151);
    ASSERT_EQ(o, AXElement::window(own));
    const uint32_t req[] = {50, 60, 400, 250};
    const uint16_t mask = XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
    xcb_configure_window(tc_->c(), own, mask, req);
    tc_->sync();
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(frame(*wm_, o), Rect(50, 60, 400, 250));
    wm_->assignDisplay(o, wm_->screens().front().id);
    wm_->setAttribute(o, ax::Position, Point{700, 100});
    const uint32_t req2[] = {0, 0, 100, 100};
    xcb_configure_window(tc_->c(), own, mask, req2);
    tc_->sync();
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(frame(*wm_, o), Rect(700, 100, 400, 250));
    // Let go of, it floats with a title bar: the position it asks for is its frame's.
    wm_->assignDisplay(o, std::nullopt);
    xcb_configure_window(tc_->c(), own, mask, req2);
    tc_->sync();
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(frame(*wm_, o), Rect(titlebar::edge, titlebar::height, 100, 100));
}

TEST_F(X11Test, IconifyByClientRequestAndRestoreByActivation) {
    startPlatform();
    Recorder rec;
    Child term = client({"xterm"});
    rec.observe(*wm_, term.pid());
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    ASSERT_TRUE(wm_->sync());
    tc_->rootMessage(xid(t), "WM_CHANGE_STATE", {3});  // IconicState, as XIconifyWindow sends it
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::WindowMiniaturized); }));
    ASSERT_TRUE(wm_->sync());  // our requests have reached the server before the test looks
    EXPECT_EQ(attr<bool>(*wm_, t, ax::Minimized), true);
    EXPECT_FALSE(isTileable(*wm_, t));
    EXPECT_FALSE(tc_->viewable(xid(t)));
    EXPECT_EQ(tc_->cardinals(xid(t), "WM_STATE").at(0), 3u);
    auto state = tc_->cardinals(xid(t), "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), tc_->atom("_NET_WM_STATE_HIDDEN")), state.end());
    // Still the application's window while minimised.
    EXPECT_EQ(attr<std::vector<AXElement>>(*wm_, AXElement::application(term.pid()), ax::Windows)->size(), 1u);

    tc_->rootMessage(xid(t), "_NET_ACTIVE_WINDOW", {1, 0, 0});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::WindowDeminiaturized); }));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(attr<bool>(*wm_, t, ax::Minimized), false);
    EXPECT_TRUE(tc_->viewable(xid(t)));
    EXPECT_EQ(tc_->cardinals(xid(t), "WM_STATE").at(0), 1u);
    EXPECT_TRUE(tc_->cardinals(xid(t), "_NET_WM_STATE").empty());
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{xid(t)});

    // _NET_WM_STATE_HIDDEN asked for directly works the same way.
    rec.ax.clear();
    tc_->rootMessage(xid(t), "_NET_WM_STATE", {1, tc_->atom("_NET_WM_STATE_HIDDEN"), 0, 1});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::WindowMiniaturized); }));
    tc_->rootMessage(xid(t), "_NET_WM_STATE", {0, tc_->atom("_NET_WM_STATE_HIDDEN"), 0, 1});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::WindowDeminiaturized); }));
    EXPECT_EQ(attr<bool>(*wm_, t, ax::Minimized), false);

    // The logic minimises and restores through the attribute too.
    wm_->setAttribute(t, ax::Minimized, true);
    EXPECT_EQ(attr<bool>(*wm_, t, ax::Minimized), true);
    wm_->setAttribute(t, ax::Minimized, false);
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(tc_->viewable(xid(t)));
    EXPECT_TRUE(isTileable(*wm_, t));
}

TEST_F(X11Test, EventsReadWhileWaitingForARepliesAreStillHandled) {
    startPlatform();
    Recorder rec;
    rec.watchWorkspace(*wm_);
    const xcb_window_t own = tc_->createWindow(10, 10, 200, 100);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {313131});
    xcb_map_window(tc_->c(), own);
    tc_->sync();  // the MapRequest is now on its way to the window manager
    // A read outside the event handler waits for its reply and may pull that
    // event off the socket into xcb's queue, where the descriptor watch cannot see it.
    EXPECT_EQ(wm_->screens().size(), 1u);  // not cached yet: several round trips
    // Only the run loop runs now, waking on its descriptors alone: the event must not be stuck.
    ASSERT_TRUE(loop_.runUntil([&] { return rec.countWs(WorkspaceEvent::DidLaunchApplication, 313131) == 1; }, 5));
    EXPECT_TRUE(frame(*wm_, AXElement::window(own)));
    // An application's enhanced-interface switch does not exist here: it reads as missing.
    EXPECT_FALSE(wm_->copyAttribute(AXElement::application(313131), ax::EnhancedUserInterface));
    EXPECT_TRUE(wm_->copyAttribute(AXElement::application(313131), ax::Windows));
}

TEST_F(X11Test, FullScreenRequestsCoverTheMonitorAndComeBack) {
    startPlatform();
    Child term = client({"xterm"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    wm_->setAttribute(t, ax::Position, Point{200, 100});
    wm_->setAttribute(t, ax::SizeAttr, Size{490, 300});
    const Rect before = *frame(*wm_, t);
    tc_->rootMessage(xid(t), "_NET_WM_STATE", {1, tc_->atom("_NET_WM_STATE_FULLSCREEN"), 0, 1});
    ASSERT_TRUE(waitFor([&] { return attr<bool>(*wm_, t, ax::FullScreen) == true; }));
    EXPECT_EQ(frame(*wm_, t), Rect(0, 0, 1920, 1080));
    EXPECT_FALSE(isTileable(*wm_, t));
    auto state = tc_->cardinals(xid(t), "_NET_WM_STATE");
    EXPECT_NE(std::find(state.begin(), state.end(), tc_->atom("_NET_WM_STATE_FULLSCREEN")), state.end());
    tc_->rootMessage(xid(t), "_NET_WM_STATE", {2, tc_->atom("_NET_WM_STATE_FULLSCREEN"), 0, 1});  // toggle off
    ASSERT_TRUE(waitFor([&] { return attr<bool>(*wm_, t, ax::FullScreen) == false; }));
    EXPECT_EQ(frame(*wm_, t), before);
}

TEST_F(X11Test, ActivationRequestsClicksAndRaiseMoveFocusAndStacking) {
    startPlatform();
    Recorder rec;
    rec.watchWorkspace(*wm_);
    Child a = client({"xlogo"});
    const AXElement wa = windowOf(a.pid());
    Child b = client({"xterm"});
    const AXElement wb = windowOf(b.pid());
    ASSERT_TRUE(wa && wb);
    rec.observe(*wm_, a.pid());
    wm_->setAttribute(wa, ax::Position, Point{0, 0});
    wm_->setAttribute(wa, ax::SizeAttr, Size{400, 400});
    wm_->setAttribute(wb, ax::Position, Point{1000, 0});
    ASSERT_TRUE(waitFor([&] { return wm_->frontmostApplication() && wm_->frontmostApplication()->pid == b.pid(); }));
    auto top = [&] { return tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST_STACKING").back(); };
    EXPECT_EQ(top(), xid(wb));

    tc_->rootMessage(xid(wa), "_NET_ACTIVE_WINDOW", {2, 0, 0});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(wa, ax::FocusedWindowChanged); }));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(top(), xid(wa));
    EXPECT_EQ(wm_->frontmostApplication()->pid, a.pid());
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{xid(wa)});
    ASSERT_TRUE(waitFor([&] { return rec.countWs(WorkspaceEvent::DidActivateApplication, a.pid()) >= 1; }));

    // A click on the terminal focuses and raises it, and the click still reaches it.
    tc_->motion(1100, 100);
    tc_->button(1, true);
    tc_->button(1, false);
    ASSERT_TRUE(waitFor([&] { return wm_->frontmostApplication()->pid == b.pid(); }));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(top(), xid(wb));

    // activate(pid) and AXRaise, as the strip's raise does them.
    EXPECT_TRUE(wm_->activate(a.pid()));
    EXPECT_TRUE(wm_->performAction(wa, ax::Raise));
    EXPECT_TRUE(wm_->setAttribute(wa, ax::Main, true));
    EXPECT_EQ(attr<bool>(*wm_, wa, ax::Main), true);
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(top(), xid(wa));
    EXPECT_EQ(wm_->frontmostApplication()->pid, a.pid());
    EXPECT_FALSE(wm_->activate(999999));
}

TEST_F(X11Test, AGroupsToolWindowsFloatBesideOneAnotherAndStayAboveTheGroup) {
    startPlatform();
    // As GIMP in multi-window mode: a toolbox and a dock of type UTILITY share
    // the image window's group leader (never mapped) and are transient for nothing.
    const xcb_window_t leader = tc_->createWindow(0, 0, 1, 1);
    auto open = [&](const char* type, int w, int h) {
        return managedWindow(848484, Rect(0, 0, w, h), [&](xcb_window_t win) {
            tc_->setCardinals(win, "WM_HINTS", tc_->atom("WM_HINTS"), {64, 0, 0, 0, 0, 0, 0, 0, leader});
            tc_->setCardinals(win, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom(type)});
        });
    };
    const xcb_window_t toolbox = open("_NET_WM_WINDOW_TYPE_UTILITY", 300, 700);
    const xcb_window_t dock = open("_NET_WM_WINDOW_TYPE_UTILITY", 300, 700);
    const xcb_window_t image = open("_NET_WM_WINDOW_TYPE_NORMAL", 900, 700);
    const Rect a = *frame(*wm_, AXElement::window(toolbox)), b = *frame(*wm_, AXElement::window(dock));
    EXPECT_FALSE(x11::overlaps(a, b));
    for (const Rect& r : {a, b}) EXPECT_TRUE(r.minX() >= 0 && r.maxX() <= 1920 && r.minY() >= 0 && r.maxY() <= 1080);
    ASSERT_EQ(tileableWindows(*wm_).size(), 1u);  // the tools float
    EXPECT_EQ(tileableWindows(*wm_)[0].el, AXElement::window(image));

    // Above the image window in the list pagers read and in the server's own stacking.
    auto above = [&](xcb_window_t upper, xcb_window_t lower) {
        const auto list = tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST_STACKING");
        auto* tree = xcb_query_tree_reply(tc_->c(), xcb_query_tree(tc_->c(), tc_->root()), nullptr);
        const std::vector<xcb_window_t> kids(xcb_query_tree_children(tree),
                                             xcb_query_tree_children(tree) + xcb_query_tree_children_length(tree));
        free(tree);
        auto at = [](const auto& v, xcb_window_t w) { return std::find(v.begin(), v.end(), w) - v.begin(); };
        return at(list, upper) > at(list, lower) && at(kids, tc_->parent(upper)) > at(kids, tc_->parent(lower));
    };
    for (const char* source : {"tool", "image"}) {
        tc_->rootMessage(source == std::string("tool") ? toolbox : image, "_NET_ACTIVE_WINDOW", {2, 0, 0});
        ASSERT_TRUE(wm_->sync());
        EXPECT_TRUE(above(toolbox, image) && above(dock, image)) << "after raising the " << source;
    }

    // A dialog of the group that names no parent ("Quit GIMP") opens over the image window.
    wm_->setAttribute(AXElement::window(image), ax::Position, Point{900, 200});
    const Rect i = *frame(*wm_, AXElement::window(image));
    const Rect q = *frame(*wm_, AXElement::window(open("_NET_WM_WINDOW_TYPE_DIALOG", 400, 200)));
    EXPECT_EQ((Point{q.midX(), q.midY()}), (Point{i.midX(), i.midY()}));
}

TEST_F(X11Test, CloseRequestsReachTheClientAndDialogsOpenCentredOnTheirParent) {
    startPlatform();
    Recorder rec;
    Child term = client({"xterm"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    rec.observe(*wm_, term.pid());
    wm_->setAttribute(t, ax::Position, Point{100, 100});
    wm_->setAttribute(t, ax::SizeAttr, Size{700, 500});
    const Rect parent = *frame(*wm_, t);

    const xcb_window_t dlg = tc_->createWindow(0, 0, 200, 100);
    tc_->setCardinals(dlg, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, {xid(t)});
    tc_->setCardinals(dlg, "_NET_WM_PID", XCB_ATOM_CARDINAL, {static_cast<uint32_t>(term.pid())});
    xcb_map_window(tc_->c(), dlg);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return frame(*wm_, AXElement::window(dlg)).has_value(); }));
    EXPECT_EQ(attr<std::string>(*wm_, AXElement::window(dlg), ax::Subrole), std::string(ax::Dialog));
    const Rect d = *frame(*wm_, AXElement::window(dlg));
    EXPECT_NEAR(d.midX(), parent.midX(), 1);
    EXPECT_NEAR(d.midY(), parent.midY(), 1);
    EXPECT_EQ(tileableWindows(*wm_).size(), 1u);  // the dialog floats
    xcb_destroy_window(tc_->c(), dlg);
    tc_->sync();

    ASSERT_TRUE(waitFor([&] { return shellRunsIn(term.pid()); }));
    tc_->rootMessage(xid(t), "_NET_CLOSE_WINDOW", {0, 1});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(t, ax::UIElementDestroyed); }));
    EXPECT_TRUE(waitFor([&] { return term.exited(); }));
}

TEST_F(X11Test, AttentionUserTimesAndActivationRequestsReachTheLogic) {
    startPlatform();
    Recorder rec;
    constexpr uint32_t pid = 868686;
    rec.observe(*wm_, pid);
    xcb_window_t stamps = XCB_NONE;  // where the client keeps its user time
    const xcb_window_t w = managedWindow(pid, Rect(50, 50, 300, 200), [&](xcb_window_t win) {
        stamps = tc_->createWindow(0, 0, 1, 1);
        tc_->setCardinals(win, "_NET_WM_USER_TIME_WINDOW", XCB_ATOM_WINDOW, {stamps});
        tc_->setCardinals(stamps, "_NET_WM_USER_TIME", XCB_ATOM_CARDINAL, {0});
    });
    const AXElement el = AXElement::window(w);
    EXPECT_EQ(attr<int64_t>(*wm_, el, ax::UserTime), 0);  // "do not focus me"
    const xcb_window_t other = managedWindow(pid + 1, Rect(400, 50, 300, 200));

    // The urgency hint and the EWMH state each mark it; the notification follows every change.
    auto attentionIs = [&](bool wants, auto&& change) {
        rec.ax.clear();
        change();
        tc_->sync();
        EXPECT_TRUE(waitFor([&] { return rec.sawAX(el, ax::AttentionChanged); }));
        EXPECT_EQ(attr<bool>(*wm_, el, ax::DemandsAttention), wants);
    };
    const uint32_t urgency = 256;
    attentionIs(true, [&] { tc_->setCardinals(w, "WM_HINTS", XCB_ATOM_WM_HINTS, {urgency, 0, 0, 0, 0, 0, 0, 0, 0}); });
    attentionIs(false, [&] { tc_->setCardinals(w, "WM_HINTS", XCB_ATOM_WM_HINTS, {0, 0, 0, 0, 0, 0, 0, 0, 0}); });
    const uint32_t demands = tc_->atom("_NET_WM_STATE_DEMANDS_ATTENTION");
    attentionIs(true, [&] { tc_->rootMessage(w, "_NET_WM_STATE", {2, demands, 0, 1}); });
    // Focusing it takes the state away, as EWMH has the window manager do.
    attentionIs(false, [&] { wm_->setAttribute(el, "AXFocused", true); });
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(tc_->cardinals(w, "_NET_WM_STATE").empty());

    // User times come from the window the client names, in one count with the requests' times.
    tc_->setCardinals(stamps, "_NET_WM_USER_TIME", XCB_ATOM_CARDINAL, {5000});
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return attr<int64_t>(*wm_, el, ax::UserTime) != 0; }));

    // While someone judges them, requests are handed over and change nothing themselves.
    std::vector<ActivationRequest> asked;
    SubscriptionRef monitor = wm_->addActivationMonitor([&](const ActivationRequest& r) { asked.push_back(r); });
    ASSERT_TRUE(monitor);
    wm_->setAttribute(AXElement::window(other), "AXFocused", true);
    tc_->rootMessage(w, "_NET_ACTIVE_WINDOW", {1, 1000, 0});
    ASSERT_TRUE(waitFor([&] { return asked.size() == 1; }));
    EXPECT_EQ(asked[0].window, el);
    EXPECT_EQ(asked[0].source, ActivationSource::Application);
    ASSERT_TRUE(asked[0].userTime);
    EXPECT_LT(*asked[0].userTime, attr<int64_t>(*wm_, el, ax::UserTime).value_or(0));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{other});
    tc_->rootMessage(w, "_NET_ACTIVE_WINDOW", {2, 0, 0});
    ASSERT_TRUE(waitFor([&] { return asked.size() == 2; }));
    EXPECT_EQ(asked[1].source, ActivationSource::Pager);
    EXPECT_FALSE(asked[1].userTime);
    // A client mapping its minimised window again asks as the application, with its user time.
    tc_->rootMessage(w, "WM_CHANGE_STATE", {3});
    ASSERT_TRUE(waitFor([&] { return rec.sawAX(el, ax::WindowMiniaturized); }));
    ASSERT_TRUE(wm_->sync());  // unmapped on the server, so that the map is a request
    xcb_map_window(tc_->c(), w);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return asked.size() == 3; }));
    EXPECT_EQ(asked[2].source, ActivationSource::Application);
    EXPECT_EQ(asked[2].userTime, attr<int64_t>(*wm_, el, ax::UserTime));
    EXPECT_EQ(attr<bool>(*wm_, el, ax::Minimized), true);
}

TEST_F(X11Test, TheInvariantCheckNamesAClientOutOfItsFrameAndAClientListOthersRewrote) {
    startPlatform();
    const xcb_window_t w = managedWindow(727272, Rect(100, 100, 300, 200));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(wm_->checkInvariants(), std::vector<std::string>{});
    // Any client may do both; the check reads the server, not Tarvela's records.
    tc_->setCardinals(tc_->root(), "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {});
    xcb_reparent_window(tc_->c(), w, tc_->root(), 0, 0);
    tc_->sync();
    const std::vector<std::string> bad = wm_->checkInvariants();
    ASSERT_EQ(bad.size(), 2u);
    EXPECT_EQ(bad[0].find("client " + format("0x%x", w) + " is not inside its frame"), 0u) << bad[0];
    EXPECT_EQ(bad[1], "_NET_CLIENT_LIST names 0 windows, 1 are managed");
    xcb_destroy_window(tc_->c(), w);  // unmanaged: everything agrees again by the end
    tc_->sync();
    EXPECT_TRUE(waitFor([&] { return !frame(*wm_, AXElement::window(w)); }));
}

TEST_F(X11Test, FocusAndCloseGoThroughTheClientsOwnProtocols) {
    startPlatform();
    // A window that takes focus itself (ICCCM "globally active") and closes on request.
    const xcb_window_t own = tc_->createWindow(50, 50, 300, 200);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {717171});
    tc_->setCardinals(own, "WM_PROTOCOLS", XCB_ATOM_ATOM, {tc_->atom("WM_TAKE_FOCUS"), tc_->atom("WM_DELETE_WINDOW")});
    tc_->setCardinals(own, "WM_HINTS", tc_->atom("WM_HINTS"), {1, 0, 0, 0, 0, 0, 0, 0, 0});  // InputHint: false
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    uint32_t got = 0;
    ASSERT_TRUE(waitFor([&] { return (got = tc_->takeProtocolMessage(own)) != 0; }));
    EXPECT_EQ(got, tc_->atom("WM_TAKE_FOCUS"));
    EXPECT_EQ(wm_->frontmostApplication()->pid, 717171);
    tc_->rootMessage(own, "_NET_CLOSE_WINDOW", {0, 1});
    ASSERT_TRUE(waitFor([&] { return (got = tc_->takeProtocolMessage(own)) != 0; }));
    EXPECT_EQ(got, tc_->atom("WM_DELETE_WINDOW"));
    // Asked, not killed: the window is still there until it closes itself.
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(tc_->viewable(own));
    EXPECT_TRUE(frame(*wm_, AXElement::window(own)));
}

TEST_F(X11Test, DockStrutsShrinkTheVisibleFrameAndDocksAreNotManaged) {
    startPlatform();
    Recorder rec;
    rec.watchWorkspace(*wm_);
    ASSERT_EQ(wm_->screens().size(), 1u);
    EXPECT_EQ(wm_->screens()[0].frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(wm_->screens()[0].visibleFrame, Rect(0, 0, 1920, 1080));

    const xcb_window_t dock = tc_->createWindow(0, 0, 1920, 30);
    tc_->setCardinals(dock, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DOCK")});
    tc_->setCardinals(dock, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, {0, 0, 30, 0, 0, 0, 0, 0, 0, 1919, 0, 0});
    tc_->setCardinals(dock, "_NET_WM_PID", XCB_ATOM_CARDINAL, {777777});
    xcb_map_window(tc_->c(), dock);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return rec.countWs(WorkspaceEvent::ScreenParametersDidChange) >= 1; }));
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(tc_->viewable(dock));
    // Screen coordinates, y up: the top panel takes 30 points off the top.
    EXPECT_EQ(wm_->screens()[0].visibleFrame, Rect(0, 0, 1920, 1050));
    EXPECT_EQ(axRect(*wm_, wm_->screens()[0].visibleFrame), Rect(0, 30, 1920, 1050));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_WORKAREA"), (std::vector<uint32_t>{0, 30, 1920, 1050}));
    EXPECT_FALSE(frame(*wm_, AXElement::window(dock)));
    EXPECT_TRUE(tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").empty());
    EXPECT_TRUE(wm_->runningApplications().empty());

    // Every announcement rebuilds the strips, so hints that change nothing the
    // logic sees announce nothing: a second panel reserving the same band,
    // resources without a new Xft.dpi, that panel going away again. Each is
    // followed by a barrier, after which its notification would have arrived.
    auto announced = [&] {
        EXPECT_TRUE(wm_->sync());
        loop_.runOnce(0);
        return rec.countWs(WorkspaceEvent::ScreenParametersDidChange);
    };
    ASSERT_EQ(announced(), 1);
    const xcb_window_t twin = tc_->createWindow(0, 1050, 1920, 30);
    tc_->setCardinals(twin, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DOCK")});
    tc_->setCardinals(twin, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, {0, 0, 30, 0, 0, 0, 0, 0, 0, 1919, 0, 0});
    xcb_map_window(tc_->c(), twin);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return tc_->viewable(twin); }));
    EXPECT_EQ(announced(), 1);
    const xcb_atom_t resources = tc_->atom("RESOURCE_MANAGER");
    tc_->setString(tc_->root(), resources, XCB_ATOM_STRING, "Xcursor.size:\t24\nXft.dpi:\t96\n");
    tc_->sync();
    EXPECT_EQ(announced(), 1);
    xcb_destroy_window(tc_->c(), twin);
    tc_->sync();
    EXPECT_EQ(announced(), 1);
    // A new Xft.dpi is a new scale.
    tc_->setString(tc_->root(), resources, XCB_ATOM_STRING, "Xcursor.size:\t24\nXft.dpi:\t192\n");
    tc_->sync();
    EXPECT_EQ(announced(), 2);
    EXPECT_EQ(wm_->screens()[0].backingScaleFactor, 2);
    EXPECT_EQ(wm_->screens()[0].visibleFrame, Rect(0, 0, 1920, 1050));

    // The panel grows; then it goes away.
    rec.ws.clear();
    tc_->setCardinals(dock, "_NET_WM_STRUT", XCB_ATOM_CARDINAL, {0, 0, 0, 0});
    tc_->setCardinals(dock, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, {0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 1919});
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return wm_->screens()[0].visibleFrame == Rect(0, 40, 1920, 1040); }));
    xcb_destroy_window(tc_->c(), dock);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return wm_->screens()[0].visibleFrame == Rect(0, 0, 1920, 1080); }));
    EXPECT_EQ(announced(), 2);
}

TEST_F(X11Test, TwoMonitorsGiveTwoScreensAndAChangeNotification) {
    startPlatform();
    Recorder rec;
    rec.watchWorkspace(*wm_);
    ASSERT_EQ(wm_->screens().size(), 1u);
    twoMonitors();
    EXPECT_GE(rec.countWs(WorkspaceEvent::ScreenParametersDidChange), 1);
    auto s = wm_->screens();
    EXPECT_EQ(s[0].frame, Rect(0, 0, 960, 1080));
    EXPECT_EQ(s[1].frame, Rect(960, 0, 960, 1080));
    EXPECT_EQ(s[1].localizedName, "R");
    EXPECT_NE(s[0].id, s[1].id);
    EXPECT_EQ(screenIndex(*wm_, Rect(1000, 10, 200, 200)), 1);

    // A dialog centred on a column at the right monitor's left edge (its
    // middle over the left monitor, clipped away) stays on the right
    // monitor, its frame's left edge included.
    const xcb_window_t parent = managedWindow(828282, Rect(560, 100, 600, 600));
    const AXElement p = AXElement::window(parent);
    wm_->assignDisplay(p, s[1].id);
    wm_->setAttribute(p, ax::Position, Point{560, 100});
    const xcb_window_t dlg = tc_->createWindow(0, 0, 300, 200);
    tc_->setCardinals(dlg, "WM_TRANSIENT_FOR", XCB_ATOM_WINDOW, {parent});
    xcb_map_window(tc_->c(), dlg);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return frame(*wm_, AXElement::window(dlg)).has_value(); }));
    EXPECT_EQ(frame(*wm_, AXElement::window(dlg)), Rect(960 + titlebar::edge, 300, 300, 200));

    // A full-screen request now covers only its own monitor.
    Child term = client({"xterm"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    wm_->setAttribute(t, ax::Position, Point{1100, 100});
    wm_->setAttribute(t, ax::FullScreen, true);
    EXPECT_EQ(frame(*wm_, t), Rect(960, 0, 960, 1080));
}

TEST_F(X11Test, AltDragAndMoveResizeRequestsMoveWindowsAndEndWithMouseUp) {
    startPlatform();
    int mouseUps = 0;
    auto monitor = wm_->addMouseUpMonitor([&] { ++mouseUps; });
    Child logo = client({"xlogo"});
    const AXElement l = windowOf(logo.pid());
    ASSERT_TRUE(l);
    wm_->setAttribute(l, ax::Position, Point{100, 100});
    wm_->setAttribute(l, ax::SizeAttr, Size{200, 200});
    ASSERT_TRUE(wm_->sync());

    constexpr uint8_t kAltL = 64;  // Alt_L in the X server's default keymap
    tc_->motion(150, 150);
    tc_->key(kAltL, true);
    tc_->button(1, true);
    tc_->motion(250, 180);
    tc_->motion(350, 210);
    tc_->button(1, false);
    tc_->key(kAltL, false);
    ASSERT_TRUE(waitFor([&] { return mouseUps >= 1; }));
    EXPECT_EQ(attr<Point>(*wm_, l, ax::Position), (Point{300, 160}));
    // The dragged window is the focused one, as after a click: the strip looks there on mouse-up.
    EXPECT_EQ(attr<AXElement>(*wm_, AXElement::application(logo.pid()), ax::FocusedWindow), l);
    EXPECT_EQ(wm_->frontmostApplication()->pid, logo.pid());

    // _NET_WM_MOVERESIZE (move) as a toolkit sends it from a button press in its own title area.
    const int before = mouseUps;
    tc_->motion(320, 180);
    tc_->button(1, true);
    ASSERT_TRUE(wm_->sync());
    tc_->rootMessage(xid(l), "_NET_WM_MOVERESIZE", {320, 180, 8, 1, 1});
    tc_->sync();
    ASSERT_TRUE(wm_->sync());
    tc_->motion(420, 380);
    tc_->button(1, false);
    ASSERT_TRUE(waitFor([&] { return mouseUps > before; }));
    EXPECT_EQ(attr<Point>(*wm_, l, ax::Position), (Point{400, 360}));
}

TEST_F(X11Test, AFrameIsShapedExactlyAsItsClientWhereverTheClientSits) {
    startPlatform();
    Child eyes = client({"xeyes"});  // shapes itself to its eyes at every size
    const AXElement e = windowOf(eyes.pid());
    ASSERT_TRUE(e);
    const xcb_window_t frameOfEyes = tc_->parent(xid(e));
    auto framedAsClient = [&](int dx = 0) {
        const Region client = boundingShape(*tc_, xid(e), dx);
        return !client.empty() && boundingShape(*tc_, frameOfEyes) == client;
    };
    ASSERT_TRUE(waitFor([&] { return framedAsClient(); }));
    const Region before = boundingShape(*tc_, xid(e));
    wm_->setAttribute(e, ax::SizeAttr, Size{300, 200});
    ASSERT_TRUE(waitFor([&] { return boundingShape(*tc_, xid(e)) != before && framedAsClient(); }));
    // Clipped at its display's left edge: the client's shape at its offset in the frame.
    wm_->assignDisplay(e, wm_->screens().front().id);
    wm_->setAttribute(e, ax::Position, Point{-100, 100});
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(framedAsClient(-100));
    // Parked beyond its display and back: hidden meanwhile, then shaped again.
    wm_->setAttribute(e, ax::Position, Point{2000, 100});
    wm_->setAttribute(e, ax::Position, Point{100, 100});
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(framedAsClient());

    // A client that drops its shape leaves its frame unshaped.
    const xcb_rectangle_t half{0, 0, 100, 100};
    const xcb_window_t own = managedWindow(838383, Rect(0, 0, 200, 100), [&](xcb_window_t w) {
        xcb_shape_rectangles(tc_->c(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, w, 0, 0, 1,
                             &half);
    });
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(boundingShape(*tc_, tc_->parent(own)), (Region{{0, 0, 100, 100}}));
    xcb_shape_mask(tc_->c(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, own, 0, 0, XCB_NONE);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return boundingShape(*tc_, tc_->parent(own)).empty(); }));
}

TEST_F(X11Test, AnAltDragInterruptsTheAltPressForTheWindowDragged) {
    startPlatform();
    // A client with Firefox's rule: Alt pressed and released with nothing in
    // between (no other key, no focus change) shows the menu bar.
    const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE | XCB_EVENT_MASK_FOCUS_CHANGE;
    managedWindow(858585, Rect(100, 100, 300, 200),
                  [&](xcb_window_t w) { xcb_change_window_attributes(tc_->c(), w, XCB_CW_EVENT_MASK, &mask); });
    constexpr uint8_t kAltL = 64;
    for (int button : {1, 3}) {  // a move and a resize; a hand is slower than the window manager
        ASSERT_TRUE(wm_->sync());
        tc_->motion(200, 150);
        tc_->key(kAltL, true);
        tc_->button(button, true);
        ASSERT_TRUE(wm_->sync());
        tc_->motion(260, 190);
        tc_->button(button, false);
        ASSERT_TRUE(wm_->sync());
        tc_->key(kAltL, false);
    }
    int presses = 0, menuBars = 0;
    bool interrupted = false;
    while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) {
        const uint8_t type = e->response_type & 0x7f;
        const bool alt = (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) &&
                         reinterpret_cast<xcb_key_press_event_t*>(e)->detail == kAltL;
        interrupted = (interrupted || type == XCB_FOCUS_OUT) && !(alt && type == XCB_KEY_PRESS);
        presses += alt && type == XCB_KEY_PRESS;
        menuBars += alt && type == XCB_KEY_RELEASE && !interrupted;
        free(e);
    }
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(menuBars, 0);
}

TEST_F(X11Test, CapturesWindowPicturesEvenOffScreen) {
    startPlatform();
    Child logo = client({"xlogo"});
    const AXElement l = windowOf(logo.pid());
    ASSERT_TRUE(l);
    wm_->setAttribute(l, ax::SizeAttr, Size{120, 90});
    wm_->setAttribute(l, ax::Position, Point{1850, 100});  // partly off screen
    ASSERT_TRUE(wm_->sync());
    // xlogo repaints after the resize: wait until the picture shows both its colours.
    ImageRef img;
    auto bothColours = [&] {
        img = wm_->capture(l, std::nullopt);
        if (!img) return false;
        bool black = false, white = false;
        for (uint32_t px : img->argb) {
            black |= (px & 0xffffff) == 0;
            white |= (px & 0xffffff) == 0xffffff;
        }
        return black && white;
    };
    ASSERT_TRUE(waitFor(bothColours));
    EXPECT_EQ(img->width, 120);
    EXPECT_EQ(img->height, 90);
    EXPECT_EQ(img->argb[0] >> 24, 0xffu);
    // Wholly outside the display that holds it, its frame hidden: still the whole
    // picture. The client waits just inside the display, where pagers look, and hears so.
    const uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(tc_->c(), xid(l), XCB_CW_EVENT_MASK, &structure);
    tc_->sync();
    wm_->assignDisplay(l, wm_->screens().front().id);
    wm_->setAttribute(l, ax::Position, Point{2500, 100});
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(bothColours());
    EXPECT_EQ(tc_->geometry(xid(l)).x, 1800);
    auto told = [&] {  // the x of the last synthetic ConfigureNotify, or -1
        int x = -1;
        tc_->sync();
        while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) {
            if (e->response_type == (XCB_CONFIGURE_NOTIFY | 0x80))
                x = reinterpret_cast<xcb_configure_notify_event_t*>(e)->x;
            free(e);
        }
        return x;
    };
    EXPECT_EQ(told(), 1800);
    // Further off, still waiting at the same spot: neither the server nor the
    // client hears anything, as for every column a slide passes off screen.
    const uint64_t requests = wm_->positionRequests();
    wm_->setAttribute(l, ax::Position, Point{3000, 100});
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(wm_->positionRequests(), requests);
    EXPECT_EQ(told(), -1);
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 120);
    EXPECT_FALSE(wm_->capture(AXElement::window(12345), std::nullopt));
}

TEST_F(X11Test, PicturesComeScaledByTheServerToTheSizeAsked) {
    startPlatform();
    // Red on the left half, blue on the right (a child window), 400 x 300.
    const xcb_window_t own = tc_->createWindow(0, 0, 400, 300);
    const uint32_t red = 0xff0000, blue = 0x0000ff;
    xcb_change_window_attributes(tc_->c(), own, XCB_CW_BACK_PIXEL, &red);
    const xcb_window_t right = xcb_generate_id(tc_->c());
    xcb_create_window(tc_->c(), XCB_COPY_FROM_PARENT, right, own, 200, 0, 200, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, &blue);
    xcb_map_window(tc_->c(), right);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {707070});
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return bool(windowOf(707070)); }));
    const AXElement el = windowOf(707070);
    const PixelSize card{100, 75};
    auto at = [](const ImageRef& img, int x, int y) { return img->argb.at(size_t(y) * img->width + x); };
    ImageRef img;
    ASSERT_TRUE(waitFor([&] {
        img = wm_->capture(el, card);
        return img && at(img, 10, 37) == 0xffff0000u;
    }));
    EXPECT_EQ(img->width, 100);
    EXPECT_EQ(img->height, 75);
    EXPECT_EQ(at(img, 0, 0), 0xffff0000u);
    EXPECT_EQ(at(img, 45, 74), 0xffff0000u);
    EXPECT_EQ(at(img, 55, 0), 0xff0000ffu);
    EXPECT_EQ(at(img, 99, 74), 0xff0000ffu);
    // Asked for ahead, the same picture; one asked for a window that has
    // gone is no picture, and spoils nothing after it.
    wm_->prepareCapture(el, card);
    EXPECT_EQ(wm_->capture(el, card)->argb, img->argb);
    const xcb_window_t gone = tc_->createWindow(0, 0, 50, 50);
    tc_->setCardinals(gone, "_NET_WM_PID", XCB_ATOM_CARDINAL, {717171});
    xcb_map_window(tc_->c(), gone);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return bool(windowOf(717171)); }));
    const AXElement goneEl = windowOf(717171);
    xcb_destroy_window(tc_->c(), gone);
    tc_->sync();
    wm_->prepareCapture(goneEl, {10, 10});
    EXPECT_FALSE(wm_->capture(goneEl, PixelSize{10, 10}));
    EXPECT_EQ(wm_->capture(el, card)->argb, img->argb);
}

TEST_F(X11Test, ApplicationsAreDescribedFromTheirWindowsAndDesktopEntries) {
    std::filesystem::create_directories(tmp_ + "/data/applications");
    std::ofstream(tmp_ + "/data/applications/org.example.Logo.desktop")
        << "[Desktop Entry]\nType=Application\nName=Example Logo\nExec=xlogo %U\n";
    startPlatform();
    EXPECT_TRUE(wm_->isApplicationInstalled("org.example.Logo"));
    EXPECT_FALSE(wm_->isApplicationInstalled("org.example.Missing"));
    EXPECT_FALSE(wm_->launchApplication("org.example.Missing"));

    // A window that names a GTK application id, and carries two icon sizes.
    const xcb_window_t own = tc_->createWindow(0, 0, 300, 200);
    tc_->setCardinals(own, "_NET_WM_PID", XCB_ATOM_CARDINAL, {606060});
    tc_->setString(own, tc_->atom("_GTK_APPLICATION_ID"), tc_->atom("UTF8_STRING"), "org.example.Logo");
    std::vector<uint32_t> icon = {16, 16};
    icon.resize(2 + 256, 0xff0000ff);
    icon.push_back(64);
    icon.push_back(64);
    icon.resize(icon.size() + 64 * 64, 0xff00ff00);
    tc_->setCardinals(own, "_NET_WM_ICON", XCB_ATOM_CARDINAL, icon);
    tc_->setCardinals(own, "_NET_WM_STATE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_STATE_SKIP_TASKBAR")});
    tc_->setString(own, tc_->atom("_NET_STARTUP_ID"), tc_->atom("UTF8_STRING"), "from-a-launcher");
    xcb_map_window(tc_->c(), own);
    tc_->sync();
    ASSERT_TRUE(windowOf(606060));
    auto app = wm_->runningApplication(606060);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->bundleIdentifier, "org.example.Logo");
    EXPECT_EQ(app->localizedName, "Example Logo");
    ASSERT_TRUE(app->icon);
    EXPECT_EQ(app->icon->width, 64);
    EXPECT_EQ(app->icon->argb.at(0), 0xff00ff00u);
    // Skip-taskbar: an accessory, whose windows are not enumerated for tiling.
    EXPECT_EQ(app->activationPolicy, ActivationPolicy::Accessory);
    EXPECT_TRUE(tileableWindows(*wm_).empty());
    EXPECT_EQ(attr<std::string>(*wm_, AXElement::window(own), ax::StartupId), "from-a-launcher");

    // Launching by desktop-file id starts the program detached, on our display;
    // its window tells the launch it came from, though xlogo never says.
    ASSERT_TRUE(wm_->launchApplication("org.example.Logo", "from-tarvela"));
    std::optional<RunningApp> logo;
    ASSERT_TRUE(waitFor([&] {
        for (auto& a : wm_->runningApplications())
            if (a.localizedName == std::optional<std::string>("XLogo")) logo = a;
        return logo.has_value();
    }));
    AXElement launched = windowOf(logo->pid);
    EXPECT_EQ(attr<std::string>(*wm_, launched, ax::StartupId), "from-tarvela");
    for (auto& a : wm_->runningApplications())
        if (a.pid != 606060) kill(a.pid, SIGTERM);
}


// Title bars: a painter that remembers what it was asked to paint.
struct Looks final : TitleBarPainter {
    std::vector<TitleBarLook> seen;
    Image paint(const TitleBarLook& look) override {
        seen.push_back(look);
        return PlainTitleBarPainter().paint(look);
    }
    bool saw(const std::string& title, bool focused) const {
        return std::any_of(seen.begin(), seen.end(),
                           [&](const TitleBarLook& l) { return l.title == title && l.focused == focused; });
    }
};

class TitleBarTest : public X11Test {
protected:
    void start() {
        options_.pingTimeout = 0.3;
        startPlatform();
        wm_->setTitleBarPainter(looks_);
    }
    // A press and release of the left button at (x, y), root coordinates.
    void clickAt(int x, int y) {
        tc_->motion(x, y);
        tc_->button(1, true);
        tc_->button(1, false);
        tc_->sync();
    }
    void dragBy(int x, int y, int dx, int dy) {
        tc_->motion(x, y);
        tc_->button(1, true);
        tc_->motion(x + dx / 2, y + dy / 2);
        tc_->motion(x + dx, y + dy);
        tc_->button(1, false);
        tc_->sync();
    }
    TestClient::Geom frameOf(xcb_window_t w) { return tc_->geometry(tc_->parent(w)); }
    std::shared_ptr<Looks> looks_ = std::make_shared<Looks>();
};

const std::vector<uint32_t> kBarExtents = {titlebar::edge, titlebar::edge, titlebar::height, titlebar::edge};
const std::vector<uint32_t> kNoExtents = {0, 0, 0, 0};

TEST_F(TitleBarTest, AFloatedTerminalIsTitledMovedResizedMinimisedAndClosedByItsBar) {
    start();
    Child term = client({"xterm", "-T", "shell"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    const xcb_window_t w = xid(t);
    wm_->setAttribute(t, ax::Position, Point{200, 200});
    wm_->setAttribute(t, ax::SizeAttr, Size{400, 300});
    // A column has no bar; taken out of its strip it floats with one.
    wm_->assignDisplay(t, wm_->screens().front().id);
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(tc_->cardinals(w, "_NET_FRAME_EXTENTS"), kNoExtents);
    wm_->assignDisplay(t, std::nullopt);
    wm_->performAction(t, ax::Raise);
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(tc_->cardinals(w, "_NET_FRAME_EXTENTS"), kBarExtents);
    const Rect r = *frame(*wm_, t);
    auto fr = frameOf(w);
    EXPECT_EQ((std::array<int, 4>{fr.x, fr.y, fr.w, fr.h}),
              (std::array<int, 4>{int(r.x) - titlebar::edge, int(r.y) - titlebar::height,
                                  int(r.width) + 2 * titlebar::edge, int(r.height) + titlebar::height + titlebar::edge}));
    EXPECT_TRUE(looks_->saw("shell", true));

    // The title follows the client's own name.
    tc_->setString(w, tc_->atom("_NET_WM_NAME"), tc_->atom("UTF8_STRING"), "renamed");
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return looks_->saw("renamed", true); }));

    // Dragged by the bar: the pointer's way; by the right edge: wider, in whole cells.
    dragBy(fr.x + fr.w / 2, fr.y + titlebar::height / 2, 100, 80);
    ASSERT_TRUE(waitFor([&] { return frame(*wm_, t)->origin() == Point{r.x + 100, r.y + 80}; }));
    fr = frameOf(w);
    dragBy(fr.x + fr.w - 2, fr.y + fr.h / 2, 60, 0);
    ASSERT_TRUE(waitFor([&] { return frame(*wm_, t)->width >= r.width + 54; }));
    EXPECT_LE(frame(*wm_, t)->width, r.width + 60);
    EXPECT_EQ(frame(*wm_, t)->origin(), (Point{r.x + 100, r.y + 80}));
    ASSERT_TRUE(wm_->sync());
    EXPECT_TRUE(wm_->checkInvariants().empty());

    fr = frameOf(w);
    const Rect minimise = *titlebar::minimiseButton(fr.w, true);
    clickAt(fr.x + int(minimise.midX()), fr.y + int(minimise.midY()));
    ASSERT_TRUE(waitFor([&] { return attr<bool>(*wm_, t, ax::Minimized) == true; }));
    wm_->setAttribute(t, ax::Minimized, false);
    ASSERT_TRUE(wm_->sync());

    // Clicked, its bar shows the focus; another window taking it, the bar shows that too.
    clickAt(fr.x + fr.w / 2, fr.y + titlebar::height / 2);
    ASSERT_TRUE(waitFor([&] { return looks_->seen.back().focused; }));
    managedWindow(4242, Rect(50, 50, 100, 100));
    EXPECT_TRUE(waitFor([&] { return !looks_->seen.back().focused; }));

    ASSERT_TRUE(waitFor([&] { return shellRunsIn(term.pid()); }));
    const Rect close = titlebar::closeButton(fr.w);
    clickAt(fr.x + int(close.midX()), fr.y + int(close.midY()));
    EXPECT_TRUE(waitFor([&] { return term.exited(); }));
}

// Floated from a column at the monitor's top right, the window moves the
// least that brings its bar and edges onto the monitor, where they can be reached.
TEST_F(TitleBarTest, AWindowFloatedAgainstTheMonitorsEdgesHasItsWholeFrameOnIt) {
    start();
    const xcb_window_t w = managedWindow(4242, Rect(100, 100, 400, 300));
    const AXElement el = AXElement::window(w);
    const auto root = tc_->geometry(tc_->root());
    wm_->assignDisplay(el, wm_->screens().front().id);
    wm_->setAttribute(el, ax::Position, Point{root.w - 400.0, 0});
    wm_->assignDisplay(el, std::nullopt);
    EXPECT_TRUE(waitFor([&] {
        return frame(*wm_, el)->origin() == Point{root.w - 400.0 - titlebar::edge, titlebar::height};
    }));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(frameOf(w).y, 0);
}

// Pagers are offered what Tarvela does with a window; a window whose hints
// forbid minimising or resizing has no button for it, and no resize cursor
// over its edges (the other edges show which way they resize).
TEST_F(TitleBarTest, AllowedActionsButtonsAndEdgesFollowWhatAWindowLets) {
    start();
    xcb_connection_t* c = tc_->c();
    free(xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr));
    auto cursorAt = [&](int x, int y) {
        tc_->motion(x, y);
        auto* r = xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr);
        const uint32_t serial = r ? r->cursor_serial : 0;
        free(r);
        return serial;
    };
    std::vector<uint32_t> oneSize(18, 0);
    oneSize[0] = (1u << 4) | (1u << 5);
    oneSize[5] = oneSize[7] = 200, oneSize[6] = oneSize[8] = 100;
    struct Case {
        const char *what, *type, *prop;
        std::vector<uint32_t> value;
        bool tiled;
        std::vector<std::string> actions;
    };
    const Case cases[] = {
        {"a column", "NORMAL", "", {}, true, {"MOVE", "RESIZE", "MINIMIZE", "FULLSCREEN", "CHANGE_DESKTOP", "CLOSE"}},
        {"a dialog", "DIALOG", "", {}, false, {"MOVE", "RESIZE", "FULLSCREEN", "CHANGE_DESKTOP", "STICK", "CLOSE"}},
        {"one size", "DIALOG", "WM_NORMAL_HINTS", oneSize, false, {"MOVE", "FULLSCREEN", "CHANGE_DESKTOP", "STICK", "CLOSE"}},
        {"Motif: no minimise, no resize", "NORMAL", "_MOTIF_WM_HINTS", {1, 1 | 2 | 8, 0}, false,
         {"MOVE", "FULLSCREEN", "CHANGE_DESKTOP", "STICK", "CLOSE"}},
    };
    for (const Case& k : cases) {
        const xcb_window_t w = managedWindow(4242, Rect(300, 300, 200, 100), [&](xcb_window_t w) {
            tc_->setString(w, tc_->atom("_NET_WM_NAME"), tc_->atom("UTF8_STRING"), k.what);
            tc_->setCardinals(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM,
                              {tc_->atom(("_NET_WM_WINDOW_TYPE_" + std::string(k.type)).c_str())});
            if (*k.prop) tc_->setCardinals(w, k.prop, tc_->atom(*k.prop == 'W' ? "WM_SIZE_HINTS" : k.prop), k.value);
        });
        const AXElement el = AXElement::window(w);
        wm_->assignDisplay(el, wm_->screens().front().id);
        if (!k.tiled) wm_->assignDisplay(el, std::nullopt);
        ASSERT_TRUE(wm_->sync());
        std::vector<uint32_t> want;
        for (const std::string& a : k.actions) want.push_back(tc_->atom(("_NET_WM_ACTION_" + a).c_str()));
        EXPECT_EQ(tc_->cardinals(w, "_NET_WM_ALLOWED_ACTIONS"), want) << k.what;
        if (k.tiled) continue;
        EXPECT_EQ(looks_->seen.back().title, k.what);
        EXPECT_FALSE(looks_->seen.back().minimisable) << k.what;
        const auto fr = frameOf(w);
        const uint32_t bar = cursorAt(fr.x + fr.w / 2, fr.y + titlebar::height / 2);
        const uint32_t side = cursorAt(fr.x + fr.w - 2, fr.y + fr.h / 2), corner = cursorAt(fr.x + fr.w - 2, fr.y + fr.h - 2);
        const bool resizes = k.actions[1] == "RESIZE";
        EXPECT_EQ(std::set<uint32_t>({bar, side, corner}).size(), resizes ? 3u : 1u) << k.what;
        xcb_destroy_window(c, w);
    }
}

TEST_F(TitleBarTest, OnlyAClientThatDoesNotAnswerTheCloseIsOfferedTheKill) {
    start();
    std::vector<std::pair<uint32_t, std::string>> offered;
    wm_->onUnresponsiveClose([&](uint32_t win, const std::string& title, std::function<void(bool)> answer) {
        offered.emplace_back(win, title);
        answer(true);
    });
    // Two dialogs of their own connections that ignore WM_DELETE_WINDOW; one answers pings.
    struct Other {
        xcb_connection_t* c;
        xcb_window_t w;
    };
    auto open = [&](const std::string& title) {
        xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, tc_->root(), 300, 300, 200, 120, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));  // made before the test sets its properties
        tc_->setCardinals(w, "WM_PROTOCOLS", XCB_ATOM_ATOM, {tc_->atom("WM_DELETE_WINDOW"), tc_->atom("_NET_WM_PING")});
        tc_->setCardinals(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DIALOG")});
        tc_->setString(w, tc_->atom("_NET_WM_NAME"), tc_->atom("UTF8_STRING"), title);
        tc_->sync();
        xcb_map_window(c, w);
        xcb_flush(c);
        EXPECT_TRUE(waitFor([&] { return frame(*wm_, AXElement::window(w)).has_value(); }));
        return Other{c, w};
    };
    auto clickClose = [&](xcb_window_t w) {
        ASSERT_TRUE(wm_->sync());
        const auto fr = frameOf(w);
        const Rect close = titlebar::closeButton(fr.w);
        clickAt(fr.x + int(close.midX()), fr.y + int(close.midY()));
    };
    // One at a time: dialogs open centred, the second over the first.
    const Other alive = open("alive");
    clickClose(alive.w);
    bool pinged = false;
    ASSERT_TRUE(waitFor([&] {
        while (xcb_generic_event_t* e = xcb_poll_for_event(alive.c)) {
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE && m->data.data32[0] == tc_->atom("_NET_WM_PING")) {
                m->window = tc_->root();  // the answer: the same message, to the root
                xcb_send_event(alive.c, 0, tc_->root(),
                               XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                               reinterpret_cast<const char*>(m));
                xcb_flush(alive.c);
                pinged = true;
            }
            free(e);
        }
        return pinged;
    }));
    const Other hung = open("hung");
    clickClose(hung.w);
    ASSERT_TRUE(waitFor([&] { return !frame(*wm_, AXElement::window(hung.w)).has_value(); }));
    EXPECT_EQ(offered, (std::vector<std::pair<uint32_t, std::string>>{{hung.w, "hung"}}));
    EXPECT_TRUE(frame(*wm_, AXElement::window(alive.w)).has_value());
    xcb_disconnect(alive.c);
    xcb_disconnect(hung.c);
}

TEST_F(TitleBarTest, APositionAClientAsksForPlacesTheGravitysPointOfItsFrame) {
    start();
    struct Case {
        uint32_t gravity;
        int dx, dy;  // the client from the point asked for
    };
    const Case cases[] = {{1, titlebar::edge, titlebar::height}, {10, 0, 0}, {9, -titlebar::edge, -titlebar::edge}};
    for (const Case& k : cases) {
        const xcb_window_t w = managedWindow(4242, Rect(300, 300, 200, 100), [&](xcb_window_t w) {
            tc_->setCardinals(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DIALOG")});
            std::vector<uint32_t> hints(18, 0);
            hints[0] = 1u << 9;  // PWinGravity
            hints[17] = k.gravity;
            tc_->setCardinals(w, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS, hints);
        });
        const uint32_t to[] = {500, 400};
        xcb_configure_window(tc_->c(), w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
        tc_->sync();
        const Point want{500.0 + k.dx, 400.0 + k.dy};
        EXPECT_TRUE(waitFor([&] { return frame(*wm_, AXElement::window(w))->origin() == want; }))
            << "gravity " << k.gravity;
        xcb_destroy_window(tc_->c(), w);
    }
}

TEST_F(TitleBarTest, WindowsThatDrawTheirOwnFramesGetNoBar) {
    start();
    struct Case {
        const char* what;
        std::function<void(xcb_window_t)> set;
        bool bar;
    };
    const std::vector<Case> cases = {
        {"a plain dialog", [](xcb_window_t) {}, true},
        {"Motif hints without decorations",
         [&](xcb_window_t w) { tc_->setCardinals(w, "_MOTIF_WM_HINTS", tc_->atom("_MOTIF_WM_HINTS"), {2, 0, 0, 0, 0}); },
         false},
        {"GTK client-side decorations",
         [&](xcb_window_t w) { tc_->setCardinals(w, "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, {10, 10, 10, 10}); },
         false},
        {"a shaped window",
         [&](xcb_window_t w) {
             const xcb_rectangle_t round[] = {{10, 0, 180, 100}, {0, 10, 200, 80}};
             xcb_shape_rectangles(tc_->c(), XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, w, 0,
                                  0, 2, round);
         },
         false},
    };
    for (const Case& k : cases) {
        const xcb_window_t w = managedWindow(4242, Rect(300, 300, 200, 100), [&](xcb_window_t w) {
            tc_->setCardinals(w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DIALOG")});
            k.set(w);
        });
        ASSERT_TRUE(wm_->sync());
        const Rect r = *frame(*wm_, AXElement::window(w));
        const auto fr = frameOf(w);
        EXPECT_EQ(tc_->cardinals(w, "_NET_FRAME_EXTENTS"), k.bar ? kBarExtents : kNoExtents) << k.what;
        EXPECT_EQ(fr.y, int(r.y) - (k.bar ? titlebar::height : 0)) << k.what;
        xcb_destroy_window(tc_->c(), w);
    }
    // Asked before it maps, a dialog hears the extents it will have.
    const xcb_window_t asking = tc_->createWindow(300, 300, 200, 100);
    tc_->setCardinals(asking, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DIALOG")});
    tc_->rootMessage(asking, "_NET_REQUEST_FRAME_EXTENTS", {});
    EXPECT_TRUE(waitFor([&] { return tc_->cardinals(asking, "_NET_FRAME_EXTENTS") == kBarExtents; }));
}

}  // namespace
}  // namespace tarvela::testing

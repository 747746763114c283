// What the shell asks of the X desktop: a compositor and a tray coming and going, the
// placement and taskbar presence of Tarvela's own windows, and the pointer
// followed across the screen only while someone watches.
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <algorithm>

#include "core/title_bar.h"
#include "core/window_access.h"
#include "platform/x11/x11_connection.h"
#include "x11_fixture.h"

namespace tarvela::testing {
namespace {

const uint32_t self = static_cast<uint32_t>(getpid());

class X11ShellTest : public X11Test {
protected:
    // A top-level window of process pid that insists on its place (USPosition), mapped and managed.
    xcb_window_t openWindow(uint32_t pid, int x, int y, int w, int h, std::vector<uint32_t> netState = {}) {
        return managedWindow(pid, Rect(x, y, w, h), [&](xcb_window_t win) {
            std::vector<uint32_t> hints(18, 0);
            hints[0] = 1;  // USPosition
            tc_->setCardinals(win, "WM_NORMAL_HINTS", XCB_ATOM_WM_SIZE_HINTS, hints);
            if (!netState.empty()) tc_->setCardinals(win, "_NET_WM_STATE", XCB_ATOM_ATOM, netState);
        });
    }
    bool hasState(xcb_window_t w, const char* state) {
        auto v = tc_->cardinals(w, "_NET_WM_STATE");
        return std::find(v.begin(), v.end(), tc_->atom(state)) != v.end();
    }
    bool settled() { return tc_->sync(), wm_->sync(); }
    // Raw pointer events the platform's own connection selects on the root.
    bool rootSelects(int type) {
        xcb_connection_t* c = wm_->connection().raw();
        auto* r = xcb_input_xi_get_selected_events_reply(c, xcb_input_xi_get_selected_events(c, tc_->root()), nullptr);
        if (!r) return false;
        bool on = false;
        for (auto it = xcb_input_xi_get_selected_events_masks_iterator(r); it.rem; xcb_input_event_mask_next(&it))
            if (it.data->deviceid == XCB_INPUT_DEVICE_ALL_MASTER && it.data->mask_len > type / 32)
                on = xcb_input_event_mask_mask(it.data)[type / 32] & (1u << (type % 32));
        free(r);
        return on;
    }
};

TEST_F(X11ShellTest, CompositingAndTheTrayFollowTheirProgramsComingAndGoing) {
    startPlatform();
    std::vector<bool> told;
    wm_->onCompositingChanged([&](bool on) { told.push_back(on); });
    EXPECT_FALSE(wm_->compositing());
    Child picom = client({"picom", "--backend", "xrender", "--no-vsync", "--config", "/dev/null"});
    ASSERT_TRUE(waitFor([&] { return !told.empty(); })) << "picom did not take _NET_WM_CM_S0";
    EXPECT_TRUE(wm_->compositing());
    X11Options o;
    o.display = display_;
    EXPECT_TRUE(X11Platform(loop_, o).compositing()) << "one started meanwhile sees it at once";
    picom.stop();
    ASSERT_TRUE(waitFor([&] { return told.size() == 2; }));
    EXPECT_FALSE(wm_->compositing());
    EXPECT_EQ(told, (std::vector<bool>{true, false}));

    // A panel's system tray likewise.
    std::vector<bool> trays;
    wm_->onSystemTrayChanged([&](bool on) { trays.push_back(on); });
    Child panel = client({"tint2", "-c", "/etc/xdg/tint2/tint2rc"});
    ASSERT_TRUE(waitFor([&] { return wm_->systemTray(); })) << "tint2 did not take _NET_SYSTEM_TRAY_S0";
    EXPECT_TRUE(X11Platform(loop_, o).systemTray());
    panel.stop();
    ASSERT_TRUE(waitFor([&] { return trays.size() == 2; }));
    EXPECT_EQ(trays, (std::vector<bool>{true, false}));
}

TEST_F(X11ShellTest, OwnWindowsFloatCentredOnTheDisplayInUseAndCanLeaveTheTaskbar) {
    startPlatform();
    twoMonitors();

    // Nothing focused: the pointer's display. The corner the window asks for does not count.
    tc_->motion(1500, 500);
    const xcb_window_t own = openWindow(self, 10, 10, 400, 300);
    const AXElement o = AXElement::window(own);
    EXPECT_EQ(frame(*wm_, o), Rect(1240, 390, 400, 300));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{own});
    EXPECT_FALSE(hasState(own, "_NET_WM_STATE_SKIP_TASKBAR"));

    // A strip cannot take it: its own moves are honoured and nothing clips it at the display edge.
    wm_->assignDisplay(o, wm_->screens()[1].id);
    const uint32_t to[] = {1700, 900};
    xcb_configure_window(tc_->c(), own, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, to);
    ASSERT_TRUE(settled());
    EXPECT_EQ(frame(*wm_, o), Rect(1700 + titlebar::edge, 900 + titlebar::height, 400, 300));  // its frame at the point asked
    const auto g = tc_->geometry(tc_->parent(own));
    // Unclipped: the client and the title bar around it.
    EXPECT_EQ(std::make_pair(g.w, g.h),
              std::make_pair(400 + 2 * titlebar::edge, 300 + titlebar::height + titlebar::edge));

    // Out of the taskbar: at once for those open, from the start for later ones, never for others'.
    wm_->setOwnWindowsInTaskbar(false);
    const xcb_window_t other = openWindow(424242, 100, 100, 300, 200);
    // This one also asks to skip pagers itself; a focused window's display wins over the pointer's.
    const xcb_window_t later = openWindow(self, 1500, 600, 200, 100, {tc_->atom("_NET_WM_STATE_SKIP_PAGER")});
    EXPECT_EQ(frame(*wm_, AXElement::window(later)), Rect(380, 490, 200, 100));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW"), std::vector<uint32_t>{later});
    for (xcb_window_t w : {own, later})
        EXPECT_TRUE(hasState(w, "_NET_WM_STATE_SKIP_TASKBAR") && hasState(w, "_NET_WM_STATE_SKIP_PAGER")) << w;
    EXPECT_FALSE(hasState(other, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_EQ(wm_->runningApplication(getpid())->activationPolicy, ActivationPolicy::Accessory);
    // The manager arranges the other application's window, never ours.
    auto tileable = tileableWindows(*wm_);
    ASSERT_EQ(tileable.size(), 1u);
    EXPECT_EQ(tileable[0].el, AXElement::window(other));

    wm_->setOwnWindowsInTaskbar(true);
    ASSERT_TRUE(settled());
    EXPECT_FALSE(hasState(own, "_NET_WM_STATE_SKIP_TASKBAR") || hasState(own, "_NET_WM_STATE_SKIP_PAGER"));
    EXPECT_FALSE(hasState(later, "_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(hasState(later, "_NET_WM_STATE_SKIP_PAGER")) << "what the window asked for stays";
    EXPECT_EQ(wm_->runningApplication(getpid())->activationPolicy, ActivationPolicy::Regular);
}

TEST_F(X11ShellTest, PointerIsReportedInScreenCoordinatesOnlyWhileWatched) {
    startPlatform();
    EXPECT_FALSE(rootSelects(XCB_INPUT_RAW_MOTION));
    std::vector<Point> seen;
    wm_->watchPointer([&](Point p) { seen.push_back(p); });
    EXPECT_TRUE(rootSelects(XCB_INPUT_RAW_MOTION));

    tc_->motion(300, 200);
    ASSERT_TRUE(waitFor([&] { return !seen.empty() && seen.back() == Point{300, 880}; }));
    for (int x = 1000; x <= 1900; x += 300) tc_->motion(x, 10);
    ASSERT_TRUE(waitFor([&] { return seen.back() == Point{1900, 1070}; }));
    for (size_t i = 1; i < seen.size(); ++i) EXPECT_NE(seen[i], seen[i - 1]) << "reports only real moves";

    wm_->unwatchPointer();
    EXPECT_FALSE(rootSelects(XCB_INPUT_RAW_MOTION));
    EXPECT_TRUE(rootSelects(XCB_INPUT_RAW_BUTTON_RELEASE)) << "the mouse-up monitor keeps its events";
    const size_t before = seen.size();
    tc_->motion(700, 700);
    ASSERT_TRUE(settled());
    loop_.runOnce(0);
    EXPECT_EQ(seen.size(), before);
}

}  // namespace
}  // namespace tarvela::testing

namespace tarvela::testing {
namespace {

// The dim overlay's restack: directly below the window, whether or not it is in a frame of ours.
TEST_F(X11ShellTest, APanelStacksDirectlyBelowAWindow) {
    startPlatform();
    const xcb_window_t a = openWindow(4242, 100, 100, 300, 200);
    const xcb_window_t b = openWindow(4242, 500, 100, 300, 200);
    const xcb_window_t panel = tc_->createWindow(0, 0, 50, 50);
    const uint32_t redirect = 1;
    xcb_change_window_attributes(tc_->c(), panel, XCB_CW_OVERRIDE_REDIRECT, &redirect);
    xcb_map_window(tc_->c(), panel);
    tc_->sync();
    auto order = [&] {
        auto* tree = xcb_query_tree_reply(tc_->c(), xcb_query_tree(tc_->c(), tc_->root()), nullptr);
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> out(kids, kids + xcb_query_tree_children_length(tree));
        free(tree);
        return out;
    };
    for (xcb_window_t target : {a, b, a}) {
        ASSERT_TRUE(wm_->stackBelow(panel, target));
        ASSERT_TRUE(settled());
        const auto kids = order();
        const auto at = std::find(kids.begin(), kids.end(), panel);
        ASSERT_NE(at + 1, kids.end());
        EXPECT_EQ(*(at + 1), tc_->parent(target)) << "directly below the target's frame";
    }
    EXPECT_FALSE(wm_->stackBelow(0, a));
}

}  // namespace
}  // namespace tarvela::testing

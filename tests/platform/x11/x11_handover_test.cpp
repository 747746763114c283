// Handing the display over between window managers: openbox first, then us;
// us first, then `openbox --replace`; and our own replace.
#include <xcb/xcb.h>

#include "core/window_access.h"
#include "x11_fixture.h"

namespace tarvela::testing {
namespace {

xcb_window_t xid(const AXElement& el) { return static_cast<xcb_window_t>(el.id); }

TEST_F(X11Test, AnotherWindowManagerMeansNotTrustedUntilItQuits) {
    Child openbox = client({"openbox", "--config-file", openboxConfig()});
    ASSERT_TRUE(waitFor([&] { return tc_->selectionOwner("WM_S0") != XCB_NONE; }));
    Child term = client({"xterm"});
    startPlatform();
    EXPECT_FALSE(wm_->isProcessTrusted());
    EXPECT_FALSE(wm_->tryAcquire());  // never steals
    EXPECT_TRUE(wm_->runningApplications().empty());
    EXPECT_FALSE(attr<std::vector<AXElement>>(*wm_, AXElement::application(term.pid()), ax::Windows));

    // Wait until openbox shows the terminal, so that it is there to adopt later.
    ASSERT_TRUE(waitFor([&] {
        return tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size() == 1 &&
               tc_->viewable(tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST")[0]);
    }));
    const xcb_window_t termWin = tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST")[0];
    openbox.stop();
    ASSERT_TRUE(waitFor([&] { return wm_->tryAcquire(); }));
    EXPECT_TRUE(wm_->isProcessTrusted());
    const AXElement t = windowOf(term.pid(), 2);
    ASSERT_TRUE(t);
    EXPECT_EQ(xid(t), termWin);
    EXPECT_TRUE(isTileable(*wm_, t));
    EXPECT_TRUE(wm_->setAttribute(t, ax::Position, Point{10, 20}));
    EXPECT_EQ(attr<Point>(*wm_, t, ax::Position), (Point{10, 20}));
}

TEST_F(X11Test, OpenboxReplaceTakesTheDisplayAndWindowsStayWhereTheyAre) {
    startPlatform();
    Child term = client({"xterm"});
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    wm_->setAttribute(t, ax::Position, Point{300, 200});
    wm_->setAttribute(t, ax::SizeAttr, Size{490, 300});
    ASSERT_TRUE(wm_->sync());
    const xcb_window_t ours = tc_->selectionOwner("WM_S0");

    Child openbox = client({"openbox", "--replace", "--config-file", openboxConfig()});
    ASSERT_TRUE(waitFor([&] { return !wm_->isProcessTrusted(); }));
    // Openbox took WM_S0 once our owner window was gone, and now manages the terminal.
    ASSERT_TRUE(waitFor([&] {
        xcb_window_t o = tc_->selectionOwner("WM_S0");
        return o != XCB_NONE && o != ours;
    }));
    ASSERT_TRUE(waitFor([&] {
        auto list = tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST");
        return list.size() == 1 && list[0] == xid(t);
    }));
    // We moved nothing on the way out: the terminal is where we left it, give or
    // take the frame openbox draws around it.
    auto g = tc_->geometry(xid(t));
    ASSERT_TRUE(g.ok);
    EXPECT_NEAR(g.x, 300, 30);
    EXPECT_NEAR(g.y, 200, 60);
    EXPECT_EQ(g.w, 490);
    EXPECT_EQ(g.h, 290);
    // After the loss nothing is readable or writable, and no write reaches the server.
    EXPECT_FALSE(frame(*wm_, t));
    EXPECT_FALSE(wm_->setAttribute(t, ax::Position, Point{0, 0}));
    EXPECT_TRUE(wm_->runningApplications().empty());
    EXPECT_FALSE(wm_->tryAcquire());
}

TEST_F(X11Test, ReplaceAsksTheRunningWindowManagerToHandOver) {
    Child openbox = client({"openbox", "--config-file", openboxConfig()});
    ASSERT_TRUE(waitFor([&] { return tc_->selectionOwner("WM_S0") != XCB_NONE; }));
    Child term = client({"xterm"});
    ASSERT_TRUE(waitFor([&] { return tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size() == 1; }));
    startPlatform(/*replace=*/true);
    EXPECT_TRUE(wm_->isProcessTrusted());
    EXPECT_TRUE(waitFor([&] { return openbox.exited(); }));  // openbox quits when it loses WM_S0
    const AXElement t = windowOf(term.pid());
    ASSERT_TRUE(t);
    EXPECT_TRUE(isTileable(*wm_, t));
    ASSERT_TRUE(wm_->sync());
    auto check = tc_->cardinals(tc_->root(), "_NET_SUPPORTING_WM_CHECK");
    ASSERT_EQ(check.size(), 1u);
    EXPECT_EQ(check[0], tc_->selectionOwner("WM_S0"));
}

}  // namespace
}  // namespace tarvela::testing

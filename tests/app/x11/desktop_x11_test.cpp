// Tarvela as a user lives with it on a real desktop: strips that stay on their
// own monitor, full screen and back, new windows where the user works, and
// windows the user resizes by hand.
#include <xcb/xcb.h>

#include <cstdlib>

#include "core/title_bar.h"
#include "input/hotkeys.h"
#include "shell_x11_fixture.h"

namespace tarvela::testing {
namespace {

constexpr uint8_t kAltL = 64;  // Alt_L in the X server's default keymap

class DesktopX11Test : public ShellX11Test {
protected:
    // Pixels of pure red (the strip-0 terminals paint nothing else) in a root area.
    int redPixels(int x, int y, int w, int h) {
        auto* img = xcb_get_image_reply(
            tc_->c(), xcb_get_image(tc_->c(), XCB_IMAGE_FORMAT_Z_PIXMAP, tc_->root(), x, y, w, h, ~0u), nullptr);
        if (!img) return -1;
        const auto* px = reinterpret_cast<const uint32_t*>(xcb_get_image_data(img));
        const int n = xcb_get_image_data_length(img) / 4;
        int red = 0;
        for (int i = 0; i < n; ++i) red += (px[i] & 0xffffff) == 0xff0000;
        free(img);
        return red;
    }
    // Focused, and its strip has followed (slid to it).
    void activate(const AXElement& el, int display) {
        tc_->rootMessage(xid(el), "_NET_ACTIVE_WINDOW", {2, 0, 0});
        ASSERT_TRUE(waitFor([&] {
            const StripRef s = manager().displayIdx() == display ? stripOf(el) : nullptr;
            return s && s->focusedItem() && s->focusedItem()->el == el && quiet();
        }));
    }
    // A press and release of `button` with Alt held, dragging from one root point to another.
    bool altButtonDrag(uint8_t button, int x0, int y0, int x1, int y1) {
        int ups = 0;
        auto monitor = wm_->addMouseUpMonitor([&] { ++ups; });
        tc_->motion(x0, y0);
        tc_->key(kAltL, true);
        tc_->button(button, true);
        tc_->motion((x0 + x1) / 2, (y0 + y1) / 2);
        tc_->motion(x1, y1);
        tc_->button(button, false);
        tc_->key(kAltL, false);
        return waitFor([&] { return ups > 0; }) && barrier();
    }
};

TEST_F(DesktopX11Test, EachStripShowsOnItsOwnMonitorOnlyAtRestAndMidSlide) {
    twoMonitors();
    std::vector<Child> terms;
    for (const char* at : {"+0+100", "+100+100", "+200+100"})
        terms.push_back(client({"xterm", "-bg", "red", "-fg", "red", "-geometry", at}));
    Child logo = client({"xlogo", "-geometry", "300x300+1200+100"});
    ASSERT_TRUE(waitMapped(4));
    startShell();
    ASSERT_EQ(manager().strips().size(), 2u);
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(0)->cols.size(), 3u);
    manager().perform(Action::jump, 1);
    ASSERT_TRUE(quiet());
    // Three columns overflow the left monitor: from the first, the others lie over the right one.
    int over = 0;
    for (const Col& c : strip(0)->cols) {
        const auto g = tc_->geometry(xid(c.items[0].el));
        over += g.x + g.w > 960 && g.x < 1920;
    }
    EXPECT_GE(over, 1);
    // The check can see red: the focused terminal paints the left monitor.
    ASSERT_TRUE(waitFor([&] { return redPixels(0, 0, 960, 1080) > 100000; }));
    EXPECT_EQ(redPixels(960, 0, 960, 1080), 0);

    // Slides both ways across the edge; a look at the right monitor at every turn.
    int looks = 0, seen = 0;
    for (int column : {1, 3, 1}) {
        manager().perform(Action::jump, column);
        ASSERT_TRUE(waitFor([&] {
            const int red = redPixels(960, 0, 960, 1080);
            ++looks;
            seen += red != 0;
            return !strip(0)->animating;
        }));
        ASSERT_TRUE(quiet());
        EXPECT_EQ(redPixels(960, 0, 960, 1080), 0);
    }
    // At least the first look of each slide comes while it runs (it starts at once).
    EXPECT_GE(looks, 3);
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(mismatches(), "");
}

// Pagers list a window on the monitor of its top-left corner (tint2: the client
// translated to the root) or of its frame (GTK): the right strip's columns, slid
// off to either side, stay there.
TEST_F(DesktopX11Test, PagersListEveryColumnOnItsStripsMonitor) {
    twoMonitors();
    Child logo = client({"xlogo", "-geometry", "300x300+100+100"});
    std::vector<Child> terms;
    for (int x = 1000; x < 1400; x += 100) terms.push_back(client({"xterm", "-geometry", "+" + std::to_string(x) + "+100"}));
    ASSERT_TRUE(waitMapped(5));
    startShell();
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(1)->cols.size(), 4u);
    for (size_t focus : {3u, 0u}) {
        activate(strip(1)->cols[focus].items[0].el, 1);
        int hidden = 0;
        for (const Col& c : strip(1)->cols) {
            const xcb_window_t w = xid(c.items[0].el);
            const auto client = tc_->geometry(w), outer = tc_->geometry(tc_->parent(w));
            EXPECT_TRUE(outer.x >= 960 && outer.x + outer.w <= 1920) << focus << ": frame at " << outer.x;
            if (outer.w > 1) continue;
            ++hidden;
            EXPECT_TRUE(client.x >= 960 && client.x + client.w <= 1920) << focus << ": hidden client at " << client.x;
        }
        EXPECT_GE(hidden, 1) << focus;
    }
    EXPECT_EQ(mismatches(), "");
}

TEST_F(DesktopX11Test, NewWindowsOpenOnTheDisplayInUseUnlessTheyAskForAPlace) {
    twoMonitors();
    Child term = client({"xterm", "-geometry", "+100+100"});
    Child logo = client({"xlogo", "-geometry", "300x300+1200+100"});
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    activate(windowOf(logo.pid()), 1);

    Child fresh = client({"xterm"});  // asks for no place
    const AXElement n = windowOf(fresh.pid());
    ASSERT_TRUE(waitFor([&] { return stripOf(n) == strip(1) && quiet(); }));
    const auto g = tc_->geometry(xid(n));
    EXPECT_GE(g.x, 960);
    EXPECT_EQ(strip(1)->cols.size(), 2u);

    Child placed = client({"xterm", "-geometry", "+50+50"});  // the user chose where
    const AXElement p = windowOf(placed.pid());
    ASSERT_TRUE(waitFor([&] { return stripOf(p) == strip(0) && quiet(); }));
    EXPECT_EQ(mismatches(), "");
}

TEST_F(DesktopX11Test, FullScreenLeavesTheStripAndComesBackToItsColumnRowAndWidth) {
    Child a = client({"xlogo", "-geometry", "300x300+0+100"});
    Child b = client({"xlogo", "-geometry", "300x300+400+100"});
    Child c = client({"xlogo", "-geometry", "300x300+800+100"});
    ASSERT_TRUE(waitMapped(3));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement w = windowOf(b.pid());
    activate(w, 0);
    manager().perform(Action::cycleWidth, 0);
    ASSERT_TRUE(quiet());
    const auto at = strip(0)->find(w);
    ASSERT_TRUE(at);
    const auto before = tc_->geometry(xid(w));
    const double width = strip(0)->cw[static_cast<size_t>(at->first)];

    const uint32_t fs = tc_->atom("_NET_WM_STATE_FULLSCREEN");
    tc_->rootMessage(xid(w), "_NET_WM_STATE", {1, fs, 0, 1});
    ASSERT_TRUE(waitFor([&] { return !stripOf(w) && quiet(); }));
    auto g = tc_->geometry(xid(w));
    EXPECT_EQ((std::vector<int>{g.x, g.y, g.w, g.h}), (std::vector<int>{0, 0, 1920, 1080}));
    EXPECT_EQ(strip(0)->cols.size(), 2u);
    // The window is the system's now: writes to it are refused.
    EXPECT_FALSE(wm_->setAttribute(w, ax::Position, Point{10, 10}));
    EXPECT_FALSE(wm_->setAttribute(w, ax::SizeAttr, Size{500, 500}));
    ASSERT_TRUE(barrier());
    g = tc_->geometry(xid(w));
    EXPECT_EQ((std::vector<int>{g.x, g.y, g.w, g.h}), (std::vector<int>{0, 0, 1920, 1080}));

    tc_->rootMessage(xid(w), "_NET_WM_STATE", {0, fs, 0, 1});
    ASSERT_TRUE(waitFor([&] { return stripOf(w) == strip(0) && quiet(); }));
    EXPECT_EQ(strip(0)->find(w), at);
    EXPECT_EQ(strip(0)->focusC, at->first);
    EXPECT_DOUBLE_EQ(strip(0)->cw[static_cast<size_t>(at->first)], width);
    g = tc_->geometry(xid(w));
    EXPECT_EQ((std::vector<int>{g.x, g.y, g.w, g.h}), (std::vector<int>{before.x, before.y, before.w, before.h}));
    EXPECT_EQ(mismatches(), "");
}

TEST_F(DesktopX11Test, UsersResizeFloatingWindowsAndArrangedColumnsByHand) {
    // The logo takes no clicks itself: a press on it leaves the pointer free
    // for the grab a _NET_WM_MOVERESIZE needs, as a client's own grip would.
    Child a = client({"xlogo", "-geometry", "300x300+0+100"});
    Child b = client({"xterm", "-geometry", "+400+100"});
    ASSERT_TRUE(waitMapped(2));
    startShell();
    ASSERT_TRUE(quiet());
    const AXElement f = windowOf(a.pid());
    activate(f, 0);
    manager().perform(Action::floatToggle, 0);
    ASSERT_FALSE(stripOf(f));
    ASSERT_TRUE(quiet());

    // A floating window's own request is honoured at once; the position it
    // asks for is its frame's, the title bar above the client.
    const uint32_t req[] = {100 - titlebar::edge, 150 - titlebar::height, 500, 400};
    xcb_configure_window(tc_->c(), xid(f),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         req);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] {
        const auto g = tc_->geometry(xid(f));
        return g.x == 100 && g.y == 150 && g.w == 500 && g.h == 400;
    }));

    // _NET_WM_MOVERESIZE from the bottom-right corner, as a client's grip starts it.
    int ups = 0;
    auto monitor = wm_->addMouseUpMonitor([&] { ++ups; });
    tc_->motion(590, 540);
    tc_->button(1, true);
    tc_->sync();
    tc_->rootMessage(xid(f), "_NET_WM_MOVERESIZE", {590, 540, 4, 1, 1});
    ASSERT_TRUE(barrier());
    tc_->motion(694, 592);
    tc_->button(1, false);
    ASSERT_TRUE(waitFor([&] { return ups > 0; }));
    ASSERT_TRUE(barrier());
    auto g = tc_->geometry(xid(f));
    EXPECT_EQ((std::vector<int>{g.x, g.y, g.w, g.h}), (std::vector<int>{100, 150, 604, 452}));

    // An arranged terminal widened with Alt+right-drag: its column keeps the new width.
    const AXElement t = windowOf(b.pid());
    activate(t, 0);
    const auto col = strip(0)->find(t);
    ASSERT_TRUE(col);
    const auto before = tc_->geometry(xid(t));
    const int y = before.y + 300;
    ASSERT_TRUE(altButtonDrag(3, before.x + before.w - 40, y, before.x + before.w + 110, y + 40));
    // The mouse-up is looked at a moment later; the column then takes the width.
    ASSERT_TRUE(waitFor([&] {
        const auto now = tc_->geometry(xid(t));
        return now.w > before.w + 100 && std::abs(strip(0)->cw[static_cast<size_t>(col->first)] - now.w) <= 6 &&
               quiet();
    }));
    g = tc_->geometry(xid(t));
    EXPECT_EQ(g.h, before.h);  // a column's height is the strip's
    EXPECT_EQ(mismatches(), "");
}

// A laptop leaving its dock and coming back: the right monitor's columns join
// the left strip while it is away and go back to it, as they were, on return.
TEST_F(DesktopX11Test, UnpluggingTheSecondMonitorAndPluggingItBackReturnsEveryColumnWithItsWidth) {
    twoMonitors();
    Child logo = client({"xlogo", "-geometry", "300x300+100+100"});
    std::vector<Child> terms;
    for (int x = 1000; x < 1300; x += 100) terms.push_back(client({"xterm", "-geometry", "+" + std::to_string(x) + "+100"}));
    ASSERT_TRUE(waitMapped(4));
    startShell();
    ASSERT_TRUE(quiet());
    ASSERT_EQ(strip(1)->cols.size(), 3u);
    activate(strip(1)->cols[1].items[0].el, 1);
    manager().perform(Action::wider, 0);
    ASSERT_TRUE(quiet());
    auto arranged = [&](int i) {
        std::vector<std::pair<AXElement, double>> out;
        for (const Col& c : strip(i)->cols) out.emplace_back(c.items[0].el, c.frac);
        return out;
    };
    const auto left = arranged(0), right = arranged(1);
    const int focus = strip(1)->focusC;
    const double offset = strip(1)->offset;
    ASSERT_NE(right[1].second, 0.5);

    ASSERT_TRUE(run({"xrandr", "--delmonitor", "R"}));
    ASSERT_TRUE(waitFor([&] { return manager().strips().size() == 1 && strip(0)->cols.size() == 4; }));
    ASSERT_TRUE(quiet());

    ASSERT_TRUE(run({"xrandr", "--setmonitor", "R", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(waitFor([&] { return manager().strips().size() == 2 && strip(1)->cols.size() == 3; }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(arranged(0), left);
    EXPECT_EQ(arranged(1), right);
    EXPECT_EQ(strip(1)->focusC, focus);
    EXPECT_EQ(strip(1)->offset, offset);
    EXPECT_EQ(mismatches(), "");
}

}  // namespace
}  // namespace tarvela::testing

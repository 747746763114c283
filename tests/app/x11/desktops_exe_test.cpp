// Desktops with the real executable, real clients and the tools pagers and
// scripts use: switching by key, by pager message (wmctrl, as tint2's pager
// sends it) and by `tarvela msg`, sending, renaming, a window asking for a
// desktop before it maps, and letting go of every desktop's windows.
#include <gtest/gtest.h>

#include "tarvela_exe_fixture.h"

namespace tarvela::testing {
namespace {

class DesktopsExeTest : public TarvelaExeTest {
protected:
    uint32_t current() {
        const auto c = tc_->cardinals(tc_->root(), "_NET_CURRENT_DESKTOP");
        return c.empty() ? 99 : c[0];
    }
    uint32_t desktopOf(xcb_window_t w) {
        const auto d = tc_->cardinals(w, "_NET_WM_DESKTOP");
        return d.empty() ? 99 : d[0];
    }
    // Shown: every window of `in` viewable, every one of `out` not.
    bool shows(const std::vector<xcb_window_t>& in, const std::vector<xcb_window_t>& out) {
        for (xcb_window_t w : in)
            if (!tc_->viewable(w)) return false;
        for (xcb_window_t w : out)
            if (tc_->viewable(w)) return false;
        return true;
    }
    // Handed back: on the root, viewable, overlapping one of the two monitors.
    bool handedBack(const std::vector<xcb_window_t>& wins) {
        for (xcb_window_t w : wins) {
            const auto g = tc_->geometry(w);
            if (parentOf(w) != tc_->root() || !tc_->viewable(w) || !g.ok) return false;
            if (g.x + g.w <= 0 || g.x >= 1920 || g.y + g.h <= 0 || g.y >= 1080) return false;
        }
        return true;
    }
};

TEST_F(DesktopsExeTest, SwitchByKeyPagerAndMsgKeepsEachDesktopAsLeftAndSendsAWindowWithItsWidth) {
    twoMonitors();
    Child a = client({"xlogo", "-geometry", "300x300+100+200"});
    Child b = client({"xlogo", "-geometry", "300x300+500+200"});
    Child c = client({"xlogo", "-geometry", "300x300+1200+200"});  // on the right monitor
    ASSERT_TRUE(waitMapped(3));
    auto t = start();
    ASSERT_TRUE(launched(*t)) << t->out();
    const auto wins = clientWindows(3);
    ASSERT_EQ(wins.size(), 3u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins) && current() == 0; }));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_NUMBER_OF_DESKTOPS"), std::vector<uint32_t>{4});
    run({"xdotool", "windowactivate", std::to_string(wins[1])});
    ASSERT_TRUE(waitFor([&] { return active() == wins[1]; }));
    tc_->sync();
    const auto arranged = geometries(wins);

    // By pager message: the desktop empties on both monitors at once.
    run({"wmctrl", "-s", "1"});
    ASSERT_TRUE(waitFor([&] { return current() == 1 && shows({}, wins); })) << t->out();
    for (xcb_window_t w : wins) EXPECT_EQ(desktopOf(w), 0u);
    Child d = client({"xlogo", "-geometry", "300x300+100+200"});
    const auto all = clientWindows(4);
    ASSERT_EQ(all.size(), 4u);
    const xcb_window_t dw = all[3];
    ASSERT_TRUE(waitFor([&] { return tiled({dw}) && desktopOf(dw) == 1; }));

    // By key: the first desktop as it was left, focus included.
    run({"xdotool", "key", "super+1"});
    ASSERT_TRUE(waitFor([&] { return current() == 0 && shows(wins, {dw}) && active() == wins[1]; }))
        << current() << " " << shows(wins, {dw}) << " " << active() << " " << wins[1] << t->out();
    tc_->sync();
    EXPECT_TRUE(same(geometries(wins), arranged));
    EXPECT_EQ(tc_->cardinals(dw, "_NET_WM_STATE"), std::vector<uint32_t>{tc_->atom("_NET_WM_STATE_HIDDEN")});

    // By script, by name after a pager renamed the first desktop.
    EXPECT_EQ(msg({"desktop", "2"}).first, 0);
    ASSERT_TRUE(waitFor([&] { return current() == 1 && shows({dw}, wins); }));
    ASSERT_TRUE(run({"xprop", "-root", "-f", "_NET_DESKTOP_NAMES", "8u", "-set", "_NET_DESKTOP_NAMES", "Mail"}));
    ASSERT_TRUE(waitFor([&] { return msg({"get", "desktops"}).second.find("Mail") != std::string::npos; }));
    EXPECT_EQ(msg({"desktop", "Mail"}).first, 0);
    ASSERT_TRUE(waitFor([&] { return current() == 0 && shows(wins, {dw}); }));

    // The focused window to desktop 3, by key: it keeps its width there.
    run({"xdotool", "windowactivate", std::to_string(wins[0])});
    ASSERT_TRUE(waitFor([&] { return active() == wins[0]; }));
    run({"xdotool", "key", "super+shift+3"});
    ASSERT_TRUE(waitFor([&] { return desktopOf(wins[0]) == 2 && !tc_->viewable(wins[0]); }));
    run({"wmctrl", "-s", "2"});
    ASSERT_TRUE(waitFor([&] { return current() == 2 && shows({wins[0]}, {wins[1], wins[2], dw}); }));
    EXPECT_EQ(tc_->geometry(wins[0]).w, arranged[0].w);

    // A window that asks for desktop 2 before it maps opens there, unseen.
    const xcb_window_t asks = tc_->createWindow(100, 100, 300, 300);
    tc_->setCardinals(asks, "_NET_WM_DESKTOP", XCB_ATOM_CARDINAL, {1});
    xcb_map_window(tc_->c(), asks);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return parentOf(asks) != tc_->root(); }));
    tc_->sync();
    EXPECT_FALSE(tc_->viewable(asks));
    EXPECT_EQ(desktopOf(asks), 1u);
    run({"wmctrl", "-s", "1"});
    EXPECT_TRUE(waitFor([&] { return current() == 1 && shows({asks, dw}, {wins[0]}); }));

    // A pager asking for more desktops has them, as the preference says.
    run({"wmctrl", "-n", "6"});
    EXPECT_TRUE(waitFor([&] { return msg({"get", "preferences", "desktops"}).second.find('6') != std::string::npos; }));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_NUMBER_OF_DESKTOPS"), std::vector<uint32_t>{6});
}

TEST_F(DesktopsExeTest, AfterSigtermAndSigkillEveryWindowOfEveryDesktopIsViewableOnAMonitor) {
    twoMonitors();
    std::vector<Child> logos;
    for (int i = 0; i < 6; ++i)
        logos.push_back(client({"xlogo", "-geometry", "300x300+" + std::to_string(300 * i) + "+200"}));
    ASSERT_TRUE(waitMapped(6));
    auto first = start();
    ASSERT_TRUE(launched(*first)) << first->out();
    const auto wins = clientWindows(6);
    ASSERT_EQ(wins.size(), 6u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins); }));
    // Half of them to other desktops, by pager message; some of those were scrolled away.
    for (size_t i = 0; i < wins.size(); i += 2)
        run({"wmctrl", "-i", "-r", std::to_string(wins[i]), "-t", std::to_string(1 + i / 2 % 3)});
    ASSERT_TRUE(waitFor([&] {
        for (size_t i = 0; i < wins.size(); i += 2)
            if (tc_->viewable(wins[i]) || desktopOf(wins[i]) == 0) return false;
        return true;
    }));

    first->signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return first->status().has_value(); }));
    EXPECT_EQ(*first->status(), 0);
    EXPECT_TRUE(waitFor([&] { return handedBack(wins); }));

    // Started again, each window goes back to its desktop; killed, it still lets go of all.
    auto again = start();
    ASSERT_TRUE(launched(*again)) << again->out();
    ASSERT_TRUE(waitFor([&] { return !tc_->viewable(wins[2]) && tc_->viewable(wins[1]); })) << again->out();
    again->signal(SIGKILL);
    ASSERT_TRUE(waitFor([&] { return again->status().has_value(); }));
    EXPECT_TRUE(waitFor([&] { return handedBack(wins); }));
}

}  // namespace
}  // namespace tarvela::testing

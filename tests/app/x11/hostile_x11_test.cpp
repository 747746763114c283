// Clients that misbehave, on a real X server: what they name themselves and
// the space they reserve must not forge Tarvela's log or hide the windows, and
// what they send as fast as the server takes it must not stall it.
#include <chrono>

#include "shell_x11_fixture.h"
#include "x11_flooder.h"

namespace tarvela::testing {
namespace {

class FloodTest : public ShellX11Test {
protected:
    void newWindowTiledAtOnceDuring(Flood kind);
};

// A new window is still tiled at once while a client floods one kind of request.
void FloodTest::newWindowTiledAtOnceDuring(Flood kind) {
    Child term = client({"xterm"});
    ASSERT_TRUE(waitMapped(1));
    startShell();
    ASSERT_TRUE(quiet());
    Flooder flood(display_, kind);
    ASSERT_TRUE(flood.ok());
    ASSERT_TRUE(waitFor([&] {
        if (tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size() < 3) return false;
        // Dialogs float; the others join the strip.
        return kind == Flood::Configure ||
               (stripOf(AXElement::window(flood.window(0))) && stripOf(AXElement::window(flood.window(1))));
    }));
    ASSERT_TRUE(quiet());

    flood.start();
    const auto began = std::chrono::steady_clock::now();
    // Well into the flood: two seconds and tens of thousands of requests behind us.
    ASSERT_TRUE(waitFor(
        [&] { return flood.sent() >= kFloodVolume && std::chrono::steady_clock::now() - began >= std::chrono::seconds(2); }, 30))
        << flood.sent();
    const xcb_window_t w = tc_->createWindow(300, 300, 500, 400);
    tc_->setCardinals(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {626262});
    xcb_map_window(tc_->c(), w);
    tc_->sync();
    const auto mapped = std::chrono::steady_clock::now();
    // The manager waits 0.35 s before it adopts a new window, then slides it in.
    const bool tiled = waitFor(
        [&] {
            if (!stripOf(AXElement::window(w))) return false;
            const auto g = tc_->geometry(w);
            return g.ok && g.h >= 1000 && g.y >= 0 && g.y < 100;
        },
        1.5 * kTimeSlack);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - mapped).count();
    const uint64_t during = flood.sent();
    flood.stop();
    EXPECT_TRUE(tiled) << "not tiled " << took << " s after mapping, " << during << " requests sent";
    EXPECT_GE(during, kFloodVolume);
    // Once the flood is over, everything settles and no window was lost.
    ASSERT_TRUE(quiet(20));
    EXPECT_TRUE(stripOf(AXElement::window(w)));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size(), 4u);
}

TEST_F(FloodTest, Activations) { newWindowTiledAtOnceDuring(Flood::Activation); }
TEST_F(FloodTest, FullScreenToggles) { newWindowTiledAtOnceDuring(Flood::FullScreen); }
TEST_F(FloodTest, ConfigureRequests) { newWindowTiledAtOnceDuring(Flood::Configure); }

TEST_F(ShellX11Test, ClientTextIsLoggedCleanAndAnOversizedDockHidesNothing) {
    Child term = client({"xterm"});
    ASSERT_TRUE(waitMapped(1));
    startShell();
    ASSERT_TRUE(quiet());

    // A dock reserving 5,000 pixels at the top of a 1080-pixel screen.
    const xcb_window_t dock = tc_->createWindow(0, 0, 1920, 40);
    tc_->setCardinals(dock, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {tc_->atom("_NET_WM_WINDOW_TYPE_DOCK")});
    tc_->setCardinals(dock, "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, {0, 0, 5000, 0, 0, 0, 0, 0, 0, 1919, 0, 0});
    xcb_map_window(tc_->c(), dock);
    // A window whose class and title carry line breaks and terminal codes.
    const xcb_window_t w = tc_->createWindow(200, 200, 400, 300);
    tc_->setCardinals(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {434343});
    const std::string forged = "evil\n[Tarvela] forged\x1b[2J";
    tc_->setString(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, forged + '\0' + forged + '\0');
    tc_->setString(w, tc_->atom("_NET_WM_NAME"), tc_->atom("UTF8_STRING"), "title\x1b]0;pwned\x07\nnext\xff");
    xcb_map_window(tc_->c(), w);
    tc_->sync();

    ASSERT_TRUE(waitFor([&] { return strip(0)->cols.size() == 2 && logged("ignoring the space dock window"); }));
    ASSERT_TRUE(quiet());
    EXPECT_EQ(mismatches(), "");
    // Both windows tiled full height on the screen, the dock's reservation ignored.
    for (const Col& c : strip(0)->cols) {
        const auto g = tc_->geometry(xid(c.items[0].el));
        EXPECT_GE(g.h, 1000);
        EXPECT_GE(g.y, 0);
        EXPECT_LT(g.y, 100);
    }
    for (const Screen& s : wm_->screens()) EXPECT_GE(s.visibleFrame.height, 1000);
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_WORKAREA").at(3), 1080u);

    int mentions = 0;
    for (const std::string& line : logs()) {
        EXPECT_EQ(line.find_first_of("\n\r\x1b\x07"), std::string::npos) << line;
        EXPECT_NE(line.rfind("[Tarvela] forged", 0), 0u) << line;
        mentions += line.find("forged") != std::string::npos;
    }
    EXPECT_GE(mentions, 1);  // the window was named in the log, cleanly
}

}  // namespace
}  // namespace tarvela::testing

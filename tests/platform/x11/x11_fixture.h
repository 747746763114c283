// A private X server per test (Xvfb -displayfd, never the user's display), real
// client programs, a second X connection that plays an ordinary client, and
// bounded waits on predicates: nothing here sleeps for a fixed time.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <xcb/xcb.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/poll_runloop.h"
#include "platform/x11/x11_platform.h"

namespace tarvela::testing {

// A child process, ended (SIGTERM, then SIGKILL) and reaped when dropped.
class Child {
public:
    Child() = default;
    explicit Child(pid_t pid) : pid_(pid) {}
    Child(Child&& o) noexcept : pid_(o.pid_) { o.pid_ = -1; }
    Child& operator=(Child&& o) noexcept;
    ~Child() { stop(); }
    pid_t pid() const { return pid_; }
    void stop();
    // Whether it has exited (reaps it if so).
    bool exited();

private:
    pid_t pid_ = -1;
};

// argv with DISPLAY set; stdout and stderr go to /dev/null.
Child spawn(const std::vector<std::string>& argv, const std::string& display);

// A plain client connection for the test's own windows and requests.
class TestClient {
public:
    explicit TestClient(const std::string& display);
    ~TestClient();
    xcb_connection_t* c() const { return c_; }
    xcb_window_t root() const { return root_; }
    xcb_atom_t atom(const char* name);
    // A top-level window (not mapped); props set before mapping.
    xcb_window_t createWindow(int x, int y, int w, int h);
    void setCardinals(xcb_window_t w, const char* prop, xcb_atom_t type, const std::vector<uint32_t>& v);
    void setString(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, const std::string& s);
    std::vector<uint32_t> cardinals(xcb_window_t w, const char* prop);
    // EWMH/ICCCM client message to the root, as pagers and clients send them.
    void rootMessage(xcb_window_t w, const char* type, std::vector<uint32_t> data);
    // A launcher's startup notification ("new: ID=..."), in its 20-byte pieces.
    void announce(const std::string& text);
    struct Geom {
        int x, y, w, h;
        bool ok;
    };
    Geom geometry(xcb_window_t w);
    bool viewable(xcb_window_t w);
    xcb_window_t parent(xcb_window_t w);  // none when it is gone
    xcb_window_t selectionOwner(const char* selection);
    // XTEST input.
    void motion(int x, int y);
    void button(int button, bool press);
    void key(uint8_t keycode, bool press);
    void sync();  // round trip: the server has processed everything sent before
    // A WM_PROTOCOLS message for w received so far (without waiting); its
    // first word (the protocol), or 0; its time in *time.
    uint32_t takeProtocolMessage(xcb_window_t w, uint32_t* time = nullptr);

private:
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
};

class X11Test : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Xvfb as xvfb_ on `display` (":N"), or on any free display when empty;
    // display_ names it once it accepts connections.
    void startServer(const std::string& display = {});
    // Any X server as xvfb_, started with `-displayfd 3` among its arguments.
    void launchServer(const std::vector<std::string>& argv);
    // The server SetUp starts: Xvfb, unless a desktop needs another.
    virtual void startDisplay() { startServer(); }
    // Runs the loop (handling the platform's events) until pred holds; at most `seconds`.
    bool waitFor(const std::function<bool()>& pred, double seconds = 10);
    void startPlatform(bool replace = false);
    Child client(const std::vector<std::string>& argv) { return spawn(argv, display_); }
    // Runs a short command (xrandr) to completion.
    bool run(const std::vector<std::string>& argv);
    // Splits the screen into two 960-px monitors side by side, L (primary) and R.
    void twoMonitors();
    // The first managed window of pid, once it appears.
    AXElement windowOf(pid_t pid, double seconds = 10);
    // A window of the test client that names process pid, given what `before`
    // sets on it, mapped; returns once the platform manages it.
    xcb_window_t managedWindow(uint32_t pid, Rect r, const std::function<void(xcb_window_t)>& before = {});
    std::string openboxConfig();

    std::string display_;
    Child xvfb_;
    std::string tmp_;
    PollRunLoop loop_;
    std::unique_ptr<TestClient> tc_;
    std::unique_ptr<X11Platform> wm_;
    X11Options options_;  // what startPlatform starts with, display and replace aside
};

}  // namespace tarvela::testing

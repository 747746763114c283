// The tarvela executable as a user starts it, on a private X server, with its
// settings and runtime folders in the test's own scratch folder.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "shell_x11_fixture.h"

namespace tarvela::testing {
namespace {

// One run of tarvela; its standard output is collected as the loop runs.
class Tarvela {
public:
    Tarvela(PollRunLoop& loop, const std::string& display) : loop_(loop) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, 0);
            ::dup2(devnull, 2);
            ::execl(TARVELA_EXE, TARVELA_EXE, "--display", display.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        fd_ = fds[0];
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
        watch_ = loop_.watchFd(fd_, [this] { drain(); });
    }
    ~Tarvela() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (watch_) loop_.unwatchFd(watch_);
        if (fd_ >= 0) ::close(fd_);
    }
    Tarvela(const Tarvela&) = delete;
    Tarvela& operator=(const Tarvela&) = delete;

    bool said(const std::string& text) const { return out_.find(text) != std::string::npos; }
    int count(const std::string& text) const {
        int n = 0;
        for (size_t at = out_.find(text); at != std::string::npos; at = out_.find(text, at + 1)) ++n;
        return n;
    }
    // The exit status once it has exited (a signal's death reads as 128 + its number).
    std::optional<int> status() {
        if (!status_ && pid_ > 0) {
            int st;
            if (::waitpid(pid_, &st, WNOHANG) == pid_) {
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
                drain();
            }
        }
        return status_;
    }
    void signal(int sig) { ::kill(pid_, sig); }
    const std::string& out() const { return out_; }

private:
    void drain() {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(fd_, buf, sizeof buf)) > 0) out_.append(buf, static_cast<size_t>(n));
    }
    PollRunLoop& loop_;
    pid_t pid_ = -1;
    int fd_ = -1;
    RunLoop::WatchId watch_ = 0;
    std::string out_;
    std::optional<int> status_;
};

class TarvelaExeTest : public ShellX11Test {
protected:
    void SetUp() override {
        ShellX11Test::SetUp();  // used for its waits only: the shell here is the executable
        if (HasFatalFailure()) return;
        // Nothing the executable reads or writes lies outside the scratch folder.
        const std::string run = tmp_ + "/run";
        ::mkdir(run.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (tmp_ + "/config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (tmp_ + "/state").c_str(), 1);
        ::setenv("TARVELA_DEFAULTS", (tmp_ + "/app.tarvela.plist").c_str(), 1);
    }
    std::unique_ptr<Tarvela> start() { return std::make_unique<Tarvela>(loop_, display_); }
    bool launched(Tarvela& t) {
        return waitFor([&] { return t.said("[Tarvela] launched ") || t.status(); }) && !t.status();
    }
    // The windows' geometries, in the given order.
    std::vector<TestClient::Geom> geometries(const std::vector<xcb_window_t>& wins) {
        std::vector<TestClient::Geom> out;
        for (xcb_window_t w : wins) out.push_back(tc_->geometry(w));
        return out;
    }
    xcb_window_t parentOf(xcb_window_t w) { return tc_->parent(w); }
    static bool same(const std::vector<TestClient::Geom>& a, const std::vector<TestClient::Geom>& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (!a[i].ok || !b[i].ok || a[i].x != b[i].x || a[i].y != b[i].y || a[i].w != b[i].w || a[i].h != b[i].h)
                return false;
        return true;
    }
    // Tiled: every window at the strip's top inset, full height less the insets.
    bool tiled(const std::vector<xcb_window_t>& wins) {
        for (const auto& g : geometries(wins))
            if (!g.ok || g.y != 12 || g.h < 1000) return false;
        return true;
    }
    std::vector<xcb_window_t> clientWindows(size_t n) {
        std::vector<xcb_window_t> out;
        waitFor([&] {
            auto list = tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST");
            out.assign(list.begin(), list.end());
            return out.size() >= n;
        });
        return out;
    }
};

TEST_F(TarvelaExeTest, ASecondStartExitsQuietlyAndBringsNothingUpTwice) {
    Child term = client({"xterm"});
    auto first = start();
    ASSERT_TRUE(launched(*first)) << first->out();
    const auto wins = clientWindows(1);
    ASSERT_EQ(wins.size(), 1u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins); }));
    const xcb_window_t owner = tc_->selectionOwner("WM_S0");
    const auto check = tc_->cardinals(tc_->root(), "_NET_SUPPORTING_WM_CHECK");
    ASSERT_NE(owner, XCB_NONE);

    auto second = start();
    ASSERT_TRUE(waitFor([&] { return second->status().has_value(); }, 8));
    EXPECT_EQ(*second->status(), 0);
    EXPECT_TRUE(second->said("already running")) << second->out();
    EXPECT_FALSE(second->said("launched")) << second->out();
    // The running one was asked to come forward, and nothing else changed.
    EXPECT_TRUE(waitFor([&] { return first->said("settings window not available"); })) << first->out();
    EXPECT_FALSE(first->status());
    EXPECT_EQ(first->count("[Tarvela] launched "), 1);
    EXPECT_EQ(tc_->selectionOwner("WM_S0"), owner);
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_SUPPORTING_WM_CHECK"), check);
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size(), 1u);
}

TEST_F(TarvelaExeTest, SigtermLeavesEveryWindowWhereItIsAndARestartKeepsThemThere) {
    Child term = client({"xterm", "-geometry", "+0+200"});
    Child logo = client({"xlogo", "-geometry", "300x300+700+200"});
    Child eyes = client({"xeyes", "-geometry", "300x300+1400+200"});
    ASSERT_TRUE(waitMapped(3));
    auto first = start();
    ASSERT_TRUE(launched(*first)) << first->out();
    EXPECT_TRUE(first->said("[Tarvela] display 0 screen: 3 windows")) << first->out();
    const auto wins = clientWindows(3);
    ASSERT_EQ(wins.size(), 3u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins); }));
    tc_->sync();
    const auto arranged = geometries(wins);
    // Three half-width columns are wider than the display: one sits partly or wholly off screen.
    int outside = 0;
    for (const auto& g : arranged) outside += g.x < 0 || g.x + g.w > 1920;
    EXPECT_GE(outside, 1);

    first->signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return first->status().has_value(); }));
    EXPECT_EQ(*first->status(), 0);
    EXPECT_TRUE(first->said("[Tarvela] stopping: windows stay where they are")) << first->out();
    tc_->sync();
    EXPECT_TRUE(same(geometries(wins), arranged));
    for (xcb_window_t w : wins) EXPECT_TRUE(tc_->viewable(w));
    EXPECT_EQ(tc_->selectionOwner("WM_S0"), static_cast<xcb_window_t>(XCB_NONE));

    // Started again, Tarvela finds the same order and puts every window where it was.
    auto again = start();
    ASSERT_TRUE(launched(*again)) << again->out();
    EXPECT_TRUE(again->said("[Tarvela] display 0 screen: 3 windows")) << again->out();
    tc_->sync();
    EXPECT_TRUE(same(geometries(wins), arranged));
    // And it is really arranging them: a new window joins the strip.
    Child more = client({"xterm"});
    const auto all = clientWindows(4);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_TRUE(waitFor([&] { return tiled(all); }));

    again->signal(SIGINT);
    ASSERT_TRUE(waitFor([&] { return again->status().has_value(); }));
    EXPECT_EQ(*again->status(), 0);
}

TEST_F(TarvelaExeTest, ColumnsParkedOffScreenComeBackOnQuitAndAKilledTarvelaHandsEveryClientBack) {
    std::vector<Child> logos;
    for (int i = 0; i < 5; ++i) logos.push_back(client({"xlogo", "-geometry", "300x300+" + std::to_string(300 * i) + "+200"}));
    ASSERT_TRUE(waitMapped(5));
    auto first = start();
    ASSERT_TRUE(launched(*first)) << first->out();
    const auto wins = clientWindows(5);
    ASSERT_EQ(wins.size(), 5u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins); }));
    tc_->sync();
    const auto arranged = geometries(wins);
    auto onScreen = [](const TestClient::Geom& g) { return g.x + g.w > 0 && g.x < 1920 && g.y + g.h > 0 && g.y < 1080; };
    int parked = 0;
    for (const auto& g : arranged) parked += !onScreen(g);
    ASSERT_GE(parked, 1);  // five half-width columns: some lie wholly beyond the display

    first->signal(SIGTERM);
    ASSERT_TRUE(waitFor([&] { return first->status().has_value(); }));
    EXPECT_EQ(*first->status(), 0);
    // The server may still be working through what the exited process sent.
    EXPECT_TRUE(waitFor([&] {
        for (xcb_window_t w : wins)
            if (parentOf(w) != tc_->root() || !onScreen(tc_->geometry(w))) return false;
        return true;
    }));
    const auto left = geometries(wins);
    for (size_t i = 0; i < wins.size(); ++i) {
        EXPECT_TRUE(tc_->viewable(wins[i]));
        if (onScreen(arranged[i])) {
            EXPECT_TRUE(same({left[i]}, {arranged[i]})) << i;  // the others stay put
        }
    }

    // Killed without a chance to let go, Tarvela still hands its clients back.
    auto again = start();
    ASSERT_TRUE(launched(*again)) << again->out();
    ASSERT_TRUE(waitFor([&] { return parentOf(wins[0]) != tc_->root(); }));
    again->signal(SIGKILL);
    ASSERT_TRUE(waitFor([&] { return again->status().has_value(); }));
    ASSERT_TRUE(waitFor([&] {
        for (xcb_window_t w : wins)
            if (parentOf(w) != tc_->root() || !tc_->viewable(w)) return false;
        return true;
    }));
}

TEST_F(TarvelaExeTest, ALostServerEndsItWithOneLineAndTheNextServerOnTheDisplayGetsANewOne) {
    // A display number nobody else takes while it is free between the two
    // servers: other servers pick the lowest free one, far below, and this
    // number derives from the fixture's own server, which stays up beside it.
    const Child beside = std::move(xvfb_);
    const std::string display = ":" + std::to_string(std::stoi(display_.substr(1)) + 1000);
    startServer(display);
    ASSERT_EQ(display_, display);
    tc_ = std::make_unique<TestClient>(display_);
    Child term = client({"xterm"});
    auto first = start();
    ASSERT_TRUE(launched(*first)) << first->out();
    ASSERT_TRUE(waitFor([&] { return tiled(clientWindows(1)); }));

    // The server crashes, and is reaped so that the next one may take its number.
    ::kill(xvfb_.pid(), SIGKILL);
    xvfb_.stop();
    ASSERT_TRUE(waitFor([&] { return first->status().has_value(); }));
    EXPECT_NE(*first->status(), 0);
    // One line, the last: no lost permission, no other window manager, no stop.
    const std::string line = "[Tarvela] lost the connection to the X server\n";
    EXPECT_EQ(first->count(line), 1) << first->out();
    EXPECT_TRUE(first->out().ends_with(line)) << first->out();
    EXPECT_FALSE(first->said("permission lost")) << first->out();
    EXPECT_FALSE(first->said("another window manager")) << first->out();
    EXPECT_FALSE(first->said("stopping")) << first->out();

    // The next session on the same display: a new Tarvela is its window manager.
    startServer(display);
    ASSERT_EQ(display_, display);
    tc_ = std::make_unique<TestClient>(display_);
    auto second = start();
    ASSERT_TRUE(launched(*second)) << second->out();
    EXPECT_NE(tc_->selectionOwner("WM_S0"), static_cast<xcb_window_t>(XCB_NONE));
    Child again = client({"xterm"});
    const auto wins = clientWindows(1);
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_TRUE(waitFor([&] { return tiled(wins); })) << second->out();
}

}  // namespace
}  // namespace tarvela::testing

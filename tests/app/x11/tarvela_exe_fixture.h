// The tarvela executable as a user starts it, on a private X server, with its
// settings and runtime folders in the test's own scratch folder.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell_x11_fixture.h"

namespace tarvela::testing {

// One run of tarvela; its standard output is collected as the loop runs. As
// the window manager it is given the display; `tarvela msg` finds it in $DISPLAY.
class Tarvela {
public:
    Tarvela(PollRunLoop& loop, const std::string& display, const std::vector<std::string>& extra = {},
            bool asManager = true)
        : loop_(loop) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, 0);
            ::dup2(devnull, 2);
            std::vector<const char*> argv{TARVELA_EXE};
            if (asManager) argv.insert(argv.end(), {"--display", display.c_str()});
            else ::setenv("DISPLAY", display.c_str(), 1);
            for (const std::string& a : extra) argv.push_back(a.c_str());
            argv.push_back(nullptr);
            ::execv(TARVELA_EXE, const_cast<char* const*>(argv.data()));
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
    pid_t pid() const { return pid_; }
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
        // A user past the first start's walk-through, unless a test says otherwise.
        writeDefaults("");
    }
    void writeDefaults(const std::string& keys) {
        std::ofstream f(tmp_ + "/app.tarvela.plist");
        f << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
             "<key>onboarded</key><true/>"
          << keys << "</dict></plist>\n";
    }
    std::unique_ptr<Tarvela> start(const std::vector<std::string>& extra = {}) {
        return std::make_unique<Tarvela>(loop_, display_, extra);
    }
    // `tarvela msg` with these words, run to its end: its exit status and output.
    std::pair<int, std::string> msg(const std::vector<std::string>& words) {
        std::vector<std::string> argv{"msg"};
        argv.insert(argv.end(), words.begin(), words.end());
        Tarvela m(loop_, display_, argv, false);
        if (!waitFor([&] { return m.status().has_value(); }, 20)) return {-1, m.out()};
        return {*m.status(), m.out()};
    }
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
    // Every window below `from` whose name is `name`, with its place on the root
    // (the tray icon's window has only the UTF-8 name).
    std::vector<std::pair<xcb_window_t, TestClient::Geom>> named(const std::string& name, xcb_window_t from = 0) {
        std::vector<std::pair<xcb_window_t, TestClient::Geom>> out;
        xcb_connection_t* c = tc_->c();
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, from ? from : tc_->root()), nullptr);
        if (!tree) return out;
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> children(kids, kids + xcb_query_tree_children_length(tree));
        free(tree);
        const xcb_atom_t netName = tc_->atom("_NET_WM_NAME");
        for (xcb_window_t w : children) {
            auto* prop = xcb_get_property_reply(
                c, xcb_get_property(c, 0, w, netName, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr);
            if (prop) {
                const std::string n(static_cast<const char*>(xcb_get_property_value(prop)),
                                    static_cast<size_t>(xcb_get_property_value_length(prop)));
                if (n == name && tc_->viewable(w)) out.emplace_back(w, tc_->geometry(w));
                free(prop);
            }
            for (auto& found : named(name, w)) out.push_back(found);
        }
        return out;
    }
    std::optional<TestClient::Geom> shown(const std::string& name) {
        auto all = named(name);
        if (all.empty()) return std::nullopt;
        return all.front().second;
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
    // The window that _NET_ACTIVE_WINDOW names, if any.
    xcb_window_t active() {
        const auto a = tc_->cardinals(tc_->root(), "_NET_ACTIVE_WINDOW");
        return a.empty() ? XCB_NONE : a[0];
    }
};

}  // namespace tarvela::testing

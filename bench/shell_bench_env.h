// What the shell's benchmarks set up around Tarvela: a scratch folder for every
// file it reads or writes, a private X server and session bus, child programs,
// and a plain X client that reads the server's state and types through XTEST.
// Waits are bounded polls on a condition.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace tarvela::bench {

using Clock = std::chrono::steady_clock;

inline double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

// Polls `done` every few milliseconds, for at most `seconds`.
inline bool waitUntil(const std::function<bool()>& done, double seconds) {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (Clock::now() > end) return false;
        poll(nullptr, 0, 5);
    }
    return true;
}

// argv on `display` (none: the inherited one); stdin and stderr on /dev/null,
// stdout on `out` or /dev/null, and `fd3` as descriptor 3 when given.
inline pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int out = -1, int fd3 = -1) {
    std::vector<char*> cargv;
    for (const auto& s : argv) cargv.push_back(const_cast<char*>(s.c_str()));
    cargv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(out >= 0 ? out : devnull, 1);
        dup2(devnull, 2);
        if (fd3 >= 0) dup2(fd3, 3);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    return pid;
}

// SIGTERM, then SIGKILL after half a second; reaped either way.
inline void end(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    if (waitUntil([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 0.5)) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// Lines a child writes to a pipe, read without blocking.
class Output {
public:
    Output() {
        if (pipe2(fds_, O_CLOEXEC) == 0) fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    ~Output() {
        for (int fd : fds_)
            if (fd >= 0) close(fd);
    }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    int writeEnd() const { return fds_[1]; }
    // The parent's copy of the write end goes, so that the reader sees the end.
    void closeWriteEnd() {
        close(fds_[1]);
        fds_[1] = -1;
    }
    const std::string& text() {
        char buf[4096];
        ssize_t n;
        while ((n = read(fds_[0], buf, sizeof buf)) > 0) text_.append(buf, static_cast<size_t>(n));
        return text_;
    }
    bool said(const std::string& s) { return text().find(s) != std::string::npos; }

private:
    int fds_[2] = {-1, -1};
    std::string text_;
};

// A folder of its own for the run, removed at the end; XDG_RUNTIME_DIR,
// XDG_CONFIG_HOME, XDG_STATE_HOME and TARVELA_DEFAULTS point into it.
struct Scratch {
    std::string dir;
    Scratch() {
        char tmpl[] = "/tmp/tarvela-bench-XXXXXX";
        if (!mkdtemp(tmpl)) return;
        dir = tmpl;
        const std::string run = dir + "/run";
        mkdir(run.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir + "/state").c_str(), 1);
        setenv("TARVELA_DEFAULTS", (dir + "/app.tarvela.plist").c_str(), 1);
        // A user past the first start's walk-through.
        if (FILE* f = fopen((dir + "/app.tarvela.plist").c_str(), "w")) {
            fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                  "<key>onboarded</key><true/></dict></plist>\n",
                  f);
            fclose(f);
        }
    }
    ~Scratch() {
        std::error_code ec;
        if (!dir.empty()) std::filesystem::remove_all(dir, ec);
    }
};

// Xvfb on a display of its own choosing (-displayfd), with RANDR and COMPOSITE.
struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "+extension", "RANDR", "+extension",
                     "COMPOSITE", "-nolisten", "tcp", "-noreset"},
                    "", -1, fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, static_cast<size_t>(n));
        }
        close(fds[0]);
        if (number.find('\n') != std::string::npos) display = ":" + number.substr(0, number.find('\n'));
    }
    ~Xvfb() { end(pid); }
};

// A private session bus, exported to this process and its children, so that
// nothing autolaunches one that outlives the run.
struct SessionBus {
    pid_t pid = -1;
    std::string address;
    SessionBus() {
        Output out;
        const pid_t parent =
            spawn({"dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"}, "", out.writeEnd());
        out.closeWriteEnd();
        // Two lines: the address, then the daemon's pid.
        waitUntil([&] { return std::count(out.text().begin(), out.text().end(), '\n') >= 2; }, 10);
        waitpid(parent, nullptr, 0);
        const std::string& t = out.text();
        const size_t nl = t.find('\n');
        if (nl == std::string::npos || nl + 1 >= t.size()) return;
        address = t.substr(0, nl);
        pid = std::atoi(t.c_str() + nl + 1);
        if (!address.empty()) setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~SessionBus() {
        if (pid > 0) kill(pid, SIGTERM);  // not our child: the forking parent was reaped above
    }
};

// The three a run needs, ended in reverse order: the bus, the server, the folder.
struct Session {
    Scratch scratch;
    Xvfb server;
    SessionBus bus;
    // What did not start; empty when all did.
    std::string missing() const {
        if (scratch.dir.empty()) return "no scratch folder";
        if (server.display.empty()) return "Xvfb did not start";
        if (bus.address.empty()) return "dbus-daemon did not start";
        return {};
    }
};

// A plain client of the server: reads properties and window states, and
// presses keys through XTEST.
class XClient {
public:
    explicit XClient(const std::string& display) {
        c_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(c_)) return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        syms_ = xcb_key_symbols_alloc(c_);
    }
    ~XClient() {
        if (syms_) xcb_key_symbols_free(syms_);
        xcb_disconnect(c_);
    }
    XClient(const XClient&) = delete;
    XClient& operator=(const XClient&) = delete;

    bool ok() const { return !xcb_connection_has_error(c_); }
    xcb_connection_t* c() const { return c_; }
    xcb_window_t root() const { return root_; }
    xcb_atom_t atom(const char* name) {
        auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
        const xcb_atom_t a = r ? r->atom : XCB_NONE;
        free(r);
        return a;
    }
    std::vector<uint32_t> cardinals(xcb_window_t w, const char* prop) {
        auto* r = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, atom(prop), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
                                         nullptr);
        std::vector<uint32_t> out;
        if (r && r->format == 32) {
            auto* v = static_cast<uint32_t*>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        free(r);
        return out;
    }
    std::string wmClass(xcb_window_t w) {
        auto* r = xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64),
                                         nullptr);
        std::string out;
        if (r) out.assign(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
        free(r);
        return out;
    }
    // The managed windows whose class names `cls` ("XTerm").
    std::vector<xcb_window_t> clients(const std::string& cls) {
        std::vector<xcb_window_t> out;
        for (uint32_t w : cardinals(root_, "_NET_CLIENT_LIST"))
            if (wmClass(w).find(cls) != std::string::npos) out.push_back(w);
        return out;
    }
    struct Geom {
        int x = 0, y = 0, w = 0, h = 0;
    };
    // Where a window is on the root (a window manager may have framed it), and its size.
    Geom geometry(xcb_window_t w) {
        auto* r = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        auto* t = xcb_translate_coordinates_reply(c_, xcb_translate_coordinates(c_, w, root_, 0, 0), nullptr);
        const Geom g = r && t ? Geom{t->dst_x, t->dst_y, r->width, r->height} : Geom{};
        free(r);
        free(t);
        return g;
    }
    bool viewable(xcb_window_t w) {
        auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr);
        const bool v = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        free(a);
        return v;
    }
    xcb_window_t selectionOwner(const char* selection) {
        auto* r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, atom(selection)), nullptr);
        const xcb_window_t w = r ? r->owner : XCB_NONE;
        free(r);
        return w;
    }
    // The top-level override-redirect windows on screen now: panels, toasts, menus.
    size_t overrideRedirectMapped() {
        size_t n = 0;
        auto* tree = xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr);
        if (!tree) return 0;
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            auto* a = xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, kids[i]), nullptr);
            // Input-only windows (the window manager's focus barrier) show nothing.
            n += a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE &&
                 a->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT;
            free(a);
        }
        free(tree);
        return n;
    }
    // Presses and releases the keys in order, then releases them in reverse.
    void chord(const std::vector<xcb_keysym_t>& syms) {
        std::vector<xcb_keycode_t> codes;
        for (xcb_keysym_t s : syms) {
            xcb_keycode_t* k = xcb_key_symbols_get_keycode(syms_, s);
            codes.push_back(k ? k[0] : 0);
            free(k);
        }
        for (xcb_keycode_t k : codes) xcb_test_fake_input(c_, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto it = codes.rbegin(); it != codes.rend(); ++it)
            xcb_test_fake_input(c_, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        sync();
    }
    // Round trip: the server has carried out everything sent before.
    void sync() { free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

private:
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_key_symbols_t* syms_ = nullptr;
};

// Whether the session started and `x` reached its server; says what is wrong when not.
inline bool sessionReady(const Session& session, const XClient& x, const char* bench) {
    if (session.missing().empty() && x.ok()) return true;
    std::fprintf(stderr, "%s: %s\n", bench,
                 session.missing().empty() ? "the display is unreachable" : session.missing().c_str());
    return false;
}

}  // namespace tarvela::bench

// A private Xvfb and quiet children for the benches that need a real X
// server, and the XTEST key presses they send.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/poll_runloop.h"
#include "core/window_access.h"
#include "manager/feedback_hooks.h"
#include "settings/defaults.h"
#include "settings/prefs.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

extern "C" char** environ;

namespace tarvela::bench {

// Quiet child: standard streams on /dev/null, fd3 passed on as descriptor 3.
inline pid_t spawn(const std::vector<std::string>& argv, int fd3, const std::string& display) {
    std::vector<char*> a;
    for (auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    std::vector<std::string> env{"DISPLAY=" + display};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& s : env) envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    for (int fd : {0, 1, 2}) posix_spawn_file_actions_addopen(&fa, fd, "/dev/null", O_RDWR, 0);
    if (fd3 >= 0) posix_spawn_file_actions_adddup2(&fa, fd3, 3);
    pid_t pid = -1;
    if (posix_spawnp(&pid, a[0], &fa, nullptr, a.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

inline void reap(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

inline std::string startXvfb(pid_t& pid) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp", "-noreset"}, fds[1], "");
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections, or exits.
    char line[32] = {0};
    FILE* f = fdopen(fds[0], "r");
    const bool ok = f && std::fgets(line, sizeof line, f);
    if (f) std::fclose(f);
    std::string number = ok ? line : "";
    if (number.empty()) return {};
    return ":" + number.substr(0, number.find('\n'));
}

inline double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline void fake(xcb_connection_t* c, uint8_t type, uint8_t detail) {
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(c);
}


inline xcb_atom_t intern(xcb_connection_t* c, const char* n) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(n)), n), nullptr);
    xcb_atom_t a = r ? r->atom : XCB_NONE;
    std::free(r);
    return a;
}

// A private server, and a process that owns the bench's windows; both gone
// with it. `display` is empty when the server did not start.
struct BenchServer {
    pid_t xvfb = -1;
    pid_t owner = -1;
    std::string display;
    explicit BenchServer(const char* bench) {
        display = startXvfb(xvfb);
        if (display.empty())
            std::fprintf(stderr, "%s: Xvfb did not start\n", bench);
        else
            owner = spawn({"sleep", "1000"}, -1, display);
    }
    ~BenchServer() {
        reap(owner);
        reap(xvfb);
    }
    BenchServer(const BenchServer&) = delete;
    BenchServer& operator=(const BenchServer&) = delete;
    // A mapped window of the owner's, 0 its desktop unless `desktop` says.
    xcb_window_t window(xcb_connection_t* c, int x, int y, int w, int h, std::optional<uint32_t> desktop = {}) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_window_t win = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win, root, static_cast<int16_t>(x), static_cast<int16_t>(y),
                          static_cast<uint16_t>(w), static_cast<uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        const uint32_t pid = static_cast<uint32_t>(owner);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, intern(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        if (desktop)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, win, intern(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, 32, 1,
                                &*desktop);
        xcb_map_window(c, win);
        return win;
    }
};

// Fresh settings and stores for a bench's manager.
struct BenchStores {
    MemoryDefaults defaults;
    Prefs prefs{defaults};
    RuleStore rules{defaults};
    WorkspaceStore workspaces{defaults};
    NoFeedback feedback;
};

// Runs `loop` until the application `owner` has `n` windows (at most 10 s).
inline bool waitWindows(PollRunLoop& loop, Platform& p, pid_t owner, size_t n) {
    return loop.runUntil([&] {
        auto v = attr<std::vector<AXElement>>(p, AXElement::application(owner), ax::Windows);
        return v && v->size() == n;
    }, 10);
}

}  // namespace tarvela::bench

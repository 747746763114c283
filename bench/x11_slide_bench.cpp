// One slide of the strip on a real X server: a private Xvfb with 20 xterms,
// Tarvela's manager on the X11 platform in this process, its global shortcuts
// grabbed for real and wired as the shell wires them, and Ctrl+Alt+Right
// pressed through XTEST. Per slide:
//   frames and frame rate  as the strip reports them when it comes to rest,
//   requests               X requests the position writes sent (the platform counts them),
//   hot key to frame       from the key press sent to the X server until the
//                          server reports the first window moved (a second
//                          connection watches every terminal).
// Prints the median of several slides, then the same slides with the screen
// split into two monitors (each strip clipped to its own), then those again
// with 50 terminals. Starts and ends its own X server.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/poll_runloop.h"
#include "core/window_access.h"
#include "input/hotkeys.h"
#include "manager/feedback_hooks.h"
#include "manager/window_manager.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_platform.h"
#include "settings/defaults.h"

using namespace tarvela;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kTerminals = 20;
constexpr int kManyTerminals = 50;  // the last pass: two monitors, most columns off screen
constexpr int kSlides = 7;
const char* const kLeftMonitor[] = {"xrandr", "--setmonitor", "L", "960/254x1080/286+0+0", "screen", nullptr};
const char* const kRightMonitor[] = {"xrandr", "--setmonitor", "R", "960/254x1080/286+960+0", "none", nullptr};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& display, int fd3 = -1) {
    std::vector<char*> cargv;
    for (auto& s : argv) cargv.push_back(const_cast<char*>(s.c_str()));
    cargv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        dup2(devnull, 2);
        if (fd3 >= 0) dup2(fd3, 3);
        execvp(cargv[0], cargv.data());
        _exit(127);
    }
    return pid;
}

void end(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        poll(nullptr, 0, 10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// A private X server on a display of its own choosing.
struct Server {
    pid_t pid = -1;
    std::string display;
    Server() {
        int fds[2];
        if (pipe(fds) != 0) return;
        pid = spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "+extension", "RANDR", "+extension",
                     "COMPOSITE", "-nolisten", "tcp", "-noreset"},
                    "", fds[1]);
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (poll(&p, 1, 10000) > 0) {
            char buf[16];
            const ssize_t n = read(fds[0], buf, sizeof buf);
            if (n <= 0) break;
            number.append(buf, static_cast<size_t>(n));
            if (number.find('\n') != std::string::npos) break;
        }
        close(fds[0]);
        if (!number.empty()) display = ":" + number.substr(0, number.find('\n'));
    }
    ~Server() { end(pid); }
};

// A second client: watches the terminals move and presses keys through XTEST.
class Watcher {
public:
    explicit Watcher(const std::string& display) {
        c_ = xcb_connect(display.c_str(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        syms_ = xcb_key_symbols_alloc(c_);
    }
    ~Watcher() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        xcb_key_symbols_free(syms_);
        xcb_disconnect(c_);
    }
    void watch(const std::vector<uint32_t>& windows) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        for (uint32_t w : windows) {
            xcb_change_window_attributes(c_, w, XCB_CW_EVENT_MASK, &mask);
            if (auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr)) {
                x_[w] = g->x;
                free(g);
            }
        }
        thread_ = std::thread([this] { run(); });
    }
    xcb_keycode_t keycode(xcb_keysym_t sym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(syms_, sym);
        const xcb_keycode_t k = codes ? codes[0] : 0;
        free(codes);
        return k;
    }
    void key(xcb_keycode_t k, bool press) {
        xcb_test_fake_input(c_, press ? XCB_KEY_PRESS : XCB_KEY_RELEASE, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c_);
    }
    // Arms the watch: the next ConfigureNotify after now is timed.
    void arm() {
        std::lock_guard<std::mutex> lock(m_);
        armed_ = true;
        first_.reset();
    }
    std::optional<Clock::time_point> first() {
        std::lock_guard<std::mutex> lock(m_);
        return first_;
    }

private:
    void run() {
        const int fd = xcb_get_file_descriptor(c_);
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 20);
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                // The server's own notices only (not the window manager's
                // synthetic copies), and only moves: raising the window that
                // gains focus restacks it first, which is no frame.
                if (e->response_type == XCB_CONFIGURE_NOTIFY) {
                    auto* ev = reinterpret_cast<xcb_configure_notify_event_t*>(e);
                    std::lock_guard<std::mutex> lock(m_);
                    auto it = x_.find(ev->window);
                    if (it != x_.end() && it->second != ev->x) {
                        it->second = ev->x;
                        if (armed_ && !first_) first_ = Clock::now();
                    }
                }
                free(e);
            }
        }
    }
    xcb_connection_t* c_;
    xcb_window_t root_;
    xcb_key_symbols_t* syms_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex m_;
    bool armed_ = false;
    std::optional<Clock::time_point> first_;
    std::map<uint32_t, int> x_;  // each terminal's last x on the server
};

struct Slide {
    int frames = 0;
    double fps = 0;
    uint64_t requests = 0;
    double keyToFrameMs = 0;
};

}  // namespace

int main() {
    Server server;
    if (server.display.empty()) {
        std::fprintf(stderr, "x11_slide_bench: Xvfb did not start\n");
        return 1;
    }
    std::vector<pid_t> terms;
    for (int i = 0; i < kTerminals; ++i)
        terms.push_back(spawn({"xterm", "-geometry", "80x24+" + std::to_string(i * 80) + "+100"}, server.display));

    std::mutex logMutex;
    std::vector<std::string> logs;
    setLogSink([&](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex);
        logs.push_back(line);
    });
    auto scrollLines = [&] {
        std::lock_guard<std::mutex> lock(logMutex);
        std::vector<std::string> out;
        for (const auto& l : logs)
            if (l.find("] scroll: ") != std::string::npos) out.push_back(l);
        return out;
    };

    int status = 0;
    {
        PollRunLoop loop;
        X11Options options;
        options.display = server.display;
        X11Platform platform(loop, options);
        if (!loop.runUntil([&] { return tileableWindows(platform).size() == kTerminals; }, 30)) {
            std::fprintf(stderr, "x11_slide_bench: only %zu of %d terminals appeared\n",
                         tileableWindows(platform).size(), kTerminals);
            status = 1;
        }
        X11HotkeyService service(platform, loop);
        struct Pass {
            bool split;
            int terminals;
        };
        for (const Pass pass : {Pass{false, kTerminals}, Pass{true, kTerminals}, Pass{true, kManyTerminals}}) {
        const bool split = pass.split;
        if (status != 0) break;
        if (pass.terminals > static_cast<int>(terms.size())) {
            for (int i = static_cast<int>(terms.size()); i < pass.terminals; ++i)
                terms.push_back(spawn({"xterm", "-geometry", "80x24+" + std::to_string(i % 20 * 80) + "+100"},
                                      server.display));
            if (!loop.runUntil([&] { return tileableWindows(platform).size() == terms.size(); }, 60)) {
                std::fprintf(stderr, "x11_slide_bench: only %zu of %zu terminals appeared\n",
                             tileableWindows(platform).size(), terms.size());
                status = 1;
                break;
            }
        }
        if (split && platform.screens().size() != 2) {
            // Two side-by-side monitors: strip 0 then lives on a 960-wide one
            // and every slide clips columns at its edge.
            for (const char* const* args : {kLeftMonitor, kRightMonitor}) {
                std::vector<std::string> argv;
                for (const char* const* a = args; *a; ++a) argv.push_back(*a);
                const pid_t p = spawn(argv, server.display);
                waitpid(p, nullptr, 0);
            }
            loop.runUntil([&] { return platform.screens().size() == 2; }, 5);
        }
        NoFeedback feedback;
        MemoryDefaults defaults;
        Prefs prefs(defaults);
        RuleStore rules(defaults);
        WorkspaceStore workspaces(defaults);
        WindowManager wm(WindowManager::Deps{platform, loop, {}, makeWorkerPool(3), prefs, rules, workspaces, feedback});
        Hotkeys hotkeys(defaults, service, &workspaces);
        hotkeys.onAction = [&](Action a, int n) { wm.perform(a, n); };
        hotkeys.registerAll();
        wm.start();
        auto quiet = [&] {
            bool ok = loop.runUntil([&] { return wm.cur() && !wm.cur()->animating; }, 5);
            return platform.sync() && ok;
        };

        Watcher watcher(server.display);
        std::vector<uint32_t> ids;
        for (const Win& w : tileableWindows(platform)) ids.push_back(static_cast<uint32_t>(w.el.id));
        watcher.watch(ids);
        const xcb_keycode_t ctrl = watcher.keycode(0xffe3), alt = watcher.keycode(0xffe9),
                            right = watcher.keycode(0xff53);

        std::vector<Slide> slides;
        const size_t wanted = split ? terms.size() / 2 : terms.size();
        if (split && !wm.strips().empty()) {
            // The slides run on the left monitor's strip.
            wm.strips()[0]->raise(0, 0);
            loop.runUntil([&] { return wm.cur() == wm.strips()[0]; }, 5);
            quiet();
            std::fprintf(stderr, "x11_slide_bench: two monitors: %zu strips, %zu + %zu columns\n", wm.strips().size(),
                         wm.strips()[0]->cols.size(), wm.strips().size() > 1 ? wm.strips()[1]->cols.size() : 0);
        }
        if (status == 0 && wm.on() && wm.cur() && wm.cur()->cols.size() >= wanted) {
            wm.perform(Action::jump, 1);
            quiet();
            for (int k = 0; k < kSlides; ++k) {
                const size_t before = scrollLines().size();
                const uint64_t requests = platform.positionRequests();
                watcher.key(ctrl, true);
                watcher.key(alt, true);
                watcher.arm();
                const auto pressed = Clock::now();
                watcher.key(right, true);
                watcher.key(right, false);
                watcher.key(alt, false);
                watcher.key(ctrl, false);
                if (!loop.runUntil([&] { return scrollLines().size() > before; }, 5)) {
                    std::fprintf(stderr, "x11_slide_bench: slide %d never came to rest\n", k);
                    status = 1;
                    break;
                }
                quiet();
                Slide s;
                const std::string line = scrollLines()[before];
                double elapsed = 0;
                int windows = 0;
                std::sscanf(line.c_str() + line.find("scroll: ") + 8, "%d frames / %lfs = %lf fps (%d windows)",
                            &s.frames, &elapsed, &s.fps, &windows);
                s.requests = platform.positionRequests() - requests;
                if (auto first = watcher.first())
                    s.keyToFrameMs = std::chrono::duration<double, std::milli>(*first - pressed).count();
                slides.push_back(s);
            }
        } else if (status == 0) {
            std::fprintf(stderr, "x11_slide_bench: the manager did not tile the terminals\n");
            status = 1;
        }
        wm.stop(false);

        if (!slides.empty()) {
            std::vector<double> frames, fps, requests, latency;
            for (const Slide& s : slides) {
                frames.push_back(s.frames);
                fps.push_back(s.fps);
                requests.push_back(static_cast<double>(s.requests));
                latency.push_back(s.keyToFrameMs);
            }
            if (pass.terminals == kManyTerminals) {
                std::printf("BENCH x11_slide_50_two_monitors_frames %.0f frames\n", median(frames));
                std::printf("BENCH x11_slide_50_two_monitors_requests %.0f requests\n", median(requests));
            } else if (split) {
                std::printf("BENCH x11_slide_two_monitors_frames %.0f frames\n", median(frames));
                std::printf("BENCH x11_slide_two_monitors_requests %.0f requests\n", median(requests));
            } else {
                std::printf("BENCH x11_slide_frames %.0f frames\n", median(frames));
                std::printf("BENCH x11_slide_fps %.0f fps\n", median(fps));
                std::printf("BENCH x11_slide_requests %.0f requests\n", median(requests));
                std::printf("BENCH x11_hotkey_to_frame_ms %.2f ms\n", median(latency));
            }
            std::fprintf(stderr, "x11_slide_bench: %zu slides%s with %zu terminals; frames min %.0f max %.0f\n",
                         slides.size(), split ? " on two monitors" : "", terms.size(),
                         *std::min_element(frames.begin(), frames.end()),
                         *std::max_element(frames.begin(), frames.end()));
        }
        }
    }
    setLogSink(nullptr);
    for (pid_t t : terms) end(t);
    return status;
}

// A floating window dragged by its title bar on a real X server: a private
// Xvfb, one xterm taken out of its strip (so it has a bar), Tarvela's X11
// platform in this process, and a second client that presses on the bar and
// moves the pointer through XTEST at 200 events a second, as a mouse does.
//   float_drag_fps   moves of the window's frame the server made per second
//                    of the drag (at most the pointer's rate, 200)
#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "core/poll_runloop.h"
#include "core/title_bar.h"
#include "core/window_access.h"
#include "platform/x11/x11_platform.h"
#include "shell_bench_env.h"

using namespace tarvela;
using namespace tarvela::bench;

namespace {

constexpr int kEventsPerSecond = 200;
constexpr int kEvents = 400;  // two seconds of dragging

xcb_window_t parentOf(xcb_connection_t* c, xcb_window_t w) {
    auto* r = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
    const xcb_window_t p = r ? r->parent : XCB_NONE;
    free(r);
    return p;
}

// The server's own ConfigureNotify events for `frame` that moved it, counted
// on a connection of their own.
class MoveCounter {
public:
    MoveCounter(const std::string& display, xcb_window_t frame)
        : c_(xcb_connect(display.c_str(), nullptr)), frame_(frame) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, frame, XCB_CW_EVENT_MASK, &mask);
        free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        thread_ = std::thread([this] { run(); });
    }
    ~MoveCounter() {
        stop_ = true;
        thread_.join();
        xcb_disconnect(c_);
    }
    int moves() const { return moves_; }

private:
    void run() {
        const int fd = xcb_get_file_descriptor(c_);
        int lastX = -100000, lastY = -100000;
        while (!stop_) {
            pollfd p{fd, POLLIN, 0};
            poll(&p, 1, 20);
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                if (e->response_type == XCB_CONFIGURE_NOTIFY) {
                    auto* ev = reinterpret_cast<xcb_configure_notify_event_t*>(e);
                    if (ev->window == frame_ && (ev->x != lastX || ev->y != lastY)) {
                        lastX = ev->x;
                        lastY = ev->y;
                        ++moves_;
                    }
                }
                free(e);
            }
        }
    }
    xcb_connection_t* c_;
    xcb_window_t frame_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> moves_{0};
};

void fake(xcb_connection_t* c, uint8_t type, uint8_t detail, int x = 0, int y = 0) {
    xcb_test_fake_input(c, type, detail, XCB_CURRENT_TIME, XCB_NONE, static_cast<int16_t>(x), static_cast<int16_t>(y),
                        0);
    xcb_flush(c);
}

}  // namespace

int main() {
    Xvfb server;
    if (server.display.empty()) return std::fprintf(stderr, "x11_float_drag_bench: no X server\n"), 1;
    const pid_t term = spawn({"xterm", "-geometry", "80x24+300+300"}, server.display);
    int status = 0;
    {
        PollRunLoop loop;
        X11Options options;
        options.display = server.display;
        X11Platform platform(loop, options);
        if (!loop.runUntil([&] { return !tileableWindows(platform).empty(); }, 30)) {
            std::fprintf(stderr, "x11_float_drag_bench: the terminal never appeared\n");
            status = 1;
        } else {
            // Out of a strip, as the user floats a column: now it has a bar.
            const AXElement el = tileableWindows(platform).front().el;
            platform.assignDisplay(el, platform.screens().front().id);
            platform.assignDisplay(el, std::nullopt);
            platform.sync();
            xcb_connection_t* input = xcb_connect(server.display.c_str(), nullptr);
            const xcb_window_t frame = parentOf(input, static_cast<xcb_window_t>(el.id));
            const Rect r = *tarvela::frame(platform, el);
            MoveCounter counter(server.display, frame);
            const int x0 = static_cast<int>(r.midX()), y0 = static_cast<int>(r.y) - titlebar::height / 2;
            fake(input, XCB_MOTION_NOTIFY, 0, x0, y0);
            fake(input, XCB_BUTTON_PRESS, 1);
            platform.sync();
            // The pointer at a steady 200 events a second, from its own thread,
            // while this one runs the window manager.
            std::atomic<bool> done{false};
            Clock::time_point began, ended;
            std::thread mouse([&] {
                began = Clock::now();
                for (int i = 1; i <= kEvents; ++i) {
                    std::this_thread::sleep_until(began + std::chrono::microseconds(i * 1000000 / kEventsPerSecond));
                    // Back and forth across the screen in 3-pixel steps.
                    const int step = i % 200 < 100 ? i % 100 : 100 - i % 100;
                    fake(input, XCB_MOTION_NOTIFY, 0, x0 + 3 * step, y0 + step);
                }
                ended = Clock::now();
                fake(input, XCB_BUTTON_RELEASE, 1);
                done = true;
            });
            loop.runUntil([&] { return done.load(); }, 30);
            mouse.join();
            platform.sync();
            const double seconds = std::chrono::duration<double>(ended - began).count();
            const Rect after = *tarvela::frame(platform, el);
            if (after.origin() == r.origin() && counter.moves() == 0) {
                std::fprintf(stderr, "x11_float_drag_bench: the drag did not move the window\n");
                status = 1;
            }
            std::printf("BENCH float_drag_fps %.0f fps\n", counter.moves() / seconds);
            std::fprintf(stderr, "x11_float_drag_bench: %d moves in %.2fs for %d pointer events\n", counter.moves(),
                         seconds, kEvents);
            xcb_disconnect(input);
        }
    }
    end(term);
    return status;
}

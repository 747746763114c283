// Switching desktops on a private Xvfb with Tarvela as its window manager:
//   desktop_switch_ms   an XTEST Super+digit press sent -> the last window of
//                       the new desktop viewable and the last of the old one
//                       not; 20 windows on each of the two desktops.
// Median of 40 switches, alternating; each waits for its own result.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/x11_bench_env.h"
#include "core/log.h"
#include "core/poll_runloop.h"
#include "core/window_access.h"
#include "input/hotkeys.h"
#include "manager/window_manager.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_platform.h"
#include "settings/defaults.h"

using namespace tarvela;
using namespace tarvela::bench;

namespace {
constexpr int kPerDesktop = 20;

bool viewable(xcb_connection_t* c, xcb_window_t w) {
    auto* r = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool v = r && r->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(r);
    return v;
}
}  // namespace

int main() {
    setLogSink([](const std::string&) {});
    BenchServer server("x11_desktop_bench");
    if (server.display.empty()) return 1;
    const pid_t owner = server.owner;
    int rc = 0;
    {
        PollRunLoop loop;
        X11Options o;
        o.display = server.display;
        X11Platform x11(loop, o);
        xcb_connection_t* c = xcb_connect(server.display.c_str(), nullptr);
        // The second desktop's windows ask for it before they map, as a restored session's do.
        std::vector<xcb_window_t> wins;
        for (int i = 0; i < 2 * kPerDesktop; ++i)
            wins.push_back(server.window(c, 100 + 10 * i, 100, 600, 500, i < kPerDesktop ? 0u : 1u));
        xcb_flush(c);
        waitWindows(loop, x11, owner, wins.size());
        BenchStores stores;
        auto& [defaults, prefs, rules, workspaces, feedback] = stores;
        WindowManager mgr({x11, loop, {}, nullptr, prefs, rules, workspaces, feedback, 7});
        mgr.start();
        const bool ready = loop.runUntil([&] {
            return mgr.windowCount(0) == kPerDesktop && mgr.windowCount(1) == kPerDesktop && !mgr.cur()->animating;
        }, 10);

        X11HotkeyService service(x11, loop);
        Hotkeys hotkeys(defaults, service, nullptr);
        hotkeys.onAction = [&](Action a, int n) { mgr.perform(a, n); };
        hotkeys.registerAll();
        x11::Keymap keymap(x11.connection());
        const uint8_t super = keymap.keycodes(0xffeb).front();
        const uint8_t one = keymap.keycodes('1').front(), two = keymap.keycodes('2').front();

        const xcb_window_t lastOf[2] = {wins[kPerDesktop - 1], wins.back()};
        std::vector<double> switches;
        fake(c, XCB_KEY_PRESS, super);
        for (int i = 0; ready && i < 41; ++i) {
            const int to = (i + 1) % 2;  // desktop 2 first
            const uint8_t key = to == 1 ? two : one;
            const double sent = loop.now();
            fake(c, XCB_KEY_PRESS, key);
            if (!loop.runUntil([&] { return viewable(c, lastOf[to]) && !viewable(c, lastOf[1 - to]); }, 5)) {
                rc = 1;
                break;
            }
            if (i > 0) switches.push_back((loop.now() - sent) * 1000);  // the first warms up
            fake(c, XCB_KEY_RELEASE, key);
            x11.sync();
        }
        fake(c, XCB_KEY_RELEASE, super);
        if (!ready) rc = 1;
        std::printf("BENCH desktop_switch_ms %.3f ms\n", median(switches));
        std::fflush(stdout);
        xcb_disconnect(c);
    }
    return rc;
}

// Input latency on a private Xvfb with Tarvela as its window manager and a
// running manager arranging four windows:
//   x11_scroll_to_write_ms   an Alt+wheel notch reaching the gesture logic ->
//                            the strip's first position write for it;
//   x11_hotkey_roundtrip_ms  an XTEST key press sent -> the action handler running.
// Medians of 40 samples each; every sample waits for its own result.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/x11_bench_env.h"
#include "core/log.h"
#include "core/poll_runloop.h"
#include "core/window_access.h"
#include "input/gestures.h"
#include "input/hotkeys.h"
#include "manager/window_manager.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_platform.h"
#include "settings/defaults.h"

using namespace tarvela;

using namespace tarvela::bench;

namespace {

// Forwards everything to the X11 platform and notes the first position write
// after being armed (writes may come from the animation's threads).
class WriteClock final : public Platform {
public:
    WriteClock(X11Platform& p, RunLoop& loop) : p_(p), loop_(loop) {}
    void arm() { written_.store(-1); }
    double written() const { return written_.load(); }

    std::optional<AttrValue> copyAttribute(const AXElement& el, std::string_view n) override { return p_.copyAttribute(el, n); }
    bool setAttribute(const AXElement& el, std::string_view n, const AttrValue& v) override {
        if (n == ax::Position) {
            double expected = -1;
            written_.compare_exchange_strong(expected, loop_.now());
        }
        return p_.setAttribute(el, n, v);
    }
    bool performAction(const AXElement& el, std::string_view a) override { return p_.performAction(el, a); }
    std::optional<int32_t> pidOf(const AXElement& el) override { return p_.pidOf(el); }
    std::optional<uint32_t> windowNumber(const AXElement& el) override { return p_.windowNumber(el); }
    bool isProcessTrusted() override { return p_.isProcessTrusted(); }
    bool requestTrust() override { return p_.requestTrust(); }
    std::unique_ptr<AXObserver> createObserver(int32_t pid, AXCallback cb) override { return p_.createObserver(pid, std::move(cb)); }
    std::vector<RunningApp> runningApplications() override { return p_.runningApplications(); }
    std::optional<RunningApp> runningApplication(int32_t pid) override { return p_.runningApplication(pid); }
    std::optional<RunningApp> frontmostApplication() override { return p_.frontmostApplication(); }
    bool activate(int32_t pid) override { return p_.activate(pid); }
    int32_t ownPid() override { return p_.ownPid(); }
    bool launchApplication(const std::string& b, const std::string& id) override { return p_.launchApplication(b, id); }
    bool isApplicationInstalled(const std::string& b) override { return p_.isApplicationInstalled(b); }
    std::vector<Screen> screens() override { return p_.screens(); }
    SubscriptionRef addWorkspaceObserver(WorkspaceEvent e, WorkspaceHandler h) override { return p_.addWorkspaceObserver(e, std::move(h)); }
    SubscriptionRef addMouseUpMonitor(std::function<void()> h) override { return p_.addMouseUpMonitor(std::move(h)); }
    ImageRef capture(const AXElement& w, std::optional<PixelSize> s) override { return p_.capture(w, s); }
    void prepareCapture(const AXElement& w, PixelSize s) override { p_.prepareCapture(w, s); }

private:
    X11Platform& p_;
    RunLoop& loop_;
    std::atomic<double> written_{-1};
};

// Notes when each scroll event reaches the gesture logic.
class ArrivalClock final : public GestureSources {
public:
    ArrivalClock(GestureSources& inner, RunLoop& loop) : inner_(inner), loop_(loop) {}
    SubscriptionRef installScrollTap(std::function<bool(const ScrollEvent&)> h) override {
        return inner_.installScrollTap([this, h = std::move(h)](const ScrollEvent& e) {
            arrived = loop_.now();
            ++count;
            return h(e);
        });
    }
    SubscriptionRef addMagnifyMonitor(std::function<void(const MagnifyEvent&)> h) override { return inner_.addMagnifyMonitor(std::move(h)); }
    std::optional<int> startContactFrames(ContactFrameCallback cb) override { return inner_.startContactFrames(std::move(cb)); }
    double arrived = -1;
    int count = 0;

private:
    GestureSources& inner_;
    RunLoop& loop_;
};

}  // namespace

int main() {
    setLogSink([](const std::string&) {});
    BenchServer server("x11_input_bench");
    if (server.display.empty()) return 1;
    const std::string& display = server.display;
    const pid_t owner = server.owner;
    int rc = 0;
    {
        PollRunLoop loop;
        X11Options o;
        o.display = display;
        X11Platform x11(loop, o);
        xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
        for (int i = 0; i < 4; ++i) server.window(c, 100 + 40 * i, 100, 900, 600);
        xcb_flush(c);
        waitWindows(loop, x11, owner, 4);
        BenchStores stores;
        auto& [defaults, prefs, rules, workspaces, feedback] = stores;
        WriteClock platform(x11, loop);
        WindowManager mgr({platform, loop, {}, nullptr, prefs, rules, workspaces, feedback, 7});
        mgr.start();
        loop.runUntil([&] { return mgr.cur() && mgr.cur()->cols.size() == 4 && !mgr.cur()->animating; }, 10);

        X11GestureSources x11sources(x11, loop);
        ArrivalClock sources(x11sources, loop);
        Touches touches(sources);
        Gestures gestures(loop, prefs, mgr, sources, touches);
        gestures.start();

        x11::Keymap keymap(x11.connection());
        const uint8_t alt = keymap.keycodes(0xffe9).front(), ctrl = keymap.keycodes(0xffe3).front();
        const uint8_t right = keymap.keycodes(0xff53).front(), left = keymap.keycodes(0xff51).front();

        // Alt held; notches alternate up and down so the strip never hits an end.
        std::vector<double> scroll;
        fake(c, XCB_KEY_PRESS, alt);
        for (int i = 0; i < 41; ++i) {
            platform.arm();
            const int before = sources.count;
            const uint8_t button = i % 2 == 0 ? 4 : 5;
            fake(c, XCB_BUTTON_PRESS, button);
            fake(c, XCB_BUTTON_RELEASE, button);
            // Each notch waits for the server to have our answer to the last one:
            // on Xvfb an XTEST press sent while that answer is in flight can be lost.
            if (!loop.runUntil([&] { return sources.count > before && platform.written() >= 0; }, 5) || !x11.sync()) {
                rc = 1;
                break;
            }
            if (i > 0) scroll.push_back((platform.written() - sources.arrived) * 1000);  // the first warms up
        }
        fake(c, XCB_KEY_RELEASE, alt);
        loop.runUntil([&] { return !gestures.settlePending() && !mgr.cur()->animating; }, 5);

        X11HotkeyService service(x11, loop);
        Hotkeys hotkeys(defaults, service, nullptr);
        double fired = -1;
        hotkeys.onAction = [&](Action a, int n) {
            fired = loop.now();
            mgr.perform(a, n);
        };
        hotkeys.registerAll();
        std::vector<double> hotkey;
        fake(c, XCB_KEY_PRESS, ctrl);
        fake(c, XCB_KEY_PRESS, alt);
        for (int i = 0; i < 41; ++i) {
            const uint8_t key = i % 2 == 0 ? right : left;
            fired = -1;
            const double sent = loop.now();
            fake(c, XCB_KEY_PRESS, key);
            if (!loop.runUntil([&] { return fired >= 0; }, 5)) {
                rc = 1;
                break;
            }
            if (i > 0) hotkey.push_back((fired - sent) * 1000);
            fake(c, XCB_KEY_RELEASE, key);
        }
        fake(c, XCB_KEY_RELEASE, alt);
        fake(c, XCB_KEY_RELEASE, ctrl);

        std::printf("BENCH x11_scroll_to_write_ms %.3f ms\n", median(scroll));
        std::printf("BENCH x11_hotkey_roundtrip_ms %.3f ms\n", median(hotkey));
        std::fflush(stdout);
        xcb_disconnect(c);
    }
    return rc;
}

// Global shortcuts and Alt+wheel on a private Xvfb, driven through XTEST and
// synchronised by events: the shortcuts reach the action handler, a
// combination another client holds is logged while the rest work, rebinding
// takes effect at once, and Alt+wheel slides a real manager's strip without
// the window under the pointer ever seeing it.
#include <xcb/shape.h>
#include <xcb/xinput.h>

#include <cmath>
#include <map>

#include "core/log.h"
#include "core/window_access.h"
#include "manager/feedback_hooks.h"
#include "core/strip_geometry.h"
#include "input/gestures.h"
#include "input/hotkeys.h"
#include "manager/window_manager.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_keys.h"
#include "settings/defaults.h"
#include "x11_fixture.h"

namespace tarvela::testing {
namespace {
// Every default grab: the actions, jump's four digits and the desktop rows' nine each.
// One combination per action, four digits for jump, nine for each desktop row.
constexpr size_t kDefaultKeys = allActions.size() + 3 + 3 * 8;

constexpr uint32_t XK_Control_L = 0xffe3, XK_Alt_L = 0xffe9, XK_Super_L = 0xffeb, XK_Caps_Lock = 0xffe5,
                   XK_Shift_L = 0xffe1;

class X11InputTest : public X11Test {
protected:
    MemoryDefaults defaults;
    std::vector<std::string> logs;
    std::vector<std::pair<Action, int>> actions;

    void SetUp() override {
        X11Test::SetUp();
        setLogSink([this](const std::string& l) { logs.push_back(l); });
        startPlatform();
        ASSERT_TRUE(wm_->isProcessTrusted());
        keymap = std::make_unique<x11::Keymap>(wm_->connection());
    }
    void TearDown() override {
        setLogSink(nullptr);
        keymap.reset();
        X11Test::TearDown();
    }

    std::unique_ptr<x11::Keymap> keymap;

    uint8_t code(uint32_t keysym) {
        auto v = keymap->keycodes(keysym);
        EXPECT_FALSE(v.empty()) << std::hex << keysym;
        return v.empty() ? 0 : v.front();
    }
    uint8_t codeForVirtual(uint32_t virtualKey) { return code(*x11::keysymForKeyCode(virtualKey)); }

    // Presses the modifiers, taps the key, releases them, as a hand would.
    void chord(std::vector<uint32_t> mods, uint8_t key) {
        for (uint32_t m : mods) tc_->key(code(m), true);
        tc_->key(key, true);
        tc_->key(key, false);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) tc_->key(code(*it), false);
    }
    bool logged(const std::string& l) { return std::find(logs.begin(), logs.end(), l) != logs.end(); }
    // Waits for the n-th action.
    bool waitActions(size_t n) {
        return waitFor([&] { return actions.size() >= n; }, 5);
    }
};

TEST_F(X11InputTest, DefaultShortcutsReachTheActionsAndNeverTheFocusedWindow) {
    X11HotkeyService service(*wm_, loop_);
    Hotkeys hotkeys(defaults, service, nullptr);
    hotkeys.onAction = [&](Action a, int n) { actions.emplace_back(a, n); };
    hotkeys.registerAll();
    EXPECT_EQ(hotkeys.registeredCount(), kDefaultKeys);
    EXPECT_EQ(service.activeCount(), kDefaultKeys);

    // A window of ours holding the keyboard focus, listening for keys.
    xcb_connection_t* c = tc_->c();
    xcb_window_t w = tc_->createWindow(100, 100, 300, 200);
    const uint32_t mask = XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &mask);
    xcb_map_window(c, w);
    tc_->sync();
    ASSERT_TRUE(waitFor([&] { return tc_->viewable(w); }));
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, w, XCB_CURRENT_TIME);
    tc_->sync();

    const uint8_t right = code(0xff53), left = code(0xff51);
    chord({XK_Control_L, XK_Alt_L}, right);
    chord({XK_Control_L, XK_Alt_L}, left);
    for (uint32_t d = 1; d <= 4; ++d) chord({XK_Control_L, XK_Alt_L}, codeForVirtual(keycode::digits[d]));
    chord({XK_Control_L, XK_Super_L}, codeForVirtual(keycode::digits[4]));
    // With CapsLock on, the same combinations still fire.
    tc_->key(code(XK_Caps_Lock), true);
    tc_->key(code(XK_Caps_Lock), false);
    chord({XK_Control_L, XK_Alt_L}, right);
    tc_->key(code(XK_Caps_Lock), true);
    tc_->key(code(XK_Caps_Lock), false);
    ASSERT_TRUE(waitActions(8));
    using P = std::pair<Action, int>;
    EXPECT_EQ(actions, (std::vector<P>{{Action::focusNext, 0}, {Action::focusPrev, 0}, {Action::jump, 1},
                                       {Action::jump, 2}, {Action::jump, 3}, {Action::jump, 4},
                                       {Action::tileFour, 0}, {Action::focusNext, 0}}));

    // A plain key still reaches the window; the shortcuts before it did not.
    const uint8_t a = codeForVirtual(0);
    tc_->key(a, true);
    tc_->key(a, false);
    std::vector<uint8_t> seen;
    xcb_generic_event_t* e;
    bool sawA = false;
    for (int i = 0; i < 500 && !sawA; ++i) {
        while ((e = xcb_poll_for_event(c))) {
            if ((e->response_type & 0x7f) == XCB_KEY_PRESS) {
                auto* k = reinterpret_cast<xcb_key_press_event_t*>(e);
                seen.push_back(k->detail);
                sawA = sawA || k->detail == a;
            }
            free(e);
        }
        if (!sawA) loop_.runOnce(0.01);
    }
    ASSERT_TRUE(sawA);
    for (uint8_t k : {right, left, codeForVirtual(keycode::digits[1]), codeForVirtual(keycode::digits[4])})
        EXPECT_EQ(std::count(seen.begin(), seen.end(), k), 0) << int(k);
}

TEST_F(X11InputTest, AWindowThatTakesNoInputIsFocusedAndEveryShortcutStillWorks) {
    X11HotkeyService service(*wm_, loop_);
    Hotkeys hotkeys(defaults, service, nullptr);
    hotkeys.onAction = [&](Action a, int n) { actions.emplace_back(a, n); };
    hotkeys.registerAll();
    // xeyes says WM_HINTS input = False and has no WM_TAKE_FOCUS: ICCCM "no input".
    Child eyes = client({"xeyes"});
    const AXElement e = windowOf(eyes.pid());
    ASSERT_TRUE(e);
    ASSERT_TRUE(wm_->setAttribute(e, "AXFocused", true));
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(attr<AXElement>(*wm_, AXElement::application(eyes.pid()), ax::FocusedWindow), e);
    Child key = client({"xdotool", "key", "ctrl+alt+Right"});
    ASSERT_TRUE(waitActions(1));
    EXPECT_EQ(actions.front().first, Action::focusNext);
}

TEST_F(X11InputTest, AGloballyActiveWindowAnsweringLateCannotTakeBackTheFocusAShortcutMoved) {
    // ICCCM "globally active": WM_HINTS input false, WM_TAKE_FOCUS; it sets
    // the focus itself, with the time the window manager gave it.
    const xcb_window_t late = managedWindow(818181, Rect(50, 50, 300, 200), [&](xcb_window_t w) {
        tc_->setCardinals(w, "WM_PROTOCOLS", XCB_ATOM_ATOM, {tc_->atom("WM_TAKE_FOCUS")});
        tc_->setCardinals(w, "WM_HINTS", tc_->atom("WM_HINTS"), {1, 0, 0, 0, 0, 0, 0, 0, 0});
    });
    const xcb_window_t plain = managedWindow(818182, Rect(400, 50, 300, 200));
    ASSERT_TRUE(wm_->setAttribute(AXElement::window(late), "AXFocused", true));
    uint32_t given = 1;
    ASSERT_TRUE(waitFor([&] { return tc_->takeProtocolMessage(late, &given) != 0; }));
    while (tc_->takeProtocolMessage(late, &given)) {
    }

    // Before it answers, a shortcut gives the keyboard to the other window.
    X11HotkeyService service(*wm_, loop_);
    bool fired = false;
    service.install([&](uint32_t) {
        fired = wm_->setAttribute(AXElement::window(plain), "AXFocused", true);
    });
    ASSERT_EQ(service.registerHotkey(keycode::rightArrow, modmask::controlOption, 1).status, 0);
    chord({XK_Control_L, XK_Alt_L}, code(0xff53));
    ASSERT_TRUE(waitFor([&] { return fired; }));
    ASSERT_TRUE(wm_->sync());

    xcb_set_input_focus(tc_->c(), XCB_INPUT_FOCUS_POINTER_ROOT, late, given);  // the late answer
    auto focus = xcb_get_input_focus_reply(tc_->c(), xcb_get_input_focus(tc_->c()), nullptr);
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->focus, plain) << "given time " << given;
    free(focus);
}

TEST_F(X11InputTest, AShortcutMovingTheFocusWithinOneApplicationFocusesOnlyTheWindowItMovesTo) {
    // Two locally active windows of one process (input and WM_TAKE_FOCUS), the first its
    // main window; the focus starts on the first, then on another application's window.
    const uint32_t pid = 828282;
    auto locallyActive = [&](xcb_window_t w) {
        tc_->setCardinals(w, "WM_PROTOCOLS", XCB_ATOM_ATOM, {tc_->atom("WM_TAKE_FOCUS")});
        const uint32_t mask = XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(tc_->c(), w, XCB_CW_EVENT_MASK, &mask);
    };
    const xcb_window_t first = managedWindow(pid, Rect(50, 50, 300, 200), locallyActive);
    const xcb_window_t second = managedWindow(pid, Rect(400, 50, 300, 200), locallyActive);
    const xcb_window_t elsewhere = managedWindow(pid + 1, Rect(750, 50, 300, 200));
    auto focusIs = [&](xcb_window_t w) {
        auto r = xcb_get_input_focus_reply(tc_->c(), xcb_get_input_focus(tc_->c()), nullptr);
        const bool is = r && r->focus == w;
        free(r);
        return is;
    };
    // The shortcut does what a strip's raise does, within one turn.
    X11HotkeyService service(*wm_, loop_);
    bool fired = false;
    service.install([&](uint32_t) {
        const AXElement to = AXElement::window(second);
        wm_->activate(static_cast<int32_t>(pid));
        wm_->performAction(to, ax::Raise);
        fired = wm_->setAttribute(to, ax::Main, true);
    });
    ASSERT_EQ(service.registerHotkey(keycode::rightArrow, modmask::controlOption, 1).status, 0);

    for (const xcb_window_t start : {first, elsewhere}) {
        SCOPED_TRACE(start == first ? "from the first" : "from another application");
        ASSERT_TRUE(wm_->setAttribute(AXElement::window(first), ax::Main, true));
        ASSERT_TRUE(wm_->setAttribute(AXElement::window(start), "AXFocused", true));
        ASSERT_TRUE(waitFor([&] { return focusIs(start); }));
        tc_->sync();
        while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) free(e);

        fired = false;
        chord({XK_Control_L, XK_Alt_L}, code(0xff53));
        ASSERT_TRUE(waitFor([&] { return fired && focusIs(second); }));
        ASSERT_TRUE(wm_->sync());
        tc_->sync();

        std::map<xcb_window_t, int> focusIns, takeFocus;
        const xcb_atom_t protocols = tc_->atom("WM_PROTOCOLS");
        while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) {
            // The shortcut's own key grab moves the focus away and back (modes Grab, Ungrab): not ours.
            auto* in = reinterpret_cast<xcb_focus_in_event_t*>(e);
            if ((e->response_type & 0x7f) == XCB_FOCUS_IN && in->mode != XCB_NOTIFY_MODE_UNGRAB) ++focusIns[in->event];
            auto* m = reinterpret_cast<xcb_client_message_event_t*>(e);
            if ((e->response_type & 0x7f) == XCB_CLIENT_MESSAGE && m->type == protocols) ++takeFocus[m->window];
            free(e);
        }
        EXPECT_EQ(focusIns[first], 0);
        EXPECT_EQ(focusIns[second], 1);
        EXPECT_EQ(takeFocus[first], 0) << "the main window is never asked to take the focus on the way";
        EXPECT_EQ(takeFocus[second], 1);
    }
}

TEST_F(X11InputTest, CombinationHeldByAnotherClientIsLoggedAndTheRestStillWork) {
    // Another client takes ⌃⌥→ first (without lock variants: one is enough to clash).
    const uint8_t right = code(0xff53), left = code(0xff51);
    ASSERT_TRUE(xcb_request_check(tc_->c(), xcb_grab_key_checked(tc_->c(), 1, tc_->root(),
                                                                 XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, right,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)) == nullptr);
    X11HotkeyService service(*wm_, loop_);
    Hotkeys hotkeys(defaults, service, nullptr);
    hotkeys.onAction = [&](Action a, int n) { actions.emplace_back(a, n); };
    hotkeys.registerAll();
    EXPECT_TRUE(logged("[Tarvela] hotkey 1 could not be registered (-9878); another app may own it")) << logs.size();
    EXPECT_EQ(hotkeys.registeredCount(), kDefaultKeys - 1);

    chord({XK_Control_L, XK_Alt_L}, right);  // the other client's now
    chord({XK_Control_L, XK_Alt_L}, left);
    ASSERT_TRUE(waitActions(1));
    EXPECT_EQ(actions.front().first, Action::focusPrev);

    // Once it lets go, re-registering picks the combination up, lock variants included.
    xcb_ungrab_key(tc_->c(), right, tc_->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    tc_->sync();
    hotkeys.registerAll();
    EXPECT_EQ(hotkeys.registeredCount(), kDefaultKeys);
    chord({XK_Control_L, XK_Alt_L}, right);
    ASSERT_TRUE(waitActions(2));
    EXPECT_EQ(actions.back().first, Action::focusNext);
}

TEST_F(X11InputTest, RebindingAndSuspendingTakeEffectAtOnce) {
    X11HotkeyService service(*wm_, loop_);
    Hotkeys hotkeys(defaults, service, nullptr);
    hotkeys.onAction = [&](Action a, int n) { actions.emplace_back(a, n); };
    hotkeys.registerAll();
    const uint8_t right = code(0xff53), left = code(0xff51), k = codeForVirtual(40);

    hotkeys.set(Action::focusNext, KeyBinding{40, modmask::controlOption, "K"});
    chord({XK_Control_L, XK_Alt_L}, right);  // no longer bound: must not fire
    chord({XK_Control_L, XK_Alt_L}, k);
    chord({XK_Control_L, XK_Alt_L}, left);   // the barrier: once it is here, the rest came first
    ASSERT_TRUE(waitActions(2));
    using P = std::pair<Action, int>;
    EXPECT_EQ(actions, (std::vector<P>{{Action::focusNext, 0}, {Action::focusPrev, 0}}));

    // Jump moved to ⌃⌘: ⌃⌘1 jumps, ⌃⌥1 no longer does.
    hotkeys.set(Action::jump, KeyBinding{0, modmask::controlCommand, "?"});
    actions.clear();
    chord({XK_Control_L, XK_Alt_L}, codeForVirtual(keycode::digits[1]));
    chord({XK_Control_L, XK_Super_L}, codeForVirtual(keycode::digits[2]));
    ASSERT_TRUE(waitActions(1));
    EXPECT_EQ(actions.front(), (P{Action::jump, 2}));

    // Suspended while a shortcut is recorded: nothing fires until re-registered.
    actions.clear();
    hotkeys.suspend();
    EXPECT_EQ(service.activeCount(), 0u);
    // Ungrabs wait for no reply: without the barrier the server may take the
    // press below first, grabbed still, and hand it in after registerAll.
    ASSERT_TRUE(wm_->sync());
    chord({XK_Control_L, XK_Alt_L}, left);
    hotkeys.registerAll();
    chord({XK_Control_L, XK_Alt_L}, k);
    ASSERT_TRUE(waitActions(1));
    EXPECT_EQ(actions, (std::vector<P>{{Action::focusNext, 0}}));
}

TEST_F(X11InputTest, KeysTheTableCannotPlaceAreRefusedAsInvalid) {
    X11HotkeyService service(*wm_, loop_);
    auto r = service.registerHotkey(10, modmask::controlOption, 5);  // the ISO section key: no PC position
    EXPECT_EQ(r.status, hotkeyInvalidStatus);
    EXPECT_FALSE(r.handle);
    auto ok = service.registerHotkey(keycode::r, modmask::controlOption, 5);
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(service.registerHotkey(keycode::r, modmask::controlOption, 6).status, hotkeyExistsStatus);
}


// Wraps the X11 sources to note when each scroll event reached the gesture logic.
class TimedSources final : public GestureSources {
public:
    TimedSources(GestureSources& inner, RunLoop& loop) : inner_(inner), loop_(loop) {}
    SubscriptionRef installScrollTap(std::function<bool(const ScrollEvent&)> h) override {
        return inner_.installScrollTap([this, h = std::move(h)](const ScrollEvent& e) {
            arrivals.push_back(loop_.now());
            events.push_back(e);
            return h(e);
        });
    }
    SubscriptionRef addMagnifyMonitor(std::function<void(const MagnifyEvent&)> h) override {
        return inner_.addMagnifyMonitor(std::move(h));
    }
    std::optional<int> startContactFrames(ContactFrameCallback cb) override {
        return inner_.startContactFrames(std::move(cb));
    }
    std::string machineName() const override { return inner_.machineName(); }
    std::vector<double> arrivals;
    std::vector<ScrollEvent> events;

private:
    GestureSources& inner_;
    RunLoop& loop_;
};

class X11WheelTest : public X11InputTest {
protected:
    Child owner;  // the process our windows claim to belong to
    std::unique_ptr<Prefs> prefs;
    std::unique_ptr<RuleStore> rules;
    std::unique_ptr<WorkspaceStore> workspaces;
    NoFeedback feedback;
    std::unique_ptr<WindowManager> mgr;
    std::unique_ptr<X11GestureSources> x11sources;
    std::unique_ptr<TimedSources> sources;
    std::unique_ptr<Touches> touches;
    std::unique_ptr<Gestures> gestures;
    xcb_window_t probe = 0;

    void SetUp() override {
        X11InputTest::SetUp();
        prefs = std::make_unique<Prefs>(defaults);
        rules = std::make_unique<RuleStore>(defaults);
        workspaces = std::make_unique<WorkspaceStore>(defaults);
    }
    void TearDown() override {
        gestures.reset();
        touches.reset();
        sources.reset();
        x11sources.reset();
        mgr.reset();
        X11InputTest::TearDown();
    }

    // n windows of one application, arranged by a running manager.
    void arrange(int n) {
        owner = client({"sleep", "1000"});
        for (int i = 0; i < n; ++i) {
            xcb_window_t w = tc_->createWindow(100 + 40 * i, 100, 900, 600);
            tc_->setCardinals(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {static_cast<uint32_t>(owner.pid())});
            tc_->setString(w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, std::string("probe\0Probe\0", 12));
            xcb_map_window(tc_->c(), w);
        }
        tc_->sync();
        ASSERT_TRUE(waitFor([&] {
            auto v = attr<std::vector<AXElement>>(*wm_, AXElement::application(owner.pid()), ax::Windows);
            return v && static_cast<int>(v->size()) == n;
        }));
        WindowManager::Deps d{*wm_, loop_, {}, nullptr, *prefs, *rules, *workspaces, feedback, 7};
        mgr = std::make_unique<WindowManager>(std::move(d));
        mgr->start();
        ASSERT_TRUE(waitFor([&] {
            auto s = mgr->cur();
            return s && static_cast<int>(s->cols.size()) == n && !s->animating;
        }));
        x11sources = std::make_unique<X11GestureSources>(*wm_, loop_);
        sources = std::make_unique<TimedSources>(*x11sources, loop_);
        touches = std::make_unique<Touches>(*sources);
        gestures = std::make_unique<Gestures>(loop_, *prefs, *mgr, *sources, *touches);
        gestures->start();
    }

    // A window of our own along the bottom edge, below every strip window,
    // listening for clicks and wheel buttons; the pointer rests on it.
    void probeUnderPointer() {
        xcb_connection_t* c = tc_->c();
        probe = xcb_generate_id(c);
        const uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_EXPOSURE};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, tc_->root(), 0, 1071, 1920, 9, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
        xcb_map_window(c, probe);
        tc_->sync();
        tc_->motion(960, 1075);
    }
    struct Press {
        uint8_t button;
        uint16_t state;
    };
    std::vector<Press> probePresses;
    // Collects the probe's button presses until one with `button` arrives.
    bool waitProbe(uint8_t button) {
        return waitFor([&] {
            while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) {
                if ((e->response_type & 0x7f) == XCB_BUTTON_PRESS) {
                    auto* b = reinterpret_cast<xcb_button_press_event_t*>(e);
                    if (b->event == probe) probePresses.push_back({b->detail, b->state});
                }
                free(e);
            }
            for (auto& p : probePresses)
                if (p.button == button) return true;
            return false;
        }, 5);
    }
    // Alt held over `notches` wheel clicks. Each notch is waited for, and the
    // server has seen our answer to it (the barrier), before the next and
    // before Alt goes up: the grab holds the pointer until the tap has decided,
    // and a notch queued behind it would see the keyboard as it is by then. On
    // Xvfb an XTEST press sent while our answer is still in flight can be lost.
    void altWheel(uint8_t button, int notches, const std::function<bool(int)>& arrived,
                  const std::vector<uint32_t>& alsoHeld = {}) {
        for (uint32_t m : alsoHeld) tc_->key(code(m), true);
        tc_->key(code(XK_Alt_L), true);
        for (int i = 0; i < notches; ++i) {
            tc_->button(button, true);
            tc_->button(button, false);
            if (!waitFor([&] { return arrived(i + 1); }, 5) || !wm_->sync()) {
                ADD_FAILURE() << "notch " << i << " never arrived";
                break;
            }
        }
        tc_->key(code(XK_Alt_L), false);
        for (auto it = alsoHeld.rbegin(); it != alsoHeld.rend(); ++it) tc_->key(code(*it), false);
    }
    std::function<bool(int)> tapSaw() {
        const size_t base = sources->arrivals.size();
        return [this, base](int n) { return sources->arrivals.size() >= base + static_cast<size_t>(n); };
    }
    int nearestColumn(const Strip& s) {
        const double m = s.offset + s.usableWidth() / 2;
        int best = 0;
        double bestD = 1e18;
        for (size_t i = 0; i < s.cw.size(); ++i) {
            double d = std::fabs(geom::columnLeft(s.cw, i) + s.cw[i] / 2 - m);
            if (d < bestD) {
                bestD = d;
                best = static_cast<int>(i);
            }
        }
        return best;
    }
};

TEST_F(X11WheelTest, AltWheelSlidesTheStripUnseenAndSettlesAQuarterSecondAfterTheLastNotch) {
    arrange(4);
    ASSERT_TRUE(gestures->tapInstalled());
    // Xvfb's only pointer device (XTEST) has no scroll valuators: notches only.
    EXPECT_FALSE(x11sources->smoothOffered());
    probeUnderPointer();
    StripRef s = mgr->cur();
    // The focus the strip shows is the one X has: focus changes the server made
    // before our last request (heard after it) must not take it back.
    xcb_get_input_focus_reply_t* focus = xcb_get_input_focus_reply(tc_->c(), xcb_get_input_focus(tc_->c()), nullptr);
    ASSERT_TRUE(focus);
    EXPECT_EQ(wm_->windowNumber(s->cols[static_cast<size_t>(s->focusC)].items[0].el), focus->focus);
    free(focus);
    // From the first column, so that the strip has room to slide right.
    s->raise(0, 0);
    ASSERT_TRUE(waitFor([&] { return !s->animating && s->offset == 0; }, 3));
    const double before = s->offset;

    altWheel(4, 5, tapSaw());
    for (auto& e : sources->events) {
        EXPECT_FALSE(e.precise);
        EXPECT_EQ(e.deltaY, 1);
        EXPECT_TRUE(e.modifierFlags & eventflags::option);
    }
    // Five notches, twelve points each, at speed 1.
    EXPECT_NEAR(s->offset - before, 60, 1e-9);
    const int expected = nearestColumn(*s);
    const double last = sources->arrivals.back();
    ASSERT_TRUE(waitFor([&] { return !gestures->settlePending(); }, 2));
    const double settledAfter = loop_.now() - last;
    EXPECT_GE(settledAfter, Gestures::settleDelay);
    EXPECT_LT(settledAfter, Gestures::settleDelay + 0.1);
    ASSERT_TRUE(waitFor([&] { return !s->animating; }, 3));
    EXPECT_EQ(s->focusC, expected);
    EXPECT_EQ(s->checkInvariants(), "");

    // The wheel without Alt reaches the window under the pointer unchanged, and
    // it is the first press that window ever saw.
    tc_->button(5, true);
    tc_->button(5, false);
    ASSERT_TRUE(waitProbe(5));
    ASSERT_EQ(probePresses.size(), 1u);
    EXPECT_FALSE(probePresses[0].state & XCB_MOD_MASK_1);
    EXPECT_EQ(sources->arrivals.size(), 5u);

    // Alt with other modifiers held (CapsLock on for the last) slides it all the
    // same, and the tap hears every modifier.
    struct Chord {
        std::vector<uint32_t> held;
        uint64_t flags;
        bool capsLock = false;
    };
    const Chord chords[] = {{{XK_Control_L}, eventflags::control},
                            {{XK_Shift_L}, eventflags::shift},
                            {{XK_Super_L}, eventflags::command},
                            {{XK_Control_L, XK_Shift_L}, eventflags::control | eventflags::shift},
                            {{XK_Control_L}, eventflags::control | eventflags::capsLock, true}};
    auto toggleCapsLock = [&] {
        tc_->key(code(XK_Caps_Lock), true);
        tc_->key(code(XK_Caps_Lock), false);
    };
    for (const Chord& chord : chords) {
        ASSERT_TRUE(waitFor([&] { return !gestures->settlePending() && !s->animating; }, 3));
        const double from = s->offset;
        const bool right = from + 12 <= s->totalWidth() - s->usableWidth();  // clear of the strip's end
        if (chord.capsLock) toggleCapsLock();
        altWheel(right ? 4 : 5, 1, tapSaw(), chord.held);
        if (chord.capsLock) toggleCapsLock();
        ASSERT_FALSE(sources->events.empty());
        const uint64_t flags = sources->events.back().modifierFlags;
        EXPECT_EQ(flags & (eventflags::option | chord.flags), eventflags::option | chord.flags) << chord.flags;
        EXPECT_NEAR(s->offset - from, right ? 12 : -12, 1e-9) << chord.flags;
    }
    // None of them reached the window: the next press it sees is a plain one.
    tc_->button(4, true);
    tc_->button(4, false);
    ASSERT_TRUE(waitProbe(4));
    EXPECT_EQ(probePresses.size(), 2u);
    EXPECT_EQ(sources->arrivals.size(), 5u + std::size(chords));
}

TEST_F(X11WheelTest, DeclinedNotchesAreReplayedToTheWindowBelow) {
    arrange(3);
    probeUnderPointer();
    prefs->optionScroll.set(false);
    StripRef s = mgr->cur();
    const double before = s->offset;
    altWheel(4, 1, [&](int) { return waitProbe(4); });
    ASSERT_EQ(probePresses.size(), 1u);
    EXPECT_TRUE(probePresses[0].state & XCB_MOD_MASK_1);
    EXPECT_EQ(s->offset, before);
    EXPECT_EQ(sources->arrivals.size(), 1u);  // seen by the tap, which let it go

    // Horizontal wheels count too, once allowed.
    prefs->optionScroll.set(true);
    altWheel(7, 2, tapSaw());
    EXPECT_EQ(sources->events.back().deltaX, -1);
    EXPECT_EQ(probePresses.size(), 1u);
}

TEST_F(X11WheelTest, AltWheelHeldByAnotherClientMeansNoTapButGesturesStillStart) {
    ASSERT_TRUE(xcb_request_check(tc_->c(), xcb_grab_button_checked(tc_->c(), 0, tc_->root(),
                                                                    XCB_EVENT_MASK_BUTTON_PRESS, XCB_GRAB_MODE_ASYNC,
                                                                    XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, 5,
                                                                    XCB_MOD_MASK_1)) == nullptr);
    arrange(2);
    EXPECT_FALSE(gestures->tapInstalled());
    EXPECT_TRUE(logged("[Tarvela] gestures: event tap unavailable (needs Accessibility)"));
    // Xvfb offers XInput 2.4 (the gesture events) but has no touchpad.
    ASSERT_TRUE(x11sources->gesturesOffered());
    EXPECT_EQ(gestures->monitorCount(), 1u);
    EXPECT_TRUE(logged("[Tarvela] gestures: listening to 0 trackpad(s)"));
    // Selecting gestures kept the window manager's own raw button releases.
    auto r = wm_->connection().get(xcb_input_xi_get_selected_events_reply,
                                   xcb_input_xi_get_selected_events(wm_->connection().raw(), tc_->root()));
    ASSERT_TRUE(r);
    bool raw = false, pinch = false, swipeEnd = false;
    for (auto it = xcb_input_xi_get_selected_events_masks_iterator(r.get()); it.rem; xcb_input_event_mask_next(&it)) {
        const uint32_t* m = xcb_input_event_mask_mask(it.data);
        raw = raw || (m[0] & XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE);
        pinch = pinch || (m[0] & (1u << XCB_INPUT_GESTURE_PINCH_BEGIN));
        swipeEnd = swipeEnd || (it.data->mask_len >= 2 && (m[1] & (1u << (XCB_INPUT_GESTURE_SWIPE_END - 32))));
    }
    EXPECT_TRUE(raw);
    EXPECT_TRUE(pinch);
    EXPECT_TRUE(swipeEnd);
    // Mouse-ups still reach the window manager's monitor after the re-selection.
    int ups = 0;
    SubscriptionRef mon = wm_->addMouseUpMonitor([&] { ++ups; });
    tc_->button(1, true);
    tc_->button(1, false);
    EXPECT_TRUE(waitFor([&] { return ups == 1; }, 5));
    // Once the other client lets go, the next start takes the wheel.
    xcb_ungrab_button(tc_->c(), 5, tc_->root(), XCB_MOD_MASK_1);
    tc_->sync();
    gestures->start();
    EXPECT_TRUE(gestures->tapInstalled());
}


// A click on a column that is only partly on screen: the window takes the
// focus at the press, but the strip slides only once the button is up, so the
// press and the release land on the same spot of the window.
TEST_F(X11WheelTest, AClickOnAPartlyVisibleColumnSlidesOnlyOnceTheButtonIsUp) {
    arrange(3);
    StripRef s = mgr->cur();
    std::optional<Rect> edge;
    AXElement target;
    for (const Col& c : s->cols) {
        auto f = frame(*wm_, c.items[0].el);
        ASSERT_TRUE(f);
        if ((f->minX() < 0 && f->maxX() > 10) || (f->maxX() > 1920 && f->minX() < 1910)) {
            edge = f;
            target = c.items[0].el;
        }
    }
    ASSERT_TRUE(edge) << "no column is partly visible";
    const int x = static_cast<int>((std::max(edge->minX(), 0.0) + std::min(edge->maxX(), 1920.0)) / 2);
    const int y = static_cast<int>(edge->minY()) + 100;
    const auto w = static_cast<xcb_window_t>(target.id);
    const uint32_t mask = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
    xcb_change_window_attributes(tc_->c(), w, XCB_CW_EVENT_MASK, &mask);
    tc_->sync();

    std::optional<std::pair<int, int>> press, release;  // where in the window
    auto collect = [&] {
        while (xcb_generic_event_t* e = xcb_poll_for_event(tc_->c())) {
            const uint8_t type = e->response_type & 0x7f;
            auto* b = reinterpret_cast<xcb_button_press_event_t*>(e);
            if (b->event == w && type == XCB_BUTTON_PRESS) press = std::make_pair(b->event_x, b->event_y);
            if (b->event == w && type == XCB_BUTTON_RELEASE) release = std::make_pair(b->event_x, b->event_y);
            free(e);
        }
    };
    tc_->motion(x, y);
    tc_->button(1, true);
    ASSERT_TRUE(waitFor([&] {
        collect();
        return press && attr<AXElement>(*wm_, AXElement::application(owner.pid()), ax::FocusedWindow) == target;
    }));
    ASSERT_TRUE(wm_->sync());
    for (int i = 0; i < 100 && loop_.runOnce(0); ++i) {
    }
    EXPECT_FALSE(s->animating) << "the strip slid under a button that is still down";
    EXPECT_EQ(frame(*wm_, target)->minX(), edge->minX());

    tc_->button(1, false);
    ASSERT_TRUE(waitFor([&] {
        collect();
        return release && s->find(target)->first == s->focusC && !s->animating;
    }));
    EXPECT_EQ(release, press);
    EXPECT_TRUE(frame(*wm_, target)->minX() >= 0 && frame(*wm_, target)->maxX() <= 1920);
}


// Alt+drag carries a column: Escape puts it back where it was, a release over
// the gap between two other columns drops it there. Meanwhile a bar marks that
// gap, and goes when the drag ends either way.
TEST_F(X11WheelTest, AnAltDragDropsAColumnBetweenTwoOthersAndEscapeCancelsIt) {
    arrange(3);
    StripRef s = mgr->cur();
    // The first column, focused and at rest, is carried over the gap between the other two.
    mgr->raise(0, 0);
    ASSERT_TRUE(waitFor([&] { return s->focusC == 0 && !s->animating; }));
    std::vector<AXElement> order;
    for (const Col& c : s->cols) order.push_back(c.items[0].el);
    auto current = [&] {
        std::vector<AXElement> v;
        for (const Col& c : mgr->cur()->cols) v.push_back(c.items[0].el);
        return v;
    };
    const Rect f = *frame(*wm_, order[0]);
    const double gx = (frame(*wm_, order[1])->maxX() + frame(*wm_, order[2])->minX()) / 2;
    ASSERT_TRUE(f.minX() >= 0 && gx < 1910) << f.minX() << " " << gx;
    const double gapL = frame(*wm_, order[1])->maxX(), gapR = frame(*wm_, order[2])->minX();
    // The marker as the server shows it, polled from the test's own connection.
    auto marked = [&] {
        const xcb_window_t m = wm_->dropMarkerWindow();
        if (m == XCB_NONE || !tc_->viewable(m)) return false;
        const TestClient::Geom g = tc_->geometry(m);
        return g.ok && g.x > gapL && g.x + g.w < gapR && g.h > 10 * g.w;
    };
    auto unmarked = [&] { return wm_->dropMarkerWindow() != XCB_NONE && !tc_->viewable(wm_->dropMarkerWindow()); };
    // Alt+drag order[0] by dx; Escape before the release when cancelling.
    auto drag = [&](int dx, bool cancel) {
        const Rect from = *frame(*wm_, order[0]);
        const int px = static_cast<int>(from.midX()), py = static_cast<int>(from.midY());
        tc_->motion(px, py);
        tc_->key(code(XK_Alt_L), true);
        tc_->button(1, true);
        // The drag has begun (the press handled, the pointer let go) before the pointer moves.
        tc_->sync();
        ASSERT_TRUE(wm_->sync());
        tc_->motion(px + dx / 2, py);
        tc_->motion(px + dx, py);
        // Moved on by a pixel while not there yet: a strip still settling from
        // the last drop may put the window back after the motion was heard.
        int nudge = 0;
        ASSERT_TRUE(waitFor([&] {
            if (std::fabs(frame(*wm_, order[0])->minX() - (from.minX() + dx)) < 1.5) return true;
            tc_->motion(px + dx - (++nudge % 2), py);
            return false;
        }, 3)) << cancel << " " << from.minX() << " + " << dx << " -> " << frame(*wm_, order[0])->minX();
        if (cancel) {
            tc_->key(code(0xff1b), true);
            tc_->key(code(0xff1b), false);
            ASSERT_TRUE(waitFor([&] { return frame(*wm_, order[0])->origin() == from.origin(); }));
        } else {
            EXPECT_TRUE(waitFor(marked, 3)) << "no marker in the gap";
            // Never in the way: unmanaged, and no click lands on it.
            xcb_connection_t* c = tc_->c();
            const xcb_window_t m = wm_->dropMarkerWindow();
            auto* attrs = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, m), nullptr);
            auto* input = xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, m, XCB_SHAPE_SK_INPUT), nullptr);
            EXPECT_TRUE(attrs && attrs->override_redirect && input && input->rectangles_len == 0);
            free(attrs);
            free(input);
        }
        tc_->button(1, false);
        tc_->key(code(XK_Alt_L), false);
        EXPECT_TRUE(waitFor(unmarked, 3)) << "the marker outlived the drag";
    };
    const std::vector<AXElement> dropped{order[1], order[0], order[2]};
    drag(static_cast<int>(gx - f.midX()), false);
    EXPECT_TRUE(waitFor([&] { return current() == dropped && !mgr->cur()->animating; }));
    drag(-300, true);
    ASSERT_TRUE(wm_->sync());
    EXPECT_EQ(current(), dropped);
}

}  // namespace
}  // namespace tarvela::testing

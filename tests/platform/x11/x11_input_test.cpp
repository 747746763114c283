// Global shortcuts and Alt+wheel on a private Xvfb, driven through XTEST and
// synchronised by events: the shortcuts reach the action handler, a
// combination another client holds is logged while the rest work, rebinding
// takes effect at once, and Alt+wheel slides a real manager's strip without
// the window under the pointer ever seeing it.
#include <xcb/xinput.h>

#include <cmath>

#include "core/log.h"
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

constexpr uint32_t XK_Control_L = 0xffe3, XK_Alt_L = 0xffe9, XK_Super_L = 0xffeb, XK_Caps_Lock = 0xffe5;

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
    EXPECT_EQ(hotkeys.registeredCount(), 14u);
    EXPECT_EQ(service.activeCount(), 14u);

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
    EXPECT_EQ(hotkeys.registeredCount(), 13u);

    chord({XK_Control_L, XK_Alt_L}, right);  // the other client's now
    chord({XK_Control_L, XK_Alt_L}, left);
    ASSERT_TRUE(waitActions(1));
    EXPECT_EQ(actions.front().first, Action::focusPrev);

    // Once it lets go, re-registering picks the combination up, lock variants included.
    xcb_ungrab_key(tc_->c(), right, tc_->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    tc_->sync();
    hotkeys.registerAll();
    EXPECT_EQ(hotkeys.registeredCount(), 14u);
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

}  // namespace
}  // namespace tarvela::testing

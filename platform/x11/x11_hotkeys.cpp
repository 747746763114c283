#include "platform/x11/x11_hotkeys.h"

#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_platform.h"

namespace tarvela {

namespace {
constexpr uint16_t relevantMods =
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
}

X11HotkeyService::X11HotkeyService(X11Platform& platform, RunLoop& main)
    : platform_(platform), conn_(platform.connection()), main_(main), keymap_(conn_) {
    filter_ = conn_.addEventFilter([this](xcb_generic_event_t* e) { return onEvent(e); });
}

X11HotkeyService::~X11HotkeyService() {
    conn_.removeEventFilter(filter_);
    for (auto& [h, g] : active_) ungrab(g);
    xcb_flush(conn_.raw());
}

void X11HotkeyService::install(std::function<void(uint32_t)> fire) { fire_ = std::move(fire); }

HotkeyRegistration X11HotkeyService::registerHotkey(uint32_t keyCode, uint32_t carbonMods, uint32_t number) {
    // Registering a combination twice fails, as a second owner of it would.
    for (auto& [h, g] : active_)
        if (g.keyCode == keyCode && g.carbonMods == carbonMods) return {hotkeyExistsStatus, {}};
    Grab g{keyCode, carbonMods, number, {}, x11::modsForCarbon(carbonMods)};
    if (int32_t status = grab(g); status != 0) return {status, {}};
    HotkeyHandle h = next_++;
    active_[h] = std::move(g);
    return {0, h};
}

void X11HotkeyService::unregisterHotkey(HotkeyHandle handle) {
    auto it = active_.find(handle);
    if (it == active_.end()) return;
    ungrab(it->second);
    active_.erase(it);
    xcb_flush(conn_.raw());
}

int32_t X11HotkeyService::grab(Grab& g) {
    g.keycodes.clear();
    auto sym = x11::keysymForKeyCode(g.keyCode);
    if (!sym) return hotkeyInvalidStatus;
    g.keycodes = keymap_.keycodes(*sym);
    if (g.keycodes.empty()) return hotkeyInvalidStatus;
    // All requests first, then the checks: one round trip for the lot.
    struct Sent {
        xcb_keycode_t kc;
        uint16_t mods;
        xcb_void_cookie_t cookie;
    };
    std::vector<Sent> sent;
    for (xcb_keycode_t kc : g.keycodes)
        for (uint16_t lock : keymap_.lockVariants()) {
            const uint16_t mods = static_cast<uint16_t>(g.mods | lock);
            sent.push_back({kc, mods,
                            xcb_grab_key_checked(conn_.raw(), 1, conn_.root(), mods, kc, XCB_GRAB_MODE_ASYNC,
                                                 XCB_GRAB_MODE_ASYNC)});
        }
    int32_t status = 0;
    for (auto& s : sent) {
        uint8_t code = 0;
        if (!conn_.check(s.cookie, &code) && status == 0)
            status = code == XCB_ACCESS ? hotkeyExistsStatus : -static_cast<int32_t>(code);
    }
    if (status != 0) {
        // Half a combination is worse than none: let go of the variants we got.
        // A variant another client holds is not ours to release; ungrabbing it
        // touches only our own grabs.
        ungrab(g);
        g.keycodes.clear();
    }
    return status;
}

void X11HotkeyService::ungrab(const Grab& g) {
    for (xcb_keycode_t kc : g.keycodes)
        for (uint16_t lock : keymap_.lockVariants())
            xcb_ungrab_key(conn_.raw(), kc, conn_.root(), static_cast<uint16_t>(g.mods | lock));
}

void X11HotkeyService::regrabAll() {
    // Between letting go of the old keycodes and grabbing the new ones a key
    // press would reach the focused window instead: hold the server meanwhile.
    xcb_grab_server(conn_.raw());
    for (auto& [h, g] : active_) ungrab(g);
    keymap_.refresh();
    for (auto& [h, g] : active_) grab(g);  // a key that vanished stays registered but cannot fire
    xcb_ungrab_server(conn_.raw());
    xcb_flush(conn_.raw());
}

bool X11HotkeyService::onEvent(xcb_generic_event_t* e) {
    const uint8_t type = e->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        auto* m = reinterpret_cast<xcb_mapping_notify_event_t*>(e);
        if (m->request == XCB_MAPPING_KEYBOARD || m->request == XCB_MAPPING_MODIFIER) regrabAll();
        return false;  // others may care too
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* k = reinterpret_cast<xcb_key_press_event_t*>(e);
    if (k->event != conn_.root()) return false;
    const uint16_t mods = k->state & relevantMods;
    for (auto& [h, g] : active_) {
        if (g.mods != mods) continue;
        for (xcb_keycode_t kc : g.keycodes) {
            if (kc != k->detail) continue;
            if (type == XCB_KEY_PRESS && fire_) {
                // Delivered from the main loop, as the platform's own hot-key events are,
                // never from inside the event dispatch.
                main_.post(life_.guard([this, fire = fire_, n = g.number, time = k->time] {
                    platform_.answerInput(time, [&] { fire(n); });
                }));
            }
            return true;
        }
    }
    return false;
}

}  // namespace tarvela

// Global shortcuts on X: each registration is a passive key grab on the root
// window, made once per NumLock/CapsLock combination and checked, so a
// combination another client already holds (BadAccess) is refused as a whole
// while the others still register. Pressed shortcuts are delivered on the main
// loop. A keyboard remapping re-grabs everything on the new keycodes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "input/hotkey_service.h"
#include "platform/x11/x11_keys.h"

namespace tarvela {

class X11Platform;

// A key with no counterpart on this keyboard (Carbon's "invalid hot key").
inline constexpr int32_t hotkeyInvalidStatus = -9870;

class X11HotkeyService final : public HotkeyService {
public:
    X11HotkeyService(X11Platform& platform, RunLoop& main);
    ~X11HotkeyService() override;  // ungrabs everything it holds
    X11HotkeyService(const X11HotkeyService&) = delete;
    X11HotkeyService& operator=(const X11HotkeyService&) = delete;

    void install(std::function<void(uint32_t number)> fire) override;
    HotkeyRegistration registerHotkey(uint32_t keyCode, uint32_t carbonMods, uint32_t number) override;
    void unregisterHotkey(HotkeyHandle handle) override;

    size_t activeCount() const { return active_.size(); }

private:
    struct Grab {
        uint32_t keyCode;
        uint32_t carbonMods;
        uint32_t number;
        std::vector<xcb_keycode_t> keycodes;  // as grabbed
        uint16_t mods;
    };
    // Grabs every keycode x lock variant; all or nothing. Returns the status.
    int32_t grab(Grab& g);
    void ungrab(const Grab& g);
    bool onEvent(xcb_generic_event_t* e);
    void regrabAll();

    X11Platform& platform_;
    x11::Connection& conn_;
    RunLoop& main_;
    x11::Keymap keymap_;
    uint64_t filter_ = 0;
    std::function<void(uint32_t)> fire_;
    std::map<HotkeyHandle, Grab> active_;
    HotkeyHandle next_ = 1;
    Lifetime life_;
};

}  // namespace tarvela

// Keys on X: the stored macOS virtual key codes (US layout positions) and
// Carbon modifier masks translated to X keysyms and modifier masks, and the
// keyboard's current keysym -> keycode map. One table covers every key the
// shortcut recorder can name.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvela::x11 {

class Connection;

// The keysym at a virtual key code's US-layout position; none for keys with
// no counterpart on PC keyboards (and the modifier keys themselves).
std::optional<uint32_t> keysymForKeyCode(uint32_t virtualKeyCode);
// The virtual key code at a keysym's US-layout position (letters in either case).
std::optional<uint32_t> keyCodeForKeysym(uint32_t keysym);
// Every virtual key code the table knows (for tests).
std::vector<uint32_t> knownKeyCodes();

// control -> Control, option -> Alt (Mod1), command -> Super (Mod4), shift -> Shift.
uint16_t modsForCarbon(uint32_t carbonMods);

// The keyboard mapping as the server has it now.
class Keymap {
public:
    explicit Keymap(Connection& conn) : conn_(conn) { refresh(); }
    // Re-reads the mapping (after a MappingNotify).
    void refresh();
    // Every keycode that yields the keysym, in any column.
    std::vector<xcb_keycode_t> keycodes(uint32_t keysym) const;
    // The modifier bit NumLock sits on (usually Mod2); 0 when none.
    uint16_t numLockMask() const { return numLock_; }
    // NumLock and CapsLock combined in every way, for grabs that must work whatever the locks.
    std::vector<uint16_t> lockVariants() const;

private:
    Connection& conn_;
    xcb_keycode_t min_ = 8;
    uint8_t perCode_ = 0;
    std::vector<xcb_keysym_t> syms_;
    uint16_t numLock_ = 0;
};

}  // namespace tarvela::x11

// Keys as Tarvela stores and shows them: the platform's hardware-independent
// virtual key codes (US layout positions) and Carbon modifier masks, which stay
// the stored format on every platform (each hot-key service translates them),
// and the shortcut binding record built from them.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "settings/stores.h"

namespace tarvela {

namespace keycode {
inline constexpr uint32_t a = 0, s = 1, r = 15, equals = 24, minus = 27, n = 45, m = 46;
inline constexpr uint32_t d = 2, f = 3, c = 8, q = 12, u = 32, j = 38, k = 40, home = 115, end = 119;
inline constexpr uint32_t returnKey = 36, tab = 48, space = 49, deleteKey = 51, escape = 53;
inline constexpr uint32_t leftArrow = 123, rightArrow = 124, downArrow = 125, upArrow = 126;
// The digit keys 0 to 9, in digit order.
inline constexpr std::array<uint32_t, 10> digits{29, 18, 19, 20, 21, 23, 22, 26, 28, 25};
}  // namespace keycode

// Carbon modifier masks.
namespace modmask {
inline constexpr uint32_t command = 0x0100, shift = 0x0200, option = 0x0800, control = 0x1000;
inline constexpr uint32_t controlOption = control | option;    // 0x1800
inline constexpr uint32_t controlCommand = control | command;  // 0x1100
inline constexpr uint32_t controlOptionShift = control | option | shift;  // 0x1a00
// A recorded shortcut must hold at least one of these.
inline constexpr uint32_t required = control | option | command;  // 0x1900
}  // namespace modmask

// The platform's event modifier flags, as key events carry them.
namespace eventflags {
inline constexpr uint64_t capsLock = 1ull << 16, shift = 1ull << 17, control = 1ull << 18, option = 1ull << 19,
                          command = 1ull << 20, numericPad = 1ull << 21, help = 1ull << 22, function = 1ull << 23;
}  // namespace eventflags

struct KeyEvent {
    uint32_t keyCode = 0;
    uint64_t modifierFlags = 0;
    std::string charactersIgnoringModifiers;  // UTF-8
};

struct KeyBinding {
    uint32_t keyCode = 0;
    uint32_t mods = 0;  // Carbon mask
    std::string key;    // text on the key cap: "→", "Space", "R", "1–4"

    // The key caps to draw: "⌃", "⌥", "⇧", "⌘" for the bits set, in that order, then `key`.
    std::vector<std::string> caps() const {
        std::vector<std::string> out;
        if (mods & modmask::control) out.push_back("⌃");
        if (mods & modmask::option) out.push_back("⌥");
        if (mods & modmask::shift) out.push_back("⇧");
        if (mods & modmask::command) out.push_back("⌘");
        out.push_back(key);
        return out;
    }

    // Control, option, shift and command flags as a Carbon mask; other flags dropped.
    static uint32_t carbon(uint64_t flags);
    // The key text for a key-down event: arrows and a few named keys get their
    // symbol, anything else the event's characters upper-cased, or "?".
    static std::string label(const KeyEvent& event);

    bool operator==(const KeyBinding&) const = default;
};

// Custom bindings keyed by action raw value.
using Bindings = std::map<std::string, KeyBinding>;

// {"keyCode": n, "mods": n, "key": s}, all required; the numbers are unsigned 32-bit.
inline Json toJSON(const KeyBinding& b) { return {{"keyCode", b.keyCode}, {"mods", b.mods}, {"key", b.key}}; }

inline KeyBinding keyBindingFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    KeyBinding b;
    b.keyCode = static_cast<uint32_t>(
        decode::integer(decode::member(j, "keyCode", path), decode::at(path, "keyCode"), 0, UINT32_MAX));
    b.mods = static_cast<uint32_t>(
        decode::integer(decode::member(j, "mods", path), decode::at(path, "mods"), 0, UINT32_MAX));
    b.key = decode::string(decode::member(j, "key", path), decode::at(path, "key"));
    return b;
}

inline Json bindingsToJSON(const Bindings& b) {
    Json j = Json::object();
    for (auto& [name, binding] : b) j[name] = toJSON(binding);
    return j;
}

inline Bindings bindingsFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    Bindings out;
    for (auto& [name, value] : j.items()) out[name] = keyBindingFromJSON(value, decode::at(path, name));
    return out;
}

}  // namespace tarvela

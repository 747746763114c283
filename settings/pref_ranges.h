// The preferences that take a number from a range, and what a user who asks
// for any other value is told. Stored files and imports may hold any number:
// whoever reads one clamps it into the range; the places where a user sets one
// (the settings window, `tarvela msg set`) keep to it.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "settings/stores.h"

namespace tarvela {

template <class T>
struct PrefRange {
    std::string_view key;
    std::string_view kind;  // "an integer": how the message names a value
    T lo;
    T hi;

    T clamp(T v) const { return std::clamp(v, lo, hi); }
    // "preference dimLevel takes an integer from 0 to 3, not 4" for a value
    // of the wrong type or outside the range; none for a value it takes.
    std::optional<std::string> check(const Json& v) const;
};

namespace pref_range {
inline constexpr PrefRange<int> dimLevel{"dimLevel", "an integer", 0, 3};  // 0 off, 1..3 increasingly dark
inline constexpr PrefRange<int> appearance{"appearance", "an integer", 0, 2};
inline constexpr PrefRange<int> scrollSpeed{"scrollSpeed", "an integer", 0, 2};
inline constexpr PrefRange<int> focusPolicy{"focusPolicy", "an integer", 0, 2};  // smart, always, never
inline constexpr PrefRange<int> desktops{"desktops", "an integer", 1, 10};
inline constexpr PrefRange<double> defaultWidth{"defaultWidth", "a fraction of the display", 0.1, 1};
}  // namespace pref_range

// What a user who sets preference `key` to `v` is told: "preference <key>
// takes <want>, not <v>".
std::string wrongPreferenceValue(std::string_view key, std::string_view want, const Json& v);

}  // namespace tarvela

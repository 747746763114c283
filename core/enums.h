// The three enumerations shared by the strip, the manager, the preferences and
// the stores. Case order is the order pickers list them; raw values are what is
// persisted, and must never change.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tarvela {

enum class Layout { strip, two, three, plus21, plus12, grid22, grid32, four };
enum class Align { left, center, right, autoAlign };
enum class Behavior { tile = 0, floatWin = 1, ignore = 2 };

inline constexpr std::array<Layout, 8> allLayouts{Layout::strip,  Layout::two,    Layout::three,  Layout::plus21,
                                                   Layout::plus12, Layout::grid22, Layout::grid32, Layout::four};
inline constexpr std::array<Align, 4> allAligns{Align::left, Align::center, Align::right, Align::autoAlign};
inline constexpr std::array<Behavior, 3> allBehaviors{Behavior::tile, Behavior::floatWin, Behavior::ignore};

inline int rawValue(Behavior b) { return static_cast<int>(b); }
// from*Raw give none when the raw value names no case.


inline std::string_view rawValue(Layout l) {
    switch (l) {
        case Layout::strip: return "strip";
        case Layout::two: return "two";
        case Layout::three: return "three";
        case Layout::plus21: return "plus21";
        case Layout::plus12: return "plus12";
        case Layout::grid22: return "grid22";
        case Layout::grid32: return "grid32";
        case Layout::four: return "four";
    }
    return "strip";
}

inline std::string_view rawValue(Align a) {
    switch (a) {
        case Align::left: return "left";
        case Align::center: return "center";
        case Align::right: return "right";
        case Align::autoAlign: return "auto";
    }
    return "center";
}

inline std::optional<Layout> layoutFromRaw(std::string_view raw) {
    for (Layout l : allLayouts)
        if (rawValue(l) == raw) return l;
    return std::nullopt;
}

inline std::optional<Align> alignFromRaw(std::string_view raw) {
    for (Align a : allAligns)
        if (rawValue(a) == raw) return a;
    return std::nullopt;
}

inline std::optional<Behavior> behaviorFromRaw(long long raw) {
    if (raw >= 0 && raw <= 2) return static_cast<Behavior>(raw);
    return std::nullopt;
}


}  // namespace tarvela

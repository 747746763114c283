// An arrangement: where every window sat, by window number, as plain data
// that outlives the windows' elements. It is what carries the user's
// arrangement across a restart of Tarvela on the same display server and
// across displays going and coming back.
//
// A plan is only ever a hint about windows that exist: whoever applies one
// checks each window number against the windows there are, and a window the
// plan does not name is placed as if there were no plan.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"

namespace tarvela {

struct ColumnPlan {
    std::vector<uint32_t> windows;  // top to bottom
    double frac = 0.5;
    bool operator==(const ColumnPlan&) const = default;
};

// One strip: one display on one desktop.
struct StripPlan {
    std::string display;  // Screen::key
    int desktop = 0;
    std::vector<ColumnPlan> columns;  // left to right
    int focusC = 0;
    int focusR = 0;
    double offset = 0;  // the strip's scroll position at rest
    bool operator==(const StripPlan&) const = default;
};

struct FloatPlan {
    uint32_t window = 0;
    int desktop = 0;  // kAllDesktops: on every desktop
    bool operator==(const FloatPlan&) const = default;
};

struct Arrangement {
    std::vector<StripPlan> strips;
    std::vector<FloatPlan> floating;
    int desktop = 0;           // the desktop shown
    std::string focusDisplay;  // Screen::key of the display worked on
    bool operator==(const Arrangement&) const = default;
    bool empty() const { return strips.empty() && floating.empty(); }
};

// The arrangement each set-up of displays had when it was last left, by
// setupKey(), the latest used last.
using SetupMemory = std::vector<std::pair<std::string, Arrangement>>;

// The set of displays connected, as one text: their keys, sorted, so that the
// same monitors give the same set-up whatever order the server lists them in.
std::string setupKey(const std::vector<Screen>& screens);

}  // namespace tarvela

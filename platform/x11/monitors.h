// Displays on X11: RandR monitors in root coordinates, the space docks and
// panels reserve (struts), and the conversion to the screens the logic sees
// (screen coordinates, y up, anchored at the first display).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/platform.h"

namespace tarvela::x11 {

// _NET_WM_STRUT_PARTIAL: reserved widths at each root edge, and the span
// along that edge they cover (inclusive). _NET_WM_STRUT spans the whole edge.
struct Strut {
    int left = 0, right = 0, top = 0, bottom = 0;
    int leftStartY = 0, leftEndY = 0, rightStartY = 0, rightEndY = 0;
    int topStartX = 0, topEndX = 0, bottomStartX = 0, bottomEndX = 0;
};

// From 12 (partial) or 4 (plain) cardinals; none for anything else or all zero.
std::optional<Strut> parseStrut(const std::vector<uint32_t>& words, int rootW, int rootH);

struct Monitor {
    uint64_t id = 0;
    std::string name;  // RandR monitor or output name
    Rect rect;         // root coordinates
    bool primary = false;
    std::vector<uint32_t> outputs;  // RandR outputs behind it; none for one made by hand
    // The monitor itself, from its output's EDID; empty when the server does not know it.
    std::string identity;
};

// A short identity of a monitor from its EDID block: the same monitor on the
// same connector keeps its strips, another one there starts afresh. Empty for
// anything shorter than an EDID's base block.
std::string edidIdentity(const std::vector<uint8_t>& edid);

// The monitor a window belongs to, as the logic assigns windows to displays:
// the one holding its centre, else the primary one (else the first).
std::optional<Rect> monitorAt(const std::vector<Monitor>& monitors, const Rect& window);

// Whether a strut alone leaves at least half the monitor's width and height.
bool strutFits(const Strut& strut, const Rect& monitor, int rootW, int rootH);

// The part of a monitor (root coordinates) that no strut covers: each strut
// that overlaps the monitor pushes the matching edge inwards, except one that
// does not fit (above), which is ignored.
Rect visibleArea(const Rect& monitor, const std::vector<Strut>& struts, int rootW, int rootH);

// Built-in panels are named by their connector (eDP, LVDS, DSI).
std::string displayName(const std::string& outputName);

// Xft.dpi / 96 from the RESOURCE_MANAGER text; 1 when absent or nonsense.
double scaleFromResources(const std::string& resources);

// The logic's screens: primary first, then the others in RandR order; root
// rects flipped about the first one's height, so that flipping a screen's
// frame back with axRect gives its root rect again.
std::vector<Screen> toScreens(std::vector<Monitor> monitors, const std::vector<Strut>& struts, int rootW, int rootH,
                              double scale);

}  // namespace tarvela::x11

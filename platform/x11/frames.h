// Frames: every managed client lives in a frame window of ours, which is the
// part of the client that its display shows. X11 draws a top-level window on
// whatever monitor it overlaps, so without this a strip's overflow columns
// would show on the neighbouring monitor; the frame clips them to their own.
#pragma once

#include <optional>
#include <vector>

#include "core/geometry.h"
#include "core/title_bar.h"

namespace tarvela::x11 {

struct FrameLayout {
    Rect frame;          // root coordinates; always inside the clip when there is one
    int innerX = 0;      // the client's place inside the frame (<= 0 when clipped, the bar's edge when framed)
    int innerY = 0;
    // Nothing of the client is inside its clip: the frame keeps a 1x1 spot and
    // an empty shape, so it stays mapped (pictures of it still work), and the
    // client sits at that spot, as far inside its clip as its size allows.
    bool hidden = false;
    bool operator==(const FrameLayout&) const = default;
    // Where the client's top-left corner really is on the root.
    Point clientOrigin() const { return {frame.x + innerX, frame.y + innerY}; }
};

// The frame for a client at `client` (root coordinates, whole pixels) seen
// only inside `clip`; no clip, or a client wholly inside it, gives a frame
// the size of the client.
FrameLayout frameLayout(const Rect& client, const std::optional<Rect>& clip);

// The frame of a floating client with a title bar: the client at `client`,
// the frame reaching `e` beyond it on every side.
FrameLayout framedLayout(const Rect& client, const titlebar::Extents& e);

// How far a client moves from the position it asks for, once a frame with
// extents `e` is around it: its gravity's point of the frame goes there.
Point gravityShift(int gravity, const titlebar::Extents& e);

// Where a window that lies wholly outside every monitor goes when we let go
// of it: the least move that puts it inside `display` (its left/top edge
// first when it is larger). A window overlapping a monitor stays put.
Rect reachable(const Rect& window, const Rect& display, bool overlapsAMonitor);

// `window`'s size centred on `around`, moved the least that keeps it inside
// `display` (its left/top edge first when it is larger): a dialog centred on
// a column at a monitor's edge must not spill onto the neighbouring monitor.
Rect centredOn(const Rect& around, const Rect& window, const Rect& display);

// Whether two rectangles share any area (touching edges do not).
bool overlaps(const Rect& a, const Rect& b);

// Where a window that wants `want` opens among `taken` (windows it must not
// cover, such as the other tool windows of its group): where it wants when
// that is free, else the first free place inside `display` right of, left
// of, below or above one of them, in their order; when there is none, where
// it wants.
Rect besideOthers(const Rect& want, const std::vector<Rect>& taken, const Rect& display);

}  // namespace tarvela::x11

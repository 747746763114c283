#include "platform/x11/frames.h"

#include <algorithm>
#include <cmath>

namespace tarvela::x11 {

FrameLayout frameLayout(const Rect& client, const std::optional<Rect>& clip) {
    FrameLayout out;
    out.frame = client;
    if (!clip) return out;
    const double x0 = std::max(client.minX(), clip->minX()), x1 = std::min(client.maxX(), clip->maxX());
    const double y0 = std::max(client.minY(), clip->minY()), y1 = std::min(client.maxY(), clip->maxY());
    if (x1 <= x0 || y1 <= y0) {
        // Pagers and taskbars give a window the monitor its top-left corner
        // (or its middle) is on: a hidden one waits inside its own display.
        const Rect home = reachable(client, *clip, false);
        out.frame = Rect(home.x, home.y, 1, 1);
        out.hidden = true;
        return out;
    }
    out.frame = Rect(x0, y0, x1 - x0, y1 - y0);
    out.innerX = static_cast<int>(client.x - x0);
    out.innerY = static_cast<int>(client.y - y0);
    return out;
}

FrameLayout framedLayout(const Rect& client, const titlebar::Extents& e) {
    FrameLayout out;
    out.frame = Rect(client.x - e.left, client.y - e.top, client.width + e.left + e.right,
                     client.height + e.top + e.bottom);
    out.innerX = e.left;
    out.innerY = e.top;
    return out;
}

Point gravityShift(int gravity, const titlebar::Extents& e) {
    if (gravity == 10) return {0, 0};  // static: the client's own corner
    const int column = (gravity - 1) % 3, row = (gravity - 1) / 3;  // 0 west/north, 1 centre, 2 east/south
    const double dx = column == 0 ? e.left : column == 1 ? (e.left - e.right) / 2.0 : -e.right;
    const double dy = row == 0 ? e.top : row == 1 ? (e.top - e.bottom) / 2.0 : -e.bottom;
    return {dx, dy};
}

namespace {
Rect inside(const Rect& window, const Rect& display) {
    Rect r = window;
    r.x = std::max(display.minX(), std::min(window.x, display.maxX() - window.width));
    r.y = std::max(display.minY(), std::min(window.y, display.maxY() - window.height));
    return r;
}
}  // namespace

Rect reachable(const Rect& window, const Rect& display, bool overlapsAMonitor) {
    return overlapsAMonitor ? window : inside(window, display);
}

bool overlaps(const Rect& a, const Rect& b) {
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

Rect besideOthers(const Rect& want, const std::vector<Rect>& taken, const Rect& display) {
    auto free = [&](const Rect& r) {
        return inside(r, display) == r && std::none_of(taken.begin(), taken.end(), [&](const Rect& t) {
                   return overlaps(r, t);
               });
    };
    if (free(want)) return want;
    const double w = want.width, h = want.height;
    for (const Rect& t : taken)
        for (const Rect& r : {Rect(t.maxX(), t.y, w, h), Rect(t.minX() - w, t.y, w, h), Rect(t.x, t.maxY(), w, h),
                              Rect(t.x, t.minY() - h, w, h)})
            if (free(r)) return r;
    return want;
}

Rect centredOn(const Rect& around, const Rect& window, const Rect& display) {
    const Rect centred(std::round(around.midX() - window.width / 2), std::round(around.midY() - window.height / 2),
                       window.width, window.height);
    return inside(centred, display);
}

}  // namespace tarvela::x11

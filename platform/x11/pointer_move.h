// A window the user moves or resizes by hand (Alt+drag, _NET_WM_MOVERESIZE):
// where the pointer and the window started, and where the pointer takes it.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

#include "core/geometry.h"

namespace tarvela::x11 {

struct PointerMove {
    xcb_window_t win = XCB_NONE;
    int pointerX = 0, pointerY = 0;
    Rect origin;  // the window, root coordinates
    // A resize moves these edges: -1 the left/top one, 1 the right/bottom one.
    int resizeX = 0, resizeY = 0;
    uint8_t button = 1;
    bool keyboard = false;  // we hold the keyboard until it ends

    bool resize() const { return resizeX || resizeY; }
    // The window with the pointer at (rootX, rootY): moved as a whole, or
    // with the edges being resized following the pointer.
    Rect follow(int rootX, int rootY) const {
        const double dx = rootX - pointerX, dy = rootY - pointerY;
        if (!resize()) return Rect(origin.x + dx, origin.y + dy, origin.width, origin.height);
        Rect r = origin;
        if (resizeX > 0) r.width = origin.width + dx;
        if (resizeX < 0) r = Rect(origin.x + dx, r.y, origin.width - dx, r.height);
        if (resizeY > 0) r.height = origin.height + dy;
        if (resizeY < 0) r = Rect(r.x, origin.y + dy, r.width, origin.height - dy);
        return r;
    }
};

}  // namespace tarvela::x11

// The bar that shows, while the user drags a window, where letting go would
// drop it: an override-redirect window of one colour, stacked directly above
// the frames (under Tarvela's panels). Its input shape is empty, so it never
// takes a click, and it is never given the focus. Made when first shown.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>

#include "core/geometry.h"
#include "platform/x11/own_window.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class DropMarker {
public:
    DropMarker(Connection& conn, OwnWindow& own) : conn_(conn), own_(own) {}
    DropMarker(const DropMarker&) = delete;
    DropMarker& operator=(const DropMarker&) = delete;
    ~DropMarker();

    // 0xRRGGBB; the application sets its accent colour.
    void setColour(uint32_t rgb);
    // At r (root coordinates), above every frame; none hides it.
    void show(std::optional<Rect> r);
    // The server's window; none until first shown.
    xcb_window_t window() const { return win_; }
    // The SHAPE extension is there: the marker lets clicks through.
    void useShape(bool on) { shape_ = on; }

private:
    uint32_t pixel();

    Connection& conn_;
    OwnWindow& own_;
    xcb_window_t win_ = XCB_NONE;
    uint32_t rgb_ = 0x0A84FF;
    bool shape_ = false;
};

}  // namespace tarvela::x11

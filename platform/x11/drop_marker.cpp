#include "platform/x11/drop_marker.h"

#include <xcb/shape.h>

#include <algorithm>

namespace tarvela::x11 {

DropMarker::~DropMarker() {
    if (win_ != XCB_NONE) xcb_destroy_window(conn_.raw(), win_);
}

void DropMarker::setColour(uint32_t rgb) {
    rgb_ = rgb;
    if (win_ == XCB_NONE) return;
    const uint32_t p = pixel();
    xcb_change_window_attributes(conn_.raw(), win_, XCB_CW_BACK_PIXEL, &p);
    xcb_clear_area(conn_.raw(), 0, win_, 0, 0, 0, 0);
}

// Whatever the visual, the server picks the pixel nearest the colour.
uint32_t DropMarker::pixel() {
    xcb_screen_t* s = conn_.screen();
    const auto channel = [&](int shift) { return static_cast<uint16_t>(((rgb_ >> shift) & 0xFF) * 257); };
    auto reply = conn_.get(xcb_alloc_color_reply,
                           xcb_alloc_color(conn_.raw(), s->default_colormap, channel(16), channel(8), channel(0)));
    return reply ? reply->pixel : s->white_pixel;
}

void DropMarker::show(std::optional<Rect> r) {
    xcb_connection_t* c = conn_.raw();
    if (!r) {
        if (win_ != XCB_NONE) xcb_unmap_window(c, win_);
        return;
    }
    if (win_ == XCB_NONE) {
        win_ = xcb_generate_id(c);
        const uint32_t values[] = {pixel(), 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, win_, conn_.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        if (shape_)
            xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, win_, 0, 0, 0,
                                 nullptr);
    }
    const uint32_t geom[] = {static_cast<uint32_t>(static_cast<int32_t>(r->x)),
                             static_cast<uint32_t>(static_cast<int32_t>(r->y)),
                             static_cast<uint32_t>(std::max(r->width, 1.0)),
                             static_cast<uint32_t>(std::max(r->height, 1.0))};
    xcb_configure_window(c, win_,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                         geom);
    // Above the dragged window, which rose when the drag began.
    own_.stackBelow(win_);
    xcb_map_window(c, win_);
}

}  // namespace tarvela::x11

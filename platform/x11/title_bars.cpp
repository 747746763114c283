#include "platform/x11/title_bars.h"

#include <algorithm>

namespace tarvela::x11 {

void TitleBars::setPainter(std::shared_ptr<TitleBarPainter> painter) {
    painter_ = painter ? std::move(painter) : std::make_shared<PlainTitleBarPainter>();
    repaintAll();
}

void TitleBars::show(xcb_window_t w, xcb_window_t frame, const TitleBarLook& look) {
    xcb_connection_t* c = conn_.raw();
    Bar& bar = bars_[w];
    if (bar.window == XCB_NONE) {
        bar.window = xcb_generate_id(c);
        bar.frame = frame;
        const uint32_t values[] = {conn_.screen()->black_pixel, kFrameEdgeMask};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, bar.window, frame, 0, 0,
                          static_cast<uint16_t>(std::max(look.width, 1)), static_cast<uint16_t>(look.height), 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                          values);
        owners_[bar.window] = w;
        owners_[frame] = w;
    } else if (!bar.painted || bar.painted->width != look.width || bar.painted->height != look.height) {
        const uint32_t size[] = {static_cast<uint32_t>(std::max(look.width, 1)), static_cast<uint32_t>(look.height)};
        xcb_configure_window(c, bar.window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    }
    if (bar.painted != look) paint(bar, look);
    if (!bar.shown) {
        xcb_map_window(c, bar.window);
        bar.shown = true;
    }
}

void TitleBars::hide(xcb_window_t w) {
    auto it = bars_.find(w);
    if (it == bars_.end() || !it->second.shown) return;
    xcb_unmap_window(conn_.raw(), it->second.window);
    it->second.shown = false;
    unmapEdges(it->second);
}

void TitleBars::setEdges(xcb_window_t w, std::optional<Size> frame) {
    auto it = bars_.find(w);
    if (it == bars_.end() || !it->second.shown) return;
    Bar& bar = it->second;
    if (!frame) return unmapEdges(bar);
    if (bar.edgesFor == frame) return;
    xcb_connection_t* c = conn_.raw();
    const std::vector<titlebar::Zone> zones =
        titlebar::resizeZones(static_cast<int>(frame->width), static_cast<int>(frame->height));
    for (size_t i = 0; i < zones.size(); ++i) {
        const titlebar::Zone& z = zones[i];
        const uint32_t where[] = {static_cast<uint32_t>(static_cast<int32_t>(z.rect.x)),
                                  static_cast<uint32_t>(static_cast<int32_t>(z.rect.y)),
                                  static_cast<uint32_t>(std::max(z.rect.width, 1.0)),
                                  static_cast<uint32_t>(std::max(z.rect.height, 1.0))};
        if (bar.edges.size() <= i) {
            // Made after the bar, so stacked above it where the top edge overlaps it.
            bar.edges.push_back(xcb_generate_id(c));
            const uint32_t cursor = resizeCursor(z.edgeX, z.edgeY);
            xcb_create_window(c, 0, bar.edges[i], bar.frame, static_cast<int16_t>(where[0]),
                              static_cast<int16_t>(where[1]), static_cast<uint16_t>(where[2]),
                              static_cast<uint16_t>(where[3]), 0, XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                              XCB_CW_CURSOR, &cursor);
        } else {
            xcb_configure_window(c, bar.edges[i],
                                 XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                     XCB_CONFIG_WINDOW_HEIGHT,
                                 where);
        }
        // A zone a tiny frame leaves empty shows nothing.
        if (z.rect.width > 0 && z.rect.height > 0) xcb_map_window(c, bar.edges[i]);
        else xcb_unmap_window(c, bar.edges[i]);
    }
    bar.edgesFor = frame;
}

void TitleBars::unmapEdges(Bar& bar) {
    if (!bar.edgesFor) return;
    for (xcb_window_t e : bar.edges) xcb_unmap_window(conn_.raw(), e);
    bar.edgesFor.reset();
}

xcb_cursor_t TitleBars::resizeCursor(int edgeX, int edgeY) {
    auto [it, added] = cursors_.try_emplace({edgeX, edgeY}, XCB_NONE);
    if (!added) return it->second;
    // The glyphs of the core "cursor" font (X11/cursorfont.h); each glyph's mask is the next one.
    const uint16_t glyph = edgeY < 0   ? (edgeX < 0 ? 134 : edgeX > 0 ? 136 : 138)
                           : edgeY > 0 ? (edgeX < 0 ? 12 : edgeX > 0 ? 14 : 16)
                                       : (edgeX < 0 ? 70 : 96);
    xcb_connection_t* c = conn_.raw();
    const xcb_font_t font = xcb_generate_id(c);
    const char name[] = "cursor";
    xcb_open_font(c, font, sizeof name - 1, name);
    it->second = xcb_generate_id(c);
    xcb_create_glyph_cursor(c, it->second, font, font, glyph, static_cast<uint16_t>(glyph + 1), 0, 0, 0, 0xFFFF,
                            0xFFFF, 0xFFFF);
    xcb_close_font(c, font);
    return it->second;
}

void TitleBars::forget(xcb_window_t w) {
    auto it = bars_.find(w);
    if (it == bars_.end()) return;
    owners_.erase(it->second.window);
    owners_.erase(it->second.frame);
    bars_.erase(it);
}

void TitleBars::repaintAll() {
    for (auto& [w, bar] : bars_)
        if (bar.painted) {
            const TitleBarLook look = *bar.painted;
            if (bar.shown) paint(bar, look);
            else bar.painted.reset();  // painted when it shows again
        }
}

bool TitleBars::shown(xcb_window_t w) const {
    auto it = bars_.find(w);
    return it != bars_.end() && it->second.shown;
}

std::optional<TitleBarLook> TitleBars::look(xcb_window_t w) const {
    auto it = bars_.find(w);
    if (it == bars_.end() || !it->second.shown) return std::nullopt;
    return it->second.painted;
}

std::optional<xcb_window_t> TitleBars::owner(xcb_window_t window) const {
    auto it = owners_.find(window);
    if (it == owners_.end()) return std::nullopt;
    return it->second;
}

void TitleBars::paint(Bar& bar, const TitleBarLook& look) {
    Image img = painter_->paint(look);
    // A painter that misjudged the size still fills the bar, never reads past its image.
    if (img.width != look.width || img.height != look.height ||
        img.argb.size() != static_cast<size_t>(img.width) * static_cast<size_t>(img.height)) {
        const uint32_t ground = img.argb.empty() ? 0xFF808080u : img.argb.front();
        img = Image{std::max(look.width, 1), look.height, {}};
        img.argb.assign(static_cast<size_t>(img.width) * static_cast<size_t>(img.height), ground);
    }
    putBackground(bar, img);
    bar.painted = look;
}

void TitleBars::putBackground(const Bar& bar, const Image& img) {
    xcb_connection_t* c = conn_.raw();
    const uint8_t depth = conn_.screen()->root_depth;
    const xcb_pixmap_t pix = xcb_generate_id(c);
    xcb_create_pixmap(c, depth, pix, bar.window, static_cast<uint16_t>(img.width), static_cast<uint16_t>(img.height));
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pix, 0, nullptr);
    // 32 bits a pixel, the ARGB words as the server's 24-bit true colour
    // takes them; in bands that fit one request whatever the bar's width.
    const size_t rowBytes = static_cast<size_t>(img.width) * 4;
    const size_t maxBytes = static_cast<size_t>(xcb_get_maximum_request_length(c)) * 4 - 64;
    const int rows = static_cast<int>(std::max<size_t>(1, maxBytes / rowBytes));
    const auto* data = reinterpret_cast<const uint8_t*>(img.argb.data());
    for (int y = 0; y < img.height; y += rows) {
        const int n = std::min(rows, img.height - y);
        xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pix, gc, static_cast<uint16_t>(img.width), static_cast<uint16_t>(n),
                      0, static_cast<int16_t>(y), 0, depth, static_cast<uint32_t>(rowBytes * static_cast<size_t>(n)),
                      data + rowBytes * static_cast<size_t>(y));
    }
    xcb_free_gc(c, gc);
    xcb_change_window_attributes(c, bar.window, XCB_CW_BACK_PIXMAP, &pix);
    xcb_free_pixmap(c, pix);  // the window keeps it as long as it needs it
    xcb_clear_area(c, 0, bar.window, 0, 0, 0, 0);
    const uint32_t edge = img.argb.front() & 0xFFFFFFu;
    xcb_change_window_attributes(c, bar.frame, XCB_CW_BACK_PIXEL, &edge);
    xcb_clear_area(c, 0, bar.frame, 0, 0, 0, 0);
}

}  // namespace tarvela::x11

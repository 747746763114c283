// Frame writes, diffed against what the server last heard. Position writes
// come from the animation's threads: everything here is under mu_ and never
// waits for the server.
#include "platform/x11/frame_writer.h"

#include <xcb/shape.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tarvela::x11 {

titlebar::Extents shownBar(const Geo& g) {
    if (g.bar.empty() || g.arranged || g.fullscreen || (g.barOnceFloated && !g.floated)) return {};
    return g.bar;
}

Geo* FrameWriter::find(xcb_window_t w) {
    auto it = geo_.find(w);
    return it == geo_.end() ? nullptr : &it->second;
}

void FrameWriter::add(xcb_window_t w, const Rect& rect, const SizeHints& hints, xcb_window_t frame) {
    Geo g;
    g.rect = rect;
    g.hints = hints;
    g.frame = frame;
    g.sent = FrameLayout{rect, 0, 0, false};
    std::lock_guard<std::mutex> lock(mu_);
    geo_[w] = g;
}

void FrameWriter::remove(xcb_window_t w) {
    std::lock_guard<std::mutex> lock(mu_);
    geo_.erase(w);
}

void FrameWriter::clear() {
    std::lock_guard<std::mutex> lock(mu_);
    geo_.clear();
}

size_t FrameWriter::size() {
    std::lock_guard<std::mutex> lock(mu_);
    return geo_.size();
}

std::optional<Geo> FrameWriter::get(xcb_window_t w) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) return *g;
    return std::nullopt;
}

std::unordered_map<xcb_window_t, Geo> FrameWriter::snapshot() {
    std::lock_guard<std::mutex> lock(mu_);
    return geo_;
}

// Ours entirely: the position because the frame only clips, the size because
// every size a managed client has is one we asked for (its own requests are
// redirected to us). No round trip, so a flood of focus changes that reads
// every window's frame costs no server time.
std::optional<Rect> FrameWriter::rect(xcb_window_t w) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) return g->rect;
    return std::nullopt;
}

bool FrameWriter::arranged(xcb_window_t w) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    return g && g->arranged;
}

void FrameWriter::setHints(xcb_window_t w, const SizeHints& hints) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) g->hints = hints;
}

bool FrameWriter::move(xcb_window_t w, Point p) {
    const int32_t x = static_cast<int32_t>(std::lround(std::clamp(p.x, -32768.0, 32767.0)));
    const int32_t y = static_cast<int32_t>(std::lround(std::clamp(p.y, -32768.0, 32767.0)));
    {
        std::lock_guard<std::mutex> lock(mu_);
        Geo* g = find(w);
        if (!g || g->fullscreen) return false;
        g->rect.x = x;
        g->rect.y = y;
        const uint64_t sent = push(*g, w);
        Rect r = g->rect;
        // A moved, not resized, window hears where it really is, which for a
        // hidden column is inside its display.
        if (g->sent) r = Rect(g->sent->clientOrigin(), r.size());
        // A column hidden before and after a slide still waits at the same
        // spot: neither the server nor the client has anything new to hear.
        if (sent == 0 && g->heard == r) return true;
        tell(*g, w, r);
    }
    requests_ += 1;
    return true;
}

bool FrameWriter::resize(xcb_window_t w, Size s) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g || g->fullscreen) return false;
    const int rw = static_cast<int>(std::lround(std::clamp(s.width, 1.0, 32767.0)));
    const int rh = static_cast<int>(std::lround(std::clamp(s.height, 1.0, 32767.0)));
    const Dimensions d = applySizeHints(g->hints, rw, rh);
    g->rect.width = d.width;
    g->rect.height = d.height;
    const uint32_t values[] = {static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height)};
    xcb_configure_window(conn_.raw(), w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    g->heard.reset();
    push(*g, w);
    return true;
}

bool FrameWriter::resizeTo(xcb_window_t w, Rect r, int edgeX, int edgeY) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g || g->fullscreen) return false;
    const Dimensions d = applySizeHints(g->hints, static_cast<int>(std::max(r.width, 1.0)),
                                        static_cast<int>(std::max(r.height, 1.0)));
    if (edgeX < 0) r.x = r.maxX() - d.width;
    if (edgeY < 0) r.y = r.maxY() - d.height;
    g->rect = Rect(r.x, r.y, d.width, d.height);
    const uint32_t values[] = {static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height)};
    xcb_configure_window(conn_.raw(), w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    push(*g, w);
    tell(*g, w, g->rect);
    return true;
}

void FrameWriter::configure(xcb_window_t w, const Rect& r) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g) return;
    g->rect = Rect(std::round(r.x), std::round(r.y), std::max(std::round(r.width), 1.0), std::max(std::round(r.height), 1.0));
    const uint32_t size[] = {static_cast<uint32_t>(g->rect.width), static_cast<uint32_t>(g->rect.height)};
    xcb_configure_window(conn_.raw(), w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
    g->heard.reset();
    push(*g, w);
}

std::optional<Rect> FrameWriter::moveResizeFloating(xcb_window_t w, std::optional<int> x, std::optional<int> y,
                                                    std::optional<int> width, std::optional<int> height) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g) return std::nullopt;
    if (x) g->rect.x = *x;
    if (y) g->rect.y = *y;
    if (width || height) {
        const Dimensions d = applySizeHints(g->hints, std::max(width.value_or(static_cast<int>(g->rect.width)), 1),
                                            std::max(height.value_or(static_cast<int>(g->rect.height)), 1));
        g->rect.width = d.width;
        g->rect.height = d.height;
        const uint32_t size[] = {static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height)};
        xcb_configure_window(conn_.raw(), w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size);
        g->heard.reset();
    }
    push(*g, w);
    return g->rect;
}

void FrameWriter::assign(xcb_window_t w, std::optional<uint64_t> home, std::optional<Rect> clip) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g) return;
    if (g->clip && !clip) {
        g->left = Geo::Left{*g->clip, g->rect};
        g->floated = true;
    }
    g->home = home;
    g->clip = clip;
    g->arranged = home.has_value();
    push(*g, w);
}

void FrameWriter::setDragging(xcb_window_t w, bool on) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) {
        g->dragging = on;
        push(*g, w);
    }
}

void FrameWriter::setFullscreen(xcb_window_t w, bool on) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) {
        g->fullscreen = on;
        push(*g, w);  // a full-screen window has no bar
    }
}

void FrameWriter::markFloated(xcb_window_t w) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w); g && !std::exchange(g->floated, true)) push(*g, w);
}

void FrameWriter::forgetFloated() {
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& [w, g] : geo_)
        if (std::exchange(g.floated, false)) push(g, w);
}

void FrameWriter::setBar(xcb_window_t w, const titlebar::Extents& bar, bool onceFloated) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) {
        g->bar = bar;
        g->barOnceFloated = onceFloated;
        push(*g, w);
    }
}

void FrameWriter::shaped(xcb_window_t w, uint8_t kinds) {
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g || !kinds) return;
    g->shapedKinds = kinds;
    shapeFrame(*g, w, *g->sent, kinds);
}

void FrameWriter::shapeChanged(xcb_window_t w, uint8_t kind, bool shaped) {
    const uint8_t bit = shapeBit(kind);
    std::lock_guard<std::mutex> lock(mu_);
    Geo* g = find(w);
    if (!g || !g->sent) return;
    g->shapedKinds = shaped ? g->shapedKinds | bit : g->shapedKinds & ~bit;
    shapeFrame(*g, w, *g->sent, bit);
}

void FrameWriter::sendSyntheticConfigure(xcb_window_t w, const Rect& r) {
    std::lock_guard<std::mutex> lock(mu_);
    if (Geo* g = find(w)) return tell(*g, w, r);
    Geo none;
    tell(none, w, r);
}

void FrameWriter::tell(Geo& g, xcb_window_t w, const Rect& r) {
    g.heard = r;
    xcb_configure_notify_event_t ev{};
    ev.response_type = XCB_CONFIGURE_NOTIFY;
    ev.event = w;
    ev.window = w;
    ev.above_sibling = XCB_NONE;
    ev.x = static_cast<int16_t>(r.x);
    ev.y = static_cast<int16_t>(r.y);
    ev.width = static_cast<uint16_t>(r.width);
    ev.height = static_cast<uint16_t>(r.height);
    ev.border_width = 0;
    ev.override_redirect = 0;
    xcb_send_event(conn_.raw(), 0, w, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&ev));
}

// Callers hold mu_. The order keeps every intermediate state inside the
// clip: a frame only hides before it moves and shows after it has moved.
uint64_t FrameWriter::push(Geo& g, xcb_window_t w) {
    if (g.frame == XCB_NONE) return 0;
    xcb_connection_t* c = conn_.raw();
    const titlebar::Extents bar = shownBar(g);
    const FrameLayout want = !bar.empty() ? framedLayout(g.rect, bar)
                                          : frameLayout(g.rect, g.fullscreen || g.dragging ? std::nullopt : g.clip);
    const FrameLayout had = g.sent.value_or(FrameLayout{Rect(-1, -1, 0, 0), 1, 1, false});
    uint64_t sent = 0;
    if (want.hidden && !had.hidden) sent += shapeFrame(g, w, want, shapeBit(XCB_SHAPE_SK_BOUNDING));
    if (want.frame != had.frame) {
        uint32_t values[4];
        uint16_t mask = 0;
        int n = 0;
        if (want.frame.x != had.frame.x || want.frame.y != had.frame.y) {
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values[n++] = static_cast<uint32_t>(static_cast<int32_t>(want.frame.x));
            values[n++] = static_cast<uint32_t>(static_cast<int32_t>(want.frame.y));
        }
        if (want.frame.width != had.frame.width || want.frame.height != had.frame.height) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values[n++] = static_cast<uint32_t>(std::max(want.frame.width, 1.0));
            values[n++] = static_cast<uint32_t>(std::max(want.frame.height, 1.0));
        }
        xcb_configure_window(c, g.frame, mask, values);
        ++sent;
    }
    const bool innerMoved = want.innerX != had.innerX || want.innerY != had.innerY;
    if (innerMoved) {
        const uint32_t inner[] = {static_cast<uint32_t>(want.innerX), static_cast<uint32_t>(want.innerY)};
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, inner);
        g.heard.reset();  // the server tells the client of this move itself
        ++sent;
    }
    // Shown again, or a shaped client moved inside its frame: the shape follows.
    if (!want.hidden && had.hidden) sent += shapeFrame(g, w, want, shapeBit(XCB_SHAPE_SK_BOUNDING) | g.shapedKinds);
    else if (!want.hidden && innerMoved) sent += shapeFrame(g, w, want, g.shapedKinds);
    g.sent = want;
    requests_ += sent;
    return sent;
}

int FrameWriter::shapeFrame(Geo& g, xcb_window_t w, const FrameLayout& l, uint8_t kinds) {
    if (!shape_ || g.frame == XCB_NONE) return 0;
    xcb_connection_t* c = conn_.raw();
    int sent = 0;
    for (const uint8_t kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT}) {
        if (!(kinds & shapeBit(kind))) continue;
        if (l.hidden) {
            // An empty bounding shape takes input away too.
            if (kind != XCB_SHAPE_SK_BOUNDING) continue;
            xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, g.frame, 0, 0, 0, nullptr);
        } else if (g.shapedKinds & shapeBit(kind)) {
            xcb_shape_combine(c, XCB_SHAPE_SO_SET, kind, kind, g.frame, static_cast<int16_t>(l.innerX),
                              static_cast<int16_t>(l.innerY), w);
        } else {
            xcb_shape_mask(c, XCB_SHAPE_SO_SET, kind, g.frame, 0, 0, XCB_NONE);
        }
        ++sent;
    }
    return sent;
}

}  // namespace tarvela::x11

// The title bars of floating windows: a child window of the client's frame
// across its top, whose background is a picture the painter made, so the
// server repaints it on every expose without asking us.
//
// Invariants (local to this part):
// - A bar's window lives inside its client's frame: destroying the frame
//   takes it along, so forget() only drops the record.
// - owner() knows exactly the bars and the frames of clients that have one
//   (shown or hidden), nothing else.
// - A bar's picture is painted again only when its look changed.
// - A bar's resize edges (input-only windows over the frame's resize zones,
//   each with the cursor of its direction) are mapped only while the bar is
//   shown and the window may be resized; they select no events, so presses
//   reach the frame as if they were not there.
#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/title_bar.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

// What bars and the edges of their frames hear: presses start moves, resizes
// and button clicks; the release ends them.
inline constexpr uint32_t kFrameEdgeMask =
    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_BUTTON_MOTION;

class TitleBars {
public:
    explicit TitleBars(Connection& conn) : conn_(conn), painter_(std::make_shared<PlainTitleBarPainter>()) {}
    TitleBars(const TitleBars&) = delete;
    TitleBars& operator=(const TitleBars&) = delete;

    // Null goes back to the plain painter. Every bar is painted again.
    void setPainter(std::shared_ptr<TitleBarPainter> painter);
    // Client w's bar in `frame` shows `look` (its width the frame's).
    void show(xcb_window_t w, xcb_window_t frame, const TitleBarLook& look);
    // The resize edges of w's shown bar laid out for a frame of this size;
    // none: the window cannot be resized, and no edge shows a resize cursor.
    void setEdges(xcb_window_t w, std::optional<Size> frame);
    // Hides the bar and its edges.
    void hide(xcb_window_t w);
    // The cursor of a resize by the edge (-1, 0 or 1 each way), from the core cursor font.
    xcb_cursor_t resizeCursor(int edgeX, int edgeY);
    // The client is gone (its frame with it).
    void forget(xcb_window_t w);
    // Every shown bar painted again (the appearance changed).
    void repaintAll();

    bool shown(xcb_window_t w) const;
    std::optional<TitleBarLook> look(xcb_window_t w) const;
    // The client whose bar or frame `window` is.
    std::optional<xcb_window_t> owner(xcb_window_t window) const;

private:
    struct Bar {
        xcb_window_t window = XCB_NONE;
        xcb_window_t frame = XCB_NONE;
        std::optional<TitleBarLook> painted;
        bool shown = false;
        std::vector<xcb_window_t> edges;  // one per resize zone, made with the first layout
        std::optional<Size> edgesFor;     // the frame size they are laid out and mapped for
    };
    void unmapEdges(Bar& bar);
    void paint(Bar& bar, const TitleBarLook& look);
    // The image as the bar's background; the frame's edges in its corner colour.
    void putBackground(const Bar& bar, const Image& img);

    Connection& conn_;
    std::shared_ptr<TitleBarPainter> painter_;
    std::map<xcb_window_t, Bar> bars_;             // by client
    std::map<xcb_window_t, xcb_window_t> owners_;  // bar and frame windows to their client
    std::map<std::pair<int, int>, xcb_cursor_t> cursors_;  // by edge, made when first needed
};

}  // namespace tarvela::x11

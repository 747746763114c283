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
#pragma once

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <optional>

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
    void hide(xcb_window_t w);
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
    };
    void paint(Bar& bar, const TitleBarLook& look);
    // The image as the bar's background; the frame's edges in its corner colour.
    void putBackground(const Bar& bar, const Image& img);

    Connection& conn_;
    std::shared_ptr<TitleBarPainter> painter_;
    std::map<xcb_window_t, Bar> bars_;             // by client
    std::map<xcb_window_t, xcb_window_t> owners_;  // bar and frame windows to their client
};

}  // namespace tarvela::x11

// Becoming and ceasing to be the display's window manager (ICCCM 2.8 and 4.3):
// WM_S0 is acquired with a server timestamp; with `replace` the running owner
// is asked to hand over and we wait for its window to be destroyed; on
// SelectionClear we let go of everything and leave windows where they are.
#include <xcb/composite.h>
#include <xcb/shape.h>

#include <algorithm>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
constexpr uint32_t kPlainRootMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
}  // namespace

bool X11Platform::Impl::sync() {
    if (conn.broken()) return false;
    focus_.send();  // what the turn asked for is part of what the caller waits for
    bool ok = own_.timestamp() != XCB_CURRENT_TIME;
    // Everything the server sent before the barrier, a turn at a time, and
    // what xcb read behind it (a bounded number of turns: a flood never ends).
    while (!inDispatch && conn.stashed() > 0 && !conn.broken()) dispatchEvents();
    for (int turns = 0; turns < 64; ++turns) {
        dispatchEvents();
        if (inDispatch || !lastTurnFull_) break;
    }
    return ok;
}

bool X11Platform::Impl::acquire(bool replace) {
    if (!wmOwner_.take(replace, opts.replaceTimeout)) return false;
    publishRootProps();
    adoptExisting();
    updateWorkarea();
    adoptFocus();
    xcb_flush(conn.raw());
    log("window manager on display " + conn.displayName());
    return true;
}

bool X11Platform::Impl::tryAcquire() {
    if (wmOwner_.held()) return true;
    return !wmOwner_.taken() && acquire(false);
}

void X11Platform::Impl::releaseWm() {
    xcb_connection_t* c = conn.raw();
    if (move_) endMove();
    xcb_change_window_attributes(c, conn.root(), XCB_CW_EVENT_MASK, &kPlainRootMask);
    const std::vector<Monitor> monitors = displays_.monitors();
    // Bottom to top, so the next window manager finds the stacking we had.
    for (xcb_window_t w : clients_.stacking()) {
        const Client& cl = clients_.at(w);
        pointer_.ungrabClicks(w);
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &none);
        if (shape) xcb_shape_select_input(c, w, 0);
        if (composite) xcb_composite_unredirect_window(c, w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
        Rect r = cl.props.geom;
        std::optional<Rect> home;
        if (const std::optional<Geo> g = frames_.get(w)) {
            r = g->rect;
            home = g->clip;
            // A stopping manager lets go of its windows before we do.
            if (!home && g->left && g->left->rect == r) home = g->left->clip;
        }
        auto overlaps = [&](const Rect& m) {
            return r.maxX() > m.minX() && r.minX() < m.maxX() && r.maxY() > m.minY() && r.minY() < m.maxY();
        };
        // A column parked beyond its display would be lost to the user, or
        // would show on the neighbouring one: it comes just inside its own,
        // where the next start puts it into that display's strip again. A
        // window of no strip stays wherever a monitor shows it.
        bool stays = home && overlaps(*home) && monitorAt(monitors, r) == home;
        if (!home) {
            stays = std::any_of(monitors.begin(), monitors.end(), [&](const Monitor& m) { return overlaps(m.rect); });
            home = monitorAt(monitors, r);
        }
        if (home) r = reachable(r, *home, stays);
        xcb_reparent_window(c, w, conn.root(), static_cast<int16_t>(r.x), static_cast<int16_t>(r.y));
        xcb_change_save_set(c, XCB_SET_MODE_DELETE, w);
        xcb_destroy_window(c, cl.frame);
        // It must not go back to where it last heard it was at its next request.
        frames_.sendSyntheticConfigure(w, r);
    }
    for (auto& [w, s] : displays_.docks()) {
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &none);
    }
    // Our root properties go before the owner window does: the next window
    // manager waits for that window's destruction and then writes its own.
    deleteRootProps();
    wmOwner_.letGo();
    clients_.clear();
    displays_.dropDocks();
    focus_.reset();
    frames_.clear();
    icons_.clear();
    displays_.forget();
    // A round trip before anyone disconnects: a connection closed with events
    // still unread is reset, and the server drops what it had not yet read of
    // ours (every window stayed in its frame and came back where it was).
    conn.get(xcb_get_input_focus_reply, xcb_get_input_focus(c));
}

void X11Platform::Impl::onSelectionClear(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_selection_clear_event_t*>(e);
    if (!wmOwner_.lostBy(*ev)) return;
    log("another window manager took over; letting go of every window");
    releaseWm();
    displays_.changed();
}

}  // namespace tarvela

// Title bars as the window manager runs them: which windows have one, what
// it shows, and what a press on it or on its frame's edges does (move,
// resize, close, minimise); closing by the bar with the ping that tells a
// busy client from a hung one.
#include <xcb/shape.h>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

bool X11Platform::Impl::wantsBar(const Client& c, const Geo& g) const {
    if (c.props.ownDecorations || (g.shapedKinds & shapeBit(XCB_SHAPE_SK_BOUNDING))) return false;
    switch (c.props.type) {
        case WinType::Splash:
        case WinType::Menu:
        case WinType::Dock:
        case WinType::Desktop:
        case WinType::Other: return false;
        default: return true;
    }
}

bool X11Platform::Impl::minimisable(const Client& c) const {
    return (isOwn(c) || subrole(c) == ax::StandardWindow) && c.props.motif.minimise;
}

bool X11Platform::Impl::resizable(const Client& c) const {
    return c.props.motif.resize && !fixedSize(c.props.hints);
}

// What pagers and taskbars may offer for the window: only what we would do.
void X11Platform::Impl::writeAllowedActions(Client& c, const Geo& g) {
    std::vector<uint32_t> allowed;
    if (!c.fullscreen) {
        allowed.push_back(a._NET_WM_ACTION_MOVE);
        if (resizable(c)) allowed.push_back(a._NET_WM_ACTION_RESIZE);
    }
    if (minimisable(c)) allowed.push_back(a._NET_WM_ACTION_MINIMIZE);
    allowed.push_back(a._NET_WM_ACTION_FULLSCREEN);
    // Tarvela's own windows are on every desktop already; a column is on one.
    if (!isOwn(c)) {
        allowed.push_back(a._NET_WM_ACTION_CHANGE_DESKTOP);
        if (!g.arranged) allowed.push_back(a._NET_WM_ACTION_STICK);
    }
    allowed.push_back(a._NET_WM_ACTION_CLOSE);
    if (allowed == c.allowedActions) return;
    c.allowedActions = allowed;
    conn.setCardinals(c.win, a._NET_WM_ALLOWED_ACTIONS, XCB_ATOM_ATOM, allowed);
}

void X11Platform::Impl::syncBar(xcb_window_t w) {
    Client* c = client(w);
    std::optional<Geo> g = frames_.get(w);
    if (!c || !g) return;
    // Dialogs, tools and Tarvela's own windows float from the start; an
    // ordinary window only once the user has taken it out of its strip.
    const bool always = isOwn(*c) || subrole(*c) != ax::StandardWindow;
    const titlebar::Extents want = wantsBar(*c, *g) ? titlebar::extents : titlebar::Extents{};
    if (g->bar != want || g->barOnceFloated == always) {
        frames_.setBar(w, want, !always);
        g = frames_.get(w);
    }
    const titlebar::Extents shown = shownBar(*g);
    if (shown.empty()) {
        bars_.hide(w);
    } else {
        const TitleBarLook look{c->props.title, static_cast<int>(g->rect.width) + shown.left + shown.right, shown.top,
                                focus_.window() == w, minimisable(*c)};
        bars_.show(w, c->frame, look);
        const Size frame{g->rect.width + shown.left + shown.right, g->rect.height + shown.top + shown.bottom};
        bars_.setEdges(w, resizable(*c) ? std::optional(frame) : std::nullopt);
    }
    if (shown != c->frameExtents) {
        // Checked once the turn's work is done: the manager letting go of
        // every window as it stops gives each a bar it takes away at once.
        if (c->frameExtents.empty()) loop.post(life.guard([this, w] { keepFrameOnDisplay(w); }));
        c->frameExtents = shown;
        conn.setCardinals(w, a._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL,
                          {static_cast<uint32_t>(shown.left), static_cast<uint32_t>(shown.right),
                           static_cast<uint32_t>(shown.top), static_cast<uint32_t>(shown.bottom)});
    }
    writeAllowedActions(*c, *g);
}

// A window floated from the top of its strip, or opened against a monitor's
// edge, would have its new bar or edges beyond the monitor, out of reach: it
// moves the least that brings its whole frame onto the monitor it is on (the
// bar first, when the frame is larger). A window the user drags stays with
// the pointer.
void X11Platform::Impl::keepFrameOnDisplay(xcb_window_t w) {
    const std::optional<Geo> g = frames_.get(w);
    if (!client(w) || !g || (move_ && move_->win == w)) return;
    const titlebar::Extents e = shownBar(*g);
    const std::optional<Rect> mon = displays_.monitorFor(g->rect);
    if (e.empty() || !mon) return;
    const Rect framed = framedLayout(g->rect, e).frame;
    const Rect inside = reachable(framed, *mon, false);
    if (inside == framed) return;
    frames_.move(w, {inside.x + e.left, inside.y + e.top});
    flushAndDrain();
}

void X11Platform::Impl::forgetBar(xcb_window_t w) {
    bars_.forget(w);
    if (barClick_ && barClick_->win == w) barClick_.reset();
    if (auto it = closing_.find(w); it != closing_.end()) {
        cancelTimer(loop, it->second.timer);
        closing_.erase(it);
    }
}

bool X11Platform::Impl::barPress(const xcb_button_press_event_t* ev) {
    const std::optional<xcb_window_t> owner = bars_.owner(ev->event);
    if (!owner) return false;
    const xcb_window_t w = *owner;
    Client* c = client(w);
    const std::optional<Geo> g = frames_.get(w);
    if (!c || !g) return true;
    const titlebar::Extents e = shownBar(*g);
    noteUserTime(w, ev->time, true);
    activateWindow(w, ev->time);
    c = client(w);  // activating may have ended it
    if (ev->detail != 1 || e.empty() || !c) return true;
    // The bar sits at the frame's origin: its coordinates are the frame's.
    const titlebar::Hit hit =
        titlebar::hitTest(ev->event_x, ev->event_y, static_cast<int>(g->rect.width) + e.left + e.right,
                          static_cast<int>(g->rect.height) + e.top + e.bottom, minimisable(*c), resizable(*c));
    switch (hit.part) {
        case titlebar::Part::move: startMove(w, ev->root_x, ev->root_y, false, 0, 0, 1); break;
        case titlebar::Part::resize:
            startMove(w, ev->root_x, ev->root_y, false, hit.edgeX, hit.edgeY, 1);
            // The press's own grab shows the edge's cursor wherever the drag goes.
            xcb_change_active_pointer_grab(conn.raw(), bars_.resizeCursor(hit.edgeX, hit.edgeY), ev->time,
                                           static_cast<uint16_t>(kFrameEdgeMask));
            break;
        case titlebar::Part::close:
        case titlebar::Part::minimise: barClick_ = BarClick{w, hit.part}; break;
        case titlebar::Part::none: break;
    }
    return true;
}

bool X11Platform::Impl::barRelease(const xcb_button_release_event_t* ev) {
    if (!barClick_ || ev->detail != 1) return false;
    const BarClick click = *barClick_;
    barClick_.reset();
    const std::optional<Geo> g = frames_.get(click.win);
    Client* c = client(click.win);
    if (!g || !c || bars_.owner(ev->event) != click.win) return true;
    const titlebar::Extents e = shownBar(*g);
    // A press that slid off its button before the release does nothing.
    const titlebar::Hit hit =
        titlebar::hitTest(ev->event_x, ev->event_y, static_cast<int>(g->rect.width) + e.left + e.right,
                          static_cast<int>(g->rect.height) + e.top + e.bottom, minimisable(*c), resizable(*c));
    if (hit.part != click.part) return true;
    if (click.part == titlebar::Part::close) closeFromBar(click.win, ev->time);
    else iconify(click.win);
    mouseUp(ev->time, false);
    return true;
}

bool X11Platform::Impl::barMessage(const xcb_client_message_event_t* ev) {
    if (ev->format != 32) return false;
    const uint32_t* d = ev->data.data32;
    if (ev->window == conn.root() && ev->type == a.WM_PROTOCOLS && d[0] == a._NET_WM_PING) {
        // The client answered: it is alive, and whether it closes is its own affair.
        if (auto it = closing_.find(d[2]); it != closing_.end()) {
            cancelTimer(loop, it->second.timer);
            closing_.erase(it);
        }
        return true;
    }
    if (ev->type != a._NET_REQUEST_FRAME_EXTENTS || client(ev->window)) return false;
    // Asked before mapping: what it would get as a floating window.
    Client probe;
    probe.win = ev->window;
    probe.props = readProps({ev->window}).front();
    const bool floats = isOwn(probe) || subrole(probe) != ax::StandardWindow;
    const titlebar::Extents e = floats && wantsBar(probe, Geo{}) ? titlebar::extents : titlebar::Extents{};
    conn.setCardinals(ev->window, a._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL,
                      {static_cast<uint32_t>(e.left), static_cast<uint32_t>(e.right), static_cast<uint32_t>(e.top),
                       static_cast<uint32_t>(e.bottom)});
    return true;
}

void X11Platform::Impl::closeFromBar(xcb_window_t w, xcb_timestamp_t time) {
    Client* c = client(w);
    if (!c) return;
    // A client that cannot be asked is closed the only way there is.
    if (!c->props.deleteWindow) return closeWindow(w);
    auto [it, first] = closing_.try_emplace(w);
    // Without a ping nothing tells a busy client from a hung one: a second
    // click, while the first went unheeded, is the user's call to make.
    if (!first && !c->props.ping) return offerKill(w);
    conn.sendProtocol(w, a.WM_DELETE_WINDOW, time);
    if (!c->props.ping) return;
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = w;
    msg.type = a.WM_PROTOCOLS;
    msg.data.data32[0] = a._NET_WM_PING;
    msg.data.data32[1] = time;
    msg.data.data32[2] = w;
    xcb_send_event(conn.raw(), 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
    it->second.pinged = true;
    cancelTimer(loop, it->second.timer);
    it->second.timer = loop.after(opts.pingTimeout, life.guard([this, w] { pingTimedOut(w); }));
}

void X11Platform::Impl::pingTimedOut(xcb_window_t w) {
    auto it = closing_.find(w);
    if (it == closing_.end()) return;
    closing_.erase(it);
    offerKill(w);
}

void X11Platform::Impl::offerKill(xcb_window_t w) {
    closing_.erase(w);
    Client* c = client(w);
    if (!c) return;
    if (!unresponsive_) {
        log("window " + std::to_string(w) + " does not answer its close; nobody to ask, left alone");
        return;
    }
    unresponsive_(w, c->props.title, life.guard([this, w](bool kill) {
        // Only if it is still the same window and it still has not gone.
        if (!kill || !client(w)) return;
        xcb_kill_client(conn.raw(), w);
        xcb_flush(conn.raw());
    }));
}

}  // namespace tarvela

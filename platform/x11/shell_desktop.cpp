// What the shell asks of the desktop: whether a compositing manager and a
// system tray run (they own _NET_WM_CM_S<screen> and _NET_SYSTEM_TRAY_S<screen>;
// XFixes tells us when that changes) and whether Tarvela's own windows show in taskbars.
#include <unistd.h>
#include <xcb/xfixes.h>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

bool X11Platform::Impl::isOwn(const Client& c) const { return c.props.pid == static_cast<int32_t>(getpid()); }

void X11Platform::Impl::watchDesktopServices() {
    const std::string screen = std::to_string(conn.screenNumber());
    cmSelection_ = conn.internAtom("_NET_WM_CM_S" + screen);
    traySelection_ = conn.internAtom("_NET_SYSTEM_TRAY_S" + screen);
    compositing_ = watchOwner(cmSelection_);
    tray_ = watchOwner(traySelection_);
}

bool X11Platform::Impl::watchOwner(xcb_atom_t selection) {
    if (selection == XCB_ATOM_NONE) return false;
    // Listen first, then ask: an owner arriving in between is not missed.
    if (xfixesEventBase >= 0)
        xcb_xfixes_select_selection_input(conn.raw(), conn.root(), selection,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    auto owner = conn.get(xcb_get_selection_owner_reply, xcb_get_selection_owner(conn.raw(), selection));
    return owner && owner->owner != XCB_NONE;
}

void X11Platform::Impl::onSelectionNotify(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_xfixes_selection_notify_event_t*>(e);
    // A program replacing another sets a new owner; one that quits leaves none.
    const bool owned = ev->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER && ev->owner != XCB_NONE;
    if (ev->selection == cmSelection_) setRuns(compositing_, &Impl::compositingHandler_, owned);
    else if (ev->selection == traySelection_) setRuns(tray_, &Impl::trayHandler_, owned);
}

void X11Platform::Impl::setRuns(bool& runs, std::function<void(bool)> Impl::*handler, bool on) {
    if (auto tell = runsChanged(runs, this->*handler, on)) loop.post(life.guard(std::move(tell)));
}

void X11Platform::Impl::setOwnWindowsInTaskbar(bool shown) {
    if (shown == ownInTaskbar_) return;
    ownInTaskbar_ = shown;
    for (auto& [w, c] : clients_)
        if (isOwn(c)) writeNetState(c);
    xcb_flush(conn.raw());
}

// A managed window lives in our frame, which is the root's child that the
// panel must go under; an unmanaged one is the root's child itself.
bool X11Platform::Impl::stackBelow(uint64_t panel, uint32_t window) {
    xcb_window_t sibling = window;
    if (Client* c = client(window)) sibling = c->frame;
    if (sibling == XCB_NONE || panel == 0) return false;
    // Unchecked: a focus change must not wait for a round trip, and a window
    // gone meanwhile only earns an error event.
    const uint32_t values[] = {sibling, XCB_STACK_MODE_BELOW};
    xcb_configure_window(conn.raw(), static_cast<xcb_window_t>(panel),
                         XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
    xcb_flush(conn.raw());
    return true;
}

}  // namespace tarvela

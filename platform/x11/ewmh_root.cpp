// The EWMH root properties panels and pagers read: what we support, who we
// are, the clients in mapping and stacking order, the active window, the
// desktops and the work area. Written whenever what they describe changes.
#include <algorithm>

#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

void X11Platform::Impl::publishRootProps() {
    const xcb_window_t root = conn.root();
    const std::vector<uint32_t> supported = {
        a._NET_SUPPORTED, a._NET_SUPPORTING_WM_CHECK, a._NET_CLIENT_LIST, a._NET_CLIENT_LIST_STACKING,
        a._NET_ACTIVE_WINDOW, a._NET_WORKAREA, a._NET_NUMBER_OF_DESKTOPS, a._NET_CURRENT_DESKTOP,
        a._NET_DESKTOP_VIEWPORT, a._NET_DESKTOP_GEOMETRY, a._NET_CLOSE_WINDOW, a._NET_WM_MOVERESIZE,
        a._NET_MOVERESIZE_WINDOW,
        a._NET_WM_NAME, a._NET_WM_PID, a._NET_WM_ICON, a._NET_WM_DESKTOP, a._NET_FRAME_EXTENTS, a._NET_WM_STATE,
        a._NET_WM_STATE_FULLSCREEN, a._NET_WM_STATE_HIDDEN, a._NET_WM_STATE_SKIP_TASKBAR, a._NET_WM_STATE_SKIP_PAGER, a._NET_WM_STRUT,
        a._NET_WM_STATE_DEMANDS_ATTENTION, a._NET_WM_USER_TIME, a._NET_WM_USER_TIME_WINDOW,
        a._NET_DESKTOP_NAMES, a._NET_WM_STATE_STICKY,
        a._NET_WM_STRUT_PARTIAL, a._NET_WM_WINDOW_TYPE, a._NET_WM_WINDOW_TYPE_NORMAL, a._NET_WM_WINDOW_TYPE_DIALOG,
        a._NET_WM_WINDOW_TYPE_UTILITY, a._NET_WM_WINDOW_TYPE_SPLASH, a._NET_WM_WINDOW_TYPE_DOCK,
        a._NET_WM_WINDOW_TYPE_DESKTOP, a._NET_WM_WINDOW_TYPE_NOTIFICATION, a._NET_WM_PING, a._NET_REQUEST_FRAME_EXTENTS,
        a._NET_WM_ALLOWED_ACTIONS, a._NET_WM_ACTION_MOVE, a._NET_WM_ACTION_RESIZE, a._NET_WM_ACTION_MINIMIZE,
        a._NET_WM_ACTION_FULLSCREEN, a._NET_WM_ACTION_CHANGE_DESKTOP, a._NET_WM_ACTION_CLOSE, a._NET_WM_ACTION_STICK};
    conn.setCardinals(root, a._NET_SUPPORTED, XCB_ATOM_ATOM, supported);
    conn.setCardinals(root, a._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, {wmOwner_.window()});
    conn.setCardinals(wmOwner_.window(), a._NET_SUPPORTING_WM_CHECK, XCB_ATOM_WINDOW, {wmOwner_.window()});
    conn.setText(wmOwner_.window(), a._NET_WM_NAME, "Tarvela");
    writeDesktopProps();
    updateClientLists();
    updateActiveWindow();
}

void X11Platform::Impl::deleteRootProps() {
    const xcb_window_t root = conn.root();
    for (xcb_atom_t p : {a._NET_SUPPORTED, a._NET_SUPPORTING_WM_CHECK, a._NET_CLIENT_LIST,
                         a._NET_CLIENT_LIST_STACKING, a._NET_ACTIVE_WINDOW, a._NET_WORKAREA})
        xcb_delete_property(conn.raw(), root, p);
}

void X11Platform::Impl::updateClientLists() {
    if (!wmOwner_.held()) return;
    std::vector<const Client*> byMapping;
    for (auto& [w, c] : clients_) byMapping.push_back(&c);
    std::sort(byMapping.begin(), byMapping.end(), [](const Client* x, const Client* y) { return x->seq < y->seq; });
    std::vector<uint32_t> list;
    for (const Client* c : byMapping) list.push_back(c->win);
    conn.setCardinals(conn.root(), a._NET_CLIENT_LIST, XCB_ATOM_WINDOW, list);
    conn.setCardinals(conn.root(), a._NET_CLIENT_LIST_STACKING, XCB_ATOM_WINDOW,
                      std::vector<uint32_t>(clients_.stacking().begin(), clients_.stacking().end()));
}

void X11Platform::Impl::updateActiveWindow() {
    if (!wmOwner_.held()) return;
    conn.setCardinals(conn.root(), a._NET_ACTIVE_WINDOW, XCB_ATOM_WINDOW, {focus_.window()});
}

void X11Platform::Impl::updateWorkarea() {
    if (!wmOwner_.held()) return;
    const int w = displays_.rootWidth(), h = displays_.rootHeight();
    conn.setCardinals(conn.root(), a._NET_DESKTOP_GEOMETRY, XCB_ATOM_CARDINAL,
                      {static_cast<uint32_t>(w), static_cast<uint32_t>(h)});
    Rect area = visibleArea(Rect(0, 0, w, h), displays_.struts(), w, h);
    conn.setCardinals(conn.root(), a._NET_WORKAREA, XCB_ATOM_CARDINAL,
                      {static_cast<uint32_t>(area.x), static_cast<uint32_t>(area.y),
                       static_cast<uint32_t>(area.width), static_cast<uint32_t>(area.height)});
}

void X11Platform::Impl::writeNetState(const Client& c) {
    // Keep what others put there; we own only these five.
    std::vector<uint32_t> states;
    for (xcb_atom_t s : c.props.netState)
        if (s != a._NET_WM_STATE_FULLSCREEN && s != a._NET_WM_STATE_HIDDEN && s != a._NET_WM_STATE_SKIP_TASKBAR &&
            s != a._NET_WM_STATE_SKIP_PAGER && s != a._NET_WM_STATE_STICKY)
            states.push_back(s);
    if (c.fullscreen) states.push_back(a._NET_WM_STATE_FULLSCREEN);
    if (c.iconic || c.offDesktop) states.push_back(a._NET_WM_STATE_HIDDEN);
    if (c.desktop == kAllDesktops) states.push_back(a._NET_WM_STATE_STICKY);
    if (skipsTaskbar(c)) states.push_back(a._NET_WM_STATE_SKIP_TASKBAR);
    if (skipsPager(c)) states.push_back(a._NET_WM_STATE_SKIP_PAGER);
    conn.setCardinals(c.win, a._NET_WM_STATE, XCB_ATOM_ATOM, states);
}

}  // namespace tarvela

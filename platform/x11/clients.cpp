// Client records: reading what a window says about itself, managing and
// unmanaging it, iconic and full-screen states, focus, stacking, moves, and
// the geometry writes (the only part other threads reach, through geo_).
#include <xcb/composite.h>

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
constexpr uint32_t kClientMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE;
constexpr uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;

bool contains(const std::vector<xcb_atom_t>& v, xcb_atom_t a) { return std::find(v.begin(), v.end(), a) != v.end(); }
}  // namespace

Client* X11Platform::Impl::client(xcb_window_t w) {
    auto it = clients_.find(w);
    return it == clients_.end() ? nullptr : &it->second;
}

std::vector<WindowProps> X11Platform::Impl::readProps(const std::vector<xcb_window_t>& wins) {
    xcb_connection_t* c = conn.raw();
    const xcb_atom_t atoms[] = {a._NET_WM_WINDOW_TYPE, a.WM_TRANSIENT_FOR, a._NET_WM_PID, a.WM_CLASS,
                                a._GTK_APPLICATION_ID, a._NET_WM_NAME, a.WM_NAME, a.WM_NORMAL_HINTS,
                                a.WM_HINTS, a.WM_PROTOCOLS, a._NET_WM_STATE, a._NET_WM_STRUT_PARTIAL,
                                a._NET_WM_STRUT, a.WM_STATE};
    constexpr size_t N = std::size(atoms);
    struct Pending {
        xcb_get_window_attributes_cookie_t attrs;
        xcb_get_geometry_cookie_t geom;
        xcb_get_property_cookie_t props[N];
    };
    // Every request first, then every reply: one round trip for the whole batch.
    std::vector<Pending> pending(wins.size());
    for (size_t i = 0; i < wins.size(); ++i) {
        pending[i].attrs = xcb_get_window_attributes(c, wins[i]);
        pending[i].geom = xcb_get_geometry(c, wins[i]);
        for (size_t k = 0; k < N; ++k) pending[i].props[k] = conn.requestProperty(wins[i], atoms[k], 1024);
    }
    std::vector<WindowProps> out(wins.size());
    for (size_t i = 0; i < wins.size(); ++i) {
        WindowProps& p = out[i];
        auto attrs = conn.get(xcb_get_window_attributes_reply, pending[i].attrs);
        auto geom = conn.get(xcb_get_geometry_reply, pending[i].geom);
        Property prop[N];
        for (size_t k = 0; k < N; ++k) prop[k] = conn.takeProperty(pending[i].props[k]);
        if (!attrs || !geom) continue;
        p.exists = true;
        p.overrideRedirect = attrs->override_redirect;
        p.viewable = attrs->map_state == XCB_MAP_STATE_VIEWABLE;
        p.border = geom->border_width;
        p.geom = Rect(geom->x, geom->y, geom->width + 2 * geom->border_width, geom->height + 2 * geom->border_width);

        for (uint32_t t : prop[0].cardinals()) {
            WinType type = WinType::Untyped;
            if (t == a._NET_WM_WINDOW_TYPE_NORMAL) type = WinType::Normal;
            else if (t == a._NET_WM_WINDOW_TYPE_DIALOG) type = WinType::Dialog;
            else if (t == a._NET_WM_WINDOW_TYPE_UTILITY) type = WinType::Utility;
            else if (t == a._NET_WM_WINDOW_TYPE_SPLASH) type = WinType::Splash;
            else if (t == a._NET_WM_WINDOW_TYPE_TOOLBAR) type = WinType::Toolbar;
            else if (t == a._NET_WM_WINDOW_TYPE_MENU) type = WinType::Menu;
            else if (t == a._NET_WM_WINDOW_TYPE_DOCK) type = WinType::Dock;
            else if (t == a._NET_WM_WINDOW_TYPE_DESKTOP) type = WinType::Desktop;
            else if (t == a._NET_WM_WINDOW_TYPE_NOTIFICATION || t == a._NET_WM_WINDOW_TYPE_DROPDOWN_MENU ||
                     t == a._NET_WM_WINDOW_TYPE_POPUP_MENU || t == a._NET_WM_WINDOW_TYPE_TOOLTIP ||
                     t == a._NET_WM_WINDOW_TYPE_COMBO || t == a._NET_WM_WINDOW_TYPE_DND)
                type = WinType::Other;
            if (type != WinType::Untyped) {  // the first one we know wins (EWMH)
                p.type = type;
                break;
            }
        }
        if (auto v = prop[1].cardinals(); !v.empty()) p.transientFor = v[0];
        if (auto v = prop[2].cardinals(); !v.empty()) p.pid = static_cast<int32_t>(v[0]);
        if (prop[3].format == 8) {
            std::string raw(prop[3].data.begin(), prop[3].data.end());
            size_t nul = raw.find('\0');
            p.instance = raw.substr(0, nul);
            if (nul != std::string::npos) p.cls = std::string(raw.c_str() + nul + 1);
        }
        p.gtkAppId = prop[4].text();
        p.title = prop[5].present() ? prop[5].text() : prop[6].text();
        p.hints = parseSizeHints(prop[7].cardinals());
        if (auto v = prop[8].cardinals(); v.size() >= 3) {
            if (v[0] & 1) p.acceptsInput = v[1] != 0;  // InputHint
            if (v[0] & 2) p.startsIconic = v[2] == kIconic;  // StateHint
        }
        for (uint32_t proto : prop[9].cardinals()) {
            if (proto == a.WM_TAKE_FOCUS) p.takeFocus = true;
            if (proto == a.WM_DELETE_WINDOW) p.deleteWindow = true;
        }
        for (uint32_t s : prop[10].cardinals()) p.netState.push_back(s);
        p.strut = parseStrut(prop[11].cardinals(), rootW_, rootH_);
        if (!p.strut) p.strut = parseStrut(prop[12].cardinals(), rootW_, rootH_);
        if (auto v = prop[13].cardinals(); !v.empty()) p.wmState = v[0];
    }
    return out;
}

void X11Platform::Impl::refreshProp(Client& c, xcb_atom_t atom) {
    static_assert(sizeof(xcb_atom_t) == 4);
    const bool relevant = atom == a.WM_NORMAL_HINTS || atom == a.WM_HINTS || atom == a.WM_NAME ||
                          atom == a._NET_WM_NAME || atom == a._NET_WM_WINDOW_TYPE || atom == a.WM_TRANSIENT_FOR ||
                          atom == a.WM_PROTOCOLS || atom == a.WM_CLASS || atom == a._GTK_APPLICATION_ID;
    if (atom == a._NET_WM_ICON) icons_.erase(c.props.pid);
    if (!relevant) return;
    const xcb_window_t w = c.win;
    WindowProps fresh = readProps({w}).front();
    Client* cl = client(w);  // the round trip may have handled its destruction
    if (!cl || !fresh.exists) return;
    WindowProps& p = cl->props;
    p.type = fresh.type;
    p.transientFor = fresh.transientFor;
    p.instance = fresh.instance;
    p.cls = fresh.cls;
    p.gtkAppId = fresh.gtkAppId;
    p.title = fresh.title;
    p.hints = fresh.hints;
    p.acceptsInput = fresh.acceptsInput;
    p.takeFocus = fresh.takeFocus;
    p.deleteWindow = fresh.deleteWindow;
    std::lock_guard<std::mutex> lock(geoMu_);
    if (auto it = geo_.find(w); it != geo_.end()) it->second.hints = fresh.hints;
}

void X11Platform::Impl::manage(xcb_window_t w, WindowProps props, bool adopting) {
    xcb_connection_t* c = conn.raw();
    props.pid = resolvePid(w, props.pid);
    const bool firstOfApp =
        props.pid > 0 && std::none_of(clients_.begin(), clients_.end(),
                                      [&](auto& kv) { return kv.second.props.pid == props.pid; });

    Client cl;
    cl.win = w;
    cl.seq = nextSeq_++;
    cl.skipTaskbar = contains(props.netState, a._NET_WM_STATE_SKIP_TASKBAR);
    const bool iconic = adopting ? props.wmState == kIconic : props.startsIconic;
    const bool wantsFullscreen = contains(props.netState, a._NET_WM_STATE_FULLSCREEN);
    Rect geom = props.geom;
    if (props.border) {
        // Undecorated: a client's own border would only shift what we compute.
        geom.width -= 2 * props.border;
        geom.height -= 2 * props.border;
    }
    cl.props = std::move(props);
    cl.props.geom = geom;
    cl.props.border = 0;
    clients_[w] = cl;
    stacking_.push_back(w);
    {
        std::lock_guard<std::mutex> lock(geoMu_);
        geo_[w] = Geo{geom, cl.props.hints, false};
    }

    xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &kClientMask);
    // Clicks only: wheel buttons pass untouched (and Alt+wheel stays the root's).
    for (uint8_t button : {1, 2, 3})
        xcb_grab_button(c, 0, w,
                        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                        XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, button, XCB_MOD_MASK_ANY);
    const uint32_t zero = 0;
    xcb_configure_window(c, w, XCB_CONFIG_WINDOW_BORDER_WIDTH, &zero);
    if (composite) xcb_composite_redirect_window(c, w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    conn.setCardinals(w, a._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, {0, 0, 0, 0});
    conn.setCardinals(w, a._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, {0});

    Client& ref = clients_[w];
    if (!adopting && subrole(ref) != "AXStandardWindow") {
        // Dialogs and transients open floating, centred on their parent (or display).
        std::optional<Rect> around;
        if (Client* parent = client(ref.props.transientFor)) around = geometry(parent->win);
        if (!around) around = monitorFor(geom);
        if (around) {
            Rect r(std::round(around->midX() - geom.width / 2), std::round(around->midY() - geom.height / 2),
                   geom.width, geom.height);
            configureClient(w, r);
        }
    }

    if (iconic) {
        clients_[w].iconic = true;
        writeWmState(w, kIconic);
    } else {
        xcb_map_window(c, w);
        writeWmState(w, kNormal);
    }
    writeNetState(clients_[w]);
    if (wantsFullscreen) setFullscreen(w, true);
    updateClientLists();
    if (adopting) return;

    Client* now = client(w);
    if (!now) return;
    const int32_t pid = now->props.pid;
    if (firstOfApp) postWorkspace(WorkspaceEvent::DidLaunchApplication, appInfo(pid));
    postAX(pid, AXElement::window(w), ax::WindowCreated);
    if (!now->iconic) activateWindow(w, XCB_CURRENT_TIME);
}

void X11Platform::Impl::manageDock(xcb_window_t w, const WindowProps& props) {
    docks_[w] = props.strut;
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn.raw(), w, XCB_CW_EVENT_MASK, &mask);
    xcb_map_window(conn.raw(), w);
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(conn.raw(), w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    updateWorkarea();
    screensChanged();
}

void X11Platform::Impl::unmanage(xcb_window_t w, bool withdrawn) {
    Client* c = client(w);
    if (!c) return;
    xcb_connection_t* xc = conn.raw();
    const int32_t pid = c->props.pid;
    const bool last = pid > 0 && std::count_if(clients_.begin(), clients_.end(), [&](auto& kv) {
                                     return kv.second.props.pid == pid;
                                 }) == 1;
    // The application's description must be taken while its window still counts.
    std::optional<RunningApp> info = last ? appInfo(pid) : std::nullopt;

    if (withdrawn) {
        // ICCCM 4.1.3.1 / EWMH: a withdrawn window carries no state of ours.
        writeWmState(w, kWithdrawn);
        xcb_delete_property(xc, w, a._NET_WM_STATE);
        xcb_delete_property(xc, w, a._NET_WM_DESKTOP);
        xcb_ungrab_button(xc, XCB_BUTTON_INDEX_ANY, w, XCB_MOD_MASK_ANY);
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(xc, w, XCB_CW_EVENT_MASK, &none);
        if (composite) xcb_composite_unredirect_window(xc, w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    }
    const bool wasFocused = focused_ == w;
    if (move_ && move_->win == w) endMove();
    clients_.erase(w);
    std::erase(stacking_, w);
    {
        std::lock_guard<std::mutex> lock(geoMu_);
        geo_.erase(w);
    }
    if (last) icons_.erase(pid);
    updateClientLists();
    if (wasFocused) {
        focused_ = XCB_NONE;
        focusFallback();
    }
    postAX(pid, AXElement::window(w), ax::UIElementDestroyed);
    if (last) postWorkspace(WorkspaceEvent::DidTerminateApplication, info);
}

void X11Platform::Impl::adoptExisting() {
    auto tree = conn.get(xcb_query_tree_reply, xcb_query_tree(conn.raw(), conn.root()));
    if (!tree) return;
    const xcb_window_t* kids = xcb_query_tree_children(tree.get());
    std::vector<xcb_window_t> wins;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (kids[i] != owner_ && kids[i] != barrier_) wins.push_back(kids[i]);
    std::vector<WindowProps> props = readProps(wins);
    // Children come bottom to top, so adopting in order keeps the stacking.
    for (size_t i = 0; i < wins.size(); ++i) {
        WindowProps& p = props[i];
        if (!p.exists || p.overrideRedirect || clients_.count(wins[i])) continue;
        const bool iconic = !p.viewable && p.wmState == kIconic;
        if (!p.viewable && !iconic) continue;
        if (p.type == WinType::Dock) {
            docks_[wins[i]] = p.strut;
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(conn.raw(), wins[i], XCB_CW_EVENT_MASK, &mask);
            continue;
        }
        if (p.type == WinType::Desktop || p.type == WinType::Other) continue;
        manage(wins[i], std::move(p), true);
    }
}

void X11Platform::Impl::adoptFocus() {
    auto r = conn.get(xcb_get_input_focus_reply, xcb_get_input_focus(conn.raw()));
    if (r && client(r->focus) && !client(r->focus)->iconic) noteFocus(r->focus);
    else focusFallback();
}

void X11Platform::Impl::writeWmState(xcb_window_t w, uint32_t state) {
    conn.setCardinals(w, a.WM_STATE, a.WM_STATE, {state, XCB_NONE});
}

void X11Platform::Impl::iconify(xcb_window_t w) {
    Client* c = client(w);
    if (!c || c->iconic) return;
    c->iconic = true;
    ++c->ignoreUnmaps;
    if (c->fullscreen) setFullscreen(w, false);
    xcb_unmap_window(conn.raw(), w);
    writeWmState(w, kIconic);
    writeNetState(*c);
    const int32_t pid = c->props.pid;
    if (focused_ == w) focusFallback();
    postAX(pid, AXElement::window(w), ax::WindowMiniaturized);
}

void X11Platform::Impl::deiconify(xcb_window_t w) {
    Client* c = client(w);
    if (!c || !c->iconic) return;
    c->iconic = false;
    xcb_map_window(conn.raw(), w);
    writeWmState(w, kNormal);
    writeNetState(*c);
    raise(w);
    postAX(c->props.pid, AXElement::window(w), ax::WindowDeminiaturized);
}

void X11Platform::Impl::setFullscreen(xcb_window_t w, bool on) {
    Client* c = client(w);
    if (!c || c->fullscreen == on) return;
    if (on) {
        auto g = geometry(w);
        c = client(w);
        if (!c || !g) return;
        auto mon = monitorFor(*g);
        if (!mon) return;
        c->savedGeom = *g;
        c->fullscreen = true;
        configureClient(w, *mon);  // size hints do not apply to a full-screen window (EWMH)
        raise(w);
    } else {
        c->fullscreen = false;
        configureClient(w, c->savedGeom);
    }
    if ((c = client(w))) writeNetState(*c);
}

void X11Platform::Impl::configureClient(xcb_window_t w, const Rect& r) {
    const uint32_t values[] = {static_cast<uint32_t>(static_cast<int32_t>(r.x)),
                               static_cast<uint32_t>(static_cast<int32_t>(r.y)),
                               static_cast<uint32_t>(std::max(r.width, 1.0)),
                               static_cast<uint32_t>(std::max(r.height, 1.0))};
    xcb_configure_window(conn.raw(), w,
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                             XCB_CONFIG_WINDOW_HEIGHT,
                         values);
    setGeo(w, r);
}

void X11Platform::Impl::setGeo(xcb_window_t w, const Rect& r) {
    std::lock_guard<std::mutex> lock(geoMu_);
    if (auto it = geo_.find(w); it != geo_.end()) it->second.rect = r;
}

void X11Platform::Impl::focusClient(xcb_window_t w, xcb_timestamp_t time) {
    Client* c = client(w);
    if (!c || c->iconic) return;
    xcb_connection_t* xc = conn.raw();
    if (c->props.acceptsInput) {
        xcb_set_input_focus(xc, XCB_INPUT_FOCUS_POINTER_ROOT, w, time);
    } else if (!c->props.takeFocus) {
        // ICCCM "no input": keys go nowhere rather than to the previous window.
        xcb_set_input_focus(xc, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_NONE, time);
    }
    if (c->props.takeFocus) sendProtocol(w, a.WM_TAKE_FOCUS, time);
    noteFocus(w);
}

void X11Platform::Impl::noteFocus(xcb_window_t w) {
    Client* c = client(w);
    if (!c || focused_ == w) return;
    focused_ = w;
    c->focusSeq = ++focusCounter_;
    updateActiveWindow();
    const int32_t pid = c->props.pid;
    postAX(pid, AXElement::window(w), ax::FocusedWindowChanged);
    if (pid != activePid_) {
        activePid_ = pid;
        postWorkspace(WorkspaceEvent::DidActivateApplication, appInfo(pid));
    }
}

void X11Platform::Impl::focusFallback() {
    for (auto it = stacking_.rbegin(); it != stacking_.rend(); ++it) {
        Client* c = client(*it);
        if (c && !c->iconic && *it != focused_) {
            focusClient(*it, XCB_CURRENT_TIME);
            return;
        }
    }
    focused_ = XCB_NONE;
    xcb_set_input_focus(conn.raw(), XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    updateActiveWindow();
}

void X11Platform::Impl::raise(xcb_window_t w) {
    Client* c = client(w);
    if (!c) return;
    xcb_connection_t* xc = conn.raw();
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(xc, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    std::erase(stacking_, w);
    stacking_.push_back(w);
    // Its transients stay above it, and docks above everything but full screen.
    std::vector<xcb_window_t> transients;
    for (xcb_window_t other : stacking_)
        if (other != w && client(other)->props.transientFor == w) transients.push_back(other);
    for (xcb_window_t t : transients) {
        xcb_configure_window(xc, t, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        std::erase(stacking_, t);
        stacking_.push_back(t);
    }
    if (!c->fullscreen)
        for (auto& [dock, strut] : docks_) xcb_configure_window(xc, dock, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    updateClientLists();
}

void X11Platform::Impl::activateWindow(xcb_window_t w, xcb_timestamp_t time) {
    Client* c = client(w);
    if (!c) return;
    if (c->iconic) deiconify(w);
    raise(w);
    focusClient(w, time);
}

void X11Platform::Impl::closeWindow(xcb_window_t w) {
    Client* c = client(w);
    if (!c) return;
    if (!c->props.deleteWindow) {
        xcb_kill_client(conn.raw(), w);
        return;
    }
    sendProtocol(w, a.WM_DELETE_WINDOW, XCB_CURRENT_TIME);
}

// ICCCM 4.2.8: a WM_PROTOCOLS message, sent to the client alone.
void X11Platform::Impl::sendProtocol(xcb_window_t w, xcb_atom_t protocol, xcb_timestamp_t time) {
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = w;
    msg.type = a.WM_PROTOCOLS;
    msg.data.data32[0] = protocol;
    msg.data.data32[1] = time;
    xcb_send_event(conn.raw(), 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
}

void X11Platform::Impl::startMove(xcb_window_t w, int rootX, int rootY, bool grabPointer) {
    if (move_ || !client(w)) return;
    xcb_connection_t* c = conn.raw();
    if (grabPointer) {
        // _NET_WM_MOVERESIZE: only while the button that started it is still down.
        auto ptr = conn.get(xcb_query_pointer_reply, xcb_query_pointer(c, conn.root()));
        if (!ptr || !(ptr->mask & XCB_BUTTON_MASK_1)) return;
        auto grab = conn.get(xcb_grab_pointer_reply,
                             xcb_grab_pointer(c, 0, conn.root(),
                                              XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                              XCB_CURRENT_TIME));
        if (!grab || grab->status != XCB_GRAB_STATUS_SUCCESS) return;
    }
    auto g = geometry(w);
    if (!g || !client(w)) {
        if (grabPointer) xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
        return;
    }
    move_ = Move{w, rootX, rootY, static_cast<int>(g->x), static_cast<int>(g->y)};
    raise(w);
}

void X11Platform::Impl::endMove() {
    xcb_ungrab_pointer(conn.raw(), XCB_CURRENT_TIME);
    move_.reset();
}

std::optional<Rect> X11Platform::Impl::geometry(xcb_window_t w) {
    if (!client(w)) return std::nullopt;
    auto g = conn.get(xcb_get_geometry_reply, xcb_get_geometry(conn.raw(), w));
    if (!g) return std::nullopt;
    return Rect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
}

void X11Platform::Impl::sendSyntheticConfigure(xcb_window_t w, const Rect& r) {
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
    xcb_send_event(conn.raw(), 0, w, XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&ev));
}

// Any thread. Never waits for the server: everything needed is in geo_.
bool X11Platform::Impl::writePosition(xcb_window_t w, Point p, bool arrange) {
    const int32_t x = static_cast<int32_t>(std::lround(std::clamp(p.x, -32768.0, 32767.0)));
    const int32_t y = static_cast<int32_t>(std::lround(std::clamp(p.y, -32768.0, 32767.0)));
    Rect r;
    {
        std::lock_guard<std::mutex> lock(geoMu_);
        auto it = geo_.find(w);
        if (it == geo_.end()) return false;
        it->second.rect.x = x;
        it->second.rect.y = y;
        if (arrange) it->second.arranged = true;
        r = it->second.rect;
    }
    const uint32_t values[] = {static_cast<uint32_t>(x), static_cast<uint32_t>(y)};
    xcb_configure_window(conn.raw(), w, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    // ICCCM 4.1.5: a moved, not resized, window hears of its new place from us.
    sendSyntheticConfigure(w, r);
    xcb_flush(conn.raw());
    positionRequests_ += 2;
    // A flush on an animation thread may read events into xcb's queue, where the
    // main loop's descriptor watch cannot see them: have the main loop drain them.
    if (!conn.onMainThread() && !workerDrainPosted.exchange(true)) {
        loop.post([this, alive = std::weak_ptr<int>(life)] {
            if (alive.expired()) return;
            workerDrainPosted = false;
            dispatchEvents();
        });
    }
    return true;
}

bool X11Platform::Impl::writeSize(xcb_window_t w, Size s, bool arrange) {
    Dimensions d{};
    {
        std::lock_guard<std::mutex> lock(geoMu_);
        auto it = geo_.find(w);
        if (it == geo_.end()) return false;
        const int rw = static_cast<int>(std::lround(std::clamp(s.width, 1.0, 32767.0)));
        const int rh = static_cast<int>(std::lround(std::clamp(s.height, 1.0, 32767.0)));
        d = applySizeHints(it->second.hints, rw, rh);
        it->second.rect.width = d.width;
        it->second.rect.height = d.height;
        if (arrange) it->second.arranged = true;
    }
    const uint32_t values[] = {static_cast<uint32_t>(d.width), static_cast<uint32_t>(d.height)};
    xcb_configure_window(conn.raw(), w, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(conn.raw());
    return true;
}

}  // namespace tarvela

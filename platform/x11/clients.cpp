// Client records: reading what a window says about itself, managing and
// unmanaging it, iconic and full-screen states, focus, stacking, moves, and
// the geometry writes, which the frames part (frames_) carries out.
#include <xcb/composite.h>
#include <xcb/shape.h>

#include <algorithm>
#include <utility>
#include <cmath>

#include "core/log.h"
#include "core/processes.h"
#include "core/text.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
constexpr uint32_t kClientMask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_FOCUS_CHANGE;
// The client's own map and configure requests, unmaps and destruction reach us through its frame.
constexpr uint32_t kFrameMask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
constexpr uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;

bool contains(const std::vector<xcb_atom_t>& v, xcb_atom_t a) { return std::find(v.begin(), v.end(), a) != v.end(); }

}  // namespace

Client* X11Platform::Impl::client(xcb_window_t w) {
    return clients_.find(w);
}

std::vector<WindowProps> X11Platform::Impl::readProps(const std::vector<xcb_window_t>& wins) {
    xcb_connection_t* c = conn.raw();
    const xcb_atom_t atoms[] = {a._NET_WM_WINDOW_TYPE, a.WM_TRANSIENT_FOR, a._NET_WM_PID, a.WM_CLASS,
                                a._GTK_APPLICATION_ID, a._NET_WM_NAME, a.WM_NAME, a.WM_NORMAL_HINTS,
                                a.WM_HINTS, a.WM_PROTOCOLS, a._NET_WM_STATE, a._NET_WM_STRUT_PARTIAL,
                                a._NET_WM_STRUT, a.WM_STATE, a._NET_WM_USER_TIME, a._NET_WM_USER_TIME_WINDOW,
                                a._MOTIF_WM_HINTS, a._GTK_FRAME_EXTENTS, a._NET_WM_DESKTOP};
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
        if (auto v = prop[1].cardinals(); !v.empty()) {
            p.transientFor = v[0];
            p.transientForGroup = v[0] == XCB_NONE || v[0] == conn.root();
        }
        if (auto v = prop[2].cardinals(); !v.empty()) p.pid = static_cast<int32_t>(v[0]);
        if (prop[3].format == 8) {
            std::string raw(prop[3].data.begin(), prop[3].data.end());
            size_t nul = raw.find('\0');
            p.instance = cleanText(raw.substr(0, nul));
            if (nul != std::string::npos) p.cls = cleanText(std::string(raw.c_str() + nul + 1));
        }
        // Clients name themselves: what they say is data, never control codes.
        p.gtkAppId = cleanText(prop[4].text());
        p.title = cleanText(prop[5].present() ? prop[5].text() : prop[6].text());
        p.hints = parseSizeHints(prop[7].cardinals());
        if (auto v = prop[8].cardinals(); v.size() >= 3) {
            if (v[0] & 1) p.acceptsInput = v[1] != 0;  // InputHint
            if (v[0] & 2) p.startsIconic = v[2] == kIconic;  // StateHint
            if ((v[0] & 64) && v.size() >= 9) p.group = v[8];  // WindowGroupHint
            p.urgent = v[0] & 256;  // UrgencyHint
        }
        for (uint32_t proto : prop[9].cardinals()) {
            if (proto == a.WM_TAKE_FOCUS) p.takeFocus = true;
            if (proto == a.WM_DELETE_WINDOW) p.deleteWindow = true;
            if (proto == a._NET_WM_PING) p.ping = true;
        }
        for (uint32_t s : prop[10].cardinals()) p.netState.push_back(s);
        p.strut = parseStrut(prop[11].cardinals(), displays_.rootWidth(), displays_.rootHeight());
        if (!p.strut) p.strut = parseStrut(prop[12].cardinals(), displays_.rootWidth(), displays_.rootHeight());
        if (auto v = prop[13].cardinals(); !v.empty()) p.wmState = v[0];
        if (auto v = prop[14].cardinals(); !v.empty()) p.userTime = v[0];
        if (auto v = prop[15].cardinals(); !v.empty() && v[0] != wins[i]) p.userTimeWindow = v[0];
        p.motif = parseMotifHints(prop[16].cardinals());
        p.ownDecorations = !p.motif.titled || prop[17].present();
        if (auto v = prop[18].cardinals(); !v.empty()) p.desktop = v[0];
    }
    return out;
}

void X11Platform::Impl::refreshProp(Client& c, xcb_atom_t atom) {
    static_assert(sizeof(xcb_atom_t) == 4);
    const bool relevant = atom == a.WM_NORMAL_HINTS || atom == a.WM_HINTS || atom == a.WM_NAME ||
                          atom == a._NET_WM_NAME || atom == a._NET_WM_WINDOW_TYPE || atom == a.WM_TRANSIENT_FOR ||
                          atom == a.WM_PROTOCOLS || atom == a.WM_CLASS || atom == a._GTK_APPLICATION_ID ||
                          atom == a._NET_WM_STATE || atom == a._MOTIF_WM_HINTS || atom == a._GTK_FRAME_EXTENTS;
    if (atom == a._NET_WM_ICON) icons_.erase(c.props.pid);
    const xcb_window_t w = c.win;
    if (atom == a._NET_WM_USER_TIME && c.props.userTimeWindow == XCB_NONE) {
        if (auto v = conn.property(w, atom, 1).cardinals(); !v.empty()) noteUserTime(w, v[0], false);
        return;
    }
    if (!relevant) return;
    WindowProps fresh = readProps({w}).front();
    Client* cl = client(w);  // the round trip may have handled its destruction
    if (!cl || !fresh.exists) return;
    WindowProps& p = cl->props;
    p.type = fresh.type;
    p.transientFor = fresh.transientFor;
    p.transientForGroup = fresh.transientForGroup;
    p.group = fresh.group;
    p.instance = fresh.instance;
    p.cls = fresh.cls;
    p.gtkAppId = fresh.gtkAppId;
    p.title = fresh.title;
    p.hints = fresh.hints;
    p.acceptsInput = fresh.acceptsInput;
    p.takeFocus = fresh.takeFocus;
    p.deleteWindow = fresh.deleteWindow;
    p.ping = fresh.ping;
    p.ownDecorations = fresh.ownDecorations;
    p.motif = fresh.motif;
    p.urgent = fresh.urgent;
    // Ours to keep (full screen, hidden, skips) or the client's own, read back as written.
    if (atom == a._NET_WM_STATE) p.netState = fresh.netState;
    frames_.setHints(w, fresh.hints);
    syncBar(w);
    noteAttention(w);
}

int64_t X11Platform::Impl::unwrapTime(xcb_timestamp_t t) {
    if (t == 0) return 0;
    if (serverTime_ < 0) serverTime_ = t;
    const auto delta = static_cast<int32_t>(t - static_cast<uint32_t>(serverTime_));
    const int64_t at = serverTime_ + delta;
    serverTime_ = std::max(serverTime_, at);
    return std::max<int64_t>(at, 1);
}

void X11Platform::Impl::watchUserTimeWindow(xcb_window_t w) {
    Client* c = client(w);
    if (!c) return;
    if (const xcb_window_t tw = c->props.userTimeWindow; tw != XCB_NONE) {
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(conn.raw(), tw, XCB_CW_EVENT_MASK, &mask);
        userTimeWindows_[tw] = w;
        auto v = conn.property(tw, a._NET_WM_USER_TIME, 1).cardinals();
        c = client(w);  // the round trip may have handled its destruction
        if (!c) return;
        if (!v.empty()) c->props.userTime = v[0];
    }
    if (c->props.userTime) c->userTime = unwrapTime(*c->props.userTime);
}

void X11Platform::Impl::noteUserTime(xcb_window_t w, xcb_timestamp_t t, bool input) {
    Client* c = client(w);
    if (!c) return;
    const int64_t at = unwrapTime(t);
    // The client's own word replaces what it said before; an input we saw only adds.
    if (!input || !c->userTime || (*c->userTime != 0 && at > *c->userTime)) c->userTime = at;
}

void X11Platform::Impl::noteAttention(xcb_window_t w) {
    Client* c = client(w);
    if (!c) return;
    const bool wants = c->props.urgent || contains(c->props.netState, a._NET_WM_STATE_DEMANDS_ATTENTION);
    if (wants == c->attention) return;
    c->attention = wants;
    notifications_.postAX(c->props.pid, AXElement::window(w), ax::AttentionChanged);
}

void X11Platform::Impl::setAttentionState(xcb_window_t w, bool on) {
    Client* c = client(w);
    if (!c || contains(c->props.netState, a._NET_WM_STATE_DEMANDS_ATTENTION) == on) return;
    if (on)
        c->props.netState.push_back(a._NET_WM_STATE_DEMANDS_ATTENTION);
    else
        std::erase(c->props.netState, a._NET_WM_STATE_DEMANDS_ATTENTION);
    writeNetState(*c);
    noteAttention(w);
}

std::optional<std::string> X11Platform::Impl::startupId(const Client& c) {
    const xcb_window_t win = c.win, leader = c.props.group;
    const int32_t pid = c.props.pid;
    for (xcb_window_t w : {win, leader}) {
        if (w == XCB_NONE) continue;
        // A property, not a field: it is read once, when the window is placed.
        std::string id = conn.property(w, a._NET_STARTUP_ID, 256).text();
        if (!id.empty()) return id;
    }
    if (pid > 0)
        if (auto id = startEnvironment(pid, "DESKTOP_STARTUP_ID"); id && !id->empty()) return id;
    return std::nullopt;
}

void X11Platform::Impl::manage(xcb_window_t w, WindowProps props, bool adopting) {
    props.pid = resolvePid(w, props.pid);
    const bool firstOfApp =
        props.pid > 0 && std::none_of(clients_.begin(), clients_.end(),
                                      [&](auto& kv) { return kv.second.props.pid == props.pid; });

    Client cl;
    cl.win = w;
    cl.skipTaskbar = contains(props.netState, a._NET_WM_STATE_SKIP_TASKBAR);
    cl.skipPager = contains(props.netState, a._NET_WM_STATE_SKIP_PAGER);
    const bool iconic = adopting ? props.wmState == kIconic : props.startsIconic;
    const bool wantsFullscreen = contains(props.netState, a._NET_WM_STATE_FULLSCREEN);
    if (props.border) {
        // Undecorated: a client's own border would only shift what we compute.
        props.geom.width -= 2 * props.border;
        props.geom.height -= 2 * props.border;
    }
    const bool wasViewable = props.viewable;
    cl.props = std::move(props);
    cl.props.border = 0;
    // Windows already on screen stay where they are.
    if (!adopting) cl.props.geom = openingPlace(cl);
    cl.desktop = openingDesktop(cl);
    cl.asked = askedDesktop(cl);
    cl.offDesktop = !shownOnDesktop(cl);
    frameClient(cl, wasViewable, adopting);
    watchUserTimeWindow(w);
    syncBar(w);
    keepFrameOnDisplay(w);  // before it shows

    xcb_connection_t* c = conn.raw();
    if (iconic) {
        clients_.at(w).iconic = true;
        writeWmState(w, kIconic);
    } else {
        xcb_map_window(c, w);
        // A window opening on a desktop not shown waits there, unseen.
        if (!cl.offDesktop) xcb_map_window(c, cl.frame);
        writeWmState(w, kNormal);
    }
    // ICCCM 4.1.5: a reparented client hears of its root position from us.
    frames_.sendSyntheticConfigure(w, frames_.rect(w).value_or(cl.props.geom));
    writeNetState(clients_.at(w));
    if (wantsFullscreen) setFullscreen(w, true);
    updateClientLists();
    noteAttention(w);
    if (adopting) return;

    Client* now = client(w);
    if (!now) return;
    const int32_t pid = now->props.pid;
    if (firstOfApp) notifications_.postWorkspace(WorkspaceEvent::DidLaunchApplication, appInfo(pid));
    notifications_.postAX(pid, AXElement::window(w), ax::WindowCreated);
    if (now->iconic || now->offDesktop) return;
    // A new window's first focus is judged as any request of its application
    // is: refused, it opens without ever having had the focus. Tarvela's own
    // windows open at the user's request.
    if (notifications_.takesActivations() && !isOwn(*now))
        notifications_.postActivation({AXElement::window(w), ActivationSource::Application, now->userTime});
    else
        activateWindow(w, XCB_CURRENT_TIME);
}

Rect X11Platform::Impl::openingPlace(const Client& cl) {
    Rect geom = cl.props.geom;
    // Tarvela's own windows open where the user works, whatever place the
    // toolkit asked for; so does any new window that asks for no place and
    // would open elsewhere.
    const bool own = isOwn(cl) && !client(cl.props.transientFor);
    if (!own && subrole(cl) != ax::StandardWindow) {
        placeFloating(cl, geom);
        return geom;
    }
    if (!own && cl.props.hints.positioned) return geom;
    const std::optional<Rect> mon = currentMonitor(cl.win);
    if (mon && (own || !mon->contains({geom.midX(), geom.midY()}))) geom = centredOn(*mon, geom, *mon);
    return geom;
}

void X11Platform::Impl::frameClient(Client& cl, bool wasViewable, bool adopting) {
    xcb_connection_t* c = conn.raw();
    const xcb_window_t w = cl.win;
    const Rect geom = cl.props.geom;
    // The frame starts as the whole client; a strip that takes the window clips it.
    cl.frame = xcb_generate_id(c);
    // Black where the client draws nothing yet: never what was on the screen before.
    const uint32_t frameValues[] = {conn.screen()->black_pixel, kFrameMask | x11::kFrameEdgeMask};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, cl.frame, conn.root(), static_cast<int16_t>(geom.x),
                      static_cast<int16_t>(geom.y), static_cast<uint16_t>(std::max(geom.width, 1.0)),
                      static_cast<uint16_t>(std::max(geom.height, 1.0)), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, frameValues);
    // A new window is made on top of everything, panels included.
    own_.stackBelow(cl.frame);
    // Should we die, the server hands the client back to the root where it is.
    xcb_change_save_set(c, XCB_SET_MODE_INSERT, w);
    if (wasViewable) ++cl.ignoreUnmaps;  // reparenting a mapped window unmaps it once
    xcb_reparent_window(c, w, cl.frame, 0, 0);
    clients_.add(cl);
    frames_.add(w, geom, cl.props.hints, cl.frame);

    xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &kClientMask);
    pointer_.grabClicks(w);
    const uint32_t zero = 0;
    xcb_configure_window(c, w, XCB_CONFIG_WINDOW_BORDER_WIDTH, &zero);
    followShape(w, geom.size());
    if (composite) {
        if (adopting) redirectLater_.push_back(w);
        else xcb_composite_redirect_window(c, w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    }
    conn.setCardinals(w, a._NET_FRAME_EXTENTS, XCB_ATOM_CARDINAL, {0, 0, 0, 0});
    conn.setCardinals(w, a._NET_WM_DESKTOP, XCB_ATOM_CARDINAL,
                      {cl.desktop == kAllDesktops ? 0xFFFFFFFFu : static_cast<uint32_t>(cl.desktop)});
}

// The frame takes the client's own shape, now and whenever it changes.
void X11Platform::Impl::followShape(xcb_window_t w, Size size) {
    if (!shape) return;
    xcb_connection_t* c = conn.raw();
    // Listen first, then ask: a shape set in between is not missed.
    xcb_shape_select_input(c, w, 1);
    const auto extents = xcb_shape_query_extents(c, w);
    const auto input = xcb_shape_get_rectangles(c, w, XCB_SHAPE_SK_INPUT);
    uint8_t kinds = 0;
    if (auto r = conn.get(xcb_shape_query_extents_reply, extents); r && r->bounding_shaped)
        kinds |= shapeBit(XCB_SHAPE_SK_BOUNDING);
    if (auto r = conn.get(xcb_shape_get_rectangles_reply, input)) {
        // Unshaped, the input region is the window's own rectangle (its border gone by now).
        const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(r.get());
        const bool whole = r->rectangles_len == 1 && rects[0].x == 0 && rects[0].y == 0 &&
                           rects[0].width == size.width && rects[0].height == size.height;
        if (!whole) kinds |= shapeBit(XCB_SHAPE_SK_INPUT);
    }
    frames_.shaped(w, kinds);
}

// Dialogs and transients open centred on their parent (a tool window's: its
// group's main window; else the display) and inside the parent's display. A
// tool window that asks for a place keeps it, and tool windows of one group
// open beside one another, never on each other.
void X11Platform::Impl::placeFloating(const Client& cl, Rect& geom) {
    xcb_window_t parent = client(cl.props.transientFor) ? cl.props.transientFor : XCB_NONE;
    const bool tool = groupTool(cl);
    std::vector<Rect> tools;
    // A tool, or a dialog that names no parent (GIMP's "Quit GIMP"), goes with
    // its group's main window.
    if (cl.props.group != XCB_NONE) {
        const Client* main = nullptr;
        for (xcb_window_t w : clients_.stacking()) {
            const Client& other = *client(w);
            if (w == cl.win || other.props.group != cl.props.group || other.iconic || other.offDesktop) continue;
            if (groupTool(other)) {
                if (auto g = geometry(w)) tools.push_back(*g);
            } else if (!main || other.focusSeq >= main->focusSeq) {
                main = &other;  // the one focused last, else the topmost
            }
        }
        if (!parent && main) parent = main->win;
    }
    std::optional<Rect> around, display;
    if (parent) {
        around = geometry(parent);
        display = displayOf(parent);
    }
    if (!around || !display) around = display = displays_.monitorFor(geom);
    if (!around) return;
    if (tool && cl.props.hints.positioned) around = geom;
    geom = centredOn(*around, geom, *display);
    if (tool) geom = besideOthers(geom, tools, *display);
}

void X11Platform::Impl::manageDock(xcb_window_t w, const WindowProps& props) {
    displays_.setDock(w, props.strut);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn.raw(), w, XCB_CW_EVENT_MASK, &mask);
    xcb_map_window(conn.raw(), w);
    own_.stackBelow(w);
    updateWorkarea();
    displays_.changed();
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

    const xcb_window_t frame = c->frame;
    const Rect where = frames_.rect(w).value_or(c->props.geom);
    if (withdrawn) {
        // Back to the root where it was, before its frame goes (which would take it along).
        xcb_reparent_window(xc, w, conn.root(), static_cast<int16_t>(where.x), static_cast<int16_t>(where.y));
        xcb_change_save_set(xc, XCB_SET_MODE_DELETE, w);
        // ICCCM 4.1.3.1 / EWMH: a withdrawn window carries no state of ours.
        writeWmState(w, kWithdrawn);
        xcb_delete_property(xc, w, a._NET_WM_STATE);
        xcb_delete_property(xc, w, a._NET_WM_DESKTOP);
        xcb_delete_property(xc, w, a._NET_WM_ALLOWED_ACTIONS);
        pointer_.ungrabClicks(w);
        const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
        xcb_change_window_attributes(xc, w, XCB_CW_EVENT_MASK, &none);
        if (shape) xcb_shape_select_input(xc, w, 0);
        auto later = std::find(redirectLater_.begin(), redirectLater_.end(), w);
        if (later != redirectLater_.end()) redirectLater_.erase(later);
        else if (composite) xcb_composite_unredirect_window(xc, w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    }
    xcb_destroy_window(xc, frame);
    if (move_ && move_->win == w) endMove();
    forgetBar(w);
    clients_.remove(w);
    frames_.remove(w);
    std::erase_if(userTimeWindows_, [w](const auto& kv) { return kv.second == w; });
    if (last) icons_.erase(pid);
    updateClientLists();
    if (focus_.forget(w)) focusFallback();
    notifications_.postAX(pid, AXElement::window(w), ax::UIElementDestroyed);
    if (last) notifications_.postWorkspace(WorkspaceEvent::DidTerminateApplication, info);
}

void X11Platform::Impl::adoptExisting() {
    auto tree = conn.get(xcb_query_tree_reply, xcb_query_tree(conn.raw(), conn.root()));
    if (!tree) return;
    const xcb_window_t* kids = xcb_query_tree_children(tree.get());
    std::vector<xcb_window_t> wins;
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
        if (kids[i] != wmOwner_.window() && kids[i] != own_.id()) wins.push_back(kids[i]);
    std::vector<WindowProps> props = readProps(wins);
    // Children come bottom to top, so adopting in order keeps the stacking.
    for (size_t i = 0; i < wins.size(); ++i) {
        WindowProps& p = props[i];
        if (!p.exists || p.overrideRedirect || clients_.contains(wins[i])) continue;
        const bool iconic = !p.viewable && p.wmState == kIconic;
        if (!p.viewable && !iconic) continue;
        if (p.type == WinType::Dock) {
            displays_.setDock(wins[i], p.strut);
            const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
            xcb_change_window_attributes(conn.raw(), wins[i], XCB_CW_EVENT_MASK, &mask);
            continue;
        }
        if (p.type == WinType::Desktop || p.type == WinType::Other) continue;
        manage(wins[i], std::move(p), true);
    }
    // A second is ample for the manager's first arrangement; a picture asked
    // for sooner redirects them at once.
    if (!redirectLater_.empty()) loop.after(1.0, life.guard([this] { redirectPending(); }));
}

void X11Platform::Impl::redirectPending() {
    if (redirectLater_.empty()) return;
    for (xcb_window_t w : std::exchange(redirectLater_, {}))
        if (client(w)) xcb_composite_redirect_window(conn.raw(), w, XCB_COMPOSITE_REDIRECT_AUTOMATIC);
    xcb_flush(conn.raw());
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
    xcb_unmap_window(conn.raw(), c->frame);
    writeWmState(w, kIconic);
    writeNetState(*c);
    const int32_t pid = c->props.pid;
    if (focus_.window() == w) focusFallback();
    notifications_.postAX(pid, AXElement::window(w), ax::WindowMiniaturized);
}

void X11Platform::Impl::deiconify(xcb_window_t w) {
    Client* c = client(w);
    if (!c || !c->iconic) return;
    c->iconic = false;
    xcb_map_window(conn.raw(), w);
    if (!c->offDesktop) xcb_map_window(conn.raw(), c->frame);
    writeWmState(w, kNormal);
    writeNetState(*c);
    raise(w);
    notifications_.postAX(c->props.pid, AXElement::window(w), ax::WindowDeminiaturized);
}

void X11Platform::Impl::setFullscreen(xcb_window_t w, bool on) {
    Client* c = client(w);
    if (!c || c->fullscreen == on) return;
    if (on) {
        auto g = geometry(w);
        c = client(w);
        if (!c || !g) return;
        auto mon = displays_.monitorFor(*g);
        if (!mon) return;
        c->savedGeom = *g;
        c->fullscreen = true;
        frames_.configure(w, *mon);  // size hints do not apply to a full-screen window (EWMH)
        frames_.setFullscreen(w, true);
    } else {
        frames_.setFullscreen(w, false);
        c->fullscreen = false;
        frames_.configure(w, c->savedGeom);
    }
    syncBar(w);
    if ((c = client(w))) {
        if (on) raise(w);
        writeNetState(*c);
        frames_.sendSyntheticConfigure(w, frames_.rect(w).value_or(c->savedGeom));
    }
    // Full screen takes the window out of its strip and back, as a change of
    // space does where full screen has a space of its own: tell the logic now.
    notifications_.postWorkspace(WorkspaceEvent::ActiveSpaceDidChange, std::nullopt);
}

void X11Platform::Impl::assignDisplay(xcb_window_t w, std::optional<uint64_t> screenId) {
    Client* c = client(w);
    if (!c) return;
    if (isOwn(*c)) screenId.reset();  // Tarvela's own windows float, whoever asks
    frames_.assign(w, screenId, screenId ? displays_.displayRect(*screenId) : std::nullopt);
    syncBar(w);
}

std::optional<Rect> X11Platform::Impl::displayOf(xcb_window_t w) {
    const std::optional<Geo> g = frames_.get(w);
    if (!g) return std::nullopt;
    // An arranged window's own display, not the one its overflow lies over.
    return displays_.monitorFor(g->clip.value_or(Rect(g->rect.midX(), g->rect.midY(), 0, 0)));
}

std::optional<Rect> X11Platform::Impl::currentMonitor(xcb_window_t w) {
    if (const xcb_window_t f = focus_.window(); f != XCB_NONE && f != w)
        if (auto mon = displayOf(f)) return mon;
    auto ptr = conn.get(xcb_query_pointer_reply, xcb_query_pointer(conn.raw(), conn.root()));
    if (!ptr) return std::nullopt;
    return displays_.monitorFor(Rect(ptr->root_x, ptr->root_y, 0, 0));
}

void X11Platform::Impl::focusClient(xcb_window_t w, xcb_timestamp_t time) {
    Client* c = client(w);
    // An unviewable window cannot take the input focus.
    if (!c || c->iconic || c->offDesktop) return;
    focus_.give(w, c->props.acceptsInput, c->props.takeFocus, time);
    noteFocus(w);
}

void X11Platform::Impl::noteFocus(xcb_window_t w) {
    Client* c = client(w);
    if (!c || focus_.window() == w) return;
    const int32_t pid = c->props.pid;
    const xcb_window_t before = focus_.window();
    const Focus::Moved moved = focus_.note(w, pid);
    syncBar(before);
    syncBar(w);
    c->focusSeq = moved.order;
    updateActiveWindow();
    // EWMH: the window the user is in wants attention no more.
    setAttentionState(w, false);
    auto news = [this, pid, w, otherProcess = moved.otherProcess] {
        notifications_.postAX(pid, AXElement::window(w), ax::FocusedWindowChanged);
        if (otherProcess) notifications_.postWorkspace(WorkspaceEvent::DidActivateApplication, appInfo(pid));
    };
    // The strip slides to a clicked window once the click is over.
    if (!pointer_.holdUntilRelease(news)) news();
}

void X11Platform::Impl::focusFallback() {
    for (auto it = clients_.stacking().rbegin(); it != clients_.stacking().rend(); ++it) {
        Client* c = client(*it);
        if (c && !c->iconic && !c->offDesktop && *it != focus_.window()) {
            focusClient(*it, XCB_CURRENT_TIME);
            return;
        }
    }
    const xcb_window_t before = focus_.window();
    focus_.giveToNone();
    syncBar(before);
    updateActiveWindow();
}

void X11Platform::Impl::raise(xcb_window_t w) {
    Client* c = client(w);
    if (!c) return;
    // Its transients and its group's tool windows stay above it, and docks
    // above everything but full screen; Tarvela's panels above all of them.
    const std::vector<xcb_window_t> top = raisedWith(w);
    // A client asking again and again changes no list that pagers read.
    const std::vector<xcb_window_t>& stacking = clients_.stacking();
    const bool inPlace =
        stacking.size() >= top.size() && std::equal(top.begin(), top.end(), stacking.end() - top.size());
    for (xcb_window_t t : top) {
        own_.stackBelow(client(t)->frame);
        clients_.toTop(t);
    }
    if (!c->fullscreen)
        for (auto& [dock, strut] : displays_.docks()) own_.stackBelow(dock);
    if (!inPlace) updateClientLists();
}

bool X11Platform::Impl::groupTool(const Client& c) const {
    const WinType t = c.props.type;
    return c.props.group != XCB_NONE &&
           (t == WinType::Utility || t == WinType::Toolbar || (c.props.transientForGroup && t != WinType::Normal));
}

std::vector<xcb_window_t> X11Platform::Impl::raisedWith(xcb_window_t w) {
    std::vector<xcb_window_t> order;
    auto has = [&](xcb_window_t x) { return std::find(order.begin(), order.end(), x) != order.end(); };
    // x, then its transients (and theirs) above it.
    auto add = [&](auto& self, xcb_window_t x) -> void {
        if (!has(x)) order.push_back(x);
        for (xcb_window_t other : clients_.stacking())
            if (client(other)->props.transientFor == x && !has(other)) self(self, other);
    };
    const Client& c = *client(w);
    // The group's tools above w, w's own dialogs above those.
    if (!groupTool(c)) order.push_back(w);
    if (c.props.group != XCB_NONE)
        for (xcb_window_t other : clients_.stacking())
            if (other != w && client(other)->props.group == c.props.group && groupTool(*client(other)))
                add(add, other);
    add(add, w);
    return order;
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
    conn.sendProtocol(w, a.WM_DELETE_WINDOW, XCB_CURRENT_TIME);
}

void X11Platform::Impl::startMove(xcb_window_t w, int rootX, int rootY, bool grabPointer, int resizeX, int resizeY,
                                  uint8_t button) {
    if (move_ || !client(w) || client(w)->fullscreen) return;
    xcb_connection_t* c = conn.raw();
    if (grabPointer) {
        // _NET_WM_MOVERESIZE: only while the button that started it is still down
        // (button 0: whichever of the first three is).
        auto ptr = conn.get(xcb_query_pointer_reply, xcb_query_pointer(c, conn.root()));
        const uint16_t wanted = button >= 1 && button <= 3 ? static_cast<uint16_t>(XCB_BUTTON_MASK_1 << (button - 1))
                                                           : static_cast<uint16_t>(XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 |
                                                                                   XCB_BUTTON_MASK_3);
        if (!ptr || !(ptr->mask & wanted)) return;
        if (button < 1 || button > 3)
            button = (ptr->mask & XCB_BUTTON_MASK_1) ? 1 : (ptr->mask & XCB_BUTTON_MASK_2) ? 2 : 3;
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
    move_ = PointerMove{w, rootX, rootY, *g, resizeX, resizeY, button};
    frames_.setDragging(w, true);
    raise(w);
}

void X11Platform::Impl::endMove() {
    xcb_ungrab_pointer(conn.raw(), XCB_CURRENT_TIME);
    if (!move_) return;
    if (move_->keyboard) pointer_.releaseKeyboard();
    const xcb_window_t w = move_->win;
    const bool moved = !move_->resize();
    move_.reset();
    frames_.setDragging(w, false);
    if (moved) notifications_.postDrag(AXElement::window(w), false);
}

// No round trip: see FrameWriter::rect.
std::optional<Rect> X11Platform::Impl::geometry(xcb_window_t w) {
    if (!client(w)) return std::nullopt;
    return frames_.rect(w);
}

// Any thread. Never waits for the server: everything needed is in frames_.
// A full-screen window refuses, as the system refuses writes to one elsewhere.
bool X11Platform::Impl::writePosition(xcb_window_t w, Point p) {
    if (!frames_.move(w, p)) return false;
    flushAndDrain();
    return true;
}

// A flush may read events into xcb's queue, where the main loop's descriptor
// watch cannot see them: the main loop drains them soon after, whichever
// thread flushed.
void X11Platform::Impl::flushAndDrain() {
    xcb_flush(conn.raw());
    if (conn.onMainThread()) {
        postDrain();
    } else if (!workerDrainPosted.exchange(true)) {
        loop.post(life.guard([this] {
            workerDrainPosted = false;
            dispatchEvents();
        }));
    }
}

bool X11Platform::Impl::writeSize(xcb_window_t w, Size s) {
    if (!frames_.resize(w, s)) return false;
    syncBar(w);
    flushAndDrain();
    return true;
}

// Any thread; a resize the user drags keeps the edges opposite the ones moved.
void X11Platform::Impl::resizeTo(xcb_window_t w, Rect r, int edgeX, int edgeY) {
    if (!frames_.resizeTo(w, r, edgeX, edgeY)) return;
    if (conn.onMainThread()) syncBar(w);
    flushAndDrain();
}

}  // namespace tarvela

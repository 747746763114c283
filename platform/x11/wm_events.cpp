// The event table: one thin handler per X event, each decoding its event and
// calling one operation of the client records (clients.cpp). Errors for
// windows that vanished are ordinary results, never a reason to stop.
#include <xcb/randr.h>
#include <xcb/shape.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

void X11Platform::Impl::buildHandlerTable() {
    handlers.fill(nullptr);
    handlers[XCB_MAP_REQUEST] = &Impl::onMapRequest;
    handlers[XCB_CONFIGURE_REQUEST] = &Impl::onConfigureRequest;
    handlers[XCB_CONFIGURE_NOTIFY] = &Impl::onConfigureNotify;
    handlers[XCB_UNMAP_NOTIFY] = &Impl::onUnmapNotify;
    handlers[XCB_DESTROY_NOTIFY] = &Impl::onDestroyNotify;
    handlers[XCB_CLIENT_MESSAGE] = &Impl::onClientMessage;
    handlers[XCB_PROPERTY_NOTIFY] = &Impl::onPropertyNotify;
    handlers[XCB_BUTTON_PRESS] = &Impl::onButtonPress;
    handlers[XCB_MOTION_NOTIFY] = &Impl::onMotionNotify;
    handlers[XCB_BUTTON_RELEASE] = &Impl::onButtonRelease;
    handlers[XCB_FOCUS_IN] = &Impl::onFocusIn;
    handlers[XCB_SELECTION_CLEAR] = &Impl::onSelectionClear;
    handlers[XCB_GE_GENERIC] = &Impl::onGeneric;
    if (randrEventBase >= 0 && randrEventBase + XCB_RANDR_NOTIFY < 128) {
        handlers[randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY] = &Impl::onRandr;
        handlers[randrEventBase + XCB_RANDR_NOTIFY] = &Impl::onRandr;
    }
    if (shapeEventBase >= 0 && shapeEventBase + XCB_SHAPE_NOTIFY < 128)
        handlers[shapeEventBase + XCB_SHAPE_NOTIFY] = &Impl::onShapeNotify;
    if (xfixesEventBase >= 0 && xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY < 128)
        handlers[xfixesEventBase + XCB_XFIXES_SELECTION_NOTIFY] = &Impl::onSelectionNotify;
    // Escape while we hold the keyboard for a move or resize by hand puts the
    // window back where it started. One lookup per key then, no keymap kept.
    conn.addEventFilter([this](xcb_generic_event_t* e) {
        if ((e->response_type & 0x7f) != XCB_KEY_PRESS || !move_ || !move_->keyboard) return false;
        auto* ev = reinterpret_cast<xcb_key_press_event_t*>(e);
        auto map = conn.get(xcb_get_keyboard_mapping_reply, xcb_get_keyboard_mapping(conn.raw(), ev->detail, 1));
        constexpr xcb_keysym_t escape = 0xff1b;
        if (!map || xcb_get_keyboard_mapping_keysyms_length(map.get()) < 1 ||
            xcb_get_keyboard_mapping_keysyms(map.get())[0] != escape)
            return false;
        const PointerMove m = *move_;
        if (m.resize()) resizeTo(m.win, m.origin, m.resizeX, m.resizeY);
        else writePosition(m.win, m.origin.origin());
        endMove();
        return true;
    });
}

namespace {
// How long one turn of the run loop may handle events; the rest wait for the
// next, so that timers, posted work and signals run between turns whatever a
// client sends. A time rather than a count: what a turn ends with (the one
// focus change a burst of activations comes to) costs the same for 100 events
// as for 10,000, and a slow machine must still get through a flood faster
// than the flood arrives.
constexpr double kTurnSeconds = 0.008;
// The clock is read once every so many events.
constexpr int kEventsPerClockRead = 64;
}  // namespace

void X11Platform::Impl::dispatchEvents() {
    if (inDispatch) return;  // a handler that waits drains through its caller's loop
    if (!conn.broken()) {
        inDispatch = true;
        conn.setDispatching(true);
        int handled = 0;
        const auto began = std::chrono::steady_clock::now();
        bool full = false;
        while (!full) {
            EventPtr e = conn.nextEvent();
            if (!e) {
                // What waited for the end of the turn goes now, while this loop
                // can still take what it makes xcb read: its round trips, and a
                // flush that has to wait to write, read whatever the server sent
                // meanwhile into xcb's queue, where the descriptor watch never
                // sees it (a key press left there is heard at the next event).
                applyCoalesced();
                xcb_flush(conn.raw());
                e.reset(xcb_poll_for_queued_event(conn.raw()));
                if (!e) break;
            }
            handle(e.get());
            if (++handled % kEventsPerClockRead == 0)
                full = std::chrono::steady_clock::now() - began >= std::chrono::duration<double>(kTurnSeconds);
        }
        // Stopped at the bound: the drain posted below takes what this leaves queued.
        applyCoalesced();
        xcb_flush(conn.raw());
        conn.setDispatching(false);
        inDispatch = false;
        announceScreens();
        // More may be waiting, possibly in xcb's queue where no watch sees it.
        lastTurnFull_ = full;
        if (lastTurnFull_) postDrain();
    }
    if (conn.broken() && watch) {
        // The server quit or crashed. That is no lost permission (the manager
        // would stop and report another window manager), so WM_S0 stays held as
        // it was; nothing can work any more, and whoever runs us ends.
        log("lost the connection to the X server");
        loop.unwatchFd(watch);
        watch = 0;
        if (opts.connectionLost)
            loop.post(life.guard(opts.connectionLost));
    }
}

// Requests where only the latest counts wait for the end of the turn; anything
// whose effect depends on their order first lets them take effect.
void X11Platform::Impl::applyCoalesced() {
    auto configure = std::move(coalesced_.configure);
    auto fullscreen = std::move(coalesced_.fullscreen);
    auto activate = coalesced_.activate;
    coalesced_ = {};
    for (const auto& [w, ask] : configure) applyConfigure(w, ask);
    for (const auto& [w, on] : fullscreen) setFullscreen(w, on);
    if (!activate) return;
    if (notifications_.takesActivations()) {
        // Whoever took the requests judges them (focus-stealing prevention).
        std::optional<int64_t> time;
        if (activate->time != XCB_CURRENT_TIME) time = unwrapTime(activate->time);
        notifications_.postActivation(
            {AXElement::window(activate->window),
             activate->pager ? ActivationSource::Pager : ActivationSource::Application, time});
        return;
    }
    activateWindow(activate->window, activate->time);
}

void X11Platform::Impl::handle(xcb_generic_event_t* e) {
    if (conn.filter(e)) return;
    const uint8_t type = e->response_type & 0x7f;
    if (type == 0) return onError(e);
    switch (type) {
        case XCB_MAP_REQUEST:
        case XCB_UNMAP_NOTIFY:
        case XCB_DESTROY_NOTIFY:
        case XCB_BUTTON_PRESS:
        case XCB_BUTTON_RELEASE:
        case XCB_SELECTION_CLEAR:
            applyCoalesced();
            break;
        default:
            break;
    }
    if (Handler h = handlers[type]) (this->*h)(e);
}

void X11Platform::Impl::onError(xcb_generic_event_t* e) {
    auto* err = reinterpret_cast<xcb_generic_error_t*>(e);
    switch (err->error_code) {
        case XCB_WINDOW:
        case XCB_DRAWABLE:
        case XCB_MATCH:
        case XCB_PIXMAP:
            return;  // a window that went away between our request and the server
        default:
            log(format("X error %d on request %d.%d", err->error_code, err->major_code, err->minor_code));
    }
}

void X11Platform::Impl::onMapRequest(xcb_generic_event_t* e) {
    const xcb_window_t w = reinterpret_cast<xcb_map_request_event_t*>(e)->window;
    if (!wmOwner_.held()) return;
    if (Client* c = client(w)) {
        // ICCCM 4.1.4: a client maps its iconic window to restore it, which
        // whoever judges activations judges as the application's own request.
        if (!c->iconic) return;
        if (notifications_.takesActivations())
            notifications_.postActivation({AXElement::window(w), ActivationSource::Application, c->userTime});
        else
            activateWindow(w, XCB_CURRENT_TIME);
        return;
    }
    if (displays_.isDock(w)) {
        xcb_map_window(conn.raw(), w);
        return;
    }
    // Listen before reading, so that nothing the client sets in between is missed.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(conn.raw(), w, XCB_CW_EVENT_MASK, &mask);
    WindowProps props = readProps({w}).front();
    if (!props.exists) return;
    switch (props.type) {
        case WinType::Dock:
            manageDock(w, props);
            return;
        case WinType::Desktop:
        case WinType::Other:
            // Desktops, notifications and popups are shown as they ask, never managed.
            xcb_map_window(conn.raw(), w);
            return;
        default:
            if (props.overrideRedirect) {
                xcb_map_window(conn.raw(), w);
                return;
            }
            manage(w, std::move(props), false);
    }
}

void X11Platform::Impl::onConfigureRequest(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_configure_request_event_t*>(e);
    // A client resizing itself in a loop is heard once a turn, with what it asked for last.
    ConfigureAsk& ask = coalesced_.configure[ev->window];
    const uint16_t mask = ev->value_mask;
    if (mask & XCB_CONFIG_WINDOW_X) ask.x = ev->x;
    if (mask & XCB_CONFIG_WINDOW_Y) ask.y = ev->y;
    if (mask & XCB_CONFIG_WINDOW_WIDTH) ask.width = ev->width;
    if (mask & XCB_CONFIG_WINDOW_HEIGHT) ask.height = ev->height;
    if (mask & XCB_CONFIG_WINDOW_BORDER_WIDTH) ask.border = ev->border_width;
    if (mask & XCB_CONFIG_WINDOW_SIBLING) ask.sibling = ev->sibling;
    if (mask & XCB_CONFIG_WINDOW_STACK_MODE) ask.stackMode = ev->stack_mode;
    ask.mask |= mask;
}

void X11Platform::Impl::applyConfigure(xcb_window_t w, const ConfigureAsk& ask) {
    const uint16_t mask = ask.mask;
    Client* cl = client(w);
    if (!cl) {
        // Not ours to arrange (not mapped yet, a dock): exactly as asked.
        uint32_t values[7];
        int n = 0;
        if (mask & XCB_CONFIG_WINDOW_X) values[n++] = static_cast<uint32_t>(ask.x);
        if (mask & XCB_CONFIG_WINDOW_Y) values[n++] = static_cast<uint32_t>(ask.y);
        if (mask & XCB_CONFIG_WINDOW_WIDTH) values[n++] = ask.width;
        if (mask & XCB_CONFIG_WINDOW_HEIGHT) values[n++] = ask.height;
        if (mask & XCB_CONFIG_WINDOW_BORDER_WIDTH) values[n++] = ask.border;
        if (mask & XCB_CONFIG_WINDOW_SIBLING) values[n++] = ask.sibling;
        if (mask & XCB_CONFIG_WINDOW_STACK_MODE) values[n++] = ask.stackMode;
        xcb_configure_window(conn.raw(), w, mask, values);
        return;
    }
    if (isArranged(w) || cl->fullscreen) {
        // ICCCM 4.1.5: a refused request is answered with the current geometry.
        if (auto g = geometry(w)) frames_.sendSyntheticConfigure(w, *g);
        return;
    }
    moveResizeFloating(w, mask & XCB_CONFIG_WINDOW_X ? std::optional<int>(ask.x) : std::nullopt,
                       mask & XCB_CONFIG_WINDOW_Y ? std::optional<int>(ask.y) : std::nullopt,
                       mask & XCB_CONFIG_WINDOW_WIDTH ? std::optional<int>(ask.width) : std::nullopt,
                       mask & XCB_CONFIG_WINDOW_HEIGHT ? std::optional<int>(ask.height) : std::nullopt);
    if ((mask & XCB_CONFIG_WINDOW_STACK_MODE) && ask.stackMode == XCB_STACK_MODE_ABOVE) raise(w);
}

bool X11Platform::Impl::isArranged(xcb_window_t w) { return frames_.arranged(w); }

// A window nobody arranges goes where it asks, within its size hints; it
// always hears where it ended up (its real ConfigureNotify is frame-relative).
void X11Platform::Impl::moveResizeFloating(xcb_window_t w, std::optional<int> x, std::optional<int> y,
                                           std::optional<int> width, std::optional<int> height) {
    // A position asked for names a point of the frame, which our bar makes larger than the client.
    if (auto g = frames_.get(w); g && (x || y)) {
        const Point shift = gravityShift(g->hints.gravity, shownBar(*g));
        if (x) x = *x + static_cast<int>(std::lround(shift.x));
        if (y) y = *y + static_cast<int>(std::lround(shift.y));
    }
    if (auto r = frames_.moveResizeFloating(w, x, y, width, height)) frames_.sendSyntheticConfigure(w, *r);
    if (width || height) syncBar(w);
}

void X11Platform::Impl::onConfigureNotify(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_configure_notify_event_t*>(e);
    if (ev->window == conn.root()) {
        // Root resizes, and monitors changed with `xrandr --setmonitor`, come only this way.
        if (displays_.rootResized(ev->width, ev->height)) updateWorkarea();
        displays_.changed();
        return;
    }
    // A client's size is never read from here: we redirect its requests, so
    // every size it has is one we asked for and recorded in frames_ already, and
    // this event may be older than a size written since.
}

void X11Platform::Impl::onUnmapNotify(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_unmap_notify_event_t*>(e);
    const bool synthetic = e->response_type & 0x80;
    if (Client* c = client(ev->window)) {
        if (!synthetic && c->ignoreUnmaps > 0) {
            --c->ignoreUnmaps;
            return;
        }
        unmanage(ev->window, true);
    } else if (displays_.dropDock(ev->window)) {
        updateWorkarea();
        displays_.changed();
    }
}

void X11Platform::Impl::onDestroyNotify(xcb_generic_event_t* e) {
    const xcb_window_t w = reinterpret_cast<xcb_destroy_notify_event_t*>(e)->window;
    if (client(w)) {
        unmanage(w, false);
    } else if (displays_.dropDock(w)) {
        updateWorkarea();
        displays_.changed();
    }
}

void X11Platform::Impl::onClientMessage(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_client_message_event_t*>(e);
    const xcb_window_t w = ev->window;
    const uint32_t* d = ev->data.data32;
    if (barMessage(ev)) return;
    if (ev->format == 8 && (ev->type == a._NET_STARTUP_INFO_BEGIN || ev->type == a._NET_STARTUP_INFO))
        return onStartupInfo(*ev);
    if (ev->format == 32 && onDesktopMessage(*ev)) return;
    Client* c = client(w);
    if (!c || ev->format != 32) return;
    if (ev->type == a._NET_ACTIVE_WINDOW) {
        // Only the latest activation of a turn counts; time 0 is XCB_CURRENT_TIME.
        coalesced_.activate = Coalesced::Activate{w, d[1], d[0] == 2};
        return;
    }
    const bool onlyFullscreen = ev->type == a._NET_WM_STATE && d[1] == a._NET_WM_STATE_FULLSCREEN &&
                                (d[2] == XCB_ATOM_NONE || d[2] == a._NET_WM_STATE_FULLSCREEN);
    if (onlyFullscreen) {
        // Toggles of a turn add up to one state, which the turn's end applies.
        auto it = coalesced_.fullscreen.find(w);
        const bool now = it != coalesced_.fullscreen.end() ? it->second : c->fullscreen;
        coalesced_.fullscreen[w] = d[0] == 1 || (d[0] == 2 && !now);
        return;
    }
    applyCoalesced();
    c = client(w);
    if (!c) return;
    if (ev->type == a.WM_CHANGE_STATE) {
        if (d[0] == 3) iconify(w);  // IconicState
    } else if (ev->type == a._NET_WM_STATE) {
        const uint32_t action = d[0];  // 0 remove, 1 add, 2 toggle
        for (xcb_atom_t prop : {d[1], d[2]}) {
            if (prop == a._NET_WM_STATE_FULLSCREEN) {
                setFullscreen(w, action == 1 || (action == 2 && !c->fullscreen));
            } else if (prop == a._NET_WM_STATE_HIDDEN) {
                if (action == 1 || (action == 2 && !c->iconic)) iconify(w);
                else deiconify(w);
            } else if (prop == a._NET_WM_STATE_SKIP_TASKBAR) {
                c->skipTaskbar = action == 1 || (action == 2 && !c->skipTaskbar);
                writeNetState(*c);
            } else if (prop == a._NET_WM_STATE_SKIP_PAGER) {
                c->skipPager = action == 1 || (action == 2 && !c->skipPager);
                writeNetState(*c);
            } else if (prop == a._NET_WM_STATE_DEMANDS_ATTENTION) {
                const bool now = std::find(c->props.netState.begin(), c->props.netState.end(), prop) !=
                                 c->props.netState.end();
                setAttentionState(w, action == 1 || (action == 2 && !now));
            }
            c = client(w);
            if (!c) return;
        }
    } else if (ev->type == a._NET_CLOSE_WINDOW) {
        closeWindow(w);
    } else if (ev->type == a._NET_WM_MOVERESIZE) {
        // Directions 0-7 go clockwise from the top-left corner; the keyboard
        // variants (9, 10) are refused: nothing starts.
        constexpr uint32_t kMove = 8, kCancel = 11;
        constexpr int edgeX[] = {-1, 0, 1, 1, 1, 0, -1, -1}, edgeY[] = {-1, -1, -1, 0, 1, 1, 1, 0};
        const auto button = static_cast<uint8_t>(d[3] <= 3 ? d[3] : 0);
        if (d[2] == kMove) {
            startMove(w, static_cast<int32_t>(d[0]), static_cast<int32_t>(d[1]), true, 0, 0, button);
        } else if (d[2] < 8) {
            const bool arranged = isArranged(w);
            // An arranged column changes width only: its height and place are the strip's.
            const int ex = edgeX[d[2]], ey = arranged ? 0 : edgeY[d[2]];
            if (ex || ey) startMove(w, static_cast<int32_t>(d[0]), static_cast<int32_t>(d[1]), true, ex, ey, button);
        } else if (d[2] == kCancel && move_) {
            endMove();
        }
    } else if (ev->type == a._NET_MOVERESIZE_WINDOW) {
        // Pagers and clients placing a window programmatically: as a ConfigureRequest would.
        const bool arranged = isArranged(w);
        if (arranged || c->fullscreen) return;
        const uint32_t flags = d[0] >> 8;
        auto field = [&](int bit, int idx) {
            return (flags & (1u << bit)) ? std::optional<int>(static_cast<int32_t>(d[idx])) : std::nullopt;
        };
        moveResizeFloating(w, field(0, 1), field(1, 2), field(2, 3), field(3, 4));
    }
}

void X11Platform::Impl::onStartupInfo(const xcb_client_message_event_t& ev) {
    std::array<char, 20> bytes;
    std::memcpy(bytes.data(), ev.data.data8, bytes.size());
    auto text = startup_.feed(ev.window, ev.type == a._NET_STARTUP_INFO_BEGIN, bytes);
    auto m = text ? x11::parseStartupMessage(*text) : std::nullopt;
    if (!m || m->kind != "new") return;
    if (auto id = m->keys.find("ID"); id != m->keys.end() && !id->second.empty()) notifications_.postLaunch(id->second);
}

void X11Platform::Impl::onPropertyNotify(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_property_notify_event_t*>(e);
    if (ev->window == own_.id()) return;  // a barrier whose waiter has given up
    if (ev->window == conn.root()) {
        if (ev->atom == a.RESOURCE_MANAGER) displays_.changed();
        if (ev->atom == a._NET_DESKTOP_NAMES) desktopNamesChanged();
        return;
    }
    if (Client* c = client(ev->window)) {
        refreshProp(*c, ev->atom);
        return;
    }
    if (auto it = userTimeWindows_.find(ev->window); it != userTimeWindows_.end()) {
        const xcb_window_t w = it->second;
        if (ev->atom != a._NET_WM_USER_TIME) return;
        if (auto v = conn.property(ev->window, ev->atom, 1).cardinals(); !v.empty()) noteUserTime(w, v[0], false);
        return;
    }
    if (displays_.isDock(ev->window) && (ev->atom == a._NET_WM_STRUT || ev->atom == a._NET_WM_STRUT_PARTIAL)) {
        displays_.setDock(ev->window, readProps({ev->window}).front().strut);
        updateWorkarea();
        displays_.changed();
    }
}

void X11Platform::Impl::onButtonPress(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_button_press_event_t*>(e);
    xcb_connection_t* c = conn.raw();
    if (barPress(ev)) return;
    if (!client(ev->event)) {
        xcb_allow_events(c, XCB_ALLOW_REPLAY_POINTER, ev->time);
        return;
    }
    if ((ev->detail == 1 || ev->detail == 3) && (ev->state & XCB_MOD_MASK_1)) {
        // Alt+drag moves, Alt+right-drag resizes from the nearest corner: the
        // passive grab is already ours; keep it. The window dragged is the one
        // the user works with, as with a plain click.
        activateWindow(ev->event, ev->time);
        int ex = 0, ey = 0;
        if (ev->detail == 3) {
            if (auto g = geometry(ev->event)) {
                const bool arranged = isArranged(ev->event);
                ex = ev->root_x < g->midX() ? -1 : 1;
                ey = arranged ? 0 : (ev->root_y < g->midY() ? -1 : 1);
            }
        }
        startMove(ev->event, ev->root_x, ev->root_y, false, ex, ey, ev->detail);
        if (move_) {
            // The window saw Alt go down and would see it come up alone, which
            // opens a menu bar (Firefox, GTK): holding the keyboard for the drag
            // is a focus change to it (FocusOut NotifyGrab, FocusIn
            // NotifyUngrab at the end), which interrupts the Alt press.
            pointer_.holdKeyboard(ev->time);
            move_->keyboard = true;
        }
        xcb_allow_events(c, XCB_ALLOW_ASYNC_POINTER, ev->time);
        return;
    }
    // Click to focus, and the click still reaches the window.
    noteUserTime(ev->event, ev->time, true);
    if (ev->detail <= 3) pointer_.clicked(ev->detail);
    activateWindow(ev->event, ev->time);
    xcb_allow_events(c, XCB_ALLOW_REPLAY_POINTER, ev->time);
}

void X11Platform::Impl::onMotionNotify(xcb_generic_event_t* e) {
    // Motion under our own pointer grabs (a move, a click) comes this way too.
    pointer_.moved();
    if (!move_) return;
    auto* ev = reinterpret_cast<xcb_motion_notify_event_t*>(e);
    const Rect r = move_->follow(ev->root_x, ev->root_y);
    if (move_->resize()) {
        resizeTo(move_->win, r, move_->resizeX, move_->resizeY);
    } else {
        writePosition(move_->win, r.origin());
        notifications_.postDrag(AXElement::window(move_->win), true);
    }
}

void X11Platform::Impl::onButtonRelease(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_button_release_event_t*>(e);
    if (barRelease(ev)) return;
    if (!move_ || ev->detail != move_->button) return;
    endMove();
    mouseUp(ev->time, false);
}

void X11Platform::Impl::onFocusIn(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_focus_in_event_t*>(e);
    if (ev->mode == XCB_NOTIFY_MODE_GRAB || ev->mode == XCB_NOTIFY_MODE_UNGRAB) return;
    if (ev->detail == XCB_NOTIFY_DETAIL_POINTER) return;
    // A focus change the server made before it saw our latest request is
    // already overruled by it: heard late (the queue behind a flood, a busy
    // start), it would otherwise take the focus back from where we just put it.
    if (!focus_.current(e->full_sequence)) return;
    if (client(ev->event)) noteFocus(ev->event);
}

void X11Platform::Impl::onShapeNotify(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_shape_notify_event_t*>(e);
    if (ev->shape_kind == XCB_SHAPE_SK_CLIP || !client(ev->affected_window)) return;
    frames_.shapeChanged(ev->affected_window, ev->shape_kind, ev->shaped);
    syncBar(ev->affected_window);
}

// One release can arrive twice: see pointer_input.h.
void X11Platform::Impl::mouseUp(xcb_timestamp_t time, bool raw) {
    if (pointer_.released(time, raw)) notifications_.postMouseUp();
}

void X11Platform::Impl::onRandr(xcb_generic_event_t*) { displays_.changed(); }

void X11Platform::Impl::onGeneric(xcb_generic_event_t* e) {
    auto* ge = reinterpret_cast<xcb_ge_generic_event_t*>(e);
    if (xinputOpcode < 0 || ge->extension != xinputOpcode) return;
    if (ge->event_type == XCB_INPUT_RAW_MOTION) return pointer_.moved();
    if (ge->event_type != XCB_INPUT_RAW_BUTTON_RELEASE) return;
    auto* raw = reinterpret_cast<xcb_input_raw_button_release_event_t*>(e);
    if (raw->detail <= 3) pointer_.buttonUp(static_cast<uint8_t>(raw->detail));
    if (raw->detail == 1) mouseUp(raw->time, true);
}

}  // namespace tarvela

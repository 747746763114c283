// Desktops on X11, as EWMH pagers and taskbars read and ask for them.
//
// A window of a desktop not shown keeps its client mapped inside its frame
// and only the frame is unmapped, where the strip last put it: every frame
// overlaps its monitor (a column scrolled away sits on a 1x1 spot inside its
// display, its client as far inside as its size allows). Should Tarvela die
// without a word, the server's save-set reparents each client to the root
// where it is, and a mapped client of an unmapped frame is viewable at once:
// no window is lost on a hidden desktop.
#include <algorithm>

#include "core/text.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

namespace {
constexpr uint32_t kEveryDesktop = 0xFFFFFFFF;
uint32_t wireDesktop(int d) { return d == kAllDesktops ? kEveryDesktop : static_cast<uint32_t>(d); }
}  // namespace

bool X11Platform::Impl::shownOnDesktop(const Client& c) const {
    return c.desktop == kAllDesktops || c.desktop == desktops_.current;
}

int X11Platform::Impl::openingDesktop(const Client& c) {
    if (isOwn(c)) return kAllDesktops;
    // Dialogs and tools go with the window they belong to.
    if (const Client* parent = client(c.props.transientFor)) return parent->desktop;
    if (c.props.desktop) {
        if (*c.props.desktop == kEveryDesktop) return kAllDesktops;
        if (*c.props.desktop < static_cast<uint32_t>(desktops_.count)) return static_cast<int>(*c.props.desktop);
    }
    return desktops_.current;
}

std::optional<int> X11Platform::Impl::askedDesktop(const Client& c) {
    if (!c.props.desktop || isOwn(c) || client(c.props.transientFor)) return std::nullopt;
    if (*c.props.desktop == kEveryDesktop) return kAllDesktops;
    return static_cast<int>(std::min<uint32_t>(*c.props.desktop, 1000));
}

void X11Platform::Impl::showByDesktop(Client& c) {
    const bool off = !shownOnDesktop(c);
    if (off == c.offDesktop) return;
    c.offDesktop = off;
    // An iconic window stays unmapped either way; its frame follows when it comes back.
    if (!c.iconic) {
        if (off)
            xcb_unmap_window(conn.raw(), c.frame);
        else
            xcb_map_window(conn.raw(), c.frame);
    }
    writeNetState(c);
}

void X11Platform::Impl::publishDesktops(const DesktopSet& set) {
    if (set.count < 1) return;
    desktops_ = set;
    desktops_.current = std::clamp(set.current, 0, set.count - 1);
    desktops_.names.resize(static_cast<size_t>(set.count));
    writeDesktopProps();
    // What appears first, then what goes: the screen never shows an empty desktop in between.
    for (bool showing : {true, false})
        for (auto& [w, c] : clients_)
            if (shownOnDesktop(c) == showing) showByDesktop(c);
    // Whoever switched focuses the new desktop's window in the same turn; only
    // a focus still left on a hidden window falls back, at the turn's end.
    loop.post(life.guard([this] {
        if (const Client* f = client(focus_.window()); f && f->offDesktop) focusFallback();
    }));
    xcb_flush(conn.raw());
}

void X11Platform::Impl::writeDesktopProps() {
    if (!wmOwner_.held()) return;
    const xcb_window_t root = conn.root();
    conn.setCardinals(root, a._NET_NUMBER_OF_DESKTOPS, XCB_ATOM_CARDINAL, {static_cast<uint32_t>(desktops_.count)});
    conn.setCardinals(root, a._NET_CURRENT_DESKTOP, XCB_ATOM_CARDINAL, {static_cast<uint32_t>(desktops_.current)});
    conn.setCardinals(root, a._NET_DESKTOP_VIEWPORT, XCB_ATOM_CARDINAL,
                      std::vector<uint32_t>(2 * static_cast<size_t>(desktops_.count), 0));
    std::string names;
    for (const std::string& n : desktops_.names) names += n + '\0';
    xcb_change_property(conn.raw(), XCB_PROP_MODE_REPLACE, root, a._NET_DESKTOP_NAMES, a.UTF8_STRING, 8,
                        static_cast<uint32_t>(names.size()), names.data());
    publishedNames_ = desktops_.names;
}

void X11Platform::Impl::setWindowDesktop(xcb_window_t w, int desktop) {
    Client* c = client(w);
    // A desktop beyond the count waits for the count to grow, hidden.
    if (!c || (desktop != kAllDesktops && desktop < 0)) return;
    c->desktop = desktop;
    c->asked.reset();
    conn.setCardinals(w, a._NET_WM_DESKTOP, XCB_ATOM_CARDINAL, {wireDesktop(desktop)});
    showByDesktop(*c);
    // Its dialogs and tools go along.
    for (auto& [t, other] : clients_)
        if (other.props.transientFor == w && other.desktop != desktop) setWindowDesktop(t, desktop);
    if (c->offDesktop && focus_.window() == w) focusFallback();
}

void X11Platform::Impl::requestDesktop(const DesktopRequest& req) {
    if (notifications_.takesDesktopRequests()) {
        notifications_.postDesktopRequest(req);
        return;
    }
    // Nobody arranges desktops: do as asked.
    switch (req.kind) {
        case DesktopRequest::Kind::Show: {
            DesktopSet set = desktops_;
            set.current = req.desktop;
            if (req.desktop >= 0 && req.desktop < set.count) publishDesktops(set);
            break;
        }
        case DesktopRequest::Kind::MoveWindow:
            setWindowDesktop(static_cast<xcb_window_t>(req.window.id), req.desktop);
            break;
        case DesktopRequest::Kind::Rename: {
            DesktopSet set = desktops_;
            for (size_t i = 0; i < set.names.size() && i < req.names.size(); ++i) set.names[i] = req.names[i];
            publishDesktops(set);
            break;
        }
        case DesktopRequest::Kind::Sticky:
            setWindowDesktop(static_cast<xcb_window_t>(req.window.id), req.sticky ? kAllDesktops : desktops_.current);
            break;
        case DesktopRequest::Kind::Count: {
            DesktopSet set = desktops_;
            set.count = std::max(req.desktop, 1);
            publishDesktops(set);
            break;
        }
    }
}

bool X11Platform::Impl::onDesktopMessage(const xcb_client_message_event_t& ev) {
    const uint32_t* d = ev.data.data32;
    if (ev.type == a._NET_CURRENT_DESKTOP && ev.window == conn.root()) {
        requestDesktop({DesktopRequest::Kind::Show, static_cast<int>(d[0]), {}, {}, false});
        return true;
    }
    if (ev.type == a._NET_NUMBER_OF_DESKTOPS && ev.window == conn.root()) {
        requestDesktop({DesktopRequest::Kind::Count, static_cast<int>(std::min<uint32_t>(d[0], 1000)), {}, {}, false});
        return true;
    }
    const Client* c = client(ev.window);
    if (!c) return false;
    if (ev.type == a._NET_WM_DESKTOP) {
        const int to = d[0] == kEveryDesktop ? kAllDesktops : static_cast<int>(std::min<uint32_t>(d[0], 1000));
        requestDesktop({DesktopRequest::Kind::MoveWindow, to, AXElement::window(ev.window), {}, false});
        return true;
    }
    if (ev.type == a._NET_WM_STATE && (d[1] == a._NET_WM_STATE_STICKY || d[2] == a._NET_WM_STATE_STICKY)) {
        const bool now = c->desktop == kAllDesktops;
        const bool want = d[0] == 1 || (d[0] == 2 && !now);
        requestDesktop({DesktopRequest::Kind::Sticky, 0, AXElement::window(ev.window), {}, want});
        // Whatever else the message asks is handled as before.
        return d[1] == a._NET_WM_STATE_STICKY && (d[2] == XCB_ATOM_NONE || d[2] == a._NET_WM_STATE_STICKY);
    }
    return false;
}

// A pager renames desktops by writing the root property itself.
void X11Platform::Impl::desktopNamesChanged() {
    const Property p = conn.property(conn.root(), a._NET_DESKTOP_NAMES);
    std::vector<std::string> names;
    std::string cur;
    for (uint8_t ch : p.data) {
        if (ch == 0) {
            names.push_back(cleanText(cur));
            cur.clear();
        } else {
            cur += static_cast<char>(ch);
        }
    }
    if (!cur.empty()) names.push_back(cleanText(cur));
    if (names.empty() || names == publishedNames_) return;
    publishedNames_ = names;
    requestDesktop({DesktopRequest::Kind::Rename, 0, {}, names, false});
}

void X11Platform::publishDesktops(const DesktopSet& set) { d_->publishDesktops(set); }

void X11Platform::setWindowDesktop(const AXElement& window, int desktop) {
    if (window.isWindow()) d_->setWindowDesktop(static_cast<xcb_window_t>(window.id), desktop);
}

SubscriptionRef X11Platform::addDesktopMonitor(DesktopHandler handler) {
    return d_->notifications_.onDesktopRequest(std::move(handler));
}

}  // namespace tarvela

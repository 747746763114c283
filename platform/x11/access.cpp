// The accessibility vocabulary on X11: attribute reads and writes and actions
// on window and application elements. Only windows we manage can be read; a
// closed window's element stays a valid handle whose reads fail.
#include <algorithm>

#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

std::string X11Platform::Impl::subrole(const Client& c) const {
    switch (c.props.type) {
        case WinType::Normal: return std::string(ax::StandardWindow);
        case WinType::Untyped:
            // EWMH: an untyped transient is a dialog, and so is one for its whole group.
            return c.props.transientFor != XCB_NONE || (c.props.transientForGroup && c.props.group != XCB_NONE)
                       ? std::string(ax::Dialog)
                       : std::string(ax::StandardWindow);
        case WinType::Dialog: return std::string(ax::Dialog);
        case WinType::Utility:
        case WinType::Toolbar:
        case WinType::Menu: return "AXFloatingWindow";
        case WinType::Splash: return "AXSplash";
        default: return "AXUnknown";
    }
}

std::vector<AXElement> X11Platform::Impl::windowsOf(int32_t pid) const {
    std::vector<const Client*> mine;
    for (auto& [w, c] : clients_)
        if (c.props.pid == pid) mine.push_back(&c);
    std::sort(mine.begin(), mine.end(), [](const Client* x, const Client* y) { return x->seq < y->seq; });
    std::vector<AXElement> out;
    for (const Client* c : mine) out.push_back(AXElement::window(c->win));
    return out;
}

std::optional<xcb_window_t> X11Platform::Impl::focusedWindowOf(int32_t pid) const {
    const xcb_window_t f = focus_.window();
    if (const Client* c = clients_.find(f); c && c->props.pid == pid) return f;
    const Client* best = nullptr;
    for (auto& [w, c] : clients_)
        if (c.props.pid == pid && c.focusSeq > 0 && (!best || c.focusSeq > best->focusSeq)) best = &c;
    if (best) return best->win;
    // Never focused yet: the one on top, as the application's key window would be.
    for (auto it = clients_.stacking().rbegin(); it != clients_.stacking().rend(); ++it) {
        const Client& c = clients_.at(*it);
        if (c.props.pid == pid && !c.iconic) return c.win;
    }
    return std::nullopt;
}

std::optional<AttrValue> X11Platform::Impl::copyAttribute(const AXElement& el, std::string_view name) {
    if (el.kind == AXElement::Kind::Application) {
        const int32_t pid = static_cast<int32_t>(el.id);
        auto windows = windowsOf(pid);
        if (windows.empty()) return std::nullopt;  // no such application on this display
        if (name == ax::Windows) return AttrValue(std::move(windows));
        if (name == ax::FocusedWindow) {
            if (auto w = focusedWindowOf(pid)) return AttrValue(AXElement::window(*w));
            return std::nullopt;
        }
        if (name == ax::Title) {
            if (auto app = appInfo(pid); app && app->localizedName) return AttrValue(*app->localizedName);
        }
        return std::nullopt;  // "AXEnhancedUserInterface" has no counterpart here
    }
    if (!el.isWindow()) return std::nullopt;
    const xcb_window_t w = static_cast<xcb_window_t>(el.id);
    const Client* c = client(w);
    if (!c) return std::nullopt;
    if (name == ax::Position || name == ax::SizeAttr) {
        auto g = geometry(w);
        if (!g) return std::nullopt;
        if (name == ax::Position) return AttrValue(g->origin());
        return AttrValue(g->size());
    }
    if (name == ax::SizeIncrement) {
        // WM_NORMAL_HINTS increments: a terminal snaps to its character cells.
        const x11::SizeHints& h = c->props.hints;
        if (h.incW <= 1 && h.incH <= 1) return std::nullopt;
        return AttrValue(Size{static_cast<double>(std::max(h.incW, 1)), static_cast<double>(std::max(h.incH, 1))});
    }
    if (name == ax::Subrole) return AttrValue(subrole(*c));
    if (name == ax::Minimized) return AttrValue(c->iconic);
    if (name == ax::FullScreen) return AttrValue(c->fullscreen);
    if (name == ax::Main) return AttrValue(c->isMain);
    if (name == ax::Title) return AttrValue(c->props.title);
    if (name == "AXRole") return AttrValue(std::string("AXWindow"));
    if (name == "AXFocused") return AttrValue(focus_.window() == w);
    if (name == ax::DemandsAttention) return AttrValue(c->attention);
    if (name == ax::UserTime) return c->userTime ? std::optional<AttrValue>(*c->userTime) : std::nullopt;
    if (name == ax::StartupId) {
        auto id = startupId(*c);
        return id ? std::optional<AttrValue>(std::move(*id)) : std::nullopt;
    }
    if (name == ax::Desktop) return AttrValue(static_cast<int64_t>(c->asked.value_or(c->desktop)));
    return std::nullopt;
}

bool X11Platform::Impl::setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) {
    if (el.kind == AXElement::Kind::Application) {
        if (name == "AXFrontmost" && std::get_if<bool>(&value) && std::get<bool>(value))
            return activate(static_cast<int32_t>(el.id));
        return false;
    }
    if (!el.isWindow()) return false;
    const xcb_window_t w = static_cast<xcb_window_t>(el.id);
    // Position writes come from the animation's threads: they touch frames_ only.
    if (name == ax::Position) {
        auto* p = std::get_if<Point>(&value);
        return p && writePosition(w, *p);
    }
    if (name == ax::SizeAttr) {
        auto* s = std::get_if<Size>(&value);
        return s && writeSize(w, *s);
    }
    Client* c = client(w);
    auto* flag = std::get_if<bool>(&value);
    if (!c || !flag) return false;
    if (name == ax::Minimized) {
        if (*flag) {
            iconify(w);
        } else {
            deiconify(w);
            focusClient(w, XCB_CURRENT_TIME);
        }
        return true;
    }
    if (name == ax::FullScreen) {
        setFullscreen(w, *flag);
        return true;
    }
    if (name == ax::DemandsAttention) {
        setAttentionState(w, *flag);
        return true;
    }
    if (name == ax::Main) {
        if (!*flag) {
            c->isMain = false;
            return true;
        }
        for (auto& [other, oc] : clients_)
            if (oc.props.pid == c->props.pid) oc.isMain = other == w;
        // The main window of the active application is the one with the keyboard.
        if (c->props.pid == focus_.activePid()) focusClient(w, XCB_CURRENT_TIME);
        return true;
    }
    if (name == "AXFocused" && *flag) {
        activateWindow(w, XCB_CURRENT_TIME);
        return true;
    }
    return false;
}

bool X11Platform::Impl::performAction(const AXElement& el, std::string_view action) {
    if (!el.isWindow()) return false;
    const xcb_window_t w = static_cast<xcb_window_t>(el.id);
    if (action == ax::Close && client(w)) {
        closeWindow(w);
        xcb_flush(conn.raw());
        return true;
    }
    if (action != ax::Raise) return false;
    Client* c = client(w);
    if (!c || c->iconic) return false;
    raise(w);
    if (Client* after = client(w); after && after->props.pid == focus_.activePid()) focusClient(w, XCB_CURRENT_TIME);
    xcb_flush(conn.raw());
    return true;
}

}  // namespace tarvela

// Desktops: every desktop keeps a strip per display, so switching shows the
// columns, widths, focus and scroll position the user left, with no rebuild
// and no slide. The platform hides and shows; the manager only says which
// desktop each window is on and which one is shown.
#include <algorithm>

#include "core/log.h"
#include "core/window_access.h"
#include "manager/window_manager.h"
#include "settings/pref_ranges.h"

namespace tarvela {

std::vector<StripRef> WindowManager::stripsOf(int d) const {
    if (d == desktop()) return strips();
    if (d < 0 || static_cast<size_t>(d) >= parked_.size()) return {};
    return parked_[static_cast<size_t>(d)];
}

std::vector<StripRef> WindowManager::allStrips() const {
    std::vector<StripRef> out = strips();
    for (const auto& set : parked_) out.insert(out.end(), set.begin(), set.end());
    return out;
}

int WindowManager::stripDesktop(const AXElement& el) const {
    for (const StripRef& s : strips())
        if (s->find(el)) return desktop();
    for (size_t d = 0; d < parked_.size(); ++d)
        for (const StripRef& s : parked_[d])
            if (s->find(el)) return static_cast<int>(d);
    return -1;
}

int WindowManager::windowCount(int d) const {
    int n = 0;
    for (const StripRef& s : stripsOf(d))
        for (const Col& c : s->cols) n += static_cast<int>(c.items.size());
    for (const AXElement& el : floating) {
        auto f = floatDesk_.find(el);
        if ((f == floatDesk_.end() ? desktop() : f->second) == d) ++n;
    }
    return n;
}

int WindowManager::desktopFor(const AXElement& el) const {
    // A window that asked for a desktop before it opened (a restored
    // session), or kept one from an earlier run, goes back to it.
    const int64_t asked = attr<int64_t>(platform_, el, ax::Desktop).value_or(desktop());
    return asked >= 0 && asked < desktopCount() ? static_cast<int>(asked) : desktop();
}

bool WindowManager::onDesktop(const AXElement& el, int d) const {
    if (const int tiled = stripDesktop(el); tiled >= 0) return tiled == d;
    auto f = floatDesk_.find(el);
    const int64_t at = f != floatDesk_.end() ? f->second : attr<int64_t>(platform_, el, ax::Desktop).value_or(desktop());
    return at == d || at == kAllDesktops;
}

void WindowManager::publishDesktops() {
    platform_.publishDesktops(DesktopSet{desktopCount(), desktop(), desktopNames()});
}

void WindowManager::assignDesktops() {
    for (int d = 0; d < desktopCount(); ++d)
        for (const StripRef& s : stripsOf(d))
            for (const Col& c : s->cols)
                for (const Item& it : c.items) platform_.setWindowDesktop(it.el, d);
    for (const AXElement& el : floating) {
        auto f = floatDesk_.find(el);
        platform_.setWindowDesktop(el, f == floatDesk_.end() ? desktop() : f->second);
    }
}

void WindowManager::showDesktop(int d) {
    if (d < 0 || d >= desktopCount() || d == desktop()) return;
    const int from = desktop();
    if (parked_.size() < static_cast<size_t>(desktopCount())) parked_.resize(static_cast<size_t>(desktopCount()));
    std::vector<StripRef> leaving = strips();
    for (const StripRef& s : leaving) s->cancelAnim();
    std::vector<StripRef> coming = std::move(parked_[static_cast<size_t>(d)]);
    parked_[static_cast<size_t>(d)].clear();
    parked_[static_cast<size_t>(from)] = std::move(leaving);
    deskDisplay_[from] = displayIdx();
    desktop.value_ = d;  // announced below, once the strips are in place
    strips.set(std::move(coming));
    if (auto back = deskDisplay_.find(d); back != deskDisplay_.end() && back->second < static_cast<int>(strips().size()))
        displayIdx.set(back->second);
    publishDesktops();
    desktop.changed.emit(d);
    changed.emit();
    log("desktop " + std::to_string(d + 1) + " shown");
    // The focus goes to the window that had it here: a floating window or a
    // dialog as it was left, else the strip's focused column, the strip being
    // already where the user left it, so nothing slides.
    if (acting()) {
        std::optional<AXElement> to;
        auto back = deskFocus_.find(d);
        if (back != deskFocus_.end() && stripDesktop(back->second) < 0 && onDesktop(back->second, d) &&
            attr<Point>(platform_, back->second, ax::Position))
            to = back->second;
        else if (StripRef s = cur())
            if (const Item* it = s->focusedItem()) to = it->el;
        if (to) {
            if (auto pid = platform_.pidOf(*to); pid && platform_.runningApplication(*pid)) platform_.activate(*pid);
            platform_.performAction(*to, ax::Raise);
            platform_.setAttribute(*to, ax::Main, true);
        }
    }
    desktopsChanged.emit("switched");
    feedback_.updateDim();
}

void WindowManager::moveWindowToDesktop(const AXElement& el, int d) {
    if (d == kAllDesktops) {
        setSticky(el, true);
        return;
    }
    if (d < 0 || d >= desktopCount()) return;
    if (std::find(floating.begin(), floating.end(), el) != floating.end()) {
        floatDesk_[el] = d;
        platform_.setWindowDesktop(el, d);
        changed.emit();
        return;
    }
    const int from = stripDesktop(el);
    if (from < 0) {
        // A dialog, or a window not yet judged: it goes alone, and joins a strip there.
        platform_.setWindowDesktop(el, d);
        return;
    }
    if (from == d) return;
    for (const StripRef& s : stripsOf(from)) {
        auto at = s->find(el);
        if (!at) continue;
        const double frac = s->cols[static_cast<size_t>(at->first)].frac;
        auto item = s->remove(el);
        if (!item) return;
        const std::vector<StripRef> to = stripsOf(d);
        if (to.empty()) return;
        StripRef t = to[static_cast<size_t>(std::min(s->index, static_cast<int>(to.size()) - 1))];
        t->add(std::move(*item), d == desktop(), Strip::Place{t->cols.empty() ? 0 : t->focusC + 1, std::nullopt, frac});
        platform_.setWindowDesktop(el, d);
        return;
    }
}

void WindowManager::sendToDesktop(int d, bool column) {
    if (!acting() || d < 0 || d >= desktopCount() || d == desktop()) return;
    StripRef s = cur();
    const Item* focused = s ? s->focusedItem() : nullptr;
    if (!focused) {
        // A floating window goes alone.
        if (auto w = frontWindow()) moveWindowToDesktop(*w, d);
        return;
    }
    const Col col = s->cols[static_cast<size_t>(s->focusC)];
    const std::vector<StripRef> to = stripsOf(d);
    if (to.empty()) return;
    StripRef t = to[static_cast<size_t>(std::min(s->index, static_cast<int>(to.size()) - 1))];
    const int at = t->cols.empty() ? 0 : t->focusC + 1;
    const std::string app = focused->app;
    std::vector<Item> moving;
    if (column) {
        for (const Item& it : col.items)
            if (auto item = s->remove(it.el)) moving.push_back(std::move(*item));
    } else if (auto item = s->remove(focused->el)) {
        moving.push_back(std::move(*item));
    }
    for (size_t r = 0; r < moving.size(); ++r) {
        const AXElement el = moving[r].el;
        t->add(std::move(moving[r]), false,
               Strip::Place{at, r ? std::optional(static_cast<int>(r)) : std::nullopt, col.frac});
        platform_.setWindowDesktop(el, d);
    }
    // The focus stays on this desktop, on the column that closed the gap.
    if (s->focusedItem()) s->raise(s->focusC, s->focusR);
    const std::string name = desktopNames()[static_cast<size_t>(d)];
    note.set("Sent " + (column && moving.size() > 1 ? "a column" : app) + " to " +
             (name == std::to_string(d + 1) ? "desktop " + name : name));
}

// The preference's observer announces the new names.
void WindowManager::renameDesktops(const std::vector<std::string>& names) { prefs.setDesktopNames(names); }

void WindowManager::renameDesktop(int d, const std::string& name) {
    std::vector<std::string> names = desktopNames();
    if (d < 0 || static_cast<size_t>(d) >= names.size() || names[static_cast<size_t>(d)] == name) return;
    names[static_cast<size_t>(d)] = name;
    renameDesktops(names);
}

void WindowManager::watchDesktopPrefs() {
    desktopPrefs_.push_back(prefs.desktops.changed.connect(life_.guard([this](const int&) { desktopCountChanged(); })));
    desktopPrefs_.push_back(prefs.desktopNames.changed.connect(life_.guard([this](const std::string&) {
        publishDesktops();
        changed.emit();
        desktopsChanged.emit("renamed");
    })));
}

void WindowManager::desktopCountChanged() {
    const int count = desktopCount();
    // The windows of desktops that are gone join the last one that stays.
    for (size_t d = static_cast<size_t>(count); d < parked_.size(); ++d)
        for (const StripRef& s : parked_[d])
            for (const Col& c : std::vector<Col>(s->cols))
                for (const Item& it : c.items) moveWindowToDesktop(it.el, count - 1);
    if (desktop() >= count) {
        // Its windows went to the last desktop that stays: shown next.
        for (const StripRef& s : strips())
            for (const Col& c : std::vector<Col>(s->cols))
                for (const Item& it : c.items) moveWindowToDesktop(it.el, count - 1);
        showDesktop(count - 1);
    }
    for (auto& [el, d] : floatDesk_)
        if (d >= count) {
            d = count - 1;
            platform_.setWindowDesktop(el, d);
        }
    if (on()) {
        if (parked_.size() > static_cast<size_t>(count)) {
            for (size_t d = static_cast<size_t>(count); d < parked_.size(); ++d)
                for (const StripRef& s : parked_[d]) shutDown(*s);
            parked_.resize(static_cast<size_t>(count));
        }
        const std::vector<Screen> screens = platform_.screens();
        parked_.resize(static_cast<size_t>(count));
        for (int d = 0; d < count; ++d)
            if (d != desktop() && parked_[static_cast<size_t>(d)].empty()) {
                parked_[static_cast<size_t>(d)] = makeStrips(screens);
                for (const StripRef& s : parked_[static_cast<size_t>(d)]) s->start({}, prefs.layout());
            }
    }
    publishDesktops();
    changed.emit();
    desktopsChanged.emit("count");
}

void WindowManager::setSticky(const AXElement& el, bool sticky) {
    // A tiled window has a column on one desktop: only others can be everywhere.
    if (stripDesktop(el) >= 0 || isSticky(el) == sticky) return;
    const int d = sticky ? kAllDesktops : desktop();
    if (std::find(floating.begin(), floating.end(), el) != floating.end()) floatDesk_[el] = d;
    platform_.setWindowDesktop(el, d);
    changed.emit();
}

bool WindowManager::isSticky(const AXElement& el) const {
    auto f = floatDesk_.find(el);
    if (f != floatDesk_.end()) return f->second == kAllDesktops;
    return attr<int64_t>(platform_, el, ax::Desktop) == int64_t{kAllDesktops};
}

void WindowManager::desktopRequested(const DesktopRequest& req) {
    switch (req.kind) {
        case DesktopRequest::Kind::Show: showDesktop(req.desktop); break;
        case DesktopRequest::Kind::MoveWindow:
            if (on()) moveWindowToDesktop(req.window, req.desktop);
            break;
        case DesktopRequest::Kind::Rename: renameDesktops(req.names); break;
        case DesktopRequest::Kind::Sticky: setSticky(req.window, req.sticky); break;
        // A pager adding or removing desktops changes the preference, as the settings would.
        case DesktopRequest::Kind::Count: prefs.desktops.set(pref_range::desktops.clamp(req.desktop)); break;
    }
}

}  // namespace tarvela

// Where windows go: the placement memory that carries the arrangement across
// rebuilds, floating a window out of the strips and back, sending a window to
// the next display, and the one way in for everything that acts on windows.
#include <algorithm>
#include <map>

#include "core/window_access.h"
#include "manager/actions.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {
constexpr size_t memoryLimit = 400;
constexpr double floatMaxW = 900;
constexpr double floatMaxH = 640;
}  // namespace

// ---- memory ----

void WindowManager::remember(const Strip& strip) {
    ++memoGen_;
    for (size_t c = 0; c < strip.cols.size(); ++c) {
        const Col& col = strip.cols[c];
        for (size_t r = 0; r < col.items.size(); ++r) {
            auto n = windowNumber(platform_, col.items[r].el);
            if (!n) continue;
            memory[*n] = Memo{static_cast<int>(c), static_cast<int>(r), col.frac, memoGen_, col.items.size() > 1};
        }
    }
    if (memory.size() > memoryLimit) {
        // No ages are kept: forgetting a random half is cheap and bounds the memory.
        std::bernoulli_distribution keep(0.5);
        std::erase_if(memory, [&](const auto&) { return !keep(rng_); });
    }
}

// ---- launches ----

void WindowManager::noteLaunch(const std::string& startupId) {
    StripRef s = cur();
    if (startupId.empty() || !s) return;
    const Item* focused = s->focusedItem();
    launches_.record({startupId, s->screen.id, focused ? std::optional(focused->el) : std::nullopt, main_.now()});
}

std::optional<std::pair<StripRef, int>> WindowManager::launchPlace(const AXElement& el) {
    auto id = attr<std::string>(platform_, el, ax::StartupId);
    auto launch = id ? launches_.take(*id, main_.now()) : std::nullopt;
    if (!launch) return std::nullopt;
    // Beside the window focused at launch, wherever it went since; without
    // it, beside the focused column of the display the launch came from.
    if (launch->beside)
        for (const StripRef& s : strips())
            if (auto at = s->find(*launch->beside)) return std::pair(s, at->first + 1);
    for (const StripRef& s : strips())
        if (s->screen.id == launch->screenId)
            return std::pair(s, s->cols.empty() ? 0 : std::min(s->focusC + 1, static_cast<int>(s->cols.size())));
    return std::nullopt;
}

std::vector<Col> WindowManager::recall(const Strip& strip, const std::vector<Item>& items) {
    struct Entry {
        int row;
        size_t order;
        Item item;
        double frac;
        uint64_t gen;
    };
    std::map<int, std::vector<Entry>> groups;
    std::vector<Item> fresh;
    size_t order = 0;
    for (const Item& it : items) {
        auto n = windowNumber(platform_, it.el);
        auto m = n ? memory.find(*n) : memory.end();
        if (m == memory.end()) {
            fresh.push_back(it);
            continue;
        }
        groups[m->second.col].push_back(Entry{m->second.row, order++, it, m->second.frac, m->second.gen});
    }
    if (groups.empty()) return groupDefault(strip, fresh);

    std::vector<Col> out;
    for (auto& [key, entries] : groups) {
        // Two windows remembered in the same place at different times: the
        // later one closed up behind the earlier one while it was away (in full
        // screen, say). The earlier one gets its place back; they stay apart.
        bool clash = false;
        for (size_t i = 0; i < entries.size() && !clash; ++i)
            for (size_t j = i + 1; j < entries.size() && !clash; ++j)
                clash = entries[i].row == entries[j].row && entries[i].gen != entries[j].gen;
        std::stable_sort(entries.begin(), entries.end(), [clash](const Entry& a, const Entry& b) {
            if (clash && a.gen != b.gen) return a.gen < b.gen;
            return a.row < b.row;
        });
        for (size_t i = 0; i < entries.size();) {
            size_t end = i + 1;
            while (end < entries.size() && (!clash || entries[end].gen == entries[i].gen)) ++end;
            Col col;
            col.frac = entries[i].frac;
            for (size_t k = i; k < end; ++k) col.items.push_back(std::move(entries[k].item));
            out.push_back(std::move(col));
            i = end;
        }
    }
    for (Item& it : fresh) {
        Col col;
        col.frac = Strip::defaultFrac(it, Layout::strip, &widths_);
        col.items.push_back(std::move(it));
        out.push_back(std::move(col));
    }
    return out;
}

std::vector<Col> WindowManager::groupDefault(const Strip& strip, const std::vector<Item>& items) {
    if (items.empty()) return {};
    return strip.group(items, prefs.layout());
}

// ---- floating ----

// The floating windows are not published: their watchers hear of a change
// through `changed`, which the note makes only when its text is new.
void WindowManager::announceFloating(std::string text) {
    if (!note.set(std::move(text))) changed.emit();
}

void WindowManager::toggleFloat() {
    auto w = frontWindow();
    if (!w) return;
    auto at = std::find(floating.begin(), floating.end(), *w);
    if (at != floating.end()) {
        floating.erase(at);
        floatDesk_.erase(*w);
        const auto& list = strips();
        auto pid = platform_.pidOf(*w);
        auto app = pid ? platform_.runningApplication(*pid) : std::nullopt;
        if (list.empty() || !app) return;
        // A window the rules keep out of the strips, or one that cannot be
        // tiled (a dialog), only stops floating: a strip would drop it again
        // at once.
        if (ruleExcludes(app->bundleIdentifier) || !isTileable(platform_, *w)) return;
        const int i = std::min(screenIndex(platform_, frame(platform_, *w)), static_cast<int>(list.size()) - 1);
        list[static_cast<size_t>(i)]->add(Item::make(*w, *app));
        announceFloating(app->localizedName.value_or("Window") + " is tiled again");
    } else {
        // It floats on the desktop it was on, whichever is shown.
        const int d = stripDesktop(*w);
        floatDesk_[*w] = d >= 0 ? d : desktop();
        const std::vector<StripRef> list = allStrips();
        for (const StripRef& s : list)
            if (s->find(*w)) s->remove(*w);
        floating.push_back(*w);
        if (auto f = frame(platform_, *w))
            platform_.setAttribute(*w, ax::SizeAttr, Size{std::min(f->width, floatMaxW), std::min(f->height, floatMaxH)});
        announceFloating("Window floats until you press the shortcut again");
    }
    feedback_.updateDim();
}

// ---- displays ----

void WindowManager::send() {
    if (acting()) sendNow();
}

void WindowManager::sendNow() {
    StripRef from = cur();
    StripRef to = other();
    if (!from || !to) {
        note.set("Plug in a second display to send windows across.");
        return;
    }
    const Item* focused = from->focusedItem();
    if (!focused) return;
    const AXElement el = focused->el;
    auto item = from->remove(el);
    if (!item) return;
    const std::string app = item->app;
    to->add(std::move(*item));
    to->raise(to->focusC, 0);
    displayIdx.set(to->index);
    note.set("Sent " + app + " to " + to->displayName());
}

// ---- the one way in ----

StripRef WindowManager::actingStrip(std::optional<int> index) const {
    if (!acting()) return nullptr;
    if (!index) return cur();
    for (const StripRef& s : strips())
        if (s->index == *index) return s;
    return nullptr;
}

void WindowManager::perform(Action action, int n) {
    StripRef s = actingStrip();
    if (!s) return;
    const int count = static_cast<int>(s->cols.size());
    switch (action) {
        case Action::focusNext:
            if (count > 0) s->raise(std::clamp(s->focusC + 1, 0, count - 1), 0);
            break;
        case Action::focusPrev:
            if (count > 0) s->raise(std::clamp(s->focusC - 1, 0, count - 1), 0);
            break;
        case Action::jump:
            if (n >= 1 && n <= count) s->raise(n - 1, 0);
            break;
        case Action::sendDisplay: sendNow(); break;
        case Action::cycleWidth: s->cycleWidth(); break;
        case Action::wider: s->stepWidth(1); break;
        case Action::narrower: s->stepWidth(-1); break;
        case Action::stackLeft: s->stackLeft(); break;
        case Action::floatToggle: toggleFloat(); break;
        case Action::overview:
            if (feedback_.overviewOpen())
                feedback_.closeOverview();
            else
                feedback_.showOverview();
            break;
        case Action::tileFour: setLayout(Layout::grid22); break;
        case Action::focusUrgent: focusAttention(); break;
        case Action::moveLeft: s->moveColumn(s->focusC - 1); break;
        case Action::moveRight: s->moveColumn(s->focusC + 1); break;
        case Action::moveFirst: s->moveColumn(0); break;
        case Action::moveLast: s->moveColumn(count - 1); break;
        case Action::focusUp:
        case Action::focusDown:
            if (s->focusedItem()) {
                const int rows = static_cast<int>(s->cols[static_cast<size_t>(s->focusC)].items.size());
                const int step = action == Action::focusUp ? -1 : 1;
                s->raise(s->focusC, std::clamp(s->focusR + step, 0, rows - 1));
            }
            break;
        case Action::stackRight: s->stackRight(); break;
        case Action::unstack: s->unstack(); break;
        case Action::focusFirst:
            if (count > 0) s->raise(0, 0);
            break;
        case Action::focusLast:
            if (count > 0) s->raise(count - 1, 0);
            break;
        case Action::centerColumn: s->centerOnce(); break;
        case Action::fullWidth: s->toggleFullWidth(); break;
        case Action::fullScreen:
            if (auto w = frontWindow())
                platform_.setAttribute(*w, ax::FullScreen, !attr<bool>(platform_, *w, ax::FullScreen).value_or(false));
            break;
        case Action::closeWindow:
            if (auto w = frontWindow()) platform_.performAction(*w, ax::Close);
            break;
        case Action::goDesktop: showDesktop(n - 1); break;
        case Action::prevDesktop: showDesktop(desktop() - 1); break;
        case Action::nextDesktop: showDesktop(desktop() + 1); break;
        case Action::sendToDesktop: sendToDesktop(n - 1, false); break;
        case Action::sendColumnToDesktop: sendToDesktop(n - 1, true); break;
        case Action::sendToPrevDesktop: sendToDesktop(desktop() - 1, false); break;
        case Action::sendToNextDesktop: sendToDesktop(desktop() + 1, false); break;
        case Action::sendColumnToPrevDesktop: sendToDesktop(desktop() - 1, true); break;
        case Action::sendColumnToNextDesktop: sendToDesktop(desktop() + 1, true); break;
    }
}

void WindowManager::raise(int col, int row, std::optional<int> strip) {
    if (StripRef s = actingStrip(strip)) s->raise(col, row);
}

void WindowManager::setWidth(double frac) {
    if (StripRef s = actingStrip()) s->setWidth(frac);
}

StripRef WindowManager::scrollBy(double dx) {
    StripRef s = actingStrip();
    if (s) s->scrollBy(dx);
    return s;
}

void WindowManager::settle(const StripRef& s) {
    if (s && acting()) s->settle();
}

void WindowManager::pointerMoved(Point at) {
    if (!acting() || !prefs.focusFollowsMouse()) {
        hovered_.reset();
        return;
    }
    const Point p = axRect(platform_, Rect(at.x, at.y, 0, 0)).origin();
    for (const StripRef& s : strips()) {
        if (!s->visibleRect().contains(p)) continue;
        auto under = s->wholeWindowAt(p);
        std::optional<AXElement> el;
        if (under) el = s->cols[static_cast<size_t>(under->first)].items[static_cast<size_t>(under->second)].el;
        // Only entering a window focuses it: the keyboard may have moved on
        // while the pointer rested.
        if (el == hovered_) return;
        hovered_ = el;
        if (under && !(under->first == s->focusC && under->second == s->focusR)) s->focusInPlace(under->first, under->second);
        return;
    }
    hovered_.reset();
}

void WindowManager::openOverview() {
    if (acting()) feedback_.showOverview();
}

bool WindowManager::setLayout(Layout l) {
    if (held()) return false;
    prefs.layout.set(l);
    if (StripRef s = actingStrip()) s->applyLayout(l);
    return true;
}

bool WindowManager::setAlign(Align a) {
    if (held()) return false;
    prefs.align.set(a);
    // A running strip slides to its focused column's new resting place.
    for (const StripRef& s : strips()) s->setAlign(a);
    return true;
}

}  // namespace tarvela

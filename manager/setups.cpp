// Arrangements: the strips, focus, scroll positions and floating windows
// captured by window number, put back at a rebuild, and kept per set-up of
// displays so that columns go back to a monitor that comes back.
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/log.h"
#include "core/window_access.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {
// Set-ups remembered; a dock, a projector and a spare monitor or two.
constexpr size_t setupLimit = 6;
// Narrower than this no window is of use; wider than the display none fits.
constexpr double minFrac = 0.05;
constexpr double maxFrac = 1.0;
}  // namespace

int WindowManager::displayByKey(const std::vector<Screen>& screens, const std::string& key) {
    for (size_t i = 0; i < screens.size(); ++i)
        if (!key.empty() && screens[i].key == key) return static_cast<int>(i);
    return -1;
}

// ---- capture ----

Arrangement WindowManager::arrangement() const {
    Arrangement a;
    a.desktop = desktop();
    const int count = static_cast<int>(std::max<size_t>(parked_.size(), static_cast<size_t>(desktop()) + 1));
    for (int d = 0; d < count; ++d)
        for (const StripRef& s : stripsOf(d)) {
            StripPlan p;
            p.display = s->screen.key;
            p.desktop = d;
            const Item* focused = s->focusedItem();
            for (const Col& c : s->cols) {
                ColumnPlan col;
                col.frac = c.frac;
                for (const Item& it : c.items) {
                    auto n = windowNumber(platform_, it.el);
                    if (!n) continue;
                    if (focused && it.el == focused->el) {
                        p.focusC = static_cast<int>(p.columns.size());
                        p.focusR = static_cast<int>(col.windows.size());
                    }
                    col.windows.push_back(*n);
                }
                if (!col.windows.empty()) p.columns.push_back(std::move(col));
            }
            // Mid-slide, where the slide comes to rest.
            p.offset = s->animating && std::isfinite(s->animTarget) ? s->animTarget : s->offset;
            a.strips.push_back(std::move(p));
        }
    for (const AXElement& el : floating) {
        auto n = windowNumber(platform_, el);
        if (!n) continue;
        auto f = floatDesk_.find(el);
        a.floating.push_back(FloatPlan{*n, f == floatDesk_.end() ? desktop() : f->second});
    }
    const std::vector<StripRef>& shown = strips();
    if (displayIdx() >= 0 && static_cast<size_t>(displayIdx()) < shown.size())
        a.focusDisplay = shown[static_cast<size_t>(displayIdx())]->screen.key;
    return a;
}

// ---- apply ----

std::optional<WindowManager::PlanIndex::Spot> WindowManager::PlanIndex::find(Platform& p, const AXElement& el) const {
    if (spots.empty()) return std::nullopt;
    auto n = windowNumber(p, el);
    auto at = n ? spots.find(*n) : spots.end();
    if (at == spots.end()) return std::nullopt;
    return at->second;
}

WindowManager::PlanIndex WindowManager::indexPlan(const Arrangement& plan, const std::vector<Screen>& screens,
                                                  int count) const {
    PlanIndex out;
    out.plan = &plan;
    for (size_t k = 0; k < plan.strips.size(); ++k) {
        const StripPlan& sp = plan.strips[k];
        const int i = displayByKey(screens, sp.display);
        // A display that is not there: its windows go the ordinary way.
        if (i < 0 || sp.desktop < 0 || sp.desktop >= count) continue;
        if (!out.strips.emplace(std::pair(sp.desktop, i), k).second) continue;
        for (size_t c = 0; c < sp.columns.size(); ++c)
            for (size_t r = 0; r < sp.columns[c].windows.size(); ++r)
                out.spots.emplace(sp.columns[c].windows[r],
                                  PlanIndex::Spot{sp.desktop, i, static_cast<int>(c), static_cast<int>(r)});
    }
    for (const FloatPlan& f : plan.floating) {
        const int d = f.desktop == kAllDesktops ? kAllDesktops : std::clamp(f.desktop, 0, count - 1);
        out.spots.emplace(f.window, PlanIndex::Spot{d, -1, 0, 0});
    }
    return out;
}

std::vector<Col> WindowManager::plannedColumns(const Strip& s, const PlanIndex& index, int d, std::vector<Item> items,
                                               std::optional<Strip::Rest>& rest) {
    auto sp = index.strips.find(std::pair(d, s.index));
    if (sp == index.strips.end()) return recall(s, items);
    const StripPlan& plan = index.plan->strips[sp->second];
    std::vector<std::vector<std::pair<int, Item>>> slots(plan.columns.size());
    std::vector<Item> others;
    for (Item& it : items) {
        auto spot = index.find(platform_, it.el);
        if (!spot || spot->display != s.index || spot->desktop != d) {
            others.push_back(std::move(it));
            continue;
        }
        slots[static_cast<size_t>(spot->col)].emplace_back(spot->row, std::move(it));
    }
    std::vector<Col> out;
    int placed = 0;
    for (size_t c = 0; c < slots.size(); ++c) {
        if (slots[c].empty()) continue;
        std::stable_sort(slots[c].begin(), slots[c].end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Col col;
        const double f = plan.columns[c].frac;
        col.frac = std::isfinite(f) ? std::clamp(f, minFrac, maxFrac)
                                    : Strip::defaultFrac(slots[c].front().second, Layout::strip, &widths_);
        for (auto& [row, it] : slots[c]) col.items.push_back(std::move(it));
        placed += static_cast<int>(col.items.size());
        out.push_back(std::move(col));
    }
    if (!out.empty()) {
        // The focus goes back to the window that had it; when that one is
        // gone, to the column nearest the planned one.
        Strip::Rest r{std::clamp(plan.focusC, 0, static_cast<int>(out.size()) - 1), 0, plan.offset};
        const auto fc = static_cast<size_t>(plan.focusC);
        const auto fr = static_cast<size_t>(plan.focusR);
        if (plan.focusC >= 0 && plan.focusR >= 0 && fc < plan.columns.size() && fr < plan.columns[fc].windows.size())
            for (size_t c = 0; c < out.size(); ++c)
                for (size_t k = 0; k < out[c].items.size(); ++k)
                    if (windowNumber(platform_, out[c].items[k].el) == plan.columns[fc].windows[fr])
                        r = Strip::Rest{static_cast<int>(c), static_cast<int>(k), plan.offset};
        rest = r;
        planned_ += placed;
    }
    // Windows the plan does not name come after its columns, as they would anyway.
    for (Col& c : recall(s, others)) out.push_back(std::move(c));
    return out;
}

void WindowManager::startWith(const Arrangement& plan) { begin(&plan); }

// ---- set-ups of displays ----

void WindowManager::recallSetups(const SetupMemory& earlier) {
    SetupMemory merged;
    for (const auto& e : earlier)
        if (!std::any_of(setups_.begin(), setups_.end(), [&](const auto& s) { return s.first == e.first; }) &&
            !std::any_of(merged.begin(), merged.end(), [&](const auto& s) { return s.first == e.first; }))
            merged.push_back(e);
    merged.insert(merged.end(), setups_.begin(), setups_.end());
    if (merged.size() > setupLimit) merged.erase(merged.begin(), merged.end() - setupLimit);
    setups_ = std::move(merged);
}

// The window the user is typing in keeps the focus through a change of
// displays and its strip rests on it, rather than leaving it beyond an edge
// with another column marked focused. A strip whose remembered focus it is
// keeps its remembered scroll position.
void WindowManager::focusStaysInView(Arrangement& plan) {
    const std::optional<AXElement> w = frontWindow();
    const auto n = w ? windowNumber(platform_, *w) : std::nullopt;
    if (!n) return;
    for (StripPlan& sp : plan.strips) {
        if (sp.desktop != plan.desktop) continue;
        for (size_t c = 0; c < sp.columns.size(); ++c) {
            const std::vector<uint32_t>& ws = sp.columns[c].windows;
            auto r = std::find(ws.begin(), ws.end(), *n);
            if (r == ws.end()) continue;
            const int row = static_cast<int>(r - ws.begin());
            if (sp.focusC != static_cast<int>(c) || sp.focusR != row) {
                sp.focusC = static_cast<int>(c);
                sp.focusR = row;
                sp.offset = std::numeric_limits<double>::quiet_NaN();
            }
            plan.focusDisplay = sp.display;
            return;
        }
    }
}

void WindowManager::displaysChanged() {
    const std::vector<StripRef> shown = strips();
    std::vector<Screen> before;
    for (const StripRef& s : shown) before.push_back(s->screen);
    const std::vector<Screen> now = platform_.screens();
    const std::string was = setupKey(before);
    const std::string is = setupKey(now);
    const Arrangement left = arrangement();
    if (!shown.empty()) {
        std::erase_if(setups_, [&](const auto& e) { return e.first == was; });
        setups_.emplace_back(was, left);
        if (setups_.size() > setupLimit) setups_.erase(setups_.begin());
    }
    auto seen = std::find_if(setups_.begin(), setups_.end(), [&](const auto& e) { return e.first == is; });
    if (seen != setups_.end()) {
        // Displays put columns back; which windows float and the desktop
        // shown are the user's business since.
        Arrangement plan = seen->second;
        plan.floating.clear();
        plan.desktop = desktop();
        log("displays: a set-up seen before, its columns go back");
        focusStaysInView(plan);
        rebuild(&plan);
        return;
    }
    std::vector<std::string> gone;
    for (const Screen& sc : before)
        if (displayByKey(now, sc.key) < 0) gone.push_back(sc.key);
    if (gone.empty() || now.empty()) {
        rebuild();
        return;
    }
    // The columns of each display that went join the display the user works
    // on (or the first there is) as a group right after its focused column,
    // so the strip the user looks at does not move.
    const std::string to = displayByKey(now, left.focusDisplay) >= 0 ? left.focusDisplay : now.front().key;
    Arrangement plan;
    plan.desktop = desktop();
    plan.focusDisplay = to;
    for (const StripPlan& sp : left.strips)
        if (std::find(gone.begin(), gone.end(), sp.display) == gone.end()) plan.strips.push_back(sp);
    for (const StripPlan& from : left.strips) {
        if (std::find(gone.begin(), gone.end(), from.display) == gone.end() || from.columns.empty()) continue;
        auto t = std::find_if(plan.strips.begin(), plan.strips.end(),
                              [&](const StripPlan& p) { return p.display == to && p.desktop == from.desktop; });
        if (t == plan.strips.end()) {
            plan.strips.push_back(StripPlan{to, from.desktop, {}, 0, 0, 0});
            t = plan.strips.end() - 1;
        }
        const size_t at = t->columns.empty() ? 0 : std::min<size_t>(static_cast<size_t>(std::max(t->focusC, 0)) + 1,
                                                                     t->columns.size());
        t->columns.insert(t->columns.begin() + static_cast<std::ptrdiff_t>(at), from.columns.begin(), from.columns.end());
    }
    log("displays: " + std::to_string(gone.size()) + " gone, their columns join " + to);
    focusStaysInView(plan);
    rebuild(&plan);
}

}  // namespace tarvela

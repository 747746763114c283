#include "feedback/dim_overlay.h"

#include <algorithm>

#include "core/window_access.h"
#include "manager/window_manager.h"
#include "settings/pref_ranges.h"
#include "settings/prefs.h"

namespace tarvela {

double dim::alphaFor(int level) {
    static constexpr double table[] = {0, 0.18, 0.32, 0.5};
    static_assert(std::size(table) == pref_range::dimLevel.hi + 1);
    return table[pref_range::dimLevel.clamp(level)];
}

DimOverlay::DimOverlay(WindowManager& manager, Prefs& prefs, Platform& platform)
    : manager_(manager), prefs_(prefs), platform_(platform) {}

void DimOverlay::update() {
    const int level = pref_range::dimLevel.clamp(prefs_.dimLevel());
    const bool blur = prefs_.blur();
    if ((level < 1 && !blur) || !manager_.on() || manager_.paused()) {
        for (OverlayPlan& p : plans_) p.shown = false;
        changed.emit();
        return;
    }

    // The frontmost application's focused window, if it has one.
    std::optional<AXElement> focused;
    if (auto app = platform_.frontmostApplication())
        focused = attr<AXElement>(platform_, AXElement::application(app->pid), ax::FocusedWindow);

    const std::vector<StripRef> strips = manager_.strips();
    for (OverlayPlan& p : plans_) p.shown = false;
    for (const StripRef& s : strips) {
        if (s->index < 0) continue;
        if (plans_.size() < static_cast<size_t>(s->index) + 1) plans_.resize(static_cast<size_t>(s->index) + 1);
        OverlayPlan& p = plans_[static_cast<size_t>(s->index)];
        p.frame = s->currentScreen().visibleFrame;

        std::optional<AXElement> target;
        if (focused && s->find(*focused)) target = *focused;
        else if (const Item* it = s->focusedItem()) target = it->el;
        size_t items = 0;
        for (const Col& c : s->cols) items += c.items.size();
        const std::optional<uint32_t> number = target ? platform_.windowNumber(*target) : std::nullopt;
        if (items > 1 && number && *number != 0) {
            p.shown = true;
            p.blur = blur;
            p.dimAlpha = dim::alphaFor(level);
            p.below = *number;
        }
    }
    changed.emit();
}

}  // namespace tarvela

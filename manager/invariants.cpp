// What must hold between the strips, the floating list, the placement memory
// and the displays after every step the manager takes (tests call it; it
// reads and changes nothing).
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "manager/window_manager.h"

namespace tarvela {

std::vector<std::string> WindowManager::checkInvariants() const {
    std::vector<std::string> out;
    auto window = [](uint64_t id) { return "window " + std::to_string(id); };
    const std::vector<StripRef>& list = strips();
    if (!on() && !list.empty()) out.push_back("off, yet " + std::to_string(list.size()) + " strips");

    // Every window in one place: one cell of one strip, or the floating list.
    std::map<uint64_t, int> places;
    std::set<uint64_t> displays;
    for (size_t i = 0; i < list.size(); ++i) {
        const Strip& s = *list[i];
        const std::string which = "strip " + std::to_string(i);
        if (s.index != static_cast<int>(i)) out.push_back(which + " has index " + std::to_string(s.index));
        if (std::string bad = s.checkInvariants(); !bad.empty()) out.push_back(which + ": " + bad);
        if (!displays.insert(s.screen.id).second) out.push_back(which + " shares its display with another strip");
        for (const Col& c : s.cols)
            for (const Item& it : c.items) ++places[it.el.id];
    }
    // ... also counting every other desktop's strips.
    for (size_t d = 0; d < parked_.size(); ++d) {
        if (static_cast<int>(d) != desktop() && parked_[d].size() != list.size())
            out.push_back("desktop " + std::to_string(d + 1) + " has " + std::to_string(parked_[d].size()) + " strips");
        for (const StripRef& s : parked_[d])
            for (const Col& c : s->cols)
                for (const Item& it : c.items) ++places[it.el.id];
    }
    if (on() && parked_.size() != static_cast<size_t>(desktopCount()))
        out.push_back(std::to_string(parked_.size()) + " desktops kept, not " + std::to_string(desktopCount()));
    for (const AXElement& el : floating) {
        if (places[el.id] > 0) out.push_back(window(el.id) + " floats and is held by a strip");
        ++places[el.id];
    }
    for (auto& [id, n] : places)
        if (n > 1) out.push_back(window(id) + " has " + std::to_string(n) + " places");

    // One strip per display, in the platform's order, once the rebuild that a
    // display change asks for has run.
    if (on() && rebuildsPending_ == 0) {
        const std::vector<Screen> screens = platform_.screens();
        const bool same = std::equal(list.begin(), list.end(), screens.begin(), screens.end(),
                                     [](const StripRef& s, const Screen& d) { return s->screen.id == d.id; });
        if (!same)
            out.push_back(std::to_string(list.size()) + " strips for " + std::to_string(screens.size()) +
                          " displays, or not in their order");
    }
    if (!list.empty() && (displayIdx() < 0 || displayIdx() >= static_cast<int>(list.size())))
        out.push_back("the current display " + std::to_string(displayIdx()) + " has no strip");

    // The memory: places that a strip can have, written by past rememberings.
    for (auto& [number, memo] : memory)
        if (memo.col < 0 || memo.row < 0 || !(memo.frac > 0 && std::isfinite(memo.frac)) || memo.gen > memoGen_)
            out.push_back("the memory of window number " + std::to_string(number) + " is no place: column " +
                          std::to_string(memo.col) + ", row " + std::to_string(memo.row) + ", width " +
                          std::to_string(memo.frac) + ", written " + std::to_string(memo.gen));
    return out;
}

}  // namespace tarvela

// Window access: typed attribute reads, frames, the tileable test and
// enumeration, the two coordinate systems, display lookup, and the switch of an
// application's enhanced-interface mode during animations. Everything above it
// talks to windows only through these functions and the Platform seam.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

#include "core/platform.h"

namespace tarvela {

// Reads an attribute as T; a failed read or a value of another type gives none.
template <class T>
std::optional<T> attr(Platform& p, const AXElement& el, std::string_view name) {
    auto v = p.copyAttribute(el, name);
    if (!v) return std::nullopt;
    if (auto* t = std::get_if<T>(&*v)) return *t;
    return std::nullopt;
}

// Accessibility coordinates (top-left origin, y down); none when position or size is missing.
std::optional<Rect> frame(Platform& p, const AXElement& el);

// The steps a window's width and height snap to (a terminal's character
// cells); none when it takes any size, or when the platform cannot tell.
std::optional<Size> sizeIncrement(Platform& p, const AXElement& el);

// A standard window that is neither minimised nor full screen.
bool isTileable(Platform& p, const AXElement& el);

struct Win {
    RunningApp app;
    AXElement el;
};

// Every tileable window of every regular application except our own, grouped
// by application in the platform's order.
std::vector<Win> tileableWindows(Platform& p);

// Flips a rect between screen and accessibility coordinates (its own inverse),
// always about the height of the first display.
Rect axRect(const std::vector<Screen>& screens, const Rect& r);
Rect axRect(Platform& p, const Rect& r);

// The display whose full frame holds the midpoint of r (accessibility
// coordinates); 0 for none or when no display holds it.
int screenIndex(const std::vector<Screen>& screens, const std::optional<Rect>& r);
int screenIndex(Platform& p, const std::optional<Rect>& r);

// Known only when the platform gives a non-zero number.
std::optional<uint32_t> windowNumber(Platform& p, const AXElement& el);

// Applications whose enhanced-interface mode one strip switched off for an
// animation and has not yet switched back on. Main thread only.
class EnhancedUI {
public:
    explicit EnhancedUI(Platform& p) : p_(p) {}
    void suspend(const std::set<int32_t>& pids);
    void restore();
    const std::set<int32_t>& saved() const { return saved_; }

private:
    Platform& p_;
    std::set<int32_t> saved_;
};

}  // namespace tarvela

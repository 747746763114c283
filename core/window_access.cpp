#include "core/window_access.h"

namespace tarvela {

std::optional<Rect> frame(Platform& p, const AXElement& el) {
    auto pos = attr<Point>(p, el, ax::Position);
    if (!pos) return std::nullopt;
    auto size = attr<Size>(p, el, ax::SizeAttr);
    if (!size) return std::nullopt;
    return Rect(*pos, *size);
}

std::optional<Size> sizeIncrement(Platform& p, const AXElement& el) {
    auto inc = attr<Size>(p, el, ax::SizeIncrement);
    if (!inc || (inc->width <= 1 && inc->height <= 1)) return std::nullopt;
    return inc;
}

bool isTileable(Platform& p, const AXElement& el) {
    auto subrole = attr<std::string>(p, el, ax::Subrole);
    if (!subrole || *subrole != ax::StandardWindow) return false;
    if (attr<bool>(p, el, ax::Minimized).value_or(false)) return false;
    if (attr<bool>(p, el, ax::FullScreen).value_or(false)) return false;
    return true;
}

std::vector<Win> tileableWindows(Platform& p) {
    std::vector<Win> out;
    const int32_t self = p.ownPid();
    for (const RunningApp& app : p.runningApplications()) {
        if (app.activationPolicy != ActivationPolicy::Regular || app.pid == self) continue;
        auto windows = attr<std::vector<AXElement>>(p, AXElement::application(app.pid), ax::Windows)
                           .value_or(std::vector<AXElement>{});
        for (const AXElement& el : windows) {
            if (isTileable(p, el)) out.push_back(Win{app, el});
        }
    }
    return out;
}

Rect axRect(const std::vector<Screen>& screens, const Rect& r) {
    const double h = screens.empty() ? 0 : screens.front().frame.height;
    return Rect(r.minX(), h - r.maxY(), r.width, r.height);
}

Rect axRect(Platform& p, const Rect& r) { return axRect(p.screens(), r); }

int screenIndex(const std::vector<Screen>& screens, const std::optional<Rect>& r) {
    if (!r) return 0;
    const Point mid{r->midX(), r->midY()};
    for (size_t i = 0; i < screens.size(); ++i) {
        if (axRect(screens, screens[i].frame).contains(mid)) return static_cast<int>(i);
    }
    return 0;
}

int screenIndex(Platform& p, const std::optional<Rect>& r) { return screenIndex(p.screens(), r); }

std::optional<uint32_t> windowNumber(Platform& p, const AXElement& el) {
    auto n = p.windowNumber(el);
    if (!n || *n == 0) return std::nullopt;
    return n;
}

void EnhancedUI::suspend(const std::set<int32_t>& pids) {
    for (int32_t pid : pids) {
        if (saved_.count(pid)) continue;
        const AXElement app = AXElement::application(pid);
        if (attr<bool>(p_, app, ax::EnhancedUserInterface).value_or(false)) {
            saved_.insert(pid);
            p_.setAttribute(app, ax::EnhancedUserInterface, AttrValue(false));
        }
    }
}

void EnhancedUI::restore() {
    for (int32_t pid : saved_) p_.setAttribute(AXElement::application(pid), ax::EnhancedUserInterface, AttrValue(true));
    saved_.clear();
}

}  // namespace tarvela

#include "feedback/status_item.h"

#include <cmath>

#include "feedback/desktop_tabs.h"
#include "manager/window_manager.h"

namespace tarvela {

std::string statusText(const WindowManager& m) {
    const StripRef s = m.cur();
    if (m.on() && !m.paused() && s && !s->cols.empty()) {
        const std::string t = std::to_string(s->focusC + 1) + "/" + std::to_string(s->cols.size());
        return s->scrolling ? "‹ " + t + " ›" : t;
    }
    if (m.on() && m.paused()) return "II";
    return "";
}

PillImage PillImage::make(const WindowManager& m, bool darkBar, bool popoverShown, std::optional<Size> mascotSize,
                          TextMetrics& metrics) {
    PillImage p;
    p.on = m.on() && !m.paused();
    const double mw = mascotSize && mascotSize->height > 0 && mascotSize->width > 0
                          ? mascotSize->width * pill::mascotHeight / mascotSize->height
                          : pill::mascotFallbackWidth;
    p.mascot = Rect(pill::mascotX, pill::mascotY, mw, pill::mascotHeight);

    p.text = statusText(m);
    double width = mw + 6;
    if (!p.text.empty()) {
        const Size ts = metrics.measure(p.text, p.font);
        p.textFrame = Rect(mw + pill::textGap, pill::textY, ts.width, ts.height);
        width += std::ceil(ts.width) + 6 + 8;
    } else {
        width += 6;
    }
    width += 2;
    p.size = Size{width, pill::height};
    p.textColor = p.on || darkBar ? pill::white : pill::nearBlack;

    // As wide as the image less a point each side, so the outline stays inside it.
    p.pill = Rect(pill::pillLeft, pill::height - pill::pillBottom - pill::pillHeight, width - 2 * pill::pillLeft,
                  pill::pillHeight);
    p.fill = p.on ? pill::systemBlue : darkBar ? pill::offOnDark : pill::offOnLight;
    if (popoverShown) p.outline = Stroke{pill::outlineWidth, pill::outline};
    // In the pill's top right corner, the ring just touching the image's edges.
    if (!m.trusted() || !m.attention().empty()) {
        const double outer = pill::badgeDiameter + 2 * pill::badgeRing;
        p.badge = Badge{Rect(width - outer + pill::badgeRing, pill::badgeRing, pill::badgeDiameter, pill::badgeDiameter)};
    }
    return p;
}

StatusController::StatusController(WindowManager& manager, Prefs& prefs, RunLoop& main)
    : manager_(manager), prefs_(prefs), main_(main) {}

StatusController::~StatusController() = default;

void StatusController::install() {
    // The manager announces a change before it has finished making it (a
    // stop empties the strips, then turns off): one refresh after the burst.
    managerLink_ = manager_.changed.connect([this] {
        if (refreshPending_) return;
        refreshPending_ = true;
        main_.post(life_.guard([this] {
            refreshPending_ = false;
            refresh();
        }));
    });
    prefsLink_ = prefs_.showMenuBar.changed.connect([this](const bool& v) { setVisible(v); });
    setVisible(prefs_.showMenuBar());
}

void StatusController::setVisible(bool visible) {
    if (visible && !itemShown_) {
        itemShown_ = true;
        refresh();
    } else if (!visible && itemShown_) {
        closePopover();
        itemShown_ = false;
        changed.emit();
    }
}

void StatusController::toggle() {
    if (!itemShown_) return;
    if (popoverShown_) {
        closePopover();
        return;
    }
    manager_.note.set("");
    popoverShown_ = true;
    refresh();
}

void StatusController::popoverClosed() { closePopover(); }

void StatusController::closePopover() {
    if (!popoverShown_) return;
    popoverShown_ = false;
    manager_.note.set("");
    refresh();
}

void StatusController::refresh() {
    if (!itemShown_) return;
    text_ = statusText(manager_);
    // A note says what just happened; the usual line also names the desktop.
    tooltip_ = manager_.note().empty() ? withDesktop(manager_, manager_.statusLine()) : manager_.statusLine();
    changed.emit();
}

PillImage StatusController::image(bool darkBar, std::optional<Size> mascotSize, TextMetrics& metrics) const {
    return PillImage::make(manager_, darkBar, popoverShown_, mascotSize, metrics);
}

}  // namespace tarvela

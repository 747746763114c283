#include "feedback/hud_panel.h"

#include <algorithm>

#include "manager/window_manager.h"

namespace tarvela {

HUDPanel::HUDPanel(HUDDeps deps) : d_(std::move(deps)) {
    fade_.start = d_.main.now();
    // The manager announces a change before it has finished making it; the
    // panel must see the state after it, and one re-placing covers a burst.
    managerLink_ = d_.manager.changed.connect([this] {
        if (repositionPending_) return;
        repositionPending_ = true;
        d_.main.post(life_.guard([this] {
            repositionPending_ = false;
            reposition();
        }));
    });
    // The options row changes the panel's size; it grows upwards from where it sits.
    optsLink_ = d_.state.opts.changed.connect([this](const bool&) { reposition(); });
}

HUDPanel::~HUDPanel() {
    cancelTimer(d_.main, hideTimer_);
    cancelTimer(d_.main, fadeDone_);
}

double HUDPanel::alpha() const { return fade_.at(d_.main.now()); }

void HUDPanel::setAlpha(double to, double duration) {
    // A new fade replaces the one under way, from wherever that had got to,
    // and the replaced one never completes.
    cancelTimer(d_.main, fadeDone_);
    const double now = d_.main.now();
    fade_ = Timeline{fade_.at(now), to, now, duration};
}

void HUDPanel::show() {
    reposition();
    if (!d_.manager.on() || d_.manager.paused() || !orderedIn_) return;
    cancelTimer(d_.main, hideTimer_);
    if (!shown_) {
        shown_ = true;
        ignoresMouse_ = false;
        setAlpha(1, fadeIn);
        changed.emit();
    }
    hideTimer_ = d_.main.after(idle, life_.guard([this] {
        hideTimer_.reset();
        if (pointerNear())
            show();
        else
            hide(true);
    }));
}

void HUDPanel::reposition() {
    view_ = HUDView::make(d_.manager, d_.state.opts(), d_.metrics);
    followTiles();
    StripRef s = d_.manager.cur();
    if (!view_.empty && s) {
        const Rect vf = s->currentScreen().visibleFrame;
        frame_ = Rect(vf.midX() - view_.size.width / 2, vf.minY() + bottomGap, view_.size.width, view_.size.height);
        orderedIn_ = true;
    } else {
        hide(false);
        orderedIn_ = false;
    }
    changed.emit();
}

void HUDPanel::hide(bool animated) {
    cancelTimer(d_.main, hideTimer_);
    if (!shown_) return;
    shown_ = false;
    ignoresMouse_ = true;
    if (!animated) {
        setAlpha(0, 0);
    } else {
        setAlpha(0, fadeOut);
        fadeDone_ = d_.main.after(fadeOut, life_.guard([this] {
            fadeDone_.reset();
            if (shown_) return;
            // Closing the options row re-places the panel; with the row closed
            // already, re-place it anyway: that tells the widget the fade is
            // over and it takes the window down.
            if (!d_.state.opts.set(false)) reposition();
        }));
    }
    changed.emit();
}

// A tile that comes with the view starts at rest; one whose focus changed
// eases to its new look from wherever it had got to.
void HUDPanel::followTiles() {
    const double now = d_.main.now();
    tiles_.resize(std::min(tiles_.size(), view_.tiles.size()));
    for (const HUDTile& t : view_.tiles) {
        const double focus = t.focused ? 1 : 0;
        const auto i = static_cast<size_t>(t.col);
        if (i >= tiles_.size()) {
            tiles_.push_back({Timeline{0, 0, now, 0}, Timeline{focus, focus, now, 0}});
        } else if (tiles_[i].focus.to != focus) {
            tiles_[i].focus = Timeline{tiles_[i].focus.at(now), focus, now, hud::focusAnimation, Easing::outCubic};
        }
    }
    if (hovered_ >= static_cast<int>(tiles_.size())) hovered_ = -1;
}

void HUDPanel::hoverTile(int col) {
    if (col >= static_cast<int>(tiles_.size())) col = -1;
    if (col == hovered_) return;
    const double now = d_.main.now();
    for (int c : {hovered_, col}) {
        if (c < 0) continue;
        Timeline& h = tiles_[static_cast<size_t>(c)].hover;
        h = Timeline{h.at(now), c == col ? 1.0 : 0.0, now, hud::hoverAnimation, Easing::outCubic};
    }
    hovered_ = col;
    changed.emit();
}

HUDTile::Look HUDPanel::tileLook(int col) const {
    if (col < 0 || col >= static_cast<int>(tiles_.size())) return HUDTile::look(0, 0);
    const TileMotion& m = tiles_[static_cast<size_t>(col)];
    const double now = d_.main.now();
    return HUDTile::look(m.hover.at(now), m.focus.at(now));
}

bool HUDPanel::tilesMoving() const {
    const double now = d_.main.now();
    return std::any_of(tiles_.begin(), tiles_.end(),
                       [now](const TileMotion& m) { return m.hover.running(now) || m.focus.running(now); });
}

bool HUDPanel::pointerNear() {
    const std::optional<Point> at = d_.pointer ? d_.pointer() : std::nullopt;
    if (!at) return false;
    const Rect near(frame_.x - hoverMargin, frame_.y - hoverMargin, frame_.width + 2 * hoverMargin,
                    frame_.height + 2 * hoverMargin);
    return near.contains(*at);
}

void HUDPanel::mouseMoved() {
    // Runs on every movement anywhere: the cheap tests first.
    if (shown_ || !orderedIn_) return;
    if (!d_.manager.on() || d_.manager.paused()) return;
    if (pointerNear()) show();
}

void HUDPanel::click(Point local) {
    if (ignoresMouse_ || !orderedIn_) return;
    const std::optional<HUDHit> h = view_.hit(local);
    if (!h) return;
    switch (h->part) {
        case HUDPart::window: pick(h->col, h->row); break;
        case HUDPart::options: toggleOptions(); break;
        case HUDPart::previous: focusPrevious(); break;
        case HUDPart::next: focusNext(); break;
        case HUDPart::narrower: narrower(); break;
        case HUDPart::wider: wider(); break;
        case HUDPart::send: sendToOther(); break;
        case HUDPart::moveLeft: d_.manager.perform(Action::moveLeft, 0); break;
        case HUDPart::moveRight: d_.manager.perform(Action::moveRight, 0); break;
        case HUDPart::keyCap:
        case HUDPart::widthGroup:
        case HUDPart::percent: break;
    }
}

// The buttons act through the manager's one way in, like the shortcuts.
void HUDPanel::pick(int col, int row) { d_.manager.raise(col, row); }

void HUDPanel::toggleOptions() { d_.state.opts.set(!d_.state.opts()); }

void HUDPanel::focusPrevious() { d_.manager.perform(Action::focusPrev, 0); }

void HUDPanel::focusNext() { d_.manager.perform(Action::focusNext, 0); }

void HUDPanel::narrower() { d_.manager.perform(Action::narrower, 0); }

void HUDPanel::wider() { d_.manager.perform(Action::wider, 0); }

void HUDPanel::sendToOther() { d_.manager.perform(Action::sendDisplay, 0); }

}  // namespace tarvela

// The heads-up display at the bottom centre of the current display: when it is
// on screen, when it fades, where it sits and what its buttons do. The widget
// layer owns the actual window; it reads `orderedIn`, `frame`, `alpha` and
// `ignoresMouse` after every `changed`, feeds the pointer's movements to
// `mouseMoved` and clicks to `click`.
//
//   off screen (ordered out) -> hidden (ordered in, alpha 0, clicks pass through)
//                            <-> shown (alpha 1, clickable)
//
// The HUD never takes the keyboard focus. Its frame and the pointer are in
// screen coordinates (y up), like the displays' frames.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/geometry.h"
#include "core/lifetime.h"
#include "core/runloop.h"
#include "core/timeline.h"
#include "feedback/hud_state.h"
#include "feedback/hud_view.h"
#include "feedback/text_metrics.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;

struct HUDDeps {
    WindowManager& manager;
    HUDState& state;
    RunLoop& main;
    TextMetrics& metrics;
    // Where the pointer is now; none when it cannot be told.
    std::function<std::optional<Point>()> pointer;
};

class HUDPanel {
public:
    static constexpr double idle = 2;
    static constexpr double fadeIn = 0.15;
    static constexpr double fadeOut = 0.3;
    // How far around the panel the pointer still counts as on it.
    static constexpr double hoverMargin = 12;
    static constexpr double bottomGap = 8;

    // Follows the manager from here on: each of its published changes re-places
    // the panel once the change has finished (posted, coalesced).
    explicit HUDPanel(HUDDeps deps);
    ~HUDPanel();
    HUDPanel(const HUDPanel&) = delete;
    HUDPanel& operator=(const HUDPanel&) = delete;

    // Reveals the HUD, or keeps it, and starts the idle period again.
    void show();
    // Fits the panel to its content on the current display, or takes it off
    // screen when there is nothing to show.
    void reposition();
    // The mouse-moved monitors: over the place of a hidden HUD, it comes back.
    void mouseMoved();
    // A click at a point of the panel (y down from its top-left).
    void click(Point local);

    // The tile under the pointer, -1 for none: it grows and brightens, and
    // the one it leaves goes back, over hud::hoverAnimation.
    void hoverTile(int col);

    // ---- the buttons ----
    void pick(int col, int row);
    void toggleOptions();
    void focusPrevious();
    void focusNext();
    void narrower();
    void wider();
    void sendToOther();

    // ---- what the widget reads ----
    Signal<> changed;
    bool shown() const { return shown_; }
    bool orderedIn() const { return orderedIn_; }
    bool ignoresMouse() const { return ignoresMouse_; }
    double alpha() const;
    const Timeline& fade() const { return fade_; }
    Rect frame() const { return frame_; }
    const HUDView& view() const { return view_; }
    bool idleTimerRunning() const { return hideTimer_.has_value(); }
    // How a tile looks now; a change of focus takes hud::focusAnimation.
    HUDTile::Look tileLook(int col) const;
    // Some tile is on its way to a new look: the widget redraws until none is.
    bool tilesMoving() const;

private:
    void hide(bool animated);
    void setAlpha(double to, double duration);
    bool pointerNear();
    void followTiles();

    HUDDeps d_;
    bool shown_ = false;
    bool orderedIn_ = false;
    bool ignoresMouse_ = true;
    Timeline fade_;  // the panel's alpha, linear
    Rect frame_;
    HUDView view_;
    // Per column of the view, 0 to 1.
    struct TileMotion {
        Timeline hover;  // both easing out
        Timeline focus;
    };
    std::vector<TileMotion> tiles_;
    int hovered_ = -1;
    std::optional<RunLoop::TimerId> hideTimer_;
    std::optional<RunLoop::TimerId> fadeDone_;
    bool repositionPending_ = false;
    Connection managerLink_;
    Connection optsLink_;
    Lifetime life_;
};

}  // namespace tarvela

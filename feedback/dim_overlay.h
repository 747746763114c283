// The overlay that darkens (and blurs) everything behind the focused window:
// one per display, covering its visible frame, stacked directly below the
// focused window so that this one stays clear. This class decides, for each
// display, whether its overlay is shown, how dark, with or without blur, and
// below which window; the widget layer makes it so after every `changed`.
#pragma once

#include <cstdint>
#include <vector>

#include "core/geometry.h"
#include "core/platform.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;
class Prefs;

namespace dim {
// Black at this alpha for dim levels 0 to 3 (levels outside are clamped).
double alphaFor(int level);
inline constexpr double blurAlpha = 0.55;
}  // namespace dim

struct OverlayPlan {
    bool shown = false;
    Rect frame;           // the display's visible frame, screen coordinates
    double dimAlpha = 0;  // the darkening layer's black
    bool blur = false;    // the blur layer shown
    uint32_t below = 0;   // the window number it lies directly under
};

class DimOverlay {
public:
    DimOverlay(WindowManager& manager, Prefs& prefs, Platform& platform);

    // Recomputes every overlay from the settings, the manager, the strips and
    // the focused window. Cheap: nothing is created once every display has had one.
    void update();

    // One per display index seen so far; kept when a display goes (ordered out).
    const std::vector<OverlayPlan>& plans() const { return plans_; }
    Signal<> changed;

private:
    WindowManager& manager_;
    Prefs& prefs_;
    Platform& platform_;
    std::vector<OverlayPlan> plans_;
};

}  // namespace tarvela

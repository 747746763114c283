// Trackpad and wheel gestures that drive the strip without the keyboard:
//   Option + scroll   slides the current display's strip and settles it on a
//                     column 0.25 s after the last scroll event;
//   three-finger swipe moves focus one column (recognised by Touches);
//   pinch in          opens the strip overview.
// Each is gated by its own preference; what they do goes through the
// manager's one way in, which does nothing while it is off or paused. All
// strip movement goes to the current display's strip.
//
// Main thread only, except that swipes may be recognised on the contact
// source's thread; they reach this object through a post to the main loop.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/signal.h"
#include "input/gesture_sources.h"
#include "input/touches.h"
#include "settings/prefs.h"

namespace tarvela {

class WindowManager;

class Gestures {
public:
    static constexpr double settleDelay = 0.25;
    // A notched wheel reports lines; one line slides this many points.
    static constexpr double lineFactor = 12;
    // A pinch whose magnifications add up below this opens the overview.
    static constexpr double pinchInThreshold = -0.25;

    Gestures(RunLoop& main, Prefs& prefs, WindowManager& manager, GestureSources& sources, Touches& touches);
    ~Gestures();
    Gestures(const Gestures&) = delete;
    Gestures& operator=(const Gestures&) = delete;

    // (Re)installs everything: stop(), the scroll tap (logged when it cannot be
    // made), the magnify monitor, and the swipe source with its handler.
    void start();
    // Removes the tap and the monitors; the swipe source stays.
    void stop();

    // Calls start() again (on the main loop) every time the manager's
    // permission goes from missing to granted after this call: the tap can
    // only be made once the permission exists.
    [[nodiscard]] Connection restartWhenTrusted(WindowManager& wm);

    // The multiplier of Prefs.scrollSpeed: 0 -> 0.6, 1 -> 1.0, 2 -> 1.7, clamped to 0...2.
    static double speedFor(int scrollSpeed);

    bool tapInstalled() const { return static_cast<bool>(tap_); }
    size_t monitorCount() const { return monitors_.size(); }
    bool settlePending() const { return settleWork_.has_value(); }
    double pinchSum() const { return pinchSum_; }

private:
    void installTap();
    bool scroll(const ScrollEvent& e);
    void pinch(const MagnifyEvent& e);
    void swiped(int d);
    double speed() const { return speedFor(prefs_.scrollSpeed()); }

    RunLoop& main_;
    Prefs& prefs_;
    WindowManager& manager_;
    GestureSources& sources_;
    Touches& touches_;
    SubscriptionRef tap_;
    std::vector<SubscriptionRef> monitors_;
    std::optional<RunLoop::TimerId> settleWork_;
    double pinchSum_ = 0;
    // The tap, the monitors, the swipe handler and timers reach this object only while it lives.
    Lifetime life_;
};

}  // namespace tarvela

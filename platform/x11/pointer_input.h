// One button release can reach us twice: as the ButtonRelease of our own
// pointer grab and as the XInput2 raw event (which the server withholds
// from us only while an active grab of ours runs). Both carry the same
// server time, but so do two separate releases within one millisecond, as
// XTEST and scripts make them: only the other kind of event at the same
// time, once, is the same release again.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/geometry.h"
#include "core/lifetime.h"
#include "core/runloop.h"
#include "platform/x11/displays.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class ReleaseOnce {
public:
    // Whether the release this event reports has not been counted yet.
    bool fresh(uint32_t time, bool raw) {
        if (last_ && last_->time == time && last_->raw != raw && !last_->twinSeen) {
            last_->twinSeen = true;
            return false;
        }
        last_ = Last{time, raw, false};
        return true;
    }

private:
    struct Last {
        uint32_t time;
        bool raw;
        bool twinSeen;
    };
    std::optional<Last> last_;
};

// The pointer and the buttons as the window manager takes them: the clicks
// grabbed on every client (click to focus, Alt+drag), the keyboard held
// through a drag, left-button releases told apart from their twins, and the
// pointer's position for whoever watches it (raw motion on the root,
// selected only while someone watches).
//
// Invariants (local to this part):
// - Raw motion is selected on the root exactly while a watcher is set.
// - At most one position report is posted at a time, and a watcher hears a
//   point only when it differs from the last one it heard.
class PointerInput {
public:
    PointerInput(Connection& conn, RunLoop& loop, Displays& displays) : conn_(conn), loop_(loop), displays_(displays) {}
    PointerInput(const PointerInput&) = delete;
    PointerInput& operator=(const PointerInput&) = delete;

    // XInput 2 is there: raw motion can be selected.
    void useXi2(bool on) { xi2_ = on; }

    // Clicks of the first three buttons on client w reach us first (wheel
    // buttons pass untouched, and Alt+wheel stays the root's).
    void grabClicks(xcb_window_t w);
    void ungrabClicks(xcb_window_t w);
    // The window under a drag must not see Alt come up alone: holding the
    // keyboard for the drag is a focus change to it that interrupts the press.
    void holdKeyboard(xcb_timestamp_t time);
    void releaseKeyboard();

    // Whether this left-button release has not been counted yet.
    bool released(xcb_timestamp_t time, bool raw) { return releases_.fresh(time, raw); }

    // A click on a client, passed on to it: news that would slide the strip
    // wait for the button to come up, so that the press and the release land
    // on the same spot of the window the user aimed at. Needs XInput 2, which
    // sees the release wherever it goes.
    void clicked(uint8_t button);
    // Holds `news` back while a click is down; false when it should go out now.
    bool holdUntilRelease(std::function<void()> news);
    // Any button came up (a raw event): the held news go out, in order.
    void buttonUp(uint8_t button);

    // `moved` hears the pointer's position (screen coordinates) while set.
    void watch(std::function<void(Point)> moved);
    void unwatch();
    // The pointer moved: the position is read once for everything queued meanwhile.
    void moved();

private:
    void report();

    Connection& conn_;
    RunLoop& loop_;
    Displays& displays_;
    Lifetime life_;
    bool xi2_ = false;
    ReleaseOnce releases_;
    uint8_t clickButton_ = 0;  // 0: no click is down
    std::vector<std::function<void()>> held_;
    std::function<void(Point)> watcher_;  // empty: raw motion is not selected
    bool reportPosted_ = false;
    std::optional<Point> reported_;  // the last point the current watcher was told
};

}  // namespace tarvela::x11

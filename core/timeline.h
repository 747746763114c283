// A value on its way from one number to another over a stretch of the clock
// that drives it (as KWin's TimeLine): a panel's fade, a toast's slide, the
// strip's scroll. It holds no clock and no timer; whoever ticks reads it at
// the tick's time, on whatever thread owns the ticks.
#pragma once

namespace tarvela {

enum class Easing {
    linear,
    outCubic,  // fast, then settling: what appears or follows the user
    inCubic,   // slow, then away: what leaves
};

// The eased share of the way at `p`, for `p` from 0 to 1.
double ease(Easing easing, double p);

struct Timeline {
    double from = 0;
    double to = 0;
    double start = 0;     // the clock's time when it set off
    double duration = 0;  // none: at `to` from the start
    Easing easing = Easing::linear;

    // The share of the duration gone at `now`, from 0 to 1. Within a hair of
    // the end counts as the end: steps of the clock added up in floating
    // point must land exactly on it.
    double progress(double now) const;
    // The value at `now`: exactly `to` once the duration has gone.
    double at(double now) const;
    bool running(double now) const { return progress(now) < 1; }
};

}  // namespace tarvela

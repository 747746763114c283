#include "core/timeline.h"

#include <algorithm>

namespace tarvela {

double ease(Easing easing, double p) {
    switch (easing) {
        case Easing::outCubic: return 1 - (1 - p) * (1 - p) * (1 - p);
        case Easing::inCubic: return p * p * p;
        case Easing::linear: break;
    }
    return p;
}

double Timeline::progress(double now) const {
    if (duration <= 0) return 1;
    const double p = std::clamp((now - start) / duration, 0.0, 1.0);
    return p > 1 - 1e-9 ? 1 : p;
}

double Timeline::at(double now) const {
    const double p = progress(now);
    return p == 1 ? to : from + (to - from) * ease(easing, p);
}

}  // namespace tarvela

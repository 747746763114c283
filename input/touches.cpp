#include "input/touches.h"

#include <cmath>

#include "core/log.h"

namespace tarvela {

Touches::Touches(GestureSources& sources) : sources_(sources) {}

void Touches::start(std::function<void(int)> onSwipe) {
    {
        std::lock_guard<std::mutex> lock(swipeMu_);
        onSwipe_ = std::move(onSwipe);
    }
    if (started_) return;  // the devices stay registered and now report to the new callback
    auto devices = sources_.startContactFrames(
        [this](int32_t device, const Contact* contacts, int32_t count, double timestamp, int32_t frameNo) {
            return frame(device, contacts, count, timestamp, frameNo);
        });
    if (!devices) {
        log("gestures: three-finger swipe unavailable on this " + sources_.machineName());
        return;
    }
    started_ = true;
    log("gestures: listening to " + std::to_string(*devices) + " trackpad(s)");
}

int32_t Touches::frame(int32_t, const Contact* contacts, int32_t count, double, int32_t) {
    if (!contacts || count != 3) {
        startX_.reset();
        fired_ = false;
        return 0;
    }
    const float x = (contacts[0].x + contacts[1].x + contacts[2].x) / 3.0f;
    if (!startX_) {
        startX_ = x;
        return 0;
    }
    if (fired_) return 0;
    const float moved = x - *startX_;
    if (std::fabs(moved) > threshold) {
        fired_ = true;
        std::function<void(int)> fn;
        {
            std::lock_guard<std::mutex> lock(swipeMu_);
            fn = onSwipe_;
        }
        if (fn) fn(moved < 0 ? 1 : -1);
    }
    return 0;
}

}  // namespace tarvela

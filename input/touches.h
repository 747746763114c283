// Three-finger horizontal swipes from raw trackpad contact frames: one swipe
// per touch, once the three fingers' mean position has moved more than 12 % of
// the trackpad's width from where the touch began.
//
// A touch goes: no touch (startX absent) -> started (startX set) -> fired ->
// no touch again whenever a frame has other than exactly three contacts.
//
// Threading: frame() runs on whatever thread the contact source uses; it alone
// touches startX and fired. start() and the callback swap are main-thread
// calls, guarded so a frame in flight never sees a half-replaced callback.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "input/gesture_sources.h"

namespace tarvela {

class Touches {
public:
    // How far (in trackpad widths) the fingers must travel.
    static constexpr float threshold = 0.12f;

    explicit Touches(GestureSources& sources);
    Touches(const Touches&) = delete;
    Touches& operator=(const Touches&) = delete;

    // Replaces the swipe callback (+1: fingers moved left, -1: right) and, the
    // first time the source is there, opens the trackpads. A missing source is
    // logged and tried again by the next call.
    void start(std::function<void(int)> onSwipe);

    // One contact frame; always returns 0 (the framework's convention).
    int32_t frame(int32_t device, const Contact* contacts, int32_t count, double timestamp, int32_t frameNo);

    bool started() const { return started_; }
    std::optional<float> startX() const { return startX_; }
    bool fired() const { return fired_; }

private:
    GestureSources& sources_;
    bool started_ = false;
    std::mutex swipeMu_;
    std::function<void(int)> onSwipe_;
    // Frame-thread state.
    std::optional<float> startX_;
    bool fired_ = false;
};

}  // namespace tarvela

// Turns a platform's recognised multi-finger swipe (begin, relative updates,
// end) into the contact frames the three-finger recogniser reads, so the
// recogniser's rules (one swipe per touch, 12 % of the width) hold for both
// kinds of source. Header-only: the X11 layer uses it without linking the
// input logic.
#pragma once

#include <algorithm>
#include <vector>

#include "input/gesture_sources.h"

namespace tarvela {

class SwipeFrames {
public:
    // The width of a typical laptop trackpad (about 100 mm) in the units of
    // unaccelerated gesture deltas (1/1000 inch), since swipe events carry no
    // device size.
    static constexpr double padWidth = 4000;

    explicit SwipeFrames(ContactFrameCallback out, int32_t device = 0) : out_(std::move(out)), device_(device) {}

    // Fingers touch down; `dx` is any motion the begin already carries.
    void begin(int fingers, double dx) {
        fingers_ = std::max(fingers, 0);
        travelled_ = 0;
        emit();  // where the touch starts
        update(dx);
    }
    void update(double dx) {
        if (fingers_ == 0) return;
        travelled_ += dx;
        emit();
    }
    // Fingers lift (or the gesture is cancelled): the touch is over.
    void end() {
        fingers_ = 0;
        out_(device_, nullptr, 0, 0, frame_++);
    }

private:
    void emit() {
        const float x = static_cast<float>(0.5 + travelled_ / padWidth);
        std::vector<Contact> contacts(static_cast<size_t>(fingers_), Contact{x, 0.5f});
        // Spread the fingers as a hand would; the mean is what counts.
        for (size_t i = 0; i < contacts.size(); ++i) contacts[i].x += 0.02f * (static_cast<float>(i) - (fingers_ - 1) / 2.0f);
        out_(device_, contacts.empty() ? nullptr : contacts.data(), fingers_, 0, frame_++);
    }

    ContactFrameCallback out_;
    int32_t device_;
    int fingers_ = 0;
    double travelled_ = 0;
    int32_t frame_ = 0;
};

}  // namespace tarvela

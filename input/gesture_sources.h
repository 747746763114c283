// Where gestures come from: the platform's scroll-wheel tap (sees the scroll
// events of every application and may swallow them), its magnify monitor, and
// its raw trackpad contact frames. The gesture logic only needs the values in
// these records; X11 fills them from its wheel grab and XInput2, the
// simulated source from the test.
//
// Header-only records and interface, so the X11 layer can implement it
// without linking the input logic.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/platform.h"

namespace tarvela {

// One scroll-wheel event.
struct ScrollEvent {
    // Scrolling deltas: points when `precise`, lines (one per notch) otherwise.
    // Positive y shows content further up, positive x content further left.
    double deltaX = 0;
    double deltaY = 0;
    // Pixel-precise deltas (trackpads, smooth wheels); false for notched wheels.
    bool precise = false;
    // The system inverted the device's direction (its "natural" setting).
    bool invertedFromDevice = false;
    // The platform's event modifier flags (eventflags in settings/key_codes.h).
    uint64_t modifierFlags = 0;
};

// Phases of a continuous gesture, with the platform's values.
namespace gesturephase {
inline constexpr int none = 0, began = 1, stationary = 2, changed = 4, ended = 8, cancelled = 16;
}

// One magnify (pinch) event: the change of magnification since the last one.
struct MagnifyEvent {
    int phase = gesturephase::none;
    double magnification = 0;
};

// One finger on a trackpad; x is normalised (0 at the left edge, 1 at the right).
struct Contact {
    float x = 0;
    float y = 0;
};

// (device, contacts or null, count, timestamp, frame number) -> 0. May run on
// any thread.
using ContactFrameCallback =
    std::function<int32_t(int32_t device, const Contact* contacts, int32_t count, double timestamp, int32_t frame)>;

class GestureSources {
public:
    virtual ~GestureSources() = default;
    // Installs the scroll-wheel tap; the handler runs on the main thread and
    // returns true to swallow the event. Null when no tap can be made.
    virtual SubscriptionRef installScrollTap(std::function<bool(const ScrollEvent&)> handler) = 0;
    // Watches magnify gestures delivered to other applications, on the main
    // thread. Null when the platform has none.
    virtual SubscriptionRef addMagnifyMonitor(std::function<void(const MagnifyEvent&)> handler) = 0;
    // Opens the trackpads and registers the callback with each; returns how
    // many, or none when the contact source is missing. Once it succeeded it is
    // never called again: the devices stay registered for the process.
    virtual std::optional<int> startContactFrames(ContactFrameCallback callback) = 0;
    // How log lines name this machine ("three-finger swipe unavailable on this …").
    virtual std::string machineName() const { return "Mac"; }
};

}  // namespace tarvela

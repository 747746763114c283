// Gesture sources on X, beside the window manager on its connection:
//   scroll tap     a passive grab of wheel buttons 4-7 on the root with Alt,
//                  alone or with any other modifiers.
//                  Grabbed synchronously: a notch the gesture logic takes is
//                  swallowed, one it declines is replayed to the window under
//                  the pointer. Wheels report notches, so the x12 rule applies.
//                  Where the pointer has smooth-scroll valuators, an Alt
//                  scroll holds the pointer for the burst and reads the
//                  valuators as pixel-precise deltas.
//   magnify        XInput 2.4 pinch gestures selected on the root;
//   contact frames XInput 2.4 swipe gestures, turned into frames for the
//                  three-finger recogniser (input/swipe_frames.h).
// Gesture events can only be selected as a set (begin, update, end together).
// Main thread only.
#pragma once

#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/runloop.h"
#include "input/gesture_sources.h"
#include "input/swipe_frames.h"

namespace tarvela {

class X11Platform;
namespace x11 {
class Connection;
class Keymap;
}  // namespace x11

// Absolute pinch scales (1 at the start) as the increments macOS reports.
class PinchSteps {
public:
    MagnifyEvent begin(double scale) {
        last_ = 1;
        return {gesturephase::began, step(scale)};
    }
    MagnifyEvent update(double scale) { return {gesturephase::changed, step(scale)}; }
    MagnifyEvent end(double scale, bool cancelled) {
        return {cancelled ? gesturephase::cancelled : gesturephase::ended, step(scale)};
    }

private:
    double step(double scale) {
        const double d = scale - last_;
        last_ = scale;
        return d;
    }
    double last_ = 1;
};

// The platform's event modifier flags (eventflags) for an X modifier state.
uint64_t modifierFlagsForX(uint16_t state);

class X11GestureSources final : public GestureSources {
public:
    X11GestureSources(X11Platform& platform, RunLoop& main);
    ~X11GestureSources() override;
    X11GestureSources(const X11GestureSources&) = delete;
    X11GestureSources& operator=(const X11GestureSources&) = delete;

    SubscriptionRef installScrollTap(std::function<bool(const ScrollEvent&)> handler) override;
    SubscriptionRef addMagnifyMonitor(std::function<void(const MagnifyEvent&)> handler) override;
    std::optional<int> startContactFrames(ContactFrameCallback callback) override;
    // "three-finger swipe unavailable on this X server": the server lacks XInput 2.4.
    std::string machineName() const override { return "X server"; }

    bool gesturesOffered() const { return gestures_; }
    bool smoothOffered() const { return !scrollAxes_.empty(); }

    struct State;

private:
    bool onEvent(xcb_generic_event_t* e);
    bool onWheel(xcb_generic_event_t* e);
    void onGeneric(xcb_generic_event_t* e);
    void onPinch(xcb_generic_event_t* e, uint16_t type);
    void onSwipe(xcb_generic_event_t* e, uint16_t type);
    // While a smooth Alt scroll holds the pointer: a wheel notch or a click,
    // and motion whose scroll valuators move.
    void onHeldButton(xcb_input_button_press_event_t* ev, uint16_t type);
    void onHeldMotion(xcb_input_button_press_event_t* ev);
    void selectGestures();
    void queryScrollAxes();
    void beginSmooth(xcb_timestamp_t time);
    void endSmooth();

    struct ScrollAxis {
        uint16_t number;
        bool vertical;
        double increment;
    };

    x11::Connection& conn_;
    RunLoop& main_;
    std::unique_ptr<x11::Keymap> keymap_;
    uint64_t filter_ = 0;
    int xiOpcode_ = -1;
    bool gestures_ = false;   // XInput 2.4 with gesture events
    bool selected_ = false;   // gesture events selected on the root
    std::map<uint16_t, std::vector<ScrollAxis>> scrollAxes_;  // by source device
    uint16_t pointer_ = 2;  // the master pointer (the virtual core pointer unless told otherwise)
    std::vector<std::pair<uint16_t, double>> lastValuators_;  // smooth: last value per axis
    bool smoothHeld_ = false;
    std::optional<RunLoop::TimerId> smoothRelease_;
    std::shared_ptr<State> s_;
    PinchSteps pinch_;
    std::unique_ptr<SwipeFrames> swipe_;
    int swipeFingers_ = 0;
};

}  // namespace tarvela

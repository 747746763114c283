// Gesture sources for tests and the simulated desktop: the test plays the
// user, feeding scroll events (and learning whether the tap swallowed them),
// magnify events and contact frames, and can take each source away.
#pragma once

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "input/gesture_sources.h"

namespace tarvela {

class SimGestureSources final : public GestureSources {
public:
    SimGestureSources();
    ~SimGestureSources() override;

    SubscriptionRef installScrollTap(std::function<bool(const ScrollEvent&)> handler) override;
    SubscriptionRef addMagnifyMonitor(std::function<void(const MagnifyEvent&)> handler) override;
    std::optional<int> startContactFrames(ContactFrameCallback callback) override;

    // ---- what the platform offers ----
    bool tapAllowed = true;             // false: no tap (no permission)
    bool magnifyAvailable = true;
    std::optional<int> trackpads = 1;   // none: no contact source

    // ---- the user ----
    // Through every live tap, newest first: true when one swallowed the event,
    // false when it reaches the application under the pointer.
    bool scroll(const ScrollEvent& e);
    void magnify(const MagnifyEvent& e);
    // One contact frame from a device (every registered callback of it).
    void frame(int32_t device, const std::vector<Contact>& contacts);
    void frameNull(int32_t device);

    // ---- inspection ----
    int liveTaps() const;
    int liveMagnifyMonitors() const;
    int contactStarts() const { return contactStarts_; }
    // Frame callbacks registered with one device.
    int registrations(int32_t device) const;

    struct State;

private:
    std::shared_ptr<State> s_;
    int contactStarts_ = 0;
    std::vector<std::pair<int32_t, ContactFrameCallback>> callbacks_;  // (device, callback)
    void deliver(int32_t device, const Contact* contacts, int32_t count);
    int32_t frameNo_ = 0;
};

}  // namespace tarvela

// Accessibility observers, workspace notifications and the mouse-up monitor:
// what the logic subscribed to, and the deliveries to it. Every delivery is
// posted to the run loop, so a callback never runs inside an X event handler
// and may call back into the platform freely. Handles the logic holds
// unsubscribe themselves and outlive the platform harmlessly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/platform.h"
#include "core/runloop.h"

namespace tarvela::x11 {

// The registries, shared with the handles.
struct Subscribers {
    struct AXReg {
        int32_t pid;
        std::set<std::string, std::less<>> names;
        bool attached = false;
        AXCallback cb;
    };
    struct WsReg {
        WorkspaceEvent event;
        WorkspaceHandler handler;
    };
    std::map<uint64_t, AXReg> ax;
    std::map<uint64_t, WsReg> workspace;
    std::map<uint64_t, std::function<void()>> mouseUp;
    std::map<uint64_t, ActivationHandler> activation;
    std::map<uint64_t, std::function<void(const std::string&)>> launch;
    std::map<uint64_t, DesktopHandler> desktop;
    std::map<uint64_t, std::function<void(const AXElement&, bool)>> drag;
    uint64_t nextId = 1;
};

class Notifications {
public:
    explicit Notifications(RunLoop& loop) : loop_(loop) {}
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;

    std::unique_ptr<AXObserver> observe(int32_t pid, AXCallback callback);
    SubscriptionRef onWorkspace(WorkspaceEvent event, WorkspaceHandler handler);
    SubscriptionRef onMouseUp(std::function<void()> handler);
    SubscriptionRef onActivation(ActivationHandler handler);
    SubscriptionRef onLaunch(std::function<void(const std::string&)> handler);
    SubscriptionRef onDrag(std::function<void(const AXElement&, bool)> handler);

    void postAX(int32_t pid, const AXElement& el, std::string_view name);
    void postWorkspace(WorkspaceEvent ev, std::optional<RunningApp> app);
    void postMouseUp();
    // Whether anyone takes activation requests; the platform then leaves them to it.
    bool takesActivations() const { return !subs_->activation.empty(); }
    void postActivation(const ActivationRequest& req);
    void postLaunch(const std::string& startupId);
    void postDrag(const AXElement& window, bool moving);
    SubscriptionRef onDesktopRequest(DesktopHandler handler);
    bool takesDesktopRequests() const { return !subs_->desktop.empty(); }
    void postDesktopRequest(const DesktopRequest& req);

    // Unique to this platform while anything refers to it, and never reused meanwhile.
    std::weak_ptr<const void> identity() const { return subs_; }

private:
    RunLoop& loop_;
    std::shared_ptr<Subscribers> subs_ = std::make_shared<Subscribers>();
};

}  // namespace tarvela::x11

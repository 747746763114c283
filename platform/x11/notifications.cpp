#include "platform/x11/notifications.h"

namespace tarvela::x11 {

namespace {

class X11Observer final : public AXObserver {
public:
    X11Observer(std::weak_ptr<Subscribers> n, uint64_t id) : n_(std::move(n)), id_(id) {}
    ~X11Observer() override {
        if (auto n = n_.lock()) n->ax.erase(id_);
    }
    void addNotification(const AXElement&, std::string_view notification) override {
        if (auto n = n_.lock(); n && n->ax.count(id_)) n->ax[id_].names.emplace(notification);
    }
    void attach() override { setAttached(true); }
    void detach() override { setAttached(false); }

private:
    void setAttached(bool on) {
        if (auto n = n_.lock(); n && n->ax.count(id_)) n->ax[id_].attached = on;
    }
    std::weak_ptr<Subscribers> n_;
    uint64_t id_;
};

// Removes one entry from one of the subscriber registries when dropped.
template <class Map>
class Registration final : public Subscription {
public:
    Registration(std::weak_ptr<Subscribers> n, Map Subscribers::*map, uint64_t id) : n_(std::move(n)), map_(map), id_(id) {}
    ~Registration() override {
        if (auto n = n_.lock()) ((*n).*map_).erase(id_);
    }

private:
    std::weak_ptr<Subscribers> n_;
    Map Subscribers::*map_;
    uint64_t id_;
};

}  // namespace

void Notifications::postAX(int32_t pid, const AXElement& el, std::string_view name) {
    if (pid <= 0) return;
    for (auto& [id, reg] : subs_->ax) {
        if (reg.pid != pid || !reg.attached || !reg.names.count(name)) continue;
        loop_.post([n = std::weak_ptr<Subscribers>(subs_), id = id, el, name = std::string(name)] {
            auto alive = n.lock();
            if (!alive) return;
            auto it = alive->ax.find(id);
            // Detached or dropped since: nothing is delivered.
            if (it == alive->ax.end() || !it->second.attached) return;
            AXCallback cb = it->second.cb;
            cb(el, name);
        });
    }
}

void Notifications::postWorkspace(WorkspaceEvent ev, std::optional<RunningApp> app) {
    for (auto& [id, reg] : subs_->workspace) {
        if (reg.event != ev) continue;
        loop_.post([n = std::weak_ptr<Subscribers>(subs_), id = id, ev, app] {
            auto alive = n.lock();
            if (!alive) return;
            auto it = alive->workspace.find(id);
            if (it == alive->workspace.end()) return;
            WorkspaceHandler h = it->second.handler;
            h(ev, app);
        });
    }
}

namespace {
// Posts a call of every handler in the registry `member` with `args`; one
// unsubscribed before the loop runs the call is not called.
template <class Map, class... Args>
void postToAll(RunLoop& loop, const std::shared_ptr<Subscribers>& subs, Map Subscribers::*member, Args... args) {
    for (auto& entry : (*subs).*member) {
        loop.post([n = std::weak_ptr<Subscribers>(subs), member, id = entry.first, args...] {
            auto alive = n.lock();
            if (!alive) return;
            auto it = ((*alive).*member).find(id);
            if (it == ((*alive).*member).end()) return;
            auto handler = it->second;
            handler(args...);
        });
    }
}
}  // namespace

void Notifications::postMouseUp() { postToAll(loop_, subs_, &Subscribers::mouseUp); }

void Notifications::postActivation(const ActivationRequest& req) { postToAll(loop_, subs_, &Subscribers::activation, req); }

void Notifications::postLaunch(const std::string& startupId) { postToAll(loop_, subs_, &Subscribers::launch, startupId); }

void Notifications::postDesktopRequest(const DesktopRequest& req) { postToAll(loop_, subs_, &Subscribers::desktop, req); }

void Notifications::postDrag(const AXElement& window, bool moving) {
    postToAll(loop_, subs_, &Subscribers::drag, window, moving);
}

SubscriptionRef Notifications::onDrag(std::function<void(const AXElement&, bool)> handler) {
    const uint64_t id = subs_->nextId++;
    subs_->drag[id] = std::move(handler);
    return std::make_unique<Registration<decltype(Subscribers::drag)>>(subs_, &Subscribers::drag, id);
}

SubscriptionRef Notifications::onDesktopRequest(DesktopHandler handler) {
    const uint64_t id = subs_->nextId++;
    subs_->desktop[id] = std::move(handler);
    return std::make_unique<Registration<decltype(Subscribers::desktop)>>(subs_, &Subscribers::desktop, id);
}

std::unique_ptr<AXObserver> Notifications::observe(int32_t pid, AXCallback callback) {
    if (pid <= 0 || !callback) return nullptr;
    const uint64_t id = subs_->nextId++;
    subs_->ax[id] = Subscribers::AXReg{pid, {}, false, std::move(callback)};
    return std::make_unique<X11Observer>(subs_, id);
}

SubscriptionRef Notifications::onWorkspace(WorkspaceEvent event, WorkspaceHandler handler) {
    const uint64_t id = subs_->nextId++;
    subs_->workspace[id] = Subscribers::WsReg{event, std::move(handler)};
    return std::make_unique<Registration<decltype(Subscribers::workspace)>>(subs_, &Subscribers::workspace, id);
}

SubscriptionRef Notifications::onMouseUp(std::function<void()> handler) {
    const uint64_t id = subs_->nextId++;
    subs_->mouseUp[id] = std::move(handler);
    return std::make_unique<Registration<decltype(Subscribers::mouseUp)>>(subs_, &Subscribers::mouseUp, id);
}

SubscriptionRef Notifications::onActivation(ActivationHandler handler) {
    const uint64_t id = subs_->nextId++;
    subs_->activation[id] = std::move(handler);
    return std::make_unique<Registration<decltype(Subscribers::activation)>>(subs_, &Subscribers::activation, id);
}

SubscriptionRef Notifications::onLaunch(std::function<void(const std::string&)> handler) {
    const uint64_t id = subs_->nextId++;
    subs_->launch[id] = std::move(handler);
    return std::make_unique<Registration<decltype(Subscribers::launch)>>(subs_, &Subscribers::launch, id);
}

}  // namespace tarvela::x11

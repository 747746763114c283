// Accessibility observers, workspace observers and mouse-up monitors of the
// simulated desktop. Each holds the desktop weakly: it may outlive it, and a
// delivery queued on the run loop for a listener that has gone does nothing.
#include <algorithm>

#include "platform/sim/sim_state.h"

namespace tarvela {

using State = SimDesktop::State;

namespace {

class SimObserver final : public AXObserver {
public:
    SimObserver(std::weak_ptr<State> s, uint64_t id) : s_(std::move(s)), id_(id) {}
    ~SimObserver() override {
        if (auto s = s_.lock()) {
            std::lock_guard lock(s->m);
            s->observers.erase(id_);
        }
    }
    void addNotification(const AXElement& appElement, std::string_view notification) override {
        with([&](SimObserverRec& r) {
            // As on the original platform, an observer watches only its own process.
            if (appElement.kind == AXElement::Kind::Application &&
                static_cast<int32_t>(static_cast<uint32_t>(appElement.id)) == r.pid)
                r.names.emplace(notification);
        });
    }
    void attach() override {
        with([](SimObserverRec& r) { r.attached = true; });
    }
    void detach() override {
        with([](SimObserverRec& r) { r.attached = false; });
    }

private:
    template <class F>
    void with(F f) {
        if (auto s = s_.lock()) {
            std::lock_guard lock(s->m);
            auto it = s->observers.find(id_);
            if (it != s->observers.end()) f(it->second);
        }
    }
    std::weak_ptr<State> s_;
    uint64_t id_;
};

enum class SubKind { Workspace, Mouse, Activation, Launch, Desktop, Drag };

class SimSubscription final : public Subscription {
public:
    SimSubscription(std::weak_ptr<State> s, SubKind kind, uint64_t id) : s_(std::move(s)), kind_(kind), id_(id) {}
    ~SimSubscription() override {
        if (auto s = s_.lock()) {
            std::lock_guard lock(s->m);
            if (kind_ == SubKind::Workspace)
                s->workspace.erase(id_);
            else if (kind_ == SubKind::Mouse)
                s->mouse.erase(id_);
            else if (kind_ == SubKind::Activation)
                s->activation.erase(id_);
            else if (kind_ == SubKind::Launch)
                s->launch.erase(id_);
            else if (kind_ == SubKind::Drag)
                s->drag.erase(id_);
            else
                s->desktopMonitors.erase(id_);
        }
    }

private:
    std::weak_ptr<State> s_;
    SubKind kind_;
    uint64_t id_;
};

}  // namespace

void State::notifyAX(int32_t pid, const AXElement& el, std::string_view name) {
    for (auto& [id, rec] : observers) {
        if (rec.pid != pid || !rec.attached || !rec.names.count(name)) continue;
        loop.post([w = weak_from_this(), id = id, el, n = std::string(name)] {
            auto s = w.lock();
            if (!s) return;
            AXCallback cb;
            {
                std::lock_guard lock(s->m);
                auto it = s->observers.find(id);
                if (it == s->observers.end() || !it->second.attached) return;
                cb = it->second.callback;
            }
            if (cb) cb(el, n);
        });
    }
}

void State::postWorkspace(WorkspaceEvent event, const std::optional<RunningApp>& app) {
    for (auto& [id, entry] : workspace) {
        if (entry.first != event) continue;
        loop.post([w = weak_from_this(), id = id, event, app] {
            auto s = w.lock();
            if (!s) return;
            WorkspaceHandler h;
            {
                std::lock_guard lock(s->m);
                auto it = s->workspace.find(id);
                if (it == s->workspace.end()) return;
                h = it->second.second;
            }
            if (h) h(event, app);
        });
    }
}

std::unique_ptr<AXObserver> SimDesktop::createObserver(int32_t pid, AXCallback callback) {
    std::lock_guard lock(s_->m);
    SimApp* a = s_->app(pid);
    if (!a || a->refusesObservers || a->unresponsive || !s_->trusted) return nullptr;
    const uint64_t id = s_->nextSub++;
    s_->observers.emplace(id, SimObserverRec{pid, std::move(callback), {}, false});
    return std::make_unique<SimObserver>(s_, id);
}

SubscriptionRef SimDesktop::addWorkspaceObserver(WorkspaceEvent event, WorkspaceHandler handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->workspace.emplace(id, std::make_pair(event, std::move(handler)));
    return std::make_unique<SimSubscription>(s_, SubKind::Workspace, id);
}

SubscriptionRef SimDesktop::addMouseUpMonitor(std::function<void()> handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->mouse.emplace(id, std::move(handler));
    return std::make_unique<SimSubscription>(s_, SubKind::Mouse, id);
}

SubscriptionRef SimDesktop::addActivationMonitor(ActivationHandler handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->activation.emplace(id, std::move(handler));
    return std::make_unique<SimSubscription>(s_, SubKind::Activation, id);
}

namespace {
// Posts a call of every handler in the registry `member` of s with `args`;
// a handler unsubscribed before the loop runs the call is not called. The
// caller holds s->m.
template <class Map, class... Args>
void postToAll(const std::shared_ptr<State>& s, Map State::*member, Args... args) {
    for (auto& entry : (*s).*member) {
        s->loop.post([w = std::weak_ptr<State>(s), member, id = entry.first, args...] {
            auto alive = w.lock();
            if (!alive) return;
            typename Map::mapped_type h;
            {
                std::lock_guard lock(alive->m);
                auto it = ((*alive).*member).find(id);
                if (it == ((*alive).*member).end()) return;
                h = it->second;
            }
            if (h) h(args...);
        });
    }
}
}  // namespace

void SimDesktop::requestActivation(const AXElement& el, ActivationSource source, std::optional<int64_t> userTime) {
    {
        std::lock_guard lock(s_->m);
        if (!s_->activation.empty()) {
            postToAll(s_, &State::activation, ActivationRequest{el, source, userTime});
            return;
        }
    }
    focusWindow(el);
}

SubscriptionRef SimDesktop::addDesktopMonitor(DesktopHandler handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->desktopMonitors.emplace(id, std::move(handler));
    return std::make_unique<SimSubscription>(s_, SubKind::Desktop, id);
}

void SimDesktop::requestDesktop(const DesktopRequest& req) {
    std::lock_guard lock(s_->m);
    postToAll(s_, &State::desktopMonitors, req);
}

void SimDesktop::publishDesktops(const DesktopSet& set) {
    std::lock_guard lock(s_->m);
    s_->desktops = set;
}

void SimDesktop::setWindowDesktop(const AXElement& window, int desktop) {
    std::lock_guard lock(s_->m);
    if (SimWindow* w = s_->openWindow(window)) w->desktop = desktop;
}

DesktopSet SimDesktop::desktops() const {
    std::lock_guard lock(s_->m);
    return s_->desktops;
}

std::optional<int> SimDesktop::desktopOf(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    if (!w) return std::nullopt;
    return w->desktop;
}

bool SimDesktop::isShown(const AXElement& el) const {
    std::lock_guard lock(s_->m);
    SimWindow* w = s_->openWindow(el);
    return w && !w->desc.minimized && (w->desktop == kAllDesktops || w->desktop == s_->desktops.current);
}

void SimDesktop::mouseUp() {
    std::lock_guard lock(s_->m);
    postDrag(false);
    postToAll(s_, &State::mouse);
}

void SimDesktop::cancelDrag() {
    std::lock_guard lock(s_->m);
    postDrag(false);
}

void SimDesktop::postDrag(bool moving) {
    if (!s_->dragging) return;
    postToAll(s_, &State::drag, *s_->dragging, moving);
    if (!moving) s_->dragging.reset();
}

SubscriptionRef SimDesktop::addDragMonitor(std::function<void(const AXElement&, bool)> handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->drag.emplace(id, std::move(handler));
    return std::make_unique<SimSubscription>(s_, SubKind::Drag, id);
}

void SimDesktop::showDropMarker(std::optional<Rect> r) {
    std::lock_guard lock(s_->m);
    s_->dropMarker = r;
}

std::optional<Rect> SimDesktop::dropMarker() const {
    std::lock_guard lock(s_->m);
    return s_->dropMarker;
}

SubscriptionRef SimDesktop::addLaunchMonitor(std::function<void(const std::string&)> handler) {
    std::lock_guard lock(s_->m);
    const uint64_t id = s_->nextSub++;
    s_->launch.emplace(id, std::move(handler));
    return std::make_unique<SimSubscription>(s_, SubKind::Launch, id);
}

void SimDesktop::announceLaunch(const std::string& startupId) {
    std::lock_guard lock(s_->m);
    postToAll(s_, &State::launch, startupId);
}

void SimDesktop::postActiveSpaceChange() {
    std::lock_guard lock(s_->m);
    s_->postWorkspace(WorkspaceEvent::ActiveSpaceDidChange, std::nullopt);
}

int SimDesktop::liveObservers() const {
    std::lock_guard lock(s_->m);
    return static_cast<int>(s_->observers.size());
}

int SimDesktop::liveObservers(int32_t pid) const {
    std::lock_guard lock(s_->m);
    return static_cast<int>(std::count_if(s_->observers.begin(), s_->observers.end(),
                                          [&](auto& e) { return e.second.pid == pid; }));
}

int SimDesktop::liveWorkspaceObservers() const {
    std::lock_guard lock(s_->m);
    return static_cast<int>(s_->workspace.size());
}

int SimDesktop::liveWorkspaceObservers(WorkspaceEvent event) const {
    std::lock_guard lock(s_->m);
    return static_cast<int>(std::count_if(s_->workspace.begin(), s_->workspace.end(),
                                          [&](auto& e) { return e.second.first == event; }));
}

int SimDesktop::liveMouseMonitors() const {
    std::lock_guard lock(s_->m);
    return static_cast<int>(s_->mouse.size());
}

}  // namespace tarvela

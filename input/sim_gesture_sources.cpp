#include "input/sim_gesture_sources.h"

#include <map>

namespace tarvela {

struct SimGestureSources::State {
    std::map<uint64_t, std::function<bool(const ScrollEvent&)>> taps;
    std::map<uint64_t, std::function<void(const MagnifyEvent&)>> magnify;
    uint64_t next = 1;
};

namespace {
// Unsubscribes on destruction; harmless once the sources are gone.
template <class Map>
class SimSub final : public Subscription {
public:
    SimSub(std::weak_ptr<SimGestureSources::State> s, Map SimGestureSources::State::*map, uint64_t id)
        : s_(std::move(s)), map_(map), id_(id) {}
    ~SimSub() override {
        if (auto s = s_.lock()) ((*s).*map_).erase(id_);
    }

private:
    std::weak_ptr<SimGestureSources::State> s_;
    Map SimGestureSources::State::*map_;
    uint64_t id_;
};
}  // namespace

SimGestureSources::SimGestureSources() : s_(std::make_shared<State>()) {}
SimGestureSources::~SimGestureSources() = default;

SubscriptionRef SimGestureSources::installScrollTap(std::function<bool(const ScrollEvent&)> handler) {
    if (!tapAllowed) return nullptr;
    uint64_t id = s_->next++;
    s_->taps[id] = std::move(handler);
    return std::make_unique<SimSub<decltype(State::taps)>>(s_, &State::taps, id);
}

SubscriptionRef SimGestureSources::addMagnifyMonitor(std::function<void(const MagnifyEvent&)> handler) {
    if (!magnifyAvailable) return nullptr;
    uint64_t id = s_->next++;
    s_->magnify[id] = std::move(handler);
    return std::make_unique<SimSub<decltype(State::magnify)>>(s_, &State::magnify, id);
}

std::optional<int> SimGestureSources::startContactFrames(ContactFrameCallback callback) {
    ++contactStarts_;
    if (!trackpads) return std::nullopt;
    // The framework keeps every registration: a second start would double them.
    for (int32_t d = 0; d < *trackpads; ++d) callbacks_.emplace_back(d, callback);
    return trackpads;
}

bool SimGestureSources::scroll(const ScrollEvent& e) {
    auto taps = s_->taps;  // a handler may remove its own tap
    for (auto it = taps.rbegin(); it != taps.rend(); ++it)
        if (it->second(e)) return true;
    return false;
}

void SimGestureSources::magnify(const MagnifyEvent& e) {
    auto monitors = s_->magnify;
    for (auto& [id, fn] : monitors) fn(e);
}

void SimGestureSources::deliver(int32_t device, const Contact* contacts, int32_t count) {
    for (auto& [d, fn] : callbacks_)
        if (d == device) fn(device, contacts, count, frameNo_ * 0.008, frameNo_);
    ++frameNo_;
}

void SimGestureSources::frame(int32_t device, const std::vector<Contact>& contacts) {
    deliver(device, contacts.data(), static_cast<int32_t>(contacts.size()));
}

void SimGestureSources::frameNull(int32_t device) { deliver(device, nullptr, 0); }

int SimGestureSources::liveTaps() const { return static_cast<int>(s_->taps.size()); }
int SimGestureSources::liveMagnifyMonitors() const { return static_cast<int>(s_->magnify.size()); }

int SimGestureSources::registrations(int32_t device) const {
    int count = 0;
    for (auto& [d, fn] : callbacks_)
        if (d == device) ++count;
    return count;
}

}  // namespace tarvela

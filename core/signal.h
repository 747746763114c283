// A minimal observer mechanism: a Signal calls its connected slots in connection
// order; connect() hands back a Connection that disconnects when destroyed, so a
// subscriber that goes away cannot be called afterwards. Owners emit only on a
// real change of what they publish.
//
// Slots may connect or disconnect (themselves or others) while a signal is being
// emitted: a slot disconnected during an emission is not called later in it, a
// slot connected during one is first called by the next. Connecting, disconnecting
// and emitting are safe from any thread; slots run on the emitting thread. A
// disconnect from another thread does not wait for a call already under way.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace tarvela {

class Connection {
public:
    Connection() = default;
    explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& o) noexcept : disconnect_(std::exchange(o.disconnect_, nullptr)) {}
    Connection& operator=(Connection&& o) noexcept {
        if (this != &o) {
            disconnect();
            disconnect_ = std::exchange(o.disconnect_, nullptr);
        }
        return *this;
    }
    ~Connection() { disconnect(); }

    void disconnect() {
        if (auto fn = std::exchange(disconnect_, nullptr)) fn();
    }
    bool connected() const { return static_cast<bool>(disconnect_); }

private:
    std::function<void()> disconnect_;
};

template <class... Args>
class Signal {
public:
    using Slot = std::function<void(const Args&...)>;

    Signal() = default;
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Connection connect(Slot fn) {
        auto entry = std::make_shared<Entry>();
        entry->fn = std::move(fn);
        {
            std::lock_guard<std::mutex> lock(state_->m);
            state_->entries.push_back(entry);
        }
        std::weak_ptr<State> weakState = state_;
        std::weak_ptr<Entry> weakEntry = entry;
        return Connection([weakState, weakEntry] {
            auto e = weakEntry.lock();
            if (!e) return;
            e->alive = false;
            if (auto s = weakState.lock()) {
                std::lock_guard<std::mutex> stateLock(s->m);
                std::erase(s->entries, e);
            }
        });
    }

    void emit(const Args&... args) const {
        std::vector<std::shared_ptr<Entry>> snapshot;
        {
            std::lock_guard<std::mutex> lock(state_->m);
            snapshot = state_->entries;
        }
        for (auto& e : snapshot)
            if (e->alive) e->fn(args...);
    }

    size_t slotCount() const {
        std::lock_guard<std::mutex> lock(state_->m);
        return state_->entries.size();
    }

private:
    struct Entry {
        std::atomic<bool> alive{true};
        Slot fn;
    };
    struct State {
        std::mutex m;
        std::vector<std::shared_ptr<Entry>> entries;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tarvela

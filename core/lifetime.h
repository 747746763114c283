// Work handed to a run loop, a timer or another object's callback may come due
// after the object that asked for it is gone. An owner keeps one Lifetime as a
// member and wraps such work with guard(): the wrapped call does nothing once the
// owner has been destroyed (or has called end() early, in a destructor that must
// stop callbacks before its other members go).
//
// The check and the call happen on the thread that runs the wrapped function; an
// owner is destroyed on the thread that runs its callbacks, so the check cannot
// race with the destruction.
#pragma once

#include <memory>
#include <utility>

namespace tarvela {

class Lifetime {
public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // fn, called with whatever the wrapper is called with, while the owner lives.
    // A function with a result gives a default one (false, none) once it has gone.
    template <class F>
    auto guard(F fn) const {
        return [alive = std::weak_ptr<const int>(token_), fn = std::move(fn)](auto&&... args) mutable {
            using Result = decltype(fn(std::forward<decltype(args)>(args)...));
            if (alive.expired()) return Result();
            return fn(std::forward<decltype(args)>(args)...);
        };
    }

    void end() { token_.reset(); }
    bool ended() const { return !token_; }

private:
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};

}  // namespace tarvela

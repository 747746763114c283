#include "platform/sim/sim_shell_desktop.h"

namespace tarvela {

void SimShellDesktop::setCompositing(bool on) {
    if (on == compositing_) return;
    compositing_ = on;
    loop_.post([this, alive = std::weak_ptr<int>(life_), on] {
        if (alive.expired() || !compositingHandler_) return;
        auto handler = compositingHandler_;
        handler(on);
    });
}

void SimShellDesktop::movePointer(Point p) {
    pointer_ = p;
    if (!moved_) return;
    // Like the real desktop: the position is read when the delivery runs, so a
    // burst of moves before it is reported once, where the pointer ended.
    loop_.post([this, alive = std::weak_ptr<int>(life_)] {
        if (alive.expired() || !moved_ || reported_ == pointer_) return;
        reported_ = pointer_;
        auto moved = moved_;
        moved(pointer_);
    });
}

void SimShellDesktop::watchPointer(std::function<void(Point)> moved) {
    moved_ = std::move(moved);
    reported_.reset();
}

void SimShellDesktop::unwatchPointer() {
    moved_ = nullptr;
    reported_.reset();
}

}  // namespace tarvela

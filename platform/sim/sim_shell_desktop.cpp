#include "platform/sim/sim_shell_desktop.h"

namespace tarvela {

void SimShellDesktop::setRuns(bool& runs, std::function<void(bool)> SimShellDesktop::*handler, bool on) {
    if (on == runs) return;
    runs = on;
    loop_.post([this, alive = std::weak_ptr<int>(life_), handler, on] {
        if (alive.expired() || !(this->*handler)) return;
        auto told = this->*handler;
        told(on);
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

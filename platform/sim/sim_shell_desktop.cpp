#include "platform/sim/sim_shell_desktop.h"

namespace tarvela {

void SimShellDesktop::setRuns(bool& runs, std::function<void(bool)> SimShellDesktop::*handler, bool on) {
    if (auto tell = runsChanged(runs, this->*handler, on)) loop_.post(life_.guard(std::move(tell)));
}

void SimShellDesktop::movePointer(Point p) {
    pointer_ = p;
    if (!moved_) return;
    // Like the real desktop: the position is read when the delivery runs, so a
    // burst of moves before it is reported once, where the pointer ended.
    loop_.post(life_.guard([this] {
        if (!moved_ || reported_ == pointer_) return;
        reported_ = pointer_;
        auto moved = moved_;
        moved(pointer_);
    }));
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

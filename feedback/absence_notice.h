// Something the shell's panels need from the desktop that the user may start
// or quit at any time: a compositing manager, a panel with a system tray. The
// log says once that it is missing when that first matters, and once that it
// runs when it comes back; a later absence is said again.
#pragma once

#include <string>

namespace tarvela {

class AbsenceNotice {
public:
    AbsenceNotice(std::string missingLine, std::string backLine)
        : missingLine_(std::move(missingLine)), backLine_(std::move(backLine)) {}

    // It is needed and does not run.
    void missing();
    // It runs.
    void present();

private:
    std::string missingLine_, backLine_;
    bool said_ = false;  // missing, and not yet back
};

}  // namespace tarvela

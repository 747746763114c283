// The HUD's own state beside the manager's: whether its options row is open.
#pragma once

#include "manager/window_manager.h"
#include "core/signal.h"

namespace tarvela {

class HUDState {
public:
    Signal<> changed;
    // Opened and closed by the status button; closed once the HUD has faded out.
    Published<bool> opts{changed, false};
};

}  // namespace tarvela

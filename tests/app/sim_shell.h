// What a headless shell test gives its shell: the simulated desktop, the
// manual clock's loop and queues, and workers that run inline. Each test adds
// the rest by name.
#pragma once

#include "app/shell.h"
#include "core/manual_time.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela::testing {

inline ShellDeps simShellDeps(SimDesktop& sim, ManualTime& time, Defaults& defaults, HotkeyService& keys,
                              Router& router, FeedbackHooks& feedback) {
    return ShellDeps{.platform = sim,
                     .main = time.loop(),
                     .defaults = defaults,
                     .hotkeys = keys,
                     .router = router,
                     .feedback = feedback,
                     .makeQueue = time.queueFactory(),
                     .workers = makeInlineParallelFor()};
}

}  // namespace tarvela::testing

// The on-screen feedback's own work on the simulated desktop:
//   dim_update_us  one update of the dim overlays, four displays of forty
//                  windows each, the manager running, the focus moving (mean).
#include <chrono>
#include <cstdio>

#include "bench/sim_desk.h"
#include "core/log.h"
#include "feedback/dim_overlay.h"
#include "manager/actions.h"

using namespace tarvela;

int main() {
    setLogSink([](const std::string&) {});
    Desk desk(4, 40);
    desk.wm.start();
    desk.time.drain();
    DimOverlay dim(desk.wm, desk.prefs, desk.sim);
    dim.update();
    size_t shown = 0;
    for (const OverlayPlan& p : dim.plans()) shown += p.shown;
    if (dim.plans().size() != 4 || shown != 4) {
        std::fprintf(stderr, "feedback_bench: %zu overlays, %zu shown\n", dim.plans().size(), shown);
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    long n = 0;
    double us = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(300);
    while (n < 200 || Clock::now() < end) {
        desk.wm.perform(n % 2 ? Action::focusPrev : Action::focusNext, 0);
        desk.time.drain();
        const auto t0 = Clock::now();
        dim.update();
        us += std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
        ++n;
    }
    std::printf("BENCH dim_update_us %.1f us\n", us / static_cast<double>(n));
    setLogSink(nullptr);
    return 0;
}

// Moving the focused column one place left through the manager's one way in,
// from a strip at rest until it is at rest again: 20 windows in four
// applications on the simulated desktop, 0.3 ms spent on every write, the
// real animation thread and worker pool (the slide's own 0.32 s included).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "core/log.h"
#include "core/manual_time.h"
#include "manager/window_manager.h"
#include "platform/sim/sim_desktop.h"
#include "settings/defaults.h"

using namespace tarvela;

int main() {
    setLogSink([](const std::string&) {});
    ManualTime time;
    SimDesktop sim(time.loop());
    MemoryDefaults defaults;
    Prefs prefs(defaults);
    RuleStore rules(defaults);
    WorkspaceStore workspaces(defaults);
    NoFeedback feedback;
    WindowManager wm(WindowManager::Deps{sim, time.loop(), [](const char* label) { return makeThreadQueue(label); },
                                         makeWorkerPool(3), prefs, rules, workspaces, feedback, 1});
    sim.addStandardDisplay();
    std::vector<int32_t> pids;
    for (const char* name : {"Safari", "Notes", "Term", "Mail"})
        pids.push_back(sim.addApp(AppSpec{std::nullopt, std::string(name), std::string("org.") + name}));
    std::vector<AXElement> windows;
    for (int i = 0; i < 20; ++i)
        windows.push_back(sim.addWindow(pids[static_cast<size_t>(i % 4)], Rect(20 + i * 30, 60, 700, 600)));
    sim.focusWindow(windows.back());
    time.drain();
    wm.start();
    auto rest = [&] {
        for (StripRef s = wm.cur(); s && s->animating;)
            if (time.loop().waitForPost(5)) time.drain();
        time.drain();
    };
    rest();
    StripRef s = wm.cur();
    if (!s || s->cols.size() != 20) {
        std::fprintf(stderr, "the strip holds %zu columns, not 20\n", s ? s->cols.size() : 0);
        return 1;
    }
    sim.setWriteCost(0.0003);
    std::vector<double> samples;
    int64_t writes = 0;
    for (int i = 0; i < 12; ++i) {
        const AXElement moved = s->focusedItem()->el;
        const int from = s->focusC;
        sim.resetCounts();
        const auto t0 = std::chrono::steady_clock::now();
        wm.perform(Action::moveLeft, 0);
        rest();
        samples.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        writes = sim.totals().total();
        if (s->find(moved)->first != from - 1) {
            std::fprintf(stderr, "the column did not move left\n");
            return 1;
        }
    }
    setLogSink(nullptr);
    std::sort(samples.begin(), samples.end());
    std::printf("BENCH move_column_ms %.1f ms\n", samples[samples.size() / 2]);
    std::printf("BENCH move_column_writes %lld writes\n", static_cast<long long>(writes));
    return 0;
}

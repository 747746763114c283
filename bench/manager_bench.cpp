// The manager on the simulated desktop: a full rebuild of four displays with
// forty windows each (placement memory warm), and a new window's way from its
// delayed handler into its strip.
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

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Desk {
    ManualTime time;
    SimDesktop sim{time.loop()};
    MemoryDefaults defaults;
    Prefs prefs{defaults};
    RuleStore rules{defaults};
    WorkspaceStore workspaces{defaults};
    NoFeedback feedback;
    WindowManager wm{WindowManager::Deps{sim, time.loop(), time.queueFactory(), makeInlineParallelFor(), prefs, rules,
                                         workspaces, feedback, 1}};
    std::vector<std::pair<AXElement, Rect>> home;  // where each window started

    Desk(int displays, int perDisplay) {
        for (int d = 0; d < displays; ++d) sim.addStandardDisplay(d == 0 ? "Built-in Display" : "Studio Display");
        const int32_t apps[] = {sim.addApp(AppSpec{std::nullopt, std::string("Safari"), std::string("org.Safari")}),
                                sim.addApp(AppSpec{std::nullopt, std::string("Notes"), std::string("org.Notes")}),
                                sim.addApp(AppSpec{std::nullopt, std::string("Term"), std::string("org.Term")}),
                                sim.addApp(AppSpec{std::nullopt, std::string("Mail"), std::string("org.Mail")})};
        for (int d = 0; d < displays; ++d)
            for (int i = 0; i < perDisplay; ++i) {
                const Rect r(1920.0 * d + 20 + i * 30, 60, 700, 600);
                home.emplace_back(sim.addWindow(apps[i % 4], r), r);
            }
        time.drain();
    }
    // Puts every window back on its own display: a strip's overflow sits on
    // its neighbour's area, and the next rebuild would hand it over.
    void goHome() {
        for (auto& [el, r] : home) sim.setFrame(el, r);
        time.drain();
    }
};

double rebuildMs() {
    Desk desk(4, 40);
    desk.wm.start();
    desk.time.drain();
    std::vector<double> samples;
    for (int i = 0; i < 15; ++i) {
        desk.goHome();
        const auto t0 = Clock::now();
        desk.wm.rebuild();
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        size_t placed = 0;
        for (const StripRef& s : desk.wm.strips())
            for (const Col& c : s->cols) placed += c.items.size();
        if (desk.wm.strips().size() != 4 || placed != 160) {
            std::fprintf(stderr, "rebuild placed %zu windows on %zu strips\n", placed, desk.wm.strips().size());
            return -1;
        }
        desk.time.drain();
    }
    return median(samples);
}

double windowCreatedUs() {
    Desk desk(2, 20);
    desk.wm.start();
    desk.time.advance(1);
    const int32_t pid = desk.sim.runningApplications().front().pid;
    std::vector<double> samples;
    for (int i = 0; i < 60; ++i) {
        AXElement el = desk.sim.addWindow(pid, Rect(100 + i, 80, 640, 480));
        desk.time.drain();            // the notification reaches the manager, which waits 0.35 s
        desk.time.advance(0.349);     // just short of the handler
        const auto t0 = Clock::now();
        desk.time.advance(0.002);     // the handler runs and places the window
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        bool placed = false;
        for (const StripRef& s : desk.wm.strips()) placed = placed || s->find(el).has_value();
        if (!placed) {
            std::fprintf(stderr, "new window was not placed\n");
            return -1;
        }
        desk.time.advance(1);  // its slide and anything else runs out
    }
    return median(samples);
}

}  // namespace

int main() {
    setLogSink([](const std::string&) {});
    const double rebuild = rebuildMs();
    const double created = windowCreatedUs();
    setLogSink(nullptr);
    std::printf("BENCH sim_rebuild_160_ms %.3f ms\n", rebuild);
    std::printf("BENCH sim_window_created_us %.1f us\n", created);
    return rebuild < 0 || created < 0 ? 1 : 0;
}

// A simulated desktop with the manager over it: displays side by side, each
// with its windows from four applications, cascaded where they started.
#pragma once

#include <utility>
#include <vector>

#include "core/manual_time.h"
#include "manager/window_manager.h"
#include "platform/sim/sim_desktop.h"
#include "settings/defaults.h"

namespace tarvela {

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

}  // namespace tarvela

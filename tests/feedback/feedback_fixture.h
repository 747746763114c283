// Text sizes without fonts, and a HUD on a real manager on the simulated desktop.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "feedback/hud_panel.h"
#include "feedback/text_metrics.h"
#include "tests/support/fake_metrics.h"
#include "tests/manager/manager_fixture.h"

namespace tarvela::testing {

class HUDTest : public ManagerTest {
protected:
    HUDState state;
    FakeMetrics metrics;
    std::optional<Point> pointer;
    std::unique_ptr<HUDPanel> hud;

    void SetUp() override {
        ManagerTest::SetUp();
        hud = std::make_unique<HUDPanel>(HUDDeps{*wm, state, time.loop(), metrics, [this] { return pointer; }});
        wm->onActivity = [this] { hud->show(); };
    }
    void TearDown() override {
        hud.reset();
        ManagerTest::TearDown();
    }

    // The manager running over windows a, b, c side by side, the HUD faded out.
    std::vector<AXElement> startThree() {
        display("Built-in Display");
        const int32_t pid = app("Notes");
        std::vector<AXElement> w{window(pid, 100), window(pid, 800), window(pid, 1500)};
        startAndSettle();
        time.advance(HUDPanel::idle + HUDPanel::fadeOut);
        return w;
    }
    // The centre of a piece of the panel, for click().
    static Point centre(const Rect& r) { return {r.midX(), r.midY()}; }
};

}  // namespace tarvela::testing

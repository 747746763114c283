// Text sizes without fonts, and a HUD on a real manager on the simulated desktop.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "feedback/hud_panel.h"
#include "feedback/text_metrics.h"
#include "tests/manager/manager_fixture.h"

namespace tarvela::testing {

// Every character half as wide as the font is tall; lines 4 points taller.
class FakeMetrics final : public TextMetrics {
public:
    Size measure(const std::string& text, const Font& font) override {
        return {static_cast<double>(glyphCount(text)) * font.size / 2, font.size + 4};
    }
    Size wrap(const std::string& text, const Font& font, double width, int maxLines) override {
        const double perLine = std::max(1.0, std::floor(width / (font.size / 2)));
        const double n = static_cast<double>(glyphCount(text));
        const double lines = std::min<double>(maxLines, std::ceil(n / perLine));
        return {std::min(n, perLine) * font.size / 2, lines * (font.size + 4)};
    }
};

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

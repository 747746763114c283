// A strip on a simulated display whose usable area is 1000 x 976 points:
// display 1080 x 1000, no menu bar, so VR = (0, 0, 1080, 1000).
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/manual_time.h"
#include "core/strip.h"
#include "core/strip_geometry.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela::testing {

class TableWidths final : public WidthDefaults {
public:
    std::map<std::string, double> rules;
    double fallback = 0.5;
    std::optional<double> ruleWidth(const std::string& id) override {
        auto it = rules.find(id);
        if (it == rules.end()) return std::nullopt;
        return it->second;
    }
    double defaultWidth() override { return fallback; }
};

class StripTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    TableWidths widths;
    std::shared_ptr<ParallelFor> inlineFor = makeInlineParallelFor();
    uint64_t displayId = 0;
    int32_t pid = 0;
    std::shared_ptr<Strip> strip;
    std::vector<std::string> logLines;
    int activity = 0;
    int settled = 0;

    void SetUp() override {
        setLogSink([this](const std::string& l) { logLines.push_back(l); });
        displayId = sim.addDisplay(Rect(0, 0, 1080, 1000), std::nullopt, "Office Monitor", 2);
        pid = sim.addApp(AppSpec{std::nullopt, std::string("Term"), std::string("org.term"), nullptr,
                                 ActivationPolicy::Regular});
        strip = makeStrip();
    }
    void TearDown() override {
        strip.reset();
        setLogSink(nullptr);
    }

    std::shared_ptr<Strip> makeStrip(int index = 0) {
        StripEnv env;
        env.platform = &sim;
        env.main = &time.loop();
        env.makeQueue = time.queueFactory();
        env.workers = inlineFor;
        env.widths = &widths;
        auto s = Strip::create(env, sim.screens()[static_cast<size_t>(index)], index);
        s->onActivity = [this] { ++activity; };
        s->onSettled = [this] { ++settled; };
        return s;
    }

    Item window(const WindowSpec& desc = {}, int32_t appPid = 0) {
        const int32_t p = appPid ? appPid : pid;
        AXElement el = sim.addWindow(p, Rect(100, 100, 400, 300), desc);
        return Item::make(el, *sim.runningApplication(p));
    }

    // Columns of one window each, with the given fractions.
    std::vector<Col> columns(const std::vector<double>& fracs) {
        std::vector<Col> out;
        for (double f : fracs) {
            Col c;
            c.frac = f;
            c.items.push_back(window());
            out.push_back(c);
        }
        return out;
    }

    Rect frameOf(const Item& it) { return *sim.frameOf(it.el); }
    Rect frameAt(int c, int r = 0) { return frameOf(strip->cols[static_cast<size_t>(c)].items[static_cast<size_t>(r)]); }

    // Where the strip says column c, row r of n belongs at offset o.
    Point expected(int c, int r, double o) {
        const Rect VR = strip->visibleRect();
        const int n = static_cast<int>(strip->cols[static_cast<size_t>(c)].items.size());
        return {VR.minX() + 40 + geom::columnLeft(strip->cw, static_cast<size_t>(c)) - o,
                VR.minY() + geom::rowY(n, r, strip->usableHeight())};
    }

    // Every window sits exactly where the strip puts it at the resting offset.
    void expectAtRest() {
        for (size_t c = 0; c < strip->cols.size(); ++c)
            for (size_t r = 0; r < strip->cols[c].items.size(); ++r) {
                const Point want = expected(static_cast<int>(c), static_cast<int>(r), strip->offset);
                const Rect got = frameAt(static_cast<int>(c), static_cast<int>(r));
                EXPECT_NEAR(got.x, want.x, 0.5) << "column " << c << " row " << r;
                EXPECT_NEAR(got.y, want.y, 0.5) << "column " << c << " row " << r;
            }
    }

    // Runs a slide to its end on the manual clock.
    void finishSlide() { time.advance(0.5); }
};

}  // namespace tarvela::testing

// The slide on a real animation thread with its real 8 ms timer and a worker
// pool writing each application's windows in parallel. Waits are on events
// (the finish posted to the main loop), never on fixed sleeps.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "core/log.h"
#include "core/manual_time.h"
#include "core/strip.h"
#include "core/strip_geometry.h"
#include "platform/sim/sim_desktop.h"

using namespace tarvela;

namespace {

class Half final : public WidthDefaults {
public:
    std::optional<double> ruleWidth(const std::string&) override { return std::nullopt; }
    double defaultWidth() override { return 0.5; }
};

class RealSlide : public ::testing::Test {
protected:
    ManualTime time;  // only its run loop: the main thread's queue of posted work
    SimDesktop sim{time.loop()};
    Half widths;
    std::shared_ptr<ParallelFor> pool = makeWorkerPool(3);
    std::shared_ptr<Strip> strip;
    std::vector<std::string> lines;
    std::mutex linesM;
    std::vector<int32_t> pids;

    void SetUp() override {
        setLogSink([this](const std::string& l) {
            std::lock_guard<std::mutex> lock(linesM);
            lines.push_back(l);
        });
        sim.addDisplay(Rect(0, 0, 1080, 1000));
        for (int i = 0; i < 3; ++i) pids.push_back(sim.addApp(AppSpec{}));
        sim.setWriteCost(0.0002);
        StripEnv env;
        env.platform = &sim;
        env.main = &time.loop();
        env.makeQueue = [](const char* label) { return makeThreadQueue(label); };
        env.workers = pool;
        env.widths = &widths;
        strip = Strip::create(env, sim.screens()[0], 0);
        std::vector<Col> cols;
        for (int i = 0; i < 12; ++i) {
            const int32_t p = pids[static_cast<size_t>(i % 3)];
            Col c;
            c.frac = 0.5;
            c.items.push_back(Item::make(sim.addWindow(p, Rect(0, 0, 300, 300)), *sim.runningApplication(p)));
            cols.push_back(c);
        }
        sim.focusWindow(cols[0].items[0].el);
        strip->setAlign(Align::left);
        strip->start(cols, Layout::strip);
    }
    void TearDown() override {
        strip.reset();
        setLogSink(nullptr);
    }

    // Runs the main loop's posted work until the slide has finished.
    void waitForRest() {
        for (int i = 0; i < 200 && strip->animating; ++i) {
            if (time.loop().waitForPost(5.0)) time.drain();
        }
        ASSERT_FALSE(strip->animating) << "the slide never finished";
    }

    void expectAtRest() {
        const double uh = strip->usableHeight();
        for (size_t c = 0; c < strip->cols.size(); ++c) {
            const Rect f = *sim.frameOf(strip->cols[c].items[0].el);
            EXPECT_NEAR(f.x, 40 + geom::columnLeft(strip->cw, c) - strip->offset, 0.5) << "column " << c;
            EXPECT_NEAR(f.y, geom::rowY(1, 0, uh), 0.5);
        }
    }
};

}  // namespace

TEST_F(RealSlide, SlidesOnItsOwnThreadAndFinishesOnTheMainLoop) {
    sim.enableWriteLog(true);
    strip->raise(8, 0);
    waitForRest();
    EXPECT_EQ(strip->offset, 8 * 510);
    expectAtRest();
    std::lock_guard<std::mutex> lock(linesM);
    ASSERT_EQ(lines.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[0], m, std::regex(R"(\[Tarvela\] scroll: (\d+) frames / ([0-9.]+)s = \d+ fps \(12 windows\))")))
        << lines[0];
    const int frames = std::stoi(m[1]);
    EXPECT_GE(frames, 10);
    EXPECT_LE(frames, 42);
    EXPECT_GE(std::stod(m[2]), 0.3);
    // Nothing was written from the test's own thread during the slide.
    std::set<std::thread::id> writers;
    for (const WriteRecord& r : sim.writeLog())
        if (r.kind == WriteKind::Position) writers.insert(r.thread);
    EXPECT_FALSE(writers.count(std::this_thread::get_id()));
}

TEST_F(RealSlide, ReplacingCancellingAndReleasingMidSlideAreSafe) {
    strip->raise(9, 0);
    strip->raise(4, 0);  // replaces the running slide
    waitForRest();
    EXPECT_EQ(strip->offset, 4 * 510);
    expectAtRest();

    strip->raise(11, 0);
    strip->setWidth(0.5);  // a resize cancels the slide and lays everything out again
    EXPECT_FALSE(strip->animating);
    expectAtRest();

    strip->raise(0, 0);
    std::weak_ptr<Strip> weak = strip;
    strip.reset();  // the strip goes while its timer may be ticking: its queue stops with it
    EXPECT_TRUE(weak.expired());
    sim.resetCounts();
    time.drain();  // a finish posted before the strip went finds nothing to finish
    EXPECT_EQ(sim.totals().total(), 0);
}

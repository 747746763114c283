// One slide across a strip of 30 windows in 10 applications on the simulated
// desktop, with 0.3 ms spent on every position write, on the real animation
// thread and worker pool.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <vector>

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

struct SlideResult {
    int frames = 0;
    double seconds = 0;
    int64_t writes = 0;
    int64_t naive = 0;
    int64_t bound = 0;
};

std::vector<SlideResult> results;

void BM_SimSlide(benchmark::State& state) {
    ManualTime time;
    SimDesktop sim(time.loop());
    Half widths;
    std::string lastLine;
    setLogSink([&](const std::string& l) { lastLine = l; });
    sim.addDisplay(Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1055));
    std::vector<int32_t> pids;
    for (int i = 0; i < 10; ++i) pids.push_back(sim.addApp(AppSpec{}));
    StripEnv env;
    env.platform = &sim;
    env.main = &time.loop();
    env.makeQueue = [](const char* label) { return makeThreadQueue(label); };
    env.workers = makeWorkerPool(4);
    env.widths = &widths;
    auto strip = Strip::create(env, sim.screens()[0], 0);
    std::vector<Col> cols;
    for (int i = 0; i < 30; ++i) {
        const int32_t p = pids[static_cast<size_t>(i % 10)];
        Col c;
        c.frac = 0.5;
        c.items.push_back(Item::make(sim.addWindow(p, Rect(0, 0, 500, 500)), *sim.runningApplication(p)));
        cols.push_back(c);
    }
    sim.focusWindow(cols[0].items[0].el);
    strip->start(cols, Layout::strip);
    sim.setWriteCost(0.0003);
    int target = 29;
    for (auto _ : state) {
        const double from = strip->offset;
        sim.resetCounts();
        strip->raise(target, 0);
        while (strip->animating)
            if (time.loop().waitForPost(5)) time.drain();
        const double to = strip->offset;
        SlideResult r;
        std::smatch m;
        if (std::regex_search(lastLine, m, std::regex(R"(scroll: (\d+) frames / ([0-9.]+)s)"))) {
            r.frames = std::stoi(m[1]);
            r.seconds = std::stod(m[2]);
        }
        r.writes = sim.totals().position;
        r.naive = 30LL * r.frames;
        // Windows that are, were or will be visible during the slide, every frame;
        // one write for each of the others.
        const Rect VR = strip->visibleRect();
        const double lo = std::min(from, to), hi = std::max(from, to);
        int64_t visible = 0;
        for (size_t i = 0; i < strip->cw.size(); ++i) {
            const double base = VR.minX() + 40 + geom::columnLeft(strip->cw, i);
            if (base - hi < VR.maxX() + 1 && base - lo + strip->cw[i] > VR.minX() - 1) ++visible;
        }
        r.bound = visible * r.frames + (30 - visible);
        results.push_back(r);
        state.SetIterationTime(r.seconds);
        target = target == 29 ? 0 : 29;
    }
    strip.reset();
    setLogSink(nullptr);
}
BENCHMARK(BM_SimSlide)->Iterations(6)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (results.empty()) return 1;
    // The median slide.
    std::sort(results.begin(), results.end(), [](auto& a, auto& b) { return a.frames < b.frames; });
    const SlideResult& r = results[results.size() / 2];
    std::printf("BENCH sim_slide_frames %d frames\n", r.frames);
    std::printf("BENCH sim_slide_fps %.0f fps\n", r.seconds > 0 ? r.frames / r.seconds : 0.0);
    std::printf("BENCH sim_slide_writes %lld writes\n", static_cast<long long>(r.writes));
    std::printf("BENCH sim_slide_naive_writes %lld writes\n", static_cast<long long>(r.naive));
    std::printf("BENCH sim_slide_write_bound %lld writes\n", static_cast<long long>(r.bound));
    return 0;
}

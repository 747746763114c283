#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "core/manual_time.h"
#include "platform/sim/sim_desktop.h"

namespace tarvela {
namespace {

// The strip animation writes positions from one worker per application at once
// while the main thread keeps reading.
TEST(SimWriteThreads, ConcurrentPositionWritesAreAllCountedAndApplied) {
    ManualTime time;
    SimDesktop sim(time.loop());
    sim.setWriteCost(0.00005);
    sim.enableWriteLog(true);
    constexpr int kApps = 4, kWindows = 3, kRounds = 50;
    std::vector<std::vector<AXElement>> wins(kApps);
    for (int i = 0; i < kApps; ++i) {
        const int32_t pid = sim.addApp();
        for (int j = 0; j < kWindows; ++j) wins[i].push_back(sim.addWindow(pid, Rect(0, 0, 300, 200)));
    }
    std::vector<std::thread> workers;
    for (int i = 0; i < kApps; ++i) {
        workers.emplace_back([&, i] {
            for (int r = 1; r <= kRounds; ++r)
                for (const AXElement& el : wins[i]) sim.setAttribute(el, ax::Position, Point{double(r), double(i)});
        });
    }
    for (int r = 0; r < kRounds; ++r) {
        sim.copyAttribute(wins[r % kApps][0], ax::Position);
        sim.totals();
    }
    for (auto& t : workers) t.join();

    EXPECT_EQ(sim.totals(), (WriteCounts{.position = kApps * kWindows * kRounds}));
    std::set<std::thread::id> threads;
    for (const WriteRecord& rec : sim.writeLog()) threads.insert(rec.thread);
    EXPECT_EQ(threads.size(), static_cast<size_t>(kApps));
    for (int i = 0; i < kApps; ++i) {
        for (const AXElement& el : wins[i]) {
            EXPECT_EQ(sim.writes(el).position, kRounds);
            EXPECT_EQ(sim.frameOf(el)->origin(), (Point{double(kRounds), double(i)}));
        }
    }
}

// Windows closing and sizes being written on the main thread while workers move them.
TEST(SimWriteThreads, ClosingWhileWorkersWriteIsSafe) {
    ManualTime time;
    SimDesktop sim(time.loop());
    const int32_t a = sim.addApp(), b = sim.addApp();
    std::vector<AXElement> wa, wb;
    for (int j = 0; j < 20; ++j) {
        wa.push_back(sim.addWindow(a, Rect(0, 0, 100, 100)));
        wb.push_back(sim.addWindow(b, Rect(0, 0, 100, 100)));
    }
    auto mover = [&](const std::vector<AXElement>& ws) {
        for (int r = 0; r < 20; ++r)
            for (const AXElement& el : ws) sim.setAttribute(el, ax::Position, Point{double(r), 0});
    };
    std::thread ta(mover, std::cref(wa)), tb(mover, std::cref(wb));
    for (int j = 0; j < 20; j += 2) {
        sim.closeWindow(wa[j]);
        sim.setAttribute(wb[j], ax::SizeAttr, Size{200, 200});
    }
    ta.join();
    tb.join();
    EXPECT_EQ(sim.totals().position, 2 * 20 * 20);
    EXPECT_EQ(sim.totals().size, 10);
    EXPECT_EQ(sim.windowsOf(a).size(), 10u);
    time.drain();
}

}  // namespace
}  // namespace tarvela

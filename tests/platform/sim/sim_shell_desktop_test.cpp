#include <gtest/gtest.h>

#include "core/manual_time.h"
#include "platform/sim/sim_shell_desktop.h"

namespace tarvela {
namespace {

TEST(SimShellDesktop, DeliversRealChangesLaterOnTheRunLoop) {
    ManualTime time;
    SimShellDesktop shell(time.loop());
    std::vector<bool> told;
    std::vector<Point> seen;
    shell.onCompositingChanged([&](bool on) { told.push_back(on); });
    shell.watchPointer([&](Point p) { seen.push_back(p); });
    shell.setCompositing(true);
    shell.setCompositing(true);
    shell.movePointer({10, 20});
    shell.movePointer({30, 40});
    EXPECT_TRUE(told.empty() && seen.empty()) << "never inside the call that caused it";
    time.drain();
    shell.movePointer({30, 40});
    shell.movePointer({50, 60});
    shell.unwatchPointer();
    time.drain();
    EXPECT_EQ(told, std::vector<bool>{true});
    EXPECT_EQ(seen, std::vector<Point>{(Point{30, 40})}) << "a burst is one report, where the pointer ended";
}

}  // namespace
}  // namespace tarvela

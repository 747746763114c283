// Position writes from several threads at once, as the strip animation makes
// them, with a client killed in the middle.
#include <signal.h>

#include <atomic>
#include <thread>

#include "core/window_access.h"
#include "x11_fixture.h"

namespace tarvela::testing {
namespace {

TEST_F(X11Test, ConcurrentPositionWritesSurviveAClientKilledMidway) {
    startPlatform();
    std::vector<Child> terms;
    std::vector<AXElement> wins;
    for (int i = 0; i < 3; ++i) {
        terms.push_back(client({"xterm"}));
        wins.push_back(windowOf(terms.back().pid()));
        ASSERT_TRUE(wins.back());
    }
    // One writer per window, as the animation has one worker per application.
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::atomic<uint64_t> accepted{0};
    std::vector<int> lastX(wins.size(), 0);
    std::vector<std::thread> writers;
    for (size_t i = 0; i < wins.size(); ++i) {
        writers.emplace_back([&, i] {
            for (int n = 0; !stop; ++n) {
                const int x = -800 + (n % 2400);
                if (wm_->setAttribute(wins[i], ax::Position, Point{double(x), 100.0 * i})) {
                    lastX[i] = x;
                    ++accepted;
                }
                ++writes;
            }
        });
    }
    ASSERT_TRUE(waitFor([&] { return writes > 3000; }));
    kill(terms[1].pid(), SIGKILL);
    ASSERT_TRUE(waitFor([&] { return !frame(*wm_, wins[1]).has_value(); }));
    const int afterKill = writes;
    ASSERT_TRUE(waitFor([&] { return writes > afterKill + 3000; }));
    stop = true;
    for (auto& t : writers) t.join();

    EXPECT_TRUE(wm_->sync());
    EXPECT_TRUE(wm_->isProcessTrusted());
    for (size_t i : {size_t(0), size_t(2)})
        EXPECT_EQ(attr<Point>(*wm_, wins[i], ax::Position), (Point{double(lastX[i]), 100.0 * i}));
    EXPECT_FALSE(wm_->setAttribute(wins[1], ax::Position, Point{0, 0}));
    // Each accepted write is one ConfigureWindow and one synthetic ConfigureNotify;
    // writes to the dead window sent nothing.
    EXPECT_EQ(wm_->positionRequests(), 2 * accepted.load());
    EXPECT_LT(accepted.load(), uint64_t(writes.load()));
    // And the window manager still manages new windows.
    Child another = client({"xlogo"});
    EXPECT_TRUE(windowOf(another.pid()));
}

}  // namespace
}  // namespace tarvela::testing

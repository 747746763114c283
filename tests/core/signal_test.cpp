#include "core/signal.h"
#include "core/lifetime.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace tarvela {
namespace {

TEST(Signal, SlotsRunInOrderUntilTheirConnectionIsDestroyedOrMovedAway) {
    Signal<int, std::string> s;
    std::vector<std::string> calls;
    Connection a = s.connect([&](const int& n, const std::string& t) { calls.push_back("a" + std::to_string(n) + t); });
    {
        Connection b = s.connect([&](const int& n, const std::string&) { calls.push_back("b" + std::to_string(n)); });
        s.emit(1, "x");
        EXPECT_EQ(s.slotCount(), 2u);
    }
    s.emit(2, "y");
    Connection moved = std::move(a);
    EXPECT_FALSE(a.connected());
    s.emit(3, "z");
    moved = Connection();  // assigning over a connection disconnects it
    s.emit(4, "w");
    EXPECT_EQ(calls, (std::vector<std::string>{"a1x", "b1", "a2y", "a3z"}));
    EXPECT_EQ(s.slotCount(), 0u);
}

TEST(Signal, DisconnectingOrConnectingDuringAnEmissionIsSafe) {
    Signal<> s;
    std::vector<std::string> calls;
    Connection second, late;
    Connection first = s.connect([&] {
        calls.push_back("first");
        second.disconnect();  // not called later in this emission
        if (!late.connected()) late = s.connect([&] { calls.push_back("late"); });
        first.disconnect();  // a slot may drop itself
    });
    second = s.connect([&] { calls.push_back("second"); });
    s.emit();
    s.emit();
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "late"}));
}

TEST(Signal, AConnectionMayOutliveItsSignal) {
    Connection c;
    {
        auto s = std::make_unique<Signal<int>>();
        c = s->connect([](const int&) {});
        EXPECT_TRUE(c.connected());
    }
    c.disconnect();  // must not touch the destroyed signal
    EXPECT_FALSE(c.connected());
}

TEST(Lifetime, GuardedWorkRunsWithItsArgumentsOnlyWhileItsOwnerLives) {
    std::vector<int> seen;
    std::function<void(int)> ended, destroyed;
    {
        Lifetime a, b;
        ended = a.guard([&](int n) { seen.push_back(n); });
        destroyed = b.guard([&](int n) { seen.push_back(-n); });
        ended(1);
        destroyed(2);
        a.end();
        ended(3);
        destroyed(4);
    }
    destroyed(5);
    EXPECT_EQ(seen, (std::vector<int>{1, -2, -4}));

    // A handler that answers (an event tap: was it taken?) answers no once its owner has gone.
    auto owner = std::make_unique<Lifetime>();
    auto taken = owner->guard([](int n) { return n > 0; });
    EXPECT_TRUE(taken(1));
    owner.reset();
    EXPECT_FALSE(taken(1));
}

}  // namespace
}  // namespace tarvela

// Where the user was when a program was launched. A program takes a moment to
// show its first window, and the user may have moved to another column or
// display meanwhile; the window still opens where the launch came from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/platform.h"

namespace tarvela {

struct LaunchContext {
    std::string id;  // the startup id its windows carry
    uint64_t screenId = 0;             // the display the user worked on
    std::optional<AXElement> beside;   // the window focused there, if any
    double at = 0;                     // run-loop time of the launch
};

class LaunchContexts {
public:
    // A launch older than this no longer decides where its window opens: a
    // window that late is one the user opened from the program itself.
    static constexpr double bound = 30;

    // Replaces a launch of the same id; forgets the stale ones.
    void record(LaunchContext ctx);
    // The launch `id` names while it is within the bound; each launch places
    // one window, the first.
    std::optional<LaunchContext> take(const std::string& id, double now);
    size_t size() const { return list_.size(); }

private:
    std::vector<LaunchContext> list_;
};

// A fresh id for a launch Tarvela makes itself, unique on this host.
std::string newStartupId();

}  // namespace tarvela

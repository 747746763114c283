// Internal to the strip: the state the animation queue owns, and one window's
// job in a slide.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/strip.h"
#include "core/timeline.h"

namespace tarvela {

struct Strip::Job {
    AXElement el;
    int32_t pid = 0;
    std::string app;
    double base = 0;  // x at offset 0
    double y = 0;
    double w = 0;
    std::optional<double> lastX;
};

// One slide's running state, owned by its ticks.
struct Strip::AnimRun {
    std::vector<Job> jobs;
    Timeline slide;  // the offset, on the queue's clock
    int frames = 0;
    bool done = false;
};

// Lives as long as the strip; only ever touched on the strip's animation queue.
// Ticks hold it weakly: a tick that finds it gone knows the strip is gone.
struct Strip::AnimShared {
    std::shared_ptr<SerialQueue::Timer> source;  // the running animation's timer
    double liveOffset = 0;                        // the offset as the animation last wrote it
    // The last slide started, finished or not: where it really left each window.
    // A slide that is cancelled or replaced part-way leaves windows away from
    // the positions the strip recorded, so whoever comes next starts from here.
    std::shared_ptr<AnimRun> current;
};

namespace anim {
inline constexpr double duration = 0.32;
inline constexpr double interval = 0.008;
inline constexpr double leeway = 0.001;
inline constexpr double tolerance = 0.5;
}  // namespace anim

}  // namespace tarvela

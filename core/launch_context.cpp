#include "core/launch_context.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace tarvela {

namespace {
// However many launches an unexpected burst announces, the record stays small.
constexpr size_t limit = 64;
}  // namespace

void LaunchContexts::record(LaunchContext ctx) {
    const double now = ctx.at;
    std::erase_if(list_, [&](const LaunchContext& c) { return c.id == ctx.id || now - c.at > bound; });
    if (list_.size() >= limit) list_.erase(list_.begin());
    list_.push_back(std::move(ctx));
}

std::optional<LaunchContext> LaunchContexts::take(const std::string& id, double now) {
    if (id.empty()) return std::nullopt;
    auto it = std::find_if(list_.begin(), list_.end(), [&](const LaunchContext& c) { return c.id == id; });
    if (it == list_.end()) return std::nullopt;
    LaunchContext found = std::move(*it);
    list_.erase(it);
    if (now - found.at > bound) return std::nullopt;
    return found;
}

std::string newStartupId() {
    static std::atomic<uint64_t> sequence{0};
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    return "tarvela-" + std::to_string(::getpid()) + "-" + std::to_string(++sequence) + "-" + std::to_string(ms);
}

}  // namespace tarvela

// A settable ShellDesktop for headless shell tests: the test says whether a
// compositor and a tray run and where the pointer goes; the fake delivers what a real
// desktop would, later on the run loop, and remembers what the shell asked of it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "core/shell_desktop.h"

namespace tarvela {

class SimShellDesktop final : public ShellDesktop {
public:
    explicit SimShellDesktop(RunLoop& loop) : loop_(loop) {}

    // --- driven by the test ---
    // A compositor or a panel with a tray starts or quits; the handler hears
    // of real changes only.
    void setCompositing(bool on) { setRuns(compositing_, &SimShellDesktop::compositingHandler_, on); }
    void setSystemTray(bool on) { setRuns(tray_, &SimShellDesktop::trayHandler_, on); }
    // The pointer moves to p (screen coordinates); a watcher hears of it unless it stayed put.
    void movePointer(Point p);

    // --- what the shell did ---
    bool watchingPointer() const { return static_cast<bool>(moved_); }
    // Every setOwnWindowsInTaskbar argument, in order.
    const std::vector<bool>& taskbarCalls() const { return taskbarCalls_; }
    // The last one; shown until the shell says otherwise.
    bool ownWindowsInTaskbar() const { return taskbarCalls_.empty() || taskbarCalls_.back(); }

    // ShellDesktop
    bool compositing() override { return compositing_; }
    void onCompositingChanged(std::function<void(bool)> handler) override { compositingHandler_ = std::move(handler); }
    bool systemTray() override { return tray_; }
    void onSystemTrayChanged(std::function<void(bool)> handler) override { trayHandler_ = std::move(handler); }
    void watchPointer(std::function<void(Point)> moved) override;
    void unwatchPointer() override;
    void setOwnWindowsInTaskbar(bool shown) override { taskbarCalls_.push_back(shown); }
    bool stackBelow(uint64_t panel, uint32_t window) override {
        restacks_.emplace_back(panel, window);
        return window != 0;
    }
    // Every stackBelow (panel, window), in order.
    const std::vector<std::pair<uint64_t, uint32_t>>& restacks() const { return restacks_; }

private:
    void setRuns(bool& runs, std::function<void(bool)> SimShellDesktop::*handler, bool on);

    RunLoop& loop_;
    bool compositing_ = false, tray_ = false;
    std::function<void(bool)> compositingHandler_, trayHandler_;
    std::function<void(Point)> moved_;
    std::vector<std::pair<uint64_t, uint32_t>> restacks_;
    Point pointer_;
    std::optional<Point> reported_;  // the last point the current watcher was told
    std::vector<bool> taskbarCalls_;
    // Posted deliveries check it: the fake may be gone by the time they run.
    Lifetime life_;
};

}  // namespace tarvela

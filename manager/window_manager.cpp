// Lifecycle: construction, start and stop, the permission watch, the pause and
// the status text.
#include "manager/window_manager.h"

#include <algorithm>

#include "core/log.h"

namespace tarvela {

namespace {
constexpr double permissionInterval = 1.5;
constexpr double pauseLength = 3600;
}  // namespace

WindowManager::WindowManager(Deps d)
    : prefs(d.prefs),
      platform_(d.platform),
      main_(d.main),
      makeQueue_(std::move(d.makeQueue)),
      workers_(d.workers ? std::move(d.workers) : makeInlineParallelFor()),
      rules_(d.rules),
      workspaces_(d.workspaces),
      feedback_(d.feedback),
      widths_(d.rules, d.prefs),
      rng_(d.seed ? *d.seed : std::random_device{}()) {
    trusted.value_ = platform_.isProcessTrusted();
    paused.didSet_ = [this] { schedulePauseEnd(); };
    watchDesktopPrefs();
}

WindowManager::~WindowManager() {
    life_.end();
    if (permTimer) main_.cancel(*permTimer);
    if (pauseTimer) main_.cancel(*pauseTimer);
    // The strips go before the links that watch them; no window is moved.
    for (const StripRef& s : allStrips()) shutDown(*s);
    bag.clear();
    desktopPrefs_.clear();
}

void WindowManager::later(double seconds, std::function<void()> fn) { main_.after(seconds, life_.guard(std::move(fn))); }

// ---- start and stop ----

void WindowManager::shutDown(Strip& s) {
    s.running = false;
    s.cancelAnim();
    s.cols.clear();
    s.cw.clear();
}

void WindowManager::shutDownStrips() {
    for (const StripRef& s : allStrips()) {
        shutDown(*s);
        for (const AXElement& el : s->takeAssigned()) unassigned_.push_back(el);
    }
    bag.clear();
}

// Not at shut-down itself: a window the next strips take again must never
// be seen unclipped in between.
void WindowManager::releaseUnassigned() {
    for (const AXElement& el : unassigned_) {
        const std::vector<StripRef> all = allStrips();
        const bool taken = std::any_of(all.begin(), all.end(), [&](const StripRef& s) { return s->find(el).has_value(); });
        if (!taken) platform_.assignDisplay(el, std::nullopt);
    }
    unassigned_.clear();
}

void WindowManager::start() {
    // A plan that came before the permission (or the display) did is for this start.
    if (!pendingPlan_) return begin(nullptr);
    const Arrangement plan = std::move(*pendingPlan_);
    pendingPlan_.reset();
    begin(&plan);
}

void WindowManager::begin(const Arrangement* plan) {
    restoredInPlace_ = false;
    trusted.set(platform_.requestTrust());
    if (!trusted()) {
        if (plan) pendingPlan_ = *plan;
        log("start: no accessibility permission");
        if (onPermissionLost) onPermissionLost();
        return;
    }
    stop(false);
    on.set(true);
    rebuild(plan);
    restoredInPlace_ = plan && planned_ > 0;
    if (restoredInPlace_) log("start: " + std::to_string(planned_) + " windows back where they were");
    watchWorkspace();
    // Pagers switch desktops even while Tarvela is off: it hides and shows
    // windows, it arranges none.
    if (!desktopRequests_)
        desktopRequests_ = platform_.addDesktopMonitor(life_.guard([this](const DesktopRequest& r) { desktopRequested(r); }));
}

void WindowManager::stop(bool keepObservers) {
    shutDownStrips();
    showDropMarker(std::nullopt);
    strips.set({});
    parked_.clear();
    releaseUnassigned();
    if (!keepObservers) {
        for (auto& [pid, observer] : observers) observer->detach();
        observers.clear();
        wsObs.clear();
    }
    on.set(false);
    // Nothing follows the marks while off.
    attention.set({});
    granted_.clear();
    feedback_.updateDim();
}

// ---- permission ----

void WindowManager::startWatchingPermission() {
    if (permTimer) main_.cancel(*permTimer);
    permTimer = main_.every(permissionInterval, life_.guard([this] { checkPermission(); }));
}

void WindowManager::checkPermission() {
    const bool t = platform_.requestTrust();
    if (t == trusted()) return;
    trusted.set(t);
    if (t) {
        log("Accessibility permission granted");
        if (wasOnBeforeLoss || (prefs.enabled() && prefs.onboarded())) start();
        return;
    }
    log("Accessibility permission lost");
    wasOnBeforeLoss = on();
    if (on()) stop(false);
    if (onPermissionLost) onPermissionLost();
}

// ---- pause ----

void WindowManager::schedulePauseEnd() {
    if (pauseTimer) {
        main_.cancel(*pauseTimer);
        pauseTimer.reset();
    }
    if (paused()) {
        pauseTimer = main_.after(pauseLength, life_.guard([this] {
                                     pauseTimer.reset();
                                     paused.set(false);
                                 }));
    }
    feedback_.updateDim();
}

// ---- status ----

std::string WindowManager::statusLine() const {
    if (!note().empty()) return note();
    if (!trusted()) return "Another window manager holds the display: Tarvela can’t move windows.";
    if (!on()) return "Tarvela is off. Turn this on to arrange windows.";
    if (paused()) return "Paused for 1 hour. Windows are left where they are.";
    const StripRef s = cur();
    return "Tarvela is on · " + (s ? s->displayName() : std::string()) + " · " +
           std::to_string(s ? s->cols.size() : 0) + " columns";
}

StripRef WindowManager::cur() const {
    const auto& list = strips();
    if (list.empty()) return nullptr;
    const int last = static_cast<int>(list.size()) - 1;
    return list[static_cast<size_t>(std::clamp(displayIdx(), 0, last))];
}

StripRef WindowManager::other() const {
    const auto& list = strips();
    if (list.size() < 2) return nullptr;
    const int n = static_cast<int>(list.size());
    const int i = ((displayIdx() + 1) % n + n) % n;
    return list[static_cast<size_t>(i)];
}

}  // namespace tarvela

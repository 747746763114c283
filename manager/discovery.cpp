// Keeping the strips in step with the windows: building them from scratch,
// watching every application and the workspace, adopting new windows,
// dropping closed ones, following the focus and repairing drags.
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/log.h"
#include "core/strip_geometry.h"
#include "core/window_access.h"
#include "manager/focus_policy.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {
constexpr double mouseUpDelay = 0.15;
constexpr double newWindowDelay = 0.35;
constexpr double spaceChangeDelay = 0.4;
constexpr double displayChangeDelay = 0.5;
constexpr double launchDelay = 0.6;
// A drag that moved a window by no more than this, both ways, is no drag.
constexpr double dragSlop = 8;

// The marker showing where a dragged window would land is this thick.
constexpr double markerThickness = 4;

// Where a window dragged by hand would land if dropped with its middle at `at`
// (accessibility coordinates): over the middle half of another column into
// that column's stack, at the row under it; over a column's outer quarters or
// the gap beside it, a column of its own on that side. None when that is
// where it already is.
struct Landing {
    int col = 0;             // the column whose stack it joins, else the one it goes before (now)
    std::optional<int> row;  // the row in that stack
};

std::optional<Landing> landing(const Strip& s, const AXElement& el, Point at) {
    auto from = s.find(el);
    if (!from || s.cw.size() != s.cols.size()) return std::nullopt;
    const Rect VR = s.visibleRect();
    const double uh = geom::usableHeight(VR.height);
    const int fc = from->first;
    const bool alone = s.cols[static_cast<size_t>(fc)].items.size() == 1;
    for (size_t i = 0; i < s.cols.size(); ++i) {
        const double x = VR.minX() + geom::margin + geom::columnLeft(s.cw, i) - s.offset;
        if (at.x < x - geom::gap / 2 || at.x >= x + s.cw[i] + geom::gap / 2) continue;
        const double share = (at.x - x) / s.cw[i];
        Landing l{static_cast<int>(i), std::nullopt};
        if (share >= 0.25 && share < 0.75) {
            if (l.col == fc) return std::nullopt;
            const int n = static_cast<int>(s.cols[i].items.size());
            l.row = n;
            for (int j = 0; j < n; ++j)
                if (at.y < VR.minY() + geom::rowY(n, j, uh) + geom::rowHeight(n, uh) / 2) {
                    l.row = j;
                    break;
                }
        } else if (share >= 0.75) {
            l.col += 1;
        }
        if (!l.row && alone && (l.col == fc || l.col == fc + 1)) return std::nullopt;
        return l;
    }
    return std::nullopt;
}

// The bar marking a landing: down the middle of the gap before the column it
// goes before, or across its new stack's column between the rows it goes between.
Rect markerRect(const Strip& s, const Landing& l) {
    const Rect VR = s.visibleRect();
    const double uh = geom::usableHeight(VR.height);
    const auto c = static_cast<size_t>(l.col);
    const double x = VR.minX() + geom::margin + geom::columnLeft(s.cw, c) - s.offset;
    if (!l.row)
        return Rect(x - geom::gap / 2 - markerThickness / 2, VR.minY() + geom::top, markerThickness, uh);
    const int n = static_cast<int>(s.cols[c].items.size());
    const double y = VR.minY() + geom::rowY(n, *l.row, uh) - geom::rowGap / 2;
    return Rect(x, y - markerThickness / 2, s.cw[c], markerThickness);
}

// Puts a window dragged by hand where landing() says; false when it stays.
bool drop(Strip& s, const AXElement& el, Point at) {
    const auto l = landing(s, el, at);
    if (!l) return false;
    auto from = s.find(el);
    const int fc = from->first;
    int col = l->col;
    std::optional<int> row = l->row;
    // Moved within the strip's own columns: the window never leaves it,
    // so the platform keeps treating it as arranged throughout.
    std::vector<Col> cols = s.cols;
    const Col before = cols[static_cast<size_t>(fc)];
    const Item item = before.items[static_cast<size_t>(from->second)];
    if (before.items.size() == 1) {
        cols.erase(cols.begin() + fc);
        if (fc < col) col -= 1;
    } else {
        auto& items = cols[static_cast<size_t>(fc)].items;
        items.erase(items.begin() + from->second);
    }
    if (row) {
        auto& items = cols[static_cast<size_t>(col)].items;
        *row = std::clamp(*row, 0, static_cast<int>(items.size()));
        items.insert(items.begin() + *row, item);
    } else {
        Col own;
        own.frac = before.frac;
        own.items.push_back(item);
        cols.insert(cols.begin() + col, std::move(own));
    }
    s.cols = std::move(cols);
    s.focusC = col;
    s.focusR = row.value_or(0);
    // Placed again at the width the column has.
    s.setWidth(s.cols[static_cast<size_t>(col)].frac);
    return true;
}
}  // namespace

bool WindowManager::ruleExcludes(const std::optional<std::string>& bundleID) const {
    auto r = rules_.rule(bundleID);
    return r && r->behavior != Behavior::tile;
}

std::optional<AXElement> WindowManager::frontWindow() {
    auto front = platform_.frontmostApplication();
    if (!front) return std::nullopt;
    return attr<AXElement>(platform_, AXElement::application(front->pid), ax::FocusedWindow);
}

// ---- rebuild ----

void WindowManager::rebuild(const Arrangement* plan) {
    // A strip's columns beyond its display's edges lie over a neighbouring
    // display or over none; where a window is says nothing about whose it is
    // once a strip has placed it. Its display is known by id, since the
    // platform may list the displays in another order now.
    std::unordered_map<AXElement, uint64_t, AXElementHash> home;
    std::unordered_map<AXElement, int, AXElementHash> homeDesk;
    const int count = desktopCount();
    for (int d = 0; d < static_cast<int>(std::max<size_t>(parked_.size(), static_cast<size_t>(desktop()) + 1)); ++d)
        for (const StripRef& s : stripsOf(d))
            for (const Col& c : s->cols)
                for (const Item& it : c.items) {
                    home.emplace(it.el, s->screen.id);
                    homeDesk.emplace(it.el, std::min(d, count - 1));
                }
    shutDownStrips();
    // The planned desktop is announced once its strips are in place.
    const int deskBefore = desktop();
    if (plan && plan->desktop >= 0 && plan->desktop < count) desktop.value_ = plan->desktop;
    if (desktop() >= count) desktop.value_ = count - 1;

    const std::vector<Screen> screens = platform_.screens();
    const PlanIndex index = plan ? indexPlan(*plan, screens, count) : PlanIndex{};
    planned_ = 0;
    std::unordered_map<uint64_t, int> byId;
    for (size_t i = 0; i < screens.size(); ++i) byId.emplace(screens[i].id, static_cast<int>(i));
    parked_.assign(static_cast<size_t>(count), {});
    for (auto& set : parked_) set = makeStrips(screens);
    std::vector<StripRef> fresh = std::move(parked_[static_cast<size_t>(desktop())]);
    parked_[static_cast<size_t>(desktop())].clear();
    strips.set(fresh);

    // Per desktop, per display.
    std::vector<std::vector<std::vector<Item>>> lists(static_cast<size_t>(count),
                                                      std::vector<std::vector<Item>>(screens.size()));
    for (const Win& w : tileableWindows(platform_)) {
        observe(w.app.pid);
        if (std::find(floating.begin(), floating.end(), w.el) != floating.end()) continue;
        if (ruleExcludes(w.app.bundleIdentifier)) continue;
        if (screens.empty()) continue;
        if (auto spot = index.find(platform_, w.el)) {
            if (spot->display >= 0) {
                lists[static_cast<size_t>(spot->desktop)][static_cast<size_t>(spot->display)].push_back(
                    Item::make(w.el, w.app));
                continue;
            }
            // Floated as the user left it, with its title bar.
            floating.push_back(w.el);
            floatDesk_[w.el] = spot->desktop;
            platform_.assignDisplay(w.el, std::nullopt);
            platform_.floatedBefore(w.el);
            ++planned_;
            continue;
        }
        auto h = home.find(w.el);
        auto kept = h == home.end() ? byId.end() : byId.find(h->second);
        const int i = kept != byId.end() ? kept->second : screenIndex(screens, frame(platform_, w.el));
        auto hd = homeDesk.find(w.el);
        const int d = hd != homeDesk.end() && hd->second >= 0 ? hd->second : desktopFor(w.el);
        lists[static_cast<size_t>(d)][static_cast<size_t>(std::clamp(i, 0, static_cast<int>(screens.size()) - 1))]
            .push_back(Item::make(w.el, w.app));
    }
    for (const RunningApp& app : platform_.runningApplications())
        if (app.activationPolicy == ActivationPolicy::Regular) observe(app.pid);

    for (int d = 0; d < count; ++d) {
        const std::vector<StripRef> set = stripsOf(d);
        for (size_t i = 0; i < set.size(); ++i) {
            std::vector<Item>& items = lists[static_cast<size_t>(d)][i];
            std::vector<double> left;
            left.reserve(items.size());
            std::vector<size_t> order(items.size());
            for (size_t k = 0; k < items.size(); ++k) {
                auto f = frame(platform_, items[k].el);
                left.push_back(f ? f->minX() : 0);
                order[k] = k;
            }
            std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return left[a] < left[b]; });
            std::vector<Item> sorted;
            sorted.reserve(items.size());
            for (size_t k : order) sorted.push_back(std::move(items[k]));
            Strip& s = *set[i];
            std::optional<Strip::Rest> rest;
            std::vector<Col> cols = plan ? plannedColumns(s, index, d, sorted, rest) : recall(s, sorted);
            if (rest)
                s.start(std::move(cols), prefs.layout(), *rest);
            else
                s.start(std::move(cols), prefs.layout());
            if (d == desktop() || !sorted.empty())
                log((d == desktop() ? "" : "desktop " + std::to_string(d + 1) + " ") + "display " + std::to_string(i) +
                    " " + s.shortName() + ": " + std::to_string(sorted.size()) + " windows");
        }
    }
    assignDesktops();
    publishDesktops();

    std::optional<Rect> focusFrame;
    if (auto w = frontWindow()) focusFrame = frame(platform_, *w);
    const int planned = plan ? displayByKey(screens, plan->focusDisplay) : -1;
    displayIdx.set(planned >= 0 ? planned : screenIndex(screens, focusFrame));
    releaseUnassigned();
    if (desktop() != deskBefore) desktop.changed.emit(desktop());
    changed.emit();
    if (desktop() != deskBefore) desktopsChanged.emit("switched");
    feedback_.updateDim();
}

std::vector<StripRef> WindowManager::makeStrips(const std::vector<Screen>& screens) {
    std::vector<StripRef> fresh;
    StripEnv env;
    env.platform = &platform_;
    env.main = &main_;
    env.makeQueue = makeQueue_;
    env.workers = workers_;
    env.widths = &widths_;
    for (size_t i = 0; i < screens.size(); ++i) fresh.push_back(Strip::create(env, screens[i], static_cast<int>(i)));
    for (const StripRef& s : fresh) {
        s->setAlign(prefs.align());
        std::weak_ptr<Strip> ws = s;
        // Only the desktop shown brings the HUD up.
        s->onActivity = life_.guard([this, ws] {
            auto strip = ws.lock();
            const auto& shown = strips();
            if (onActivity && strip && std::find(shown.begin(), shown.end(), strip) != shown.end()) onActivity();
        });
        s->onSettled = life_.guard([this, ws] {
            feedback_.updateDim();
            if (auto strip = ws.lock()) remember(*strip);
        });
        bag.push_back(s->changed.connect(life_.guard([this] { changed.emit(); })));
    }
    return fresh;
}

// ---- watching ----

// A rebuild reads everything afresh when it runs, so a change arriving while
// two are waiting is covered by the later one: a burst of changes (a client
// toggling full screen a thousand times a second) keeps at most two waiting.
void WindowManager::rebuildSoon(double delay, bool displays) {
    if (rebuildsPending_ >= 2) return;
    ++rebuildsPending_;
    later(delay, [this, displays] {
        --rebuildsPending_;
        if (!on()) return;
        // Displays that changed under a rebuild for another cause still keep
        // their arrangement: the rebuild for them may not come (two waiting).
        std::vector<Screen> shown;
        for (const StripRef& s : strips()) shown.push_back(s->screen);
        if (displays || setupKey(shown) != setupKey(platform_.screens()))
            displaysChanged();
        else
            rebuild();
    });
}

void WindowManager::watchWorkspace() {
    mouseMonitor.reset();
    mouseMonitor = platform_.addMouseUpMonitor(life_.guard([this] { later(mouseUpDelay, [this] { mouseUp(); }); }));
    dragMonitor = platform_.addDragMonitor(
        life_.guard([this](const AXElement& w, bool moving) { dragged(w, moving); }));

    using AppEvent = std::function<void(const std::optional<RunningApp>&)>;
    auto add = [this](WorkspaceEvent e, AppEvent fn) {
        return platform_.addWorkspaceObserver(
            e, life_.guard([fn](WorkspaceEvent, const std::optional<RunningApp>& app) { fn(app); }));
    };
    std::vector<SubscriptionRef> tokens;
    tokens.push_back(add(WorkspaceEvent::DidLaunchApplication, [this](const std::optional<RunningApp>& app) {
        if (!app) return;
        later(launchDelay, [this, a = *app] {
            observe(a.pid);
            adoptWindows(a);
        });
    }));
    tokens.push_back(add(WorkspaceEvent::DidTerminateApplication, [this](const std::optional<RunningApp>& app) {
        if (!app) return;
        observers.erase(app->pid);
        pruneAll(app->localizedName);
    }));
    tokens.push_back(add(WorkspaceEvent::DidActivateApplication, [this](const std::optional<RunningApp>&) { focusChanged(); }));
    tokens.push_back(add(WorkspaceEvent::ActiveSpaceDidChange,
                         [this](const std::optional<RunningApp>&) { rebuildSoon(spaceChangeDelay); }));
    tokens.push_back(add(WorkspaceEvent::ScreenParametersDidChange,
                         [this](const std::optional<RunningApp>&) { rebuildSoon(displayChangeDelay, true); }));
    if (auto launches = platform_.addLaunchMonitor(life_.guard([this](const std::string& id) { noteLaunch(id); })))
        tokens.push_back(std::move(launches));
    if (auto requests =
            platform_.addActivationMonitor(life_.guard([this](const ActivationRequest& r) { activationRequested(r); })))
        tokens.push_back(std::move(requests));
    wsObs = std::move(tokens);
}

void WindowManager::observe(int32_t pid) {
    if (!on() || observers.count(pid) || pid == platform_.ownPid()) return;
    RunLoop* loop = &main_;
    // Never handled inside the platform's callback: always later, on the main queue.
    auto handle = life_.guard([this](const AXElement& el, const std::string& name) { axNotification(el, name); });
    auto observer = platform_.createObserver(pid, [handle, loop](const AXElement& el, const std::string& name) {
        loop->post([handle, el, name]() mutable { handle(el, name); });
    });
    if (!observer) return;
    const AXElement app = AXElement::application(pid);
    for (std::string_view n : {ax::FocusedWindowChanged, ax::WindowCreated, ax::UIElementDestroyed,
                               ax::WindowMiniaturized, ax::WindowDeminiaturized, ax::AttentionChanged})
        observer->addNotification(app, n);
    observer->attach();
    observers[pid] = std::move(observer);
}

void WindowManager::axNotification(const AXElement& el, const std::string& name) {
    if (name == ax::FocusedWindowChanged) {
        focusChanged();
    } else if (name == ax::WindowCreated || name == ax::WindowDeminiaturized) {
        windowCreated(el);
    } else if (name == ax::UIElementDestroyed || name == ax::WindowMiniaturized) {
        pruneAll(std::nullopt);
    } else if (name == ax::AttentionChanged) {
        attentionChanged(el);
    }
}

// ---- new windows ----

void WindowManager::adoptWindows(const RunningApp& app) {
    if (!on() || paused()) return;
    auto windows = attr<std::vector<AXElement>>(platform_, AXElement::application(app.pid), ax::Windows)
                       .value_or(std::vector<AXElement>{});
    for (const AXElement& el : windows) {
        auto subrole = attr<std::string>(platform_, el, ax::Subrole);
        if (!subrole || *subrole != ax::StandardWindow) continue;
        if (attr<bool>(platform_, el, ax::Minimized).value_or(false)) continue;
        if (attr<bool>(platform_, el, ax::FullScreen).value_or(false)) continue;
        if (isManaged(el)) continue;
        windowCreated(el);
    }
}

void WindowManager::windowCreated(const AXElement& el) {
    if (!on() || paused()) return;
    later(newWindowDelay, [this, el] { judgeNewWindow(el); });
}

void WindowManager::judgeNewWindow(const AXElement& el) {
    if (!on() || paused() || strips().empty()) return;
    if (!isTileable(platform_, el) || isManaged(el)) return;
    auto pid = platform_.pidOf(el);
    if (!pid) return;
    auto app = platform_.runningApplication(*pid);
    if (!app) return;
    if (ruleExcludes(app->bundleIdentifier)) return;
    // A window that asked for another desktop joins that desktop's strip, unseen.
    const int d = desktopFor(el);
    const std::vector<StripRef> list = stripsOf(d);
    if (list.empty()) return;
    // A launch place counts only on a strip of the desktop the window joins.
    auto launched = launchPlace(el);
    if (launched && std::find(list.begin(), list.end(), launched->first) == list.end()) launched.reset();
    const int i = std::min(screenIndex(platform_, frame(platform_, el)), static_cast<int>(list.size()) - 1);
    StripRef s = launched ? launched->first : list[static_cast<size_t>(i)];
    platform_.setWindowDesktop(el, d);
    if (d != desktop()) {
        s->add(Item::make(el, *app), false);
        log("new window: " + app->localizedName.value_or("?") + " joined desktop " + std::to_string(d + 1));
        return;
    }
    // A new window takes the strip's focus only as far as the policy allows;
    // one whose activation was granted (restored from a taskbar) takes it
    // whatever its user time.
    const bool granted = std::erase(granted_, el) > 0;
    bool focus = !wantsAttention(el);
    if (focus && !granted)
        focus = grantsFocus(focusPolicyFrom(prefs.focusPolicy()), ActivationSource::Application,
                            attr<int64_t>(platform_, el, ax::UserTime), lastInputBesides(el));
    const Item* before = s->focusedItem();
    const std::optional<AXElement> prev = before ? std::optional(before->el) : std::nullopt;
    // A window seen before (minimised, now restored) goes back where it was.
    std::optional<Strip::Place> at;
    if (auto n = windowNumber(platform_, el))
        if (auto m = memory.find(*n); m != memory.end())
            at = Strip::Place{m->second.col, m->second.stacked ? std::optional(m->second.row) : std::nullopt,
                              m->second.frac};
    Item item = Item::make(el, *app);
    // A launched window opens where its launch came from.
    if (launched) at = Strip::Place{launched->second, std::nullopt, s->defaultFrac(item, Layout::strip)};
    s->add(std::move(item), focus, at);
    // The user works where the focused window is, a launch's display included.
    if (focus && frontWindow() == el) displayIdx.set(s->index);
    // The window system restores a window without focusing it: the focus
    // follows the strip's.
    if (granted)
        if (auto placed = s->find(el)) s->raise(placed->first, placed->second);
    if (!focus) {
        markRefused(el);
        if (prev && frontWindow() == el) {
            // The platform focused it on opening: the focus goes back to the user's window.
            if (auto p = platform_.pidOf(*prev)) platform_.activate(*p);
            platform_.performAction(*prev, ax::Raise);
            platform_.setAttribute(*prev, ax::Main, true);
        }
    }
    log("new window: " + app->localizedName.value_or("?") + " joined " + s->shortName());
}

bool WindowManager::isManaged(const AXElement& el) const {
    for (const StripRef& s : allStrips())
        if (s->find(el)) return true;
    return std::find(floating.begin(), floating.end(), el) != floating.end();
}

// ---- closed windows ----

void WindowManager::pruneAll(const std::optional<std::string>& reason) {
    if (!on()) return;
    // Without the permission every read fails and every window would look
    // closed; the permission watch stops the manager at its next tick instead.
    if (!platform_.isProcessTrusted()) return;
    std::vector<std::string> names, elsewhere;
    // A strip's resize may call back into the manager; hold the lists steady.
    const int count = static_cast<int>(std::max<size_t>(parked_.size(), static_cast<size_t>(desktop()) + 1));
    for (int d = 0; d < count; ++d) {
        const std::vector<StripRef> list = stripsOf(d);
        for (const StripRef& s : list)
            for (const Item& it : s->prune()) (d == workspaceDesk_ ? names : elsewhere).push_back(it.app);
    }
    // An application whose windows closed on another desktop only changed that
    // one, also when it quits after they closed.
    for (const std::string& app : elsewhere) closedElsewhere_[app] = true;
    for (const std::string& app : names) closedElsewhere_[app] = false;
    std::optional<std::string> why = reason;
    if (reason && closedElsewhere_[*reason]) why.reset();
    auto gone = [this](const AXElement& el) {
        return !attr<Point>(platform_, el, ax::Position) || !attr<Size>(platform_, el, ax::SizeAttr);
    };
    // Floating windows are not published: one that closed is announced, or
    // whoever keeps them (the restart record) would go on naming its number
    // until the next change, and a window that reuses it could float.
    const bool floatClosed = std::erase_if(floating, gone) > 0;
    std::erase_if(floatDesk_, [&](const auto& entry) { return gone(entry.first); });
    std::erase_if(deskFocus_, [&](const auto& entry) { return gone(entry.second); });
    if (std::any_of(attention().begin(), attention().end(), gone)) {
        std::vector<AXElement> marks = attention();
        std::erase_if(marks, gone);
        attention.set(std::move(marks));
    }
    driftCheck(why, names);
    feedback_.updateDim();
    if (floatClosed) changed.emit();
}

// ---- focus ----

void WindowManager::focusChanged() {
    if (on()) pruneAll(std::nullopt);
    if (on())
        if (auto w = frontWindow()) {
            setAttention(*w, false);
            // Focus heard late from a desktop just left does not count here.
            if (onDesktop(*w, desktop())) deskFocus_[desktop()] = *w;
        }
    if (on() && !paused()) {
        if (auto w = frontWindow()) {
            const std::vector<StripRef> list = strips();
            bool arranged = false;
            for (const StripRef& s : list) {
                if (!s->find(*w)) continue;
                arranged = true;
                if (displayIdx() != s->index) displayIdx.set(s->index);
                s->focusChanged(*w);
            }
            // A window no strip holds yet (a new one still being judged, a
            // dialog, a floating window) still tells where the user works:
            // the shortcuts must act on that display from the first key.
            if (!arranged && !list.empty()) {
                const int d = std::min(screenIndex(platform_, frame(platform_, *w)), static_cast<int>(list.size()) - 1);
                if (d >= 0 && displayIdx() != d) displayIdx.set(d);
            }
        }
    }
    feedback_.updateDim();
}

// ---- drags ----

void WindowManager::mouseUp() {
    if (!on() || paused()) return;
    auto w = frontWindow();
    if (!w) return;
    auto f = frame(platform_, *w);
    if (!f) return;
    const std::vector<StripRef> list = strips();
    StripRef s;
    for (const StripRef& c : list)
        if (c->find(*w)) {
            s = c;
            break;
        }
    if (!s || s->animating) return;
    const int d = screenIndex(platform_, f);
    if (d != s->index && d < static_cast<int>(list.size())) {
        if (auto item = s->remove(*w)) {
            const StripRef& to = list[static_cast<size_t>(d)];
            const std::string app = item->app;
            to->add(std::move(*item));
            displayIdx.set(d);
            note.set("Moved " + app + " to " + to->displayName());
            return;
        }
    }
    // The user resized the window by hand: its column takes the new width
    // (the window is the focused one, as the drag focused it).
    if (auto at = s->find(*w); at && s->layout == Layout::strip && static_cast<size_t>(at->first) < s->cw.size() &&
                               at->first == s->focusC &&
                               std::fabs(f->width - s->cw[static_cast<size_t>(at->first)]) > 2) {
        s->setWidth(geom::fracFor(f->width, s->usableWidth()));
        return;
    }
    if (auto p = s->placedPoint(*w)) {
        const bool dragged = std::fabs(p->x - f->minX()) > dragSlop || std::fabs(p->y - f->minY()) > dragSlop;
        // Dropped over another place in the strip, it moves there; else it goes back.
        if (dragged && !drop(*s, *w, Point{f->midX(), f->midY()})) s->reseat(*w);
    }
}

// While a window is dragged within its display's strip, the marker shows
// where mouseUp() would drop it; nothing is shown where it would go back.
void WindowManager::dragged(const AXElement& w, bool moving) {
    std::optional<Rect> marker;
    auto f = moving && on() && !paused() ? frame(platform_, w) : std::nullopt;
    const std::vector<StripRef> list = f ? strips() : std::vector<StripRef>{};
    for (const StripRef& s : list) {
        if (!s->find(w)) continue;
        const int d = screenIndex(platform_, f);
        if (!s->animating && (d == s->index || d >= static_cast<int>(list.size())))
            if (auto l = landing(*s, w, Point{f->midX(), f->midY()})) marker = markerRect(*s, *l);
        break;
    }
    showDropMarker(marker);
}

void WindowManager::showDropMarker(std::optional<Rect> r) {
    if (r == dropMarker_) return;
    dropMarker_ = r;
    platform_.showDropMarker(r);
}

}  // namespace tarvela

// The window manager: owns one strip per display, decides when Tarvela runs
// (the permission, the user's on switch, the one-hour pause), keeps the strips
// in step with the windows the platform reports, remembers where each window
// sat, floats windows out of the strips and back, moves them between
// displays, runs the keyboard actions and saves and restores workspaces.
//
// Everything here runs on the main thread. Platform notifications, timers and
// delayed work reach the manager only through its lifetime guard, so nothing
// fires into a manager that has gone. Sources by concern:
//   window_manager.cpp  lifecycle, permission watch, pause, status text
//   discovery.cpp       rebuild, observation, new/closed windows, focus, drags
//   placement.cpp       placement memory, floating, send, actions
//   workspaces.cpp      saving and restoring workspaces, drift notices
//   desktops.cpp        desktops: switching, sending windows, names, count
//   setups.cpp          arrangements captured and put back, per set-up of displays
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/launch_context.h"
#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/serial_queue.h"
#include "core/signal.h"
#include "core/strip.h"
#include "manager/actions.h"
#include "manager/arrangement.h"
#include "manager/feedback_hooks.h"
#include "manager/rule_widths.h"
#include "settings/prefs.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

namespace tarvela {

// A published property: an assignment of a new value stores it, tells the
// property's own subscribers, then the owner's `changed`, and then runs the
// owner's follow-up for that property, if any. Assigning the value it already
// holds does nothing: whoever needs an announcement without a change makes it.
template <class T>
class Published {
public:
    Published(Signal<>& owner, T initial) : owner_(owner), value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    const T& operator()() const { return value_; }
    const T& get() const { return value_; }
    // Whether the value changed.
    bool set(T v) {
        if (v == value_) return false;
        value_ = std::move(v);
        changed.emit(value_);
        owner_.emit();
        if (didSet_) didSet_();
        return true;
    }

    Signal<T> changed;

private:
    friend class WindowManager;
    Signal<>& owner_;
    T value_;
    std::function<void()> didSet_;
};

using StripRef = std::shared_ptr<Strip>;

class WindowManager {
public:
    // A window's place when its strip last came to rest.
    struct Memo {
        int col = 0;
        int row = 0;
        double frac = 0.5;
        // Which remembering wrote it: a window absent since (full screen, say)
        // keeps an older one than the windows that closed up behind it.
        uint64_t gen = 0;
        // It shared its column: it goes back into that column, not beside it.
        bool stacked = false;
        bool operator==(const Memo& o) const { return col == o.col && row == o.row && frac == o.frac; }
    };

    struct Deps {
        Platform& platform;
        RunLoop& main;
        SerialQueueFactory makeQueue;          // one animation queue per strip; threads when empty
        std::shared_ptr<ParallelFor> workers;  // the animation's per-application writers
        Prefs& prefs;
        RuleStore& rules;
        WorkspaceStore& workspaces;
        FeedbackHooks& feedback;
        std::optional<uint64_t> seed{};  // of the memory's thinning; random when none
    };

    explicit WindowManager(Deps deps);
    ~WindowManager();
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    // Any published property changed, or any strip's published state.
    Signal<> changed;

    // ---- published state ----
    Published<bool> on{changed, false};
    // Pausing (the popover's pause button) starts the hour; resuming ends it.
    Published<bool> paused{changed, false};
    Published<int> displayIdx{changed, 0};
    // Set by the manager only; the status item and popover empty it.
    Published<std::string> note{changed, std::string()};
    Published<bool> trusted{changed, false};
    // The strips of the desktop shown; every other desktop keeps its own,
    // one per display, as the user left them.
    Published<std::vector<StripRef>> strips{changed, {}};
    // The desktop shown on every display, from 0.
    Published<int> desktop{changed, 0};
    // Windows that want the user's attention, the longest waiting first. A
    // mark goes when its window takes the focus, the client withdraws it or
    // the window closes.
    Published<std::vector<AXElement>> attention{changed, {}};
    bool wantsAttention(const AXElement& el) const;

    // Workspaces as they are saved and restored, and a restored one that no
    // longer matches its windows (with the application that closed).
    Signal<Workspace> workspaceSaved;
    Signal<Workspace> workspaceRestored;
    Signal<Workspace, std::string> workspaceDrifted;

    // What changed about the desktops: "switched", "renamed" or "count".
    Signal<std::string> desktopsChanged;

    std::function<void()> onActivity;
    std::function<void()> onPermissionLost;
    std::function<void(const std::string& title, const std::string& body)> onNotice;

    // ---- the rest of the state (read by tests and diagnostics) ----
    std::vector<AXElement> floating;
    std::unordered_map<uint32_t, Memo> memory;
    uint64_t memoGen_ = 0;
    SubscriptionRef mouseMonitor;
    SubscriptionRef dragMonitor;
    // Where the drop marker is shown; none while hidden.
    std::optional<Rect> dropMarker_;
    std::map<int32_t, std::unique_ptr<AXObserver>> observers;
    // Forward each strip's changes to `changed`; dropping one unsubscribes.
    std::vector<Connection> bag;
    std::vector<SubscriptionRef> wsObs;
    std::optional<RunLoop::TimerId> pauseTimer;
    std::optional<RunLoop::TimerId> permTimer;
    bool wasOnBeforeLoss = false;
    Prefs& prefs;

    // ---- lifecycle (window_manager.cpp) ----
    // Switches on when the permission is held, always from a clean state.
    void start();
    // start(), with the windows the plan names put where it says (those that
    // exist and may be tiled or floated); every other window as start() puts
    // it. restoredInPlace() tells whether the plan placed any. Without the
    // permission, the start that follows it takes the plan.
    void startWith(const Arrangement& plan);
    // What each set-up of displays had when it was last left, and taking up
    // what an earlier run remembered (the set-ups this run has seen win).
    const SetupMemory& setups() const { return setups_; }
    void recallSetups(const SetupMemory& earlier);
    // Leaves every window where it is; keeps floating, memory and the pause.
    void stop(bool keepObservers);
    // The 1.5-second permission poll; called once at launch.
    void startWatchingPermission();
    std::string statusLine() const;
    // The strip of the display the user works on / of the next display.
    StripRef cur() const;
    StripRef other() const;

    // ---- discovery (discovery.cpp) ----
    // With a plan, the windows it names go where it says, each strip starting
    // at its planned focus and scroll position (manager/setups.cpp).
    void rebuild(const Arrangement* plan = nullptr);
    // Drops closed, minimised and full-screen windows; `reason` names an
    // application that has just quit.
    void pruneAll(const std::optional<std::string>& reason);
    void focusChanged();

    // A program launched now, its windows carrying `startupId`: its first
    // window opens on the current display beside the column focused there,
    // wherever the user is by the time it shows.
    void noteLaunch(const std::string& startupId);

    // ---- the one way in (placement.cpp) ----
    // Everything that acts on windows comes through here: the shortcuts, the
    // gestures, the HUD, the popover, the overview and scripts. Each entry
    // asks acting() first, so while the manager is off or paused none of
    // them moves a window.
    bool acting() const { return on() && !paused(); }
    // The strips exist but are held where they are: settings that arrange
    // them (layout, alignment) are refused, or the strips would disagree
    // with them until a rebuild made the windows jump.
    bool held() const { return on() && paused(); }
    // One keyboard action on the current strip; `n` is jump's column, from 1.
    void perform(Action action, int n);
    // The focused window of the current display to the next display.
    void send();
    // Focuses row `row` of column `col` on the strip of display `strip` (the
    // current display's when none) and slides it into view.
    void raise(int col, int row, std::optional<int> strip = std::nullopt);
    // The current strip's focused column to a width fraction.
    void setWidth(double frac);
    // A free slide of the current strip (Option-scroll); the strip slid, none
    // when it was refused.
    StripRef scrollBy(double dx);
    // Brings a strip slid by scrollBy to rest on its nearest column.
    void settle(const StripRef& s);
    void openOverview();
    // The pointer moved (screen coordinates). With focus following the mouse,
    // entering a window of a column wholly on screen focuses it in place.
    void pointerMoved(Point at);
    // Focuses the window that has wanted attention longest (restoring it when
    // minimised), on whichever display it is.
    void focusAttention();
    // Stored and applied to the current strip / every strip; while off only
    // stored (the next start arranges by it). False, changing nothing, while held.
    bool setLayout(Layout l);
    bool setAlign(Align a);

    // ---- workspaces (workspaces.cpp) ----
    void saveWorkspace(const std::string& name, std::optional<int> slot);
    // Returns at once; the windows move when the launched applications had their time.
    void restore(const Workspace& ws);
    // Every display's strip of the desktop shown, the display worked on
    // first, as the last session; none without a window to keep.
    std::optional<Workspace> session() const;
    // Keeps session() in the store as the last session; false, writing
    // nothing, when there is no window or the same is kept already.
    bool keepLastSession();

    // ---- desktops (desktops.cpp) ----
    int desktopCount() const { return prefs.desktopCount(); }
    std::vector<std::string> desktopNames() const { return prefs.desktopNameList(); }
    // Desktop `d` on every display, its strips and focus as the user left
    // them, at once and without a slide. Works while off and paused too: it
    // hides and shows, it arranges nothing.
    void showDesktop(int d);
    // The focused window of the current display (with `column`, its whole
    // column) to desktop `d`, keeping its width: it joins that desktop's
    // strip of the same display beside its focused column.
    void sendToDesktop(int d, bool column);
    // Names from the first desktop on; the others keep theirs.
    void renameDesktops(const std::vector<std::string>& names);
    // Desktop `d` alone; an empty name gives it back its number.
    void renameDesktop(int d, const std::string& name);
    // Desktop `d`'s strips (the current one's are `strips`); empty when off.
    std::vector<StripRef> stripsOf(int d) const;
    // The windows on desktop `d`, tiled and floating (not those on every desktop).
    int windowCount(int d) const;
    // A floating window on every desktop, or back on the current one only.
    void setSticky(const AXElement& el, bool sticky);
    bool isSticky(const AXElement& el) const;

    // ---- arrangements ----
    // Every strip's columns, focus and scroll position, the floating windows
    // and the desktop shown, by window number.
    Arrangement arrangement() const;
    // Whether this start put the windows back where a Tarvela before it on
    // the same display left them.
    bool restoredInPlace() const { return restoredInPlace_; }

    // What breaks the agreement of strips, floating windows, memory and
    // displays, one line each; empty when it holds (manager/invariants.cpp).
    std::vector<std::string> checkInvariants() const;

    // What new columns start at; the strips use it.
    WidthDefaults& widths() { return widths_; }

private:
    bool restoredInPlace_ = false;
    // How many windows the last rebuild put where its plan said.
    int planned_ = 0;
    // A plan given while the manager could not start: the next start takes it.
    std::optional<Arrangement> pendingPlan_;
    void begin(const Arrangement* plan);
    // A plan read against the displays and desktops there are (setups.cpp):
    // where each window it names goes, by number, and which of its strips
    // each strip takes up. The first mention of a window or a strip counts.
    struct PlanIndex {
        struct Spot {
            int desktop = 0;  // kAllDesktops for a window floating on every desktop
            int display = -1;  // -1: it floats
            int col = 0;
            int row = 0;
        };
        const Arrangement* plan = nullptr;
        std::unordered_map<uint32_t, Spot> spots;
        std::map<std::pair<int, int>, size_t> strips;  // (desktop, display) to plan.strips
        std::optional<Spot> find(Platform& p, const AXElement& el) const;
    };
    // The display with this key, -1 when none has it.
    static int displayByKey(const std::vector<Screen>& screens, const std::string& key);
    PlanIndex indexPlan(const Arrangement& plan, const std::vector<Screen>& screens, int count) const;
    // A strip's columns: the planned ones first, then the others as recall()
    // has them; `rest` is where the plan left the strip, if it placed any.
    std::vector<Col> plannedColumns(const Strip& s, const PlanIndex& index, int d, std::vector<Item> items,
                                    std::optional<Strip::Rest>& rest);
    // The arrangement of each set-up of displays, the latest used last.
    SetupMemory setups_;
    // The rebuild after displays came or went: the arrangement stays with the
    // set-up it was made on, and a set-up seen before gets its own back.
    void displaysChanged();
    void focusStaysInView(Arrangement& plan);
    // Desktops not shown, each a strip per display; the current one's slot is empty.
    std::vector<std::vector<StripRef>> parked_;
    // The display each desktop was last worked on: its focus comes back there.
    std::unordered_map<int, int> deskDisplay_;
    // The window each desktop last had the focus in: switching back gives it
    // to a dialog or floating window again, which no strip's focus names.
    std::unordered_map<int, AXElement> deskFocus_;
    // Whether a window (tiled, floating or neither) is on desktop `d`.
    bool onDesktop(const AXElement& el, int d) const;
    // Floating windows' desktops (kAllDesktops: sticky); tiled ones are on
    // the desktop whose strip holds them.
    std::unordered_map<AXElement, int, AXElementHash> floatDesk_;
    SubscriptionRef desktopRequests_;
    std::vector<Connection> desktopPrefs_;
    // Tells the platform the desktops and every window's desktop.
    void publishDesktops();
    void assignDesktops();
    void desktopRequested(const DesktopRequest& req);
    void desktopCountChanged();
    void watchDesktopPrefs();
    // The desktop the manager puts a window on that it meets for the first time.
    int desktopFor(const AXElement& el) const;
    // Whose strip holds a window, -1 for none.
    int stripDesktop(const AXElement& el) const;
    void moveWindowToDesktop(const AXElement& el, int d);
    // Every strip, the shown ones first.
    std::vector<StripRef> allStrips() const;
    std::vector<StripRef> makeStrips(const std::vector<Screen>& screens);

    // Work for a timer, run only while the manager lives.
    void later(double seconds, std::function<void()> fn);

    void checkPermission();
    void schedulePauseEnd();
    void shutDown(Strip& s);
    void shutDownStrips();
    // Windows the strips held before a rebuild or stop; the platform hears
    // that they float once no new strip has taken them.
    std::vector<AXElement> unassigned_;
    void releaseUnassigned();

    void watchWorkspace();
    // A rebuild after `delay`, unless two are waiting already.
    void rebuildSoon(double delay, bool displays = false);
    int rebuildsPending_ = 0;
    void observe(int32_t pid);
    void axNotification(const AXElement& el, const std::string& name);
    void adoptWindows(const RunningApp& app);
    void windowCreated(const AXElement& el);
    void judgeNewWindow(const AXElement& el);
    bool isManaged(const AXElement& el) const;
    void mouseUp();
    void dragged(const AXElement& w, bool moving);
    void showDropMarker(std::optional<Rect> r);
    void attentionChanged(const AXElement& el);
    void setAttention(const AXElement& el, bool wants);
    // Marks a window the focus was refused to, where taskbars see it too.
    void markRefused(const AXElement& el);
    // An application's, pager's or taskbar's request, judged by the focus policy.
    void activationRequested(const ActivationRequest& req);
    // The user's latest input in a window other than `el`, as far as known.
    std::optional<int64_t> lastInputBesides(const AXElement& el);
    // Focus, raise and restore a window for the user, and slide its strip to it.
    void bringForward(const AXElement& el);
    void grant(const AXElement& el);
    // Windows whose activation was granted since they were last judged: their
    // coming back (from minimised) takes the focus whatever their user time.
    std::vector<AXElement> granted_;
    LaunchContexts launches_;
    // Where the window a launch announced opens: its strip and column, or
    // none when no launch within the bound names it.
    std::optional<std::pair<StripRef, int>> launchPlace(const AXElement& el);
    // Whether the application's rule keeps its windows out of the strips (float or ignore).
    bool ruleExcludes(const std::optional<std::string>& bundleID) const;
    // The frontmost application's focused window.
    std::optional<AXElement> frontWindow();

    // The strip an entry of the one way in acts on: none unless acting().
    StripRef actingStrip(std::optional<int> index = std::nullopt) const;
    void sendNow();
    // The window the pointer was last over, as pointerMoved saw it.
    std::optional<AXElement> hovered_;
    void remember(const Strip& strip);
    std::vector<Col> recall(const Strip& strip, const std::vector<Item>& items);
    std::vector<Col> groupDefault(const Strip& strip, const std::vector<Item>& items);
    void toggleFloat();
    void announceFloating(std::string text);

    void finishRestore(const Workspace& ws);
    // Tests stand in for a start that put the windows back in place.
    friend struct WindowManagerTestAccess;
    // The desktop the active workspace was saved or restored on: only windows
    // closing there make it drift.
    int workspaceDesk_ = 0;
    // By application: whether its windows last closed on another desktop than that.
    std::unordered_map<std::string, bool> closedElsewhere_;
    void driftCheck(const std::optional<std::string>& reason, const std::vector<std::string>& pruned);

    Platform& platform_;
    RunLoop& main_;
    SerialQueueFactory makeQueue_;
    std::shared_ptr<ParallelFor> workers_;
    RuleStore& rules_;
    WorkspaceStore& workspaces_;
    FeedbackHooks& feedback_;
    RuleWidths widths_;
    std::mt19937_64 rng_;
    // Timers, notifications and posted work run only while it lasts.
    Lifetime life_;
};

}  // namespace tarvela

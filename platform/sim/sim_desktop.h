// An in-memory desktop behind the Platform seam, for tests, benchmarks and the
// simulated demo. It is deliberately imperfect in the ways real desktops are:
// windows snap to size increments or refuse sizes, close between two calls,
// have frames that cannot be read; applications are slow to answer (a cost per
// write, really spent) and lack names or bundle identifiers; writes arrive from
// several threads at once. Every write Tarvela makes is counted, so a test can
// assert exactly what was written, or that nothing was.
//
// Geometry: window frames are accessibility coordinates (top-left, y down);
// display frames are screen coordinates (bottom-left of the first display, y up).
//
// Delivery: notifications, workspace events and mouse-up monitors reach their
// handlers through the RunLoop given at construction, i.e. later on the main
// loop, never inside the call that caused them. A handler receives an event
// only if it was subscribed when the event happened and still is at delivery.
//
// Threading: setAttribute may be called from any thread; everything else from
// the main thread (or the test's thread), as on the real platforms.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/platform.h"
#include "core/runloop.h"

namespace tarvela {

inline constexpr double kUnlimited = std::numeric_limits<double>::infinity();

struct AppSpec {
    std::optional<int32_t> pid{};  // chosen by the desktop when none
    std::optional<std::string> name{};
    std::optional<std::string> bundleID{};
    ImageRef icon{};
    ActivationPolicy policy = ActivationPolicy::Regular;
};

// How a window answers reads and writes.
struct WindowSpec {
    std::optional<std::string> subrole = std::string(ax::StandardWindow);  // none: the attribute is missing
    std::string title{};
    double minW = 0, maxW = kUnlimited;
    double minH = 0, maxH = kUnlimited;
    // Size increments (a terminal's character cells): a size becomes
    // base + k * inc, rounded down, as X11 size hints do. 0 = any size.
    Size base{};
    Size inc{};
    bool refuseResize = false;     // every size write is refused and fails
    bool unreadableFrame = false;  // "AXPosition" and "AXSize" reads fail
    bool minimized = false;
    bool fullScreen = false;
    bool takesFocus = true;        // becomes its application's focused window when opened
    bool hasNumber = true;         // false: its window number is unknown
    bool demandsAttention = false;
    std::optional<int64_t> userTime{};  // "AXUserTime"; none: the attribute is missing
    std::optional<std::string> startupId{};  // "AXStartupID"
    std::optional<int> desktop{};       // the desktop it asks for before it is placed
};

// A window an installable application opens when it has launched.
struct WindowPlan {
    Rect frame{};  // accessibility coordinates
    WindowSpec desc{};
};

enum class WriteKind { Position, Size, Main, Raise, EnhancedUI, Minimized };

// Attempts per element and kind: refused and failed writes count too, since the
// question a test asks is what Tarvela tried to do.
struct WriteCounts {
    int64_t position = 0;
    int64_t size = 0;
    int64_t main = 0;
    int64_t raise = 0;
    int64_t enhancedUI = 0;
    int64_t minimized = 0;
    int64_t total() const { return position + size + main + raise + enhancedUI + minimized; }
    bool operator==(const WriteCounts&) const = default;
};

// For test failure messages.
inline std::ostream& operator<<(std::ostream& os, const WriteCounts& c) {
    return os << "{position " << c.position << ", size " << c.size << ", main " << c.main << ", raise " << c.raise
              << ", enhancedUI " << c.enhancedUI << ", minimized " << c.minimized << "}";
}

struct WriteRecord {
    AXElement el;
    WriteKind kind;
    std::optional<AttrValue> value;  // none for actions
    std::thread::id thread;
    bool applied;  // the call reported success
};

class SimDesktop final : public Platform {
public:
    explicit SimDesktop(RunLoop& loop);
    ~SimDesktop() override;
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    // ---- Platform ----
    void assignDisplay(const AXElement& window, std::optional<uint64_t> screenId) override;
    std::optional<AttrValue> copyAttribute(const AXElement& el, std::string_view name) override;
    bool setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) override;
    bool performAction(const AXElement& el, std::string_view action) override;
    std::optional<int32_t> pidOf(const AXElement& el) override;
    std::optional<uint32_t> windowNumber(const AXElement& el) override;
    bool isProcessTrusted() override;
    std::unique_ptr<AXObserver> createObserver(int32_t pid, AXCallback callback) override;
    std::vector<RunningApp> runningApplications() override;
    std::optional<RunningApp> runningApplication(int32_t pid) override;
    std::optional<RunningApp> frontmostApplication() override;
    bool activate(int32_t pid) override;
    int32_t ownPid() override;
    // The launched application's windows carry `startupId` unless their plan names one.
    bool launchApplication(const std::string& bundleIdentifier, const std::string& startupId = {}) override;
    bool isApplicationInstalled(const std::string& bundleIdentifier) override;
    std::vector<Screen> screens() override;
    SubscriptionRef addWorkspaceObserver(WorkspaceEvent event, WorkspaceHandler handler) override;
    SubscriptionRef addMouseUpMonitor(std::function<void()> handler) override;
    SubscriptionRef addDragMonitor(std::function<void(const AXElement&, bool)> handler) override;
    void showDropMarker(std::optional<Rect> r) override;
    SubscriptionRef addActivationMonitor(ActivationHandler handler) override;
    SubscriptionRef addLaunchMonitor(std::function<void(const std::string&)> handler) override;
    void publishDesktops(const DesktopSet& set) override;
    void setWindowDesktop(const AXElement& window, int desktop) override;
    SubscriptionRef addDesktopMonitor(DesktopHandler handler) override;
    // Always an 8 x 8 picture of the window's own colour: a platform that cannot scale.
    ImageRef capture(const AXElement& window, std::optional<PixelSize> size) override;
    // Kept by the desktop across managers, as a display server keeps root properties.
    std::optional<std::string> restartRecord(size_t maxBytes) override;
    void setRestartRecord(const std::string& text) override;
    int restartRecordWrites() const;

    // ---- displays (each change posts ScreenParametersDidChange) ----
    // Returns the new display's id. visibleFrame defaults to the whole frame.
    uint64_t addDisplay(const Rect& frame, std::optional<Rect> visibleFrame = std::nullopt,
                        std::string name = "Display", double scale = 1);
    // 1920x1080 less a 25-point menu bar at the top, right of the last display.
    uint64_t addStandardDisplay(std::string name = "Built-in Display");
    bool removeDisplay(uint64_t id);
    // Replaces the whole list; entries with id 0 get a fresh id.
    void setDisplays(std::vector<Screen> displays);

    // ---- applications ----
    // The pid, or 0 when a process with the requested pid already runs.
    // Posts DidLaunchApplication.
    int32_t addApp(const AppSpec& desc = {});
    // Its windows close (each posting "AXUIElementDestroyed"), then
    // DidTerminateApplication is posted. False for an unknown pid.
    bool quitApp(int32_t pid);
    // Launching that bundle identifier starts desc after delaySeconds on the run
    // loop; the application then opens these windows and comes to the front.
    void registerInstallable(const std::string& bundleID, const AppSpec& desc, double delaySeconds,
                             std::vector<WindowPlan> windowsToOpen = {});
    void uninstall(const std::string& bundleID);
    std::vector<std::string> launchRequests() const;  // bundle identifiers asked for, in order
    void setOwnPid(int32_t pid);
    // Missing by default; a test sets it to make the application use it.
    void setEnhancedUI(int32_t pid, std::optional<bool> value);
    std::optional<bool> enhancedUI(int32_t pid) const;
    // An application that answers no accessibility call (every read and write fails).
    void setUnresponsive(int32_t pid, bool unresponsive);
    // createObserver for that pid yields null.
    void setRefusesObservers(int32_t pid, bool refuses);
    int64_t activations(int32_t pid) const;  // activate() calls that reached it

    // ---- windows ----
    // Null element for an unknown pid. Posts "AXWindowCreated" (and
    // "AXFocusedWindowChanged" when it takes the focus).
    AXElement addWindow(int32_t pid, const Rect& frameAX, const WindowSpec& desc = {});
    // The handle stays valid; every read and write fails from now on.
    bool closeWindow(const AXElement& el);
    void setMinimized(const AXElement& el, bool minimized);
    // Full screen covers the display holding the window; leaving restores the frame.
    void setFullScreen(const AXElement& el, bool fullScreen);
    void setSubrole(const AXElement& el, std::optional<std::string> subrole);
    // Makes one attribute of a window (or application) element fail to read.
    void setUnreadable(const AXElement& el, std::string_view attribute, bool unreadable = true);
    void setConstraints(const AXElement& el, const WindowSpec& desc);  // size rules only
    // The window closes on its own after that many more attribute reads: a
    // window that goes away between two calls (0 = before the next read).
    void closeAfterReads(const AXElement& el, int reads);
    // The application moves or resizes its own window. Not a Tarvela write.
    void setFrame(const AXElement& el, const Rect& frameAX);
    // A user click: the application comes to the front, the window takes the
    // focus and rises. Not a Tarvela write.
    void focusWindow(const AXElement& el);
    // A user drag to a new top-left corner (takes the focus as a click does). Not
    // a Tarvela write; mouseUp() ends it, as does cancelDrag() (the user calls
    // the move off, e.g. with Escape) without a mouse-up.
    void dragWindow(const AXElement& el, Point newOrigin);
    void mouseUp();
    void cancelDrag();
    void postActiveSpaceChange();
    // The client sets or clears its wish for attention ("AXAttentionChanged").
    void setDemandsAttention(const AXElement& el, bool wants);
    void setUserTime(const AXElement& el, std::optional<int64_t> time);
    // An application, pager or taskbar asks for the window: handed to the
    // activation monitors when there are any, else done at once (restored,
    // raised and focused, as a click would).
    void requestActivation(const AXElement& el, ActivationSource source, std::optional<int64_t> userTime = std::nullopt);
    // A launcher announces a launch whose windows will carry `startupId`.
    void announceLaunch(const std::string& startupId);
    // A pager or script asks something of the desktops: handed to the desktop monitors.
    void requestDesktop(const DesktopRequest& req);

    // ---- truth, bypassing counts and unreadable flags ----
    std::optional<Rect> frameOf(const AXElement& el) const;  // last frame, closed windows too
    bool isClosed(const AXElement& el) const;                // unknown elements count as closed
    std::optional<uint64_t> assignedDisplay(const AXElement& el) const;
    bool isMinimized(const AXElement& el) const;
    bool isMain(const AXElement& el) const;
    std::optional<AXElement> focusedWindow(int32_t pid) const;
    std::vector<AXElement> windowsOf(int32_t pid) const;   // open ones, creation order
    std::vector<AXElement> stackingOrder() const;          // open windows, topmost first
    // Desktops as last published, and whether a window is shown: its desktop
    // (as last set, else the one it asked for, else the one shown when it
    // opened) is the current one or every one.
    DesktopSet desktops() const;
    std::optional<int> desktopOf(const AXElement& el) const;
    bool isShown(const AXElement& el) const;
    std::optional<Rect> dropMarker() const;  // as last shown; none while hidden

    // ---- permission ----
    // Untrusted: every read and write fails and no observer can be made.
    void setTrusted(bool trusted);
    // Untrusted stands for another window manager holding the display: the
    // poll's requestTrust() cannot change that, a take-over can.
    bool takeOver() override;

    // ---- writes ----
    // Spent on every write to a window or application element, on the writing
    // thread, outside any lock: a slow application costs time but not others'.
    void setWriteCost(double seconds);
    void setWriteCost(int32_t pid, double seconds);
    WriteCounts writes(const AXElement& el) const;
    WriteCounts totals() const;
    void resetCounts();  // also empties the write log
    void enableWriteLog(bool on);
    std::vector<WriteRecord> writeLog() const;
    // Called after every write, on the writing thread, with no lock held (it
    // may call back into the desktop, e.g. to close a window mid-animation).
    void setWriteHook(std::function<void(const WriteRecord&)> hook);

    // ---- subscriptions ----
    int liveObservers() const;
    int liveObservers(int32_t pid) const;
    int liveWorkspaceObservers() const;
    int liveWorkspaceObservers(WorkspaceEvent event) const;
    int liveMouseMonitors() const;

    struct State;

private:
    bool write(const AXElement& el, WriteKind kind, const AttrValue* value);
    // Tells the drag monitors about the window being dragged; the caller holds the lock.
    void postDrag(bool moving);
    std::shared_ptr<State> s_;
};

}  // namespace tarvela

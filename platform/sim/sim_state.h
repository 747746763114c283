// The simulated desktop's state, shared by its source files. One mutex guards
// all of it; user callbacks are never called while it is held, so a handler
// may call back into the desktop.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "platform/sim/sim_desktop.h"

namespace tarvela {

struct SimWindow {
    uint64_t id = 0;
    int32_t pid = 0;
    Rect frame;  // accessibility coordinates
    WindowSpec desc;
    bool closed = false;
    std::optional<Rect> beforeFullScreen;
    std::optional<uint64_t> display;  // as the logic last assigned it
    std::optional<int> readsLeft;  // closes itself when a read finds 0
    std::set<std::string, std::less<>> unreadable;
    int desktop = 0;
};

struct SimApp {
    RunningApp info;
    std::vector<uint64_t> windows;  // open ones, creation order
    uint64_t focused = 0;           // 0 = none
    uint64_t main = 0;
    std::optional<bool> enhancedUI;
    bool unresponsive = false;
    bool refusesObservers = false;
    int64_t activations = 0;
    std::optional<double> writeCost;
    std::set<std::string, std::less<>> unreadable;
};

struct SimObserverRec {
    int32_t pid = 0;
    AXCallback callback;
    std::set<std::string, std::less<>> names;
    bool attached = false;
};

struct SimInstallable {
    AppSpec desc;
    double delay = 0;
    std::vector<WindowPlan> windows;
};

struct SimDesktop::State : std::enable_shared_from_this<State> {
    explicit State(RunLoop& l) : loop(l) {}

    RunLoop& loop;
    mutable std::mutex m;

    std::vector<Screen> screens;
    uint64_t nextScreenId = 1;

    std::vector<int32_t> appOrder;  // launch order
    std::map<int32_t, SimApp> apps;
    int32_t nextPid = 1000;
    int32_t frontmost = 0;  // 0 = none
    int32_t own = 99;
    bool trusted = true;
    std::map<std::string, SimInstallable> installables;
    std::vector<std::string> launchRequests;

    std::unordered_map<uint64_t, SimWindow> windows;  // closed ones stay, so handles stay valid
    uint64_t nextWindowId = 0x400001;
    std::vector<uint64_t> stacking;  // open windows, bottom first

    double writeCost = 0;
    std::unordered_map<AXElement, WriteCounts, AXElementHash> counts;
    bool logOn = false;
    std::vector<WriteRecord> log;
    std::function<void(const WriteRecord&)> writeHook;

    std::map<uint64_t, SimObserverRec> observers;
    std::map<uint64_t, std::pair<WorkspaceEvent, WorkspaceHandler>> workspace;
    std::map<uint64_t, std::function<void()>> mouse;
    std::map<uint64_t, ActivationHandler> activation;
    std::map<uint64_t, std::function<void(const std::string&)>> launch;
    std::map<uint64_t, DesktopHandler> desktopMonitors;
    std::map<uint64_t, std::function<void(const AXElement&, bool)>> drag;
    std::optional<AXElement> dragging;  // the window a drag by hand is moving
    std::optional<Rect> dropMarker;
    DesktopSet desktops;
    std::optional<std::string> restartRecord;
    int restartRecordWrites = 0;
    uint64_t nextSub = 1;

    // ---- helpers; the caller holds m ----
    SimApp* app(int32_t pid);
    SimWindow* window(const AXElement& el);  // known windows, closed ones too
    SimWindow* openWindow(const AXElement& el);
    std::optional<RunningApp> info(int32_t pid);

    int32_t addApp(const AppSpec& desc);
    uint64_t addWindow(int32_t pid, const Rect& frame, const WindowSpec& desc);
    void close(SimWindow& w);
    void setMinimized(SimWindow& w, bool minimized);
    void setFullScreen(SimWindow& w, bool fullScreen);
    void raise(SimWindow& w);
    void setFocused(SimApp& a, uint64_t id);
    void refocus(SimApp& a);
    void activate(int32_t pid);
    void finishLaunch(const std::string& bundleID, const std::string& startupId);

    // Queue deliveries on the run loop to whoever listens now.
    void notifyAX(int32_t pid, const AXElement& el, std::string_view name);
    void postWorkspace(WorkspaceEvent event, const std::optional<RunningApp>& app);
    void postScreensChanged() { postWorkspace(WorkspaceEvent::ScreenParametersDidChange, std::nullopt); }
};

// A size the window's own rules allow, nearest below the one asked for.
Size constrainSize(const WindowSpec& desc, Size asked);

}  // namespace tarvela

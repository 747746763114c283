// The seam between Tarvela's logic and the window system. The logic speaks the
// accessibility vocabulary (elements, attributes named "AXPosition", ...);
// platform/sim and platform/x11 implement it. Nothing above this header knows
// which one it talks to.
//
// Threading: every call is made on the main thread, except setAttribute with
// "AXPosition", which the strip animation makes from its own threads; every
// implementation must take that concurrently for different windows.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/geometry.h"

namespace tarvela {

// An opaque handle to a window or to an application. Two handles are the same
// window exactly when they compare equal; a closed window's handle stays valid
// and its reads fail.
struct AXElement {
    enum class Kind : uint8_t { None, Window, Application };
    Kind kind = Kind::None;
    uint64_t id = 0;  // window id, or the process identifier for an application

    static AXElement window(uint64_t id) { return {Kind::Window, id}; }
    static AXElement application(int32_t pid) { return {Kind::Application, static_cast<uint64_t>(static_cast<uint32_t>(pid))}; }
    bool isWindow() const { return kind == Kind::Window; }
    bool operator==(const AXElement&) const = default;
    explicit operator bool() const { return kind != Kind::None; }
};

struct AXElementHash {
    size_t operator()(const AXElement& e) const noexcept {
        return std::hash<uint64_t>()(e.id) ^ (static_cast<size_t>(e.kind) << 1);
    }
};

// What an attribute read can yield. Readers ask for one alternative and treat
// any other as missing.
using AttrValue = std::variant<bool, int64_t, double, std::string, Point, Size, AXElement, std::vector<AXElement>>;

// Attribute, action and notification names, as the logic uses them.
namespace ax {
inline constexpr std::string_view Position = "AXPosition";
inline constexpr std::string_view SizeAttr = "AXSize";
// The steps a window's size snaps to (a terminal's character cells), as a size.
inline constexpr std::string_view SizeIncrement = "AXSizeIncrement";
inline constexpr std::string_view Subrole = "AXSubrole";
inline constexpr std::string_view Minimized = "AXMinimized";
inline constexpr std::string_view FullScreen = "AXFullScreen";
inline constexpr std::string_view Windows = "AXWindows";
inline constexpr std::string_view FocusedWindow = "AXFocusedWindow";
inline constexpr std::string_view EnhancedUserInterface = "AXEnhancedUserInterface";
inline constexpr std::string_view Main = "AXMain";
inline constexpr std::string_view Title = "AXTitle";
inline constexpr std::string_view Raise = "AXRaise";
// Asks the window to close, as its close button would; the application may
// still ask the user first.
inline constexpr std::string_view Close = "AXClose";
inline constexpr std::string_view StandardWindow = "AXStandardWindow";
inline constexpr std::string_view Dialog = "AXDialog";
// A window that wants the user's attention (a bell, a finished job, a request
// that was not allowed to take the focus): bool.
inline constexpr std::string_view DemandsAttention = "AXDemandsAttention";
// When the user last gave input to a window, in the platform's milliseconds
// (monotonic, comparable between windows); for a window that has just opened,
// the input that opened it. 0 on a new window: it asks not to be focused.
inline constexpr std::string_view UserTime = "AXUserTime";
// The launch a window came from, as its launcher named it (a startup
// notification id): string.
inline constexpr std::string_view StartupId = "AXStartupID";
// The desktop a window is on, from 0, or kAllDesktops: int64. Before the
// window manager places it, the desktop the window asked for (a restored
// session); none when it asked for none.
inline constexpr std::string_view Desktop = "AXDesktop";

inline constexpr std::string_view FocusedWindowChanged = "AXFocusedWindowChanged";
inline constexpr std::string_view WindowCreated = "AXWindowCreated";
inline constexpr std::string_view UIElementDestroyed = "AXUIElementDestroyed";
inline constexpr std::string_view WindowMiniaturized = "AXWindowMiniaturized";
inline constexpr std::string_view WindowDeminiaturized = "AXWindowDeminiaturized";
// The window's client set or cleared its wish for attention.
inline constexpr std::string_view AttentionChanged = "AXAttentionChanged";
}  // namespace ax

// A picture in 32-bit ARGB, row by row.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};
using ImageRef = std::shared_ptr<const Image>;

// A picture's size in pixels.
struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

enum class ActivationPolicy { Regular, Accessory, Prohibited };

struct RunningApp {
    int32_t pid = 0;
    std::optional<std::string> localizedName;
    std::optional<std::string> bundleIdentifier;
    ImageRef icon;
    ActivationPolicy activationPolicy = ActivationPolicy::Regular;
};

// A display as the platform lists it. Frames are in screen coordinates
// (origin bottom-left of the first display, y up).
struct Screen {
    uint64_t id = 0;  // stable for as long as the display stays connected
    Rect frame;
    Rect visibleFrame;
    std::string localizedName;
    double backingScaleFactor = 1;
    // Who the display is, the same across restarts and replugging: its
    // output's name and, where known, the monitor's own identity. Set-ups of
    // displays are told apart by these.
    std::string key;
};

// One accessibility observer for one application. Notifications reach the
// callback on the main thread once attached; destroying the observer detaches it.
class AXObserver {
public:
    virtual ~AXObserver() = default;
    virtual void addNotification(const AXElement& appElement, std::string_view notification) = 0;
    // Starts delivery (the run-loop source being added to the main run loop).
    virtual void attach() = 0;
    virtual void detach() = 0;
};
using AXCallback = std::function<void(const AXElement& element, const std::string& notification)>;

enum class WorkspaceEvent {
    DidLaunchApplication,
    DidTerminateApplication,
    DidActivateApplication,
    ActiveSpaceDidChange,
    ScreenParametersDidChange,
};
using WorkspaceHandler = std::function<void(WorkspaceEvent, const std::optional<RunningApp>& app)>;

// Who asks for a window to be activated. Applications ask for their own
// windows; pagers and taskbars ask on the user's behalf; Tarvela's own
// actions never come through the platform but are judged alike.
enum class ActivationSource { Application, Pager, Tarvela };

struct ActivationRequest {
    AXElement window;
    ActivationSource source = ActivationSource::Application;
    // The input that led to the request (as ax::UserTime); none when unknown.
    std::optional<int64_t> userTime;
};
using ActivationHandler = std::function<void(const ActivationRequest&)>;

// Desktops: sets of windows of which one is shown at a time, on every
// display at once, as pagers and taskbars show them.
inline constexpr int kAllDesktops = -1;
struct DesktopSet {
    int count = 1;
    int current = 0;
    std::vector<std::string> names;  // one per desktop
    bool operator==(const DesktopSet&) const = default;
};
// What a pager, taskbar or script asks of the desktops.
struct DesktopRequest {
    enum class Kind { Show, MoveWindow, Rename, Sticky, Count };
    Kind kind = Kind::Show;
    int desktop = 0;                 // Show, MoveWindow (kAllDesktops: every desktop); Count: how many
    AXElement window;                // MoveWindow, Sticky
    std::vector<std::string> names;  // Rename: every desktop's name as the pager wants it
    bool sticky = false;             // Sticky: on every desktop, or back on the current one
};
using DesktopHandler = std::function<void(const DesktopRequest&)>;

// A registration (notification observer, event monitor). Destroying it unsubscribes.
class Subscription {
public:
    virtual ~Subscription() = default;
};
using SubscriptionRef = std::unique_ptr<Subscription>;

class Platform {
public:
    virtual ~Platform() = default;

    // --- accessibility ---
    virtual std::optional<AttrValue> copyAttribute(const AXElement& el, std::string_view name) = 0;
    // Status is reported but every caller in the logic ignores it, as on the original platform.
    virtual bool setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) = 0;
    virtual bool performAction(const AXElement& el, std::string_view action) = 0;
    virtual std::optional<int32_t> pidOf(const AXElement& el) = 0;
    // The platform's window number: stable, never 0; none when unknown.
    virtual std::optional<uint32_t> windowNumber(const AXElement& el) = 0;
    // Whether Tarvela may move other applications' windows.
    virtual bool isProcessTrusted() = 0;
    // Like isProcessTrusted, but first tries to gain the permission where the
    // platform can do that without asking the user (on X11: take the window
    // manager selection once it is free). Never prompts. The permission poll
    // and start() use it.
    virtual bool requestTrust() { return isProcessTrusted(); }
    // Gains the permission even from whoever holds it now (on X11: asks the
    // running window manager to hand the display over, as --replace does).
    // Only the user's own request calls it; true once it is held.
    virtual bool takeOver() { return requestTrust(); }
    // Null when no observer can be made for that process.
    virtual std::unique_ptr<AXObserver> createObserver(int32_t pid, AXCallback callback) = 0;

    // --- applications ---
    virtual std::vector<RunningApp> runningApplications() = 0;
    virtual std::optional<RunningApp> runningApplication(int32_t pid) = 0;
    virtual std::optional<RunningApp> frontmostApplication() = 0;
    virtual bool activate(int32_t pid) = 0;
    virtual int32_t ownPid() = 0;
    // Launches the application with that bundle identifier; false when none is
    // installed. Its windows carry `startupId` (ax::StartupId) when not empty.
    virtual bool launchApplication(const std::string& bundleIdentifier, const std::string& startupId) = 0;
    virtual bool isApplicationInstalled(const std::string& bundleIdentifier) = 0;

    // --- displays ---
    virtual std::vector<Screen> screens() = 0;

    // --- notifications and monitors (delivered on the main thread) ---
    virtual SubscriptionRef addWorkspaceObserver(WorkspaceEvent event, WorkspaceHandler handler) = 0;
    virtual SubscriptionRef addMouseUpMonitor(std::function<void()> handler) = 0;
    // A window the user moves by hand: `moving` at each step of the move (its
    // frame is where the pointer has taken it so far), false once it ends,
    // dropped or called off. Null where moves are never reported.
    virtual SubscriptionRef addDragMonitor(std::function<void(const AXElement& window, bool moving)> handler) {
        (void)handler;
        return nullptr;
    }
    // Shows where a window being moved would land: a bar of the accent colour
    // at `r`, above every window, never taking input or focus; none hides it.
    virtual void showDropMarker(std::optional<Rect> r) { (void)r; }
    // Requests to activate (focus, raise, restore) a window. While a handler
    // is registered the platform leaves them to it and does not act itself;
    // without one it activates as asked. Null where no request is ever made.
    virtual SubscriptionRef addActivationMonitor(ActivationHandler handler) {
        (void)handler;
        return nullptr;
    }

    // Launches announced on the display by whoever started a program (a
    // launcher's startup notification): the id its windows will carry.
    // Null where launches are never announced.
    virtual SubscriptionRef addLaunchMonitor(std::function<void(const std::string& startupId)> handler) {
        (void)handler;
        return nullptr;
    }

    // The display whose strip now holds this window; none once no strip does.
    // Where the window system would draw a window over every display it
    // overlaps (X11), the window is shown on that display only; while it has
    // one, the window's own attempts to move or resize itself are refused.
    virtual void assignDisplay(const AXElement& window, std::optional<uint64_t> screenId) {
        (void)window;
        (void)screenId;
    }

    // A window the user took out of the strips in an earlier run of Tarvela
    // floats by choice now too: it gets what floated windows get (X11: a title
    // bar) as if it had just left a strip.
    virtual void floatedBefore(const AXElement& window) { (void)window; }

    // --- desktops ---
    // Shows `set.current` and announces the set: every window whose desktop
    // is another one disappears, the current one's windows appear, at once.
    // A hidden window keeps its place and display, so the window system can
    // hand it back viewable should Tarvela end without a word.
    virtual void publishDesktops(const DesktopSet& set) { (void)set; }
    // The desktop a window belongs to (kAllDesktops: every one); it is shown
    // or hidden at once by whether that desktop is the current one. Windows
    // never given one follow their parent window, else the desktop they
    // asked for, else the desktop shown when they opened.
    virtual void setWindowDesktop(const AXElement& window, int desktop) {
        (void)window;
        (void)desktop;
    }
    // Requests about desktops from pagers, taskbars and other clients.
    // Null where none are ever made.
    virtual SubscriptionRef addDesktopMonitor(DesktopHandler handler) {
        (void)handler;
        return nullptr;
    }

    // --- window pictures (for the overview); null when none can be had ---
    // The window's picture at `size`, or at the window's own size where the
    // platform cannot scale (the caller compares); none given: its own size.
    virtual ImageRef capture(const AXElement& window, std::optional<PixelSize> size) {
        (void)window;
        (void)size;
        return nullptr;
    }
    // The picture capture() will be asked for next: the platform may start on
    // it now so that it is ready by then. Only a hint; it changes no result.
    virtual void prepareCapture(const AXElement& window, PixelSize size) {
        (void)window;
        (void)size;
    }

    // --- what the display keeps for the next Tarvela ---
    // A text left where the next Tarvela on the same display finds it (X11: a
    // root window property): it outlives the process, a crash included, and
    // anyone on the display may change it. Set whole in one step; empty
    // removes it. Reading gives at most a little more than `maxBytes` (a
    // longer text is cut there, so the reader can tell it was too long), none
    // when there is none.
    virtual std::optional<std::string> restartRecord(size_t maxBytes) {
        (void)maxBytes;
        return std::nullopt;
    }
    virtual void setRestartRecord(const std::string& text) { (void)text; }
};

}  // namespace tarvela

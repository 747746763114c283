// Tarvela's platform on an X11 display. To place windows freely and own the
// stacking order, Tarvela is the display's window manager: a small,
// undecorated stacking one (each client in a frame that clips it to its display) that holds WM_S0, honours the
// ICCCM size hints and the usual EWMH requests, and keeps the EWMH root
// properties current. The logic arranges windows on top of it through the
// Platform operations; the shell's panels learn what they need of the desktop
// through ShellDesktop. Tarvela's own ordinary windows (settings, onboarding)
// float centred on the display in use and never join a strip.
//
// Threading: construct, call and destroy on the main thread, whose RunLoop
// watches the X connection; setAttribute("AXPosition") may come from any
// thread and never waits for the X server.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/runloop.h"
#include "core/shell_desktop.h"
#include "core/title_bar.h"

namespace tarvela {

namespace x11 {
class Connection;
}

struct X11Options {
    std::string display;          // empty: $DISPLAY
    bool replace = false;         // ask a running window manager to hand over (ICCCM)
    double replaceTimeout = 5.0;  // seconds to wait for the old one to let go
    // Posted to the loop once the connection to the X server is gone (the
    // server quit or crashed): nothing works after that, so the owner should end.
    std::function<void()> connectionLost;
    // How long a client asked to close by its title bar has to answer a
    // _NET_WM_PING before the user is offered to kill it.
    double pingTimeout = 3.0;
};

// A window that was asked to close and does not answer: the user decides.
// `answer(true)` kills its client; the answer may come later, or never.
using UnresponsiveHandler =
    std::function<void(uint32_t window, const std::string& title, std::function<void(bool kill)> answer)>;

class X11Platform final : public Platform, public ShellDesktop {
public:
    // Opens the display (std::runtime_error when it cannot), watches it on
    // `loop`, and becomes the window manager unless another one holds WM_S0
    // (then isProcessTrusted() is false until tryAcquire() succeeds).
    explicit X11Platform(RunLoop& loop, X11Options options = {});
    ~X11Platform() override;
    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

    // Takes WM_S0 if nobody holds it (never steals) and starts managing the
    // windows already on screen. Returns isProcessTrusted(). The permission
    // poll calls it.
    bool tryAcquire();
    // Asks the window manager holding the display to hand it over, as
    // --replace does at start; true once Tarvela holds it.
    bool takeOver() override;

    // Handles every event the connection has queued. The descriptor watch
    // calls it; so may anyone who wants events handled now.
    void dispatchEvents();
    // Barrier: returns once every event the server generated before the call
    // has been handled (a property change on our own window, waited for).
    // False when the connection is gone.
    bool sync();

    // Lets go of every window the logic arranged (the manager went off): each
    // one's own ConfigureRequests are honoured again and nothing is clipped.
    void releaseAllArranged();

    // Puts a text (UTF8_STRING) property on the root window, where programs of
    // the session look for what Tarvela offers them; empty removes it.
    void publishOnRoot(const std::string& property, const std::string& text);

    // Runs fn as the answer to user input made at `time` (a shortcut's key
    // press): the focus changes it makes carry that time, as ICCCM asks.
    void answerInput(uint32_t time, const std::function<void()>& fn);

    // What breaks the invariants between Tarvela's records and the server
    // (frames, geometry sent, the EWMH lists, the stacking, arranged windows'
    // displays), one line each; empty when they hold. For tests: call it when
    // no event is waiting (after sync()).
    std::vector<std::string> checkInvariants();

    // Title bars of floating windows: who paints them (null: a plain fill),
    // and painting them all again when the appearance changed.
    void setTitleBarPainter(std::shared_ptr<TitleBarPainter> painter);
    void repaintTitleBars();
    // The drop marker's colour, 0xRRGGBB.
    void setDropMarkerColour(uint32_t rgb);
    // The drop marker's window, none before it is first shown; for tests.
    uint32_t dropMarkerWindow() const;
    // Who decides about a window that does not answer its close (none: it is left alone).
    void onUnresponsiveClose(UnresponsiveHandler handler);

    std::string displayName() const;
    // The connection, for input sources that live beside the window manager
    // (they register event filters on it); see x11_connection.h.
    x11::Connection& connection();
    // X requests sent by position writes so far (two per write), for benchmarks.
    uint64_t positionRequests() const;

    // Platform
    std::optional<AttrValue> copyAttribute(const AXElement& el, std::string_view name) override;
    bool setAttribute(const AXElement& el, std::string_view name, const AttrValue& value) override;
    bool performAction(const AXElement& el, std::string_view action) override;
    std::optional<int32_t> pidOf(const AXElement& el) override;
    std::optional<uint32_t> windowNumber(const AXElement& el) override;
    bool isProcessTrusted() override;
    // The permission poll: becomes the window manager as soon as the display has none.
    bool requestTrust() override { return tryAcquire(); }
    // An arranged window is clipped to its display and keeps its geometry
    // against its own ConfigureRequests; without a display it floats freely.
    void assignDisplay(const AXElement& window, std::optional<uint64_t> screenId) override;
    void floatedBefore(const AXElement& window) override;
    std::unique_ptr<AXObserver> createObserver(int32_t pid, AXCallback callback) override;
    std::vector<RunningApp> runningApplications() override;
    std::optional<RunningApp> runningApplication(int32_t pid) override;
    std::optional<RunningApp> frontmostApplication() override;
    bool activate(int32_t pid) override;
    int32_t ownPid() override;
    bool launchApplication(const std::string& bundleIdentifier, const std::string& startupId = {}) override;
    bool isApplicationInstalled(const std::string& bundleIdentifier) override;
    std::vector<Screen> screens() override;
    SubscriptionRef addWorkspaceObserver(WorkspaceEvent event, WorkspaceHandler handler) override;
    SubscriptionRef addMouseUpMonitor(std::function<void()> handler) override;
    // Moves by hand (Alt+drag, _NET_WM_MOVERESIZE) are reported; resizes are not.
    SubscriptionRef addDragMonitor(std::function<void(const AXElement&, bool)> handler) override;
    void showDropMarker(std::optional<Rect> r) override;
    SubscriptionRef addActivationMonitor(ActivationHandler handler) override;
    SubscriptionRef addLaunchMonitor(std::function<void(const std::string&)> handler) override;
    ImageRef capture(const AXElement& window, std::optional<PixelSize> size) override;
    void prepareCapture(const AXElement& window, PixelSize size) override;
    void publishDesktops(const DesktopSet& set) override;
    void setWindowDesktop(const AXElement& window, int desktop) override;
    SubscriptionRef addDesktopMonitor(DesktopHandler handler) override;
    // _TARVELA_ARRANGEMENT on the root, UTF8_STRING.
    std::optional<std::string> restartRecord(size_t maxBytes) override;
    void setRestartRecord(const std::string& text) override;

    // ShellDesktop. A compositor is one that owns _NET_WM_CM_S<screen>, a
    // system tray one that owns _NET_SYSTEM_TRAY_S<screen>.
    bool compositing() override;
    void onCompositingChanged(std::function<void(bool)> handler) override;
    bool systemTray() override;
    void onSystemTrayChanged(std::function<void(bool)> handler) override;
    void watchPointer(std::function<void(Point)> moved) override;
    void unwatchPointer() override;
    void setOwnWindowsInTaskbar(bool shown) override;
    bool stackBelow(uint64_t panel, uint32_t window) override;

    struct Impl;

private:
    std::unique_ptr<Impl> d_;
};

}  // namespace tarvela

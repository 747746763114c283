// The inside of X11Platform. Parts that own their state and are reached
// through their own interface, each stating its own invariants:
// - x11::Connection: the connection, atoms and event filters;
// - x11::WmOwner: WM_S0 and the hand-over;
// - x11::Displays: monitors, docks and their struts;
// - x11::Notifications: what the logic subscribed to;
// - x11::Pictures: window pictures;
// - x11::OwnWindow: barriers, timestamps, the panels' floor;
// - x11::ClientTable: the managed clients and their stacking;
// - x11::FrameWriter: where each client is and the diffed writes of its
//   frame, the one part other threads reach;
// - x11::Focus: the keyboard focus, the active process, the ICCCM input
//   models, one focus change per turn;
// - x11::PointerInput: click grabs, the keyboard held through a drag,
//   mouse-up, the pointer watch.
//
// What stays here ties them together: the operations that reach several
// parts at once (managing a window reads its properties, places it, frames
// it, records it, stacks and focuses it), the event table and the turn's
// coalesced requests, in files of one concern each: becoming and ceasing to
// be the window manager (wm_selection.cpp), the event table and its handlers
// (wm_events.cpp), client records (clients.cpp), EWMH root properties
// (ewmh_root.cpp), the access operations (access.cpp), applications
// (apps.cpp), what the shell asks of the desktop (shell_desktop.cpp) and the
// invariant check (invariants.cpp).
//
// Invariants:
// - clients_ holds exactly the windows we manage; every one of them has a
//   record in frames_ and a frame of ours it is reparented into, and nothing
//   else has either. Reads of a window not in clients_ fail.
// - Docks (displays_) are never in clients_.
// - focus_ names a client of clients_ or None: unmanage forgets a client there.
// - userTimeWindows_ leads only to clients of clients_: unmanage forgets them.
// - Other threads reach frames_ alone (its own invariants: frame_writer.h).
#pragma once

#include <xcb/xcb.h>

#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "core/lifetime.h"
#include "platform/x11/client_table.h"
#include "platform/x11/desktop_entries.h"
#include "platform/x11/displays.h"
#include "platform/x11/drop_marker.h"
#include "platform/x11/focus.h"
#include "platform/x11/frame_writer.h"
#include "platform/x11/frames.h"
#include "platform/x11/monitors.h"
#include "platform/x11/notifications.h"
#include "platform/x11/own_window.h"
#include "platform/x11/pointer_move.h"
#include "platform/x11/pictures.h"
#include "platform/x11/pointer_input.h"
#include "platform/x11/size_hints.h"
#include "platform/x11/startup_info.h"
#include "platform/x11/title_bars.h"
#include "platform/x11/wm_owner.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_platform.h"

namespace tarvela {

struct X11Platform::Impl {
    using Handler = void (Impl::*)(xcb_generic_event_t*);

    Impl(RunLoop& loop, X11Options options);
    ~Impl();

    RunLoop& loop;
    X11Options opts;
    x11::Connection conn;
    const x11::Atoms& a;
    RunLoop::WatchId watch = 0;
    bool drainPosted = false;
    std::atomic<bool> workerDrainPosted{false};
    bool inDispatch = false;
    bool lastTurnFull_ = false;  // the last dispatch stopped at its bound
    // Work posted to the run loop checks this before touching the Impl.
    Lifetime life;

    // Extensions.
    int randrEventBase = -1;
    int xinputOpcode = -1;
    bool xi2 = false;
    bool composite = false;
    bool shape = false;
    int shapeEventBase = -1;
    int xfixesEventBase = -1;

    // Barriers, timestamps, the focus of clients that take none, the panels' floor.
    x11::OwnWindow own_{conn};
    x11::WmOwner wmOwner_{conn, own_};  // held exactly while we are the window manager

    // The managed clients and their stacking.
    x11::ClientTable clients_;
    // Who holds the keyboard focus, the active process, and how a client is given it.
    x11::Focus focus_{conn, own_, loop};

    // Where each client is and what its frame shows; the one part other threads reach.
    x11::FrameWriter frames_{conn};

    std::optional<x11::PointerMove> move_;
    // Where the window moved by hand would drop, as the logic works it out.
    x11::DropMarker marker_{conn, own_};

    x11::Displays displays_{conn};
    // Click grabs, the keyboard held through a drag, mouse-up twins, the pointer watch.
    x11::PointerInput pointer_{conn, loop, displays_};

    x11::DesktopIndex desktop_;
    double desktopLoadedAt_ = -1;
    std::map<int32_t, ImageRef> icons_;

    x11::Pictures pictures_{conn};

    // Title bars of floating windows, and what their buttons started.
    x11::TitleBars bars_{conn};
    struct BarClick {
        xcb_window_t win = XCB_NONE;
        titlebar::Part part = titlebar::Part::none;
    };
    std::optional<BarClick> barClick_;  // a close or minimise button pressed, not yet released
    // Windows asked to close by their bar's button, until they go or answer the ping.
    struct Closing {
        bool pinged = false;
        std::optional<RunLoop::TimerId> timer;
    };
    std::map<xcb_window_t, Closing> closing_;
    UnresponsiveHandler unresponsive_;

    // Requests of one turn where only the latest counts (wm_events.cpp); each
    // holds at most one entry per window that sent something this turn.
    struct ConfigureAsk {
        uint16_t mask = 0;
        int16_t x = 0, y = 0;
        uint16_t width = 0, height = 0, border = 0;
        xcb_window_t sibling = XCB_NONE;
        uint8_t stackMode = 0;
    };
    struct Coalesced {
        std::map<xcb_window_t, ConfigureAsk> configure;
        std::map<xcb_window_t, bool> fullscreen;  // the state asked for last
        struct Activate {
            xcb_window_t window = XCB_NONE;
            xcb_timestamp_t time = XCB_CURRENT_TIME;
            bool pager = false;  // source indication 2: a pager or taskbar, for the user
        };
        std::optional<Activate> activate;
    } coalesced_;

    // Windows that carry a client's _NET_WM_USER_TIME for it, to the client.
    std::map<xcb_window_t, xcb_window_t> userTimeWindows_;
    // X timestamps wrap every 49.7 days; the logic compares times as one
    // count that does not. The latest time seen, unwrapped; -1 before any.
    int64_t serverTime_ = -1;

    x11::Notifications notifications_{loop};
    // Launch announcements on the root, joined from their pieces.
    x11::StartupAssembler startup_;
    void onStartupInfo(const xcb_client_message_event_t& ev);
    // The launch c came from: its _NET_STARTUP_ID, its group leader's, or the
    // DESKTOP_STARTUP_ID its process started with (clients that know no
    // startup notification of their own, xterm).
    std::optional<std::string> startupId(const x11::Client& c);
    std::array<Handler, 128> handlers{};

    // What the shell asked for (shell_desktop.cpp).
    xcb_atom_t cmSelection_ = XCB_NONE;  // _NET_WM_CM_S<screen>: owned while a compositor runs
    bool compositing_ = false;
    std::function<void(bool)> compositingHandler_;
    xcb_atom_t traySelection_ = XCB_NONE;  // _NET_SYSTEM_TRAY_S<screen>: owned while a tray runs
    bool tray_ = false;
    std::function<void(bool)> trayHandler_;
    bool ownInTaskbar_ = true;

    // --- x11_platform.cpp ---
    void queryExtensions();
    void selectRootEvents();
    void postDrain();

    // --- wm_selection.cpp ---
    bool acquire(bool replace);
    bool tryAcquire();
    // Lets go of every window and of WM_S0, leaving windows where they are.
    void releaseWm();
    bool sync();

    // --- wm_events.cpp ---
    void buildHandlerTable();
    void dispatchEvents();
    void handle(xcb_generic_event_t* e);
    void onError(xcb_generic_event_t* e);
    void onMapRequest(xcb_generic_event_t* e);
    void onConfigureRequest(xcb_generic_event_t* e);
    void applyConfigure(xcb_window_t w, const ConfigureAsk& ask);
    void applyCoalesced();
    void onConfigureNotify(xcb_generic_event_t* e);
    void onUnmapNotify(xcb_generic_event_t* e);
    void onDestroyNotify(xcb_generic_event_t* e);
    void onClientMessage(xcb_generic_event_t* e);
    void onPropertyNotify(xcb_generic_event_t* e);
    void onButtonPress(xcb_generic_event_t* e);
    void onMotionNotify(xcb_generic_event_t* e);
    void onButtonRelease(xcb_generic_event_t* e);
    void onFocusIn(xcb_generic_event_t* e);
    void onShapeNotify(xcb_generic_event_t* e);
    void onSelectionClear(xcb_generic_event_t* e);
    void onRandr(xcb_generic_event_t* e);
    void onGeneric(xcb_generic_event_t* e);
    void mouseUp(xcb_timestamp_t time, bool raw);

    // --- clients.cpp ---
    std::vector<x11::WindowProps> readProps(const std::vector<xcb_window_t>& wins);
    void refreshProp(x11::Client& c, xcb_atom_t atom);
    void manage(xcb_window_t w, x11::WindowProps props, bool adopting);
    // Where a new window opens (placement policy): Tarvela's own and any that
    // ask for no place on the display the user works on, dialogs and tools
    // by their parent or group (placeFloating), the rest where they ask.
    Rect openingPlace(const x11::Client& c);
    // Wraps c in a frame of ours and starts its records (clients_, frames_).
    void frameClient(x11::Client& c, bool wasViewable, bool adopting);
    // Windows found at start whose redirection (their own pixmap, for
    // pictures) waits until they are back in place: allocating those pixmaps
    // is most of the server's work in a restart.
    std::vector<xcb_window_t> redirectLater_;
    void redirectPending();
    void unmanage(xcb_window_t w, bool withdrawn);
    void adoptExisting();
    void adoptFocus();
    void iconify(xcb_window_t w);
    void deiconify(xcb_window_t w);
    void setFullscreen(xcb_window_t w, bool on);
    void focusClient(xcb_window_t w, xcb_timestamp_t time);
    void noteFocus(xcb_window_t w);
    void focusFallback();
    // A 32-bit server time as a count that does not wrap, taken as the one
    // nearest the latest seen; 0 stays 0 (a new window asking not to be focused).
    int64_t unwrapTime(xcb_timestamp_t t);
    // Reads and follows c's _NET_WM_USER_TIME_WINDOW (manage).
    void watchUserTimeWindow(xcb_window_t w);
    void noteUserTime(xcb_window_t w, xcb_timestamp_t t, bool input);
    // Tells the logic when the urgency hint or the attention state, together, changed.
    void noteAttention(xcb_window_t w);
    void setAttentionState(xcb_window_t w, bool on);
    void raise(xcb_window_t w);
    // A group's tool windows: utilities, toolbars and transients for the
    // whole group. They float above the group's other windows.
    bool groupTool(const x11::Client& c) const;
    // The windows that go up with w, bottom to top: w and its transients, and
    // its group's tool windows above them (below w when w is one of them).
    std::vector<xcb_window_t> raisedWith(xcb_window_t w);
    // Where a dialog, transient or tool window opens (manage).
    void placeFloating(const x11::Client& c, Rect& geom);
    void activateWindow(xcb_window_t w, xcb_timestamp_t time);
    void closeWindow(xcb_window_t w);
    void startMove(xcb_window_t w, int rootX, int rootY, bool grabPointer, int resizeX = 0, int resizeY = 0,
                   uint8_t button = 1);
    void endMove();
    x11::Client* client(xcb_window_t w);
    std::optional<Rect> geometry(xcb_window_t w);
    bool writePosition(xcb_window_t w, Point p);
    void flushAndDrain();
    bool writeSize(xcb_window_t w, Size s);
    void resizeTo(xcb_window_t w, Rect r, int edgeX, int edgeY);
    bool isArranged(xcb_window_t w);
    void moveResizeFloating(xcb_window_t w, std::optional<int> x, std::optional<int> y, std::optional<int> width,
                            std::optional<int> height);
    void assignDisplay(xcb_window_t w, std::optional<uint64_t> screenId);
    // The monitor (root coordinates) that shows w: its strip's, else the one under its middle.
    std::optional<Rect> displayOf(xcb_window_t w);
    // The monitor the user works on (root coordinates): the focused window's
    // display, else the pointer's. w, being placed, does not count as focused.
    std::optional<Rect> currentMonitor(xcb_window_t w);
    void manageDock(xcb_window_t w, const x11::WindowProps& props);
    void followShape(xcb_window_t w, Size size);

    // --- title_bar_input.cpp ---
    // Whether c may have a bar of ours: it draws no frame of its own and is
    // a kind of window that has one.
    bool wantsBar(const x11::Client& c, const x11::Geo& g) const;
    bool minimisable(const x11::Client& c) const;
    // Neither its Motif hints nor its size hints hold it to one size.
    bool resizable(const x11::Client& c) const;
    // _NET_WM_ALLOWED_ACTIONS as c's state says now, written when it changed.
    void writeAllowedActions(x11::Client& c, const x11::Geo& g);
    // w's bar as its state says now: shown or hidden, painted, and
    // _NET_FRAME_EXTENTS telling the truth. Main thread.
    void syncBar(xcb_window_t w);
    // Moves w so that its frame, with the bar it has, lies on its monitor.
    void keepFrameOnDisplay(xcb_window_t w);
    void forgetBar(xcb_window_t w);
    // Presses and releases on bars and their frames' edges; false: not one of ours.
    bool barPress(const xcb_button_press_event_t* ev);
    bool barRelease(const xcb_button_release_event_t* ev);
    // _NET_WM_PING answers and _NET_REQUEST_FRAME_EXTENTS; false: neither.
    bool barMessage(const xcb_client_message_event_t* ev);
    // The bar's close button: WM_DELETE_WINDOW and a ping; a client that
    // does not answer in time is offered to the user to kill.
    void closeFromBar(xcb_window_t w, xcb_timestamp_t time);
    void pingTimedOut(xcb_window_t w);
    void offerKill(xcb_window_t w);

    // --- shell_desktop.cpp ---
    // The compositor's and the tray's selections: who owns them, and when that changes.
    void watchDesktopServices();
    bool watchOwner(xcb_atom_t selection);
    void onSelectionNotify(xcb_generic_event_t* e);
    void setRuns(bool& runs, std::function<void(bool)> Impl::*handler, bool on);
    void setOwnWindowsInTaskbar(bool shown);
    bool stackBelow(uint64_t panel, uint32_t window);
    // A window of Tarvela's own process: it floats, centred, and never joins a strip.
    bool isOwn(const x11::Client& c) const;
    // What _NET_WM_STATE says: the client's wish, or Tarvela hiding its own windows.
    bool skipsTaskbar(const x11::Client& c) const { return c.skipTaskbar || (isOwn(c) && !ownInTaskbar_); }
    bool skipsPager(const x11::Client& c) const { return c.skipPager || (isOwn(c) && !ownInTaskbar_); }

    // --- ewmh_root.cpp ---
    void publishRootProps();
    void deleteRootProps();
    void updateClientLists();
    void updateActiveWindow();
    void updateWorkarea();
    void writeNetState(const x11::Client& c);
    void writeWmState(xcb_window_t w, uint32_t state);

    const std::vector<Screen>& screens() { return displays_.screens(); }

    // --- desktops.cpp ---
    DesktopSet desktops_{1, 0, {"1"}};
    std::vector<std::string> publishedNames_;  // as last written to _NET_DESKTOP_NAMES
    void publishDesktops(const DesktopSet& set);
    void writeDesktopProps();
    void setWindowDesktop(xcb_window_t w, int desktop);
    bool shownOnDesktop(const x11::Client& c) const;
    // Where a window that appears goes: Tarvela's own on every desktop, a
    // dialog with its parent, else the desktop it asks for, else the one shown.
    int openingDesktop(const x11::Client& c);
    std::optional<int> askedDesktop(const x11::Client& c);
    // Maps or unmaps c's frame by whether its desktop is shown.
    void showByDesktop(x11::Client& c);
    // A pager's or client's request: to whoever arranges desktops, else done here.
    void requestDesktop(const DesktopRequest& req);
    // True when the message was about desktops alone.
    bool onDesktopMessage(const xcb_client_message_event_t& ev);
    void desktopNamesChanged();

    // --- access.cpp ---
    std::optional<AttrValue> copyAttribute(const AXElement& el, std::string_view name);
    bool setAttribute(const AXElement& el, std::string_view name, const AttrValue& value);
    bool performAction(const AXElement& el, std::string_view action);
    std::string subrole(const x11::Client& c) const;
    std::vector<AXElement> windowsOf(int32_t pid) const;
    std::optional<xcb_window_t> focusedWindowOf(int32_t pid) const;

    // --- apps.cpp ---
    int32_t resolvePid(xcb_window_t w, int32_t netWmPid);
    std::optional<RunningApp> appInfo(int32_t pid);
    std::vector<RunningApp> runningApplications();
    std::optional<RunningApp> frontmost();
    bool activate(int32_t pid);
    const x11::DesktopIndex& desktop();
    ImageRef iconOf(int32_t pid);



    // --- invariants.cpp ---
    std::vector<std::string> checkInvariants();

    // Tells the logic of a display change it can see, once.
    void announceScreens() {
        if (displays_.takeAnnouncement()) notifications_.postWorkspace(WorkspaceEvent::ScreenParametersDidChange, std::nullopt);
    }
};

}  // namespace tarvela

// One xcb connection shared by the main thread and the animation's workers
// (xcb is thread-safe for sending), the atoms Tarvela uses, small RAII wrappers
// for replies, and the queue of events that arrive while a caller waits for a
// particular one. Nothing here knows about window management.
#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace tarvela::x11 {

// Every atom interned at start-up, in one pipelined batch.
#define TARVELA_X11_ATOMS(X)                                                                            \
    X(WM_S0) X(MANAGER) X(WM_STATE) X(WM_CHANGE_STATE) X(WM_PROTOCOLS) X(WM_DELETE_WINDOW)              \
    X(WM_TAKE_FOCUS) X(WM_CLASS) X(WM_NAME) X(WM_HINTS) X(WM_NORMAL_HINTS) X(WM_TRANSIENT_FOR)          \
    X(UTF8_STRING) X(RESOURCE_MANAGER) X(_GTK_APPLICATION_ID) X(_TARVELA_BARRIER)                       \
    X(_NET_SUPPORTED) X(_NET_SUPPORTING_WM_CHECK) X(_NET_CLIENT_LIST) X(_NET_CLIENT_LIST_STACKING)      \
    X(_NET_ACTIVE_WINDOW) X(_NET_WORKAREA) X(_NET_NUMBER_OF_DESKTOPS) X(_NET_CURRENT_DESKTOP)           \
    X(_NET_DESKTOP_VIEWPORT) X(_NET_DESKTOP_GEOMETRY) X(_NET_CLOSE_WINDOW) X(_NET_WM_MOVERESIZE) X(_NET_MOVERESIZE_WINDOW)        \
    X(_NET_WM_NAME) X(_NET_WM_PID) X(_NET_WM_ICON) X(_NET_WM_DESKTOP) X(_NET_FRAME_EXTENTS)             \
    X(_NET_WM_STATE) X(_NET_WM_STATE_FULLSCREEN) X(_NET_WM_STATE_HIDDEN) X(_NET_WM_STATE_SKIP_TASKBAR)  \
    X(_NET_WM_STATE_SKIP_PAGER) X(_NET_WM_STATE_DEMANDS_ATTENTION) X(_NET_WM_USER_TIME)                  \
    X(_NET_WM_USER_TIME_WINDOW) X(_NET_DESKTOP_NAMES) X(_NET_WM_STATE_STICKY)                           \
    X(_NET_WM_STRUT) X(_NET_WM_STRUT_PARTIAL) X(_NET_WM_WINDOW_TYPE) X(_NET_WM_WINDOW_TYPE_NORMAL)      \
    X(_NET_WM_WINDOW_TYPE_DIALOG) X(_NET_WM_WINDOW_TYPE_UTILITY) X(_NET_WM_WINDOW_TYPE_SPLASH)          \
    X(_NET_WM_WINDOW_TYPE_TOOLBAR) X(_NET_WM_WINDOW_TYPE_MENU) X(_NET_WM_WINDOW_TYPE_DOCK)              \
    X(_NET_WM_WINDOW_TYPE_DESKTOP) X(_NET_WM_WINDOW_TYPE_NOTIFICATION)                                  \
    X(_NET_WM_WINDOW_TYPE_DROPDOWN_MENU) X(_NET_WM_WINDOW_TYPE_POPUP_MENU)                              \
    X(_NET_WM_WINDOW_TYPE_TOOLTIP) X(_NET_WM_WINDOW_TYPE_COMBO) X(_NET_WM_WINDOW_TYPE_DND)              \
    X(_NET_WM_PING) X(_MOTIF_WM_HINTS) X(_GTK_FRAME_EXTENTS) X(_NET_REQUEST_FRAME_EXTENTS) \
    X(_NET_STARTUP_ID) X(_NET_STARTUP_INFO_BEGIN) X(_NET_STARTUP_INFO) X(EDID)                         \
    X(_NET_WM_ALLOWED_ACTIONS) X(_NET_WM_ACTION_MOVE) X(_NET_WM_ACTION_RESIZE) X(_NET_WM_ACTION_MINIMIZE) \
    X(_NET_WM_ACTION_FULLSCREEN) X(_NET_WM_ACTION_CHANGE_DESKTOP) X(_NET_WM_ACTION_CLOSE) X(_NET_WM_ACTION_STICK) \
    X(_TARVELA_ARRANGEMENT)

struct Atoms {
#define TARVELA_X11_ATOM_FIELD(name) xcb_atom_t name = XCB_ATOM_NONE;
    TARVELA_X11_ATOMS(TARVELA_X11_ATOM_FIELD)
#undef TARVELA_X11_ATOM_FIELD
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;
using EventPtr = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

// A property's raw value.
struct Property {
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 0;
    std::vector<uint8_t> data;
    bool present() const { return type != XCB_ATOM_NONE; }
    std::vector<uint32_t> cardinals() const;  // format 32
    std::string text() const;                  // format 8, up to the first NUL
};

class Connection {
public:
    // Throws std::runtime_error when the display cannot be opened.
    explicit Connection(const std::string& display);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    xcb_connection_t* raw() const { return c_; }
    xcb_window_t root() const { return screen_->root; }
    xcb_screen_t* screen() const { return screen_; }
    int screenNumber() const { return screenNumber_; }
    int fd() const { return xcb_get_file_descriptor(c_); }
    const Atoms& atoms() const { return atoms_; }
    std::string displayName() const { return display_; }
    bool broken() const { return xcb_connection_has_error(c_) != 0; }

    // Waits for a reply; errors (a vanished window, mostly) give null.
    template <class Fn, class Cookie>
    auto get(Fn fn, Cookie cookie) {
        using R = std::remove_pointer_t<std::invoke_result_t<Fn, xcb_connection_t*, Cookie, xcb_generic_error_t**>>;
        xcb_generic_error_t* err = nullptr;
        Reply<R> r(fn(c_, cookie, &err));
        std::free(err);
        noteWaited();
        return r;
    }
    // Waits for a checked request; true when it succeeded. The error code goes to *code.
    bool check(xcb_void_cookie_t cookie, uint8_t* code = nullptr);

    xcb_get_property_cookie_t requestProperty(xcb_window_t w, xcb_atom_t prop, uint32_t maxLongs = 4096);
    Property takeProperty(xcb_get_property_cookie_t cookie);
    Property property(xcb_window_t w, xcb_atom_t prop, uint32_t maxLongs = 4096) {
        return takeProperty(requestProperty(w, prop, maxLongs));
    }
    void setCardinals(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, const std::vector<uint32_t>& values);
    void setText(xcb_window_t w, xcb_atom_t prop, const std::string& text);  // UTF8_STRING
    // ICCCM 4.2.8: a WM_PROTOCOLS message, sent to the client alone.
    void sendProtocol(xcb_window_t w, xcb_atom_t protocol, xcb_timestamp_t time);
    xcb_atom_t internAtom(const std::string& name);

    // XInput 2 event types selected on the root for all master devices. A
    // selection replaces the whole mask, and the window manager and the input
    // sources share this connection's: each adds or removes only its own
    // types. False when the server refused.
    bool changeRootXiEvents(const std::vector<int>& add, const std::vector<int>& remove);
    std::string atomName(xcb_atom_t atom);

    // The next event: first the ones set aside by waitForEvent, then xcb's.
    EventPtr nextEvent();
    // Events set aside by waitForEvent, not yet taken by nextEvent().
    size_t stashed() const { return stash_.size(); }
    // Reads events until one satisfies pred or the deadline (seconds) passes;
    // the others are kept, in order, for nextEvent(). Null on timeout.
    EventPtr waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& pred, double seconds);

    // Called after every reply wait on the main thread while no dispatch runs:
    // xcb may have read events into its own queue, which the descriptor watch
    // can no longer see, so someone must drain them.
    void setDrainHook(std::function<void()> hook) { drainHook_ = std::move(hook); }
    void setDispatching(bool on) { dispatching_ = on; }

    // Input sources beside the window manager (hot keys, the wheel grab,
    // gestures) share this connection: each filter sees every event before the
    // window manager's own handlers and returns true when it consumed it.
    using EventFilter = std::function<bool(xcb_generic_event_t*)>;
    uint64_t addEventFilter(EventFilter f) {
        filters_[nextFilter_] = std::move(f);
        return nextFilter_++;
    }
    void removeEventFilter(uint64_t id) { filters_.erase(id); }
    bool filter(xcb_generic_event_t* e) {
        for (auto it = filters_.begin(); it != filters_.end();) {
            auto next = std::next(it);  // a filter may remove itself
            if (it->second(e)) return true;
            it = next;
        }
        return false;
    }
    bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }

private:
    void noteWaited();
    void internAtoms();

    xcb_connection_t* c_ = nullptr;
    xcb_screen_t* screen_ = nullptr;
    int screenNumber_ = 0;
    std::string display_;
    Atoms atoms_;
    std::deque<EventPtr> stash_;
    std::function<void()> drainHook_;
    bool dispatching_ = false;
    std::thread::id mainThread_;
    std::map<uint64_t, EventFilter> filters_;
    uint64_t nextFilter_ = 1;
};

}  // namespace tarvela::x11

// WM_S0 (ICCCM 2.8): taking it with a server timestamp, with `replace` from
// the running window manager, which is asked to hand over and waited for,
// and the root's substructure redirect that goes with it. The window that
// holds the selection is also EWMH's _NET_SUPPORTING_WM_CHECK window.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>

#include "platform/x11/own_window.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class WmOwner {
public:
    WmOwner(Connection& conn, OwnWindow& own) : conn_(conn), own_(own) {}
    ~WmOwner();  // forgets what it said while waiting
    WmOwner(const WmOwner&) = delete;
    WmOwner& operator=(const WmOwner&) = delete;

    bool held() const { return owner_ != XCB_NONE; }
    xcb_window_t window() const { return owner_; }
    // Whether any client holds WM_S0 now.
    bool taken();
    // Takes WM_S0 and the redirect, announcing it (MANAGER); waits at most
    // `replaceTimeout` seconds for a replaced owner to go. False, saying why
    // once while it stays the same, when another window manager keeps either.
    bool take(bool replace, double replaceTimeout);
    // Gives the selection up: its window goes (after the root properties did).
    void letGo();
    // A SelectionClear that takes WM_S0 from us.
    bool lostBy(const xcb_selection_clear_event_t& ev) const;

private:
    void sayWaiting(const std::string& why);
    void dropOwner();

    Connection& conn_;
    OwnWindow& own_;
    xcb_window_t owner_ = XCB_NONE;
    // Unique to this owner while the log of waiting reasons refers to it.
    std::shared_ptr<const int> identity_ = std::make_shared<const int>(0);
};

}  // namespace tarvela::x11

// Our own window: input only, mapped off screen, nameless. Its property
// changes are barriers and timestamps; it holds the keyboard focus while the
// focused client takes no input. It is also the floor of Tarvela's panels:
// every frame and dock we stack goes directly below it, and the panels
// (override-redirect windows made after it, only ever raised) stay above.
#pragma once

#include <xcb/xcb.h>

#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class OwnWindow {
public:
    explicit OwnWindow(Connection& conn);  // creates and maps it
    ~OwnWindow();
    OwnWindow(const OwnWindow&) = delete;
    OwnWindow& operator=(const OwnWindow&) = delete;

    xcb_window_t id() const { return win_; }
    // A fresh server time (ICCCM 2.1): a zero-length append to a property of
    // ours and its PropertyNotify, waited for; CurrentTime when none came.
    // Everything the server sent before it is read by then.
    xcb_timestamp_t timestamp();
    // Puts w directly below it: above everything stacked before, under the panels.
    void stackBelow(xcb_window_t w);

private:
    Connection& conn_;
    xcb_window_t win_ = XCB_NONE;
};

}  // namespace tarvela::x11

// The keyboard focus: which client holds it as far as we know, the process
// that is active, the order in which clients held it, and how a client is
// given it (ICCCM 4.1.7's input models).
//
// Invariants (local to this part):
// - window() is the client the latest focus change we asked for or heard of
//   went to, or None; the owner forgets a client here before dropping it.
// - activePid() is window()'s process, and stays when the focus goes to None.
// - One focus change per run-loop turn reaches the server: the turn's
//   requests are recorded and the last one is sent once the turn's work is
//   done (send()), so a window focused and refocused within one turn (an
//   application activated, then one of its windows raised) never sees the
//   focus come and go, nor WM_TAKE_FOCUS twice.
// - A FocusIn the server generated before our latest SetInputFocus, or while
//   one is waiting to be sent, is stale: our request overrules it.
// - Every focus change carries a real time (ICCCM 2.1), never CurrentTime: a
//   globally active client would answer WM_TAKE_FOCUS with it and win over
//   every later change. One round trip per run-loop turn at most.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <optional>

#include "core/lifetime.h"
#include "core/runloop.h"
#include "platform/x11/own_window.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class Focus {
public:
    Focus(Connection& conn, OwnWindow& own, RunLoop& loop) : conn_(conn), own_(own), loop_(loop) {}
    Focus(const Focus&) = delete;
    Focus& operator=(const Focus&) = delete;

    xcb_window_t window() const { return focused_; }
    int32_t activePid() const { return activePid_; }

    // Asks the server, once this turn's work is done, to give w the focus the way its input model wants:
    // passive and locally active windows are given it, locally and globally
    // active ones are told to take it (WM_TAKE_FOCUS). A window that takes no
    // input holds none, yet the focus must not be None, or the server would
    // drop every key, our own shortcuts included: it goes to our own window,
    // which listens to no key, and root grabs keep working above it.
    void give(xcb_window_t w, bool acceptsInput, bool takeFocus, xcb_timestamp_t time);
    // The focus goes to nobody's window (PointerRoot).
    void giveToNone();
    // Sends the turn's focus change now, if one waits.
    void send();

    // The focus is on w, of process pid, now. What changed:
    struct Moved {
        uint64_t order = 0;        // w's place in the order clients held the focus
        bool otherProcess = false;  // pid became the active process
    };
    Moved note(xcb_window_t w, int32_t pid);
    // w is going: it no longer holds the focus. True when it held it.
    bool forget(xcb_window_t w);
    // Nothing is known any more (we stopped being the window manager).
    void reset();
    // A FocusIn of this full sequence number came after our latest request.
    bool current(uint32_t fullSequence) const {
        return !pending_ && static_cast<int32_t>(fullSequence - requestSeq_) >= 0;
    }

    // `time`, or the one of the input being answered, or a fresh server time.
    xcb_timestamp_t time(xcb_timestamp_t time);
    // Runs fn as the answer to input of `time`: the focus changes it makes carry it.
    void answering(xcb_timestamp_t time, const std::function<void()>& fn);

private:
    struct Request {
        xcb_window_t win = XCB_NONE;  // None: PointerRoot
        bool acceptsInput = true, takeFocus = false;
        xcb_timestamp_t time = XCB_CURRENT_TIME;
    };
    void request(const Request& r);

    Connection& conn_;
    OwnWindow& own_;
    RunLoop& loop_;
    Lifetime life_;
    xcb_window_t focused_ = XCB_NONE;
    int32_t activePid_ = 0;
    uint64_t counter_ = 0;
    uint32_t requestSeq_ = 0;  // our latest SetInputFocus (its full sequence number)
    xcb_timestamp_t answeredTime_ = XCB_CURRENT_TIME;
    std::optional<Request> pending_;  // the turn's latest request, not yet sent
};

}  // namespace tarvela::x11

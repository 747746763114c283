#include "platform/x11/focus.h"

#include <utility>

namespace tarvela::x11 {

void Focus::give(xcb_window_t w, bool acceptsInput, bool takeFocus, xcb_timestamp_t when) {
    request({w, acceptsInput, takeFocus, time(when)});
}

void Focus::giveToNone() {
    focused_ = XCB_NONE;
    request({XCB_NONE, true, false, time(XCB_CURRENT_TIME)});
}

void Focus::request(const Request& r) {
    if (!pending_) loop_.post(life_.guard([this] { send(); }));
    pending_ = r;
}

void Focus::send() {
    if (!pending_) return;
    const Request r = *std::exchange(pending_, std::nullopt);
    xcb_connection_t* c = conn_.raw();
    if (r.win == XCB_NONE) {
        requestSeq_ = xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, r.time).sequence;
    } else {
        // A globally active window alone decides where the focus goes.
        const bool globallyActive = !r.acceptsInput && r.takeFocus;
        if (!globallyActive) {
            const xcb_window_t target = r.acceptsInput ? r.win : own_.id();
            requestSeq_ = xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, target, r.time).sequence;
        }
        if (r.takeFocus) conn_.sendProtocol(r.win, conn_.atoms().WM_TAKE_FOCUS, r.time);
    }
    xcb_flush(c);
}

Focus::Moved Focus::note(xcb_window_t w, int32_t pid) {
    focused_ = w;
    Moved m{++counter_, pid != activePid_};
    activePid_ = pid;
    return m;
}

bool Focus::forget(xcb_window_t w) {
    if (pending_ && pending_->win == w) pending_.reset();
    if (focused_ != w || w == XCB_NONE) return false;
    focused_ = XCB_NONE;
    return true;
}

void Focus::reset() {
    pending_.reset();
    focused_ = XCB_NONE;
    activePid_ = 0;
}

xcb_timestamp_t Focus::time(xcb_timestamp_t when) {
    if (when != XCB_CURRENT_TIME) return when;
    if (answeredTime_ == XCB_CURRENT_TIME) {
        // One round trip per turn at most: the turn's focus changes share it.
        answeredTime_ = own_.timestamp();
        loop_.post(life_.guard([this] { answeredTime_ = XCB_CURRENT_TIME; }));
    }
    return answeredTime_;
}

void Focus::answering(xcb_timestamp_t when, const std::function<void()>& fn) {
    const xcb_timestamp_t before = std::exchange(answeredTime_, when);
    fn();
    answeredTime_ = before;
}

}  // namespace tarvela::x11

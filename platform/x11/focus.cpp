#include "platform/x11/focus.h"

#include <utility>

namespace tarvela::x11 {

void Focus::give(xcb_window_t w, bool acceptsInput, bool takeFocus, xcb_timestamp_t when) {
    // A globally active window alone decides where the focus goes.
    const bool globallyActive = !acceptsInput && takeFocus;
    when = time(when);
    if (!globallyActive) {
        const xcb_window_t target = acceptsInput ? w : own_.id();
        requestSeq_ = xcb_set_input_focus(conn_.raw(), XCB_INPUT_FOCUS_POINTER_ROOT, target, when).sequence;
    }
    if (takeFocus) conn_.sendProtocol(w, conn_.atoms().WM_TAKE_FOCUS, when);
}

void Focus::giveToNone() {
    focused_ = XCB_NONE;
    requestSeq_ = xcb_set_input_focus(conn_.raw(), XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT,
                                      time(XCB_CURRENT_TIME))
                      .sequence;
}

Focus::Moved Focus::note(xcb_window_t w, int32_t pid) {
    focused_ = w;
    Moved m{++counter_, pid != activePid_};
    activePid_ = pid;
    return m;
}

bool Focus::forget(xcb_window_t w) {
    if (focused_ != w || w == XCB_NONE) return false;
    focused_ = XCB_NONE;
    return true;
}

void Focus::reset() {
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

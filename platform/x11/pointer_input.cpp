#include "platform/x11/pointer_input.h"

#include <xcb/xinput.h>

#include <utility>

#include "core/log.h"
#include "core/window_access.h"

namespace tarvela::x11 {

void PointerInput::grabClicks(xcb_window_t w) {
    for (uint8_t button : {1, 2, 3})
        xcb_grab_button(conn_.raw(), 0, w,
                        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION,
                        XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, button, XCB_MOD_MASK_ANY);
}

void PointerInput::ungrabClicks(xcb_window_t w) {
    xcb_ungrab_button(conn_.raw(), XCB_BUTTON_INDEX_ANY, w, XCB_MOD_MASK_ANY);
}

void PointerInput::holdKeyboard(xcb_timestamp_t time) {
    xcb_grab_keyboard(conn_.raw(), 0, conn_.root(), time, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
}

void PointerInput::releaseKeyboard() { xcb_ungrab_keyboard(conn_.raw(), XCB_CURRENT_TIME); }

void PointerInput::clicked(uint8_t button) {
    // A press while another click is down: whatever that one held goes out now.
    buttonUp(clickButton_);
    if (xi2_) clickButton_ = button;
}

bool PointerInput::holdUntilRelease(std::function<void()> news) {
    if (!clickButton_) return false;
    held_.push_back(std::move(news));
    return true;
}

void PointerInput::buttonUp(uint8_t button) {
    if (!clickButton_ || button != clickButton_) return;
    clickButton_ = 0;
    for (auto& news : std::exchange(held_, {})) news();
}

void PointerInput::watch(std::function<void(Point)> moved) {
    if (!moved) return unwatch();
    const bool was = static_cast<bool>(watcher_);
    watcher_ = std::move(moved);
    reported_.reset();
    if (!was && xi2_ && !conn_.changeRootXiEvents({XCB_INPUT_RAW_MOTION}, {}))
        log("the X server refused raw pointer motion; panels will not follow the pointer");
}

void PointerInput::unwatch() {
    if (!watcher_) return;
    watcher_ = nullptr;
    reported_.reset();
    // Raw motion arrives at every move of the mouse: nobody watching, nothing selected.
    if (xi2_) conn_.changeRootXiEvents({}, {XCB_INPUT_RAW_MOTION});
}

void PointerInput::moved() {
    if (!watcher_ || reportPosted_) return;
    reportPosted_ = true;
    // Raw events carry no position: one query, once the events queued now are handled.
    loop_.post(life_.guard([this] {
        reportPosted_ = false;
        report();
    }));
}

void PointerInput::report() {
    if (!watcher_) return;
    auto ptr = conn_.get(xcb_query_pointer_reply, xcb_query_pointer(conn_.raw(), conn_.root()));
    if (!ptr || !ptr->same_screen || !watcher_) return;
    const Point p = axRect(displays_.screens(), Rect(ptr->root_x, ptr->root_y, 0, 0)).origin();
    if (reported_ == p) return;
    reported_ = p;
    auto tell = watcher_;
    tell(p);
}

}  // namespace tarvela::x11

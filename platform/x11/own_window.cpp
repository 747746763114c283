#include "platform/x11/own_window.h"

namespace tarvela::x11 {

OwnWindow::OwnWindow(Connection& conn) : conn_(conn), win_(xcb_generate_id(conn.raw())) {
    const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(conn.raw(), XCB_COPY_FROM_PARENT, win_, conn.root(), -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(conn.raw(), win_);
}

OwnWindow::~OwnWindow() {
    xcb_destroy_window(conn_.raw(), win_);
    xcb_flush(conn_.raw());
}

xcb_timestamp_t OwnWindow::timestamp() {
    const xcb_atom_t barrier = conn_.atoms()._TARVELA_BARRIER;
    xcb_change_property(conn_.raw(), XCB_PROP_MODE_APPEND, win_, barrier, XCB_ATOM_CARDINAL, 32, 0, nullptr);
    auto e = conn_.waitForEvent(
        [&](const xcb_generic_event_t* ev) {
            if ((ev->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
            auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(ev);
            return p->window == win_ && p->atom == barrier;
        },
        5.0);
    if (!e) return XCB_CURRENT_TIME;
    return reinterpret_cast<xcb_property_notify_event_t*>(e.get())->time;
}

// Each window stacked here lands above the ones stacked before it. The panels
// raise themselves to the very top; nothing of ours ever goes above them.
void OwnWindow::stackBelow(xcb_window_t w) {
    const uint32_t values[] = {win_, XCB_STACK_MODE_BELOW};
    xcb_configure_window(conn_.raw(), w, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, values);
}

}  // namespace tarvela::x11

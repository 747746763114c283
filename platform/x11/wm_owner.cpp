#include "platform/x11/wm_owner.h"

#include <map>

#include "core/log.h"

namespace tarvela::x11 {

namespace {
constexpr uint32_t kWmRootMask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY |
                                 XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;

// Why each platform last said it waits for WM_S0. The permission poll retries
// every 1.5 s; the reason is logged once, and again only when it changes or
// after the selection was ours in between. Keyed by an identity unique to
// each owner and not reused while a weak handle to it is kept here, so a new
// platform starts with nothing said.
std::map<std::weak_ptr<const void>, std::string, std::owner_less<>> waitingSaid;

void sayWaiting(const std::weak_ptr<const void>& who, const std::string& why) {
    std::erase_if(waitingSaid, [](const auto& e) { return e.first.expired(); });
    std::string& said = waitingSaid[who];
    if (said == why) return;
    said = why;
    log(why);
}
}  // namespace

WmOwner::~WmOwner() { waitingSaid.erase(identity_); }

void WmOwner::sayWaiting(const std::string& why) { x11::sayWaiting(identity_, why); }

bool WmOwner::taken() {
    auto r = conn_.get(xcb_get_selection_owner_reply, xcb_get_selection_owner(conn_.raw(), conn_.atoms().WM_S0));
    return !r || r->owner != XCB_NONE;
}

bool WmOwner::take(bool replace, double replaceTimeout) {
    xcb_connection_t* c = conn_.raw();
    const Atoms& a = conn_.atoms();
    auto ownerReply = conn_.get(xcb_get_selection_owner_reply, xcb_get_selection_owner(c, a.WM_S0));
    xcb_window_t previous = ownerReply ? ownerReply->owner : XCB_NONE;
    if (previous != XCB_NONE && !replace) {
        sayWaiting("another window manager holds WM_S0; waiting for it to quit");
        return false;
    }

    owner_ = xcb_generate_id(c);
    const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner_, conn_.root(), -100, -100, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    if (previous != XCB_NONE) {
        const uint32_t watchMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        // Fails only when the old owner is already gone, which is fine.
        conn_.check(xcb_change_window_attributes_checked(c, previous, XCB_CW_EVENT_MASK, &watchMask));
    }
    const xcb_timestamp_t time = own_.timestamp();
    xcb_set_selection_owner(c, owner_, a.WM_S0, time);
    auto check = conn_.get(xcb_get_selection_owner_reply, xcb_get_selection_owner(c, a.WM_S0));
    if (!check || check->owner != owner_) {
        dropOwner();
        return false;
    }

    if (previous != XCB_NONE) {
        auto gone = conn_.waitForEvent(
            [&](const xcb_generic_event_t* ev) {
                return (ev->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                       reinterpret_cast<const xcb_destroy_notify_event_t*>(ev)->window == previous;
            },
            replaceTimeout);
        if (!gone) log("the previous window manager did not let go in time; taking over anyway");
    }

    // The old window manager's redirect ends when its connection closes, which
    // may come a moment after its window went: retry for a bounded time.
    bool redirected = false;
    for (int attempt = 0; attempt < 100 && !redirected; ++attempt) {
        uint8_t code = 0;
        redirected = conn_.check(
            xcb_change_window_attributes_checked(c, conn_.root(), XCB_CW_EVENT_MASK, &kWmRootMask), &code);
        if (!redirected && (previous == XCB_NONE || code != XCB_ACCESS)) break;
        if (!redirected) conn_.waitForEvent([](const xcb_generic_event_t*) { return false; }, 0.05);
    }
    if (!redirected) {
        sayWaiting("another window manager is running without WM_S0; waiting for it to quit");
        dropOwner();
        xcb_flush(c);
        return false;
    }

    // ICCCM 2.8: announce the new owner to everyone listening on the root.
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = conn_.root();
    msg.type = a.MANAGER;
    msg.data.data32[0] = time;
    msg.data.data32[1] = a.WM_S0;
    msg.data.data32[2] = owner_;
    xcb_send_event(c, 0, conn_.root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&msg));

    waitingSaid.erase(identity_);
    return true;
}

void WmOwner::dropOwner() {
    xcb_destroy_window(conn_.raw(), owner_);
    owner_ = XCB_NONE;
}

void WmOwner::letGo() { dropOwner(); }

bool WmOwner::lostBy(const xcb_selection_clear_event_t& ev) const {
    return held() && ev.selection == conn_.atoms().WM_S0 && ev.owner == owner_;
}

}  // namespace tarvela::x11

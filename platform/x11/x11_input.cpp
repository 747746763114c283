#include "platform/x11/x11_input.h"

#include <xcb/xinput.h>

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_keys.h"
#include "platform/x11/x11_platform.h"
#include "settings/key_codes.h"

namespace tarvela {

namespace {

constexpr uint8_t firstWheelButton = 4, lastWheelButton = 7;
constexpr uint32_t emulatedFlag = XCB_INPUT_POINTER_EVENT_FLAGS_POINTER_EMULATED;
// How long a smooth Alt scroll keeps the pointer after its last movement.
constexpr double smoothHold = 0.25;

double fp1616(xcb_input_fp1616_t v) { return static_cast<double>(v) / 65536.0; }
double fp3232(xcb_input_fp3232_t v) { return static_cast<double>(v.integral) + static_cast<double>(v.frac) / 4294967296.0; }

// A wheel button as a notched scroll event: lines, y up / x left positive.
ScrollEvent notch(uint8_t button, uint16_t state) {
    ScrollEvent e;
    switch (button) {
        case 4: e.deltaY = 1; break;
        case 5: e.deltaY = -1; break;
        case 6: e.deltaX = 1; break;
        default: e.deltaX = -1; break;
    }
    e.precise = false;
    e.modifierFlags = modifierFlagsForX(state);
    return e;
}

}  // namespace

uint64_t modifierFlagsForX(uint16_t state) {
    uint64_t f = 0;
    if (state & XCB_MOD_MASK_SHIFT) f |= eventflags::shift;
    if (state & XCB_MOD_MASK_LOCK) f |= eventflags::capsLock;
    if (state & XCB_MOD_MASK_CONTROL) f |= eventflags::control;
    if (state & XCB_MOD_MASK_1) f |= eventflags::option;
    if (state & XCB_MOD_MASK_4) f |= eventflags::command;
    return f;
}

struct X11GestureSources::State {
    std::function<bool(const ScrollEvent&)> tap;
    std::vector<std::pair<uint64_t, std::function<void(const MagnifyEvent&)>>> magnify;
    uint64_t next = 1;
    // Wheel grabs in force (button, modifiers).
    std::vector<std::pair<uint8_t, uint16_t>> wheelGrabs;
    x11::Connection* conn = nullptr;
};

namespace {

class TapSub final : public Subscription {
public:
    explicit TapSub(std::weak_ptr<X11GestureSources::State> s) : s_(std::move(s)) {}
    ~TapSub() override {
        auto s = s_.lock();
        if (!s) return;
        s->tap = nullptr;
        for (auto [button, mods] : s->wheelGrabs) xcb_ungrab_button(s->conn->raw(), button, s->conn->root(), mods);
        s->wheelGrabs.clear();
        xcb_flush(s->conn->raw());
    }

private:
    std::weak_ptr<X11GestureSources::State> s_;
};

class MagnifySub final : public Subscription {
public:
    MagnifySub(std::weak_ptr<X11GestureSources::State> s, uint64_t id) : s_(std::move(s)), id_(id) {}
    ~MagnifySub() override {
        if (auto s = s_.lock())
            std::erase_if(s->magnify, [this](const auto& m) { return m.first == id_; });
    }

private:
    std::weak_ptr<X11GestureSources::State> s_;
    uint64_t id_;
};

}  // namespace

X11GestureSources::X11GestureSources(X11Platform& platform, RunLoop& main)
    : conn_(platform.connection()),
      main_(main),
      keymap_(std::make_unique<x11::Keymap>(conn_)),
      s_(std::make_shared<State>()) {
    s_->conn = &conn_;
    xcb_connection_t* c = conn_.raw();
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_input_id);
    if (ext && ext->present) {
        xiOpcode_ = ext->major_opcode;
        // Gesture events need the client to speak 2.4; asking again with a
        // newer version raises what this connection is served.
        if (auto r = conn_.get(xcb_input_xi_query_version_reply, xcb_input_xi_query_version(c, 2, 4)))
            gestures_ = r->major_version > 2 || (r->major_version == 2 && r->minor_version >= 4);
        queryScrollAxes();
    }
    filter_ = conn_.addEventFilter([this](xcb_generic_event_t* e) { return onEvent(e); });
}

X11GestureSources::~X11GestureSources() {
    conn_.removeEventFilter(filter_);
    endSmooth();
    if (smoothRelease_) main_.cancel(*smoothRelease_);
    for (auto [button, mods] : s_->wheelGrabs) xcb_ungrab_button(conn_.raw(), button, conn_.root(), mods);
    s_->wheelGrabs.clear();
    xcb_flush(conn_.raw());
}

void X11GestureSources::queryScrollAxes() {
    scrollAxes_.clear();
    auto r = conn_.get(xcb_input_xi_query_device_reply, xcb_input_xi_query_device(conn_.raw(), XCB_INPUT_DEVICE_ALL));
    if (!r) return;
    bool masterSeen = false;
    for (auto it = xcb_input_xi_query_device_infos_iterator(r.get()); it.rem; xcb_input_xi_device_info_next(&it)) {
        const auto type = it.data->type;
        if (type == XCB_INPUT_DEVICE_TYPE_MASTER_POINTER && !masterSeen) {
            masterSeen = true;  // the first master pointer: the one the user moves
            pointer_ = it.data->deviceid;
        }
        // A master's classes follow whichever of its devices was used last, so
        // the physical devices tell what each event's source can do.
        if (type != XCB_INPUT_DEVICE_TYPE_SLAVE_POINTER) continue;
        for (auto cl = xcb_input_xi_device_info_classes_iterator(it.data); cl.rem; xcb_input_device_class_next(&cl)) {
            if (cl.data->type != XCB_INPUT_DEVICE_CLASS_TYPE_SCROLL) continue;
            auto* sc = reinterpret_cast<const xcb_input_scroll_class_t*>(cl.data);
            const double inc = fp3232(sc->increment);
            if (inc != 0)
                scrollAxes_[it.data->deviceid].push_back(
                    {sc->number, sc->scroll_type == XCB_INPUT_SCROLL_TYPE_VERTICAL, inc});
        }
    }
}

SubscriptionRef X11GestureSources::installScrollTap(std::function<bool(const ScrollEvent&)> handler) {
    if (s_->tap) return nullptr;  // one tap at a time; the old one must go first
    xcb_connection_t* c = conn_.raw();
    struct Sent {
        uint8_t button;
        uint16_t mods;
        xcb_void_cookie_t cookie;
    };
    std::vector<Sent> sent;
    // Alt with the locks alone must be ours; the tap takes every scroll whose
    // modifiers contain Alt, so Alt with any of the other bits (Shift, Control,
    // Super, Mod3, Mod5) is grabbed too, where no other client holds it.
    const std::vector<uint16_t> locks = keymap_->lockVariants();
    auto required = [&](uint16_t mods) {
        return std::find(locks.begin(), locks.end(), mods & ~XCB_MOD_MASK_1) != locks.end();
    };
    constexpr uint16_t everyBit = 0xff;
    for (uint8_t b = firstWheelButton; b <= lastWheelButton; ++b)
        for (uint16_t others = 0; others <= everyBit; ++others) {
            if (others & XCB_MOD_MASK_1) continue;
            const uint16_t mods = static_cast<uint16_t>(XCB_MOD_MASK_1 | others);
            // Synchronous: the pointer waits until we decide to swallow or replay.
            sent.push_back({b, mods,
                            xcb_grab_button_checked(c, 0, conn_.root(),
                                                    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE,
                                                    XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, b,
                                                    mods)});
        }
    bool ok = true;
    for (auto& s : sent) {
        if (conn_.check(s.cookie)) s_->wheelGrabs.emplace_back(s.button, s.mods);
        else if (required(s.mods)) ok = false;
    }
    if (!ok) {
        // Another client holds Alt+wheel: no tap rather than half of one.
        for (auto [button, mods] : s_->wheelGrabs) xcb_ungrab_button(c, button, conn_.root(), mods);
        s_->wheelGrabs.clear();
        xcb_flush(c);
        return nullptr;
    }
    xcb_flush(c);
    s_->tap = std::move(handler);
    return std::make_unique<TapSub>(s_);
}

SubscriptionRef X11GestureSources::addMagnifyMonitor(std::function<void(const MagnifyEvent&)> handler) {
    if (!gestures_) return nullptr;
    selectGestures();
    const uint64_t id = s_->next++;
    s_->magnify.emplace_back(id, std::move(handler));
    return std::make_unique<MagnifySub>(s_, id);
}

std::optional<int> X11GestureSources::startContactFrames(ContactFrameCallback callback) {
    if (!gestures_) return std::nullopt;
    selectGestures();
    swipe_ = std::make_unique<SwipeFrames>(std::move(callback));
    // Gesture events come from touchpads, which XInput does not mark as such;
    // count the slave pointers that call themselves one.
    int pads = 0;
    if (auto r = conn_.get(xcb_input_xi_query_device_reply,
                           xcb_input_xi_query_device(conn_.raw(), XCB_INPUT_DEVICE_ALL))) {
        for (auto it = xcb_input_xi_query_device_infos_iterator(r.get()); it.rem; xcb_input_xi_device_info_next(&it)) {
            if (it.data->type != XCB_INPUT_DEVICE_TYPE_SLAVE_POINTER) continue;
            std::string name(xcb_input_xi_device_info_name(it.data), xcb_input_xi_device_info_name_length(it.data));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char ch) { return std::tolower(ch); });
            if (name.find("touchpad") != std::string::npos || name.find("trackpad") != std::string::npos) ++pads;
        }
    }
    return pads;
}

void X11GestureSources::selectGestures() {
    if (selected_) return;
    selected_ = true;
    std::vector<int> types;
    for (int code = XCB_INPUT_GESTURE_PINCH_BEGIN; code <= XCB_INPUT_GESTURE_SWIPE_END; ++code) types.push_back(code);
    if (!conn_.changeRootXiEvents(types, {})) {
        log("gestures: the X server refused gesture events");
        gestures_ = false;
    }
}

bool X11GestureSources::onEvent(xcb_generic_event_t* e) {
    const uint8_t type = e->response_type & 0x7f;
    if (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE) return onWheel(e);
    if (type == XCB_MAPPING_NOTIFY) {
        keymap_->refresh();  // NumLock may have moved; the next tap grabs with the new variants
        return false;
    }
    if (type == XCB_GE_GENERIC && xiOpcode_ >= 0 &&
        reinterpret_cast<xcb_ge_generic_event_t*>(e)->extension == xiOpcode_) {
        auto et = reinterpret_cast<xcb_ge_generic_event_t*>(e)->event_type;
        // Pointer events come only from our own hold, also when they were queued
        // before it ended: a notch among them must not be lost.
        if ((et >= XCB_INPUT_GESTURE_PINCH_BEGIN && et <= XCB_INPUT_GESTURE_SWIPE_END) || et == XCB_INPUT_MOTION ||
            et == XCB_INPUT_BUTTON_PRESS || et == XCB_INPUT_BUTTON_RELEASE) {
            onGeneric(e);
            return true;
        }
    }
    return false;
}

bool X11GestureSources::onWheel(xcb_generic_event_t* e) {
    auto* ev = reinterpret_cast<xcb_button_press_event_t*>(e);
    if (ev->event != conn_.root() || ev->detail < firstWheelButton || ev->detail > lastWheelButton) return false;
    if (!(ev->state & XCB_MOD_MASK_1)) return false;
    const bool press = (e->response_type & 0x7f) == XCB_BUTTON_PRESS;
    if (!press) return true;  // the release of a notch we took or replayed
    const bool consumed = s_->tap && s_->tap(notch(ev->detail, ev->state));
    // Declined: the notch goes on to the window under the pointer as if we were not here.
    xcb_allow_events(conn_.raw(), consumed ? XCB_ALLOW_ASYNC_POINTER : XCB_ALLOW_REPLAY_POINTER, ev->time);
    if (consumed && smoothOffered()) beginSmooth(ev->time);
    xcb_flush(conn_.raw());
    return true;
}

void X11GestureSources::beginSmooth(xcb_timestamp_t time) {
    if (smoothRelease_) main_.cancel(*smoothRelease_);
    smoothRelease_ = main_.after(smoothHold, [this, alive = std::weak_ptr<State>(s_)] {
        if (alive.expired()) return;
        smoothRelease_.reset();
        endSmooth();
    });
    if (smoothHeld_) return;
    // Hold the pointer for the burst so the valuators come to us, not to the window below.
    uint32_t mask =
        XCB_INPUT_XI_EVENT_MASK_MOTION | XCB_INPUT_XI_EVENT_MASK_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_BUTTON_RELEASE;
    auto r = conn_.get(xcb_input_xi_grab_device_reply,
                       xcb_input_xi_grab_device(conn_.raw(), conn_.root(), time, XCB_NONE, pointer_,
                                                XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                                XCB_INPUT_GRAB_OWNER_NO_OWNER, 1, &mask));
    if (!r || r->status != XCB_GRAB_STATUS_SUCCESS) return;
    smoothHeld_ = true;
    lastValuators_.clear();
}

void X11GestureSources::endSmooth() {
    if (!smoothHeld_) return;
    smoothHeld_ = false;
    xcb_input_xi_ungrab_device(conn_.raw(), XCB_CURRENT_TIME, pointer_);
    xcb_flush(conn_.raw());
}

void X11GestureSources::onGeneric(xcb_generic_event_t* e) {
    const auto et = reinterpret_cast<xcb_ge_generic_event_t*>(e)->event_type;
    switch (et) {
        case XCB_INPUT_GESTURE_PINCH_BEGIN:
        case XCB_INPUT_GESTURE_PINCH_UPDATE:
        case XCB_INPUT_GESTURE_PINCH_END: return onPinch(e, et);
        case XCB_INPUT_GESTURE_SWIPE_BEGIN:
        case XCB_INPUT_GESTURE_SWIPE_UPDATE:
        case XCB_INPUT_GESTURE_SWIPE_END: return onSwipe(e, et);
        // The pointer is ours during a smooth Alt scroll.
        case XCB_INPUT_BUTTON_PRESS:
        case XCB_INPUT_BUTTON_RELEASE:
            return onHeldButton(reinterpret_cast<xcb_input_button_press_event_t*>(e), et);
        default: return onHeldMotion(reinterpret_cast<xcb_input_button_press_event_t*>(e));
    }
}

void X11GestureSources::onPinch(xcb_generic_event_t* e, uint16_t type) {
    auto* p = reinterpret_cast<xcb_input_gesture_pinch_begin_event_t*>(e);
    const double scale = fp1616(p->scale);
    const MagnifyEvent m = type == XCB_INPUT_GESTURE_PINCH_BEGIN    ? pinch_.begin(scale)
                           : type == XCB_INPUT_GESTURE_PINCH_UPDATE ? pinch_.update(scale)
                                                                    : pinch_.end(scale, p->flags & 1);
    auto monitors = s_->magnify;
    for (auto& [id, fn] : monitors) fn(m);
}

void X11GestureSources::onSwipe(xcb_generic_event_t* e, uint16_t type) {
    if (!swipe_) return;
    auto* sw = reinterpret_cast<xcb_input_gesture_swipe_begin_event_t*>(e);
    const double dx = fp1616(sw->delta_unaccel_x);
    if (type == XCB_INPUT_GESTURE_SWIPE_BEGIN) swipe_->begin(static_cast<int>(sw->detail), dx);
    else if (type == XCB_INPUT_GESTURE_SWIPE_UPDATE) swipe_->update(dx);
    else swipe_->end();
}

void X11GestureSources::onHeldButton(xcb_input_button_press_event_t* ev, uint16_t type) {
    const uint16_t mods = static_cast<uint16_t>(ev->mods.effective);
    const bool wheel = ev->detail >= firstWheelButton && ev->detail <= lastWheelButton;
    // Emulated wheel presses repeat the valuators we read; releases carry nothing.
    if (wheel && ((ev->flags & emulatedFlag) || type == XCB_INPUT_BUTTON_RELEASE)) return;
    if (wheel && (mods & XCB_MOD_MASK_1)) {
        // A notched wheel on the same pointer, while we hold it.
        if (s_->tap && s_->tap(notch(static_cast<uint8_t>(ev->detail), mods))) beginSmooth(XCB_CURRENT_TIME);
        else endSmooth();
        return;
    }
    endSmooth();  // a click, or the wheel without Alt: the burst is over
}

void X11GestureSources::onHeldMotion(xcb_input_button_press_event_t* ev) {
    if (!smoothHeld_) return;  // motion that was queued behind the end of the hold
    // Valuators the server made up from wheel buttons: the buttons already counted.
    if (ev->flags & emulatedFlag) return;
    auto axes = scrollAxes_.find(ev->sourceid);
    if (axes == scrollAxes_.end()) return;
    const uint16_t mods = static_cast<uint16_t>(ev->mods.effective);
    if (!(mods & XCB_MOD_MASK_1)) {
        endSmooth();
        return;
    }
    const uint32_t* mask = xcb_input_button_press_valuator_mask(ev);
    const int words = xcb_input_button_press_valuator_mask_length(ev);
    const xcb_input_fp3232_t* values = xcb_input_button_press_axisvalues(ev);
    ScrollEvent s;
    s.precise = true;
    s.modifierFlags = modifierFlagsForX(mods);
    bool scrolled = false;
    int k = 0;
    for (int bit = 0; bit < words * 32; ++bit) {
        if (!(mask[bit / 32] & (1u << (bit % 32)))) continue;
        const double v = fp3232(values[k++]);
        auto axis = std::find_if(axes->second.begin(), axes->second.end(),
                                 [bit](const ScrollAxis& a) { return a.number == bit; });
        if (axis == axes->second.end()) continue;
        auto last = std::find_if(lastValuators_.begin(), lastValuators_.end(),
                                 [bit](const auto& p) { return p.first == bit; });
        if (last == lastValuators_.end()) {
            lastValuators_.emplace_back(static_cast<uint16_t>(bit), v);  // the baseline of this burst
            continue;
        }
        // One increment is one notch; a notch is worth twelve points.
        const double points = -(v - last->second) / axis->increment * 12;
        last->second = v;
        (axis->vertical ? s.deltaY : s.deltaX) += points;
        scrolled = true;
    }
    if (scrolled && s_->tap && s_->tap(s)) beginSmooth(XCB_CURRENT_TIME);
}

}  // namespace tarvela

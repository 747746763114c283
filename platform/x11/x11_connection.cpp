#include "platform/x11/x11_connection.h"

#include <poll.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace tarvela::x11 {

namespace {
double monotonic() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

std::vector<uint32_t> Property::cardinals() const {
    std::vector<uint32_t> out;
    if (format != 32) return out;
    out.resize(data.size() / 4);
    if (!out.empty()) std::memcpy(out.data(), data.data(), out.size() * 4);
    return out;
}

std::string Property::text() const {
    if (format != 8) return {};
    std::string s(data.begin(), data.end());
    if (auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
    return s;
}

Connection::Connection(const std::string& display) : mainThread_(std::this_thread::get_id()) {
    int screenNum = 0;
    c_ = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNum);
    if (!c_ || xcb_connection_has_error(c_)) {
        if (c_) xcb_disconnect(c_);
        throw std::runtime_error("cannot open display " + display);
    }
    display_ = display;
    if (display_.empty()) {
        const char* env = std::getenv("DISPLAY");
        display_ = env ? env : "";
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c_));
    for (int i = 0; i < screenNum && it.rem; ++i) xcb_screen_next(&it);
    screenNumber_ = screenNum;
    screen_ = it.data;
    internAtoms();
}

Connection::~Connection() { xcb_disconnect(c_); }

void Connection::internAtoms() {
    struct Entry {
        const char* name;
        xcb_atom_t* slot;
        xcb_intern_atom_cookie_t cookie;
    };
    std::vector<Entry> entries;
#define TARVELA_X11_ATOM_ENTRY(n) entries.push_back({#n, &atoms_.n, {}});
    TARVELA_X11_ATOMS(TARVELA_X11_ATOM_ENTRY)
#undef TARVELA_X11_ATOM_ENTRY
    for (auto& e : entries) e.cookie = xcb_intern_atom(c_, 0, std::strlen(e.name), e.name);
    for (auto& e : entries)
        if (auto r = get(xcb_intern_atom_reply, e.cookie)) *e.slot = r->atom;
}

bool Connection::check(xcb_void_cookie_t cookie, uint8_t* code) {
    xcb_generic_error_t* err = xcb_request_check(c_, cookie);
    noteWaited();
    if (code) *code = err ? err->error_code : 0;
    bool ok = err == nullptr;
    std::free(err);
    return ok;
}

xcb_get_property_cookie_t Connection::requestProperty(xcb_window_t w, xcb_atom_t prop, uint32_t maxLongs) {
    return xcb_get_property(c_, 0, w, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, maxLongs);
}

Property Connection::takeProperty(xcb_get_property_cookie_t cookie) {
    Property p;
    auto r = get(xcb_get_property_reply, cookie);
    if (!r || r->type == XCB_ATOM_NONE) return p;
    p.type = r->type;
    p.format = r->format;
    auto* bytes = static_cast<const uint8_t*>(xcb_get_property_value(r.get()));
    p.data.assign(bytes, bytes + xcb_get_property_value_length(r.get()));
    return p;
}

void Connection::setCardinals(xcb_window_t w, xcb_atom_t prop, xcb_atom_t type, const std::vector<uint32_t>& values) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, prop, type, 32, values.size(), values.data());
}

void Connection::sendProtocol(xcb_window_t w, xcb_atom_t protocol, xcb_timestamp_t time) {
    xcb_client_message_event_t msg{};
    msg.response_type = XCB_CLIENT_MESSAGE;
    msg.format = 32;
    msg.window = w;
    msg.type = atoms_.WM_PROTOCOLS;
    msg.data.data32[0] = protocol;
    msg.data.data32[1] = time;
    xcb_send_event(c_, 0, w, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&msg));
}

void Connection::setText(xcb_window_t w, xcb_atom_t prop, const std::string& text) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, prop, atoms_.UTF8_STRING, 8, text.size(), text.data());
}

xcb_atom_t Connection::internAtom(const std::string& name) {
    auto r = get(xcb_intern_atom_reply, xcb_intern_atom(c_, 0, name.size(), name.c_str()));
    return r ? r->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

bool Connection::changeRootXiEvents(const std::vector<int>& add, const std::vector<int>& remove) {
    constexpr uint16_t allMasters = XCB_INPUT_DEVICE_ALL_MASTER;
    std::vector<uint32_t> words;
    if (auto r = get(xcb_input_xi_get_selected_events_reply, xcb_input_xi_get_selected_events(c_, root()))) {
        for (auto it = xcb_input_xi_get_selected_events_masks_iterator(r.get()); it.rem; xcb_input_event_mask_next(&it)) {
            if (it.data->deviceid != allMasters) continue;
            const uint32_t* m = xcb_input_event_mask_mask(it.data);
            words.assign(m, m + it.data->mask_len);
        }
    }
    // Masks are arrays of 32-bit words; gestures sit past the first one.
    auto set = [&](int type, bool on) {
        const size_t w = static_cast<size_t>(type) / 32;
        if (words.size() <= w) words.resize(w + 1, 0);
        if (on) words[w] |= 1u << (type % 32);
        else words[w] &= ~(1u << (type % 32));
    };
    for (int type : add) set(type, true);
    for (int type : remove) set(type, false);
    std::vector<uint8_t> buf(sizeof(xcb_input_event_mask_t) + words.size() * 4);
    auto* head = reinterpret_cast<xcb_input_event_mask_t*>(buf.data());
    head->deviceid = allMasters;
    head->mask_len = static_cast<uint16_t>(words.size());
    std::copy(words.begin(), words.end(), reinterpret_cast<uint32_t*>(head + 1));
    return check(xcb_input_xi_select_events_checked(c_, root(), 1, head));
}

std::string Connection::atomName(xcb_atom_t atom) {
    auto r = get(xcb_get_atom_name_reply, xcb_get_atom_name(c_, atom));
    if (!r) return {};
    return std::string(xcb_get_atom_name_name(r.get()), xcb_get_atom_name_name_length(r.get()));
}

EventPtr Connection::nextEvent() {
    if (!stash_.empty()) {
        EventPtr e = std::move(stash_.front());
        stash_.pop_front();
        return e;
    }
    return EventPtr(xcb_poll_for_event(c_));
}

EventPtr Connection::waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& pred, double seconds) {
    const double deadline = monotonic() + seconds;
    xcb_flush(c_);
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c_)) {
            EventPtr e(raw);
            if (pred(e.get())) {
                noteWaited();
                return e;
            }
            stash_.push_back(std::move(e));
        }
        double left = deadline - monotonic();
        if (xcb_connection_has_error(c_) || left <= 0) {
            noteWaited();
            return nullptr;
        }
        pollfd p{fd(), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left * 1000) + 1);
    }
}

void Connection::noteWaited() {
    if (!dispatching_ && drainHook_ && onMainThread()) drainHook_();
}

}  // namespace tarvela::x11

#include "platform/x11/x11_connection.h"

#include <poll.h>

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

void Connection::setText(xcb_window_t w, xcb_atom_t prop, const std::string& text) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, prop, atoms_.UTF8_STRING, 8, text.size(), text.data());
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

#include "platform/x11/displays.h"

#include <xcb/randr.h>

#include <algorithm>

#include "core/log.h"

namespace tarvela::x11 {

Displays::Displays(Connection& conn)
    : conn_(conn), rootW_(conn.screen()->width_in_pixels), rootH_(conn.screen()->height_in_pixels) {}

bool Displays::rootResized(int width, int height) {
    if (width == rootW_ && height == rootH_) return false;
    rootW_ = width;
    rootH_ = height;
    return true;
}

void Displays::setDock(xcb_window_t w, std::optional<Strut> strut) { docks_[w] = strut; }

bool Displays::dropDock(xcb_window_t w) { return docks_.erase(w) > 0; }

std::vector<Monitor> Displays::monitors() {
    std::vector<Monitor> out;
    if (randr15_) {
        auto r = conn_.get(xcb_randr_get_monitors_reply, xcb_randr_get_monitors(conn_.raw(), conn_.root(), 1));
        if (r) {
            std::vector<xcb_get_atom_name_cookie_t> names;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(r.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t* m = it.data;
                Monitor mon;
                mon.id = m->name;
                mon.rect = Rect(m->x, m->y, m->width, m->height);
                mon.primary = m->primary;
                const xcb_randr_output_t* outs = xcb_randr_monitor_info_outputs(m);
                mon.outputs.assign(outs, outs + xcb_randr_monitor_info_outputs_length(m));
                out.push_back(mon);
                names.push_back(xcb_get_atom_name(conn_.raw(), m->name));
            }
            for (size_t i = 0; i < out.size(); ++i) {
                if (auto n = conn_.get(xcb_get_atom_name_reply, names[i]))
                    out[i].name.assign(xcb_get_atom_name_name(n.get()), xcb_get_atom_name_name_length(n.get()));
            }
        }
    }
    if (out.empty()) {
        Monitor whole;
        whole.id = 1;
        whole.name = "screen";
        whole.rect = Rect(0, 0, rootW_, rootH_);
        whole.primary = true;
        out.push_back(whole);
    }
    return out;
}

// Once per change of displays, all monitors' EDIDs in one round trip.
void Displays::identify(std::vector<Monitor>& monitors) {
    const xcb_atom_t edid = conn_.atoms().EDID;
    if (!randr15_ || edid == XCB_ATOM_NONE) return;
    std::vector<std::optional<xcb_randr_get_output_property_cookie_t>> asks;
    for (const Monitor& m : monitors)
        asks.push_back(m.outputs.empty() ? std::nullopt
                                         : std::optional(xcb_randr_get_output_property(
                                               conn_.raw(), m.outputs.front(), edid, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                               64, false, false)));  // 256 bytes: the base block and one extension
    for (size_t i = 0; i < monitors.size(); ++i) {
        if (!asks[i]) continue;
        auto r = conn_.get(xcb_randr_get_output_property_reply, *asks[i]);
        if (!r || r->format != 8) continue;
        const uint8_t* data = xcb_randr_get_output_property_data(r.get());
        monitors[i].identity = edidIdentity(std::vector<uint8_t>(data, data + xcb_randr_get_output_property_data_length(r.get())));
    }
}

std::vector<Strut> Displays::struts() const {
    std::vector<Strut> out;
    for (auto& [w, s] : docks_)
        if (s) out.push_back(*s);
    return out;
}

const std::vector<Screen>& Displays::screens() {
    if (!screens_) {
        const double scale =
            scaleFromResources(conn_.property(conn_.root(), conn_.atoms().RESOURCE_MANAGER, 1 << 16).text());
        std::vector<Monitor> all = monitors();
        identify(all);
        for (auto& [w, strut] : docks_)
            for (const Monitor& m : all)
                if (strut && !strutFits(*strut, m.rect, rootW_, rootH_) && oversizedDocks_.insert(w).second)
                    log(format("ignoring the space dock window 0x%x reserves: it would leave too little of %s",
                               static_cast<unsigned>(w), m.name.c_str()));
        screens_ = toScreens(all, struts(), rootW_, rootH_, scale);
        if (!announced_) announced_ = *screens_;
    }
    return *screens_;
}

void Displays::changed() {
    screens_.reset();
    changePending_ = true;
}

namespace {
bool sameScreens(const std::vector<Screen>& a, const std::vector<Screen>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Screen& x, const Screen& y) {
        return x.id == y.id && x.frame == y.frame && x.visibleFrame == y.visibleFrame &&
               x.localizedName == y.localizedName && x.backingScaleFactor == y.backingScaleFactor && x.key == y.key;
    });
}
}  // namespace

// Every announcement makes the logic rebuild its strips, which resets their
// scroll positions: only a difference the logic can see is worth one. The
// hints (RandR, the root, resources, struts) also fire for nothing.
bool Displays::takeAnnouncement() {
    if (!changePending_) return false;
    changePending_ = false;
    if (!announced_) return false;  // nobody has looked yet, so nobody holds a stale list
    const std::vector<Screen>& now = screens();
    if (sameScreens(now, *announced_)) return false;
    announced_ = now;
    return true;
}

std::optional<Rect> Displays::monitorFor(const Rect& r) { return monitorAt(monitors(), r); }

std::optional<Rect> Displays::displayRect(uint64_t screenId) {
    const std::vector<Screen>& list = screens();
    if (list.empty()) return std::nullopt;
    const double h0 = list.front().frame.height;
    for (const Screen& s : list)
        if (s.id == screenId) return Rect(s.frame.x, h0 - s.frame.maxY(), s.frame.width, s.frame.height);
    return std::nullopt;
}

}  // namespace tarvela::x11

// Displays as RandR 1.5 monitors (or the whole root without it), less the
// struts of docks and panels, cached until RandR, the root or a strut says
// they changed.
#include <xcb/randr.h>

#include <algorithm>

#include "core/log.h"
#include "platform/x11/x11_impl.h"

namespace tarvela {

using namespace x11;

std::vector<Monitor> X11Platform::Impl::queryMonitors() {
    std::vector<Monitor> out;
    if (randr15) {
        auto r = conn.get(xcb_randr_get_monitors_reply, xcb_randr_get_monitors(conn.raw(), conn.root(), 1));
        if (r) {
            std::vector<xcb_get_atom_name_cookie_t> names;
            for (auto it = xcb_randr_get_monitors_monitors_iterator(r.get()); it.rem; xcb_randr_monitor_info_next(&it)) {
                const xcb_randr_monitor_info_t* m = it.data;
                Monitor mon;
                mon.id = m->name;
                mon.rect = Rect(m->x, m->y, m->width, m->height);
                mon.primary = m->primary;
                out.push_back(mon);
                names.push_back(xcb_get_atom_name(conn.raw(), m->name));
            }
            for (size_t i = 0; i < out.size(); ++i) {
                if (auto n = conn.get(xcb_get_atom_name_reply, names[i]))
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

std::vector<Strut> X11Platform::Impl::struts() const {
    std::vector<Strut> out;
    for (auto& [w, s] : docks_)
        if (s) out.push_back(*s);
    return out;
}

const std::vector<Screen>& X11Platform::Impl::screens() {
    if (!screens_) {
        const double scale = scaleFromResources(conn.property(conn.root(), a.RESOURCE_MANAGER, 1 << 16).text());
        const std::vector<Monitor> monitors = queryMonitors();
        for (auto& [w, strut] : docks_)
            for (const Monitor& m : monitors)
                if (strut && !strutFits(*strut, m.rect, rootW_, rootH_) && oversizedDocks_.insert(w).second)
                    log(format("ignoring the space dock window 0x%x reserves: it would leave too little of %s",
                               static_cast<unsigned>(w), m.name.c_str()));
        screens_ = toScreens(monitors, struts(), rootW_, rootH_, scale);
        if (!announcedScreens_) announcedScreens_ = *screens_;
    }
    return *screens_;
}

void X11Platform::Impl::screensChanged() {
    screens_.reset();
    screensChangePending_ = true;
}

namespace {
bool sameScreens(const std::vector<Screen>& a, const std::vector<Screen>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Screen& x, const Screen& y) {
        return x.id == y.id && x.frame == y.frame && x.visibleFrame == y.visibleFrame &&
               x.localizedName == y.localizedName && x.backingScaleFactor == y.backingScaleFactor;
    });
}
}  // namespace

// Every announcement makes the logic rebuild its strips, which resets their
// scroll positions: only a difference the logic can see is worth one. The
// hints (RandR, the root, resources, struts) also fire for nothing.
void X11Platform::Impl::announceScreens() {
    if (!screensChangePending_) return;
    screensChangePending_ = false;
    if (!announcedScreens_) return;  // nobody has looked yet, so nobody holds a stale list
    const std::vector<Screen>& now = screens();
    if (sameScreens(now, *announcedScreens_)) return;
    announcedScreens_ = now;
    postWorkspace(WorkspaceEvent::ScreenParametersDidChange, std::nullopt);
}

std::optional<Rect> X11Platform::Impl::monitorFor(const Rect& r) { return monitorAt(queryMonitors(), r); }

}  // namespace tarvela

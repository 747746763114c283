#include "ipc/ipc_events.h"

#include <algorithm>
#include <cmath>

namespace tarvela {
namespace {

Json workspaceEvent(const char* change, const Workspace& w) {
    Json j{{"change", change}, {"id", w.id.str()}, {"name", w.name}, {"display", w.display}};
    if (w.slot) j["slot"] = *w.slot;
    return j;
}

}  // namespace

IpcEvents::IpcEvents(IpcCommands& commands, RunLoop& loop, Publish publish)
    : c_(commands), loop_(loop), publish_(std::move(publish)) {
    WindowManager& m = c_.deps().manager;
    places_ = places();
    focus_ = focus();
    prefs_ = prefValues();
    for (const StripRef& s : m.strips()) {
        scrolling_[s->index] = s->scrolling;
        strips_[s->index] = stateOf(*s);
    }
    bag_.push_back(m.changed.connect([this] {
        watchScrolling();
        managerDirty_ = true;
        schedule();
    }));
    bag_.push_back(c_.deps().prefs.changed.connect([this] {
        prefsDirty_ = true;
        schedule();
    }));
    bag_.push_back(m.workspaceSaved.connect([this](const Workspace& w) { queue("workspace", workspaceEvent("saved", w)); }));
    bag_.push_back(
        m.workspaceRestored.connect([this](const Workspace& w) { queue("workspace", workspaceEvent("restored", w)); }));
    bag_.push_back(m.workspaceDrifted.connect([this](const Workspace& w, const std::string& app) {
        Json j = workspaceEvent("drift", w);
        j["application"] = app;
        queue("workspace", std::move(j));
    }));
    bag_.push_back(m.desktopsChanged.connect([this, &m](const std::string& change) {
        const std::vector<std::string> names = m.desktopNames();
        const size_t cur = static_cast<size_t>(std::clamp(m.desktop(), 0, static_cast<int>(names.size()) - 1));
        queue("desktop", Json{{"change", change},
                              {"desktop", cur + 1},
                              {"name", names[cur]},
                              {"count", names.size()}});
    }));
}

IpcEvents::~IpcEvents() { bag_.clear(); }

IpcEvents::StripState IpcEvents::stateOf(const Strip& s) {
    StripState st;
    st.layout = s.layout;
    for (size_t i = 0; i < s.cols.size(); ++i) {
        st.widths.push_back(s.cols[i].frac);
        st.px.push_back(i < s.cw.size() ? std::lround(s.cw[i]) : -1);
    }
    return st;
}

void IpcEvents::schedule() {
    if (scheduled_) return;
    scheduled_ = true;
    loop_.post(life_.guard([this] { flush(); }));
}

void IpcEvents::queue(const std::string& topic, Json event) {
    pending_.emplace_back(topic, std::move(event));
    schedule();
}

// A slide can start and end between two looks; both ends are told.
void IpcEvents::watchScrolling() {
    for (const StripRef& s : c_.deps().manager.strips()) {
        auto [it, fresh] = scrolling_.try_emplace(s->index, s->scrolling);
        if (fresh || it->second == s->scrolling) continue;
        it->second = s->scrolling;
        pending_.emplace_back("strip", Json{{"change", s->scrolling ? "scroll-started" : "scroll-settled"},
                                            {"display", s->index},
                                            {"offset", s->offset}});
    }
}

std::map<uint64_t, IpcEvents::Place> IpcEvents::places() const {
    std::map<uint64_t, Place> out;
    const WindowManager& m = c_.deps().manager;
    for (const StripRef& s : m.strips())
        for (size_t c = 0; c < s->cols.size(); ++c)
            for (size_t r = 0; r < s->cols[c].items.size(); ++r)
                out[s->cols[c].items[r].el.id] =
                    Place{s->index, static_cast<int>(c), static_cast<int>(r), s->cols[c].items[r].app};
    for (const AXElement& el : m.floating) {
        auto& p = out[el.id];
        p.strip = -1;
        if (auto was = places_.find(el.id); was != places_.end()) p.app = was->second.app;
    }
    return out;
}

std::optional<IpcEvents::Focus> IpcEvents::focus() const {
    const StripRef s = c_.deps().manager.cur();
    if (!s) return std::nullopt;
    Focus f{s->index};
    if (const Item* it = s->focusedItem()) {
        f.col = s->focusC;
        f.row = s->focusR;
        f.window = it->el.id;
    }
    return f;
}

std::vector<Json> IpcEvents::prefValues() const {
    std::vector<Json> v;
    for (const IpcPreference& p : c_.preferences()) v.push_back(p.get());
    return v;
}

void IpcEvents::flush() {
    scheduled_ = false;
    std::vector<std::pair<std::string, Json>> out;
    if (managerDirty_) diffManager(out);
    managerDirty_ = false;
    if (prefsDirty_) {
        std::vector<Json> now = prefValues();
        const auto& list = c_.preferences();
        for (size_t i = 0; i < now.size(); ++i)
            if (now[i] != prefs_[i]) out.emplace_back("preferences", Json{{"name", list[i].name}, {"value", now[i]}});
        prefs_ = std::move(now);
    }
    prefsDirty_ = false;
    for (auto& e : pending_) out.push_back(std::move(e));
    pending_.clear();
    for (auto& [topic, j] : out) {
        j["event"] = topic;
        publish_(topic, std::move(j));
    }
}

void IpcEvents::diffManager(std::vector<std::pair<std::string, Json>>& out) {
    auto placeJSON = [](Json j, const Place& p) {
        if (p.strip < 0) return j;
        j["strip"] = p.strip;
        j["column"] = p.col + 1;
        j["row"] = p.row + 1;
        return j;
    };

    const auto now = places();
    for (const auto& [id, p] : places_)
        if (!now.count(id)) out.emplace_back("window", Json{{"change", "closed"}, {"id", id}, {"application", p.app}});
    for (const auto& [id, p] : now) {
        auto was = places_.find(id);
        Json j{{"id", id}, {"application", p.app}};
        if (was == places_.end()) {
            j["change"] = "opened";
            j["floating"] = p.strip < 0;
            out.emplace_back("window", placeJSON(std::move(j), p));
        } else if (was->second.strip != p.strip) {
            j["change"] = p.strip < 0 ? "floated" : was->second.strip < 0 ? "tiled" : "moved";
            if (p.strip >= 0 && was->second.strip >= 0) j["from"] = was->second.strip;
            out.emplace_back("window", placeJSON(std::move(j), p));
        }
    }
    places_ = now;

    const auto f = focus();
    if (f != focus_) {
        focus_ = f;
        Json j{{"display", f ? f->display : -1}};
        if (f && f->window) {
            j["column"] = f->col + 1;
            j["row"] = f->row + 1;
            j["window"] = f->window;
            if (auto p = places_.find(f->window); p != places_.end()) j["application"] = p->second.app;
        } else {
            j["column"] = nullptr;
        }
        out.emplace_back("focus", std::move(j));
    }

    std::map<int, StripState> strips;
    for (const StripRef& s : c_.deps().manager.strips()) {
        const StripState& st = strips[s->index] = stateOf(*s);
        auto was = strips_.find(s->index);
        if (was == strips_.end() || was->second.layout != st.layout)
            out.emplace_back("strip", Json{{"change", "layout"}, {"display", s->index}, {"layout", std::string(rawValue(st.layout))}});
        if (was == strips_.end() || was->second.widths != st.widths || was->second.px != st.px)
            out.emplace_back("strip", Json{{"change", "widths"}, {"display", s->index}, {"widths", st.widths}, {"px", st.px}});
    }
    strips_ = std::move(strips);
}

}  // namespace tarvela

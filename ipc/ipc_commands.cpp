#include "ipc/ipc_commands.h"

#include <cmath>

#include "core/window_access.h"
#include "settings/app_info.h"
#include "settings/pref_ranges.h"

namespace tarvela {
namespace {

Json rectJSON(const Rect& r) { return Json{{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}}; }

// The strips are held while paused; a setting that arranges them would
// disagree with them until something rebuilt them, and then they would jump.
constexpr const char* pausedArranging = "Tarvela is paused: resume it to change how the strips are arranged";

[[noreturn]] void badValue(const std::string& name, const Json& v, const std::string& want) {
    throw IpcError(wrongPreferenceValue(name, want, v));
}

bool boolValue(const std::string& name, const Json& v) {
    if (!v.is_boolean()) badValue(name, v, "true or false");
    return v.get<bool>();
}

template <class S>
IpcPreference boolPref(S& s) {
    return {s.key(), [&s] { return Json(s()); }, [&s](const Json& v) { s.set(boolValue(s.key(), v)); }};
}

template <class S, class T>
IpcPreference rangedPref(S& s, const PrefRange<T>& range) {
    return {s.key(), [&s] { return Json(s()); }, [&s, &range](const Json& v) {
                if (auto message = range.check(v)) throw IpcError(*message);
                s.set(v.get<T>());
            }};
}

// Scripts read a rule's behaviour by name; the stored list keeps its numbers.
Json rulesJSON(const std::vector<AppRule>& rules) {
    Json out = rulesToJSON(rules);
    for (size_t i = 0; i < rules.size(); ++i) {
        switch (rules[i].behavior) {
            case Behavior::tile: out[i]["behavior"] = "tile"; break;
            case Behavior::floatWin: out[i]["behavior"] = "float"; break;
            case Behavior::ignore: out[i]["behavior"] = "ignore"; break;
        }
    }
    return out;
}

}  // namespace

Json windowJSON(Platform& platform, const Item& it, int strip, int col, int row) {
    Json j{{"id", it.el.id},
           {"application", it.app},
           {"title", attr<std::string>(platform, it.el, ax::Title).value_or("")},
           {"floating", false},
           {"strip", strip},
           {"column", col + 1},
           {"row", row + 1}};
    if (it.bundleID) j["bundle"] = *it.bundleID;
    return j;
}

Json stripJSON(const Strip& s) {
    Json cols = Json::array();
    for (size_t i = 0; i < s.cols.size(); ++i) {
        Json ids = Json::array();
        for (const Item& it : s.cols[i].items) ids.push_back(it.el.id);
        cols.push_back(Json{{"width", s.cols[i].frac},
                            {"px", i < s.cw.size() ? Json(std::lround(s.cw[i])) : Json(nullptr)},
                            {"windows", std::move(ids)}});
    }
    const bool any = !s.cols.empty();
    return Json{{"display", s.index},
                {"name", s.displayName()},
                {"columns", std::move(cols)},
                {"focused", any ? Json{{"column", s.focusC + 1}, {"row", s.focusR + 1}} : Json(nullptr)},
                {"offset", s.offset + 0.0},  // never "-0.0"
                {"layout", std::string(rawValue(s.layout))},
                {"align", std::string(rawValue(s.align()))},
                {"scrolling", s.scrolling},
                {"fit", Json{{"pct", s.fit.pct}, {"full", s.fit.full}, {"capped", s.fit.capped}, {"floored", s.fit.floored}}}};
}

IpcCommands::IpcCommands(IpcDeps deps) : d_(std::move(deps)), popover_(d_.manager, d_.prefs, PopoverHooks{}) {
    Prefs& p = d_.prefs;
    prefs_ = {
        boolPref(p.onboarded),
        // On and off as the popover's switch does it: the manager starts or stops with it.
        {"enabled", [&p] { return Json(p.enabled()); },
         [this](const Json& v) { popover_.setOn(boolValue("enabled", v)); }},
        {"layout", [&p] { return Json(std::string(rawValue(p.layout()))); },
         [this](const Json& v) {
             auto l = v.is_string() ? layoutFromRaw(v.get<std::string>()) : std::nullopt;
             if (!l) badValue("layout", v, "one of strip, two, three, plus21, plus12, grid22, grid32, four");
             if (!d_.manager.setLayout(*l)) throw IpcError(pausedArranging);
         }},
        rangedPref(p.defaultWidth, pref_range::defaultWidth),
        {"align", [&p] { return Json(std::string(rawValue(p.align()))); },
         [this](const Json& v) {
             auto a = v.is_string() ? alignFromRaw(v.get<std::string>()) : std::nullopt;
             if (!a) badValue("align", v, "one of left, center, right, auto");
             if (!d_.manager.setAlign(*a)) throw IpcError(pausedArranging);
         }},
        boolPref(p.showMenuBar),
        boolPref(p.showDock),
        rangedPref(p.dimLevel, pref_range::dimLevel),
        boolPref(p.blur),
        rangedPref(p.appearance, pref_range::appearance),
        boolPref(p.notifyRestore),
        boolPref(p.notifyDrift),
        boolPref(p.previews),
        boolPref(p.swipe3),
        boolPref(p.optionScroll),
        boolPref(p.pinch4),
        boolPref(p.natural),
        rangedPref(p.scrollSpeed, pref_range::scrollSpeed),
        boolPref(p.autoCheck),
        boolPref(p.notifyWhenClosed),
        boolPref(p.autoInstall),
        rangedPref(p.focusPolicy, pref_range::focusPolicy),
        boolPref(p.focusFollowsMouse),
        rangedPref(p.desktops, pref_range::desktops),
        {"openAtLogin", [&p] { return Json(p.openAtLogin()); },
         [&p](const Json& v) { p.openAtLogin.set(boolValue("openAtLogin", v)); }},
        boolPref(p.restoreLastSession),
    };
}

Json IpcCommands::run(const ipc::Request& r) {
    const ipc::CommandDef& c = *r.command;
    if (c.action) {
        int n = 0;
        if (*c.action == Action::jump) {
            n = static_cast<int>(std::clamp<int64_t>(r.args[0].get<int64_t>(), INT32_MIN, INT32_MAX));
            if (n < 1) throw IpcError("jump needs a column from 1, not " + std::to_string(n));
        }
        d_.perform(*c.action, n);
        return nullptr;
    }
    if (c.name == "get") {
        const std::string what = r.args[0].get<std::string>();
        std::string name;
        if (r.args.size() > 1) name = r.args[1].get<std::string>();
        return get(what, r.args.size() > 1 ? &name : nullptr);
    }
    if (c.name == "set") {
        set(r.args[0].get<std::string>(), r.args[1]);
        return nullptr;
    }
    if (c.name == "workspace-save") {
        if (d_.manager.strips().empty()) throw IpcError("no strip to save: Tarvela is not arranging windows");
        std::optional<int> slot;
        if (r.args.size() > 1) {
            const int64_t s = r.args[1].get<int64_t>();
            if (!validSlot(static_cast<int>(std::clamp<int64_t>(s, -1, 10))))
                throw IpcError("a workspace slot is 0 to 9, not " + std::to_string(s));
            slot = static_cast<int>(s);
        }
        d_.manager.saveWorkspace(r.args[0].get<std::string>(), slot);
        const Workspace& ws = d_.workspaces.items().back();
        return Json{{"id", ws.id.str()}, {"name", ws.name}};
    }
    if (c.name == "workspace-restore") return restore(r.args[0]);
    if (c.name == "desktop") {
        d_.manager.showDesktop(desktopIndex(r.args[0]));
        return nullptr;
    }
    if (c.name == "move-to-desktop") {
        if (!d_.manager.acting()) throw IpcError("Tarvela is not arranging windows");
        d_.manager.sendToDesktop(desktopIndex(r.args[0]), false);
        return nullptr;
    }
    if (c.name == "rename-desktop") {
        const int d = desktopIndex(r.args[0]);
        const std::string name = r.args[1].get<std::string>();
        // From a script a blank name is most likely an unset variable, not a wish to clear it.
        if (name.find_first_not_of(" \t\n") == std::string::npos) throw IpcError("a desktop's name cannot be empty");
        d_.manager.renameDesktop(d, name);
        return nullptr;
    }
    throw IpcError("command " + c.name + " is not handled here");
}

Json IpcCommands::restore(const Json& which) {
    const Workspace* ws = nullptr;
    if (which.is_number_integer()) {
        const int64_t slot = which.get<int64_t>();
        ws = slot >= 0 && slot <= 9 ? d_.workspaces.forSlot(static_cast<int>(slot)) : nullptr;
        if (!ws) throw IpcError("no workspace has slot " + std::to_string(slot));
    } else if (which.is_string()) {
        for (const Workspace& w : d_.workspaces.items())
            if (w.name == which.get<std::string>()) {
                ws = &w;
                break;
            }
        if (!ws) throw IpcError("no workspace is called " + which.dump());
    } else {
        throw IpcError("workspace-restore takes a workspace's name or slot, not " + which.dump());
    }
    if (!d_.manager.acting()) throw IpcError("Tarvela is off or paused: turn it on to restore a workspace");
    const Workspace copy = *ws;
    d_.manager.restore(copy);
    return Json{{"id", copy.id.str()}, {"name", copy.name}};
}

Json IpcCommands::get(const std::string& what, const std::string* name) const {
    if (name && what != "preferences") throw IpcError("get " + what + " takes no name");
    if (what == "displays") return displays();
    if (what == "strips") return strips();
    if (what == "windows") return windows();
    if (what == "preferences") {
        if (!name) return preferenceValues();
        for (const IpcPreference& p : prefs_)
            if (p.name == *name) return p.get();
        throw IpcError("unknown preference " + Json(*name).dump());
    }
    if (what == "rules") return rulesJSON(d_.rules.rules());
    if (what == "workspaces") return workspaceList();
    if (what == "version") return AppInfo::version();
    if (what == "desktops") return desktops();
    throw IpcError("get takes displays, strips, windows, preferences, rules, workspaces, version or desktops, not " +
                   Json(what).dump());
}

void IpcCommands::set(const std::string& name, const Json& value) {
    for (const IpcPreference& p : prefs_)
        if (p.name == name) return p.set(value);
    throw IpcError("unknown preference " + Json(name).dump());
}

bool IpcCommands::settled() const {
    for (const StripRef& s : d_.manager.strips())
        if (s->scrolling || s->animating) return false;
    return true;
}

int IpcCommands::desktopIndex(const Json& which) const {
    const std::vector<std::string> names = d_.manager.desktopNames();
    const int count = static_cast<int>(names.size());
    if (which.is_number_integer()) {
        const int64_t n = which.get<int64_t>();
        if (n < 1 || n > count)
            throw IpcError("a desktop is 1 to " + std::to_string(count) + ", not " + std::to_string(n));
        return static_cast<int>(n - 1);
    }
    if (which.is_string())
        for (int i = 0; i < count; ++i)
            if (names[static_cast<size_t>(i)] == which.get<std::string>()) return i;
    throw IpcError("no desktop " + which.dump());
}

Json IpcCommands::desktops() const {
    Json out = Json::array();
    const std::vector<std::string> names = d_.manager.desktopNames();
    for (size_t i = 0; i < names.size(); ++i)
        out.push_back(Json{{"index", i + 1},
                           {"name", names[i]},
                           {"windows", d_.manager.windowCount(static_cast<int>(i))},
                           {"current", static_cast<int>(i) == d_.manager.desktop()}});
    return out;
}

Json IpcCommands::displays() const {
    Json out = Json::array();
    const auto screens = d_.platform.screens();
    for (size_t i = 0; i < screens.size(); ++i) {
        const Screen& s = screens[i];
        out.push_back(Json{{"index", i},
                           {"name", s.localizedName},
                           {"frame", rectJSON(s.frame)},
                           {"visible", rectJSON(s.visibleFrame)},
                           {"scale", s.backingScaleFactor},
                           {"current", static_cast<int>(i) == d_.manager.displayIdx()}});
    }
    return out;
}

Json IpcCommands::strips() const {
    Json out = Json::array();
    for (const StripRef& s : d_.manager.strips()) out.push_back(stripJSON(*s));
    return out;
}

Json IpcCommands::windows() const {
    Json out = Json::array();
    for (const StripRef& s : d_.manager.strips())
        for (size_t c = 0; c < s->cols.size(); ++c)
            for (size_t r = 0; r < s->cols[c].items.size(); ++r)
                out.push_back(windowJSON(d_.platform, s->cols[c].items[r], s->index, static_cast<int>(c),
                                         static_cast<int>(r)));
    for (const AXElement& el : d_.manager.floating) {
        Json j{{"id", el.id}, {"title", attr<std::string>(d_.platform, el, ax::Title).value_or("")}, {"floating", true}};
        if (auto pid = d_.platform.pidOf(el))
            if (auto app = d_.platform.runningApplication(*pid); app && app->localizedName)
                j["application"] = *app->localizedName;
        out.push_back(std::move(j));
    }
    return out;
}

Json IpcCommands::preferenceValues() const {
    Json out = Json::object();
    for (const IpcPreference& p : prefs_) out[p.name] = p.get();
    return out;
}

Json IpcCommands::workspaceList() const {
    Json out = Json::array();
    const auto& active = d_.workspaces.activeID();
    for (const Workspace& w : d_.workspaces.items()) {
        Json j = toJSON(w);
        j["active"] = active && *active == w.id;
        out.push_back(std::move(j));
    }
    return out;
}

}  // namespace tarvela

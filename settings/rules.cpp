#include "settings/rules.h"

#include <algorithm>
#include <cmath>

namespace tarvela {

namespace {
bool validWidth(double w) { return std::isfinite(w) && w > 0; }
}  // namespace

Json toJSON(const AppRule& r) {
    Json j = {{"bundleID", r.bundleID}, {"name", r.name}, {"behavior", rawValue(r.behavior)}};
    if (r.width) j["width"] = *r.width;
    return j;
}

AppRule appRuleFromJSON(const Json& j, const std::string& path) {
    decode::object(j, path);
    AppRule r;
    r.bundleID = decode::string(decode::member(j, "bundleID", path), decode::at(path, "bundleID"));
    r.name = decode::string(decode::member(j, "name", path), decode::at(path, "name"));
    auto bpath = decode::at(path, "behavior");
    auto raw = decode::integer(decode::member(j, "behavior", path), bpath, INT64_MIN, INT64_MAX);
    auto b = behaviorFromRaw(raw);
    if (!b) decode::fail(bpath, std::to_string(raw) + " names no behavior");
    r.behavior = *b;
    if (auto* w = decode::optionalMember(j, "width")) {
        auto wpath = decode::at(path, "width");
        double v = decode::number(*w, wpath);
        // A zero or negative fraction asks for a column narrower than nothing.
        if (!validWidth(v)) decode::fail(wpath, "a width must be more than 0");
        r.width = v;
    }
    return r;
}

Json rulesToJSON(const std::vector<AppRule>& rules) { return listToJSON(rules); }

std::vector<AppRule> rulesFromJSON(const Json& j, const std::string& path) {
    return decode::list(j, path, appRuleFromJSON);
}

// A bundle identifier here is a desktop-file id: the window's GTK application
// id, else the desktop entry its WM_CLASS names. Zoom's own package installs
// Zoom.desktop (StartupWMClass=zoom); GNOME Settings and GNOME Calculator are
// GTK applications whose application ids are their desktop-file ids. A rule
// matches one id exactly, so each names the most common one on Debian: Zoom's
// package rather than its Flatpak (us.zoom.Zoom), GNOME's applications rather
// than KDE's or Xfce's (systemsettings, org.kde.kcalc, ...).
std::vector<AppRule> RuleStore::builtIns() {
    return {
        {"Zoom", "Zoom", Behavior::floatWin, std::nullopt},
        {"org.gnome.Settings", "Settings", Behavior::floatWin, std::nullopt},
        {"org.gnome.Calculator", "Calculator", Behavior::ignore, std::nullopt},
    };
}

RuleStore::RuleStore(Defaults& d) : stored_(d, key) {
    auto stored = stored_.load<std::vector<AppRule>>([](const Json& j) { return rulesFromJSON(j, key); });
    rules_ = stored ? std::move(*stored) : builtIns();
}

void RuleStore::setRules(std::vector<AppRule> rules) {
    bool real = rules != rules_;
    rules_ = std::move(rules);
    stored_.store(rulesToJSON(rules_));
    if (real) changed.emit();
}

std::optional<AppRule> RuleStore::rule(const std::optional<std::string>& bundleID) const {
    if (!bundleID) return std::nullopt;
    for (auto& r : rules_)
        if (r.bundleID == *bundleID) return r;
    return std::nullopt;
}

std::optional<double> RuleStore::ruleWidth(const std::string& bundleID) const {
    auto r = rule(bundleID);
    return r ? r->width : std::nullopt;
}

void RuleStore::add(const std::vector<RunningApp>& apps) {
    for (auto& app : apps) {
        if (!app.bundleIdentifier || rule(app.bundleIdentifier)) continue;
        auto next = rules_;
        next.push_back({*app.bundleIdentifier, app.localizedName.value_or(*app.bundleIdentifier), Behavior::tile, 0.5});
        setRules(std::move(next));
    }
}

template <class Fn>
bool RuleStore::editFirst(const std::string& bundleID, Fn edit) {
    auto next = rules_;
    auto it = std::find_if(next.begin(), next.end(), [&](const AppRule& r) { return r.bundleID == bundleID; });
    if (it == next.end()) return false;
    edit(*it);
    setRules(std::move(next));
    return true;
}

bool RuleStore::setBehavior(const std::string& bundleID, Behavior b) {
    return editFirst(bundleID, [b](AppRule& r) { r.behavior = b; });
}

bool RuleStore::setWidth(const std::string& bundleID, std::optional<double> width) {
    if (width && !validWidth(*width)) return false;
    return editFirst(bundleID, [width](AppRule& r) { r.width = width; });
}

void RuleStore::remove(const std::string& bundleID) {
    auto next = rules_;
    std::erase_if(next, [&](const AppRule& r) { return r.bundleID == bundleID; });
    setRules(std::move(next));
}

}  // namespace tarvela

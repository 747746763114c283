// Per-application rules: what happens to an application's windows the moment
// they open (tile, float or ignore) and how wide its new columns start.
//
// Stored under "rules" as one JSON array, rewritten whole on every change and
// read once at construction, all or nothing: one bad element and the built-in
// rules apply (the bad value stays until the next change, which sets it aside
// first; see StoredJSON).
// Rules are in user order; several may share a bundle identifier, and then the
// first one counts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/enums.h"
#include "core/platform.h"
#include "settings/defaults.h"
#include "core/signal.h"
#include "settings/stores.h"

namespace tarvela {

struct AppRule {
    std::string bundleID;
    std::string name;
    Behavior behavior = Behavior::tile;
    std::optional<double> width;  // fraction of the usable width; none = the default width

    bool operator==(const AppRule&) const = default;
};

// {"bundleID": s, "name": s, "behavior": 0|1|2, "width": x} with "width" left
// out when absent. A width must be a positive finite number.
Json toJSON(const AppRule& r);
AppRule appRuleFromJSON(const Json& j, const std::string& path = "");
Json rulesToJSON(const std::vector<AppRule>& rules);
std::vector<AppRule> rulesFromJSON(const Json& j, const std::string& path = "");

class RuleStore {
public:
    static constexpr const char* key = "rules";

    explicit RuleStore(Defaults& d);

    // Zoom and the system settings float, the calculator is ignored.
    static std::vector<AppRule> builtIns();

    const std::vector<AppRule>& rules() const { return rules_; }
    // Every assignment writes the whole list at once, even when unchanged.
    void setRules(std::vector<AppRule> rules);

    // The first rule for that bundle identifier (exact, case-sensitive match).
    std::optional<AppRule> rule(const std::optional<std::string>& bundleID) const;
    // What a new column of that application starts at: the first rule's width,
    // if that rule has one.
    std::optional<double> ruleWidth(const std::string& bundleID) const;

    // Appends a tile rule of width 0.5 for each application that has a bundle
    // identifier and no rule yet, writing after each append.
    void add(const std::vector<RunningApp>& apps);

    // The settings window's edits; each acts on the first rule of that bundle
    // identifier (the one in force) and writes. False when there is none.
    bool setBehavior(const std::string& bundleID, Behavior b);
    bool setWidth(const std::string& bundleID, std::optional<double> width);
    // Removes every rule of that bundle identifier.
    void remove(const std::string& bundleID);

    // Emitted after every real change of `rules`.
    Signal<> changed;

private:
    template <class Fn>
    bool editFirst(const std::string& bundleID, Fn edit);

    StoredJSON stored_;
    std::vector<AppRule> rules_;
};

}  // namespace tarvela

#include "feedback/store_panes.h"

#include <algorithm>

#include "core/strip.h"
#include "manager/window_manager.h"
#include "settings/key_codes.h"

namespace tarvela {

// ---- Workspaces ----

std::vector<std::string> slotCaps(int slot) {
    if (!validSlot(slot)) return {};
    const KeyBinding b{keycode::digits[static_cast<size_t>(slot)], modmask::controlOption, std::to_string(slot)};
    return b.caps();
}

WorkspacesPane::WorkspacesPane(WorkspaceStore& store, WindowManager& manager, std::function<void()> openSaveDialog)
    : store_(store), manager_(manager), openSaveDialog_(std::move(openSaveDialog)) {
    itemsChanged_ = store_.changed.connect([this] { changed.emit(); });
    activeChanged_ = store_.activeChanged.connect([this] { changed.emit(); });
    Setting<bool>& atStart = manager_.prefs.restoreLastSession;
    bindBool(atStart);
    prefChanged_ = atStart.changed.connect([this](const bool&) { changed.emit(); });
}

std::vector<SettingsRow> WorkspacesPane::rows() const {
    SettingsRow r;
    r.id = manager_.prefs.restoreLastSession.key();
    r.label = workspaces_pane::restoreAtStart;
    r.note = workspaces_pane::restoreAtStartNote;
    r.kind = ControlKind::toggle;
    return {bound(std::move(r))};
}

WorkspacesView WorkspacesPane::view() const {
    using namespace workspaces_pane;
    WorkspacesView v;
    for (const Workspace& ws : store_.items()) {
        WorkspaceCard c;
        c.id = ws.id;
        c.name = ws.name;
        c.apps = ws.appsLine();
        if (ws.slot) c.caps = slotCaps(*ws.slot);
        for (const std::string& cap : c.caps) c.shortcut += cap;
        if (c.caps.empty()) c.shortcut = noShortcut;
        c.active = store_.activeID() == ws.id;
        c.activeMark = c.active ? active : "";
        c.restoreButton = c.active ? workspaces_pane::restored : workspaces_pane::restore;
        c.deleteItem = "Delete “" + ws.name + "”";
        v.cards.push_back(std::move(c));
    }
    if (v.cards.empty()) v.empty = PaneEmptyState{emptyTitle, emptyDetail};
    return v;
}

void WorkspacesPane::restore(const Uuid& id) {
    // A copy: restoring may change the store while it runs.
    if (const Workspace* ws = store_.find(id)) manager_.restore(Workspace(*ws));
}

void WorkspacesPane::remove(const Uuid& id) { store_.remove(id); }

void WorkspacesPane::saveCurrentLayout() {
    if (openSaveDialog_) openSaveDialog_();
}

// ---- App rules ----

std::string behaviorTitle(Behavior b) {
    switch (b) {
        case Behavior::tile: return "Tile";
        case Behavior::floatWin: return "Float";
        case Behavior::ignore: return "Ignore";
    }
    return "Tile";
}

RulesPane::RulesPane(RuleStore& store, std::function<void()> openAddApps)
    : store_(store), openAddApps_(std::move(openAddApps)) {
    rulesChanged_ = store_.changed.connect([this] { changed.emit(); });
}

RulesView RulesPane::view() const {
    RulesView v;
    for (Behavior b : allBehaviors) v.behaviors.emplace_back(b, behaviorTitle(b));
    std::vector<WidthOption> menu{{std::nullopt, rules_pane::defaultWidth}};
    for (double w : {1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0}) menu.push_back({w, Widths::label(w)});
    for (const AppRule& r : store_.rules()) {
        RuleRow row;
        row.bundleID = r.bundleID;
        row.app = r.name;
        row.behavior = r.behavior;
        row.behaviorHelp = "Change behavior for " + r.name;
        row.widthMenu = r.behavior == Behavior::tile;
        row.width = row.widthMenu ? Widths::label(r.width) : "—";
        row.widths = menu;
        if (row.widthMenu && r.width) {
            // Entries are matched as they read: a width within a hair of ⅓ is the ⅓ entry.
            const auto first = row.widths.begin() + 1;
            auto at = std::find_if(first, row.widths.end(), [&](const WidthOption& o) { return o.label == row.width; });
            if (at == row.widths.end()) {
                at = std::find_if(first, row.widths.end(), [&](const WidthOption& o) { return *o.width > *r.width; });
                at = row.widths.insert(at, {r.width, row.width});
            }
            row.widthChoice = static_cast<size_t>(at - row.widths.begin());
        }
        row.removeHelp = "Remove rule for " + r.name;
        v.rows.push_back(std::move(row));
    }
    if (v.rows.empty()) v.empty = PaneEmptyState{rules_pane::empty, ""};
    return v;
}

void RulesPane::setBehavior(const std::string& bundleID, Behavior b) { store_.setBehavior(bundleID, b); }

void RulesPane::setWidth(const std::string& bundleID, std::optional<double> width) {
    store_.setWidth(bundleID, width);
}

void RulesPane::remove(const std::string& bundleID) { store_.remove(bundleID); }

void RulesPane::addApps() {
    if (openAddApps_) openAddApps_();
}

}  // namespace tarvela

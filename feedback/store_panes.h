// The two settings panes over the stores: saved workspaces (cards to restore
// or delete, and the way to the save dialog) and app rules (one row per rule
// with its behaviour and width, and the way to the add-apps dialog). Every
// edit goes to the store at once; each pane's `changed` follows its store, so
// an import or a save elsewhere redraws it. Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/enums.h"
#include "feedback/settings_panes.h"
#include "settings/rules.h"
#include "core/signal.h"
#include "settings/workspaces.h"

namespace tarvela {

class WindowManager;

struct PaneEmptyState {
    std::string title;
    std::string detail;  // may be empty
};

// ---- Workspaces ----

namespace workspaces_pane {
inline constexpr const char* intro =
    "Save the apps, columns and widths on a display, then bring them back with one shortcut.";
inline constexpr const char* noShortcut = "No shortcut";
inline constexpr const char* active = "Active";
inline constexpr const char* restore = "Restore";
inline constexpr const char* restored = "Restored";
inline constexpr const char* save = "Save current layout";
inline constexpr const char* emptyTitle = "No saved layouts";
inline constexpr const char* emptyDetail = "Arrange your windows, then save the layout from here.";
inline constexpr const char* restoreAtStart = "Restore the last session at start";
inline constexpr const char* restoreAtStartNote =
    "Every display’s layout is kept as “Last session” when Tarvela quits and every 5 minutes.";
}  // namespace workspaces_pane

// The key caps of a workspace slot's shortcut: "⌃", "⌥", "7".
std::vector<std::string> slotCaps(int slot);

struct WorkspaceCard {
    Uuid id;
    std::string name;
    std::string apps;               // every app's name, column by column
    std::vector<std::string> caps;  // the shortcut's key caps; empty without one
    std::string shortcut;           // "⌃⌥7", or "No shortcut"
    bool active = false;
    std::string activeMark;     // "Active" on the active one, else empty
    std::string restoreButton;  // "Restore", or "Restored" on the active one
    std::string deleteItem;     // "Delete “Deep work”"
};

struct WorkspacesView {
    std::string intro = workspaces_pane::intro;
    std::vector<WorkspaceCard> cards;
    std::optional<PaneEmptyState> empty;  // without any saved workspace
    std::string saveButton = workspaces_pane::save;
};

// The cards, and as rows the switch for the last session at start.
class WorkspacesPane final : public RowPane {
public:
    // `openSaveDialog` opens the save-layout dialog.
    WorkspacesPane(WorkspaceStore& store, WindowManager& manager, std::function<void()> openSaveDialog);

    WorkspacesView view() const;
    std::vector<SettingsRow> rows() const override;
    void restore(const Uuid& id);
    // Removes it from the store, which writes the list; the shortcuts re-register on that.
    void remove(const Uuid& id);
    void saveCurrentLayout();

private:
    WorkspaceStore& store_;
    WindowManager& manager_;
    std::function<void()> openSaveDialog_;
    Connection itemsChanged_;
    Connection activeChanged_;
    Connection prefChanged_;
};

// ---- App rules ----

namespace rules_pane {
inline constexpr const char* intro =
    "Decide how each app behaves the moment its window opens. Click a behavior to change it.";
inline constexpr const char* appHeading = "App";
inline constexpr const char* behaviorHeading = "Behavior";
inline constexpr const char* widthHeading = "Width";
inline constexpr const char* add = "Add apps";
inline constexpr const char* empty = "No rules yet. Add apps to choose how they open.";
inline constexpr const char* footnote = "Apps without a rule open as a new column next to the focused window.";
// The width menu's entry for a rule without a width of its own.
inline constexpr const char* defaultWidth = "Default width";
}  // namespace rules_pane

std::string behaviorTitle(Behavior b);

struct WidthOption {
    std::optional<double> width;  // none: the default width
    std::string label;
};

struct RuleRow {
    std::string bundleID;
    std::string app;
    Behavior behavior = Behavior::tile;
    std::string behaviorHelp;  // "Change behavior for Zoom"
    std::string width;         // Widths::label of the rule's width; "—" unless it tiles
    bool widthMenu = false;    // only a tiling rule's width can be chosen
    std::string removeHelp;    // "Remove rule for Zoom"
    // The width menu: the default width, the usual fractions, and the rule's
    // own width where it is none of them (set by an import or an older
    // version), so the menu never shows another width than the rule has.
    std::vector<WidthOption> widths;
    size_t widthChoice = 0;  // the rule's width in `widths`
};

struct RulesView {
    std::string intro = rules_pane::intro;
    std::vector<std::string> headings{rules_pane::appHeading, rules_pane::behaviorHeading, rules_pane::widthHeading};
    std::vector<RuleRow> rows;
    std::optional<PaneEmptyState> empty;  // without any rule
    std::string footnote = rules_pane::footnote;
    std::string addButton = rules_pane::add;
    // What the behaviour control offers, in order.
    std::vector<std::pair<Behavior, std::string>> behaviors;
};

class RulesPane {
public:
    // `openAddApps` opens the add-apps dialog.
    RulesPane(RuleStore& store, std::function<void()> openAddApps);
    RulesPane(const RulesPane&) = delete;
    RulesPane& operator=(const RulesPane&) = delete;

    RulesView view() const;
    void setBehavior(const std::string& bundleID, Behavior b);
    void setWidth(const std::string& bundleID, std::optional<double> width);
    void remove(const std::string& bundleID);
    void addApps();

    Signal<> changed;

private:
    RuleStore& store_;
    std::function<void()> openAddApps_;
    Connection rulesChanged_;
};

}  // namespace tarvela

// The two small dialogs of the settings window: saving the current display's
// layout as a workspace, and picking running applications to give a rule.
// Each holds the dialog's state (what is typed and chosen) and ends by
// calling its `close`, which the widget turns into closing its window.
// Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/platform.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;
class WorkspaceStore;
class RuleStore;
class Hotkeys;

// ---- Save layout ----

namespace save_dialog {
inline constexpr const char* title = "Save current layout";
inline constexpr const char* note = "Remember these apps, columns and widths so you can bring them back later.";
inline constexpr const char* nameLabel = "Name";
inline constexpr const char* initialName = "Deep work";
inline constexpr const char* shortcutLabel = "Shortcut";
inline constexpr const char* noShortcut = "None";
inline constexpr const char* cancel = "Cancel";
inline constexpr const char* save = "Save layout";
}  // namespace save_dialog

struct SlotOption {
    std::optional<int> slot;  // none: no shortcut
    std::string label;        // "None", "⌃⌥5"
};

// One column of the strip the dialog would save: its width and its windows'
// applications, top to bottom.
struct SavedColumn {
    struct App {
        std::string name;
        std::string appId;
        ImageRef icon;
    };
    double frac = 0.5;
    bool focused = false;
    std::vector<App> apps;
};

class SaveLayoutDialog {
public:
    // The slots offered are those free when the dialog opens.
    SaveLayoutDialog(WindowManager& manager, const WorkspaceStore& store, const Hotkeys& hotkeys,
                     std::function<void()> close);

    // "None" first, then every free slot in the store's order (5 to 9, then 0).
    const std::vector<SlotOption>& options() const { return options_; }
    // Index into options(); initially the first free slot, or "None" when all are taken.
    int selected() const { return selected_; }
    void select(int index);

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // A name with something besides spaces in it.
    bool canSave() const;

    // The current display's strip as it would be saved; empty without windows.
    // It follows the strip: `stripChanged` says when to ask again.
    std::vector<SavedColumn> preview() const;
    Signal<>& stripChanged();

    void cancel();
    // Saves the current display's strip under the name and chosen slot, then closes.
    void save();

private:
    WindowManager& manager_;
    std::function<void()> close_;
    std::vector<SlotOption> options_;
    int selected_ = 0;
    std::string name_ = save_dialog::initialName;
};

// ---- Add apps ----

namespace add_apps_dialog {
inline constexpr const char* intro =
    "Pick running apps to create rules for. You can change how each one behaves afterwards.";
inline constexpr const char* search = "Search apps";
inline constexpr const char* cancel = "Cancel";
inline constexpr const char* allCovered = "Every running app already has a rule.";
}  // namespace add_apps_dialog

struct AppChoice {
    std::string bundleID;
    std::string name;
    ImageRef icon;
    bool selected = false;
};

class AddAppsDialog {
public:
    // Tarvela itself is never offered.
    AddAppsDialog(Platform& platform, RuleStore& rules, std::function<void()> close);

    // The applications to offer, by name, that match the search text.
    std::vector<AppChoice> visible() const;
    // Whether there is any application without a rule at all; when not, the
    // dialog shows add_apps_dialog::allCovered instead of a list.
    bool allCovered() const { return candidates_.empty(); }
    std::string allCoveredText() const { return add_apps_dialog::allCovered; }

    const std::string& search() const { return search_; }
    void setSearch(std::string text);
    void toggle(const std::string& bundleID);

    int count() const { return static_cast<int>(selected_.size()); }
    std::string countText() const;  // "2 selected"
    std::string addButton() const;  // "Add 2"
    bool canAdd() const { return count() > 0; }

    // Reads the running applications again (one launched or quit meanwhile).
    void refresh();
    void cancel();
    // One tiling rule per selected application, then closes.
    void add();

    Signal<> changed;

private:
    Platform& platform_;
    RuleStore& rules_;
    std::function<void()> close_;
    std::vector<RunningApp> candidates_;  // by name, one per bundle identifier
    std::set<std::string> selected_;
    std::string search_;
};

}  // namespace tarvela

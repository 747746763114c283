#include "feedback/settings_dialogs.h"

#include <algorithm>
#include <cctype>

#include "feedback/store_panes.h"
#include "input/hotkeys.h"
#include "manager/window_manager.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

namespace tarvela {

namespace {
// Runs a copy: closing the window may end the object that holds `close`.
void closeWindow(std::function<void()> close) {
    if (close) close();
}
}  // namespace

namespace {
std::string folded(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

// ---- Save layout ----

SaveLayoutDialog::SaveLayoutDialog(WindowManager& manager, const WorkspaceStore& store, const Hotkeys& hotkeys,
                                   std::function<void()> close)
    : manager_(manager), close_(std::move(close)) {
    options_.push_back({std::nullopt, save_dialog::noShortcut});
    for (int slot : store.freeSlots(hotkeys.slotsTakenByActions())) {
        std::string label;
        for (const std::string& cap : slotCaps(slot)) label += cap;
        options_.push_back({slot, label});
    }
    selected_ = options_.size() > 1 ? 1 : 0;
}

void SaveLayoutDialog::select(int index) {
    if (index >= 0 && index < static_cast<int>(options_.size())) selected_ = index;
}

bool SaveLayoutDialog::canSave() const {
    return std::any_of(name_.begin(), name_.end(), [](char c) { return !std::isspace(static_cast<unsigned char>(c)); });
}

std::vector<SavedColumn> SaveLayoutDialog::preview() const {
    std::vector<SavedColumn> out;
    const StripRef s = manager_.cur();
    if (!s) return out;
    for (size_t i = 0; i < s->cols.size(); ++i) {
        SavedColumn c{s->cols[i].frac, static_cast<int>(i) == s->focusC, {}};
        for (const Item& it : s->cols[i].items) c.apps.push_back({it.app, it.bundleID.value_or(""), it.icon});
        out.push_back(std::move(c));
    }
    return out;
}

Signal<>& SaveLayoutDialog::stripChanged() { return manager_.changed; }

void SaveLayoutDialog::cancel() {
    closeWindow(close_);
}

void SaveLayoutDialog::save() {
    if (!canSave()) return;
    manager_.saveWorkspace(name_, options_[static_cast<size_t>(selected_)].slot);
    closeWindow(close_);
}

// ---- Add apps ----

AddAppsDialog::AddAppsDialog(Platform& platform, RuleStore& rules, std::function<void()> close)
    : platform_(platform), rules_(rules), close_(std::move(close)) {
    refresh();
}

void AddAppsDialog::refresh() {
    candidates_.clear();
    const int32_t own = platform_.ownPid();
    std::set<std::string> seen;
    for (RunningApp& app : platform_.runningApplications()) {
        if (app.pid == own || !app.bundleIdentifier || rules_.rule(app.bundleIdentifier)) continue;
        // Several processes of one application share its identifier; one rule covers them all.
        if (!seen.insert(*app.bundleIdentifier).second) continue;
        if (!app.localizedName) app.localizedName = app.bundleIdentifier;
        candidates_.push_back(std::move(app));
    }
    std::stable_sort(candidates_.begin(), candidates_.end(), [](const RunningApp& a, const RunningApp& b) {
        return folded(*a.localizedName) < folded(*b.localizedName);
    });
    // A selection whose application has gone or got a rule meanwhile is dropped.
    std::erase_if(selected_, [&](const std::string& id) { return !seen.count(id); });
    changed.emit();
}

std::vector<AppChoice> AddAppsDialog::visible() const {
    const std::string needle = folded(search_);
    std::vector<AppChoice> out;
    for (const RunningApp& app : candidates_) {
        if (!needle.empty() && folded(*app.localizedName).find(needle) == std::string::npos &&
            folded(*app.bundleIdentifier).find(needle) == std::string::npos)
            continue;
        out.push_back({*app.bundleIdentifier, *app.localizedName, app.icon, selected_.count(*app.bundleIdentifier) > 0});
    }
    return out;
}

void AddAppsDialog::setSearch(std::string text) {
    search_ = std::move(text);
    changed.emit();
}

void AddAppsDialog::toggle(const std::string& bundleID) {
    const bool known = std::any_of(candidates_.begin(), candidates_.end(),
                                   [&](const RunningApp& a) { return *a.bundleIdentifier == bundleID; });
    if (!known) return;
    if (!selected_.erase(bundleID)) selected_.insert(bundleID);
    changed.emit();
}

std::string AddAppsDialog::countText() const { return std::to_string(count()) + " selected"; }

std::string AddAppsDialog::addButton() const { return "Add " + std::to_string(count()); }

void AddAppsDialog::cancel() {
    closeWindow(close_);
}

void AddAppsDialog::add() {
    std::vector<RunningApp> chosen;
    // In the order the list shows them, so the new rules read the same way.
    for (const RunningApp& app : candidates_)
        if (selected_.count(*app.bundleIdentifier)) chosen.push_back(app);
    if (chosen.empty()) return;
    rules_.add(chosen);
    selected_.clear();
    closeWindow(close_);
}

}  // namespace tarvela

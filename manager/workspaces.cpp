// Saved workspaces: saving the current strip, restoring one (launching what is
// missing, then drawing windows of every display into the saved columns) and
// the one notice per activation when a workspace stops matching.
#include <algorithm>
#include <iterator>
#include <map>
#include <set>

#include "core/window_access.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {
constexpr double launchWait = 2.5;

// Applications without a bundle identifier are saved and matched by name.
std::string keyOf(const Item& it) { return it.bundleID.value_or(it.app); }
}  // namespace

void WindowManager::saveWorkspace(const std::string& name, std::optional<int> slot) {
    StripRef s = cur();
    if (!s) return;
    Workspace ws;
    ws.id = Uuid::random();
    ws.name = name;
    ws.display = s->index;
    ws.layout = s->layout;
    for (const Col& col : s->cols) {
        std::vector<WSApp> apps;
        for (const Item& it : col.items) apps.push_back(WSApp{keyOf(it), it.app});
        ws.columns.push_back(std::move(apps));
        ws.widths.push_back(col.frac);
    }
    ws.slot = slot;
    const Uuid id = ws.id;
    const Workspace saved = ws;
    // The store announces the new list; the shortcuts re-register on that.
    workspaces_.append(std::move(ws));
    workspaces_.setActiveID(id);
    workspaceDesk_ = desktop();
    workspaceSaved.emit(saved);
}

void WindowManager::restore(const Workspace& ws) {
    if (!on() || paused()) {
        note.set("Turn Tarvela on to restore a workspace.");
        return;
    }
    std::set<std::string> wanted;
    for (const auto& col : ws.columns)
        for (const WSApp& a : col) wanted.insert(a.bundleID);
    std::set<std::string> running;
    for (const RunningApp& app : platform_.runningApplications()) {
        if (app.bundleIdentifier)
            running.insert(*app.bundleIdentifier);
        else if (app.localizedName)
            running.insert(*app.localizedName);  // saved under its name, see keyOf
    }
    std::vector<std::string> missing;
    std::set_difference(wanted.begin(), wanted.end(), running.begin(), running.end(), std::back_inserter(missing));
    for (const std::string& id : missing)
        if (platform_.isApplicationInstalled(id)) {
            const std::string startup = newStartupId();
            noteLaunch(startup);
            platform_.launchApplication(id, startup);
        }
    if (missing.empty()) {
        main_.post(life_.guard([this, ws] { finishRestore(ws); }));
    } else {
        later(launchWait, [this, ws] { finishRestore(ws); });
    }
}

void WindowManager::finishRestore(const Workspace& ws) {
    const std::vector<StripRef> list = strips();
    if (list.empty()) return;
    StripRef T = ws.display >= 0 && ws.display < static_cast<int>(list.size()) ? list[static_cast<size_t>(ws.display)]
                                                                                   : cur();

    std::map<std::string, std::vector<Item>> pool;
    std::vector<AXElement> managed;
    for (const StripRef& s : list)
        for (const Col& col : s->cols)
            for (const Item& it : col.items) {
                pool[keyOf(it)].push_back(it);
                managed.push_back(it.el);
            }
    for (const Win& w : tileableWindows(platform_)) {
        if (std::find(managed.begin(), managed.end(), w.el) != managed.end()) continue;
        // A workspace is laid out on the desktop shown; other desktops keep their windows.
        if (const int d = stripDesktop(w.el); d >= 0 && d != desktop()) continue;
        // The rules keep these out of every strip, a workspace included.
        if (ruleExcludes(w.app.bundleIdentifier)) continue;
        Item it = Item::make(w.el, w.app);
        pool[keyOf(it)].push_back(std::move(it));
    }

    std::vector<AXElement> used;
    std::vector<Col> columns;
    int total = 0;
    int found = 0;
    for (size_t j = 0; j < ws.columns.size(); ++j) {
        Col col;
        for (const WSApp& entry : ws.columns[j]) {
            ++total;
            auto p = pool.find(entry.bundleID);
            if (p == pool.end() || p->second.empty()) continue;
            Item it = std::move(p->second.front());
            p->second.erase(p->second.begin());
            used.push_back(it.el);
            col.items.push_back(std::move(it));
            ++found;
        }
        if (col.items.empty()) continue;
        col.frac = j < ws.widths.size() ? ws.widths[j] : 0.5;
        columns.push_back(std::move(col));
    }
    auto isUsed = [&](const AXElement& el) { return std::find(used.begin(), used.end(), el) != used.end(); };
    for (const Col& col : T->cols)
        for (const Item& it : col.items) {
            if (isUsed(it.el)) continue;
            Col single;
            single.frac = Strip::defaultFrac(it, Layout::strip, &widths_);
            single.items.push_back(it);
            columns.push_back(std::move(single));
        }
    // A floated window drawn into the workspace is tiled now; it must not
    // stay floating as well.
    std::erase_if(floating, isUsed);
    for (const StripRef& s : list) {
        if (s == T) continue;
        for (const AXElement& el : used)
            if (s->find(el)) s->remove(el);
    }
    T->setColumns(std::move(columns), ws.layout);
    displayIdx.set(T->index);
    workspaces_.setActiveID(ws.id);
    workspaceDesk_ = desktop();
    workspaceRestored.emit(ws);

    if (prefs.notifyRestore() && onNotice) {
        const std::string body = found == total ? "All " + std::to_string(total) + " apps are back in place."
                                                : std::to_string(found) + " of " + std::to_string(total) +
                                                      " apps found. Open the missing ones and restore again.";
        onNotice("Restored " + ws.name, body);
    }
}

void WindowManager::driftCheck(const std::optional<std::string>& reason, const std::vector<std::string>& pruned) {
    if (!prefs.notifyDrift()) return;
    const auto& active = workspaces_.activeID();
    if (!active) return;
    const Workspace* ws = workspaces_.find(*active);
    if (!ws) return;
    std::set<std::string> names;
    for (const auto& col : ws->columns)
        for (const WSApp& a : col) names.insert(a.name);
    std::vector<std::string> candidates;
    if (reason) candidates.push_back(*reason);
    candidates.insert(candidates.end(), pruned.begin(), pruned.end());
    for (const std::string& c : candidates) {
        if (!names.count(c)) continue;
        const std::string title = ws->name + " changed";
        if (onNotice) onNotice(title, c + " closed, so this layout no longer matches your saved workspace.");
        const Workspace drifted = *ws;
        workspaces_.setActiveID(std::nullopt);
        workspaceDrifted.emit(drifted, c);
        return;
    }
}

}  // namespace tarvela

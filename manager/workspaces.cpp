// Saved workspaces: saving the current strip, keeping every display's strip as
// the last session, restoring one (launching what is missing, then drawing
// windows of every display into the saved columns, each saved display's onto
// the display it was) and the one notice per activation when a workspace
// stops matching.
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

WorkspaceDisplay displayOf(const Strip& s) {
    WorkspaceDisplay d{s.index, s.screen.key, s.layout, {}, {}};
    for (const Col& col : s.cols) {
        std::vector<WSApp> apps;
        for (const Item& it : col.items) apps.push_back(WSApp{keyOf(it), it.app});
        d.columns.push_back(std::move(apps));
        d.widths.push_back(col.frac);
    }
    return d;
}

// A new workspace of one strip, which names its display by index.
Workspace workspaceOf(const Strip& s, std::string name) {
    const WorkspaceDisplay d = displayOf(s);
    Workspace ws;
    ws.id = Uuid::random();
    ws.name = std::move(name);
    ws.display = d.display;
    ws.layout = d.layout;
    ws.columns = d.columns;
    ws.widths = d.widths;
    return ws;
}

// Where a saved display's columns go now: the display with its key, else the
// one at its index, else the display worked on.
StripRef placeOf(const WorkspaceDisplay& d, const std::vector<StripRef>& list, const StripRef& current) {
    if (!d.key.empty())
        for (const StripRef& s : list)
            if (s->screen.key == d.key) return s;
    if (d.display >= 0 && d.display < static_cast<int>(list.size())) return list[static_cast<size_t>(d.display)];
    return current;
}
}  // namespace

void WindowManager::saveWorkspace(const std::string& name, std::optional<int> slot) {
    StripRef s = cur();
    if (!s) return;
    Workspace ws = workspaceOf(*s, name);
    ws.slot = slot;
    const Uuid id = ws.id;
    const Workspace saved = ws;
    // The store announces the new list; the shortcuts re-register on that.
    workspaces_.append(std::move(ws));
    workspaces_.setActiveID(id);
    workspaceDesk_ = desktop();
    workspaceSaved.emit(saved);
}

std::optional<Workspace> WindowManager::session() const {
    const StripRef worked = cur();
    if (!worked) return std::nullopt;
    Workspace ws = workspaceOf(*worked, Workspace::lastSessionName);
    ws.lastSession = true;
    ws.displayKey = worked->screen.key;
    for (const StripRef& s : strips())
        if (s != worked) ws.moreDisplays.push_back(displayOf(*s));
    if (ws.entryCount() == 0) return std::nullopt;
    return ws;
}

bool WindowManager::keepLastSession() {
    // Without a window there is nothing to come back to: the session kept stays.
    std::optional<Workspace> ws = session();
    return ws && workspaces_.keepLastSession(std::move(*ws));
}

void WindowManager::restore(const Workspace& ws) {
    if (!on() || paused()) {
        note.set("Turn Tarvela on to restore a workspace.");
        return;
    }
    std::set<std::string> wanted;
    for (const WorkspaceDisplay& d : ws.displays())
        for (const auto& col : d.columns)
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

    // Each strip a saved display lands on, with the layout of the first one
    // landing there; two saved displays on one strip follow each other.
    struct Target {
        StripRef strip;
        Layout layout;
        std::vector<Col> columns;
    };
    std::vector<Target> targets;
    std::vector<AXElement> used;
    int total = 0;
    int found = 0;
    for (const WorkspaceDisplay& saved : ws.displays()) {
        const StripRef T = placeOf(saved, list, cur());
        auto t = std::find_if(targets.begin(), targets.end(), [&](const Target& x) { return x.strip == T; });
        if (t == targets.end()) t = targets.insert(targets.end(), Target{T, saved.layout, {}});
        for (size_t j = 0; j < saved.columns.size(); ++j) {
            Col col;
            for (const WSApp& entry : saved.columns[j]) {
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
            col.frac = j < saved.widths.size() ? saved.widths[j] : 0.5;
            t->columns.push_back(std::move(col));
        }
    }
    auto isUsed = [&](const AXElement& el) { return std::find(used.begin(), used.end(), el) != used.end(); };
    auto isTarget = [&](const StripRef& s) {
        return std::any_of(targets.begin(), targets.end(), [&](const Target& t) { return t.strip == s; });
    };
    for (Target& t : targets)
        for (const Col& col : t.strip->cols)
            for (const Item& it : col.items) {
                if (isUsed(it.el)) continue;
                Col single;
                single.frac = Strip::defaultFrac(it, Layout::strip, &widths_);
                single.items.push_back(it);
                t.columns.push_back(std::move(single));
            }
    // A floated window drawn into the workspace is tiled now; it must not
    // stay floating as well.
    std::erase_if(floating, isUsed);
    for (const StripRef& s : list) {
        if (isTarget(s)) continue;
        for (const AXElement& el : used)
            if (s->find(el)) s->remove(el);
    }
    for (Target& t : targets) t.strip->setColumns(std::move(t.columns), t.layout);
    displayIdx.set(targets.front().strip->index);
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
    for (const WorkspaceDisplay& d : ws->displays())
        for (const auto& col : d.columns)
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

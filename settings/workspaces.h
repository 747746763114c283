// Saved workspaces: one display's strip as it was saved (which applications
// sat in which column, top to bottom, with the column widths and the layout),
// restored later by shortcut slot or from the settings window. The last
// session is one more workspace, kept by Tarvela itself: every display's
// strip, marked as the last session (never found by its name), no slot.
//
// Stored under "workspaces" as one JSON array, rewritten whole on every change
// and read once at construction, all or nothing (an unreadable value gives an
// empty list and stays stored until the next change, which sets it aside
// first; see StoredJSON). `activeID` is never stored.
//
// Slots: a workspace's shortcut is ⌃⌥ plus its slot digit, so a slot is 0 to 9.
// The save dialog only offers 5 to 9 and 0 (1 to 4 jump to columns); a stored
// or imported slot outside 0 to 9 has no key and is read as no slot, keeping
// the workspace itself.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/enums.h"
#include "settings/defaults.h"
#include "core/signal.h"
#include "settings/stores.h"

namespace tarvela {

// A 128-bit identity written as 8-4-4-4-12 upper-case hexadecimal digits;
// parsing accepts either case.
struct Uuid {
    std::array<uint8_t, 16> bytes{};

    static std::optional<Uuid> parse(std::string_view text);
    // A random (version 4) identity.
    static Uuid random();
    static Uuid random(std::mt19937_64& rng);
    std::string str() const;

    auto operator<=>(const Uuid&) const = default;
};

struct WSApp {
    std::string bundleID;  // or the application's name when it has no bundle identifier
    std::string name;

    auto operator<=>(const WSApp&) const = default;
};

// One display's strip within a workspace.
struct WorkspaceDisplay {
    int display = 0;  // the strip's index when saved
    std::string key;  // Screen::key; empty: the display is known by its index only
    Layout layout = Layout::strip;
    std::vector<std::vector<WSApp>> columns;  // left to right; each top to bottom
    std::vector<double> widths;               // one per column, same order

    bool operator==(const WorkspaceDisplay&) const = default;
};

struct Workspace {
    static constexpr const char* lastSessionName = "Last session";

    Uuid id;
    std::string name;
    int display = 0;
    Layout layout = Layout::strip;
    std::vector<std::vector<WSApp>> columns;  // left to right; each top to bottom
    std::vector<double> widths;               // one per column, same order
    std::optional<int> slot;                  // 0 to 9; none = no shortcut
    // The display of the fields above by its key; empty in a workspace the
    // user saved, which names its display by index alone.
    std::string displayKey;
    // The strips of further displays (the last session keeps every display);
    // a user's workspace has none.
    std::vector<WorkspaceDisplay> moreDisplays;
    // Kept by Tarvela as the last session: found by this mark, so that a
    // workspace the user named "Last session" is never taken for it.
    bool lastSession = false;

    // Every display's strip: the first from the fields above, then moreDisplays.
    std::vector<WorkspaceDisplay> displays() const;
    // Every entry's name, display by display, column by column, top to bottom, joined by ", ".
    std::string appsLine() const;
    // Saved entries on every display.
    size_t entryCount() const;

    bool operator==(const Workspace&) const = default;
};

inline bool validSlot(int slot) { return slot >= 0 && slot <= 9; }

// {"id": uuid, "name": s, "display": n, "layout": raw, "columns": [[{"bundleID",
// "name"}]], "widths": [x], "slot": n}, "slot" left out when absent. The last
// session adds "displayKey": s, "displays": [{"display", "key", "layout",
// "columns", "widths"}] and "lastSession": true, each left out when empty or
// false, so a user's workspace is written as it always was and an older file
// reads as before.
Json toJSON(const WSApp& a);
Json toJSON(const Workspace& w);
Json toJSON(const WorkspaceDisplay& d);
Workspace workspaceFromJSON(const Json& j, const std::string& path = "");
Json workspacesToJSON(const std::vector<Workspace>& items);
std::vector<Workspace> workspacesFromJSON(const Json& j, const std::string& path = "");

class WorkspaceStore {
public:
    static constexpr const char* key = "workspaces";

    explicit WorkspaceStore(Defaults& d);

    const std::vector<Workspace>& items() const { return items_; }
    // Writes the list at once, even when unchanged; `changed` follows a real
    // change, and the shortcuts re-register on it.
    void setItems(std::vector<Workspace> items);
    // Appends at the end; nothing is replaced, even with a repeated name or slot.
    void append(Workspace ws);
    // Removes every workspace with that id; clears `activeID` when it was that one.
    void remove(const Uuid& id);
    // Writes `items` as they are.
    void save();
    // Keeps `session` as the last session: in place of the one kept before
    // (with its id, so an active mark stays; any further marked entry goes),
    // or at the end. Marks it and drops any slot. Writes nothing and returns
    // false when the same is kept already.
    bool keepLastSession(Workspace session);
    // The last session kept, if any.
    const Workspace* lastSession() const;

    // 5, 6, 7, 8, 9, 0 less the slots in use and those whose ⌃⌥ digit
    // `takenByShortcuts` names: a slot whose combination another shortcut
    // holds could not be registered. The shortcuts know which those are
    // (Hotkeys::slotsTakenByActions).
    std::vector<int> freeSlots(const std::set<int>& takenByShortcuts) const;
    // The first workspace with that id / slot, in stored order.
    const Workspace* find(const Uuid& id) const;
    const Workspace* forSlot(int slot) const;

    const std::optional<Uuid>& activeID() const { return activeID_; }
    void setActiveID(std::optional<Uuid> id);

    // After every real change of `items` (the shortcuts listen here).
    Signal<> changed;
    Signal<> activeChanged;

private:
    StoredJSON stored_;
    std::vector<Workspace> items_;
    std::optional<Uuid> activeID_;
};

}  // namespace tarvela

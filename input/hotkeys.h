// Global keyboard shortcuts: one hot key per action, four for jumping to
// columns 1 to 4, nine for each action on desktops 1 to 9, and one per saved
// workspace with a slot.
//
// Hot-key numbers: 1 to 21 are the actions in `allActions` order (the digit
// rows' own numbers are never registered), 101 to 104 jump to column 1 to 4,
// 200 to 209 restore the workspace of slot 0 to 9, 301 to 309 go to desktop
// 1 to 9, 311 to 319 send the window there and 321 to 329 its column.
//
// Custom bindings persist under "shortcuts" as one JSON object keyed by action
// raw value, read once at construction, all or nothing (unreadable = every
// action on its default, the value set aside before the next change
// overwrites it). Every change of the bindings writes them and re-registers;
// so does every change of the saved workspaces.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/lifetime.h"
#include "core/signal.h"
#include "input/hotkey_service.h"
#include "manager/actions.h"
#include "settings/defaults.h"
#include "settings/export.h"
#include "settings/key_codes.h"
#include "settings/workspaces.h"

namespace tarvela {

std::string_view rawValue(Action a);
std::optional<Action> actionFromRaw(std::string_view raw);
// The user-facing title: "Focus next column", "Jump to column 1–4", ...
std::string label(Action a);
KeyBinding defaultBinding(Action a);
// Position in `allActions`.
int position(Action a);

struct ActionGroup {
    std::string title;
    std::vector<Action> actions;
};
// How the shortcut list is laid out: "Move around", "Shape columns", "Layouts and overview".
const std::vector<ActionGroup>& actionGroups();

class Hotkeys final : public BindingsStore {
public:
    static constexpr const char* key = "shortcuts";

    // `workspaces` may be null (no workspace shortcuts); when given, every real
    // change of its list re-registers.
    Hotkeys(Defaults& d, HotkeyService& service, WorkspaceStore* workspaces);
    // Unregisters what it holds; the service's handler then does nothing.
    ~Hotkeys();
    Hotkeys(const Hotkeys&) = delete;
    Hotkeys& operator=(const Hotkeys&) = delete;

    // Custom bindings only; an action without an entry uses its default.
    const Bindings& bindings() const override { return bindings_; }
    // Saves (on success) and re-registers. An empty map resets every action.
    void setBindings(Bindings b) override;
    // The binding in force for an action: custom, else default.
    KeyBinding effective(Action a) const;
    // A default that another action's custom binding already holds gives way:
    // settings written before that default existed keep working as they did.
    bool yields(Action a) const;

    // Stores a custom binding; jump keeps key code 18 and "1–4" and takes only the modifiers.
    void set(Action a, const KeyBinding& binding);

    // Unregisters everything, then registers the actions, the jumps and the
    // workspace slots again. A refused registration is logged and skipped.
    void registerAll();
    // Unregisters everything (while a shortcut is being recorded).
    void suspend();

    // What already uses `binding`, other than `excluding`: an action's label or
    // a workspace's name; none when it is free.
    std::optional<std::string> conflict(const KeyBinding& binding, Action excluding) const;

    // The digits whose ⌃⌥ combination an action's binding holds, so that no
    // workspace slot is offered that could not be registered.
    std::set<int> slotsTakenByActions() const;

    // A pressed hot-key number (see the table above).
    void fire(uint32_t number);

    std::function<void(Action, int)> onAction;
    std::function<void(int)> onWorkspace;

    bool installed() const { return installed_; }
    size_t registeredCount() const { return refs_.size(); }

    // After every real change of `bindings`.
    Signal<> changed;

private:
    void installIfNeeded();
    void reg(uint32_t keyCode, uint32_t mods, uint32_t number);
    void save();

    StoredJSON stored_;
    HotkeyService& service_;
    WorkspaceStore* workspaces_;
    Bindings bindings_;
    std::vector<HotkeyHandle> refs_;
    bool installed_ = false;
    Connection workspacesChanged_;
    // The installed handler reaches this object only while it lives.
    Lifetime life_;
};

}  // namespace tarvela

// What the scripting interface's commands do, and the state they report.
// Whatever moves windows goes through the manager's one way in, as the
// shortcuts, the HUD and the tray do, so nothing does while Tarvela is off or
// paused; preferences change as the settings window and the popover change
// them. Main thread only.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/platform.h"
#include "feedback/popover_model.h"
#include "ipc/ipc_protocol.h"
#include "manager/window_manager.h"
#include "settings/prefs.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

namespace tarvela {

// A request that was well formed but cannot be carried out; its text is the reply's error.
struct IpcError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct IpcDeps {
    WindowManager& manager;
    Prefs& prefs;
    RuleStore& rules;
    WorkspaceStore& workspaces;
    Platform& platform;
    // The shortcuts' action entry point.
    std::function<void(Action, int)> perform;
};

// One preference as scripts see it: its current value and a checked assignment.
struct IpcPreference {
    std::string name;
    std::function<Json()> get;
    // Throws IpcError for a value of the wrong type or out of range.
    std::function<void(const Json&)> set;
};

class IpcCommands {
public:
    explicit IpcCommands(IpcDeps deps);

    // Runs a validated request other than sync and subscribe (the server's own);
    // returns the reply's result or throws IpcError.
    Json run(const ipc::Request& r);

    // Whether every strip is at rest (no slide, no free scroll).
    bool settled() const;

    const std::vector<IpcPreference>& preferences() const { return prefs_; }
    Json displays() const;
    Json desktops() const;
    // Desktop N (from 1) or the one of that name, from 0; an IpcError for none.
    int desktopIndex(const Json& which) const;
    Json strips() const;
    Json windows() const;
    Json preferenceValues() const;
    Json workspaceList() const;

    IpcDeps& deps() { return d_; }

private:
    Json get(const std::string& what, const std::string* name) const;
    void set(const std::string& name, const Json& value);
    Json restore(const Json& which);

    IpcDeps d_;
    PopoverActions popover_;
    std::vector<IpcPreference> prefs_;
};

// A window's place for scripts: columns and rows count from 1, as `jump` does.
Json windowJSON(Platform& platform, const Item& it, int strip, int col, int row);
Json stripJSON(const Strip& s);

}  // namespace tarvela

// The settings window's six panes over a SettingsTest's manager and stores,
// none of them hooked to anything beyond.
#pragma once

#include "tests/feedback/settings_fixture.h"
#include "ui/settings_window.h"

namespace tarvela::testing {

struct PaneSet {
    PaneSet(Prefs& prefs, WindowManager& wm, ExportImport& transfer, RecordingMail& mail,
            const std::filesystem::path& folder, Hotkeys& hotkeys, WorkspaceStore& workspaces, RuleStore& rules)
        : general({prefs, wm, transfer, mail, folder, {}, {}, {}, {}, {}, {}}),
          shortcuts(hotkeys, [] {}),
          gestures(prefs),
          workspacesPane(workspaces, wm, {}),
          rulesPane(rules, {}),
          updates(prefs, nullptr) {}
    SettingsPanes all(std::function<std::optional<KeyEvent>(const QKeyEvent&)> keys = {}) {
        return {general, shortcuts, gestures, workspacesPane, rulesPane, updates, std::move(keys)};
    }
    GeneralPane general;
    ShortcutsPane shortcuts;
    GesturesPane gestures;
    WorkspacesPane workspacesPane;
    RulesPane rulesPane;
    UpdatesPane updates;
};

}  // namespace tarvela::testing

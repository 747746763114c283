// The settings window's content and Tarvela's small windows, drawn with plain
// Qt controls over the panes' and dialogs' view models: every text, value and
// action comes from them, and each view redraws itself when its model says
// something changed.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "feedback/permission_view.h"
#include "feedback/settings_dialogs.h"
#include "feedback/settings_panes.h"
#include "feedback/shortcuts_pane.h"
#include "feedback/store_panes.h"
#include "settings/key_codes.h"
#include "core/signal.h"

class QKeyEvent;
class QListWidget;
class QStackedWidget;
class QVBoxLayout;

namespace tarvela {

// A widget whose content is rebuilt from its model after every change (on
// the next turn of the loop, so that a control may change the model from its
// own signal). Widgets added to `outer_` before the first build stay put.
class ModelView : public QWidget {
public:
    void rebuildSoon();
    void rebuild();

protected:
    ModelView();
    virtual void build(QVBoxLayout& into) = 0;
    QVBoxLayout* outer_;
    Connection link_;

private:
    QWidget* page_ = nullptr;
    bool pending_ = false;
};

struct SettingsPanes {
    GeneralPane& general;
    ShortcutsPane& shortcuts;
    GesturesPane& gestures;
    WorkspacesPane& workspaces;
    RulesPane& rules;
    UpdatesPane& updates;
    // A key press as the shortcut recorder reads it; none for keys it cannot name.
    std::function<std::optional<KeyEvent>(const QKeyEvent&)> keyEvent;
};

class SettingsWindow final : public QWidget {
public:
    // Opens on `shown` and keeps it current, whoever changes the pane, so
    // that the next window opens where this one was.
    SettingsWindow(SettingsPanes panes, SettingsPane& shown);
    void select(SettingsPane pane);
    SettingsPane selected() const { return shown_; }

private:
    QListWidget* sidebar_;
    QStackedWidget* stack_;
    SettingsPane& shown_;
};

// Whether the Shortcuts pane is recording a shortcut: it then holds the
// keyboard, and every key is its own, the menu's Ctrl stand-ins among them.
bool recordingShortcut();

class PermissionWindow final : public ModelView {
public:
    explicit PermissionWindow(PermissionView& view);

private:
    void build(QVBoxLayout& into) override;
    PermissionView& view_;
};

class SaveLayoutWindow final : public QWidget {
public:
    explicit SaveLayoutWindow(SaveLayoutDialog& dialog);

private:
    Connection link_;
};

class AddAppsWindow final : public ModelView {
public:
    explicit AddAppsWindow(AddAppsDialog& dialog);

private:
    void build(QVBoxLayout& into) override;
    AddAppsDialog& dialog_;
};

}  // namespace tarvela

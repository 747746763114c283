// The router of the executable: Tarvela's own windows in Qt, one of each kind,
// over the shell's preferences, stores and manager. Before the shell is
// attached (and after), it says in the log what a window would have shown.
#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/router.h"
#include "feedback/settings_panes.h"
#include "settings/key_codes.h"
#include "ui/own_windows.h"

class QKeyEvent;

namespace tarvela {

class Platform;
class Shell;
class SettingsWindow;
struct RouterModels;

struct QtRouterDeps {
    Shell& shell;
    Platform& platform;
    std::function<bool()> compositing;
    // Asks the window manager holding the display to hand it over (as --replace does).
    std::function<void()> takeOver;
    // A key press as the shortcut recorder reads it; none for keys it cannot name.
    std::function<std::optional<KeyEvent>(const QKeyEvent&)> keyEvent;
};

class QtRouter final : public Router {
public:
    QtRouter();
    ~QtRouter() override;

    void settings(const std::optional<std::string>& pane) override;
    void onboarding() override;
    void permissionLost() override;
    void preview(const std::string& name) override;
    void softwareUpdate() override;
    void addApps();
    void saveWorkspace();

    std::function<void()>& completeOnboarding() { return headless_.completeOnboarding; }
    // Once the shell exists; until then, and after detach(), windows only say in the log what they would show.
    void attach(QtRouterDeps deps);
    void detach();
    // The compositing manager came or went.
    void compositingChanged();
    OwnWindows& windows() { return windows_; }

private:
    HeadlessRouter headless_;
    std::unique_ptr<RouterModels> m_;
    OwnWindows windows_;
    QPointer<SettingsWindow> settingsView_;
    // The pane last shown: a settings window opened without one opens there.
    SettingsPane pane_ = SettingsPane::general;
};

}  // namespace tarvela

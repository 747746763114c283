// Everything of the shell that is on screen, around the headless Shell: the
// HUD, the toasts, the tray item with its menu and popover, the application's
// light or dark look, and the Command-key equivalents of every Tarvela window
// (Ctrl here, as this desktop has no global menu bar).
#pragma once

#include <QMenu>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform.h"
#include "settings/appearance.h"
#include "core/signal.h"

namespace tarvela {

class HUDPanel;
class Toast;
class StatusController;
class PopoverActions;
class TextMetrics;
class HUDWidget;
class ToastWindows;
class TrayItem;
class PopoverWidget;

class QtAppearance final : public AppearanceHook {
public:
    QtAppearance();
    void setAppearance(Appearance a) override;
    // Heard after every change, once the new palette is in place.
    void onChanged(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    QPalette system_;
    std::function<void()> changed_;
};

// The application menu's Command-key equivalents, Ctrl here, for every
// Tarvela window: Ctrl+, opens the settings, H hides every window, Q quits,
// W closes the window and M minimises it. While a shortcut is recorded they
// stand aside: the recorder gets every key.
class MenuKeys final : public QObject {
public:
    MenuKeys(std::function<void()> openSettings, std::function<void()> hideAll, std::function<void()> quit);
    ~MenuKeys() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    std::function<void()> openSettings_, hideAll_, quit_;
};

struct ShellWindowsDeps {
    // The shell's panels; the popover acts through its PopoverActions.
    HUDPanel& hud;
    Toast& toast;
    StatusController& status;
    PopoverActions& popover;
    TextMetrics& metrics;
    std::function<std::vector<Screen>()> screens;
    std::function<bool()> compositing;
    std::function<void()> openSettings;
    std::function<void()> quit;
};

class ShellWindows final : public QObject {
    Q_OBJECT
public:
    explicit ShellWindows(ShellWindowsDeps deps);
    ~ShellWindows() override;

    // The compositor came or went: panels redraw with or without translucency.
    void compositingChanged();
    // Hides every Tarvela window (Ctrl+H, "Hide Tarvela").
    void hideAll();
    // Whether any ordinary Tarvela window is on screen (panels do not count).
    static bool anyWindowVisible();
    // Raises Tarvela's visible windows and activates one; false when there is none.
    static bool bringForward();

    HUDWidget& hud() { return *hud_; }
    TrayItem& tray() { return *tray_; }
    PopoverWidget& popover() { return *popover_; }
    QMenu& menu() { return menu_; }

private:
    ShellWindowsDeps d_;
    QMenu menu_;
    MenuKeys keys_;
    std::unique_ptr<HUDWidget> hud_;
    std::unique_ptr<ToastWindows> toasts_;
    std::unique_ptr<TrayItem> tray_;
    std::unique_ptr<PopoverWidget> popover_;
    Connection popoverLink_;
};

}  // namespace tarvela

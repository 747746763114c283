#include "ui/shell_windows.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QWidget>

#include "feedback/popover_model.h"
#include "feedback/palette.h"
#include "feedback/status_item.h"
#include "settings/app_info.h"
#include "ui/hud_widget.h"
#include "ui/mascot.h"
#include "ui/painting.h"
#include "ui/popover_widget.h"
#include "ui/settings_window.h"
#include "ui/theme.h"
#include "ui/toast_widget.h"
#include "ui/tray.h"

namespace tarvela {

namespace {

// Panels and popups are not windows the user arranges; they never count as visible windows.
bool ordinary(const QWidget* w) {
    const Qt::WindowType t = w->windowType();
    return w->isWindow() && t != Qt::Popup && t != Qt::Tool && t != Qt::ToolTip &&
           !w->testAttribute(Qt::WA_X11NetWmWindowTypeNotification) && !(w->windowFlags() & Qt::X11BypassWindowManagerHint);
}

}  // namespace

QtAppearance::QtAppearance() : system_(QApplication::palette()) {}

void QtAppearance::setAppearance(Appearance a) {
    Theme::apply(a, system_);
    // Panels that paint themselves are not told of a palette change: redraw each.
    for (QWidget* w : QApplication::topLevelWidgets()) w->update();
    if (changed_) changed_();
}

ShellWindows::ShellWindows(ShellWindowsDeps deps)
    : d_(std::move(deps)), keys_([this] { d_.openSettings(); }, [this] { hideAll(); }, [this] { d_.quit(); }) {
    hud_ = std::make_unique<HUDWidget>(d_.hud, d_.screens, d_.compositing);
    toasts_ = std::make_unique<ToastWindows>(d_.toast, d_.screens, d_.compositing);
    popover_ = std::make_unique<PopoverWidget>(d_.status, d_.popover);

    // Every Tarvela window and the about box carry the mascot.
    QApplication::setWindowIcon(mascotIcon());
    // The application menu's items, where this desktop puts an application's menu.
    menu_.addAction("About Tarvela", [] {
        QMessageBox::about(nullptr, "About Tarvela",
                           QString("Tarvela %1\n\nLines your windows up in a strip of full-height columns per "
                                   "display, and slides it as the focus moves.")
                               .arg(QString::fromStdString(AppInfo::version())));
    });
    menu_.addSeparator();
    menu_.addAction("Settings…", [this] { d_.openSettings(); });
    menu_.addSeparator();
    menu_.addAction("Hide Tarvela", [this] { hideAll(); });
    menu_.addAction("Quit Tarvela", [this] { d_.quit(); });

    tray_ = std::make_unique<TrayItem>(d_.status, d_.metrics, &menu_);
    // The popover follows the controller after the tray item has taken the click's place.
    popoverLink_ = d_.status.changed.connect(
        [this] { popover_->sync([t = tray_.get()] { return t->geometry(); }, tray_->lastClick()); });
}

ShellWindows::~ShellWindows() = default;

void ShellWindows::compositingChanged() {
    hud_->sync();
    toasts_->sync();
}

bool ShellWindows::anyWindowVisible() {
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && ordinary(w)) return true;
    return false;
}

bool ShellWindows::bringForward() {
    QWidget* last = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && ordinary(w)) {
            // A minimised one (Ctrl+M) comes back: activating alone would wait
            // for it to be shown.
            if (w->isMinimized()) w->showNormal();
            w->raise();
            last = w;
        }
    if (last) last->activateWindow();
    return last != nullptr;
}

void ShellWindows::hideAll() {
    if (d_.status.popoverShown()) d_.status.toggle();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && ordinary(w)) w->hide();
}

MenuKeys::MenuKeys(std::function<void()> openSettings, std::function<void()> hideAll, std::function<void()> quit)
    : openSettings_(std::move(openSettings)), hideAll_(std::move(hideAll)), quit_(std::move(quit)) {
    qApp->installEventFilter(this);
}

MenuKeys::~MenuKeys() { qApp->removeEventFilter(this); }

bool MenuKeys::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType() || recordingShortcut()) return false;
    auto* k = static_cast<QKeyEvent*>(e);
    if ((k->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) return false;
    QWidget* window = static_cast<QWidget*>(watched)->window();
    switch (k->key()) {
        case Qt::Key_Comma: openSettings_(); return true;
        case Qt::Key_H: hideAll_(); return true;
        case Qt::Key_Q: quit_(); return true;
        case Qt::Key_W: window->close(); return true;
        case Qt::Key_M:
            if (ordinary(window)) window->showMinimized();
            return true;
        default: return false;
    }
}

}  // namespace tarvela

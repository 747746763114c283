#include "app/qt_router.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>

#include "app/shell.h"
#include "core/launch_context.h"
#include "core/processes.h"
#include "feedback/onboarding.h"
#include "feedback/permission_view.h"
#include "feedback/settings_dialogs.h"
#include "feedback/settings_panes.h"
#include "feedback/shortcuts_pane.h"
#include "feedback/store_panes.h"
#include "settings/diagnostics.h"
#include "settings/export.h"
#include "ui/onboarding_window.h"
#include "ui/settings_window.h"
#include "ui/update_window.h"
#include "updates/updater.h"

namespace tarvela {

namespace {

std::string localTime(double secondsSince1970) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(secondsSince1970 * 1000))
        .toString("d MMM yyyy, HH:mm")
        .toStdString();
}

}  // namespace

struct RouterModels {
    QtRouterDeps d;
    ExportImport transfer;
    XdgMailService mail;
    std::unique_ptr<UpdaterSource> source;
    GeneralPane general;
    ShortcutsPane shortcuts;
    GesturesPane gestures;
    WorkspacesPane workspaces;
    RulesPane rules;
    UpdatesPane updates;
    std::unique_ptr<PermissionView> permission;
    std::unique_ptr<SaveLayoutDialog> save;
    std::unique_ptr<AddAppsDialog> addApps;
    std::unique_ptr<Onboarding> onboarding;

    RouterModels(QtRouterDeps deps, QtRouter& router)
        : d(std::move(deps)),
          transfer(d.shell.workspaces, d.shell.rules, d.shell.hotkeys),
          source(d.shell.updater ? std::make_unique<UpdaterSource>(*d.shell.updater, localTime) : nullptr),
          general(GeneralPaneDeps{
              d.shell.prefs, d.shell.manager, transfer, mail, {}, {}, d.compositing,
              [&router](SettingsPane p) { router.settings(std::string(title(p))); },
              [&manager = d.shell.manager](const std::string& address) {
                  // A browser window it opens goes beside the column the user is in.
                  const std::string id = newStartupId();
                  manager.noteLaunch(id);
                  startDetached({"xdg-open", address}, {}, {"DESKTOP_STARTUP_ID=" + id});
              },
              [](const std::string& suggested) -> std::optional<std::filesystem::path> {
                  const QString f = QFileDialog::getSaveFileName(nullptr, QString(), QString::fromStdString(suggested),
                                                                 "JSON (*.json)");
                  if (f.isEmpty()) return std::nullopt;
                  return std::filesystem::path(f.toStdString());
              },
              []() -> std::optional<std::filesystem::path> {
                  const QString f = QFileDialog::getOpenFileName(nullptr, QString(), QString(), "JSON (*.json)");
                  if (f.isEmpty()) return std::nullopt;
                  return std::filesystem::path(f.toStdString());
              }}),
          shortcuts(d.shell.hotkeys, [] { QApplication::beep(); }),
          gestures(d.shell.prefs),
          workspaces(d.shell.workspaces, d.shell.manager, [&router] { router.saveWorkspace(); }),
          rules(d.shell.rules, [&router] { router.addApps(); }),
          updates(d.shell.prefs, source.get()) {}
};

QtRouter::QtRouter() = default;
QtRouter::~QtRouter() { detach(); }

void QtRouter::attach(QtRouterDeps deps) {
    headless_.updater = deps.shell.updater.get();
    m_ = std::make_unique<RouterModels>(std::move(deps), *this);
}

void QtRouter::detach() {
    // The windows go first: they read the models to the last.
    for (const char* key : {own_window::settings.key, own_window::permission.key, own_window::update.key,
                            own_window::addApps.key, own_window::saveWorkspace.key, own_window::onboarding.key})
        windows_.destroy(key);
    m_.reset();
    headless_.updater = nullptr;
}

void QtRouter::compositingChanged() {
    if (m_) m_->general.compositingChanged();
}

void QtRouter::settings(const std::optional<std::string>& pane) {
    if (!m_) return headless_.settings(pane);
    if (const std::optional<SettingsPane> chosen = pane ? paneFromTitle(*pane) : std::nullopt) pane_ = *chosen;
    if (settingsView_) {
        settingsView_->select(pane_);
        windows_.show(own_window::settings, {});
        return;
    }
    windows_.show(own_window::settings, [this] {
        auto* view = new SettingsWindow(SettingsPanes{m_->general, m_->shortcuts, m_->gestures, m_->workspaces,
                                                      m_->rules, m_->updates, m_->d.keyEvent},
                                        pane_);
        settingsView_ = view;
        return view;
    });
}

void QtRouter::onboarding() {
    if (!m_) return headless_.onboarding();
    if (windows_.find(own_window::onboarding.key)) {
        windows_.show(own_window::onboarding, {});
        return;
    }
    Shell& shell = m_->d.shell;
    m_->onboarding = std::make_unique<Onboarding>(OnboardingDeps{
        shell.manager, shell.prefs, shell.hotkeys, m_->d.takeOver,
        [this] { windows_.close(own_window::onboarding.key); }});
    windows_.show(own_window::onboarding, [this] { return new OnboardingWindow(*m_->onboarding); });
}

void QtRouter::permissionLost() {
    if (!m_) return headless_.permissionLost();
    if (windows_.find(own_window::permission.key)) {
        windows_.show(own_window::permission, {});
        return;
    }
    m_->permission = std::make_unique<PermissionView>(m_->d.shell.manager, m_->d.takeOver,
                                                      [this] { windows_.close(own_window::permission.key); });
    windows_.show(own_window::permission, [this] { return new PermissionWindow(*m_->permission); });
}

void QtRouter::addApps() {
    if (!m_) return;
    if (windows_.find(own_window::addApps.key)) {
        windows_.show(own_window::addApps, {});
        return;
    }
    m_->addApps = std::make_unique<AddAppsDialog>(m_->d.platform, m_->d.shell.rules,
                                                  [this] { windows_.close(own_window::addApps.key); });
    windows_.show(own_window::addApps, [this] { return new AddAppsWindow(*m_->addApps); });
}

void QtRouter::saveWorkspace() {
    if (!m_) return;
    if (windows_.find(own_window::saveWorkspace.key)) {
        windows_.show(own_window::saveWorkspace, {});
        return;
    }
    m_->save = std::make_unique<SaveLayoutDialog>(m_->d.shell.manager, m_->d.shell.workspaces, m_->d.shell.hotkeys,
                                                  [this] { windows_.close(own_window::saveWorkspace.key); });
    windows_.show(own_window::saveWorkspace, [this] { return new SaveLayoutWindow(*m_->save); });
}

void QtRouter::preview(const std::string& name) {
    if (name.rfind("settings", 0) == 0) {
        const std::optional<SettingsPane> pane = paneFromPreview(name);
        return settings(pane ? std::optional<std::string>(title(*pane)) : std::nullopt);
    }
    if (name.rfind("onboarding", 0) == 0) return onboarding();
    if (name == "permission") return permissionLost();
    if (name == "addapps") return addApps();
    if (name == "save") return saveWorkspace();
    headless_.preview(name);
}

void QtRouter::softwareUpdate() {
    Updater* u = m_ ? m_->d.shell.updater.get() : nullptr;
    if (!u) return headless_.softwareUpdate();
    windows_.show(own_window::update, [this, u] {
        return new UpdateWindow(UpdateWindowDeps{
            [u] { return u->view(); }, u->changed,
            [u](UpdateView::Action a) {
                if (a == UpdateView::Action::install) u->install();
                else u->check(true);
            },
            [this] { windows_.close(own_window::update.key); }});
    });
}

}  // namespace tarvela

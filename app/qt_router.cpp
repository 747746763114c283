#include "app/qt_router.h"

#include "app/updater.h"
#include "ui/update_window.h"

namespace tarvela {

void QtRouter::setUpdater(Updater* updater) {
    updater_ = updater;
    headless_.updater = updater;
    if (!updater) windows_.close(own_window::update.key);
}

void QtRouter::settings(const std::optional<std::string>& pane) { headless_.settings(pane); }
void QtRouter::onboarding() { headless_.onboarding(); }
void QtRouter::permissionLost() { headless_.permissionLost(); }
void QtRouter::preview(const std::string& name) { headless_.preview(name); }

void QtRouter::softwareUpdate() {
    if (!updater_) return headless_.softwareUpdate();
    Updater* u = updater_;
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

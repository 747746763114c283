#include "app/shell.h"

#include <algorithm>

#include "core/log.h"
#include "settings/app_info.h"

namespace tarvela {

Shell::Shell(ShellDeps d)
    : prefs(d.defaults, d.loginItems),
      rules(d.defaults),
      workspaces(d.defaults),
      hotkeys(d.defaults, d.hotkeys, &workspaces),
      manager(WindowManager::Deps{d.platform, d.main, d.makeQueue, d.workers ? d.workers : makeWorkerPool(3), prefs,
                                  rules, workspaces, d.feedback}),
      deps_(d) {}

Shell::~Shell() = default;

void Shell::start(const std::vector<std::string>& args) {
    prefs.applyAppearance();

    // The manager reports back through its callbacks; the on-screen feedback
    // that shows them comes with the shell's windows.
    manager.onPermissionLost = [this] {
        if (prefs.onboarded()) deps_.router.permissionLost();
    };
    manager.onNotice = [](const std::string& title, const std::string& text) { log(title + ": " + text); };
    auto dim = [this] { deps_.main.post([this] { deps_.feedback.updateDim(); }); };
    bag_.push_back(prefs.dimLevel.observe([dim](const int&) { dim(); }));
    bag_.push_back(prefs.blur.observe([dim](const bool&) { dim(); }));
    if (deps_.managerStopped)
        bag_.push_back(manager.on.changed.connect([this](const bool& on) {
            if (!on) deps_.managerStopped();
        }));

    hotkeys.onAction = [this](Action a, int n) { manager.perform(a, n); };
    hotkeys.onWorkspace = [this](int slot) {
        for (const Workspace& ws : workspaces.items()) {
            if (ws.slot && *ws.slot == slot) {
                manager.restore(ws);
                return;
            }
        }
    };
    hotkeys.registerAll();

    if (deps_.gestures) {
        touches = std::make_unique<Touches>(*deps_.gestures);
        gestures = std::make_unique<Gestures>(deps_.main, prefs, GestureHost::of(manager, deps_.feedback),
                                              *deps_.gestures, *touches);
        gestures->start();
        // Without the permission the sources cannot all be had; once it comes, try again.
        bag_.push_back(gestures->restartWhenTrusted(manager));
    }

    manager.startWatchingPermission();

    auto preview = std::find(args.begin(), args.end(), "--preview");
    if (preview != args.end()) {
        const std::string name = preview + 1 != args.end() ? *(preview + 1) : std::string();
        if (name != "popover") {
            log("preview of \"" + name + "\" needs the windows of the desktop shell, which this build does not have");
            return;
        }
    }

    if (!prefs.onboarded()) {
        deps_.router.onboarding();
    } else if (prefs.enabled()) {
        if (manager.trusted()) manager.start();
        else deps_.router.permissionLost();
    }

    log("launched " + AppInfo::version() + " · onboarded " + (prefs.onboarded() ? "true" : "false") + " · accessibility " +
        (manager.trusted() ? "true" : "false"));
}

void Shell::reopen() { deps_.router.settings(std::nullopt); }

void Shell::completeOnboarding() {
    prefs.onboarded.set(true);
    if (prefs.enabled() && manager.trusted() && !manager.on()) manager.start();
}

void Shell::terminate() { manager.stop(false); }

}  // namespace tarvela

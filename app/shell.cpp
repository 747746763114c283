#include "app/shell.h"

#include "core/log.h"
#include "settings/app_info.h"

namespace tarvela {

Shell::Shell(ShellDeps d)
    : prefs(d.defaults, d.loginItems),
      rules(d.defaults),
      workspaces(d.defaults),
      hotkeys(d.defaults, d.hotkeys, &workspaces),
      manager(WindowManager::Deps{d.platform, d.main, d.makeQueue, d.workers ? d.workers : makeWorkerPool(3), prefs,
                                  rules, workspaces, hooks_}),
      restart(d.restartSeal ? std::make_unique<RestartKeeper>(RestartKeeper::Deps{d.platform, d.main, manager,
                                                                                    d.restartSeal})
                            : nullptr),
      dim(std::make_unique<DimOverlay>(manager, prefs, d.platform)),
      updater(std::make_unique<Updater>(UpdaterDeps{d.main, prefs, AppInfo::version(),
                                                    d.updates ? *d.updates : UpdateConfig{}, d.makeQueue, {}})),
      deps_(d) {
    if (d.metrics) {
        hud = std::make_unique<HUDPanel>(HUDDeps{manager, hudState, d.main, *d.metrics, d.pointer});
        toast = std::make_unique<Toast>(ToastDeps{d.main, *d.metrics, [p = &d.platform] { return p->screens(); }});
        status = std::make_unique<StatusController>(manager, prefs, d.main);
        PopoverHooks hooks;
        hooks.openSettings = [this] { deps_.router.settings(std::nullopt); };
        hooks.openWorkspaces = [this] { deps_.router.settings(std::string("Workspaces")); };
        hooks.openUpdates = [this] { deps_.router.settings(std::string("Updates")); };
        hooks.quit = [this] {
            if (deps_.quit) deps_.quit();
        };
        // As the permission window's button: the poll's own request cannot
        // win the display from another window manager. The permission watch
        // notices the outcome on its next look.
        hooks.takeOver = [this] { deps_.platform.takeOver(); };
        hooks.updateAvailable = [this] { return updater->state().kind == UpdateState::Kind::available; };
        popover = std::make_unique<PopoverActions>(manager, prefs, hooks);
        bag_.push_back(updater->changed.connect([this] { popover->updatesChanged(); }));
        pictureQueue = d.makeQueue ? d.makeQueue("tarvela.pictures") : makeThreadQueue("tarvela.pictures");
        overview = std::make_unique<Overview>(OverviewDeps{manager, d.platform, d.main, *d.metrics,
                                                           [q = pictureQueue.get()](std::function<void()> fn) {
                                                               q->async(std::move(fn));
                                                           }});
    }
}

void Shell::Hooks::updateDim() {
    if (s_.dim) s_.dim->update();
    s_.deps_.feedback.updateDim();
}
bool Shell::Hooks::overviewOpen() { return s_.overview ? s_.overview->isOpen() : s_.deps_.feedback.overviewOpen(); }
void Shell::Hooks::showOverview() {
    if (s_.overview) s_.overview->open();
    else s_.deps_.feedback.showOverview();
}
void Shell::Hooks::closeOverview() {
    if (s_.overview) s_.overview->close();
    else s_.deps_.feedback.closeOverview();
}

// The panels go before the manager they follow.
Shell::~Shell() {
    cancelTimer(deps_.main, lastSessionTimer_);
    scripts.reset();
    scriptCommands.reset();
    if (deps_.desktop) deps_.desktop->unwatchPointer();
    updater.reset();  // its transfer ends before the queue and loop it reports to
    overview.reset();
    pictureQueue.reset();  // finishes what it was given; their results find no overview
    // A schedule switched off just before quitting is still taken down.
    if (checkTimerQueue) checkTimerQueue->sync([] {});
    checkTimerQueue.reset();
    popover.reset();
    status.reset();
    toast.reset();
    hud.reset();
}

void Shell::followPointer() {
    const bool want = (hud && hud->orderedIn() && !hud->shown()) || prefs.focusFollowsMouse();
    if (want == pointerWatched_) return;
    pointerWatched_ = want;
    if (!want) return deps_.desktop->unwatchPointer();
    deps_.desktop->watchPointer([this](Point at) {
        if (hud) hud->mouseMoved();
        manager.pointerMoved(at);
    });
}

void Shell::start(const LaunchOptions& launch) {
    if (deps_.appearance) prefs.setAppearanceHook(deps_.appearance);
    prefs.applyAppearance();
    if (deps_.desktop)
        bag_.push_back(prefs.showDock.observe([this](const bool& shown) { deps_.desktop->setOwnWindowsInTaskbar(shown); }));
    if (status) status->install();
    // A hidden HUD comes back when the pointer nears its place, and focus may
    // follow the mouse; the pointer is followed only while either can happen.
    if (deps_.desktop) {
        if (hud) bag_.push_back(hud->changed.connect([this] { followPointer(); }));
        bag_.push_back(prefs.focusFollowsMouse.observe([this](const bool&) { followPointer(); }));
    }

    // The manager reports back through its callbacks. The HUD re-places itself
    // on the manager's changes (it subscribed when it was made).
    if (hud) manager.onActivity = [this] { hud->show(); };
    manager.onPermissionLost = [this] {
        if (prefs.onboarded()) deps_.router.permissionLost();
    };
    manager.onNotice = [this](const std::string& title, const std::string& text) {
        if (toast) toast->notice(title, text);
        else log(title + ": " + text);
    };
    auto redim = [this] { deps_.main.post([this] { hooks_.updateDim(); }); };
    bag_.push_back(prefs.dimLevel.observe([redim](const int&) { redim(); }));
    bag_.push_back(prefs.blur.observe([redim](const bool&) { redim(); }));
    if (deps_.managerStopped)
        bag_.push_back(manager.on.changed.connect([this](const bool& on) {
            if (!on) deps_.managerStopped();
        }));

    // Posted: a start that puts the windows back in place says so once its
    // rebuild is done, after `on` changed.
    bag_.push_back(manager.on.changed.connect([this](const bool& on) {
        if (on) deps_.main.post(life_.guard([this] { restoreLastSession(); }));
    }));
    lastSessionTimer_ = deps_.main.every(lastSessionInterval, life_.guard([this] { manager.keepLastSession(); }));

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
        // The pinch opens the overview the shortcut opens, through the manager.
        gestures = std::make_unique<Gestures>(deps_.main, prefs, manager,
                                              *deps_.gestures, *touches);
        gestures->start();
        // Without the permission the sources cannot all be had; once it comes, try again.
        bag_.push_back(gestures->restartWhenTrusted(manager));
    }

    manager.startWatchingPermission();

    updater->onAvailable = [this](const std::string& v, const std::vector<std::string>& notes) {
        announceUpdate(v, notes);
    };
    updater->startSchedule();
    if (deps_.checkTimer) {
        // systemctl can keep its caller waiting for seconds: never the main thread.
        checkTimerQueue = deps_.makeQueue ? deps_.makeQueue("tarvela.notifier") : makeThreadQueue("tarvela.notifier");
        bag_.push_back(prefs.notifyWhenClosed.observe([this](const bool& on) {
            deps_.main.post([this, on] {
                BackgroundCheckTimer* n = deps_.checkTimer;
                RunLoop* main = &deps_.main;
                checkTimerQueue->async([n, on, main, check = life_.guard([n] { n->checkNotifications(); })] {
                    if (n->applyUnits(on)) main->post(check);
                });
            });
        }));
        if (launch.resetNotifier)
            checkTimerQueue->async([n = deps_.checkTimer] { n->reset(); });
    }
    if (launch.showUpdate)
        deps_.main.after(0.4, [this] { showUpdate(); });

    if (const auto& name = launch.preview) {
        if (name == "toast") {
            previewToast();
            return;
        }
        if (name == "update") {
            deps_.router.softwareUpdate();
            return;
        }
        if (name != "popover") {
            deps_.router.preview(*name);
            return;
        }
    }

    if (!prefs.onboarded()) {
        deps_.router.onboarding();
    } else if (prefs.enabled()) {
        startManager();
    }

    if (launch.preview && status) status->toggle();

    log("launched " + AppInfo::version() + " · onboarded " + (prefs.onboarded() ? "true" : "false") + " · accessibility " +
        (manager.trusted() ? "true" : "false"));
}

void Shell::previewToast() {
    if (!toast) {
        log("preview of \"toast\": no on-screen feedback in this run");
        return;
    }
    toast->show(ToastModel{"Tarvela 1.1 is available",
                           "Smoother scrolling, saved workspaces and fixes. You’re on 1.0.0.", "Install", nullptr, "Later"},
                std::nullopt);
}

void Shell::showUpdate() {
    deps_.router.softwareUpdate();
    updater->check(false);
}

void Shell::announceUpdate(const std::string& version, const std::vector<std::string>& notes) {
    const std::string title = "Tarvela " + version + " is available";
    const std::string text =
        (notes.empty() ? std::string("A new version is ready.") : notes.front()) + " You’re on " + AppInfo::version() + ".";
    if (!toast) {
        log(title + ": " + text);
        return;
    }
    toast->show(ToastModel{title, text, "Install", [this] { deps_.router.softwareUpdate(); }, "Later"}, std::nullopt);
}

void Shell::reopen() { deps_.router.settings(std::nullopt); }

void Shell::completeOnboarding() {
    prefs.onboarded.set(true);
    if (prefs.enabled() && manager.trusted() && !manager.on()) manager.start();
}

void Shell::restoreLastSession() {
    if (lastSessionDecided_ || !manager.on()) return;
    lastSessionDecided_ = true;
    if (!prefs.restoreLastSession() || manager.restoredInPlace()) return;
    if (const Workspace* ws = workspaces.lastSession()) {
        log("restoring the last session");
        manager.restore(Workspace(*ws));
    }
}

void Shell::startManager() {
    std::optional<Arrangement> plan = restart ? restart->take() : std::nullopt;
    if (!manager.trusted()) {
        // The manager keeps the plan for the start the permission brings.
        if (plan) manager.startWith(*plan);
        else deps_.router.permissionLost();
        return;
    }
    if (!plan) return manager.start();
    manager.startWith(*plan);
    // The keyboard goes back to the window the user was in, without a slide.
    if (StripRef s = manager.restoredInPlace() ? manager.cur() : nullptr) s->focusInPlace(s->focusC, s->focusR);
}

// The arrangement is kept before the strips let go of it.
void Shell::terminate() {
    if (restart) restart->flush();
    manager.keepLastSession();
    manager.stop(false);
}

bool Shell::startScripting(const std::filesystem::path& socket, IpcServerOptions options) {
    scripts.reset();
    scriptCommands = std::make_unique<IpcCommands>(
        IpcDeps{manager, prefs, rules, workspaces, deps_.platform, [this](Action a, int n) {
                    if (hotkeys.onAction) hotkeys.onAction(a, n);
                }});
    options.path = socket;
    scripts = std::make_unique<IpcServer>(deps_.main, *scriptCommands, std::move(options));
    if (scripts->start()) return true;
    scripts.reset();
    return false;
}

}  // namespace tarvela

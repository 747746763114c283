// The application shell without its windows: owns the settings, stores,
// shortcuts and the window manager for one platform, wires them together and
// runs the start sequence. main() builds one on the real X11 platform; tests
// build it on the simulated desktop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/launch_options.h"
#include "app/router.h"
#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/serial_queue.h"
#include "core/shell_desktop.h"
#include "core/signal.h"
#include "feedback/dim_overlay.h"
#include "feedback/hud_panel.h"
#include "feedback/hud_state.h"
#include "feedback/overview.h"
#include "feedback/popover_model.h"
#include "feedback/status_item.h"
#include "feedback/text_metrics.h"
#include "feedback/toast.h"
#include "input/gestures.h"
#include "input/hotkey_service.h"
#include "input/hotkeys.h"
#include "input/touches.h"
#include "ipc/ipc_commands.h"
#include "ipc/ipc_server.h"
#include "manager/feedback_hooks.h"
#include "manager/restart_keeper.h"
#include "manager/window_manager.h"
#include "settings/defaults.h"
#include "settings/login_item.h"
#include "settings/prefs.h"
#include "settings/rules.h"
#include "settings/workspaces.h"
#include "updates/background_check_timer.h"
#include "updates/update_config.h"
#include "updates/updater.h"

namespace tarvela {

struct ShellDeps {
    Platform& platform;
    RunLoop& main;
    Defaults& defaults;
    HotkeyService& hotkeys;
    Router& router;
    FeedbackHooks& feedback;
    SerialQueueFactory makeQueue{};          // empty: a thread per strip
    std::shared_ptr<ParallelFor> workers{};  // null: a small pool
    LoginItemService* loginItems = nullptr;
    // Called whenever the manager goes off (stopped, permission lost, quitting):
    // the platform lets go of the windows it arranged, so they behave as on a
    // floating desktop again.
    std::function<void()> managerStopped{};
    // Scroll, pinch and swipe input; none: no gestures.
    GestureSources* gestures = nullptr;
    // Text sizes for the HUD and the toasts; none: no on-screen feedback.
    TextMetrics* metrics = nullptr;
    // Where the pointer is, in screen coordinates; none when it cannot be told.
    std::function<std::optional<Point>()> pointer{};
    // Compositing, pointer motion and the taskbar; none: not followed.
    ShellDesktop* desktop = nullptr;
    // Light or dark for Tarvela's own windows; none: left as it is.
    AppearanceHook* appearance = nullptr;
    // Ends the application (the popover's and the tray menu's "Quit").
    std::function<void()> quit{};
    // Where updates come from; none: no update server.
    const UpdateConfig* updates = nullptr;
    // The background check's timer, kept to `notifyWhenClosed`; none: not kept.
    BackgroundCheckTimer* checkTimer = nullptr;
    // Signs the arrangement left on the display for the next start and checks
    // the one found there; none: no arrangement is kept or put back.
    RecordSeal restartSeal{};
};

class Shell {
public:
    explicit Shell(ShellDeps deps);
    ~Shell();
    Shell(const Shell&) = delete;
    Shell& operator=(const Shell&) = delete;

    // The start sequence: wiring, shortcuts, the permission watch, and the
    // decision whether the manager starts now. Ends with the launch log line
    // unless a preview of a window other than the popover was asked for.
    void start(const LaunchOptions& launch);
    // The sample toast of `--preview toast`.
    void previewToast();
    // The update window, and a check for it (the "show update" signal and
    // `--show-update`).
    void showUpdate();
    // Another start of Tarvela asked for this one: open the settings.
    void reopen();
    // The end of onboarding: remembered, and the manager starts when it may.
    void completeOnboarding();
    // Quitting: every display's arrangement is kept as the last session, then
    // the manager stops and leaves every window where it is.
    void terminate();
    // How often the last session is kept while Tarvela runs, in seconds.
    static constexpr double lastSessionInterval = 300;
    // Opens the scripting socket at `socket` (after start()); false, with a
    // log line, when it cannot be opened. Its commands perform actions
    // through the shortcuts' entry point.
    bool startScripting(const std::filesystem::path& socket, IpcServerOptions options = {});

    Prefs prefs;
    RuleStore rules;
    WorkspaceStore workspaces;
    Hotkeys hotkeys;

private:
    // What the manager asks of the feedback: the shell's own overlay, then
    // whoever else listens (tests record the calls).
    class Hooks final : public FeedbackHooks {
    public:
        Hooks(Shell& s) : s_(s) {}
        void updateDim() override;
        bool overviewOpen() override;
        void showOverview() override;
        void closeOverview() override;

    private:
        Shell& s_;
    };
    Hooks hooks_{*this};

public:
    WindowManager manager;
    // Keeps the arrangement for the next start; with a seal only.
    std::unique_ptr<RestartKeeper> restart;
    std::unique_ptr<DimOverlay> dim;
    std::unique_ptr<Touches> touches;    // with gestures only
    std::unique_ptr<Gestures> gestures;  // with gestures only
    HUDState hudState;
    std::unique_ptr<HUDPanel> hud;  // with text metrics only
    std::unique_ptr<Toast> toast;   // with text metrics only
    std::unique_ptr<StatusController> status;  // with text metrics only
    std::unique_ptr<PopoverActions> popover;    // with text metrics only
    std::unique_ptr<SerialQueue> pictureQueue;  // scales the overview's pictures
    std::unique_ptr<SerialQueue> checkTimerQueue;  // runs systemctl for the check timer
    std::unique_ptr<Overview> overview;         // with text metrics only
    std::unique_ptr<Updater> updater;
    std::unique_ptr<IpcCommands> scriptCommands;
    std::unique_ptr<IpcServer> scripts;  // after startScripting

private:
    void announceUpdate(const std::string& version, const std::vector<std::string>& notes);

    ShellDeps deps_;
    std::vector<Connection> bag_;
    bool pointerWatched_ = false;
    void followPointer();
    // The first time the manager runs, the last session comes back when the
    // preference asks for it and the windows are not back in place already.
    void restoreLastSession();
    bool lastSessionDecided_ = false;
    std::optional<RunLoop::TimerId> lastSessionTimer_;
    // The manager's start at launch (or, without the permission, the
    // permission window): as a Tarvela before this one left the windows, when
    // it left a record that holds.
    void startManager();
    // Work handed back from the check timer's queue runs only while the shell lives.
    Lifetime life_;
};

}  // namespace tarvela

// The application shell without its windows: owns the settings, stores,
// shortcuts and the window manager for one platform, wires them together and
// runs the start sequence. main() builds one on the real X11 platform; tests
// build it on the simulated desktop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/router.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/serial_queue.h"
#include "input/hotkey_service.h"
#include "input/gestures.h"
#include "input/hotkeys.h"
#include "input/touches.h"
#include "manager/feedback_hooks.h"
#include "manager/window_manager.h"
#include "settings/defaults.h"
#include "settings/login_item.h"
#include "settings/prefs.h"
#include "settings/rules.h"
#include "settings/signal.h"
#include "settings/workspaces.h"

namespace tarvela {

struct ShellDeps {
    Platform& platform;
    RunLoop& main;
    Defaults& defaults;
    HotkeyService& hotkeys;
    Router& router;
    FeedbackHooks& feedback;
    SerialQueueFactory makeQueue;          // empty: a thread per strip
    std::shared_ptr<ParallelFor> workers;  // null: a small pool
    LoginItemService* loginItems = nullptr;
    // Called whenever the manager goes off (stopped, permission lost, quitting):
    // the platform lets go of the windows it arranged, so they behave as on a
    // floating desktop again.
    std::function<void()> managerStopped;
    // Scroll, pinch and swipe input; none: no gestures.
    GestureSources* gestures = nullptr;
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
    void start(const std::vector<std::string>& args);
    // Another start of Tarvela asked for this one: open the settings.
    void reopen();
    // The end of onboarding: remembered, and the manager starts when it may.
    void completeOnboarding();
    // Quitting: the manager stops and leaves every window where it is.
    void terminate();

    Prefs prefs;
    RuleStore rules;
    WorkspaceStore workspaces;
    Hotkeys hotkeys;
    WindowManager manager;
    std::unique_ptr<Touches> touches;    // with gestures only
    std::unique_ptr<Gestures> gestures;  // with gestures only

private:
    ShellDeps deps_;
    std::vector<Connection> bag_;
};

}  // namespace tarvela

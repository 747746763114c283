// The first-launch walk-through: what Tarvela does, taking over window
// management, the starting layout, and a summary, then the manager starts.
// The widget draws view() (the current step's texts and choices, the footer)
// and its illustrative mock windows, and hands every click here. The
// permission step follows the manager's `trusted` as it changes; the layout
// step writes `layout` and `defaultWidth` at once. Only finish() marks the
// user onboarded: a window closed before that shows again at the next start.
// Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/enums.h"
#include "feedback/popover_model.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;
class Prefs;
class Hotkeys;

namespace onboarding_text {
inline constexpr const char* back = "Back";
inline constexpr const char* skip = "Skip";
inline constexpr const char* next = "Continue";
inline constexpr const char* finish = "Start using Tarvela";
inline constexpr const char* takeOver = "Take over window management";
inline constexpr const char* waiting = "Waiting for the display…";
inline constexpr const char* needed = "Window management needed";
inline constexpr const char* granted = "Tarvela manages your windows";
inline constexpr const char* grantedDetail = "Tarvela can now arrange your windows.";
inline constexpr const char* stillNeeded = "Window management still needed";
inline constexpr const char* allowed = "Window management on";
inline constexpr const char* layoutSaved = " · Layout saved";
inline constexpr const char* widthTitle = "Default column width";
}  // namespace onboarding_text

struct OnboardingFeature {
    std::string title;
    std::string text;
};

struct OnboardingInstruction {
    std::string title;
    std::string text;
    std::optional<std::string> button;  // the step's action, where it has one
};

struct WelcomeStep {
    std::vector<OnboardingFeature> features;
};

struct PermissionStep {
    std::string body;
    std::vector<OnboardingInstruction> instructions;
    bool granted = false;
    std::string status;        // "Waiting for the display…" / "Tarvela manages your windows"
    std::string statusDetail;  // "Window management needed" / "Tarvela can now arrange your windows."
};

struct LayoutStep {
    std::vector<Choice<Layout>> layouts;
    std::string widthTitle = onboarding_text::widthTitle;
    std::vector<Choice<double>> widths;
    std::string note;
};

struct ReadyShortcut {
    std::string label;
    std::vector<std::string> caps;
};

struct ReadyStep {
    std::string layout;  // "Strip · Layout saved"
    bool granted = false;
    std::string permission;  // "Window management on" / "Window management still needed"
    std::vector<ReadyShortcut> shortcuts;
    std::string tray;
};

struct OnboardingView {
    int step = 0;
    std::string stepLabel;   // "Step 1"
    std::vector<bool> dots;  // one per step, the current one set
    std::string title;
    std::string subtitle;
    std::optional<WelcomeStep> welcome;
    std::optional<PermissionStep> permission;
    std::optional<LayoutStep> layout;
    std::optional<ReadyStep> ready;
    // The footer.
    std::optional<std::string> back;  // not on the first step
    std::optional<std::string> skip;  // on the permission step while Tarvela waits for the display
    std::string forward;
    bool forwardEnabled = true;
};

struct OnboardingDeps {
    WindowManager& manager;
    Prefs& prefs;
    Hotkeys& hotkeys;
    // Asks the running window manager to hand the display over (as --replace does).
    std::function<void()> handOver;
    // Closes the onboarding window.
    std::function<void()> close;
};

class Onboarding {
public:
    static constexpr int stepCount = 4;
    static constexpr int permissionStep = 1;

    explicit Onboarding(OnboardingDeps deps);
    Onboarding(const Onboarding&) = delete;
    Onboarding& operator=(const Onboarding&) = delete;

    int step() const { return step_; }
    OnboardingView view() const;

    void back();
    void skip();
    // The forward button: the next step, or finish() on the last.
    void forward();
    // The permission step's button.
    void takeOver();
    void chooseLayout(Layout l);
    void chooseWidth(double frac);

    // Remembers the user as onboarded, closes the window, switches Tarvela on
    // and starts the manager.
    void finish();

    Signal<> changed;

private:
    void go(int step);

    OnboardingDeps d_;
    int step_ = 0;
    std::vector<Connection> bag_;
};

}  // namespace tarvela

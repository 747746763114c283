#include "feedback/onboarding.h"

#include <cmath>

#include "core/strip.h"
#include "input/hotkeys.h"
#include "manager/window_manager.h"
#include "settings/prefs.h"

namespace tarvela {

namespace {

struct StepTitle {
    const char* title;
    const char* subtitle;
};
constexpr StepTitle titles[Onboarding::stepCount] = {
    {"Welcome to Tarvela",
     "Tarvela lines your windows up in a horizontal strip. Move sideways to bring the next one into focus, no more "
     "tiny tiles."},
    {"Allow Tarvela to move your windows", "One permission, nothing else."},
    {"Pick how your windows start",
     "Choose a layout and a default column width. You can switch per display later."},
    {"You’re all set.", "Here’s your plan and the shortcuts to get going."},
};

constexpr double startWidths[] = {1.0 / 3, 0.5, 2.0 / 3};

// The ones a new user needs first: moving along the strip and seeing it whole.
constexpr Action mainShortcuts[] = {Action::focusNext, Action::focusPrev, Action::jump, Action::overview};

WelcomeStep welcomeContent() {
    return {{
        {"Full-size windows", "New windows open beside the focused one, so nothing gets squeezed into a tiny tile."},
        {"Scroll with a shortcut",
         "Slide between columns with the keyboard or a trackpad swipe. The focused one stays centred."},
        {"Saved workspaces", "Bring back a whole set of apps, columns and widths with a single shortcut."},
    }};
}

// On X11 nothing is granted in a settings panel: the display has one window
// manager at a time, and Tarvela has to be it.
PermissionStep permissionContent(bool trusted) {
    PermissionStep p;
    p.body =
        "Only the display’s window manager can arrange other apps’ windows, and there is one at a time. "
        "Tarvela takes that role and uses it for nothing else.";
    p.instructions = {
        {"Let Tarvela take over",
         "Your current window manager hands the display over. Your windows stay where they are.",
         std::string(onboarding_text::takeOver)},
        {"Or leave the other one out", "Quit the other window manager, or start your session without it.",
         std::nullopt},
        {"Come back here", "Tarvela notices automatically when it takes over.", std::nullopt},
    };
    p.granted = trusted;
    p.status = trusted ? onboarding_text::granted : onboarding_text::waiting;
    p.statusDetail = trusted ? onboarding_text::grantedDetail : onboarding_text::needed;
    return p;
}

LayoutStep layoutContent(const Prefs& prefs) {
    LayoutStep s;
    for (Layout l : allLayouts) s.layouts.push_back({l, layoutTitle(l), l == prefs.layout()});
    for (double w : startWidths)
        s.widths.push_back({w, Widths::label(w), std::fabs(prefs.defaultWidth() - w) < 1e-6});
    s.note = "Change it any time from the tray icon.";
    return s;
}

ReadyStep readyContent(const Prefs& prefs, const Hotkeys& hotkeys, bool trusted) {
    ReadyStep r;
    r.layout = layoutTitle(prefs.layout()) + onboarding_text::layoutSaved;
    r.granted = trusted;
    r.permission = trusted ? onboarding_text::allowed : onboarding_text::stillNeeded;
    for (Action a : mainShortcuts) r.shortcuts.push_back({label(a), hotkeys.effective(a).caps()});
    r.tray = "Tarvela lives in your panel’s tray. Click it any time to change layouts or pause.";
    return r;
}

}  // namespace

Onboarding::Onboarding(OnboardingDeps deps) : d_(std::move(deps)) {
    bag_.push_back(d_.manager.trusted.changed.connect([this](const bool&) { changed.emit(); }));
    bag_.push_back(d_.prefs.changed.connect([this] { changed.emit(); }));
    bag_.push_back(d_.hotkeys.changed.connect([this] { changed.emit(); }));
}

OnboardingView Onboarding::view() const {
    const bool trusted = d_.manager.trusted();
    OnboardingView v;
    v.step = step_;
    v.stepLabel = "Step " + std::to_string(step_ + 1);
    for (int i = 0; i < stepCount; ++i) v.dots.push_back(i == step_);
    v.title = titles[step_].title;
    v.subtitle = titles[step_].subtitle;
    switch (step_) {
        case 0: v.welcome = welcomeContent(); break;
        case permissionStep: v.permission = permissionContent(trusted); break;
        case 2: v.layout = layoutContent(d_.prefs); break;
        default: v.ready = readyContent(d_.prefs, d_.hotkeys, trusted); break;
    }
    if (step_ > 0) v.back = onboarding_text::back;
    // Without the display the user may go on and take over later from the tray.
    if (step_ == permissionStep && !trusted) {
        v.skip = onboarding_text::skip;
        v.forwardEnabled = false;
    }
    v.forward = step_ == stepCount - 1 ? onboarding_text::finish : onboarding_text::next;
    return v;
}

void Onboarding::go(int step) {
    if (step < 0 || step >= stepCount || step == step_) return;
    step_ = step;
    changed.emit();
}

void Onboarding::back() { go(step_ - 1); }

void Onboarding::skip() {
    if (view().skip) go(step_ + 1);
}

void Onboarding::forward() {
    if (!view().forwardEnabled) return;
    if (step_ == stepCount - 1) finish();
    else go(step_ + 1);
}

void Onboarding::takeOver() {
    if (d_.handOver) d_.handOver();
}

void Onboarding::chooseLayout(Layout l) { d_.prefs.layout.set(l); }

void Onboarding::chooseWidth(double frac) { d_.prefs.defaultWidth.set(frac); }

void Onboarding::finish() {
    // Closing the window may end this object; what comes after must not need it.
    Prefs& prefs = d_.prefs;
    WindowManager& manager = d_.manager;
    const std::function<void()> close = d_.close;
    prefs.onboarded.set(true);
    if (close) close();
    prefs.enabled.set(true);
    manager.start();
}

}  // namespace tarvela

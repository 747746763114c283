#include "input/gestures.h"

#include <algorithm>
#include <cmath>

#include "core/log.h"
#include "manager/window_manager.h"
#include "settings/key_codes.h"
#include "settings/pref_ranges.h"

namespace tarvela {

Gestures::Gestures(RunLoop& main, Prefs& prefs, WindowManager& manager, GestureSources& sources, Touches& touches)
    : main_(main),
      prefs_(prefs),
      manager_(manager),
      sources_(sources),
      touches_(touches) {}

Gestures::~Gestures() {
    life_.end();
    stop();
    if (settleWork_) main_.cancel(*settleWork_);
    // Touches outlives us and may still call the handler: it finds nobody.
}

double Gestures::speedFor(int scrollSpeed) {
    switch (pref_range::scrollSpeed.clamp(scrollSpeed)) {
        case 0: return 0.6;
        case 2: return 1.7;
        default: return 1.0;
    }
}

void Gestures::start() {
    stop();
    installTap();
    if (auto m = sources_.addMagnifyMonitor(life_.guard([this](const MagnifyEvent& e) { pinch(e); })))
        monitors_.push_back(std::move(m));
    // Recognised swipes may come from another thread: hop to the main loop,
    // where the guard is checked.
    RunLoop* main = &main_;
    touches_.start([swipe = life_.guard([this](int d) { swiped(d); }), main](int d) {
        main->post([swipe, d]() mutable { swipe(d); });
    });
}

void Gestures::stop() {
    monitors_.clear();
    tap_.reset();
}

void Gestures::installTap() {
    tap_ = sources_.installScrollTap(life_.guard([this](const ScrollEvent& e) { return scroll(e); }));
    if (!tap_) log("gestures: event tap unavailable (needs Accessibility)");
}

bool Gestures::scroll(const ScrollEvent& e) {
    // The rejection path runs for every scroll of every application: keep it cheap.
    if (!prefs_.optionScroll() || !(e.modifierFlags & eventflags::option)) return false;
    double delta = std::fabs(e.deltaX) > std::fabs(e.deltaY) ? e.deltaX : e.deltaY;
    if (!e.precise) delta *= lineFactor;
    const double amount = prefs_.natural() != e.invertedFromDevice ? delta : -delta;
    // Refused (off, paused, no strip): the application under the pointer scrolls.
    std::shared_ptr<Strip> strip = manager_.scrollBy(amount * speed());
    if (!strip) return false;

    // Every further event pushes the settle back.
    if (settleWork_) main_.cancel(*settleWork_);
    std::weak_ptr<Strip> target = strip;
    settleWork_ = main_.after(settleDelay, life_.guard([this, target] {
        settleWork_.reset();
        if (auto st = target.lock()) manager_.settle(st);
    }));
    return true;
}

void Gestures::pinch(const MagnifyEvent& e) {
    if (!prefs_.pinch4()) return;
    if (e.phase == gesturephase::began) pinchSum_ = 0;
    pinchSum_ += e.magnification;
    if (e.phase == gesturephase::ended || e.phase == gesturephase::cancelled) {
        if (pinchSum_ < pinchInThreshold) manager_.openOverview();
        pinchSum_ = 0;
    }
}

void Gestures::swiped(int d) {
    if (!prefs_.swipe3()) return;
    if (!prefs_.natural()) d = -d;
    manager_.perform(d > 0 ? Action::focusNext : Action::focusPrev, 0);
}

Connection Gestures::restartWhenTrusted(WindowManager& wm) {
    // The manager announces only turns: granted means it was missing.
    RunLoop* main = &main_;
    return wm.trusted.changed.connect([restart = life_.guard([this] { start(); }), main](const bool& granted) {
        if (granted) main->post(restart);
    });
}

}  // namespace tarvela

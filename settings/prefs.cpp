#include "settings/prefs.h"

#include "core/log.h"

namespace tarvela {
namespace {

template <class T>
T read(Defaults& d, const char* key, T fallback) {
    return prefs_codec::decode<T>(d, key).value_or(fallback);
}

// An earlier version kept one Boolean "dim" for the focus effect. It is never
// written or removed; it only seeds `dimLevel` and `blur` until they are stored.
bool legacyDim(Defaults& d) { return d.getBool("dim").value_or(true); }

}  // namespace

Prefs::Prefs(Defaults& store, LoginItemService* loginItems, AppearanceHook* appearanceHook)
    : d(store),
      onboarded(d, changed, "onboarded", read(d, "onboarded", false)),
      enabled(d, changed, "enabled", read(d, "enabled", true)),
      layout(d, changed, "layout", read(d, "layout", Layout::strip)),
      defaultWidth(d, changed, "defaultWidth", read(d, "defaultWidth", 0.5)),
      align(d, changed, "align", read(d, "align", Align::center)),
      showMenuBar(d, changed, "showMenuBar", read(d, "showMenuBar", true)),
      showDock(d, changed, "showDock", read(d, "showDock", false)),
      dimLevel(d, changed, "dimLevel", read(d, "dimLevel", legacyDim(d) ? 2 : 0)),
      blur(d, changed, "blur", read(d, "blur", legacyDim(d))),
      appearance(d, changed, "appearance", read(d, "appearance", 2)),
      notifyRestore(d, changed, "notifyRestore", read(d, "notifyRestore", true)),
      notifyDrift(d, changed, "notifyDrift", read(d, "notifyDrift", true)),
      previews(d, changed, "previews", read(d, "previews", false)),
      swipe3(d, changed, "swipe3", read(d, "swipe3", true)),
      optionScroll(d, changed, "optionScroll", read(d, "optionScroll", true)),
      pinch4(d, changed, "pinch4", read(d, "pinch4", false)),
      natural(d, changed, "natural", read(d, "natural", true)),
      scrollSpeed(d, changed, "scrollSpeed", read(d, "scrollSpeed", 1)),
      autoCheck(d, changed, "autoCheck", read(d, "autoCheck", true)),
      notifyWhenClosed(d, changed, "notifyWhenClosed", read(d, "notifyWhenClosed", true)),
      autoInstall(d, changed, "autoInstall", read(d, "autoInstall", false)),
      focusPolicy(d, changed, "focusPolicy", read(d, "focusPolicy", 0)),
      focusFollowsMouse(d, changed, "focusFollowsMouse", read(d, "focusFollowsMouse", false)),
      openAtLogin(*this),
      loginItems_(loginItems),
      appearanceHook_(appearanceHook) {
    appearance.afterWrite_ = [this] { applyAppearance(); };
    // At least one of the status item and the Dock icon stays, or the user
    // could no longer reach the application.
    showMenuBar.afterWrite_ = [this] {
        if (!showMenuBar() && !showDock()) showDock.set(true);
    };
    showDock.afterWrite_ = [this] {
        if (!showDock() && !showMenuBar()) showMenuBar.set(true);
    };
}

void Prefs::applyAppearance() {
    if (appearanceHook_) appearanceHook_->setAppearance(appearanceFor(appearance()));
}

bool OpenAtLoginSetting::operator()() const {
    auto* s = owner_.loginItems_;
    return s && s->status() == LoginItemStatus::enabled;
}

void OpenAtLoginSetting::set(bool on) {
    owner_.changed.emit();
    auto* s = owner_.loginItems_;
    if (!s) {
        log("open at login: no login item service");
        return;
    }
    if (auto error = on ? s->registerApp() : s->unregisterApp()) log("open at login: " + *error);
}

}  // namespace tarvela

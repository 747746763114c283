#include "settings/prefs.h"

#include <algorithm>
#include <sstream>

#include "core/log.h"
#include "settings/pref_ranges.h"

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
      desktops(d, changed, "desktops", read(d, "desktops", 4)),
      desktopNames(d, changed, "desktopNames", read(d, "desktopNames", std::string())),
      focusFollowsMouse(d, changed, "focusFollowsMouse", read(d, "focusFollowsMouse", false)),
      restoreLastSession(d, changed, "restoreLastSession", read(d, "restoreLastSession", false)),
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

int Prefs::desktopCount() const { return pref_range::desktops.clamp(desktops()); }

std::vector<std::string> Prefs::desktopNameList() const {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(desktopNames());
    while (std::getline(in, line)) lines.push_back(line);
    std::vector<std::string> out;
    for (int i = 0; i < desktopCount(); ++i) {
        const size_t k = static_cast<size_t>(i);
        out.push_back(k < lines.size() && !lines[k].empty() ? lines[k] : std::to_string(i + 1));
    }
    return out;
}

void Prefs::setDesktopNames(const std::vector<std::string>& names) {
    std::vector<std::string> lines = desktopNameList();
    // Names of desktops beyond the count are kept for when they come back.
    std::istringstream in(desktopNames());
    std::string line;
    for (size_t i = 0; std::getline(in, line); ++i)
        if (i >= lines.size()) lines.push_back(line);
    for (size_t i = 0; i < names.size() && i < lines.size(); ++i) {
        std::string n = names[i];
        std::replace(n.begin(), n.end(), '\n', ' ');
        lines[i] = n == std::to_string(i + 1) ? std::string() : n;
    }
    for (size_t i = 0; i < lines.size() && i < static_cast<size_t>(desktopCount()); ++i)
        if (lines[i] == std::to_string(i + 1)) lines[i].clear();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) joined += (i ? "\n" : "") + lines[i];
    desktopNames.set(joined);
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

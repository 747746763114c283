#include "app/router.h"

#include "core/log.h"

namespace tarvela {

void HeadlessRouter::settings(const std::optional<std::string>& pane) {
    log("settings window not available in this build" + (pane ? " (pane " + *pane + ")" : std::string()));
}

void HeadlessRouter::onboarding() {
    log("onboarding: no windows in this build; starting with the default settings");
    if (completeOnboarding) completeOnboarding();
}

void HeadlessRouter::permissionLost() {
    log("another window manager holds the display; Tarvela starts on its own once it is free");
}

void HeadlessRouter::preview(const std::string& name) {
    log("preview of \"" + name + "\": that window does not exist in this build yet");
}

}  // namespace tarvela

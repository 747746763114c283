#include "app/router.h"

#include "core/log.h"
#include "updates/updater.h"

namespace tarvela {

bool preview::known(const std::string& name) {
    if (name.rfind("onboarding", 0) == 0 || name.rfind("settings", 0) == 0) return true;
    for (const char* n : {"permission", "update", "save", "addapps", "toast", "popover"})
        if (name == n) return true;
    return false;
}

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
    if (!preview::known(name)) log("preview of \"" + name + "\": no such window; known: " + preview::knownNames);
    else log("preview of \"" + name + "\": that window does not exist in this build yet");
}

void HeadlessRouter::softwareUpdate() {
    if (!updater) {
        log("software update window not available in this build");
        return;
    }
    logUpdateView();
    if (!following_.connected()) following_ = updater->changed.connect([this] { logUpdateView(); });
}

void HeadlessRouter::logUpdateView() {
    const UpdateView v = updater->view();
    std::string line = "software update: " + v.title + " — " + v.subline + " [" + v.button +
                       (v.buttonEnabled ? "" : ", inactive") + "]";
    for (size_t i = 0; i < v.notes.size(); ++i)
        line += (i == 0 ? std::string(" · ") + update_view::whatsNew + ": " : std::string(" / ")) + v.notes[i];
    log(line);
}

}  // namespace tarvela

// Where the shell sends the user: the settings, onboarding, permission and
// software-update windows. The Qt shell implements it with real windows; until then the
// headless router says in the log what would have opened.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/signal.h"

namespace tarvela {

class Updater;

namespace preview {
// The windows `--preview NAME` shows; "onboarding" and "settings" match as prefixes.
inline constexpr const char* knownNames =
    "onboarding, settings (or settings:PANE), permission, update, save, addapps, toast, popover";
bool known(const std::string& name);
}  // namespace preview

class Router {
public:
    virtual ~Router() = default;
    virtual void settings(const std::optional<std::string>& pane) = 0;
    virtual void onboarding() = 0;
    virtual void permissionLost() = 0;
    // A window shown on its own for inspection (`--preview NAME`).
    virtual void preview(const std::string& name) = 0;
    // The software-update window, over the shell's updater.
    virtual void softwareUpdate() {}
};

// Without windows there is nothing to walk a first-time user through, so
// onboarding completes at once with the default settings (via `completeOnboarding`).
class HeadlessRouter final : public Router {
public:
    std::function<void()> completeOnboarding;
    void settings(const std::optional<std::string>& pane) override;
    void onboarding() override;
    void permissionLost() override;
    void preview(const std::string& name) override;
    // Says what the update window shows, and again at every change of the
    // check from then on.
    void softwareUpdate() override;
    Updater* updater = nullptr;

private:
    void logUpdateView();
    Connection following_;
};

}  // namespace tarvela

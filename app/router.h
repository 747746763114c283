// Where the shell sends the user: the settings, onboarding and permission
// windows. The Qt shell implements it with real windows; until then the
// headless router says in the log what would have opened.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace tarvela {

class Router {
public:
    virtual ~Router() = default;
    virtual void settings(const std::optional<std::string>& pane) = 0;
    virtual void onboarding() = 0;
    virtual void permissionLost() = 0;
    // A window shown on its own for inspection (`--preview NAME`).
    virtual void preview(const std::string& name) = 0;
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
};

}  // namespace tarvela

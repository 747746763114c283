// The router of the executable: Tarvela's own windows in Qt, one of each kind.
// Windows not built yet say in the log what would have opened, as the
// headless router does.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "app/router.h"
#include "ui/own_windows.h"

namespace tarvela {

class QtRouter final : public Router {
public:
    void settings(const std::optional<std::string>& pane) override;
    void onboarding() override;
    void permissionLost() override;
    void preview(const std::string& name) override;
    void softwareUpdate() override;

    std::function<void()>& completeOnboarding() { return headless_.completeOnboarding; }
    void setUpdater(Updater* updater);
    OwnWindows& windows() { return windows_; }

private:
    HeadlessRouter headless_;
    Updater* updater_ = nullptr;
    OwnWindows windows_;
};

}  // namespace tarvela

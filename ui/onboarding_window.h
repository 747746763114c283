// The first-launch walk-through's window: the current step's texts and
// choices on the left, a drawn mock of a strip of windows on the right (it
// follows the layout chosen), and the footer with the step dots and buttons.
// Everything it says and does comes from Onboarding.
#pragma once

#include "feedback/onboarding.h"
#include "ui/settings_window.h"

class QHBoxLayout;

namespace tarvela {

class OnboardingWindow final : public ModelView {
public:
    explicit OnboardingWindow(Onboarding& onboarding);

protected:
    // Return moves forward, as the highlighted button says.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void build(QVBoxLayout& into) override;
    // The step's own part of the left column, under the title.
    void addPermission(QVBoxLayout& left, const PermissionStep& p);
    void addLayoutChoices(QVBoxLayout& left, const LayoutStep& step);
    void addReady(QVBoxLayout& left, const ReadyStep& ready);
    // The step label and dots, and back, skip and forward.
    QHBoxLayout* footer(const OnboardingView& v);
    Onboarding& o_;
};

}  // namespace tarvela

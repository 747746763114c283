// The dim overlays' windows: one per display, covering its visible frame,
// click-through, stacked directly below the window the overlay plan names.
// Without a compositor a translucent window would paint the display black,
// so then nothing is shown.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform.h"
#include "core/shell_desktop.h"
#include "feedback/absence_notice.h"
#include "feedback/dim_overlay.h"
#include "core/signal.h"

namespace tarvela {

class DimWindow final : public QWidget {
public:
    DimWindow();
    void setLook(double dimAlpha, bool blur);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double dimAlpha_ = 0;
    bool blur_ = false;
};

class DimWindows {
public:
    DimWindows(DimOverlay& overlay, ShellDesktop& desktop, std::function<std::vector<Screen>()> screens);
    ~DimWindows();
    void sync();
    // For tests: the windows made so far, one per display index.
    const std::vector<std::unique_ptr<DimWindow>>& windows() const { return windows_; }

private:
    DimOverlay& overlay_;
    ShellDesktop& desktop_;
    std::function<std::vector<Screen>()> screens_;
    std::vector<std::unique_ptr<DimWindow>> windows_;
    Connection link_;
    AbsenceNotice noCompositor_{
        "dimming and blur need a compositing manager (such as picom): none runs, so nothing is dimmed",
        "a compositing manager runs now: dimming and blur are drawn again"};
};

}  // namespace tarvela

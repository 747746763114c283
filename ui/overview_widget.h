// The overview's window: full screen on the main display, drawing what the
// Overview's model says, taking the keyboard while open (Escape closes it and
// never reaches the window below) and handing clicks back.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "core/platform.h"
#include "feedback/overview.h"
#include "core/signal.h"
#include "ui/painting.h"
#include "ui/panel_levels.h"

namespace tarvela {

class OverviewWidget final : public QWidget {
public:
    OverviewWidget(Overview& overview, std::function<std::vector<Screen>()> screens, std::function<bool()> compositing);
    void sync();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    Overview& overview_;
    PaintedButtons buttons_;
    PanelStacking stacking_;
    std::function<std::vector<Screen>()> screens_;
    std::function<bool()> compositing_;
    QTimer fadeTick_;
    bool grabbed_ = false;
    Connection link_;
};

}  // namespace tarvela

// The HUD's window: draws what HUDPanel's view says at the panel's frame and
// alpha, and hands clicks back. An override-redirect window that never takes
// the focus; Tarvela places and stacks it itself.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "core/platform.h"
#include "feedback/hud_panel.h"
#include "core/signal.h"
#include "ui/painting.h"
#include "ui/panel_levels.h"

namespace tarvela {

class HUDWidget final : public QWidget {
    Q_OBJECT
public:
    // `compositing` says whether translucency and fades can be shown.
    HUDWidget(HUDPanel& hud, std::function<std::vector<Screen>()> screens, std::function<bool()> compositing);

    // Follows the panel's state: placed, faded, mapped or unmapped.
    void sync();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent*) override;
    bool event(QEvent* e) override;

private:
    void labelPieces();
    // A frame of a fade or of the tiles' animations.
    void tick();
    bool fading() const;

    HUDPanel& hud_;
    PaintedButtons buttons_;
    PanelStacking stacking_;
    std::function<std::vector<Screen>()> screens_;
    std::function<bool()> compositing_;
    QTimer frameTick_;
    Connection link_;
};

}  // namespace tarvela

// Tarvela's floating panels keep the order of their levels among themselves,
// whoever was raised last: the HUD floats over applications, the overview
// covers the HUD, and toasts stay over both. Nothing manages these windows,
// so X keeps no levels for them: a panel raising itself puts every shown
// panel of a higher level back over it.
#pragma once

class QWidget;

namespace tarvela {

enum class PanelLevel { floating = 3, overview = 8, status = 25 };

// The panel's place among the others, for as long as it lives.
class PanelStacking {
public:
    PanelStacking(QWidget* panel, PanelLevel level);
    ~PanelStacking();
    PanelStacking(const PanelStacking&) = delete;
    PanelStacking& operator=(const PanelStacking&) = delete;

    // Over applications' windows and lower panels, under the shown higher ones.
    void raise();

private:
    QWidget* panel_;
    PanelLevel level_;
};

}  // namespace tarvela

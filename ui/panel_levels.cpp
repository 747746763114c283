#include "ui/panel_levels.h"

#include <QWidget>
#include <algorithm>
#include <vector>

namespace tarvela {

namespace {
std::vector<const PanelStacking*>& panels() {
    static std::vector<const PanelStacking*> all;
    return all;
}
}  // namespace

PanelStacking::PanelStacking(QWidget* panel, PanelLevel level) : panel_(panel), level_(level) {
    panels().push_back(this);
}

PanelStacking::~PanelStacking() { std::erase(panels(), this); }

void PanelStacking::raise() {
    panel_->raise();
    std::vector<const PanelStacking*> above;
    for (const PanelStacking* p : panels())
        if (p->level_ > level_ && p->panel_->isVisible()) above.push_back(p);
    std::stable_sort(above.begin(), above.end(), [](auto* a, auto* b) { return a->level_ < b->level_; });
    for (const PanelStacking* p : above) p->panel_->raise();
}

}  // namespace tarvela

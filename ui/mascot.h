// Tarvela's mascot, drawn in code so it stays sharp at every size and scale:
// a small round creature whose belly is the strip of three columns it keeps.
#pragma once

#include <QRectF>

class QIcon;
class QPainter;

namespace tarvela {

// Fills `r` (best square); its natural size is 16 × 16 points.
void drawMascot(QPainter& p, const QRectF& r);
// The mascot at the sizes window decorations, task bars and the about box ask for.
QIcon mascotIcon();

}  // namespace tarvela

#include "ui/mascot.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QPainterPath>

namespace tarvela {

void drawMascot(QPainter& p, const QRectF& area) {
    const double side = std::min(area.width(), area.height());
    const QRectF r(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
    const double u = side / 16;  // one point of the 16-point design
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // The body: a rounded blob, light on top.
    QLinearGradient body(r.topLeft(), r.bottomLeft());
    body.setColorAt(0, QColor(122, 196, 255));
    body.setColorAt(1, QColor(36, 118, 226));
    p.setPen(QPen(QColor(16, 64, 140), 0.8 * u));
    p.setBrush(body);
    p.drawRoundedRect(r.adjusted(0.5 * u, 1 * u, -0.5 * u, -0.5 * u), 6 * u, 6 * u);
    // Its belly: three columns, the middle one focused.
    p.setPen(Qt::NoPen);
    const double colW = 2.6 * u;
    const double gap = 0.9 * u;
    const double x0 = r.center().x() - 1.5 * colW - gap;
    for (int i = 0; i < 3; ++i) {
        p.setBrush(i == 1 ? QColor(255, 255, 255) : QColor(255, 255, 255, 150));
        const double h = i == 1 ? 6.5 * u : 5.2 * u;
        p.drawRoundedRect(QRectF(x0 + i * (colW + gap), r.top() + 14.5 * u - h, colW, h), 0.8 * u, 0.8 * u);
    }
    // Eyes above it.
    p.setBrush(QColor(20, 30, 60));
    p.drawEllipse(QPointF(r.center().x() - 2.6 * u, r.top() + 5 * u), 1.2 * u, 1.4 * u);
    p.drawEllipse(QPointF(r.center().x() + 2.6 * u, r.top() + 5 * u), 1.2 * u, 1.4 * u);
    p.restore();
}

QIcon mascotIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pm(side, side);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        drawMascot(p, QRectF(0, 0, side, side));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace tarvela

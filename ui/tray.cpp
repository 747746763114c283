#include "ui/tray.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cmath>

#include "ui/mascot.h"
#include "ui/painting.h"

namespace tarvela {

namespace {
// The status line names applications. Over D-Bus the tool-tip reaches the
// tray host as it is; on an XEmbed tray Qt shows it, guessing from a < or an
// & whether it is markup. An invisible word joiner after each keeps that guess
// off, and shows the same on either.
QString plainTrayTip(const std::string& text) {
    QString out;
    for (const QChar c : QString::fromStdString(text)) {
        out += c;
        if (c == u'<' || c == u'&') out += QChar(0x2060);
    }
    return out;
}
}  // namespace

QImage renderPill(const PillImage& pill, double dpr) {
    QImage img(static_cast<int>(std::ceil(pill.size.width * dpr)), static_cast<int>(std::ceil(pill.size.height * dpr)),
               QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF body = qtRect(pill.pill);
    p.setPen(Qt::NoPen);
    p.setBrush(qtColor(pill.fill));
    p.drawRoundedRect(body, pill.radius, pill.radius);
    if (pill.outline) {
        const double w = pill.outline->width;
        p.setPen(QPen(qtColor(pill.outline->color), w));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body.adjusted(w / 2, w / 2, -w / 2, -w / 2), pill.radius - w / 2, pill.radius - w / 2);
    }

    // A soft shadow under the mascot: its own shape, offset and faint.
    const QRectF m = qtRect(pill.mascot);
    p.save();
    p.setOpacity(pill.shadowColor.a * 0.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0));
    p.drawEllipse(QRectF(m.left() + 1, m.bottom() - 2, m.width() - 2, 2 * pill.shadowBlur + 1));
    p.restore();
    drawMascot(p, m);

    if (!pill.text.empty()) {
        p.setPen(qtColor(pill.textColor));
        p.setFont(qtFont(pill.font));
        p.drawText(qtRect(pill.textFrame), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(pill.text));
    }
    if (pill.badge) {
        const QRectF dot = qtRect(pill.badge->dot);
        p.setPen(QPen(qtColor(pill.badge->ringColor), pill.badge->ring));
        p.setBrush(qtColor(pill.badge->fill));
        p.drawEllipse(dot);
    }
    return img;
}

TrayItem::TrayItem(StatusController& status, TextMetrics& metrics, QMenu* contextMenu)
    : status_(status),
      metrics_(metrics),
      menu_(contextMenu),
      noTray_("no system tray on this display: the tray item shows once a panel with a tray runs; meanwhile "
              "starting tarvela again opens the settings",
              "a system tray runs now: the tray item shows in it") {
    link_ = status_.changed.connect([this] { sync(); });
}

TrayItem::~TrayItem() = default;

void TrayItem::sync() {
    if (!status_.itemShown()) {
        icon_.reset();
        return;
    }
    if (!icon_) {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) noTray_.missing();
        icon_ = std::make_unique<QSystemTrayIcon>();
        icon_->setContextMenu(menu_);
        connect(icon_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why != QSystemTrayIcon::Trigger) return;
            lastClick_ = QCursor::pos();
            status_.toggle();
        });
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    const double dpr = screen ? screen->devicePixelRatio() : 1.0;
    // Neither tray protocol tells an icon the panel's colour; the panels of the
    // desktops Tarvela runs on (tint2, most others) are dark by default.
    constexpr bool darkBar = true;
    const PillImage pill = status_.image(darkBar, Size{16, 16}, metrics_);
    icon_->setIcon(QIcon(QPixmap::fromImage(renderPill(pill, dpr))));
    ++drawn_;
    icon_->setToolTip(plainTrayTip(status_.tooltip()));
    if (!icon_->isVisible()) icon_->show();
}

void TrayItem::trayChanged(bool runs) {
    // Qt embeds the icon in a tray that comes by itself.
    if (runs) noTray_.present();
    else if (icon_) noTray_.missing();
}

QRect TrayItem::geometry() const { return icon_ ? icon_->geometry() : QRect(); }

QString TrayItem::toolTip() const { return icon_ ? icon_->toolTip() : QString(); }

}  // namespace tarvela

#include "ui/toast_widget.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include "feedback/palette.h"
#include "ui/mascot.h"
#include "ui/painting.h"
#include "ui/theme.h"

namespace tarvela {

namespace {

QPainterPath card(const QRectF& r) {
    QPainterPath p;
    p.addRoundedRect(r, toast::radius, toast::radius);
    return p;
}
}  // namespace

ToastCard::ToastCard(Toast& toast, bool current)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      toast_(toast),
      current_(current),
      stacking_(this, PanelLevel::status) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName("Notification");
    setWindowTitle(current ? "Tarvela toast" : "Tarvela toast (leaving)");
}

void ToastCard::showPanel(const ToastPanel& panel, const QRect& where, bool compositing) {
    panel_ = panel;
    setAccessibleDescription(QString::fromStdString(panel.model.title + ". " + panel.model.text));
    const QRect g = where.translated(static_cast<int>(dragX_), 0);
    if (geometry() != g) setGeometry(g);
    if (compositing) {
        clearMask();
    } else {
        setMask(QRegion(card(QRectF(0, 0, where.width(), where.height())).toFillPolygon().toPolygon()));
    }
    if (!isVisible()) show();
    stacking_.raise();
    update();
}

void ToastCard::paintEvent(QPaintEvent*) {
    const ToastLayout& l = panel_.layout;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Theme& theme = Theme::current();
    const QColor text = theme.text();
    const QColor text2 = theme.secondary();
    const QRectF all(0, 0, l.size.width, l.size.height);
    const QColor bg = Theme::withAlphaF(theme.card(), 0.97);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawPath(card(all));
    QColor border = text;
    border.setAlphaF(toast::borderOpacity);
    p.setPen(QPen(border, toast::borderWidth));
    p.setBrush(Qt::NoBrush);
    p.drawPath(card(all.adjusted(0.5, 0.5, -0.5, -0.5)));

    p.save();
    QPainterPath iconClip;
    iconClip.addRoundedRect(qtRect(l.icon), toast::iconRadius, toast::iconRadius);
    p.setClipPath(iconClip);
    p.fillRect(qtRect(l.icon), theme.accentWash());
    drawMascot(p, qtRect(l.icon).adjusted(3, 3, -3, -3));
    p.restore();

    p.setPen(text);
    p.setFont(qtFont(toast::titleFont));
    p.drawText(qtRect(l.title), Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(l.shownTitle));
    p.setPen(text2);
    p.setFont(qtFont(toast::nowFont));
    p.drawText(qtRect(l.now), Qt::AlignRight | Qt::AlignVCenter, toast::now);
    p.setFont(qtFont(toast::textFont));
    p.drawText(qtRect(l.text), Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(l.shownText));

    auto button = [&](const Rect& r, const std::string& label, bool primary) {
        p.setPen(Qt::NoPen);
        QColor fill = primary ? theme.accent() : text;
        if (!primary) fill.setAlphaF(0.1);
        p.setBrush(fill);
        p.drawRoundedRect(qtRect(r), 7, 7);
        p.setPen(primary ? QColor(Qt::white) : text);
        p.setFont(qtFont(toast::buttonFont));
        p.drawText(qtRect(r), Qt::AlignCenter, QString::fromStdString(label));
    };
    if (l.primary && panel_.model.primary) button(*l.primary, *panel_.model.primary, true);
    button(l.secondary, panel_.model.secondary, false);
}

void ToastCard::enterEvent(QEnterEvent*) {
    if (current_) toast_.hover(true);
}

void ToastCard::leaveEvent(QEvent*) {
    if (current_) toast_.hover(false);
}

void ToastCard::mousePressEvent(QMouseEvent* e) {
    if (current_ && e->button() == Qt::LeftButton) pressAt_ = e->globalPosition();
}

void ToastCard::mouseMoveEvent(QMouseEvent* e) {
    if (!pressAt_) return;
    const QPointF d = e->globalPosition() - *pressAt_;
    // The card follows a drag to the right once it is a drag at all.
    const double follow = std::hypot(d.x(), d.y()) >= toast::dragMinimum ? std::max(0.0, d.x()) : 0.0;
    if (follow != dragX_) {
        move(x() + static_cast<int>(follow - dragX_), y());
        dragX_ = follow;
    }
}

void ToastCard::mouseReleaseEvent(QMouseEvent* e) {
    if (!pressAt_ || e->button() != Qt::LeftButton) return;
    const QPointF d = e->globalPosition() - *pressAt_;
    pressAt_.reset();
    const bool dragged = std::hypot(d.x(), d.y()) >= toast::dragMinimum;
    move(x() - static_cast<int>(dragX_), y());
    dragX_ = 0;
    if (dragged) {
        toast_.dragEnded(d.x());
        return;
    }
    const Point at{e->position().x(), e->position().y()};
    const ToastLayout& l = panel_.layout;
    if (l.primary && l.primary->contains(at)) toast_.primaryPressed();
    else if (l.secondary.contains(at)) toast_.secondaryPressed();
}

ToastWindows::ToastWindows(Toast& toast, std::function<std::vector<Screen>()> screens, std::function<bool()> compositing)
    : toast_(toast),
      screens_(std::move(screens)),
      compositing_(std::move(compositing)),
      current_(toast, true),
      leaving_(toast, false) {
    link_ = toast_.changed.connect([this] { sync(); });
}

void ToastWindows::sync() {
    const std::vector<Screen> screens = screens_();
    const bool comp = compositing_();
    auto place = [&](ToastCard& w, const ToastPanel* p) {
        if (!p) {
            w.hide();
            return;
        }
        w.showPanel(*p, screenToQt(screens, p->frame).toAlignedRect(), comp);
    };
    place(current_, toast_.panel());
    place(leaving_, toast_.leaving());
}

}  // namespace tarvela

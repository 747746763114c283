#include "ui/overview_widget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include "feedback/palette.h"
#include "ui/app_glyph.h"
#include "ui/painting.h"
#include "ui/theme.h"

namespace tarvela {

namespace {

void text(QPainter& p, const OverviewText& t, Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter) {
    if (t.text.empty()) return;
    QFont f = qtFont(t.font);
    if (t.tracking > 0) f.setLetterSpacing(QFont::AbsoluteSpacing, t.tracking);
    p.setFont(f);
    p.setPen(qtColor(ov::white, t.opacity));
    p.drawText(qtRect(t.frame), align, QString::fromStdString(t.text));
}

// The part of a picture that has the card's proportions: scaled into the
// card it fills it. Across, the middle is kept; down, the top, where a
// window's content begins (a tall terminal's middle is often empty).
QRectF filling(const QSizeF& picture, const QSizeF& card) {
    if (card.isEmpty() || picture.isEmpty()) return QRectF(QPointF(0, 0), picture);
    const double scale = std::max(card.width() / picture.width(), card.height() / picture.height());
    const QSizeF part = card / scale;
    return QRectF(QPointF((picture.width() - part.width()) / 2, 0), part);
}

void control(QPainter& p, const OverviewControl& c) {
    p.setPen(Qt::NoPen);
    p.setBrush(qtColor(ov::white, c.fillOpacity));
    p.drawRoundedRect(qtRect(c.frame), c.radius, c.radius);
    p.setPen(qtColor(ov::white));
    p.setFont(qtFont(c.font));
    p.drawText(qtRect(c.frame), Qt::AlignCenter, QString::fromStdString(c.text));
}

}  // namespace

OverviewWidget::OverviewWidget(Overview& overview, std::function<std::vector<Screen>()> screens,
                               std::function<bool()> compositing)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint),
      overview_(overview),
      buttons_(this, [this](Point at) { overview_.click(at); }),
      stacking_(this, PanelLevel::overview),
      screens_(std::move(screens)),
      compositing_(std::move(compositing)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle("Tarvela overview");
    setAccessibleName("Strip overview");
    setFocusPolicy(Qt::StrongFocus);
    fadeTick_.setTimerType(Qt::PreciseTimer);
    fadeTick_.setInterval(16);
    QObject::connect(&fadeTick_, &QTimer::timeout, this, [this] { sync(); });
    link_ = overview_.changed.connect([this] { sync(); });
}

void OverviewWidget::sync() {
    const bool fades = compositing_();
    if (overview_.hasKeyboard() != grabbed_) {
        grabbed_ = overview_.hasKeyboard();
        if (!grabbed_) releaseKeyboard();
    }
    if (!overview_.orderedIn()) {
        fadeTick_.stop();
        hide();
        return;
    }
    const QRect g = screenToQt(screens_(), overview_.frame()).toAlignedRect();
    if (geometry() != g) setGeometry(g);
    const double alpha = overview_.alpha();
    setWindowOpacity(fades ? alpha : 1.0);
    if (fades && alpha != overview_.fade().to) {
        if (!fadeTick_.isActive()) fadeTick_.start();
    } else {
        fadeTick_.stop();
    }
    std::vector<std::pair<Rect, std::string>> named{{overview_.model().close.frame, overview_.model().close.label}};
    for (const OverviewSection& s : overview_.model().sections)
        for (const OverviewColumn& c : s.columns) named.emplace_back(c.frame, c.label);
    for (const auto& [tab, c] : overview_.model().tabs) named.emplace_back(c.frame, c.label);
    buttons_.place(named);
    if (!isVisible()) show();
    stacking_.raise();
    // An override-redirect window gets no focus from the window manager: take the keys.
    if (grabbed_) {
        activateWindow();
        grabKeyboard();
    }
    update();
}

void OverviewWidget::paintEvent(QPaintEvent*) {
    const OverviewModel& m = overview_.model();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF all = rect();
    p.fillRect(all, qtColor(ov::backdrop, compositing_() ? ov::backdropOpacity : 1.0));
    for (const ov::Glow& glow : {ov::glowBlue, ov::glowPurple}) {
        QRadialGradient grad(QPointF(all.width() * glow.centre.x, all.height() * glow.centre.y), ov::glowRadius);
        grad.setColorAt(0, qtColor(glow.colour));
        grad.setColorAt(1, Qt::transparent);
        p.fillRect(all, grad);
    }
    text(p, m.title);
    text(p, m.subtitle);
    control(p, m.keyCap);
    text(p, m.hint);
    control(p, m.close);
    for (const auto& [tab, c] : m.tabs) control(p, c);
    if (m.empty) {
        text(p, m.empty->title, Qt::AlignCenter);
        text(p, m.empty->body, Qt::AlignCenter);
    }
    for (const OverviewSection& s : m.sections) {
        text(p, s.label);
        for (const OverviewColumn& c : s.columns) {
            text(p, c.number, Qt::AlignCenter);
            for (const OverviewCard& card : c.cards) {
                const QRectF r = qtRect(card.frame);
                QPainterPath shape;
                shape.addRoundedRect(r, ov::cardRadius, ov::cardRadius);
                if (card.glow) {
                    p.setPen(QPen(qtColor(ov::glowColour), ov::shadowRadius / 2));
                    p.setBrush(Qt::NoBrush);
                    p.drawPath(shape);
                }
                p.fillPath(shape, qtColor(card.ground));
                const QImage picture = qtImage(card.picture);
                if (!picture.isNull()) {
                    p.save();
                    p.setClipPath(shape);
                    p.setOpacity(ov::pictureOpacity);
                    p.drawImage(r, picture, filling(picture.size(), r.size()));
                    p.restore();
                } else if (card.sketch) {
                    const OverviewSketch& k = *card.sketch;
                    paintAppGlyph(p, qtRect(k.glyph), k.icon, "", k.name.text);
                    text(p, k.name);
                    p.setPen(Qt::NoPen);
                    p.setBrush(qtColor(ov::white, ov::barOpacity));
                    p.drawRoundedRect(qtRect(k.bar), ov::barHeight / 2, ov::barHeight / 2);
                    p.setBrush(qtColor(ov::white, ov::shortBarOpacity));
                    for (const Rect& b : k.shortBars) p.drawRoundedRect(qtRect(b), ov::barHeight / 2, ov::barHeight / 2);
                }
                if (card.ring) {
                    p.setPen(QPen(Theme::current().accent(), ov::ringWidth));
                    p.setBrush(Qt::NoBrush);
                    p.drawRoundedRect(qtRect(*card.ring), ov::ringRadius, ov::ringRadius);
                }
                if (card.attention) paintAttentionMark(p, qtRect(card.frame).adjusted(0, 4, -4, 0));
            }
        }
    }
}

void OverviewWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) overview_.click({e->position().x(), e->position().y()});
}

void OverviewWidget::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && overview_.escape()) return;  // swallowed
    QWidget::keyPressEvent(e);
}

}  // namespace tarvela

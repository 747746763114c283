#include "ui/hud_widget.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QToolTip>

#include "feedback/palette.h"
#include "ui/app_glyph.h"
#include "ui/painting.h"
#include "ui/theme.h"

namespace tarvela {

namespace {
const Rgba white{1, 1, 1, 1};

// Applications name themselves: a tool-tip would take a name such as <b>x</b> for markup.
QString plainTip(const std::string& text) {
    return Qt::convertFromPlainText(QString::fromStdString(text), Qt::WhiteSpacePre);
}

Rgba mix(const Rgba& a, const Rgba& b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

QPainterPath rounded(const Rect& r, double radius) {
    QPainterPath p;
    p.addRoundedRect(qtRect(r), radius, radius);
    return p;
}
}  // namespace

HUDWidget::HUDWidget(HUDPanel& hud, std::function<std::vector<Screen>()> screens, std::function<bool()> compositing)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus),
      hud_(hud),
      buttons_(this, [this](Point at) { hud_.click(at); }),
      stacking_(this, PanelLevel::floating),
      screens_(std::move(screens)),
      compositing_(std::move(compositing)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setAccessibleName("Strip HUD");
    setWindowTitle("Tarvela HUD");
    frameTick_.setTimerType(Qt::PreciseTimer);
    frameTick_.setInterval(16);
    connect(&frameTick_, &QTimer::timeout, this, [this] { tick(); });
    link_ = hud_.changed.connect([this] { sync(); });
}

bool HUDWidget::fading() const { return compositing_() && hud_.alpha() != hud_.fade().to; }

void HUDWidget::tick() {
    if (fading()) return sync();
    update();
    if (!hud_.tilesMoving()) frameTick_.stop();
}

void HUDWidget::sync() {
    const bool fades = compositing_();
    const double alpha = fades ? hud_.alpha() : (hud_.shown() ? 1.0 : 0.0);
    // A fade in starts from nothing: the window must be up to be seen fading.
    const bool fadingIn = fades && hud_.fade().to > 0;
    if (!hud_.orderedIn() || (alpha <= 0 && !fadingIn)) {
        frameTick_.stop();
        hud_.hoverTile(-1);
        hide();
        return;
    }
    const QRect g = screenToQt(screens_(), hud_.frame()).toAlignedRect();
    if (geometry() != g) setGeometry(g);
    if (fading() || hud_.tilesMoving()) {
        if (!frameTick_.isActive()) frameTick_.start();
    } else {
        frameTick_.stop();
    }
    if (fades) {
        clearMask();
        setWindowOpacity(alpha);
    } else {
        // Without a compositor the window's transparent corners would come out
        // black: cut them away instead.
        QPainterPath shape = rounded(hud_.view().stripRow, hud::stripRadius);
        if (hud_.view().optionsRow) shape.addPath(rounded(*hud_.view().optionsRow, hud::optionsRadius));
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
    labelPieces();
    if (!isVisible()) show();
    stacking_.raise();
    update();
}

void HUDWidget::labelPieces() {
    std::vector<std::pair<Rect, std::string>> pieces;
    for (const HUDTile& t : hud_.view().tiles)
        for (const HUDGlyph& g : t.windows) pieces.emplace_back(g.frame, g.label);
    for (const HUDControl& c : hud_.view().controls)
        if (!c.label.empty()) pieces.emplace_back(c.frame, c.label);
    buttons_.place(pieces);
}

void HUDWidget::paintEvent(QPaintEvent*) {
    const HUDView& v = hud_.view();
    if (v.empty) return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(qtColor(hud::ink, hud::inkOpacity));
    p.drawPath(rounded(v.stripRow, hud::stripRadius));
    if (v.optionsRow) p.drawPath(rounded(*v.optionsRow, hud::optionsRadius));

    const QColor a = Theme::current().accent();
    const Rgba accent{a.redF(), a.greenF(), a.blueF(), 1};
    for (const HUDTile& t : v.tiles) {
        const HUDTile::Look look = hud_.tileLook(t.col);
        p.save();
        const QPointF mid = qtRect(t.frame).center();
        p.translate(mid);
        p.scale(look.scale, look.scale);
        p.translate(-mid);
        p.setBrush(qtColor(mix(Rgba{1, 1, 1, look.whiteOpacity}, accent, look.accent)));
        p.setPen(look.border > 0 ? QPen(qtColor(white, look.border), hud::tileBorder) : QPen(Qt::NoPen));
        p.drawPath(rounded(t.frame, hud::tileRadius));
        p.setOpacity(look.glyphOpacity);
        for (const HUDGlyph& g : t.windows) {
            const QRectF cell = qtRect(g.frame);
            const QRectF icon(cell.center().x() - t.iconSize / 2, cell.center().y() - t.iconSize / 2, t.iconSize,
                              t.iconSize);
            paintAppGlyph(p, icon, g.icon, "", g.app);
            if (g.attention) paintAttentionMark(p, cell);
        }
        p.restore();
    }

    for (const HUDControl& c : v.controls) {
        if (c.part == HUDPart::options) {
            // The status text, then a chevron pointing up, turned down while the options are open.
            p.setPen(qtColor(hud::statusInk));
            p.setFont(qtFont(c.font));
            const QRectF r = qtRect(c.frame).adjusted(hud::statusMarginX, 0, -hud::statusMarginX, 0);
            p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(c.text));
            const QRectF chevron = qtRect(v.chevron);
            const double half = chevron.width() / 2, rise = chevron.height() / 4;
            p.save();
            p.translate(chevron.center());
            if (v.opts) p.rotate(180);
            p.setPen(QPen(qtColor(hud::statusInk), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPolyline(QPolygonF({QPointF(-half + 1, rise), QPointF(0, -rise), QPointF(half - 1, rise)}));
            p.restore();
            continue;
        }
        p.setPen(Qt::NoPen);
        switch (c.fill) {
            case HUDFill::keyCap: p.setBrush(qtColor(white, hud::keyCapOpacity)); break;
            case HUDFill::button: p.setBrush(qtColor(white, hud::buttonOpacity)); break;
            case HUDFill::accent: p.setBrush(Theme::current().accent()); break;
            case HUDFill::none: p.setBrush(Qt::NoBrush); break;
        }
        if (c.fill != HUDFill::none) p.drawPath(rounded(c.frame, hud::controlRadius));
        if (c.text.empty()) continue;
        p.setPen(qtColor(white));
        p.setFont(qtFont(c.font));
        p.drawText(qtRect(c.frame), Qt::AlignCenter, QString::fromStdString(c.text));
    }
}

void HUDWidget::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    hud_.click({e->position().x(), e->position().y()});
}

void HUDWidget::mouseMoveEvent(QMouseEvent* e) {
    int hovered = -1;
    for (const HUDTile& t : hud_.view().tiles)
        if (qtRect(t.frame).contains(e->position())) hovered = t.col;
    hud_.hoverTile(hovered);
}

void HUDWidget::leaveEvent(QEvent*) { hud_.hoverTile(-1); }

bool HUDWidget::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        const Point at{help->pos().x() * 1.0, help->pos().y() * 1.0};
        for (const HUDTile& t : hud_.view().tiles)
            for (const HUDGlyph& g : t.windows)
                if (g.frame.contains(at)) {
                    QToolTip::showText(help->globalPos(), plainTip(g.app), this);
                    return true;
                }
        for (const HUDControl& c : hud_.view().controls)
            if (!c.label.empty() && c.frame.contains(at)) {
                QToolTip::showText(help->globalPos(), plainTip(c.label), this);
                return true;
            }
        QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

}  // namespace tarvela

#include "ui/painting.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

#include "core/window_access.h"
#include "feedback/palette.h"
#include "feedback/status_item.h"

namespace tarvela {

QFont qtFont(const Font& f) {
    QFont q = QGuiApplication::font();
    q.setPixelSize(std::max(1, static_cast<int>(std::lround(f.size))));
    switch (f.weight) {
        case Weight::regular: q.setWeight(QFont::Normal); break;
        case Weight::medium: q.setWeight(QFont::Medium); break;
        case Weight::semibold: q.setWeight(QFont::DemiBold); break;
        case Weight::bold: q.setWeight(QFont::Bold); break;
    }
    // Figures that keep their width come with the usual desktop fonts (DejaVu,
    // Noto, Liberation) by default; Qt 6.4 cannot ask for them otherwise.
    return q;
}

QColor qtColor(const Rgba& c, double opacity) { return QColor::fromRgbF(c.r, c.g, c.b, c.a * opacity); }

void paintAttentionMark(QPainter& p, const QRectF& area) {
    const double d = pill::badgeDiameter, ring = pill::badgeRing;
    const QRectF dot(area.right() - d - ring, area.top() + ring, d, d);
    p.save();
    p.setOpacity(1);
    p.setPen(QPen(qtColor(pill::white), ring));
    p.setBrush(qtColor(palette::attention.light));
    p.drawEllipse(dot);
    p.restore();
}

QImage qtImage(const ImageRef& img) {
    if (!img || img->width <= 0 || img->height <= 0 ||
        img->argb.size() < static_cast<size_t>(img->width) * static_cast<size_t>(img->height))
        return {};
    QImage q(img->width, img->height, QImage::Format_ARGB32);
    for (int y = 0; y < img->height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(q.scanLine(y));
        std::copy_n(img->argb.data() + static_cast<size_t>(y) * img->width, img->width, line);
    }
    return q;
}

Size QtTextMetrics::measure(const std::string& text, const Font& font) {
    const QFontMetricsF fm(qtFont(font));
    return {std::ceil(fm.horizontalAdvance(QString::fromStdString(text))), std::ceil(fm.height())};
}

WrappedText QtTextMetrics::wrap(const std::string& text, const Font& font, double width, int maxLines) {
    const QFont f = qtFont(font);
    const QFontMetricsF fm(f);
    QString all = QString::fromStdString(text);
    all.replace(u'\n', QChar::LineSeparator);
    QTextLayout layout(all, f);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const qsizetype room = std::max(maxLines, 1);
    QStringList lines;
    double widest = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        QString shown = all.mid(line.textStart(), line.textLength());
        if (lines.size() == room - 1 && line.textStart() + line.textLength() < all.size()) {
            // The last line there is room for: all that remains, cut to its width and marked as cut.
            QString rest = all.mid(line.textStart()).replace(QChar::LineSeparator, u' ');
            shown = fm.elidedText(rest, Qt::ElideRight, width);
            if (!shown.endsWith(QChar(0x2026))) shown = fm.elidedText(shown + QChar(0x2026), Qt::ElideRight, width);
            lines << shown;
            widest = std::max(widest, fm.horizontalAdvance(shown));
            break;
        }
        while (!shown.isEmpty() && shown.back().isSpace()) shown.chop(1);
        lines << shown;
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {lines.join(u'\n').toStdString(),
            {std::ceil(std::min(width, widest)), std::ceil(std::max<double>(lines.size(), 1) * fm.lineSpacing())}};
}

QRectF screenToQt(const std::vector<Screen>& screens, const Rect& r) { return qtRect(axRect(screens, r)); }

namespace {
class InvisibleButton final : public QAbstractButton {
public:
    explicit InvisibleButton(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {}
};
}  // namespace

PaintedButtons::PaintedButtons(QWidget* panel, std::function<void(Point)> press)
    : panel_(panel), press_(std::move(press)) {}

void PaintedButtons::place(const std::vector<std::pair<Rect, std::string>>& buttons) {
    while (buttons_.size() > buttons.size()) {
        delete buttons_.back();
        buttons_.pop_back();
    }
    while (buttons_.size() < buttons.size()) {
        auto* b = new InvisibleButton(panel_);
        QObject::connect(b, &QAbstractButton::clicked, b, [this, b] {
            const QPointF at = QRectF(b->geometry()).center();
            press_({at.x(), at.y()});
        });
        buttons_.push_back(b);
    }
    for (size_t i = 0; i < buttons.size(); ++i) {
        buttons_[i]->setGeometry(qtRect(buttons[i].first).toAlignedRect());
        buttons_[i]->setAccessibleName(QString::fromStdString(buttons[i].second));
        buttons_[i]->show();
    }
}

}  // namespace tarvela

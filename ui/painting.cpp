#include "ui/painting.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

#include "core/window_access.h"

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

Size QtTextMetrics::wrap(const std::string& text, const Font& font, double width, int maxLines) {
    const QFontMetricsF fm(qtFont(font));
    const QRectF r = fm.boundingRect(QRectF(0, 0, width, 1e6), Qt::TextWordWrap, QString::fromStdString(text));
    const double lines = std::min<double>(maxLines, std::max(1.0, std::round(r.height() / fm.lineSpacing())));
    return {std::ceil(std::min(width, r.width())), std::ceil(lines * fm.lineSpacing())};
}

QRectF screenToQt(const std::vector<Screen>& screens, const Rect& r) { return qtRect(axRect(screens, r)); }

}  // namespace tarvela

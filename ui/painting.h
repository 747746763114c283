// What the widgets share: the logic's fonts and colours as Qt's, text sizes
// measured with real fonts, and the logic's screen coordinates (y up) as Qt's.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/platform.h"
#include "feedback/text_metrics.h"

class QAbstractButton;
class QPainter;
class QWidget;

namespace tarvela {

// The application's font at the logic's size in points (one point = one logical pixel).
QFont qtFont(const Font& f);
QColor qtColor(const Rgba& c, double opacity = 1);
inline QRectF qtRect(const Rect& r) { return {r.x, r.y, r.width, r.height}; }
QImage qtImage(const ImageRef& img);
// The mark of a window that wants attention: the tray badge's orange dot with
// its white ring, in the top right corner of `area`.
void paintAttentionMark(QPainter& p, const QRectF& area);

class QtTextMetrics final : public TextMetrics {
public:
    Size measure(const std::string& text, const Font& font) override;
    WrappedText wrap(const std::string& text, const Font& font, double width, int maxLines) override;
};

// A frame in screen coordinates (y up) as a top-left rectangle on the X screen.
QRectF screenToQt(const std::vector<Screen>& screens, const Rect& r);

// Buttons that are only painted, made known to assistive technology: an
// invisible button at each one's place and with its name, which presses it
// through the panel's own click. The pointer passes through them to the panel.
class PaintedButtons {
public:
    PaintedButtons(QWidget* panel, std::function<void(Point)> press);
    // The buttons now, each a frame of the panel (y down) and a name.
    void place(const std::vector<std::pair<Rect, std::string>>& buttons);

private:
    QWidget* panel_;
    std::function<void(Point)> press_;
    std::vector<QAbstractButton*> buttons_;  // the panel's children, owned by Qt
};

}  // namespace tarvela

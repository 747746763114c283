#include "ui/widgets.h"

#include <QLabel>
#include <QPushButton>

#include "feedback/palette.h"
#include "ui/painting.h"

namespace tarvela {

QLabel* label(const std::string& text, double scale, bool bold, bool secondary, QWidget* parent) {
    auto* l = new QLabel(QString::fromStdString(text), parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    QFont f = l->font();
    if (scale != 1) f.setPointSizeF(f.pointSizeF() * scale);
    f.setBold(bold);
    l->setFont(f);
    if (secondary) l->setStyleSheet("color: " + qtColor(palette::secondaryText.light).name() + ";");
    return l;
}

QPushButton* button(const std::string& text, std::function<void()> onClick, QWidget* parent, bool marked) {
    auto* b = new QPushButton(QString::fromStdString(text), parent);
    b->setAccessibleName(b->text());
    b->setCheckable(marked);
    b->setChecked(marked);
    QObject::connect(b, &QPushButton::clicked, b, [b, marked, fn = std::move(onClick)] {
        if (marked) b->setChecked(true);  // undoes Qt's own toggling
        fn();
    });
    return b;
}

}  // namespace tarvela

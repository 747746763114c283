#include "ui/widgets.h"

#include <QLabel>
#include <QPushButton>

#include <cmath>

#include "ui/components.h"
#include "ui/theme.h"

namespace tarvela {

QLabel* label(const std::string& text, double scale, bool bold, bool secondary, QWidget* parent) {
    auto* l = new QLabel(QString::fromStdString(text), parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    QFont f = Theme::current().font(TypeRole::body);
    if (scale != 1) f.setPixelSize(std::max(11, static_cast<int>(std::lround(f.pixelSize() * scale))));
    if (bold) f.setWeight(QFont::DemiBold);
    l->setFont(f);
    // A role, not a colour: the note follows the theme when the appearance changes.
    if (secondary) l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

QPushButton* button(const std::string& text, std::function<void()> onClick, QWidget* parent, bool marked) {
    QPushButton* b = new Button(text, ButtonKind::secondary, parent);
    b->setCheckable(marked);
    b->setChecked(marked);
    QObject::connect(b, &QPushButton::clicked, b, [b, marked, fn = std::move(onClick)] {
        if (marked) b->setChecked(true);  // undoes Qt's own toggling
        fn();
    });
    return b;
}

}  // namespace tarvela

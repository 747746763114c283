#include "ui/theme.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>

#include "ui/painting.h"

namespace tarvela {
namespace {
Theme& live() {
    static Theme t;
    return t;
}
}  // namespace

const Theme& Theme::current() { return live(); }

void Theme::setDark(bool dark) {
    Theme& t = live();
    t.dark_ = dark;
    if (!qApp) return;
    // Fusion draws the ordinary widgets from the palette alone, so that they
    // match the painted components whatever style the desktop would pick.
    if (QApplication::style()->name().compare("fusion", Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create("Fusion"));
    QApplication::setPalette(t.qpalette());
}

bool Theme::systemIsDark(const QPalette& desktop) {
    const QColor w = desktop.color(QPalette::Window), t = desktop.color(QPalette::WindowText);
    return w.lightnessF() < t.lightnessF();
}

void Theme::apply(Appearance a, const QPalette& desktop) {
    switch (a) {
        case Appearance::light: setDark(false); break;
        case Appearance::dark: setDark(true); break;
        case Appearance::system: setDark(systemIsDark(desktop)); break;
    }
}

QColor Theme::shade(const Shades& s) const { return qtColor(dark_ ? s.dark : s.light); }

QFont Theme::font(TypeRole role) const {
    QFont f = QApplication::font();
    switch (role) {
        case TypeRole::title:
            f.setPixelSize(20);
            f.setWeight(QFont::DemiBold);
            break;
        case TypeRole::section:
            f.setPixelSize(11);
            f.setWeight(QFont::DemiBold);
            f.setCapitalization(QFont::AllUppercase);
            f.setLetterSpacing(QFont::PercentageSpacing, 106);
            break;
        case TypeRole::body: f.setPixelSize(13); break;
        case TypeRole::note: f.setPixelSize(12); break;
        case TypeRole::keyCap:
            f.setPixelSize(12);
            f.setWeight(QFont::Medium);
            break;
    }
    return f;
}

QPalette Theme::qpalette() const {
    QPalette p;
    const QColor bg = window(), base = card(), ink = text(), ink2 = secondary();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = g == QPalette::Disabled;
        const QColor fg = off ? withAlphaF(ink, 0.4) : ink;
        p.setColor(g, QPalette::Window, bg);
        p.setColor(g, QPalette::WindowText, fg);
        p.setColor(g, QPalette::Base, base);
        p.setColor(g, QPalette::AlternateBase, bg);
        p.setColor(g, QPalette::Text, fg);
        p.setColor(g, QPalette::Button, base);
        p.setColor(g, QPalette::ButtonText, fg);
        p.setColor(g, QPalette::BrightText, Qt::white);
        p.setColor(g, QPalette::PlaceholderText, ink2);
        p.setColor(g, QPalette::ToolTipBase, base);
        p.setColor(g, QPalette::ToolTipText, ink);
        p.setColor(g, QPalette::Highlight, accent());
        p.setColor(g, QPalette::HighlightedText, Qt::white);
        p.setColor(g, QPalette::Link, accent());
        p.setColor(g, QPalette::Light, base.lighter(110));
        p.setColor(g, QPalette::Midlight, ofText(0.05));
        p.setColor(g, QPalette::Mid, ofText(0.18));
        p.setColor(g, QPalette::Dark, ofText(0.3));
        p.setColor(g, QPalette::Shadow, QColor(0, 0, 0, 60));
    }
    return p;
}

}  // namespace tarvela

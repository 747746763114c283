// The one theme every window and panel draws with: the palette's tokens in the
// shade the appearance picks, the type roles and the spacing grid. Widgets ask
// it for a colour, a font or a distance and never spell one themselves, so a
// change of appearance is one call here and a repaint everywhere.
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

#include "feedback/palette.h"
#include "settings/appearance.h"

namespace tarvela {

namespace look {
// The spacing grid and the shapes, in logical pixels.
inline constexpr int grid = 4;
inline constexpr int windowPadding = 24;
inline constexpr int cardPadH = 16;
inline constexpr int cardPadV = 12;
inline constexpr int cardGap = 16;
inline constexpr int noteGap = 4;  // between a label and its note: two lines read as one
inline constexpr int rowHeight = 44;
inline constexpr double cardRadius = 10;
inline constexpr double buttonRadius = 7;
inline constexpr double keyCapRadius = 5;
inline constexpr int buttonHeight = 28;
inline constexpr int buttonPadH = 14;
inline constexpr int sidebarWidth = 200;
inline constexpr int sidebarItem = 32;
inline constexpr int toggleW = 36;
inline constexpr int toggleH = 20;
inline constexpr int toggleKnob = 16;
inline constexpr int focusRing = 3;
inline constexpr int slideMs = 150;
inline constexpr int headerIcon = 40;
}  // namespace look

enum class TypeRole { title, section, body, note, keyCap };

class Theme {
public:
    // The theme in force; light until an appearance is applied.
    static const Theme& current();
    // Applies an appearance: "system" follows the desktop's scheme where one
    // is known (`desktopDark`), else the lightness of the desktop's palette.
    static void apply(Appearance a, const QPalette& desktop);
    static void setDark(bool dark);
    static bool systemIsDark(const QPalette& desktop);

    bool dark() const { return dark_; }
    QColor window() const { return shade(palette::windowBackground); }
    QColor card() const { return shade(palette::card); }
    QColor text() const { return shade(palette::text); }
    QColor secondary() const { return shade(palette::secondaryText); }
    QColor accent() const { return shade(palette::accent); }
    QColor destructive() const { return shade(palette::destructive); }
    QColor positive() const { return shade(palette::positive); }
    QColor toggleOff() const { return shade(palette::toggleOffTrack); }
    QColor cardBorder() const { return ofText(dark_ ? 0.10 : 0.08); }
    QColor separator() const { return ofText(0.06); }
    QColor keyCap() const { return ofText(dark_ ? 0.12 : 0.06); }
    QColor pickerFill() const { return ofText(0.05); }
    QColor accentWash() const { return withAlphaF(accent(), 0.15); }
    QColor focus() const { return withAlphaF(accent(), 0.4); }
    // The text colour at `alpha`, for borders and fills that sit on any ground.
    QColor ofText(double alpha) const { return withAlphaF(text(), alpha); }

    QFont font(TypeRole role) const;
    // The Qt palette ordinary widgets (line edits, lists, menus) take it from;
    // PlaceholderText carries the secondary text for notes.
    QPalette qpalette() const;

    static QColor withAlphaF(QColor c, double a) {
        c.setAlphaF(static_cast<float>(a));
        return c;
    }

private:
    QColor shade(const Shades& s) const;
    bool dark_ = false;
};

}  // namespace tarvela

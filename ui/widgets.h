// The plain widgets the windows and the popover are built from.
#pragma once

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QWidget;

namespace tarvela {

// Plain text (names come from other programs: never markup), word-wrapped, at
// `scale` times the application font; a secondary one is in the palette's
// secondary text colour, for a note under a label.
QLabel* label(const std::string& text, double scale = 1, bool bold = false, bool secondary = false,
              QWidget* parent = nullptr);

// A button that runs `onClick`. A marked one shows the model's state only: a
// click asks for a change and the rebuild that follows it shows the outcome,
// never Qt's own toggling.
QPushButton* button(const std::string& text, std::function<void()> onClick, QWidget* parent = nullptr,
                    bool marked = false);

}  // namespace tarvela

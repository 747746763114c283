// The shared visual components every Tarvela window is built from, each a
// painted widget drawn from the theme: a card, a toggle switch, a segmented
// picker, a settings row, key caps, buttons, a dialog header, and the layout
// and alignment pictograms. Each one has an accessible name and role and
// shows the keyboard focus.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/enums.h"
#include "feedback/settings_dialogs.h"
#include "ui/theme.h"

class QLabel;
class QVariantAnimation;
class QVBoxLayout;

namespace tarvela {

// A rounded card with a subtle border; an optional title in the section style
// above it and an optional note below. Its rows go into body().
class Card final : public QWidget {
    Q_OBJECT
public:
    explicit Card(const std::string& title = {}, const std::string& note = {}, QWidget* parent = nullptr);
    QVBoxLayout* body() const { return body_; }

private:
    QVBoxLayout* body_;
};

// An on/off switch: a round track with a knob that slides over 150 ms. Space
// and Return flip it like a click; `onChange` hears every flip by the user.
class Toggle final : public QAbstractButton {
    Q_OBJECT
public:
    explicit Toggle(bool on = false, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // The knob's place, 0 off to 1 on; mid-way while it slides.
    double knob() const { return knob_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    void slideTo(bool on);
    double knob_;
    QVariantAnimation* slide_;
};

// Equal segments in a tinted container, the chosen one a raised pill. Arrow
// keys move the choice; every choice, by pointer or key, reaches `onSelect`.
class SegmentedPicker final : public QWidget {
    Q_OBJECT
public:
    SegmentedPicker(const std::vector<std::string>& options, int selected, std::function<void(int)> onSelect,
                    QWidget* parent = nullptr);
    int selected() const { return selected_; }
    void select(int i);  // as the user would: shown and reported
    QAbstractButton* segment(int i) const { return segments_.at(static_cast<size_t>(i)); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    friend class Segment;
    std::vector<QAbstractButton*> segments_;
    int selected_;
    std::function<void(int)> onSelect_;
};

// One choice of a picker (its own class: assistive technology knows it as a radio button).
class Segment final : public QAbstractButton {
    Q_OBJECT
public:
    Segment(SegmentedPicker* picker, const std::string& text, int index);
    QSize sizeHint() const override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent*) override;

private:
    SegmentedPicker* picker_;
    int index_;
};

// The buttons of every window: primary (accent fill), secondary (card fill
// and border), destructive (destructive text) and plain (a link-like text).
enum class ButtonKind { primary, secondary, destructive, plain };

class Button final : public QPushButton {
    Q_OBJECT
public:
    Button(const std::string& text, ButtonKind kind, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
    ButtonKind kind() const { return kind_; }
    // A picture drawn left of the text, or in its place (the text then stays
    // the button's name and tool-tip).
    void setPicture(std::function<void(QPainter&, const QRectF&, const QColor&)> draw, QSize size, bool withText = true);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    ButtonKind kind_;
    std::function<void(QPainter&, const QRectF&, const QColor&)> picture_;
    QSize pictureSize_;
    bool withText_ = true;
};

// Key caps, one per key, 4 apart; or a prompt in place of them while a new
// shortcut is recorded. A click on them asks for a change.
class KeyCaps final : public QAbstractButton {
    Q_OBJECT
public:
    KeyCaps(std::vector<std::string> caps, std::string prompt, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<std::string> caps_;
    std::string prompt_;
};

// A dialog's head: a 40-pixel icon (the application's, else the mascot), its
// title and a one-line subtitle.
class DialogHeader final : public QWidget {
    Q_OBJECT
public:
    DialogHeader(const std::string& title, const std::string& subtitle, QImage icon = {}, QWidget* parent = nullptr);
};

// The header's icon alone, for a header whose texts change.
QWidget* headerIcon(QImage icon = {});

// One settings row on the shared grid: label and note on the left, the
// control on the right, at least 44 tall. A row holding a toggle is the
// toggle's hit area as a whole.
QWidget* settingsRow(const std::string& label, const std::string& note, QWidget* control, QWidget* parent = nullptr);
// Section and body texts in the theme's type; a note is in the secondary colour.
QLabel* textLabel(const std::string& text, TypeRole role, QWidget* parent = nullptr);
// A thin line between the rows of a card.
QWidget* rowSeparator();

// A layout tile: a strip's columns side by side at their widths, each with
// its applications' glyphs, the focused one outlined in the accent. Columns
// past the tile's width are drawn narrower rather than cut.
class StripSketch final : public QWidget {
    Q_OBJECT
public:
    explicit StripSketch(std::vector<SavedColumn> columns, QWidget* parent = nullptr);
    void setColumns(std::vector<SavedColumn> columns);
    QSize sizeHint() const override { return {320, 120}; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::vector<SavedColumn> columns_;
};

// Pictograms drawn in `colour` with 1.5-px strokes: a layout as its columns,
// an alignment as where the focused column comes to rest.
void drawLayoutIcon(QPainter& p, const QRectF& r, Layout layout, const QColor& colour);
void drawAlignIcon(QPainter& p, const QRectF& r, Align align, const QColor& colour);

}  // namespace tarvela

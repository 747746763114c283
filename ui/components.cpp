#include "ui/components.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "ui/app_glyph.h"
#include "ui/mascot.h"

namespace tarvela {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
const Theme& theme() { return Theme::current(); }

// A ring of the focus colour around `r`, for the control that has the keyboard.
void paintFocusRing(QPainter& p, const QRectF& r, double radius) {
    p.setPen(QPen(theme().focus(), look::focusRing));
    p.setBrush(Qt::NoBrush);
    const double out = look::focusRing / 2.0;
    p.drawRoundedRect(r.adjusted(-out, -out, out, out), radius + out, radius + out);
}

// A switch or a segment reaches assistive technology as what it is: checkable,
// with its state, and pressable by its default action.
class CheckableAccessible final : public QAccessibleWidget {
public:
    CheckableAccessible(QAbstractButton* b, QAccessible::Role role) : QAccessibleWidget(b, role) {
        addControllingSignal(QStringLiteral("toggled(bool)"));
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return button()->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction(), toggleAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction() || name == toggleAction()) button()->click();
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* accessibleFactory(const QString& cls, QObject* o);

// Registered once, before the first component is shown to assistive technology.
void registerAccessibility() {
    static const bool once = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    (void)once;
}

}  // namespace

// ---------------------------------------------------------------- Card

namespace {
class CardPanel final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(theme().cardBorder(), 1));
        p.setBrush(theme().card());
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), look::cardRadius, look::cardRadius);
    }
};
}  // namespace

Card::Card(const std::string& title, const std::string& note, QWidget* parent) : QWidget(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(look::grid * 2);
    if (!title.empty()) {
        QLabel* t = textLabel(title, TypeRole::section, this);
        t->setForegroundRole(QPalette::PlaceholderText);
        t->setContentsMargins(look::grid, 0, 0, 0);
        v->addWidget(t);
    }
    auto* panel = new CardPanel(this);
    panel->setAccessibleName(q(title));
    body_ = new QVBoxLayout(panel);
    body_->setContentsMargins(look::cardPadH, look::cardPadV / 2, look::cardPadH, look::cardPadV / 2);
    body_->setSpacing(0);
    v->addWidget(panel);
    if (!note.empty()) {
        QLabel* n = textLabel(note, TypeRole::note, this);
        n->setContentsMargins(look::grid, 0, 0, 0);
        v->addWidget(n);
    }
}

// ---------------------------------------------------------------- Toggle

Toggle::Toggle(bool on, QWidget* parent) : QAbstractButton(parent), knob_(on ? 1 : 0), slide_(new QVariantAnimation(this)) {
    registerAccessibility();
    setCheckable(true);
    setChecked(on);
    knob_ = on ? 1 : 0;
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    slide_->setDuration(look::slideMs);
    slide_->setEasingCurve(QEasingCurve::OutCubic);
    connect(slide_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        knob_ = v.toDouble();
        update();
    });
}

QSize Toggle::sizeHint() const {
    return {look::toggleW + 2 * look::focusRing, look::toggleH + 2 * look::focusRing};
}

void Toggle::checkStateSet() { slideTo(isChecked()); }
void Toggle::nextCheckState() {
    QAbstractButton::nextCheckState();
    slideTo(isChecked());
}

void Toggle::slideTo(bool on) {
    const double to = on ? 1 : 0;
    slide_->stop();
    if (!isVisible()) {
        knob_ = to;
        return update();
    }
    slide_->setStartValue(knob_);
    slide_->setEndValue(to);
    slide_->start();
}

void Toggle::keyPressEvent(QKeyEvent* e) {
    // Space is the button's own (pressed, then released); Return flips at once.
    if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void Toggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.4);
    const QRectF track(QPointF(width() - look::toggleW - look::focusRing, (height() - look::toggleH) / 2.0),
                       QSizeF(look::toggleW, look::toggleH));
    const double r = look::toggleH / 2.0;
    QColor off = theme().toggleOff(), on = theme().accent();
    QColor fill = QColor::fromRgbF(off.redF() + (on.redF() - off.redF()) * knob_,
                                   off.greenF() + (on.greenF() - off.greenF()) * knob_,
                                   off.blueF() + (on.blueF() - off.blueF()) * knob_);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(track, r, r);
    const double inset = (look::toggleH - look::toggleKnob) / 2.0;
    const double x = track.left() + inset + (look::toggleW - look::toggleH) * knob_;
    const QRectF knob(x, track.top() + inset, look::toggleKnob, look::toggleKnob);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(knob.translated(0, 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(knob);
    if (hasFocus()) paintFocusRing(p, track, r);
}

// ---------------------------------------------------------------- SegmentedPicker

Segment::Segment(SegmentedPicker* picker, const std::string& text, int index)
    : QAbstractButton(picker), picker_(picker), index_(index) {
    setText(q(text));
    setCheckable(true);
    setAutoExclusive(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(theme().font(TypeRole::body));
    connect(this, &QAbstractButton::clicked, this, [this] { picker_->select(index_); });
}

QSize Segment::sizeHint() const {
    const QFontMetricsF fm(font());
    return {static_cast<int>(fm.horizontalAdvance(text())) + 2 * look::buttonPadH, look::buttonHeight - 4};
}

void Segment::keyPressEvent(QKeyEvent* e) {
    const int n = static_cast<int>(picker_->segments_.size());
    int to = index_;
    if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Up) to = std::max(0, index_ - 1);
    else if (e->key() == Qt::Key_Right || e->key() == Qt::Key_Down) to = std::min(n - 1, index_ + 1);
    else return QAbstractButton::keyPressEvent(e);
    if (to != index_) {
        picker_->select(to);
        picker_->segment(to)->setFocus(Qt::TabFocusReason);
    }
}

void Segment::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.4);
    const QRectF r = QRectF(rect()).adjusted(2, 2, -2, -2);
    if (isChecked()) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 30));
        p.drawRoundedRect(r.translated(0, 1), look::buttonRadius - 2, look::buttonRadius - 2);
        p.setBrush(theme().card());
        p.drawRoundedRect(r, look::buttonRadius - 2, look::buttonRadius - 2);
    }
    p.setPen(isChecked() ? theme().text() : theme().secondary());
    p.setFont(font());
    p.drawText(r, Qt::AlignCenter, text());
    if (hasFocus()) paintFocusRing(p, r, look::buttonRadius - 2);
}

SegmentedPicker::SegmentedPicker(const std::vector<std::string>& options, int selected,
                                 std::function<void(int)> onSelect, QWidget* parent)
    : QWidget(parent), selected_(selected), onSelect_(std::move(onSelect)) {
    registerAccessibility();
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(2, 2, 2, 2);
    h->setSpacing(0);
    for (size_t i = 0; i < options.size(); ++i) {
        auto* s = new Segment(this, options[i], static_cast<int>(i));
        s->setChecked(static_cast<int>(i) == selected);
        segments_.push_back(s);
        h->addWidget(s, 1);
    }
}

void SegmentedPicker::select(int i) {
    if (i < 0 || i >= static_cast<int>(segments_.size())) return;
    segments_[static_cast<size_t>(i)]->setChecked(true);
    const bool changed = i != selected_;
    selected_ = i;
    update();
    if (changed && onSelect_) onSelect_(i);
}

void SegmentedPicker::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme().pickerFill());
    p.drawRoundedRect(QRectF(rect()), look::buttonRadius, look::buttonRadius);
}

// ---------------------------------------------------------------- Button

Button::Button(const std::string& text, ButtonKind kind, QWidget* parent) : QPushButton(q(text), parent), kind_(kind) {
    setAccessibleName(this->text());
    setFont(theme().font(TypeRole::body));
    setCursor(Qt::PointingHandCursor);
}

void Button::setPicture(std::function<void(QPainter&, const QRectF&, const QColor&)> draw, QSize size, bool withText) {
    picture_ = std::move(draw);
    pictureSize_ = size;
    withText_ = withText;
    updateGeometry();
}

QSize Button::sizeHint() const {
    const QFontMetricsF fm(font());
    int w = 0;
    if (withText_)
        for (const QString& line : text().split('\n')) w = std::max(w, static_cast<int>(std::ceil(fm.horizontalAdvance(line))));
    const int lines = static_cast<int>(text().count('\n')) + 1;
    const bool words = withText_ && !text().isEmpty();
    if (picture_) w += pictureSize_.width() + (words ? look::grid * 2 : 0);
    const int h = std::max({look::buttonHeight, static_cast<int>(std::ceil(fm.height() * lines)) + 8,
                            picture_ ? pictureSize_.height() + 8 : 0});
    return {w + 2 * (kind_ == ButtonKind::plain ? look::grid : look::buttonPadH), h};
}

void Button::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(0.4);
    const Theme& t = theme();
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    const bool chosen = isCheckable() && isChecked();
    // A flat button is a plain one, whatever it was made as.
    const ButtonKind kind = isFlat() && !chosen ? ButtonKind::plain : kind_;
    const bool primary = kind == ButtonKind::primary || chosen;
    QColor fill = primary ? t.accent() : t.card();
    QColor ink = primary ? QColor(Qt::white) : kind == ButtonKind::destructive ? t.destructive()
                                             : kind == ButtonKind::plain      ? t.accent()
                                                                                : t.text();
    // Hover darkens by 4 %, a press by 8 %.
    const int darker = isDown() ? 108 : underMouse() ? 104 : 100;
    if (kind != ButtonKind::plain || chosen) {
        p.setPen(primary ? Qt::NoPen : QPen(t.cardBorder().darker(120), 1));
        p.setBrush(fill.darker(darker));
        p.drawRoundedRect(r, look::buttonRadius, look::buttonRadius);
    }
    QRectF content = r.adjusted(look::grid, 0, -look::grid, 0);
    if (picture_) {
        const double pw = pictureSize_.width(), ph = pictureSize_.height();
        const bool words = withText_ && !text().isEmpty();
        const double textW = words ? QFontMetricsF(font()).horizontalAdvance(text()) + look::grid * 2 : 0;
        const QRectF pic(content.center().x() - (pw + textW) / 2, content.center().y() - ph / 2, pw, ph);
        picture_(p, pic, chosen ? QColor(Qt::white) : kind == ButtonKind::plain ? t.secondary() : ink);
        content.setLeft(pic.right() + look::grid * 2);
        if (words) {
            p.setPen(ink);
            p.setFont(font());
            p.drawText(content, Qt::AlignVCenter | Qt::AlignLeft, text());
        }
    } else {
        p.setPen(ink);
        p.setFont(font());
        p.drawText(content, Qt::AlignCenter, text());
    }
    if (hasFocus()) paintFocusRing(p, r, look::buttonRadius);
}

// ---------------------------------------------------------------- KeyCaps

KeyCaps::KeyCaps(std::vector<std::string> caps, std::string prompt, QWidget* parent)
    : QAbstractButton(parent), caps_(std::move(caps)), prompt_(std::move(prompt)) {
    QString all = q(prompt_);
    for (const std::string& c : caps_) all += (all.isEmpty() ? "" : " ") + q(c);
    setText(all);
    setFont(theme().font(TypeRole::keyCap));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

QSize KeyCaps::sizeHint() const {
    const QFontMetricsF fm(font());
    double w = prompt_.empty() ? 0 : fm.horizontalAdvance(q(prompt_)) + 2 * look::buttonPadH;
    for (const std::string& c : caps_) w += std::max<double>(fm.horizontalAdvance(q(c)) + 2 * look::grid + 6, 22) + look::grid;
    return {static_cast<int>(std::ceil(std::max(w, 44.0))) + 2 * look::focusRing, look::buttonHeight};
}

void KeyCaps::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Theme& t = theme();
    const QFontMetricsF fm(font());
    p.setFont(font());
    const QRectF all = QRectF(rect()).adjusted(look::focusRing, 3, -look::focusRing, -3);
    if (!prompt_.empty() || isChecked()) {
        // Recording: the row waits for keys, drawn as an accent field.
        p.setPen(QPen(t.accent(), 1));
        p.setBrush(t.accentWash());
        p.drawRoundedRect(all, look::keyCapRadius, look::keyCapRadius);
    }
    double x = all.right();
    for (auto it = caps_.rbegin(); it != caps_.rend(); ++it) {
        const double w = std::max<double>(fm.horizontalAdvance(q(*it)) + 2 * look::grid + 6, 22);
        const QRectF cap(x - w, all.top() + 1, w, all.height() - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(t.keyCap());
        p.drawRoundedRect(cap, look::keyCapRadius, look::keyCapRadius);
        p.setPen(t.text());
        p.drawText(cap, Qt::AlignCenter, q(*it));
        x -= w + look::grid;
    }
    if (!prompt_.empty()) {
        p.setPen(t.accent());
        p.drawText(all.adjusted(look::grid * 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, q(prompt_));
    }
    if (hasFocus()) paintFocusRing(p, all, look::keyCapRadius);
}

// ---------------------------------------------------------------- DialogHeader

namespace {
class HeaderIcon final : public QWidget {
public:
    HeaderIcon(QImage icon, QWidget* parent) : QWidget(parent), icon_(std::move(icon)) {
        setFixedSize(look::headerIcon, look::headerIcon);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (icon_.isNull()) drawMascot(p, rect());
        else p.drawImage(QRectF(rect()), icon_);
    }

private:
    QImage icon_;
};
}  // namespace

DialogHeader::DialogHeader(const std::string& title, const std::string& subtitle, QImage icon, QWidget* parent)
    : QWidget(parent) {
    setAccessibleName(q(title));
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, look::grid * 2);
    h->setSpacing(look::grid * 3);
    h->addWidget(headerIcon(std::move(icon)), 0, Qt::AlignTop);
    auto* v = new QVBoxLayout;
    v->setSpacing(look::grid);
    v->addWidget(textLabel(title, TypeRole::title, this));
    if (!subtitle.empty()) v->addWidget(textLabel(subtitle, TypeRole::note, this));
    h->addLayout(v, 1);
}

QWidget* headerIcon(QImage icon) { return new HeaderIcon(std::move(icon), nullptr); }

// ---------------------------------------------------------------- rows and texts

QLabel* textLabel(const std::string& text, TypeRole role, QWidget* parent) {
    auto* l = new QLabel(q(text), parent);
    l->setTextFormat(Qt::PlainText);
    l->setWordWrap(true);
    l->setFont(theme().font(role));
    if (role == TypeRole::note || role == TypeRole::section) l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

namespace {
class RowWidget final : public QWidget {
public:
    RowWidget(QWidget* control, QWidget* parent) : QWidget(parent), toggle_(dynamic_cast<Toggle*>(control)) {}

protected:
    // The row of a switch is the switch: a click on its text flips it too.
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (toggle_ && toggle_->isEnabled() && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            toggle_->click();
        QWidget::mouseReleaseEvent(e);
    }
    void mousePressEvent(QMouseEvent* e) override { e->setAccepted(toggle_ != nullptr); }

private:
    Toggle* toggle_;
};
}  // namespace

QWidget* settingsRow(const std::string& label, const std::string& note, QWidget* control, QWidget* parent) {
    auto* row = new RowWidget(control, parent);
    row->setMinimumHeight(look::rowHeight);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, look::grid * 2, 0, look::grid * 2);
    h->setSpacing(look::grid * 4);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(look::noteGap);
    texts->addWidget(textLabel(label, TypeRole::body, row));
    if (!note.empty()) texts->addWidget(textLabel(note, TypeRole::note, row));
    h->addLayout(texts, 1);
    if (control) {
        if (control->accessibleName().isEmpty()) control->setAccessibleName(q(label));
        h->addWidget(control, 0, Qt::AlignVCenter | Qt::AlignRight);
    }
    return row;
}

QWidget* rowSeparator() {
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, theme().separator());
    line->setPalette(pal);
    return line;
}

// ---------------------------------------------------------------- strip sketch

StripSketch::StripSketch(std::vector<SavedColumn> columns, QWidget* parent)
    : QWidget(parent) {
    setMinimumHeight(96);
    setColumns(std::move(columns));
}

void StripSketch::setColumns(std::vector<SavedColumn> columns) {
    columns_ = std::move(columns);
    update();
    QStringList names;
    for (const SavedColumn& c : columns_)
        for (const SavedColumn::App& a : c.apps) names << q(a.name);
    setAccessibleName(names.join(", "));
}

void StripSketch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const Theme& t = theme();
    double total = 0;
    for (const SavedColumn& c : columns_) total += std::max(0.1, c.frac);
    const double gap = look::grid * 2;
    const double room = width() - gap * std::max<double>(0, static_cast<double>(columns_.size()) - 1);
    const double scale = room / std::max(1.0, total);
    double x = 0;
    for (const SavedColumn& c : columns_) {
        const double w = std::max(0.1, c.frac) * scale;
        const double rows = static_cast<double>(std::max<size_t>(1, c.apps.size()));
        const double h = (height() - gap * (rows - 1)) / rows;
        for (size_t i = 0; i < std::max<size_t>(1, c.apps.size()); ++i) {
            const QRectF r(x, i * (h + gap), w, h);
            p.setPen(c.focused ? QPen(t.accent(), 2) : QPen(t.cardBorder(), 1));
            p.setBrush(t.window());
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), look::keyCapRadius, look::keyCapRadius);
            if (i < c.apps.size()) {
                const double side = std::min({32.0, r.width() - 8, r.height() - 8});
                if (side >= 8)
                    paintAppGlyph(p, QRectF(r.center().x() - side / 2, r.center().y() - side / 2, side, side),
                                  c.apps[i].icon, c.apps[i].appId, c.apps[i].name);
            }
        }
        x += w + gap;
    }
}

// ---------------------------------------------------------------- pictograms

void drawLayoutIcon(QPainter& p, const QRectF& r, Layout layout, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::NoBrush);
    const QRectF f = r.adjusted(1, 1, -1, -1);
    // Columns as fractions of the frame, each split into `rows`.
    struct Col { double w; int rows; };
    std::vector<Col> cols;
    switch (layout) {
        case Layout::strip: cols = {{0.4, 1}, {0.4, 1}, {0.2, 1}}; break;
        case Layout::two: cols = {{0.5, 1}, {0.5, 1}}; break;
        case Layout::three: cols = {{1 / 3.0, 1}, {1 / 3.0, 1}, {1 / 3.0, 1}}; break;
        case Layout::plus21: cols = {{0.6, 1}, {0.4, 2}}; break;
        case Layout::plus12: cols = {{0.4, 2}, {0.6, 1}}; break;
        case Layout::grid22: cols = {{0.5, 2}, {0.5, 2}}; break;
        case Layout::grid32: cols = {{1 / 3.0, 2}, {1 / 3.0, 2}, {1 / 3.0, 2}}; break;
        case Layout::four: cols = {{0.25, 1}, {0.25, 1}, {0.25, 1}, {0.25, 1}}; break;
    }
    double x = f.left();
    const double gap = 1.5;
    for (const Col& c : cols) {
        const double w = f.width() * c.w - gap;
        const double h = (f.height() - gap * (c.rows - 1)) / c.rows;
        for (int i = 0; i < c.rows; ++i) p.drawRoundedRect(QRectF(x, f.top() + i * (h + gap), w, h), 1.5, 1.5);
        x += w + gap;
    }
    p.restore();
}

void drawAlignIcon(QPainter& p, const QRectF& r, Align align, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF f = r.adjusted(1, 1, -1, -1);
    // The screen's edges, and the focused column resting where the choice puts it.
    p.setPen(QPen(colour, 1.5));
    p.drawLine(QPointF(f.left(), f.top()), QPointF(f.left(), f.bottom()));
    p.drawLine(QPointF(f.right(), f.top()), QPointF(f.right(), f.bottom()));
    const double w = f.width() * 0.4;
    double x = f.center().x() - w / 2;
    if (align == Align::left) x = f.left() + 3;
    if (align == Align::right) x = f.right() - 3 - w;
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    if (align == Align::autoAlign) {
        // Automatic: whichever edge is nearer, drawn as the column and both arrows.
        p.drawRoundedRect(QRectF(x, f.top() + 2, w, f.height() - 4), 1.5, 1.5);
        p.setPen(QPen(colour, 1.5));
        p.drawLine(QPointF(f.left() + 2, f.center().y()), QPointF(x - 1.5, f.center().y()));
        p.drawLine(QPointF(x + w + 1.5, f.center().y()), QPointF(f.right() - 2, f.center().y()));
    } else {
        p.drawRoundedRect(QRectF(x, f.top() + 2, w, f.height() - 4), 1.5, 1.5);
    }
    p.restore();
}

namespace {
QAccessibleInterface* accessibleFactory(const QString& cls, QObject* o) {
    if (cls == QLatin1String("tarvela::Toggle")) return new CheckableAccessible(static_cast<Toggle*>(o), QAccessible::CheckBox);
    if (cls == QLatin1String("tarvela::Segment"))
        return new CheckableAccessible(static_cast<QAbstractButton*>(o), QAccessible::RadioButton);
    return nullptr;
}
}  // namespace

}  // namespace tarvela

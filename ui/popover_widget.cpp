#include "ui/popover_widget.h"

#include <QButtonGroup>
#include <QCursor>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "feedback/palette.h"
#include "feedback/status_item.h"
#include "ui/app_glyph.h"
#include "ui/components.h"
#include "ui/painting.h"
#include "ui/widgets.h"

namespace tarvela {

namespace {

// Only notes (small) wrap: names keep to one line.
QLabel* label(const std::string& text, QWidget* parent, bool bold = false, bool small = false) {
    QLabel* l = tarvela::label(text, small ? 0.85 : 1, bold, false, parent);
    l->setWordWrap(small);
    return l;
}

Card* card(QVBoxLayout* into, QWidget* parent, const std::string& title) {
    auto* c = new Card(title, "", parent);
    c->setAccessibleName(QString::fromStdString(title));
    c->body()->setContentsMargins(look::grid * 3, look::grid * 2, look::grid * 3, look::grid * 2);
    c->body()->setSpacing(look::grid * 2);
    into->addWidget(c);
    return c;
}

// The popover never takes the keyboard from the application in front.
QPushButton* button(const std::string& text, QWidget* parent, std::function<void()> onClick, bool marked = false) {
    QPushButton* b = tarvela::button(text, std::move(onClick), parent, marked);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

// The pictogram of a choice, where it has one: alignments and layouts do.
template <class T>
void picture(Button*, const Choice<T>&) {}
void picture(Button* b, const Choice<Align>& c) {
    b->setPicture([a = c.value](QPainter& p, const QRectF& r, const QColor& ink) { drawAlignIcon(p, r, a, ink); }, {18, 12});
}
void picture(Button* b, const Choice<Layout>& c) {
    b->setPicture([l = c.value](QPainter& p, const QRectF& r, const QColor& ink) { drawLayoutIcon(p, r, l, ink); }, {20, 13});
}

template <class T>
QHBoxLayout* choices(const std::vector<Choice<T>>& items, QWidget* parent, std::function<void(T)> pick, bool enabled) {
    auto* row = new QHBoxLayout();
    row->setSpacing(4);
    for (const Choice<T>& c : items) {
        QPushButton* b = button(c.label, parent, [pick, v = c.value] { pick(v); }, c.selected);
        b->setEnabled(enabled);
        picture(static_cast<Button*>(b), c);
        row->addWidget(b);
    }
    return row;
}

// A switch of the popover: never the keyboard's, only the model shows its state.
Toggle* toggle(bool on, const std::string& help, QWidget* parent, std::function<void(bool)> set) {
    auto* t = new Toggle(on, parent);
    t->setToolTip(QString::fromStdString(help));
    t->setAccessibleName(QString::fromStdString(help));
    t->setFocusPolicy(Qt::NoFocus);
    QObject::connect(t, &QAbstractButton::clicked, parent, std::move(set));
    return t;
}

}  // namespace

PopoverWidget::PopoverWidget(StatusController& status, PopoverActions& actions)
    : QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint), status_(status), actions_(actions) {
    setObjectName("popover");
    setAccessibleName("Tarvela");
    setWindowTitle("Tarvela popover");
    setFrameShape(QFrame::StyledPanel);
    outer_ = new QVBoxLayout(this);
    outer_->setContentsMargins(look::grid * 3, look::grid * 3, look::grid * 3, look::grid * 3);
    outer_->setSizeConstraint(QLayout::SetFixedSize);
    // Kept current while open, whoever changed what it shows; a burst of
    // changes rebuilds once.
    link_ = actions_.changed.connect([this] {
        if (!isVisible() || rebuildPending_) return;
        rebuildPending_ = true;
        QTimer::singleShot(0, this, [this] {
            rebuildPending_ = false;
            if (isVisible()) rebuild();
        });
    });
}

void PopoverWidget::rebuild() {
    const PopoverModel m = actions_.model();
    if (content_) {
        outer_->removeWidget(content_);
        content_->deleteLater();
    }
    content_ = new QWidget(this);
    auto* v = new QVBoxLayout(content_);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(look::grid * 3);
    outer_->addWidget(content_);

    addHeader(*v, m.header);
    if (m.permission) {
        Card* c = card(v, content_, m.permission->title);
        c->body()->addWidget(button(m.permission->button, c, [this] { actions_.takeOver(); }));
    }
    addStripCard(*v, m.strip);
    if (m.display) addDisplayCard(*v, *m.display);
    if (!m.desktops.empty()) {
        // The desktops, the current one marked; a click shows that one.
        auto* row = new QHBoxLayout();
        row->setSpacing(4);
        for (const DesktopTab& t : m.desktops) {
            QPushButton* b = button(t.label + " · " + std::to_string(t.windows), content_,
                                    [this, i = t.index] { actions_.showDesktop(i); }, t.current);
            b->setToolTip(QString::fromStdString(t.help));
            b->setAccessibleName(QString::fromStdString(t.help));
            row->addWidget(b);
        }
        row->addStretch(1);
        v->addLayout(row);
    }
    addChoiceCards(*v, m);

    auto* foot = new QHBoxLayout();
    for (const FooterItem& f : m.footer)
        foot->addWidget(button(f.label + (f.badge ? " ↓" : ""), content_, [this, b = f.button] { actions_.footer(b); }));
    v->addLayout(foot);
    adjustSize();
    // A card that came or went changes the height: stay beside the icon, once
    // the new cards have been laid out.
    if (isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) place();
        });
}

void PopoverWidget::addHeader(QVBoxLayout& v, const PopoverHeader& h) {
    QWidget* host = content_;
    auto* head = new QHBoxLayout();
    auto* names = new QVBoxLayout();
    names->addWidget(label(h.name, host, true));
    names->addWidget(label(h.state, host, false, true));
    head->addWidget(headerIcon(), 0, Qt::AlignVCenter);
    head->addLayout(names, 1);
    auto* pause = new QToolButton(host);
    pause->setText(QStringLiteral("☾"));
    pause->setCheckable(true);
    pause->setChecked(h.paused);
    pause->setToolTip(QString::fromStdString(h.pauseHelp));
    pause->setAccessibleName(QString::fromStdString(h.pauseHelp));
    pause->setFocusPolicy(Qt::NoFocus);
    connect(pause, &QToolButton::clicked, host, [this] { actions_.togglePause(); });
    head->addWidget(pause);
    head->addWidget(toggle(h.on, h.switchHelp, host, [this](bool value) { actions_.setOn(value); }));
    v.addLayout(head);
}

void PopoverWidget::addStripCard(QVBoxLayout& v, const StripCard& strip) {
    Card* c = card(&v, content_, "");
    QVBoxLayout* cv = c->body();
    auto* title = new QHBoxLayout();
    title->addWidget(label(strip.title + strip.caption, c, true));
    if (!strip.overviewLink.empty()) {
        QPushButton* link = button(strip.overviewLink, c, [this] { actions_.openOverview(); });
        link->setFlat(true);
        title->addWidget(link);
    }
    title->addStretch(1);
    cv->addLayout(title);
    if (strip.empty) {
        cv->addWidget(label(strip.empty->title, c));
        if (!strip.empty->detail.empty()) cv->addWidget(label(strip.empty->detail, c, false, true));
        return;
    }
    auto* tiles = new QHBoxLayout();
    tiles->setSpacing(4);
    for (const PopoverTile& t : strip.tiles) {
        std::string text;
        // "●" marks a window that wants attention.
        for (const PopoverTile::Window& w : t.windows)
            text += std::string(text.empty() ? "" : "\n") + (w.attention ? "● " : "") + w.app;
        QPushButton* b = button(text, c, [this, col = t.col] { actions_.goToColumn(col); }, t.focused);
        b->setEnabled(strip.tilesEnabled);
        b->setToolTip(QString::fromStdString(text));
        b->setAccessibleName(QString::fromStdString(t.help));
        // The tile shows its windows' glyphs; their names are its tool-tip.
        std::vector<PopoverTile::Window> windows = t.windows;
        static_cast<Button*>(b)->setPicture(
            [windows](QPainter& p, const QRectF& r, const QColor&) {
                const double side = std::min(r.height(), 20.0);
                const double w = side * static_cast<double>(windows.size()) + 2 * static_cast<double>(windows.size() - 1);
                double x = r.center().x() - w / 2;
                for (const PopoverTile::Window& win : windows) {
                    const QRectF g(x, r.center().y() - side / 2, side, side);
                    paintAppGlyph(p, g, win.icon, "", win.app);
                    if (win.attention) paintAttentionMark(p, g.adjusted(-4, -4, 4, 0));
                    x += side + 2;
                }
            },
            {40, 24}, false);
        b->setFixedSize(64, 44);
        tiles->addWidget(b);
    }
    tiles->addStretch(1);
    cv->addLayout(tiles);
}

void PopoverWidget::addDisplayCard(QVBoxLayout& v, const DisplayCard& display) {
    Card* c = card(&v, content_, display.title);
    for (const DisplayRow& r : display.rows) c->body()->addWidget(label(r.name + " — " + r.detail, c, r.current));
    if (display.sendButton) {
        QPushButton* send = button(*display.sendButton, c, [this] { actions_.send(); });
        send->setEnabled(display.sendEnabled);
        c->body()->addWidget(send);
    }
    if (display.note) c->body()->addWidget(label(*display.note, c, false, true));
}

void PopoverWidget::addChoiceCards(QVBoxLayout& v, const PopoverModel& m) {
    {
        Card* c = card(&v, content_, m.width.title);
        c->body()->addLayout(
            choices<double>(m.width.choices, c, [this](double f) { actions_.setWidth(f); }, m.width.enabled));
        c->body()->addWidget(label(m.width.note, c, false, true));
    }
    {
        Card* c = card(&v, content_, m.align.title);
        c->body()->addLayout(
            choices<Align>(m.align.choices, c, [this](Align a) { actions_.setAlign(a); }, m.align.enabled));
        c->body()->addWidget(label(m.align.note, c, false, true));
    }
    {
        Card* c = card(&v, content_, m.effects.title);
        auto* row = new QHBoxLayout();
        row->addWidget(button(m.effects.dimLabel, c, [this, d = m.effects.dim] { actions_.setDim(!d); }, m.effects.dim));
        row->addWidget(button(m.effects.blurLabel, c, [this, b = m.effects.blur] { actions_.setBlur(!b); }, m.effects.blur));
        c->body()->addLayout(row);
        Toggle* blur = toggle(m.effects.blur, m.effects.blurSwitch, c, [this](bool value) { actions_.setBlur(value); });
        c->body()->addWidget(settingsRow(m.effects.blurSwitch, "", blur));
    }
    Card* c = card(&v, content_, m.layouts.title);
    c->body()->addLayout(
        choices<Layout>(m.layouts.choices, c, [this](Layout l) { actions_.setLayout(l); }, m.layouts.enabled));
}

void PopoverWidget::sync(std::function<QRect()> anchor, std::optional<QPoint> click) {
    if (status_.popoverShown() && !isVisible() && !waiting_) {
        anchor_ = std::move(anchor);
        click_ = click;
        rebuild();
        if (anchor_().isValid() || click_) return open();
        // Opened by no click (`--preview popover`, at launch): the tray host
        // places a new icon a moment later; until then there is nothing to
        // stand beside.
        waiting_ = true;
        waitForAnchor(0);
    } else if (!status_.popoverShown() && (isVisible() || waiting_)) {
        waiting_ = false;
        hide();
    }
}

void PopoverWidget::waitForAnchor(int tries) {
    QTimer::singleShot(anchorPoll, this, [this, tries] {
        if (!waiting_) return;
        if (anchor_().isValid() || tries + 1 >= anchorTries) return open();
        waitForAnchor(tries + 1);
    });
}

void PopoverWidget::open() {
    waiting_ = false;
    place();
    show();
    activateWindow();
}

void PopoverWidget::place() {
    const QSize s = size().isValid() && isVisible() ? size() : sizeHint();
    // Beside the icon; where the host never tells, where it was clicked, or
    // else where the pointer is.
    QRect a = anchor_ ? anchor_() : QRect();
    if (!a.isValid()) a = QRect(click_ ? *click_ : QCursor::pos(), QSize(1, 1));
    const QScreen* screen = QGuiApplication::screenAt(a.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    // Below it on a top panel, above it on a bottom one.
    int y = a.center().y() < area.center().y() ? a.bottom() + 6 : a.top() - 6 - s.height();
    int x = a.center().x() - s.width() / 2;
    x = std::clamp(x, area.left() + 4, std::max(area.left() + 4, area.right() - 4 - s.width()));
    y = std::clamp(y, area.top() + 4, std::max(area.top() + 4, area.bottom() - 4 - s.height()));
    move(x, y);
}

void PopoverWidget::hideEvent(QHideEvent* e) {
    QFrame::hideEvent(e);
    // A click elsewhere closed it (or the controller did, which it already knows).
    if (status_.popoverShown()) status_.popoverClosed();
}

}  // namespace tarvela

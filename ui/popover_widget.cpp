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

#include "feedback/status_item.h"
#include "ui/painting.h"

namespace tarvela {

namespace {

QLabel* label(const std::string& text, QWidget* parent, bool bold = false, bool small = false) {
    auto* l = new QLabel(QString::fromStdString(text), parent);
    // Names and notes come from other programs: text, never markup.
    l->setTextFormat(Qt::PlainText);
    QFont f = l->font();
    if (bold) f.setBold(true);
    if (small) f.setPointSizeF(f.pointSizeF() * 0.85);
    l->setFont(f);
    l->setWordWrap(small);
    return l;
}

QFrame* card(QVBoxLayout* into, QWidget* parent, const std::string& title) {
    auto* c = new QFrame(parent);
    c->setObjectName("card");
    c->setAccessibleName(QString::fromStdString(title));
    auto* v = new QVBoxLayout(c);
    v->setContentsMargins(10, 8, 10, 8);
    v->setSpacing(6);
    if (!title.empty()) v->addWidget(label(title, c, true));
    into->addWidget(c);
    return c;
}

// A marked button shows the model's state only: a click asks for a change and
// the rebuild that follows it shows the outcome, never Qt's own toggling.
QPushButton* button(const std::string& text, QWidget* parent, std::function<void()> onClick, bool checked = false) {
    auto* b = new QPushButton(QString::fromStdString(text), parent);
    b->setAccessibleName(QString::fromStdString(text));
    b->setCheckable(checked);
    b->setChecked(checked);
    b->setFocusPolicy(Qt::NoFocus);
    QObject::connect(b, &QPushButton::clicked, parent, [b, checked, fn = std::move(onClick)] {
        b->setChecked(checked);
        fn();
    });
    return b;
}

template <class T>
QHBoxLayout* choices(const std::vector<Choice<T>>& items, QWidget* parent, std::function<void(T)> pick, bool enabled) {
    auto* row = new QHBoxLayout();
    row->setSpacing(4);
    for (const Choice<T>& c : items) {
        QPushButton* b = button(c.label, parent, [pick, v = c.value] { pick(v); }, c.selected);
        b->setEnabled(enabled);
        row->addWidget(b);
    }
    return row;
}

}  // namespace

PopoverWidget::PopoverWidget(StatusController& status, PopoverActions& actions)
    : QFrame(nullptr, Qt::Popup | Qt::FramelessWindowHint), status_(status), actions_(actions) {
    setObjectName("popover");
    setAccessibleName("Tarvela");
    setWindowTitle("Tarvela popover");
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet("#popover { border: 1px solid palette(mid); border-radius: 10px; }"
                  "#card { background: palette(alternate-base); border-radius: 8px; }"
                  "QPushButton:checked { background: #007aff; color: white; border-radius: 5px; }");
    outer_ = new QVBoxLayout(this);
    outer_->setContentsMargins(10, 10, 10, 10);
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
    v->setSpacing(8);
    outer_->addWidget(content_);
    QWidget* host = content_;

    // ---- header ----
    auto* head = new QHBoxLayout();
    auto* names = new QVBoxLayout();
    names->addWidget(label(m.header.name, host, true));
    names->addWidget(label(m.header.state, host, false, true));
    head->addLayout(names, 1);
    auto* pause = new QToolButton(host);
    pause->setText(QStringLiteral("☾"));
    pause->setCheckable(true);
    pause->setChecked(m.header.paused);
    pause->setToolTip(QString::fromStdString(m.header.pauseHelp));
    pause->setAccessibleName(QString::fromStdString(m.header.pauseHelp));
    pause->setFocusPolicy(Qt::NoFocus);
    connect(pause, &QToolButton::clicked, host, [this] { actions_.togglePause(); });
    head->addWidget(pause);
    auto* on = new QCheckBox(host);
    on->setChecked(m.header.on);
    on->setToolTip(QString::fromStdString(m.header.switchHelp));
    on->setAccessibleName(QString::fromStdString(m.header.switchHelp));
    on->setFocusPolicy(Qt::NoFocus);
    connect(on, &QCheckBox::clicked, host, [this](bool value) { actions_.setOn(value); });
    head->addWidget(on);
    v->addLayout(head);

    if (m.permission) {
        QFrame* c = card(v, host, m.permission->title);
        c->layout()->addWidget(button(m.permission->button, c, [this] { actions_.takeOver(); }));
    }

    // ---- strip ----
    {
        QFrame* c = card(v, host, "");
        auto* cv = static_cast<QVBoxLayout*>(c->layout());
        auto* title = new QHBoxLayout();
        title->addWidget(label(m.strip.title + m.strip.caption, c, true));
        if (!m.strip.overviewLink.empty()) {
            QPushButton* link = button(m.strip.overviewLink, c, [this] { actions_.openOverview(); });
            link->setFlat(true);
            title->addWidget(link);
        }
        title->addStretch(1);
        cv->addLayout(title);
        if (m.strip.empty) {
            cv->addWidget(label(m.strip.empty->title, c));
            if (!m.strip.empty->detail.empty()) cv->addWidget(label(m.strip.empty->detail, c, false, true));
        } else {
            auto* tiles = new QHBoxLayout();
            tiles->setSpacing(4);
            for (const PopoverTile& t : m.strip.tiles) {
                std::string text;
                for (const PopoverTile::Window& w : t.windows) text += (text.empty() ? "" : "\n") + w.app;
                QPushButton* b = button(text, c, [this, col = t.col] { actions_.goToColumn(col); }, t.focused);
                b->setEnabled(m.strip.tilesEnabled);
                b->setToolTip(QString::fromStdString(t.help));
                b->setAccessibleName(QString::fromStdString(t.help));
                b->setFixedSize(64, 44);
                tiles->addWidget(b);
            }
            tiles->addStretch(1);
            cv->addLayout(tiles);
        }
    }

    if (m.display) {
        QFrame* c = card(v, host, m.display->title);
        for (const DisplayRow& r : m.display->rows)
            c->layout()->addWidget(label(r.name + " — " + r.detail, c, r.current));
        if (m.display->sendButton) {
            QPushButton* send = button(*m.display->sendButton, c, [this] { actions_.send(); });
            send->setEnabled(m.display->sendEnabled);
            c->layout()->addWidget(send);
        }
        if (m.display->note) c->layout()->addWidget(label(*m.display->note, c, false, true));
    }

    {
        QFrame* c = card(v, host, m.width.title);
        static_cast<QVBoxLayout*>(c->layout())->addLayout(
            choices<double>(m.width.choices, c, [this](double f) { actions_.setWidth(f); }, m.width.enabled));
        c->layout()->addWidget(label(m.width.note, c, false, true));
    }
    {
        QFrame* c = card(v, host, m.align.title);
        static_cast<QVBoxLayout*>(c->layout())->addLayout(
            choices<Align>(m.align.choices, c, [this](Align a) { actions_.setAlign(a); }, m.align.enabled));
        c->layout()->addWidget(label(m.align.note, c, false, true));
    }
    {
        QFrame* c = card(v, host, m.effects.title);
        auto* row = new QHBoxLayout();
        row->addWidget(button(m.effects.dimLabel, c, [this, d = m.effects.dim] { actions_.setDim(!d); }, m.effects.dim));
        row->addWidget(button(m.effects.blurLabel, c, [this, b = m.effects.blur] { actions_.setBlur(!b); }, m.effects.blur));
        static_cast<QVBoxLayout*>(c->layout())->addLayout(row);
        auto* blur = new QCheckBox(QString::fromStdString(m.effects.blurSwitch), c);
        blur->setChecked(m.effects.blur);
        blur->setFocusPolicy(Qt::NoFocus);
        connect(blur, &QCheckBox::clicked, c, [this](bool value) { actions_.setBlur(value); });
        c->layout()->addWidget(blur);
    }
    {
        QFrame* c = card(v, host, m.layouts.title);
        static_cast<QVBoxLayout*>(c->layout())->addLayout(
            choices<Layout>(m.layouts.choices, c, [this](Layout l) { actions_.setLayout(l); }, m.layouts.enabled));
    }

    auto* foot = new QHBoxLayout();
    for (const FooterItem& f : m.footer)
        foot->addWidget(button(f.label + (f.badge ? " ↓" : ""), host, [this, b = f.button] { actions_.footer(b); }));
    v->addLayout(foot);
    adjustSize();
    // A card that came or went changes the height: stay beside the icon, once
    // the new cards have been laid out.
    if (isVisible())
        QTimer::singleShot(0, this, [this] {
            if (isVisible()) place();
        });
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

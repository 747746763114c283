#include "ui/onboarding_window.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "feedback/palette.h"
#include "ui/painting.h"
#include "ui/components.h"
#include "ui/theme.h"
#include "ui/widgets.h"

namespace tarvela {
namespace {

// A sketch of a desktop with a strip of windows: a terminal with a few lines,
// an editor with text bars, a browser; the focused one in the middle, the
// strip running off both edges. Purely illustrative.
class StripMock final : public QWidget {
public:
    explicit StripMock(int step) : step_(step) { setMinimumSize(380, 420); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF desk = QRectF(rect()).adjusted(8, 8, -8, -8);
        QLinearGradient sky(desk.topLeft(), desk.bottomRight());
        sky.setColorAt(0, QColor(40, 60, 120));
        sky.setColorAt(1, QColor(110, 70, 160));
        QPainterPath deskPath;
        deskPath.addRoundedRect(desk, 14, 14);
        p.fillPath(deskPath, sky);
        p.setClipPath(deskPath);
        const double w = desk.width() * 0.56, h = desk.height() - 48, y = desk.top() + 24;
        const double focusX = desk.center().x() - w / 2 - (step_ % 2 ? 24 : 0);
        const QColor bodies[] = {QColor(30, 30, 34), QColor(250, 250, 252), QColor(244, 246, 250)};
        for (int i = -1; i <= 1; ++i) {
            const QRectF win(focusX + i * (w + 12), y, w, h);
            const bool focused = i == 0;
            QPainterPath path;
            path.addRoundedRect(win, 9, 9);
            p.fillPath(path, bodies[i + 1]);
            p.fillRect(QRectF(win.left(), win.top(), win.width(), 22), QColor(220, 222, 228));
            for (int k = 0; k < 3; ++k)
                p.setBrush(QColor(k == 0 ? 0xff5f57 : k == 1 ? 0xfebc2e : 0x28c840)),
                    p.setPen(Qt::NoPen), p.drawEllipse(QPointF(win.left() + 12 + k * 14, win.top() + 11), 4, 4);
            const QColor ink = i == -1 ? QColor(120, 220, 140) : QColor(150, 155, 170);
            for (int line = 0; line < 9; ++line)
                p.fillRect(QRectF(win.left() + 14, win.top() + 38 + line * 18, (line * 37 % 5 + 3) * win.width() / 9, 7),
                           ink);
            if (focused) {
                p.setPen(QPen(qtColor(palette::accent.dark), 3));  // on the dark desk
                p.setBrush(Qt::NoBrush);
                p.drawRoundedRect(win.adjusted(-3, -3, 3, 3), 11, 11);
            } else {
                p.fillPath(path, QColor(0, 0, 0, 80));
            }
        }
    }

private:
    int step_;
};

}  // namespace

OnboardingWindow::OnboardingWindow(Onboarding& onboarding) : o_(onboarding) {
    setFocusPolicy(Qt::StrongFocus);
    outer_->setContentsMargins(look::windowPadding + look::grid * 2, look::windowPadding, look::windowPadding + look::grid * 2,
                               look::windowPadding);
    link_ = onboarding.changed.connect([this] { rebuildSoon(); });
    rebuild();
}

void OnboardingWindow::keyPressEvent(QKeyEvent* e) {
    if (e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter) return ModelView::keyPressEvent(e);
    if (o_.view().forwardEnabled) o_.forward();
}

void OnboardingWindow::build(QVBoxLayout& into) {
    const OnboardingView v = o_.view();
    auto* body = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->setSpacing(look::grid * 2);
    left->addWidget(new DialogHeader(v.title, v.subtitle));
    if (v.welcome) {
        auto* features = new Card;
        features->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
        features->body()->setSpacing(look::noteGap);
        for (const OnboardingFeature& f : v.welcome->features) {
            if (&f != &v.welcome->features.front()) features->body()->addSpacing(look::grid * 2);
            features->body()->addWidget(label(f.title, 1, true));
            features->body()->addWidget(textLabel(f.text, TypeRole::note));
        }
        left->addWidget(features);
    }
    if (v.permission) addPermission(*left, *v.permission);
    if (v.layout) addLayoutChoices(*left, *v.layout);
    if (v.ready) addReady(*left, *v.ready);
    left->addStretch();
    body->addLayout(left, 1);
    body->addSpacing(24);
    body->addWidget(new StripMock(v.step), 1);
    into.addLayout(body, 1);
    into.addLayout(footer(v));
}

void OnboardingWindow::addPermission(QVBoxLayout& left, const PermissionStep& p) {
    left.addWidget(label(p.body));
    int n = 1;
    for (const OnboardingInstruction& i : p.instructions) {
        left.addWidget(label(std::to_string(n++) + ".  " + i.title, 1, true));
        left.addWidget(label(i.text, 1, false, true));
        if (i.button) {
            auto* row = new QHBoxLayout;
            row->addWidget(button(*i.button, [this] { o_.takeOver(); }));
            row->addStretch();
            left.addLayout(row);
        }
    }
    left.addSpacing(8);
    left.addWidget(label(p.status, 1.05, true));
    left.addWidget(label(p.statusDetail, 1, false, true));
}

void OnboardingWindow::addLayoutChoices(QVBoxLayout& left, const LayoutStep& step) {
    auto* layouts = new QHBoxLayout;
    for (const Choice<Layout>& c : step.layouts) {
        const Layout l = c.value;
        auto* b = static_cast<Button*>(button(c.label, [this, l] { o_.chooseLayout(l); }, nullptr, c.selected));
        b->setPicture([l](QPainter& p, const QRectF& r, const QColor& ink) { drawLayoutIcon(p, r, l, ink); }, {20, 13});
        layouts->addWidget(b);
    }
    left.addLayout(layouts);
    left.addWidget(label(step.widthTitle, 1, true));
    auto* widths = new QHBoxLayout;
    for (const Choice<double>& c : step.widths) {
        const double w = c.value;
        widths->addWidget(button(c.label, [this, w] { o_.chooseWidth(w); }, nullptr, c.selected));
    }
    left.addLayout(widths);
    left.addWidget(label(step.note, 0.95, false, true));
}

void OnboardingWindow::addReady(QVBoxLayout& left, const ReadyStep& ready) {
    left.addWidget(label(ready.layout, 1, true));
    left.addWidget(label(ready.permission));
    for (const ReadyShortcut& s : ready.shortcuts) {
        auto* caps = new KeyCaps(s.caps, "");
        caps->setFocusPolicy(Qt::NoFocus);
        caps->setAttribute(Qt::WA_TransparentForMouseEvents);
        caps->setAccessibleName(QString::fromStdString(s.label));
        auto* row = new QHBoxLayout;
        row->addWidget(label(s.label), 1);
        row->addWidget(caps);
        left.addLayout(row);
    }
    left.addSpacing(8);
    left.addWidget(label(ready.tray, 0.95, false, true));
}

QHBoxLayout* OnboardingWindow::footer(const OnboardingView& v) {
    auto* footer = new QHBoxLayout;
    footer->addWidget(label(v.stepLabel, 1, false, true));
    QString dots;
    for (bool on : v.dots) dots += on ? QString::fromUtf8("● ") : QString::fromUtf8("○ ");
    auto* dotLabel = new QLabel(dots.trimmed());
    dotLabel->setForegroundRole(QPalette::Highlight);
    footer->addWidget(dotLabel);
    footer->addStretch();
    if (v.back) footer->addWidget(button(*v.back, [this] { o_.back(); }));
    if (v.skip) footer->addWidget(button(*v.skip, [this] { o_.skip(); }));
    auto* forward = new Button(v.forward, ButtonKind::primary);
    QObject::connect(forward, &QPushButton::clicked, forward, [this] { o_.forward(); });
    forward->setDefault(true);
    forward->setFocusPolicy(Qt::NoFocus);  // Return is the window's, whatever has the focus
    forward->setEnabled(v.forwardEnabled);
    footer->addWidget(forward);
    return footer;
}

}  // namespace tarvela

#include "feedback/toast.h"

#include <algorithm>
#include <cmath>

#include "core/timeline.h"

namespace tarvela {

namespace {

double overlap(const Rect& a, const Rect& b) {
    const double w = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double h = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return w > 0 && h > 0 ? w * h : 0;
}

// The display a panel is on: the one holding most of it.
std::optional<Screen> screenOf(const Rect& frame, const std::vector<Screen>& screens) {
    std::optional<Screen> best;
    double most = 0;
    for (const Screen& s : screens) {
        const double a = overlap(frame, s.frame);
        if (a > most) {
            most = a;
            best = s;
        }
    }
    return best;
}

}  // namespace

ToastLayout ToastLayout::make(const ToastModel& m, TextMetrics& metrics) {
    using namespace toast;
    ToastLayout l;
    l.icon = Rect(margin, margin, iconSide, iconSide);
    const double colX = margin + iconSide + iconGap;
    const double colW = width - 2 * margin - iconSide - iconGap;

    // The title gives way to "now", which keeps to the trailing edge; both
    // stand on one line.
    const Size nowS = metrics.measure(toast::now, nowFont);
    const double titleH = metrics.measure(m.title, titleFont).height;
    const double titleRoom = std::max(0.0, colW - titleGap - nowS.width);
    const WrappedText title = metrics.wrap(m.title, titleFont, titleRoom, 1);
    const double rowH = std::max(titleH, nowS.height);
    l.title = Rect(colX, margin + rowH - titleH, std::min(title.size.width, titleRoom), titleH);
    l.shownTitle = title.text;
    l.now = Rect(colX + colW - nowS.width, margin + rowH - nowS.height, nowS.width, nowS.height);
    double y = margin + rowH + lineGap;

    const WrappedText text = metrics.wrap(m.text, textFont, colW, textLines);
    l.text = Rect(colX, y, std::min(text.size.width, colW), text.size.height);
    l.shownText = text.text;
    y += text.size.height + lineGap + buttonsGap;

    auto buttonWidth = [&](const std::string& label) { return metrics.measure(label, buttonFont).width + 2 * buttonPadding; };
    const double secondaryW = buttonWidth(m.secondary);
    const double primaryW = m.primary ? buttonWidth(*m.primary) : 0;
    const double rowW = secondaryW + (m.primary ? primaryW + buttonSpacing : 0);
    double x = colX + (colW - rowW) / 2;
    if (m.primary) {
        l.primary = Rect(x, y, primaryW, buttonHeight);
        x += primaryW + buttonSpacing;
    }
    l.secondary = Rect(x, y, secondaryW, buttonHeight);
    y += buttonHeight;

    l.size = Size{width, margin + std::max(iconSide, y - margin) + margin};
    return l;
}

Toast::Toast(ToastDeps deps) : d_(std::move(deps)) {}

Toast::~Toast() {
    cancelTimer(d_.main, timer_);
    cancelTimer(d_.main, anim_);
}

void Toast::show(ToastModel model, std::optional<double> autoHide) {
    close(false);
    cancelTimer(d_.main, anim_);
    leaving_.reset();
    autoHide_ = autoHide;
    // The pointer cannot be over a card that has not come in yet.
    hovering_ = false;

    const std::vector<Screen> screens = d_.screens();
    if (screens.empty()) {
        changed.emit();
        return;
    }
    const Rect vf = screens.front().visibleFrame;
    auto p = std::make_shared<ToastPanel>();
    p->layout = ToastLayout::make(model, d_.metrics);
    p->model = std::move(model);
    const Size s = p->layout.size;
    p->frame = Rect(vf.maxX() + toast::offEdge, vf.maxY() - s.height - toast::topGap, s.width, s.height);
    panel_ = p;
    slide(p, vf.maxX() + toast::offEdge, vf.maxX() - s.width - toast::rightGap, toast::slideIn, false, nullptr);
    scheduleHide();
    changed.emit();
}

void Toast::notice(const std::string& title, const std::string& text) {
    show(ToastModel{title, text, std::nullopt, nullptr, toast::noticeButton}, toast::noticeSeconds);
}

void Toast::close(bool animated) {
    cancelTimer(d_.main, timer_);
    if (!panel_) return;
    std::shared_ptr<ToastPanel> p = std::move(panel_);
    panel_.reset();
    if (animated) {
        const std::vector<Screen> screens = d_.screens();
        std::optional<Screen> screen = screenOf(p->frame, screens);
        if (!screen && !screens.empty()) screen = screens.front();
        if (screen) {
            leaving_ = p;
            std::weak_ptr<ToastPanel> gone = p;
            slide(p, p->frame.minX(), screen->frame.maxX() + toast::offEdge, toast::slideOut, true,
                  life_.guard([this, gone] {
                      if (leaving_ && leaving_ == gone.lock()) leaving_.reset();
                  }));
            changed.emit();
            return;
        }
    }
    cancelTimer(d_.main, anim_);
    changed.emit();
}

void Toast::scheduleHide() {
    cancelTimer(d_.main, timer_);
    if (!autoHide_ || hovering_) return;
    timer_ = d_.main.after(*autoHide_, life_.guard([this] {
        timer_.reset();
        close(true);
    }));
}

void Toast::slide(const std::shared_ptr<ToastPanel>& p, double from, double to, double duration, bool easeIn,
                  std::function<void()> done) {
    cancelTimer(d_.main, anim_);
    const Timeline x{from, to, d_.main.now(), duration, easeIn ? Easing::inCubic : Easing::outCubic};
    const double minY = p->frame.minY();
    std::weak_ptr<ToastPanel> weak = p;
    anim_ = d_.main.every(toast::tick, life_.guard([this, weak, x, minY, done] {
        const double now = d_.main.now();
        if (auto panel = weak.lock()) {
            panel->frame.x = x.at(now);
            panel->frame.y = minY;
        }
        if (!x.running(now)) {
            cancelTimer(d_.main, anim_);
            if (done) done();
        }
        changed.emit();
    }));
}

void Toast::hover(bool inside) {
    hovering_ = inside;
    if (inside)
        cancelTimer(d_.main, timer_);
    else
        scheduleHide();
}

void Toast::primaryPressed() {
    if (!panel_) return;
    if (std::function<void()> run = panel_->model.onPrimary) run();
    dismiss();
}

void Toast::secondaryPressed() {
    if (panel_) dismiss();
}

void Toast::dragEnded(double dx) {
    if (panel_ && dx > toast::swipe) dismiss();
}

}  // namespace tarvela

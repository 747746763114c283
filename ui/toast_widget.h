// The toast's windows: one card for the toast on screen and one for a toast
// sliding out, each at the frame the Toast gives it, reporting the pointer,
// the buttons and sideways drags back.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "core/platform.h"
#include "feedback/toast.h"
#include "core/signal.h"
#include "ui/panel_levels.h"

namespace tarvela {

class ToastCard final : public QWidget {
    Q_OBJECT
public:
    ToastCard(Toast& toast, bool current);
    void showPanel(const ToastPanel& panel, const QRect& where, bool compositing);

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Toast& toast_;
    bool current_;  // the leaving card answers nothing
    PanelStacking stacking_;
    ToastPanel panel_;
    std::optional<QPointF> pressAt_;
    double dragX_ = 0;  // how far the card follows a drag to the right
};

class ToastWindows {
public:
    ToastWindows(Toast& toast, std::function<std::vector<Screen>()> screens, std::function<bool()> compositing);
    void sync();
    ToastCard& current() { return current_; }

private:
    Toast& toast_;
    std::function<std::vector<Screen>()> screens_;
    std::function<bool()> compositing_;
    ToastCard current_;
    ToastCard leaving_;
    Connection link_;
};

}  // namespace tarvela

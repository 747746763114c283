// The tray item's popover: a frameless popup beside the tray icon that draws
// the cards of PopoverModel with ordinary Qt controls and hands every click
// to PopoverActions. It closes on a click elsewhere (Qt's popup behaviour)
// and stays current while open, whoever changes what it shows.
#pragma once

#include <QFrame>
#include <functional>

#include "feedback/popover_model.h"
#include "settings/signal.h"

class QVBoxLayout;

namespace tarvela {

class StatusController;

class PopoverWidget final : public QFrame {
    Q_OBJECT
public:
    PopoverWidget(StatusController& status, PopoverActions& actions);

    // Shows or hides itself as the controller says; `anchor` tells where the
    // tray icon is (empty: unknown) and `click` where it was clicked.
    void sync(const QRect& anchor, const QPoint& click);
    // Re-reads the model and rebuilds the cards.
    void rebuild();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    void place(const QRect& anchor, const QPoint& click);

    StatusController& status_;
    PopoverActions& actions_;
    QWidget* content_ = nullptr;
    QVBoxLayout* outer_ = nullptr;
    bool rebuildPending_ = false;
    QRect anchor_;
    QPoint click_;
    Connection link_;
};

}  // namespace tarvela

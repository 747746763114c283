// The tray item's popover: a frameless popup beside the tray icon that draws
// the cards of PopoverModel with ordinary Qt controls and hands every click
// to PopoverActions. It closes on a click elsewhere (Qt's popup behaviour)
// and stays current while open, whoever changes what it shows.
#pragma once

#include <QFrame>
#include <QPoint>
#include <QRect>
#include <functional>
#include <optional>

#include "feedback/popover_model.h"
#include "core/signal.h"

class QVBoxLayout;

namespace tarvela {

class StatusController;

class PopoverWidget final : public QFrame {
    Q_OBJECT
public:
    // Waiting for the tray icon's place: this often, this many times, then
    // the pointer stands in for it.
    static constexpr int anchorPoll = 50;  // ms
    static constexpr int anchorTries = 40;

    PopoverWidget(StatusController& status, PopoverActions& actions);

    // Shows or hides itself as the controller says; `anchor` tells where the
    // tray icon is (empty: not known, or not yet) and `click` where it was
    // clicked, when it was.
    void sync(std::function<QRect()> anchor, std::optional<QPoint> click);
    // Re-reads the model and rebuilds the cards.
    void rebuild();

protected:
    void hideEvent(QHideEvent* e) override;

private:
    // The cards of rebuild(), each added to the content's column.
    void addHeader(QVBoxLayout& v, const PopoverHeader& h);
    void addStripCard(QVBoxLayout& v, const StripCard& strip);
    void addDisplayCard(QVBoxLayout& v, const DisplayCard& display);
    void addChoiceCards(QVBoxLayout& v, const PopoverModel& m);
    void waitForAnchor(int tries);
    void open();
    void place();

    StatusController& status_;
    PopoverActions& actions_;
    QWidget* content_ = nullptr;
    QVBoxLayout* outer_ = nullptr;
    bool rebuildPending_ = false;
    bool waiting_ = false;
    std::function<QRect()> anchor_;
    std::optional<QPoint> click_;
    Connection link_;
};

}  // namespace tarvela

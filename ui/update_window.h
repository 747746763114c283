// The software-update window's content: the title, the line under it, the
// release notes and the two buttons, redrawn from UpdateView at every change
// of the check.
#pragma once

#include <QWidget>
#include <functional>

#include "feedback/update_view.h"
#include "core/signal.h"

class QLabel;
class QPushButton;

namespace tarvela {

struct UpdateWindowDeps {
    std::function<UpdateView()> view;
    Signal<>& changed;
    std::function<void(UpdateView::Action)> act;  // the main button
    std::function<void()> later;                  // closes the window
};

class UpdateWindow final : public QWidget {
public:
    explicit UpdateWindow(UpdateWindowDeps deps);
    void refresh();

private:
    UpdateWindowDeps d_;
    QLabel* title_;
    QLabel* subline_;
    QLabel* notesTitle_;
    QLabel* notes_;
    QPushButton* main_;
    QWidget* notesCard_;
    Connection link_;
};

}  // namespace tarvela

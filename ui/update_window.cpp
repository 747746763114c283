#include "ui/update_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tarvela {

UpdateWindow::UpdateWindow(UpdateWindowDeps deps)
    : d_(std::move(deps)),
      title_(new QLabel),
      subline_(new QLabel),
      notesTitle_(new QLabel(QString::fromUtf8(update_view::whatsNew))),
      notes_(new QLabel),
      main_(new QPushButton) {
    // The version and the release notes come from the update feed: text, never markup.
    for (QLabel* l : {title_, subline_, notesTitle_, notes_}) l->setTextFormat(Qt::PlainText);
    QFont big = title_->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    title_->setFont(big);
    subline_->setWordWrap(true);
    QFont bold = notesTitle_->font();
    bold.setBold(true);
    notesTitle_->setFont(bold);
    notes_->setWordWrap(true);
    notes_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* later = new QPushButton(QString::fromUtf8(update_view::later));
    main_->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(later);
    buttons->addWidget(main_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 20);
    layout->addWidget(title_);
    layout->addWidget(subline_);
    layout->addSpacing(12);
    layout->addWidget(notesTitle_);
    layout->addWidget(notes_);
    layout->addStretch(1);
    layout->addLayout(buttons);

    QObject::connect(main_, &QPushButton::clicked, this, [this] { d_.act(d_.view().action); });
    QObject::connect(later, &QPushButton::clicked, this, [this] { d_.later(); });
    link_ = d_.changed.connect([this] { refresh(); });
    refresh();
}

void UpdateWindow::refresh() {
    const UpdateView v = d_.view();
    title_->setText(QString::fromStdString(v.title));
    subline_->setText(QString::fromStdString(v.subline));
    main_->setText(QString::fromStdString(v.button));
    main_->setEnabled(v.buttonEnabled);
    QString notes;
    for (const std::string& n : v.notes) notes += QString::fromUtf8("•  ") + QString::fromStdString(n) + "\n";
    notes_->setText(notes.trimmed());
    notesTitle_->setVisible(!v.notes.empty());
    notes_->setVisible(!v.notes.empty());
}

}  // namespace tarvela

#include "ui/update_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/components.h"
#include "ui/theme.h"

namespace tarvela {

UpdateWindow::UpdateWindow(UpdateWindowDeps deps)
    : d_(std::move(deps)),
      title_(textLabel("", TypeRole::title)),
      subline_(textLabel("", TypeRole::note)),
      notesTitle_(textLabel(update_view::whatsNew, TypeRole::section)),
      notes_(textLabel("", TypeRole::body)),
      main_(new Button("", ButtonKind::primary)) {
    // The version and the release notes come from the update feed: text, never markup.
    notes_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* later = new Button(update_view::later, ButtonKind::secondary);
    main_->setDefault(true);

    // The header: the mascot beside the version's title and the line under it.
    auto* head = new QHBoxLayout;
    head->setSpacing(look::grid * 3);
    head->addWidget(headerIcon(), 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    names->setSpacing(look::grid);
    names->addWidget(title_);
    names->addWidget(subline_);
    head->addLayout(names, 1);

    auto* notes = new Card;
    notes->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
    notes->body()->setSpacing(look::grid * 2);
    notes->body()->addWidget(notesTitle_);
    notes->body()->addWidget(notes_, 1);
    notesCard_ = notes;

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(look::grid * 2);
    buttons->addStretch();
    buttons->addWidget(later);
    buttons->addWidget(main_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(look::windowPadding, look::windowPadding, look::windowPadding, look::windowPadding);
    layout->setSpacing(look::cardGap);
    layout->addLayout(head);
    layout->addWidget(notesCard_, 1);
    layout->addStretch();
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
    main_->setAccessibleName(main_->text());
    main_->setEnabled(v.buttonEnabled);
    QString notes;
    for (const std::string& n : v.notes) notes += QString::fromUtf8("•  ") + QString::fromStdString(n) + "\n";
    notes_->setText(notes.trimmed());
    notesCard_->setVisible(!v.notes.empty());
}

}  // namespace tarvela

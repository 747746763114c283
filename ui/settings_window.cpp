#include "ui/settings_window.h"

#include <QCheckBox>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/app_glyph.h"
#include "ui/components.h"
#include "ui/theme.h"
#include "ui/widgets.h"

namespace tarvela {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
// Names of applications and workspaces are the user's or a client's text:
// never markup for a tool-tip, never a mnemonic for a button.
QString tip(const std::string& s) { return Qt::convertFromPlainText(q(s), Qt::WhiteSpacePre); }
QString mnemonicFree(const std::string& s) { return q(s).replace('&', "&&"); }

// A choice of a few short options is a segmented picker; a longer list, a menu.
QWidget* choiceControl(const SettingsRow& r, RowPane& pane) {
    const std::string id = r.id;
    size_t chars = 0;
    for (const std::string& o : r.options) chars += glyphCount(o);
    if (r.options.size() <= 3 && chars <= 24)
        return new SegmentedPicker(r.options, r.value, [&pane, id](int i) { pane.set(id, i); });
    auto* combo = new QComboBox;
    for (const std::string& o : r.options) combo->addItem(q(o));
    combo->setCurrentIndex(r.value);
    QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), combo, [&pane, id](int i) { pane.set(id, i); });
    return combo;
}

// One row: its texts on the left, its control on the right.
QWidget* settingsRowFor(const SettingsRow& r, RowPane& pane) {
    const std::string id = r.id;
    QWidget* control = nullptr;
    switch (r.kind) {
        case ControlKind::toggle: {
            auto* t = new Toggle(r.value != 0);
            QObject::connect(t, &Toggle::toggled, t, [&pane, id](bool on) { pane.set(id, on ? 1 : 0); });
            control = t;
            break;
        }
        case ControlKind::choice: control = choiceControl(r, pane); break;
        case ControlKind::buttons: {
            control = new QWidget;
            auto* col = new QVBoxLayout(control);
            col->setContentsMargins(0, 0, 0, 0);
            auto* buttons = new QHBoxLayout;
            buttons->setSpacing(look::grid * 2);
            for (size_t i = 0; i < r.options.size(); ++i)
                buttons->addWidget(button(r.options[i], [&pane, id, i] { pane.press(id, static_cast<int>(i)); }));
            col->addLayout(buttons);
            if (!r.detail.empty()) col->addWidget(textLabel(r.detail, TypeRole::note), 0, Qt::AlignRight);
            break;
        }
        case ControlKind::stepper: {
            auto* spin = new QSpinBox;
            spin->setRange(r.lo, r.hi);
            spin->setValue(r.value);
            // Typing "10" must not pass through 1: each value is applied (and
            // the pane redrawn) only once it is entered or stepped to.
            spin->setKeyboardTracking(false);
            QObject::connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), spin,
                             [&pane, id](int v) { pane.set(id, v); });
            control = spin;
            break;
        }
        case ControlKind::field: {
            auto* edit = new QLineEdit(q(r.detail));
            edit->setPlaceholderText(q(r.placeholder));
            // Told once the editing ends (Return or the focus leaving), not at every key:
            // each change redraws the pane, which would take the field away while typing.
            QObject::connect(edit, &QLineEdit::editingFinished, edit, [&pane, id, edit, was = r.detail] {
                if (edit->text().toStdString() != was) pane.setText(id, edit->text().toStdString());
            });
            control = edit;
            break;
        }
        case ControlKind::text:
            if (!r.detail.empty()) {
                QLabel* detail = textLabel(r.detail, TypeRole::note);
                detail->setWordWrap(false);
                control = detail;
            }
            break;
    }
    if (control && r.kind != ControlKind::buttons) control->setAccessibleName(q(r.label));
    const std::string note = r.hint.empty() ? r.note : r.note.empty() ? r.hint : r.note + "\n" + r.hint;
    return settingsRow(r.label, note, control);
}

// Rows of one section share a card, its title above it.
void addRows(QVBoxLayout& into, RowPane& pane) {
    Card* card = nullptr;
    std::string section;
    for (const SettingsRow& r : pane.rows()) {
        if (!card || r.section != section) {
            card = new Card(r.section);
            into.addWidget(card);
            section = r.section;
        } else {
            card->body()->addWidget(rowSeparator());
        }
        card->body()->addWidget(settingsRowFor(r, pane));
    }
}

class GeneralPage final : public ModelView {
public:
    explicit GeneralPage(GeneralPane& p) : pane_(p) {
        link_ = p.changed.connect([this] { rebuildSoon(); });
        rebuild();
    }

private:
    void build(QVBoxLayout& into) override { addRows(into, pane_); }
    GeneralPane& pane_;
};

class GesturesPage final : public ModelView {
public:
    explicit GesturesPage(GesturesPane& p) : pane_(p) {
        link_ = p.changed.connect([this] { rebuildSoon(); });
        rebuild();
    }

private:
    void build(QVBoxLayout& into) override {
        into.addWidget(textLabel(pane_.intro(), TypeRole::note));
        addRows(into, pane_);
    }
    GesturesPane& pane_;
};

class UpdatesPage final : public ModelView {
public:
    explicit UpdatesPage(UpdatesPane& p) : pane_(p) {
        link_ = p.changed.connect([this] { rebuildSoon(); });
        rebuild();
    }

private:
    void build(QVBoxLayout& into) override {
        addRows(into, pane_);
        if (std::optional<UpdateStatusView> s = pane_.status()) {
            auto* card = new Card;
            into.addWidget(card);
            auto* buttons = new QWidget;
            auto* h = new QHBoxLayout(buttons);
            h->setContentsMargins(0, 0, 0, 0);
            h->setSpacing(look::grid * 2);
            h->addWidget(button(s->checkButton, [this] { pane_.checkNow(); }));
            if (s->installButton) {
                auto* install = new Button(*s->installButton, ButtonKind::primary);
                QObject::connect(install, &QPushButton::clicked, install, [this] { pane_.install(); });
                h->addWidget(install);
            }
            card->body()->addWidget(settingsRow(s->line, s->detail.value_or(""), buttons));
            if (s->notesTitle) {
                auto* notes = new Card(*s->notesTitle);
                for (const std::string& n : s->notes) notes->body()->addWidget(label("•  " + n));
                notes->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
                into.addWidget(notes);
            }
        }
    }
    UpdatesPane& pane_;
};

class ShortcutsPage final : public ModelView {
public:
    ShortcutsPage(ShortcutsPane& p, std::function<std::optional<KeyEvent>(const QKeyEvent&)> keyEvent)
        : pane_(p), keyEvent_(std::move(keyEvent)) {
        setFocusPolicy(Qt::StrongFocus);
        link_ = p.changed.connect([this] { rebuildSoon(); });
        // While a shortcut is recorded every key comes here, none reaches the desktop.
        p.onRecording = [this](bool on) {
            if (on) {
                grabKeyboard();
            } else {
                releaseKeyboard();
            }
        };
        rebuild();
    }
    ~ShortcutsPage() override {
        pane_.onRecording = nullptr;
        pane_.cancel();
    }

protected:
    bool event(QEvent* e) override {
        // Tab too is recorded (or refused), never a move of the focus.
        if (e->type() == QEvent::KeyPress && pane_.recording()) {
            keyPressEvent(static_cast<QKeyEvent*>(e));
            return true;
        }
        return ModelView::event(e);
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (!pane_.recording()) return QWidget::keyPressEvent(e);
        if (std::optional<KeyEvent> k = keyEvent_ ? keyEvent_(*e) : std::nullopt) pane_.keyDown(*k);
    }
    // Another pane, or the window closed, hidden or minimised: a recording
    // nobody sees ends, and with it the keyboard grab and the suspension of
    // every global shortcut.
    void hideEvent(QHideEvent* e) override {
        pane_.cancel();
        ModelView::hideEvent(e);
    }

private:
    void build(QVBoxLayout& into) override {
        const ShortcutsView v = pane_.view();
        into.addWidget(textLabel(v.hint, TypeRole::note));
        for (const ShortcutGroup& g : v.groups) {
            auto* card = new Card(g.title);
            for (const ShortcutRow& r : g.rows) {
                if (&r != &g.rows.front()) card->body()->addWidget(rowSeparator());
                auto* caps = new KeyCaps(r.caps, r.recording ? r.prompt : std::string());
                caps->setCheckable(true);
                caps->setChecked(r.recording);
                caps->setAccessibleName(q(r.label));
                const Action a = r.action;
                QObject::connect(caps, &QAbstractButton::clicked, caps, [this, a] { pane_.click(a); });
                card->body()->addWidget(settingsRow(r.label, "", caps));
            }
            into.addWidget(card);
        }
        if (!v.conflict.empty()) {
            QLabel* conflict = label(v.conflict);
            QPalette pal = conflict->palette();
            pal.setColor(QPalette::WindowText, Theme::current().destructive());
            conflict->setPalette(pal);
            into.addWidget(conflict);
        }
        auto* reset = new QHBoxLayout;
        reset->addWidget(button(v.resetButton, [this] { pane_.resetToDefaults(); }));
        reset->addStretch();
        into.addLayout(reset);
        into.addWidget(textLabel(v.slotNote, TypeRole::note));
    }
    ShortcutsPane& pane_;
    std::function<std::optional<KeyEvent>(const QKeyEvent&)> keyEvent_;
};

void emptyState(QVBoxLayout& into, const PaneEmptyState& e) {
    auto* card = new Card;
    QLabel* title = label(e.title, 1.1, true);
    title->setAlignment(Qt::AlignCenter);
    card->body()->setContentsMargins(look::cardPadH, look::cardPadV * 2, look::cardPadH, look::cardPadV * 2);
    card->body()->addWidget(title);
    if (!e.detail.empty()) {
        QLabel* detail = textLabel(e.detail, TypeRole::note);
        detail->setAlignment(Qt::AlignCenter);
        card->body()->addWidget(detail);
    }
    into.addWidget(card);
}

class WorkspacesPage final : public ModelView {
public:
    explicit WorkspacesPage(WorkspacesPane& p) : pane_(p) {
        link_ = p.changed.connect([this] { rebuildSoon(); });
        rebuild();
    }

private:
    void build(QVBoxLayout& into) override {
        const WorkspacesView v = pane_.view();
        into.addWidget(textLabel(v.intro, TypeRole::note));
        addRows(into, pane_);
        if (v.empty) emptyState(into, *v.empty);
        for (const WorkspaceCard& c : v.cards) {
            auto* card = new Card;
            card->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
            auto* h = new QHBoxLayout;
            card->body()->addLayout(h);
            auto* texts = new QVBoxLayout;
            texts->setSpacing(look::noteGap);
            texts->addWidget(label(c.name + (c.active ? "   " + c.activeMark : std::string()), 1, true));
            texts->addWidget(textLabel(c.apps, TypeRole::note));
            texts->addWidget(textLabel(c.shortcut, TypeRole::note));
            h->addLayout(texts, 1);
            const Uuid id = c.id;
            h->addWidget(button(c.restoreButton, [this, id] { pane_.restore(id); }), 0, Qt::AlignVCenter);
            auto* more = new QToolButton;
            more->setText(QString::fromUtf8("…"));
            more->setAutoRaise(true);
            more->setAccessibleName(q(c.deleteItem));
            more->setPopupMode(QToolButton::InstantPopup);
            auto* menu = new QMenu(more);
            menu->addAction(q(c.deleteItem), more, [this, id] { pane_.remove(id); });
            more->setMenu(menu);
            h->addWidget(more, 0, Qt::AlignVCenter);
            into.addWidget(card);
        }
        auto* save = new QHBoxLayout;
        auto* saveButton = new Button(v.saveButton, ButtonKind::primary);
        QObject::connect(saveButton, &QPushButton::clicked, saveButton, [this] { pane_.saveCurrentLayout(); });
        save->addWidget(saveButton);
        save->addStretch();
        into.addLayout(save);
    }
    WorkspacesPane& pane_;
};

class RulesPage final : public ModelView {
public:
    explicit RulesPage(RulesPane& p) : pane_(p) {
        link_ = p.changed.connect([this] { rebuildSoon(); });
        rebuild();
    }

private:
    void build(QVBoxLayout& into) override {
        const RulesView v = pane_.view();
        into.addWidget(textLabel(v.intro, TypeRole::note));
        Card* card = nullptr;
        if (v.empty) {
            emptyState(into, *v.empty);
        } else {
            card = new Card;
            card->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
            auto* head = new QHBoxLayout;
            head->addSpacing(look::grid * 7);
            for (const std::string& h : v.headings) head->addWidget(textLabel(h, TypeRole::section), 1);
            head->addSpacing(32);
            card->body()->addLayout(head);
            into.addWidget(card);
        }
        for (const RuleRow& r : v.rows) {
            if (!card) into.addWidget(card = new Card);
            card->body()->addWidget(rowSeparator());
            auto* row = new QWidget;
            row->setMinimumHeight(look::rowHeight);
            auto* h = new QHBoxLayout(row);
            h->setContentsMargins(0, look::grid, 0, look::grid);
            h->addWidget(new AppGlyph(nullptr, r.bundleID, r.app, 20));
            h->addSpacing(look::grid);
            h->addWidget(label(r.app), 1);
            const std::string id = r.bundleID;
            auto* behavior = new QComboBox;
            behavior->setToolTip(tip(r.behaviorHelp));
            behavior->setAccessibleName(q(r.behaviorHelp));
            for (const auto& [b, title] : v.behaviors) {
                behavior->addItem(q(title));
                if (b == r.behavior) behavior->setCurrentIndex(behavior->count() - 1);
            }
            const auto behaviors = v.behaviors;
            QObject::connect(behavior, QOverload<int>::of(&QComboBox::activated), behavior,
                             [this, id, behaviors](int i) { pane_.setBehavior(id, behaviors[static_cast<size_t>(i)].first); });
            h->addWidget(behavior, 1);
            if (r.widthMenu) {
                auto* width = new QComboBox;
                for (const WidthOption& o : r.widths) width->addItem(q(o.label));
                width->setCurrentIndex(static_cast<int>(r.widthChoice));
                const auto widths = r.widths;
                QObject::connect(width, QOverload<int>::of(&QComboBox::activated), width,
                                 [this, id, widths](int i) { pane_.setWidth(id, widths[static_cast<size_t>(i)].width); });
                h->addWidget(width, 1);
            } else {
                h->addWidget(label(r.width), 1);
            }
            auto* remove = new Button("✕", ButtonKind::plain);
            QObject::connect(remove, &QPushButton::clicked, remove, [this, id] { pane_.remove(id); });
            remove->setToolTip(tip(r.removeHelp));
            remove->setAccessibleName(q(r.removeHelp));
            remove->setFixedWidth(32);
            h->addWidget(remove);
            card->body()->addWidget(row);
        }
        auto* add = new QHBoxLayout;
        add->addWidget(button(v.addButton, [this] { pane_.addApps(); }));
        add->addStretch();
        into.addLayout(add);
        into.addWidget(textLabel(v.footnote, TypeRole::note));
    }
    RulesPane& pane_;
};

// The sidebar's panes: 32 tall, the chosen one washed in the accent with its
// name in the accent, drawn from the theme at paint time.
class SidebarItems final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        return {QStyledItemDelegate::sizeHint(o, i).width(), look::sidebarItem};
    }
    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        const Theme& t = Theme::current();
        const bool chosen = o.state & QStyle::State_Selected;
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(o.rect).adjusted(look::grid * 2, 1, -look::grid * 2, -1);
        if (chosen) {
            p->setPen(Qt::NoPen);
            p->setBrush(t.accentWash());
            p->drawRoundedRect(r, look::buttonRadius, look::buttonRadius);
        }
        if (o.state & QStyle::State_HasFocus) {
            p->setPen(QPen(t.focus(), 2));
            p->setBrush(Qt::NoBrush);
            p->drawRoundedRect(r, look::buttonRadius, look::buttonRadius);
        }
        QFont f = t.font(TypeRole::body);
        if (chosen) f.setWeight(QFont::DemiBold);
        p->setFont(f);
        p->setPen(chosen ? t.accent() : t.text());
        p->drawText(r.adjusted(look::grid * 2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, i.data().toString());
        p->restore();
    }
};

// A dialog's closing row: the secondary button (when it has a text), then the
// primary one, the default, at the right.
QHBoxLayout* dialogButtons(const std::string& secondary, std::function<void()> onSecondary, const std::string& primary,
                           std::function<void()> onPrimary, QPushButton** primaryOut = nullptr) {
    auto* row = new QHBoxLayout;
    row->setSpacing(look::grid * 2);
    row->addStretch();
    if (!secondary.empty()) {
        auto* b = new Button(secondary, ButtonKind::secondary);
        QObject::connect(b, &QPushButton::clicked, b, std::move(onSecondary));
        row->addWidget(b);
    }
    auto* p = new Button(primary, ButtonKind::primary);
    p->setDefault(true);
    QObject::connect(p, &QPushButton::clicked, p, std::move(onPrimary));
    row->addWidget(p);
    if (primaryOut) *primaryOut = p;
    return row;
}

QWidget* scrolled(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(page);
    return area;
}

}  // namespace

ModelView::ModelView() : outer_(new QVBoxLayout(this)) {
    outer_->setContentsMargins(look::windowPadding, look::windowPadding, look::windowPadding, look::windowPadding);
    outer_->setSpacing(look::cardGap);
}

void ModelView::rebuildSoon() {
    if (pending_) return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] { rebuild(); });
}

void ModelView::rebuild() {
    pending_ = false;
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(look::cardGap);
    build(*layout);
    layout->addStretch();
    if (page_) {
        delete outer_->replaceWidget(page_, page);  // the old page's layout item is ours to free
        page_->deleteLater();
    } else {
        outer_->addWidget(page, 1);
    }
    page_ = page;
}

SettingsWindow::SettingsWindow(SettingsPanes panes, SettingsPane& shown)
    : sidebar_(new QListWidget), stack_(new QStackedWidget), shown_(shown) {
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    sidebar_->setFixedWidth(look::sidebarWidth);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setItemDelegate(new SidebarItems(sidebar_));
    sidebar_->setAccessibleName(QStringLiteral("Settings"));
    // The sidebar sits on the window's ground, the panes on their own.
    sidebar_->setBackgroundRole(QPalette::Window);
    sidebar_->viewport()->setBackgroundRole(QPalette::Window);
    sidebar_->setContentsMargins(0, look::grid * 3, 0, 0);
    sidebar_->setStyleSheet(QString());
    h->addWidget(sidebar_);
    h->addWidget(stack_, 1);
    for (SettingsPane p : allSettingsPanes) {
        sidebar_->addItem(q(title(p)));
        QWidget* view = nullptr;
        switch (p) {
            case SettingsPane::general: view = new GeneralPage(panes.general); break;
            case SettingsPane::shortcuts: view = new ShortcutsPage(panes.shortcuts, panes.keyEvent); break;
            case SettingsPane::gestures: view = new GesturesPage(panes.gestures); break;
            case SettingsPane::workspaces: view = new WorkspacesPage(panes.workspaces); break;
            case SettingsPane::rules: view = new RulesPage(panes.rules); break;
            case SettingsPane::updates: view = new UpdatesPage(panes.updates); break;
        }
        stack_->addWidget(scrolled(view));
    }
    QObject::connect(sidebar_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0) return;
        shown_ = allSettingsPanes[static_cast<size_t>(row)];
        stack_->setCurrentIndex(row);
    });
    select(shown);
}

void SettingsWindow::select(SettingsPane pane) {
    for (size_t i = 0; i < allSettingsPanes.size(); ++i)
        if (allSettingsPanes[i] == pane) sidebar_->setCurrentRow(static_cast<int>(i));
}

bool recordingShortcut() { return dynamic_cast<ShortcutsPage*>(QWidget::keyboardGrabber()) != nullptr; }

PermissionWindow::PermissionWindow(PermissionView& view) : view_(view) {
    link_ = view.changed.connect([this] { rebuildSoon(); });
    rebuild();
}

void PermissionWindow::build(QVBoxLayout& into) {
    const PermissionTexts t = view_.texts();
    into.addWidget(new DialogHeader(t.title, ""));
    auto* card = new Card;
    card->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
    card->body()->addWidget(label(t.text));
    into.addWidget(card);
    into.addStretch();
    into.addLayout(dialogButtons(t.secondary ? *t.secondary : std::string(), [this] { view_.secondary(); }, t.primary,
                                 [this] { view_.primary(); }));
}

SaveLayoutWindow::SaveLayoutWindow(SaveLayoutDialog& dialog) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(look::windowPadding, look::windowPadding, look::windowPadding, look::windowPadding);
    v->setSpacing(look::cardGap);
    v->addWidget(new DialogHeader(save_dialog::title, save_dialog::note));
    auto* card = new Card;
    auto* name = new QLineEdit(q(dialog.name()));
    name->setMinimumWidth(220);
    name->setAccessibleName(q(save_dialog::nameLabel));
    card->body()->addWidget(settingsRow(save_dialog::nameLabel, "", name));
    card->body()->addWidget(rowSeparator());
    auto* slot = new QComboBox;
    for (const SlotOption& o : dialog.options()) slot->addItem(q(o.label));
    slot->setCurrentIndex(dialog.selected());
    slot->setMinimumWidth(220);
    card->body()->addWidget(settingsRow(save_dialog::shortcutLabel, "", slot));
    v->addWidget(card);
    // What is kept: the columns of the current strip, drawn as they stand.
    auto* kept = new Card;
    kept->body()->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
    auto* sketch = new StripSketch(dialog.preview());
    kept->body()->addWidget(sketch, 1);
    v->addWidget(kept, 1);
    kept->setVisible(!dialog.preview().empty());
    auto* gap = new QWidget;  // stands in for the sketch while there is no strip to show
    v->addWidget(gap, 1);
    gap->setVisible(dialog.preview().empty());
    link_ = dialog.stripChanged().connect([&dialog, kept, sketch, gap] {
        std::vector<SavedColumn> columns = dialog.preview();
        kept->setVisible(!columns.empty());
        gap->setVisible(columns.empty());
        sketch->setColumns(std::move(columns));
    });
    QPushButton* save = nullptr;
    v->addLayout(dialogButtons(save_dialog::cancel, [&dialog] { dialog.cancel(); }, save_dialog::save,
                               [&dialog] { dialog.save(); }, &save));
    save->setEnabled(dialog.canSave());
    QObject::connect(name, &QLineEdit::textChanged, this, [&dialog, save](const QString& t) {
        dialog.setName(t.toStdString());
        save->setEnabled(dialog.canSave());
    });
    QObject::connect(slot, QOverload<int>::of(&QComboBox::activated), this, [&dialog](int i) { dialog.select(i); });
}

AddAppsWindow::AddAppsWindow(AddAppsDialog& dialog) : dialog_(dialog) {
    outer_->addWidget(new DialogHeader(rules_pane::add, add_apps_dialog::intro));
    auto* search = new QLineEdit;
    search->setAccessibleName(QString::fromUtf8(add_apps_dialog::search));
    search->setPlaceholderText(QString::fromUtf8(add_apps_dialog::search));
    search->setClearButtonEnabled(true);
    outer_->addWidget(search);
    QObject::connect(search, &QLineEdit::textChanged, this,
                     [this](const QString& t) { dialog_.setSearch(t.toStdString()); });
    link_ = dialog.changed.connect([this] { rebuildSoon(); });
    rebuild();
}

void AddAppsWindow::build(QVBoxLayout& into) {
    if (dialog_.allCovered()) {
        into.addWidget(label(dialog_.allCoveredText()));
    } else {
        auto* list = new Card;
        QVBoxLayout* rows = list->body();
        rows->setContentsMargins(look::cardPadH, look::cardPadV, look::cardPadH, look::cardPadV);
        rows->setSpacing(look::grid * 2);
        for (const AppChoice& a : dialog_.visible()) {
            auto* box = new QCheckBox(mnemonicFree(a.name));
            box->setChecked(a.selected);
            box->setIcon(QIcon(AppGlyphs::shared().glyph(a.icon, a.bundleID, a.name, 24, devicePixelRatioF())));
            box->setIconSize(QSize(24, 24));
            const std::string id = a.bundleID;
            QObject::connect(box, &QCheckBox::toggled, box, [this, id](bool) { dialog_.toggle(id); });
            rows->addWidget(box);
        }
        rows->addStretch();
        into.addWidget(scrolled(list), 1);
    }
    QPushButton* add = nullptr;
    QHBoxLayout* footer = dialogButtons(add_apps_dialog::cancel, [this] { dialog_.cancel(); }, dialog_.addButton(),
                                        [this] { dialog_.add(); }, &add);
    footer->insertWidget(0, textLabel(dialog_.countText(), TypeRole::note));
    add->setEnabled(dialog_.canAdd());
    into.addLayout(footer);
}

}  // namespace tarvela

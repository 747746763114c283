#include "ui/settings_window.h"

#include <QCheckBox>
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
#include <QStackedWidget>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/widgets.h"

namespace tarvela {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
// Names of applications and workspaces are the user's or a client's text:
// never markup for a tool-tip, never a mnemonic for a button.
QString tip(const std::string& s) { return Qt::convertFromPlainText(q(s), Qt::WhiteSpacePre); }
QString mnemonicFree(const std::string& s) { return q(s).replace('&', "&&"); }

QFrame* separator() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// One row: its texts on the left, its control on the right.
QWidget* settingsRow(const SettingsRow& r, RowPane& pane) {
    auto* row = new QWidget;
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 4, 0, 4);
    auto* texts = new QVBoxLayout;
    texts->addWidget(label(r.label));
    if (!r.note.empty()) texts->addWidget(label(r.note, 0.9, false, true));
    if (!r.hint.empty()) texts->addWidget(label(r.hint, 0.8, false, true));
    h->addLayout(texts, 1);
    const std::string id = r.id;
    switch (r.kind) {
        case ControlKind::toggle: {
            auto* box = new QCheckBox;
            box->setChecked(r.value != 0);
            box->setAccessibleName(q(r.label));
            QObject::connect(box, &QCheckBox::toggled, box, [&pane, id](bool on) { pane.set(id, on ? 1 : 0); });
            h->addWidget(box, 0, Qt::AlignTop);
            break;
        }
        case ControlKind::choice: {
            auto* combo = new QComboBox;
            for (const std::string& o : r.options) combo->addItem(q(o));
            combo->setCurrentIndex(r.value);
            combo->setAccessibleName(q(r.label));
            QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), combo,
                             [&pane, id](int i) { pane.set(id, i); });
            h->addWidget(combo, 0, Qt::AlignTop);
            break;
        }
        case ControlKind::buttons: {
            auto* col = new QVBoxLayout;
            auto* buttons = new QHBoxLayout;
            for (size_t i = 0; i < r.options.size(); ++i)
                buttons->addWidget(button(r.options[i], [&pane, id, i] { pane.press(id, static_cast<int>(i)); }));
            col->addLayout(buttons);
            if (!r.detail.empty()) col->addWidget(label(r.detail, 0.85, false, true));
            h->addLayout(col);
            break;
        }
        case ControlKind::text:
            if (!r.detail.empty()) h->addWidget(label(r.detail, 1, false, true), 0, Qt::AlignTop);
            break;
    }
    return row;
}

void addRows(QVBoxLayout& into, RowPane& pane) {
    std::string section;
    bool first = true;
    for (const SettingsRow& r : pane.rows()) {
        if (r.section != section || first) {
            if (!first) into.addWidget(separator());
            if (!r.section.empty()) into.addWidget(label(r.section, 1.05, true));
            section = r.section;
            first = false;
        }
        into.addWidget(settingsRow(r, pane));
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
        into.addWidget(label(pane_.intro(), 1, false, true));
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
            into.addWidget(separator());
            into.addWidget(label(s->line, 1, false, true));
            if (s->detail) into.addWidget(label(*s->detail, 0.9, false, true));
            auto* buttons = new QHBoxLayout;
            buttons->addWidget(button(s->checkButton, [this] { pane_.checkNow(); }));
            if (s->installButton) buttons->addWidget(button(*s->installButton, [this] { pane_.install(); }));
            buttons->addStretch();
            into.addLayout(buttons);
            if (s->notesTitle) into.addWidget(label(*s->notesTitle, 1, true));
            for (const std::string& n : s->notes) into.addWidget(label("•  " + n));
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
        into.addWidget(label(v.hint, 1, false, true));
        for (const ShortcutGroup& g : v.groups) {
            into.addWidget(label(g.title, 1.05, true));
            for (const ShortcutRow& r : g.rows) {
                auto* h = new QHBoxLayout;
                h->addWidget(label(r.label), 1);
                std::string caps = r.recording ? r.prompt : std::string();
                for (const std::string& c : r.caps) caps += (caps.empty() ? "" : " ") + c;
                const Action a = r.action;
                auto* b = button(caps, [this, a] { pane_.click(a); });
                b->setCheckable(true);
                b->setChecked(r.recording);
                b->setAccessibleName(q(r.label));
                h->addWidget(b);
                into.addLayout(h);
            }
        }
        if (!v.conflict.empty()) into.addWidget(label(v.conflict));
        auto* reset = new QHBoxLayout;
        reset->addWidget(button(v.resetButton, [this] { pane_.resetToDefaults(); }));
        reset->addStretch();
        into.addLayout(reset);
        into.addWidget(label(v.slotNote, 0.9, false, true));
    }
    ShortcutsPane& pane_;
    std::function<std::optional<KeyEvent>(const QKeyEvent&)> keyEvent_;
};

void emptyState(QVBoxLayout& into, const PaneEmptyState& e) {
    into.addWidget(label(e.title, 1.1, true));
    if (!e.detail.empty()) into.addWidget(label(e.detail, 1, false, true));
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
        into.addWidget(label(v.intro, 1, false, true));
        if (v.empty) emptyState(into, *v.empty);
        for (const WorkspaceCard& c : v.cards) {
            auto* card = new QFrame;
            card->setFrameShape(QFrame::StyledPanel);
            auto* h = new QHBoxLayout(card);
            auto* texts = new QVBoxLayout;
            texts->addWidget(label(c.name + (c.active ? "   " + c.activeMark : std::string()), 1, true));
            texts->addWidget(label(c.apps, 0.9, false, true));
            texts->addWidget(label(c.shortcut, 0.9, false, true));
            h->addLayout(texts, 1);
            const Uuid id = c.id;
            h->addWidget(button(c.restoreButton, [this, id] { pane_.restore(id); }), 0, Qt::AlignTop);
            auto* more = new QToolButton;
            more->setText(QString::fromUtf8("…"));
            more->setPopupMode(QToolButton::InstantPopup);
            auto* menu = new QMenu(more);
            menu->addAction(q(c.deleteItem), more, [this, id] { pane_.remove(id); });
            more->setMenu(menu);
            h->addWidget(more, 0, Qt::AlignTop);
            into.addWidget(card);
        }
        auto* save = new QHBoxLayout;
        save->addWidget(button(v.saveButton, [this] { pane_.saveCurrentLayout(); }));
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
        into.addWidget(label(v.intro, 1, false, true));
        if (v.empty) {
            emptyState(into, *v.empty);
        } else {
            auto* head = new QHBoxLayout;
            for (const std::string& h : v.headings) head->addWidget(label(h, 0.9, true, true), 1);
            head->addSpacing(32);
            into.addLayout(head);
        }
        for (const RuleRow& r : v.rows) {
            auto* h = new QHBoxLayout;
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
            auto* remove = button("✕", [this, id] { pane_.remove(id); });
            remove->setToolTip(tip(r.removeHelp));
            remove->setAccessibleName(q(r.removeHelp));
            remove->setFixedWidth(32);
            h->addWidget(remove);
            into.addLayout(h);
        }
        auto* add = new QHBoxLayout;
        add->addWidget(button(v.addButton, [this] { pane_.addApps(); }));
        add->addStretch();
        into.addLayout(add);
        into.addWidget(label(v.footnote, 0.9, false, true));
    }
    RulesPane& pane_;
};

QWidget* scrolled(QWidget* page) {
    auto* area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(page);
    return area;
}

}  // namespace

ModelView::ModelView() : outer_(new QVBoxLayout(this)) { outer_->setContentsMargins(24, 20, 24, 20); }

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
    sidebar_->setFixedWidth(190);
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
    into.addWidget(label(t.title, 1.5, true));
    into.addWidget(label(t.text));
    into.addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    if (t.secondary) buttons->addWidget(button(*t.secondary, [this] { view_.secondary(); }));
    QPushButton* primary = button(t.primary, [this] { view_.primary(); });
    primary->setDefault(true);
    buttons->addWidget(primary);
    into.addLayout(buttons);
}

SaveLayoutWindow::SaveLayoutWindow(SaveLayoutDialog& dialog) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 20, 24, 20);
    v->addWidget(label(save_dialog::title, 1.3, true));
    v->addWidget(label(save_dialog::note, 1, false, true));
    v->addSpacing(12);
    v->addWidget(label(save_dialog::nameLabel, 1, true));
    auto* name = new QLineEdit(q(dialog.name()));
    v->addWidget(name);
    v->addWidget(label(save_dialog::shortcutLabel, 1, true));
    auto* slot = new QComboBox;
    for (const SlotOption& o : dialog.options()) slot->addItem(q(o.label));
    slot->setCurrentIndex(dialog.selected());
    v->addWidget(slot);
    v->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button(save_dialog::cancel, [&dialog] { dialog.cancel(); }));
    QPushButton* save = button(save_dialog::save, [&dialog] { dialog.save(); });
    save->setDefault(true);
    save->setEnabled(dialog.canSave());
    buttons->addWidget(save);
    v->addLayout(buttons);
    QObject::connect(name, &QLineEdit::textChanged, this, [&dialog, save](const QString& t) {
        dialog.setName(t.toStdString());
        save->setEnabled(dialog.canSave());
    });
    QObject::connect(slot, QOverload<int>::of(&QComboBox::activated), this, [&dialog](int i) { dialog.select(i); });
}

AddAppsWindow::AddAppsWindow(AddAppsDialog& dialog) : dialog_(dialog) {
    outer_->addWidget(label(add_apps_dialog::intro, 1, false, true));
    auto* search = new QLineEdit;
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
        auto* list = new QWidget;
        auto* rows = new QVBoxLayout(list);
        for (const AppChoice& a : dialog_.visible()) {
            auto* box = new QCheckBox(mnemonicFree(a.name));
            box->setChecked(a.selected);
            const std::string id = a.bundleID;
            QObject::connect(box, &QCheckBox::toggled, box, [this, id](bool) { dialog_.toggle(id); });
            rows->addWidget(box);
        }
        rows->addStretch();
        into.addWidget(scrolled(list), 1);
    }
    auto* footer = new QHBoxLayout;
    footer->addWidget(label(dialog_.countText(), 1, false, true));
    footer->addStretch();
    footer->addWidget(button(add_apps_dialog::cancel, [this] { dialog_.cancel(); }));
    QPushButton* add = button(dialog_.addButton(), [this] { dialog_.add(); });
    add->setDefault(true);
    add->setEnabled(dialog_.canAdd());
    footer->addWidget(add);
    into.addLayout(footer);
}

}  // namespace tarvela

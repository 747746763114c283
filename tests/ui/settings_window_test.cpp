// The settings window and a dialog over their real models, clicked off screen,
// beside the menu's Ctrl stand-ins.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QCoreApplication>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>

#include "tests/feedback/settings_fixture.h"
#include "tests/ui/pane_set.h"
#include "ui/components.h"
#include "ui/onboarding_window.h"
#include "ui/settings_window.h"
#include "ui/shell_windows.h"

namespace tarvela::testing {
namespace {

template <class W>
W* findNamed(QWidget& in, const QString& name) {
    for (W* w : in.findChildren<W*>())
        if (w->accessibleName() == name || w->text() == name) return w;
    return nullptr;
}

TEST_F(SettingsTest, ClicksWriteAtOnceAndTheWindowFollowsChangesMadeElsewhere) {
    desktopOfThree();
    std::vector<SettingsPane> selected;
    GeneralPane general(GeneralPaneDeps{*prefs, *wm, *transfer, mail, tmp.path(), {}, [] { return true; },
                                        [&](SettingsPane p) { selected.push_back(p); }, {}, {}, {}});
    ShortcutsPane shortcuts(*hotkeys, [] {});
    GesturesPane gestures(*prefs);
    int saveDialogs = 0;
    WorkspacesPane workspacesPane(*workspaces, *wm, [&] { ++saveDialogs; });
    RulesPane rulesPane(*rules, [] {});
    UpdatesPane updates(*prefs, nullptr);
    SettingsPane shown = SettingsPane::gestures;
    SettingsWindow window(SettingsPanes{general, shortcuts, gestures, workspacesPane, rulesPane, updates, {}}, shown);
    window.show();
    // The logic's posted work, the views' rebuilds, and the old pages gone.
    auto redrawn = [&] {
        settle();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    EXPECT_EQ(window.selected(), SettingsPane::gestures);

    QAbstractButton* pinch = findNamed<Toggle>(window, "Four-finger pinch");
    ASSERT_NE(pinch, nullptr);
    ASSERT_FALSE(prefs->pinch4());
    QTest::mouseClick(pinch, Qt::LeftButton);
    EXPECT_TRUE(prefs->pinch4());
    // Changed elsewhere (the tray popover, an import): the pane is redrawn to match.
    prefs->pinch4.set(false);
    redrawn();
    pinch = findNamed<Toggle>(window, "Four-finger pinch");
    ASSERT_NE(pinch, nullptr);
    EXPECT_FALSE(pinch->isChecked());

    QPushButton* customize = findNamed<QPushButton>(window, "Customize");
    ASSERT_NE(customize, nullptr);
    QTest::mouseClick(customize, Qt::LeftButton);
    EXPECT_EQ(selected, std::vector<SettingsPane>{SettingsPane::shortcuts});
    // A desktop's name is taken when its editing ends; the count redraws the fields.
    QLineEdit* second = findNamed<QLineEdit>(window, "Desktop 2");
    ASSERT_NE(second, nullptr);
    QTest::keyClicks(second, "Mail");
    EXPECT_EQ(wm->desktopNames()[1], "2");
    QTest::keyClick(second, Qt::Key_Return);
    EXPECT_EQ(wm->desktopNames()[1], "Mail");
    QSpinBox* count = findNamed<QSpinBox>(window, "Number of desktops");
    ASSERT_NE(count, nullptr);
    // Typed, the count is taken once entered, not at its first digit.
    count->selectAll();
    QTest::keyClicks(count, "10");
    EXPECT_EQ(wm->desktopCount(), 4);
    QTest::keyClick(count, Qt::Key_Return);
    redrawn();
    EXPECT_EQ(wm->desktopCount(), 10);
    count = findNamed<QSpinBox>(window, "Number of desktops");
    ASSERT_NE(count, nullptr);
    count->setValue(6);
    redrawn();
    EXPECT_EQ(wm->desktopCount(), 6);
    EXPECT_NE(findNamed<QLineEdit>(window, "Desktop 6"), nullptr);
    window.select(SettingsPane::workspaces);
    QPushButton* save = findNamed<QPushButton>(window, "Save current layout");
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(saveDialogs, 1);
    Toggle* atStart = findNamed<Toggle>(window, "Restore the last session at start");
    ASSERT_NE(atStart, nullptr);
    QTest::mouseClick(atStart, Qt::LeftButton);
    EXPECT_TRUE(prefs->restoreLastSession());

    // The save dialog saves the current display under the name typed.
    SaveLayoutDialog dialog(*wm, *workspaces, *hotkeys, closer());
    SaveLayoutWindow saveWindow(dialog);
    QPushButton* saveLayout = findNamed<QPushButton>(saveWindow, "Save layout");
    ASSERT_NE(saveLayout, nullptr);
    QTest::mouseClick(saveLayout, Qt::LeftButton);
    ASSERT_EQ(workspaces->items().size(), 1u);
    EXPECT_EQ(workspaces->items()[0].name, "Deep work");
    EXPECT_EQ(closes, 1);
    redrawn();
    // Its card appeared in the pane (the layout just saved is the active one).
    EXPECT_TRUE(findNamed<QPushButton>(window, "Restore") || findNamed<QPushButton>(window, "Restored"));

    // A name that looks like markup is shown as typed.
    wm->saveWorkspace("<b>x</b> & co", std::nullopt);
    redrawn();
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
    auto name = std::find_if(labels.begin(), labels.end(), [](QLabel* l) { return l->text().startsWith("<b>x</b> & co"); });
    ASSERT_NE(name, labels.end());
    EXPECT_EQ((*name)->textFormat(), Qt::PlainText);
}

// Printable keys only, their Qt code standing in for the key code.
std::optional<KeyEvent> keyOf(const QKeyEvent& e) {
    if (e.key() > 0x7e) return std::nullopt;
    const uint64_t flags = e.modifiers() & Qt::ControlModifier ? eventflags::control : 0;
    return KeyEvent{static_cast<uint32_t>(e.key()), flags, QString(QChar(e.key())).toLower().toStdString()};
}

TEST_F(SettingsTest, ARecorderOwnsEveryKeyUntilItsPaneGoesAndTheNextWindowOpensWhereItWas) {
    PaneSet set(*prefs, *wm, *transfer, mail, tmp.path(), *hotkeys, *workspaces, *rules);
    const SettingsPanes panes = set.all(keyOf);
    SettingsPane shown = SettingsPane::shortcuts;
    auto window = std::make_unique<SettingsWindow>(panes, shown);
    window->show();
    int acted = 0;
    MenuKeys menu([&] { ++acted; }, [&] { ++acted; }, [&] { ++acted; });
    auto record = [&](Action a) {
        QTest::mouseClick(findNamed<KeyCaps>(*window, QString::fromStdString(label(a))), Qt::LeftButton);
        QCoreApplication::processEvents();  // the pane redrawn, its old rows gone
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    const std::string standIns = "QWHM,";  // each is recorded, none acts
    const Action actions[] = {Action::focusNext, Action::focusPrev, Action::sendDisplay, Action::wider,
                              Action::overview};
    for (size_t i = 0; i < standIns.size(); ++i) {
        record(actions[i]);
        QWidget* focus = window->focusWidget();
        QTest::keyClick(window->windowHandle(), Qt::Key_Tab);  // refused, and the focus stays
        EXPECT_EQ(window->focusWidget(), focus);
        QTest::keyClick(window->windowHandle(), Qt::Key(standIns[i]), Qt::ControlModifier);
        const std::vector<std::string> caps{"⌃", standIns.substr(i, 1)};
        EXPECT_EQ(hotkeys->effective(actions[i]).caps(), caps);
    }
    EXPECT_TRUE(window->isVisible() && !window->isMinimized() && acted == 0);

    // Another pane, or the window hidden (closed, minimised), ends a recording,
    // its keyboard grab and the suspension of the global shortcuts.
    const size_t all = keys.registered().size();
    for (bool hide : {false, true}) {
        window->select(SettingsPane::shortcuts);
        record(Action::overview);
        EXPECT_TRUE(keys.registered().empty() && recordingShortcut());
        hide ? window->hide() : window->select(SettingsPane::rules);
        EXPECT_EQ(QWidget::keyboardGrabber(), nullptr);
        EXPECT_EQ(keys.registered().size(), all);
    }
    window->select(SettingsPane::rules);
    window.reset();
    window = std::make_unique<SettingsWindow>(panes, shown);
    EXPECT_EQ(window->selected(), SettingsPane::rules);
    window->show();
    QTest::keyClick(window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(acted, 1);  // no recording: the stand-in acts
}

TEST_F(SettingsTest, OnboardingsChosenLayoutStaysMarkedWhenClickedAgain) {
    desktopOfThree();
    Onboarding onboarding({*wm, *prefs, *hotkeys, [] {}, [] {}});
    onboarding.forward();
    onboarding.forward();
    ASSERT_TRUE(onboarding.view().layout);
    OnboardingWindow window(onboarding);
    window.show();
    QPointer<QPushButton> chosen;
    for (QPushButton* b : window.findChildren<QPushButton*>())
        if (!chosen && b->isChecked()) chosen = b;
    ASSERT_TRUE(chosen);
    const QString name = chosen->text();
    QTest::mouseClick(chosen, Qt::LeftButton);  // the layout it already has: nothing changes
    settle();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(findNamed<QPushButton>(window, name)->isChecked());
}

}  // namespace
}  // namespace tarvela::testing

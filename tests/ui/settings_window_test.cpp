// The settings window and a dialog over their real models, clicked off screen.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QtTest/QTest>

#include "tests/feedback/settings_fixture.h"
#include "ui/settings_window.h"

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
    SettingsWindow window(SettingsPanes{general, shortcuts, gestures, workspacesPane, rulesPane, updates, {}},
                          SettingsPane::gestures);
    window.show();
    // The logic's posted work, the views' rebuilds, and the old pages gone.
    auto redrawn = [&] {
        settle();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    EXPECT_EQ(window.selected(), SettingsPane::gestures);

    QCheckBox* pinch = findNamed<QCheckBox>(window, "Four-finger pinch");
    ASSERT_NE(pinch, nullptr);
    ASSERT_FALSE(prefs->pinch4());
    QTest::mouseClick(pinch, Qt::LeftButton);
    EXPECT_TRUE(prefs->pinch4());
    // Changed elsewhere (the tray popover, an import): the pane is redrawn to match.
    prefs->pinch4.set(false);
    redrawn();
    pinch = findNamed<QCheckBox>(window, "Four-finger pinch");
    ASSERT_NE(pinch, nullptr);
    EXPECT_FALSE(pinch->isChecked());

    QPushButton* customize = findNamed<QPushButton>(window, "Customize");
    ASSERT_NE(customize, nullptr);
    QTest::mouseClick(customize, Qt::LeftButton);
    EXPECT_EQ(selected, std::vector<SettingsPane>{SettingsPane::shortcuts});
    window.select(SettingsPane::workspaces);
    QPushButton* save = findNamed<QPushButton>(window, "Save current layout");
    ASSERT_NE(save, nullptr);
    QTest::mouseClick(save, Qt::LeftButton);
    EXPECT_EQ(saveDialogs, 1);

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
}

}  // namespace
}  // namespace tarvela::testing

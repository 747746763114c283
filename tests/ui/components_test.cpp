// The shared components' behaviour off screen, and every window drawn from
// the theme in both its shades.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "feedback/onboarding.h"
#include "feedback/popover_model.h"
#include "feedback/status_item.h"
#include "tests/feedback/settings_fixture.h"
#include "tests/ui/pane_set.h"
#include "ui/app_glyph.h"
#include "ui/components.h"
#include "ui/onboarding_window.h"
#include "ui/popover_widget.h"
#include "ui/settings_window.h"
#include "ui/theme.h"
#include "ui/update_window.h"

namespace tarvela::testing {
namespace {

template <class W>
W* named(QWidget& in, const QString& name) {
    for (W* w : in.findChildren<W*>())
        if (w->accessibleName() == name) return w;
    return nullptr;
}

class ComponentsTest : public SettingsTest {
protected:
    void TearDown() override {
        Theme::setDark(false);
        SettingsTest::TearDown();
    }
    static void redrawn() {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(ComponentsTest, ASwitchFlipsItsPreferenceByClickRowAndKeyAndSaysSoToAssistiveTechnology) {
    PaneSet panes(*prefs, *wm, *transfer, mail, tmp.path(), *hotkeys, *workspaces, *rules);
    SettingsPane shown = SettingsPane::gestures;
    SettingsWindow window(panes.all(), shown);
    window.show();
    auto pinch = [&] { return named<Toggle>(window, "Four-finger pinch"); };
    ASSERT_NE(pinch(), nullptr);
    ASSERT_FALSE(prefs->pinch4());

    QTest::mouseClick(pinch(), Qt::LeftButton);
    EXPECT_TRUE(prefs->pinch4());
    redrawn();
    // The row's text is the switch's hit area too.
    QWidget* row = pinch()->parentWidget();
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(8, row->height() / 2));
    EXPECT_FALSE(prefs->pinch4());
    redrawn();
    pinch()->setFocus();
    QTest::keyClick(pinch(), Qt::Key_Space);
    EXPECT_TRUE(prefs->pinch4());
    redrawn();
    QTest::keyClick(pinch(), Qt::Key_Return);
    EXPECT_FALSE(prefs->pinch4());
    redrawn();

    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(pinch());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::CheckBox);
    EXPECT_EQ(a->text(QAccessible::Name), "Four-finger pinch");
    EXPECT_TRUE(a->state().checkable);
    EXPECT_FALSE(a->state().checked);
    a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(prefs->pinch4());
}

TEST_F(ComponentsTest, APickerSelectsByClickAndArrowsAndNamesItsSegments) {
    std::vector<int> picked;
    SegmentedPicker picker({"Smart", "Always", "Never"}, 0, [&](int i) { picked.push_back(i); });
    picker.show();
    QTest::mouseClick(picker.segment(2), Qt::LeftButton);
    picker.segment(2)->setFocus();
    QTest::keyClick(picker.segment(2), Qt::Key_Left);
    QTest::keyClick(picker.segment(1), Qt::Key_Left);
    QTest::keyClick(picker.segment(0), Qt::Key_Left);  // already the first: nothing
    EXPECT_EQ(picked, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(picker.selected(), 0);
    EXPECT_EQ(picker.focusWidget(), picker.segment(0));

    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(picker.segment(1));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::RadioButton);
    EXPECT_EQ(a->text(QAccessible::Name), "Always");
    EXPECT_FALSE(a->state().checked);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(picker.segment(0))->state().checked);
}

TEST_F(ComponentsTest, TheGeneralPanesFewChoicesAreAPickerThatWritesItsPreference) {
    PaneSet panes(*prefs, *wm, *transfer, mail, tmp.path(), *hotkeys, *workspaces, *rules);
    SettingsPane shown = SettingsPane::general;
    SettingsWindow window(panes.all(), shown);
    window.show();
    SegmentedPicker* focus = named<SegmentedPicker>(window, "Apps may take the focus");
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->selected(), prefs->focusPolicy());
    QTest::mouseClick(focus->segment(2), Qt::LeftButton);
    EXPECT_EQ(prefs->focusPolicy(), 2);
    prefs->focusPolicy.set(1);  // elsewhere: the pane is redrawn to match
    settle();
    redrawn();
    EXPECT_EQ(named<SegmentedPicker>(window, "Apps may take the focus")->selected(), 1);
}

TEST_F(ComponentsTest, ASwitchSlidesToItsNewPlaceAndAnAppearanceOfSystemFollowsTheDesktop) {
    Toggle t(false);
    t.show();
    t.click();
    EXPECT_TRUE(t.isChecked());
    EXPECT_LT(t.knob(), 1);  // on its way, not there at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return t.knob() == 1; }, 2000));

    QPalette darkDesk;
    darkDesk.setColor(QPalette::Window, QColor(30, 30, 30));
    darkDesk.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QPalette lightDesk;
    lightDesk.setColor(QPalette::Window, QColor(240, 240, 240));
    lightDesk.setColor(QPalette::WindowText, QColor(20, 20, 20));
    const struct { Appearance a; const QPalette& desk; bool dark; } cases[] = {
        {Appearance::system, darkDesk, true},  {Appearance::system, lightDesk, false},
        {Appearance::light, darkDesk, false},  {Appearance::dark, lightDesk, true},
    };
    for (const auto& c : cases) {
        Theme::apply(c.a, c.desk);
        EXPECT_EQ(Theme::current().dark(), c.dark);
        EXPECT_EQ(QApplication::palette().color(QPalette::Window), Theme::current().window());
    }
}

TEST_F(ComponentsTest, TheSaveDialogDrawsTheStripItWouldKeepAndFollowsIt) {
    display("Built-in Display");
    window(app("Editor"), 100);
    window(app("Browser"), 800);
    SaveLayoutDialog dialog(*wm, *workspaces, *hotkeys, [] {});
    SaveLayoutWindow w(dialog);
    w.show();
    StripSketch* sketch = w.findChild<StripSketch*>();
    ASSERT_NE(sketch, nullptr);
    EXPECT_FALSE(sketch->isVisible());  // nothing tiled yet
    startAndSettle();
    redrawn();
    EXPECT_TRUE(sketch->isVisible());
    EXPECT_EQ(sketch->accessibleName().toStdString(), "Editor, Browser");
    window(app("Terminal"), 1500);
    settle();
    redrawn();
    EXPECT_EQ(sketch->accessibleName().toStdString(), "Editor, Terminal, Browser");  // beside the focused column
}

TEST_F(ComponentsTest, AGlyphIsTheWindowsOwnIconElseALetterAndIsDrawnOncePerApplication) {
    auto red = std::make_shared<Image>();
    red->width = red->height = 2;
    red->argb.assign(4, 0xFFFF0000u);
    AppGlyphs glyphs;
    const QImage own = glyphs.glyph(red, "org.Notes", "Notes", 16).toImage();
    EXPECT_EQ(own.size(), QSize(16, 16));
    EXPECT_EQ(own.pixelColor(8, 8), QColor(Qt::red));
    // Without an icon anywhere: the letter on a square of the application's own colour.
    const QImage letter = glyphs.glyph(nullptr, "org.nowhere.Zq", "Zq", 16).toImage();
    EXPECT_NE(letter.pixelColor(1, 8).alpha(), 0);
    EXPECT_NE(letter.pixelColor(1, 8), QColor(Qt::red));
    EXPECT_EQ(glyphs.size(), 2u);
    glyphs.glyph(red, "org.Notes", "Notes", 16);
    EXPECT_EQ(glyphs.size(), 2u);

    // No icon of its own: the one its desktop entry names.
    std::filesystem::create_directories(tmp.path() / "applications");
    QImage blue(8, 8, QImage::Format_ARGB32);
    blue.fill(Qt::blue);
    ASSERT_TRUE(blue.save(QString::fromStdString((tmp.path() / "paint.png").string())));
    std::ofstream(tmp.path() / "applications/org.Paint.desktop")
        << "[Desktop Entry]\nType=Application\nName=Paint\nIcon=" << (tmp.path() / "paint.png").string() << "\n";
    const std::string before = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    setenv("XDG_DATA_DIRS", tmp.path().c_str(), 1);
    const QImage entry = glyphs.glyph(nullptr, "org.Paint", "Paint", 16).toImage();
    setenv("XDG_DATA_DIRS", before.c_str(), 1);
    EXPECT_EQ(entry.pixelColor(8, 8), QColor(Qt::blue));
}

// Every window's grounds, cards and texts come from the theme in force.
TEST_F(ComponentsTest, EveryWindowTakesItsColoursFromTheThemeInLightAndDark) {
    desktopOfThree();
    PaneSet panes(*prefs, *wm, *transfer, mail, tmp.path(), *hotkeys, *workspaces, *rules);
    PermissionView permission(*wm, [] {}, [] {});
    SaveLayoutDialog save(*wm, *workspaces, *hotkeys, [] {});
    AddAppsDialog add(sim, *rules, [] {});
    Onboarding onboarding({*wm, *prefs, *hotkeys, [] {}, [] {}});
    Signal<> updateChanged;
    StatusController item(*wm, *prefs, time.loop());
    item.install();
    PopoverActions actions(*wm, *prefs, PopoverHooks{});

    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        Theme::setDark(dark);
        const Theme& t = Theme::current();
        std::vector<SettingsPane> shown(allSettingsPanes.begin(), allSettingsPanes.end());  // each window's own
        std::vector<std::pair<std::string, std::unique_ptr<QWidget>>> windows;
        // The popover first: a popup closes as the next window shows.
        auto* popover = new PopoverWidget(item, actions);
        windows.emplace_back("popover", popover);
        Connection link = item.changed.connect([&] { popover->sync([] { return QRect(); }, QPoint(400, 300)); });
        item.toggle();
        for (SettingsPane& p : shown) windows.emplace_back(title(p), std::make_unique<SettingsWindow>(panes.all(), p));
        windows.emplace_back("permission", std::make_unique<PermissionWindow>(permission));
        windows.emplace_back("save", std::make_unique<SaveLayoutWindow>(save));
        windows.emplace_back("add apps", std::make_unique<AddAppsWindow>(add));
        windows.emplace_back("onboarding", std::make_unique<OnboardingWindow>(onboarding));
        windows.emplace_back("update", std::make_unique<UpdateWindow>(UpdateWindowDeps{
                                           [] { return UpdateView{"Tarvela 9.9", "Now 1.0", "Install", true, {}, {"Fixes."}}; },
                                           updateChanged, [](UpdateView::Action) {}, [] {}}));

        for (auto& [name, w] : windows) {
            SCOPED_TRACE(name);
            w->resize(std::max(w->sizeHint().width(), 480), std::max(w->sizeHint().height(), 400));
            w->show();
            redrawn();
            const QImage img = w->grab().toImage();
            // TARVELA_TEST_SHOTS=folder keeps each window's picture for a look.
            if (const char* shots = std::getenv("TARVELA_TEST_SHOTS"))
                img.save(QString("%1/%2-%3.png").arg(shots, QString::fromStdString(name), dark ? "dark" : "light"));
            EXPECT_EQ(img.pixelColor(1, img.height() - 2).name(), t.window().name());
            const QList<Card*> cards = w->findChildren<Card*>();
            EXPECT_FALSE(cards.empty());
            for (Card* c : cards) {
                if (!c->isVisible()) continue;
                const QWidget* panel = c->body()->parentWidget();
                const QPoint inside = panel->mapTo(w.get(), QPoint(4, panel->height() / 2));
                if (img.rect().contains(inside)) {
                    EXPECT_EQ(img.pixelColor(inside).name(), t.card().name());
                }
            }
            for (QLabel* l : w->findChildren<QLabel*>()) {
                // Readable at 96 dpi: nothing under the section headers' 11 px.
                EXPECT_GE(QFontInfo(l->font()).pixelSize(), 11) << l->text().toStdString();
                const QColor ink = l->palette().color(l->foregroundRole());
                EXPECT_TRUE(ink == t.text() || ink == t.secondary() || ink == t.accent() || ink == t.destructive())
                    << l->text().toStdString() << " in " << ink.name().toStdString();
            }
        }
        if (item.popoverShown()) item.toggle();
    }
}

}  // namespace
}  // namespace tarvela::testing

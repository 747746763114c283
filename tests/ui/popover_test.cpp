// The tray item's popover and pill image over a running manager.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cmath>

#include "feedback/popover_model.h"
#include "feedback/status_item.h"
#include "tests/ui/ui_fixture.h"
#include "ui/components.h"
#include "ui/popover_widget.h"
#include "ui/tray.h"

namespace tarvela::testing {
namespace {

class PopoverTest : public UiTest {
protected:
    std::unique_ptr<StatusController> item;
    std::unique_ptr<PopoverActions> actions;

    void SetUp() override {
        UiTest::SetUp();
        startThree();
        item = std::make_unique<StatusController>(*wm, *prefs, time.loop());
        item->install();
        actions = std::make_unique<PopoverActions>(*wm, *prefs, PopoverHooks{});
    }
    void TearDown() override {
        actions.reset();
        item.reset();
        UiTest::TearDown();
    }
    // The popover's buttons now, without those of the cards it has replaced.
    static std::vector<QPushButton*> buttons(PopoverWidget& w, const QString& prefix) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::vector<QPushButton*> out;
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->accessibleName().startsWith(prefix)) out.push_back(b);
        return out;
    }
};

TEST_F(PopoverTest, OpensOnTheItemDrivesTheStripStaysCurrentAndReportsItsClosing) {
    PopoverWidget pop(*item, *actions);
    Connection link = item->changed.connect([&] { pop.sync([] { return QRect(); }, QPoint(400, 300)); });
    item->toggle();
    ASSERT_TRUE(pop.isVisible());

    const std::vector<QPushButton*> twoThirds = buttons(pop, "⅔");
    ASSERT_EQ(twoThirds.size(), 1u);
    QTest::mouseClick(twoThirds[0], Qt::LeftButton);
    settleAll();
    const Strip& s = *strip(0);
    EXPECT_NEAR(s.cols[static_cast<size_t>(s.focusC)].frac, 2.0 / 3, 1e-9);

    std::vector<QPushButton*> tiles = buttons(pop, "Go to column ");
    ASSERT_EQ(tiles.size(), 3u);
    const int target = s.focusC == 0 ? 2 : 0;
    QTest::mouseClick(tiles[static_cast<size_t>(target)], Qt::LeftButton);
    settleAll();
    EXPECT_EQ(strip(0)->focusC, target);

    window(pid, 300);
    settleAll();
    tiles = buttons(pop, "Go to column ");
    EXPECT_EQ(tiles.size(), 4u);

    // A click beside a popup closes it; the controller must hear of it, or the
    // next click on the item would close what is already closed.
    QTest::mouseClick(&pop, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_FALSE(pop.isVisible());
    EXPECT_FALSE(item->popoverShown());
    item->toggle();
    EXPECT_TRUE(pop.isVisible());
    item->toggle();
    EXPECT_FALSE(pop.isVisible());
}

TEST_F(PopoverTest, ShowsTheTrueStateAfterEveryChangeWhoeverMadeIt) {
    window(app("Äänitys ja muistiinpanot"), 300);
    settleAll();
    PopoverWidget pop(*item, *actions);
    Connection link = item->changed.connect([&] { pop.sync([] { return QRect(); }, QPoint(400, 300)); });
    item->toggle();
    auto first = [&](const QString& name) { return buttons(pop, name).at(0); };

    // Its own clicks: the button shows the outcome, and the next click undoes it.
    const bool dimmed = first("Dim")->isChecked();
    QTest::mouseClick(first("Dim"), Qt::LeftButton);
    settleAll();
    EXPECT_NE(first("Dim")->isChecked(), dimmed);
    QTest::mouseClick(first("Dim"), Qt::LeftButton);
    settleAll();
    EXPECT_EQ(first("Dim")->isChecked(), dimmed);
    EXPECT_EQ(prefs->dimLevel() > 0, dimmed);
    // The settings window's, or a script's.
    prefs->blur.set(true);
    settleAll();
    EXPECT_TRUE(first("Blur")->isChecked());

    // Client text is text, cut on a character boundary.
    wm->note.set("<b>x</b> is tiled again");
    settleAll();
    const QList<QLabel*> labels = pop.findChildren<QLabel*>();
    auto note = std::find_if(labels.begin(), labels.end(), [](QLabel* l) { return l->text().startsWith("<b>"); });
    ASSERT_NE(note, labels.end());
    EXPECT_EQ((*note)->textFormat(), Qt::PlainText);
    const std::vector<QPushButton*> tiles = buttons(pop, "Go to column ");
    EXPECT_TRUE(std::any_of(tiles.begin(), tiles.end(), [](QPushButton* b) { return b->text() == "Äänitys ja…"; }));

    // Off, a layout picked is marked.
    actions->setOn(false);
    settleAll();
    QTest::mouseClick(first("Two"), Qt::LeftButton);
    settleAll();
    EXPECT_TRUE(first("Two")->isChecked());
}

TEST_F(PopoverTest, ItsSwitchesActByClickAndItsTilesShowTheirWindowsByName) {
    PopoverWidget pop(*item, *actions);
    Connection link = item->changed.connect([&] { pop.sync([] { return QRect(); }, QPoint(400, 300)); });
    item->toggle();
    auto toggle = [&](const char* name) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (Toggle* t : pop.findChildren<Toggle*>())
            if (t->accessibleName() == name) return t;
        return static_cast<Toggle*>(nullptr);
    };
    ASSERT_NE(toggle(popover::blurSwitch), nullptr);
    const bool blur = prefs->blur();
    QTest::mouseClick(toggle(popover::blurSwitch), Qt::LeftButton);
    EXPECT_NE(prefs->blur(), blur);
    settleAll();
    EXPECT_EQ(toggle(popover::blurSwitch)->isChecked(), prefs->blur());

    const std::vector<QPushButton*> tiles = buttons(pop, "Go to column ");
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[0]->toolTip(), "Notes");  // the glyphs are drawn; their names are said

    ASSERT_TRUE(wm->on());
    QTest::mouseClick(toggle(popover::switchHelp), Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(wm->on());
    EXPECT_FALSE(toggle(popover::switchHelp)->isChecked());
}

TEST_F(PopoverTest, OpenedWithoutAClickItWaitsForTheTrayIconsPlace) {
    PopoverWidget pop(*item, *actions);
    const QRect icon(700, 570, 22, 22);
    int asked = 0;
    Connection link = item->changed.connect([&] { pop.sync([&] { return ++asked > 3 ? icon : QRect(); }, std::nullopt); });
    item->toggle();
    EXPECT_FALSE(pop.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pop.isVisible(); }, 5000));
    EXPECT_GE(pop.geometry().right(), icon.left());
}

TEST_F(PopoverTest, PillIsBlueOnlyWhileRunningAndDrawnAtTheDevicePixelRatio) {
    // Inside the pill's right end, past the text.
    auto blueAtRightEnd = [](const PillImage& p, const QImage& img) {
        const double dpr = img.devicePixelRatio();
        const QColor c = img.pixelColor(static_cast<int>((p.size.width - 4) * dpr), static_cast<int>(p.pill.midY() * dpr));
        return c == QColor(0, 122, 255);
    };
    const PillImage on = item->image(true, std::nullopt, metrics);
    const QImage sharp = renderPill(on, 2);
    EXPECT_EQ(sharp.size(), QSize(static_cast<int>(std::ceil(on.size.width * 2)), 44));
    EXPECT_EQ(sharp.devicePixelRatio(), 2);
    EXPECT_TRUE(blueAtRightEnd(on, sharp));
    EXPECT_TRUE(blueAtRightEnd(on, renderPill(on, 1)));

    actions->togglePause();
    settle();
    const PillImage paused = item->image(true, std::nullopt, metrics);
    EXPECT_EQ(paused.text, "II");
    EXPECT_FALSE(blueAtRightEnd(paused, renderPill(paused, 2)));
}

}  // namespace
}  // namespace tarvela::testing

// The overview's window: it follows the overview, Escape closes it without
// reaching anything else, and a click on a column jumps there.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QKeyEvent>
#include <QTest>

#include "feedback/overview.h"
#include "ui/overview_widget.h"
#include "ui_fixture.h"

namespace tarvela::testing {
namespace {

TEST_F(UiTest, OverviewWindowClosesOnEscapeAndJumpsToAClickedColumn) {
    startThree();
    Overview overview(OverviewDeps{*wm, sim, time.loop(), metrics, [](std::function<void()> fn) { fn(); }});
    OverviewWidget widget(overview, [this] { return sim.screens(); }, [] { return true; });
    ASSERT_FALSE(widget.isVisible());

    overview.open();
    settleAll();
    ASSERT_TRUE(widget.isVisible());
    EXPECT_EQ(widget.geometry(), screenToQt(sim.screens(), overview.frame()).toAlignedRect());
    QKeyEvent other(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &other);
    EXPECT_TRUE(overview.isOpen());
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &esc);
    EXPECT_TRUE(esc.isAccepted());
    EXPECT_FALSE(overview.isOpen());
    settleAll();
    EXPECT_FALSE(widget.isVisible());

    overview.open();
    settleAll();
    const OverviewSection* s = overview.model().section(0);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->columns.size(), 3u);
    const int target = strip(0)->focusC == 0 ? 2 : 0;
    QTest::mouseClick(&widget, Qt::LeftButton, {}, centre(s->columns[static_cast<size_t>(target)].frame));
    settleAll();
    EXPECT_FALSE(overview.isOpen());
    EXPECT_EQ(strip(0)->focusC, target);
}

TEST_F(UiTest, OverviewButtonsAreNamedAndPicturesFillTheirCardsUnstretched) {
    startThree();
    prefs->previews.set(true);
    // Green over red over blue: a card wider than the window shows the green top only.
    auto picture = std::make_shared<Image>(Image{1, 4, {0xff00ff00, 0xffff0000, 0xffff0000, 0xff0000ff}});
    Overview overview(OverviewDeps{*wm, sim, time.loop(), metrics, [](std::function<void()> fn) { fn(); },
                                   [&](const AXElement&, PixelSize) { return picture; }});
    OverviewWidget widget(overview, [this] { return sim.screens(); }, [] { return true; });
    overview.open();
    settleAll();
    // A copy: the marking below rebuilds the model.
    const OverviewColumn column = overview.model().section(0)->columns.at(1);
    const Rect card = column.cards.at(0).frame;
    ASSERT_GT(card.width / card.height, 1.5);
    const QColor low = widget.grab().toImage().pixelColor(qRound(card.midX()), qRound(card.y + card.height * 0.4));
    EXPECT_GT(low.green(), 4 * std::max(low.red(), low.blue()));
    // A window that wants attention wears the orange mark in its card's corner.
    sim.setDemandsAttention(column.cards.at(0).window, true);
    settleAll();
    const QColor mark = widget.grab().toImage().pixelColor(qRound(card.maxX() - 10), qRound(card.y + 10));
    EXPECT_GT(mark.red(), 200);
    EXPECT_LT(mark.blue(), 80);
    EXPECT_GT(mark.green(), mark.blue() + 60);

    std::map<std::string, QAbstractButton*> named;
    for (QAbstractButton* b : widget.findChildren<QAbstractButton*>()) named[b->accessibleName().toStdString()] = b;
    ASSERT_TRUE(named.count("Close") && named.count("Jump to column 2"));
    EXPECT_TRUE(named["Close"]->geometry().contains(centre(overview.model().close.frame)));
    EXPECT_EQ(named["Jump to column 2"]->geometry(), qtRect(column.frame).toAlignedRect());
    ASSERT_NE(strip(0)->focusC, 1);
    named["Jump to column 2"]->click();  // as assistive technology presses it
    settleAll();
    EXPECT_EQ(strip(0)->focusC, 1);
}

}  // namespace
}  // namespace tarvela::testing

// The overview's window: it follows the overview, Escape closes it without
// reaching anything else, and a click on a column jumps there.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarvela::testing

#include "tests/core/strip_fixture.h"

using namespace tarvela;
using tarvela::testing::StripTest;

TEST_F(StripTest, ResizeLaysColumnsOutFromTheUsableCorner) {
    strip->start(columns({0.5, 0.5, 0.5}), Layout::strip);
    EXPECT_TRUE(strip->running);
    EXPECT_EQ(strip->cw, (std::vector<double>{490, 490, 490}));
    EXPECT_EQ(frameAt(0), Rect(40 + 0 - strip->offset, 12, 490, 976));
    // Columns beyond the view sit at their strip coordinates, off screen.
    EXPECT_EQ(frameAt(2).x, 40 + 1020 - strip->offset);
    expectAtRest();
    EXPECT_EQ(strip->checkInvariants(), "");
    EXPECT_GE(settled, 1);
    EXPECT_GE(activity, 1);
}

TEST_F(StripTest, ARowThatFitsIsCentredWhateverTheAlignment) {
    strip->start(columns({0.5}), Layout::strip);
    EXPECT_EQ(strip->offset, -255);
    EXPECT_EQ(frameAt(0).x, 40 + 255);
    strip->setAlign(Align::left);
    finishSlide();
    EXPECT_EQ(strip->offset, -255);
}

TEST_F(StripTest, StackedWindowsShareTheHeight) {
    Col c;
    c.frac = 0.5;
    for (int i = 0; i < 3; ++i) c.items.push_back(window());
    strip->start({c}, Layout::strip);
    EXPECT_EQ(frameAt(0, 0).height, 317);
    EXPECT_EQ(frameAt(0, 0).y, 12);
    EXPECT_EQ(frameAt(0, 1).y, 12 + 329);
    EXPECT_EQ(frameAt(0, 2).y, 12 + 658);
}

TEST_F(StripTest, ShortDisplayLaysOutAsIfThreeHundredHigh) {
    sim.setDisplays({Screen{displayId, Rect(0, 0, 1080, 200), Rect(0, 0, 1080, 200), "Tiny", 1, "Tiny"}});
    strip->start(columns({0.5}), Layout::strip);
    EXPECT_EQ(frameAt(0).height, 300);
}

TEST_F(StripTest, ColumnTakesItsWidestWindowAndWidensTheOthers) {
    WindowSpec wide;
    wide.minW = 700;
    Col c;
    c.frac = 0.5;
    c.items.push_back(window());
    c.items.push_back(window(wide));
    strip->start({c}, Layout::strip);
    EXPECT_EQ(strip->cw[0], 700);
    EXPECT_EQ(frameAt(0, 0).width, 700);  // the narrower one grew to match
    EXPECT_EQ(strip->cols[0].items[0].size.width, 700);
}

TEST_F(StripTest, SizeIncrementsAreSnappingNotLimits) {
    WindowSpec term;
    term.base = Size{4, 4};
    term.inc = Size{6, 13};
    Col c;
    c.frac = 0.5;  // asks for 490: 4 + 81 * 6 = 490 exactly
    c.items.push_back(window(term));
    strip->start({c}, Layout::strip);
    const Item& it = strip->cols[0].items[0];
    EXPECT_EQ(strip->cw[0], 490);
    strip->setWidth(2.0 / 3);  // 660 becomes 658: within 2 points, nothing learned
    EXPECT_EQ(strip->cw[0], 658);
    EXPECT_FALSE(it.maxW);
    strip->setWidth(0.31);  // 296 becomes 292: short of one cell, so it snapped
    EXPECT_EQ(strip->cw[0], 292);
    EXPECT_FALSE(it.maxW || strip->fit.capped);
    strip->stepWidth(1);  // a third, 320, is still offered and lands on 316
    EXPECT_EQ(strip->cw[0], 316);

    // A whole cell or more short is a limit, cells or not.
    WindowSpec capped = term;
    capped.maxW = 600;
    sim.setConstraints(it.el, capped);
    strip->setWidth(0.75);  // 745 ends at 598, the last cell below 600
    EXPECT_EQ(it.maxW, 598);
    EXPECT_TRUE(strip->fit.capped);
    sim.setConstraints(it.el, term);
    strip->setWidth(2.0 / 3);  // grows past the old limit again: the limit goes
    EXPECT_FALSE(it.maxW);

    // Likewise above: within a cell of the width asked is no floor.
    WindowSpec floored = term;
    floored.minW = 492;
    sim.setConstraints(it.el, floored);
    strip->setWidth(511.0 / 1020);  // 491 ends at 496
    EXPECT_FALSE(it.minW || strip->fit.floored);
    strip->setWidth(0.25);  // 235 ends at 496: a real floor
    EXPECT_EQ(it.minW, 496);
}

TEST_F(StripTest, AWindowThatRefusesOrCannotBeReadKeepsTheStripWhole) {
    WindowSpec refuses;
    refuses.refuseResize = true;
    WindowSpec blind;
    blind.unreadableFrame = true;
    Col a, b;
    a.frac = b.frac = 0.5;
    a.items.push_back(window(refuses));  // stays 400 wide
    b.items.push_back(window(blind));    // assumed to have taken what it was asked
    strip->start({a, b}, Layout::strip);
    EXPECT_EQ(strip->cw, (std::vector<double>{400, 490}));
    EXPECT_EQ(strip->cols[0].items[0].maxW, 400);
    EXPECT_EQ(strip->checkInvariants(), "");
}

TEST_F(StripTest, PlaceAtRestWritesNothing) {
    strip->start(columns({0.5, 0.5, 0.5, 0.5}), Layout::strip);
    sim.resetCounts();
    strip->reseat(AXElement::window(999999));  // not held: nothing
    EXPECT_EQ(sim.totals().total(), 0);
    // A dragged window is put back, and only it is written.
    const Item& moved = strip->cols[1].items[0];
    sim.dragWindow(moved.el, Point{5, 5});
    strip->reseat(moved.el);
    EXPECT_EQ(sim.totals().position, 1);
    EXPECT_EQ(sim.writes(moved.el).position, 1);
    expectAtRest();
}

TEST_F(StripTest, StartFocusesTheFrontmostWindow) {
    auto cols = columns({0.5, 0.5, 0.5});
    sim.focusWindow(cols[1].items[0].el);
    strip->start(cols, Layout::strip);
    EXPECT_EQ(strip->focusC, 1);
    // setColumns does not look at the frontmost window.
    strip->setColumns(columns({0.5, 0.5}), Layout::two);
    EXPECT_EQ(strip->focusC, 0);
    EXPECT_EQ(strip->layout, Layout::two);
    // Empty columns given from outside are dropped.
    std::vector<Col> withEmpty = columns({0.5});
    withEmpty.push_back(Col{});
    strip->setColumns(withEmpty, Layout::strip);
    EXPECT_EQ(strip->cols.size(), 1u);
}

TEST_F(StripTest, AddOpensAColumnAfterTheFocusedOne) {
    strip->add(window());
    EXPECT_EQ(strip->cols.size(), 1u);
    EXPECT_EQ(strip->focusC, 0);
    strip->add(window());
    strip->add(window());
    EXPECT_EQ(strip->focusC, 2);  // appended after the last
    strip->raise(0, 0);
    finishSlide();
    Item fresh = window();
    strip->add(fresh);
    EXPECT_EQ(strip->focusC, 1);
    EXPECT_EQ(strip->cols[1].items[0].el, fresh.el);
    // Whatever the layout, a new column takes the strip default width.
    widths.fallback = 0.75;
    strip->applyLayout(Layout::grid22);
    strip->add(window());
    EXPECT_DOUBLE_EQ(strip->cols[static_cast<size_t>(strip->focusC)].frac, 0.75);
    EXPECT_EQ(strip->checkInvariants(), "");
}

TEST_F(StripTest, RemoveKeepsTheSameColumnFocused) {
    strip->start(columns({0.5, 0.5, 0.5, 0.5}), Layout::strip);
    strip->raise(2, 0);
    finishSlide();
    const AXElement focused = strip->focusedItem()->el;
    auto removed = strip->remove(strip->cols[0].items[0].el);
    ASSERT_TRUE(removed);
    EXPECT_EQ(strip->focusC, 1);
    EXPECT_EQ(strip->focusedItem()->el, focused);
    EXPECT_FALSE(strip->remove(AXElement::window(424242)));

    // When the column on the left survives, the focus index stays.
    Col two;
    two.frac = 0.5;
    two.items = {window(), window()};
    auto cols = columns({0.5});
    cols.insert(cols.begin(), two);
    strip->setColumns(cols, Layout::strip);
    strip->raise(1, 0);
    finishSlide();
    strip->remove(strip->cols[0].items[1].el);
    EXPECT_EQ(strip->focusC, 1);
    // Removing the last window empties the strip without touching the focus index.
    strip->setColumns(columns({0.5}), Layout::strip);
    strip->remove(strip->cols[0].items[0].el);
    EXPECT_TRUE(strip->cols.empty());
    EXPECT_TRUE(strip->cw.empty());
}

TEST_F(StripTest, EmptyResizeOnlyNotifiesAndSettles) {
    strip->start(columns({0.5}), Layout::strip);
    const double offsetBefore = strip->offset;
    const Fit fitBefore = strip->fit;
    activity = settled = 0;
    int notes = 0;
    Connection counting = strip->changed.connect([&] { ++notes; });
    strip->remove(strip->cols[0].items[0].el);
    EXPECT_EQ(settled, 1);
    EXPECT_EQ(activity, 0);
    EXPECT_GE(notes, 1);
    EXPECT_EQ(strip->offset, offsetBefore);
    EXPECT_EQ(strip->fit, fitBefore);
}

TEST_F(StripTest, PruneRemovesGoneMinimisedAndFullScreenWindows) {
    strip->start(columns({0.5, 0.5, 0.5, 0.5, 0.5}), Layout::strip);
    sim.resetCounts();
    EXPECT_TRUE(strip->prune().empty());
    EXPECT_EQ(sim.totals().total(), 0);  // nothing dead: nothing written

    strip->raise(4, 0);
    finishSlide();
    const AXElement keep = strip->cols[4].items[0].el;
    const AXElement a = strip->cols[0].items[0].el, b = strip->cols[1].items[0].el, c = strip->cols[2].items[0].el;
    sim.closeWindow(a);
    sim.setMinimized(b, true);
    sim.setFullScreen(c, true);
    auto dead = strip->prune();
    ASSERT_EQ(dead.size(), 3u);
    EXPECT_EQ(dead[0].el, a);
    EXPECT_EQ(dead[2].el, c);
    EXPECT_EQ(strip->cols.size(), 2u);
    EXPECT_EQ(strip->focusedItem()->el, keep);
    // A window that lost its standard subrole goes too.
    sim.setSubrole(keep, std::string("AXDialog"));
    EXPECT_EQ(strip->prune().size(), 1u);
    EXPECT_EQ(strip->focusC, 0);
    EXPECT_EQ(strip->checkInvariants(), "");
}

TEST_F(StripTest, ApplyLayoutRegroupsAndKeepsTheFocusedWindow) {
    strip->start(columns({0.3, 0.3, 0.3, 0.3, 0.3}), Layout::strip);
    strip->raise(3, 0);
    finishSlide();
    const AXElement focused = strip->focusedItem()->el;
    strip->applyLayout(Layout::plus21);
    ASSERT_EQ(strip->cols.size(), 3u);
    EXPECT_EQ(strip->cols[0].items.size(), 2u);
    EXPECT_EQ(strip->focusedItem()->el, focused);
    EXPECT_EQ(strip->focusC, 2);
    EXPECT_EQ(strip->focusR, 0);
    for (const Col& c : strip->cols) EXPECT_DOUBLE_EQ(c.frac, 0.5);  // hand-set widths are lost
    EXPECT_EQ(strip->layout, Layout::plus21);
    expectAtRest();
}

TEST_F(StripTest, StackLeftJoinsAndSplitsColumns) {
    strip->start(columns({0.5, 0.5, 0.4}), Layout::strip);
    strip->raise(0, 0);
    finishSlide();
    sim.resetCounts();
    strip->stackLeft();  // lone window in the first column: nothing, not even a resize
    EXPECT_EQ(sim.totals().total(), 0);

    strip->raise(2, 0);
    finishSlide();
    const AXElement moving = strip->focusedItem()->el;
    strip->stackLeft();
    ASSERT_EQ(strip->cols.size(), 2u);
    EXPECT_EQ(strip->cols[1].items.size(), 2u);
    EXPECT_EQ(strip->cols[1].items[1].el, moving);
    EXPECT_EQ(strip->focusC, 1);
    EXPECT_EQ(strip->focusR, 1);

    // Out of a shared column into one of its own, with the fraction it left.
    strip->cols[1].items.push_back(window());
    strip->setColumns(strip->cols, Layout::strip);
    strip->raise(0, 0);
    finishSlide();
    strip->raise(1, 1);
    finishSlide();
    strip->stackLeft();
    ASSERT_EQ(strip->cols.size(), 3u);
    EXPECT_EQ(strip->cols[2].items[0].el, moving);
    EXPECT_DOUBLE_EQ(strip->cols[2].frac, strip->cols[1].frac);
    EXPECT_EQ(strip->focusC, 2);
    EXPECT_EQ(strip->focusR, 0);
}

TEST_F(StripTest, RaiseActivatesFrontsAndSlides) {
    strip->start(columns({0.5, 0.5, 0.5, 0.5}), Layout::strip);
    const Item target = strip->cols[3].items[0];
    strip->raise(3, 0);
    EXPECT_EQ(sim.activations(pid), 1);
    EXPECT_EQ(sim.writes(target.el).raise, 1);
    EXPECT_TRUE(sim.isMain(target.el));
    EXPECT_EQ(strip->focusC, 3);
    EXPECT_TRUE(strip->animating);
    finishSlide();
    EXPECT_FALSE(strip->animating);
    expectAtRest();
    // Out of range: nothing.
    sim.resetCounts();
    strip->raise(9, 0);
    strip->raise(0, 3);
    strip->raise(-1, 0);
    EXPECT_EQ(sim.totals().total(), 0);
}

TEST_F(StripTest, FocusChangedFollowsOnlyHeldWindowsOnARunningStrip) {
    auto cols = columns({0.5, 0.5, 0.5, 0.5});
    const AXElement last = cols[3].items[0].el;
    strip->focusChanged(last);  // not running: nothing
    EXPECT_EQ(strip->focusC, 0);
    strip->start(cols, Layout::strip);
    strip->focusChanged(AXElement::window(77777));
    EXPECT_FALSE(strip->animating);
    strip->focusChanged(last);
    EXPECT_EQ(strip->focusC, 3);
    EXPECT_TRUE(strip->animating);
    EXPECT_EQ(sim.writes(last).raise, 0);  // the platform already raised it
    finishSlide();
    const int before = settled;
    strip->focusChanged(last);  // already there and at rest
    EXPECT_EQ(settled, before);
}

#include "tests/core/strip_fixture.h"

using namespace tarvela;
using tarvela::testing::StripTest;

TEST(StripGeometry, FractionsFillTheUsableWidthExactly) {
    EXPECT_EQ(geom::widthFor(0.5, 1000), 490);
    EXPECT_EQ(geom::widthFor(1.0 / 3, 1000), 320);
    EXPECT_EQ(geom::widthFor(2.0 / 3, 1000), 660);
    EXPECT_EQ(geom::widthFor(1, 1000), 1000);
    EXPECT_DOUBLE_EQ(geom::fracFor(490, 1000), 0.5);
    // Three stacked windows on a visible height of 1000, and a display too short to matter.
    EXPECT_EQ(geom::rowHeight(3, geom::usableHeight(1000)), 317);
    EXPECT_EQ(geom::rowY(3, 1, geom::usableHeight(1000)), 12 + 329);
    EXPECT_EQ(geom::usableHeight(200), 300);
}

TEST(StripGeometry, TargetOffsetsByAlignment) {
    const std::vector<double> cw{600, 700};
    EXPECT_EQ(geom::targetOffset(cw, 1, 1000, Align::center, 0), 320);  // 470 clamped to T - U
    EXPECT_EQ(geom::targetOffset(cw, 0, 1000, Align::left, 0), 0);
    EXPECT_EQ(geom::targetOffset(cw, 1, 1000, Align::right, 0), 320);
    EXPECT_EQ(geom::targetOffset(cw, 5, 1000, Align::center, 100), 0);
    // A row that fits is centred whatever the alignment.
    for (Align a : allAligns) EXPECT_EQ(geom::targetOffset({490}, 0, 1000, a, 0), -255);
    // auto: fully visible stays, sticking out on the right aligns right, on the left aligns left.
    const std::vector<double> four{400, 400, 400, 400};
    EXPECT_EQ(geom::targetOffset(four, 1, 1000, Align::autoAlign, 100), 100);
    EXPECT_EQ(geom::targetOffset(four, 2, 1000, Align::autoAlign, 100), 840 + 400 - 1000);
    EXPECT_EQ(geom::targetOffset(four, 0, 1000, Align::autoAlign, 100), 0);
}

TEST(Widths, LabelsNameTheCommonFractions) {
    EXPECT_EQ(Widths::label(0.5), "½");
    EXPECT_EQ(Widths::label(0.26), "¼");
    EXPECT_EQ(Widths::label(0.34), "⅓");
    EXPECT_EQ(Widths::label(0.65), "⅔");
    EXPECT_EQ(Widths::label(0.99), "Full");
    EXPECT_EQ(Widths::label(0.76), "¾");
    EXPECT_EQ(Widths::label(0.4), "40%");
    EXPECT_EQ(Widths::label(std::nullopt), "—");
}

TEST_F(StripTest, DisplayNames) {
    EXPECT_EQ(strip->displayName(), "Office Monitor");
    EXPECT_EQ(strip->shortName(), "Office");
    EXPECT_EQ(strip->resolution(), "2160 × 2000");
    sim.addDisplay(Rect(1080, 0, 1000, 800), std::nullopt, "Built-in Retina Display");
    sim.addDisplay(Rect(2080, 0, 1000, 800), std::nullopt, "   ");
    auto builtIn = makeStrip(1);
    EXPECT_EQ(builtIn->displayName(), "Built-in display");
    EXPECT_EQ(builtIn->shortName(), "Built-in");
    EXPECT_EQ(makeStrip(2)->shortName(), "Display");
}

TEST_F(StripTest, GroupingFollowsTheLayoutPatternAndDefaultFractions) {
    std::vector<Item> five;
    for (int i = 0; i < 5; ++i) five.push_back(window());
    auto sizes = [](const std::vector<Col>& cols) {
        std::vector<size_t> n;
        for (auto& c : cols) n.push_back(c.items.size());
        return n;
    };
    EXPECT_EQ(sizes(strip->group(five, Layout::plus21)), (std::vector<size_t>{2, 1, 2}));
    EXPECT_EQ(sizes(strip->group(five, Layout::plus12)), (std::vector<size_t>{1, 2, 1, 1}));
    EXPECT_EQ(sizes(strip->group(five, Layout::grid22)), (std::vector<size_t>{2, 2, 1}));
    EXPECT_EQ(sizes(strip->group(five, Layout::four)), (std::vector<size_t>{1, 1, 1, 1, 1}));
    EXPECT_TRUE(strip->group({}, Layout::two).empty());
    EXPECT_DOUBLE_EQ(strip->group(five, Layout::grid32)[0].frac, 1.0 / 3);
    EXPECT_DOUBLE_EQ(strip->group(five, Layout::four)[0].frac, 0.25);
    // strip: the application's rule width, else the preference.
    widths.fallback = 0.6;
    EXPECT_DOUBLE_EQ(strip->group(five, Layout::strip)[0].frac, 0.6);
    widths.rules["org.term"] = 0.75;
    EXPECT_DOUBLE_EQ(strip->group(five, Layout::strip)[0].frac, 0.75);
    int32_t anon = sim.addApp(AppSpec{});
    Item noId = window({}, anon);
    EXPECT_EQ(noId.app, "App");
    EXPECT_FALSE(noId.bundleID);
    EXPECT_DOUBLE_EQ(strip->defaultFrac(noId, Layout::strip), 0.6);
}

TEST_F(StripTest, ColumnSharesFallBackToEqualWhenWidthsLag) {
    strip->start(columns({0.5, 0.25}), Layout::strip);
    auto shares = strip->columnShares();
    ASSERT_EQ(shares.size(), 2u);
    EXPECT_NEAR(shares[0], 490.0 / (490 + 235), 1e-9);
    strip->cols.push_back(strip->cols.back());  // widths not yet measured for it
    EXPECT_EQ(strip->columnShares(), (std::vector<double>{1.0 / 3, 1.0 / 3, 1.0 / 3}));
}

TEST_F(StripTest, StepWidthWalksPresetsWithinLearnedLimits) {
    strip->start(columns({0.5}), Layout::strip);
    strip->stepWidth(1);
    EXPECT_EQ(strip->cw[0], 660);
    strip->stepWidth(1);
    strip->stepWidth(1);
    EXPECT_EQ(strip->cw[0], 1000);
    strip->stepWidth(1);  // nothing above Full
    EXPECT_EQ(strip->cw[0], 1000);
    strip->stepWidth(0);
    EXPECT_EQ(strip->cw[0], geom::widthFor(0.75, 1000));
    strip->stepWidth(-1);
    strip->stepWidth(-1);
    strip->stepWidth(-1);
    strip->stepWidth(-1);
    EXPECT_EQ(strip->cw[0], 235);  // a quarter; nothing below
    strip->stepWidth(-1);
    EXPECT_EQ(strip->cw[0], 235);
}

TEST_F(StripTest, StepWidthAtNinetyNinePercentDoesNothing) {
    strip->start(columns({0.99}), Layout::strip);
    const auto before = sim.totals();
    strip->stepWidth(1);
    EXPECT_EQ(sim.totals(), before);
}

TEST_F(StripTest, WidthCommandsSkipPresetsTheWindowCannotTake) {
    WindowSpec capped;
    capped.maxW = 600;
    Col c;
    c.frac = 0.5;
    c.items.push_back(window(capped));
    strip->start({c}, Layout::strip);
    EXPECT_FALSE(strip->cols[0].items[0].maxW);  // nothing learned until it refuses
    strip->setWidth(2.0 / 3);
    EXPECT_EQ(strip->cw[0], 600);
    EXPECT_EQ(strip->cols[0].items[0].maxW, 600);
    strip->setWidth(0.5);
    strip->stepWidth(1);  // 2/3 asks for 660 > 602
    EXPECT_EQ(strip->cw[0], 490);
    EXPECT_DOUBLE_EQ(strip->cols[0].frac, 0.5);
    // Cycling keeps to the presets it can take: one third, one half, one third...
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 320);
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 490);
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 320);
}

TEST_F(StripTest, CycleWidthGoesThirdHalfTwoThirdsAndWraps) {
    strip->start(columns({2.0 / 3}), Layout::strip);
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 320);
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 490);
    strip->cycleWidth();
    EXPECT_EQ(strip->cw[0], 660);
    // A window that cannot be narrower than the whole width keeps no preset at all.
    WindowSpec wide;
    wide.minW = 1000;
    Col c;
    c.frac = 0.5;
    c.items.push_back(window(wide));
    strip->setColumns({c}, Layout::strip);
    ASSERT_EQ(strip->cols[0].items[0].minW, 1000);
    const auto before = sim.totals();
    strip->cycleWidth();
    EXPECT_EQ(sim.totals(), before);
}

TEST_F(StripTest, WidthCommandsWithoutColumnsDoNothing) {
    strip->setWidth(0.5);
    strip->stepWidth(1);
    strip->cycleWidth();
    EXPECT_EQ(sim.totals().total(), 0);
    EXPECT_EQ(activity, 0);
}

TEST_F(StripTest, FitReportsCappedFlooredAndFull) {
    WindowSpec narrow;
    narrow.minW = 800;
    Col c;
    c.frac = 0.5;
    c.items.push_back(window(narrow));
    strip->start({c}, Layout::strip);
    EXPECT_EQ(strip->cw[0], 800);
    EXPECT_EQ(strip->cols[0].items[0].minW, 800);
    EXPECT_TRUE(strip->fit.floored);
    EXPECT_FALSE(strip->fit.capped);
    EXPECT_EQ(strip->fit.pct, 80);

    strip->setWidth(1);
    EXPECT_TRUE(strip->fit.full);
    EXPECT_FALSE(strip->fit.floored);
    EXPECT_EQ(strip->fit.pct, 100);

    WindowSpec small;
    small.maxW = 300;
    Col d;
    d.frac = 0.5;
    d.items.push_back(window(small));
    strip->setColumns({d}, Layout::strip);
    EXPECT_TRUE(strip->fit.capped);
    EXPECT_EQ(strip->cols[0].items[0].maxW, 300);

    // No readable frame: all zero.
    sim.setUnreadable(strip->cols[0].items[0].el, ax::Position);
    strip->measure();
    EXPECT_EQ(strip->fit, Fit{});
}

TEST_F(StripTest, FitNotifiesObserversOnlyOnRealChange) {
    strip->start(columns({0.5}), Layout::strip);
    int notes = 0;
    Connection counting = strip->changed.connect([&] { ++notes; });
    strip->measure();
    strip->measure();
    EXPECT_EQ(notes, 0);
}

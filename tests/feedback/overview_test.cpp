// The strip overview on a real manager: opening and closing, clicks, the
// layout it hands the widget, and the window pictures.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <stdexcept>
#include <set>

#include "core/window_access.h"
#include "feedback/overview.h"
#include "feedback/popover_model.h"
#include "tests/feedback/feedback_fixture.h"

namespace tarvela::testing {
namespace {

// Over the HUD's fixture for its desktop of three windows; the HUD plays no part.
class OverviewTest : public HUDTest {
protected:
    bool inlineWork = true;
    std::deque<std::function<void()>> jobs;
    std::vector<AXElement> captured;
    std::map<uint64_t, PixelSize> asked;
    std::set<uint64_t> failing;
    uint32_t tint = 0;  // non-zero: every picture is this colour
    bool scales = false;  // the platform gives pictures at the size asked for
    std::map<uint64_t, ImageRef> given;
    std::unique_ptr<Overview> ov;

    void SetUp() override {
        HUDTest::SetUp();
        auto offMain = [this](std::function<void()> fn) {
            if (inlineWork)
                fn();
            else
                jobs.push_back(std::move(fn));
        };
        auto capture = [this](const AXElement& el, PixelSize size) -> ImageRef {
            asked[el.id] = size;
            captured.push_back(el);
            if (failing.count(el.id)) return nullptr;
            if (scales)
                return given[el.id] = std::make_shared<Image>(
                           Image{size.width, size.height, std::vector<uint32_t>(size_t(size.width) * size.height)});
            if (!tint) return sim.capture(el, size);
            return std::make_shared<Image>(Image{2, 2, std::vector<uint32_t>(4, 0xFF000000u | tint)});
        };
        ov = std::make_unique<Overview>(OverviewDeps{*wm, sim, time.loop(), metrics, offMain, capture});
    }
    void TearDown() override {
        ov.reset();
        HUDTest::TearDown();
    }
    // Runs the newest queued job (or the oldest) and whatever it posts back.
    void runJob(bool newest = false) {
        auto fn = newest ? jobs.back() : jobs.front();
        newest ? jobs.pop_back() : jobs.pop_front();
        fn();
        time.drain();
    }
    uint32_t pixel(const AXElement& el) { return ov->pictures().at(el.id)->argb.at(0); }
    const OverviewCard& card(int col) { return ov->model().sections.at(0).columns.at(col).cards.at(0); }
    const OverviewCard& cardOf(const AXElement& el) {
        for (const OverviewColumn& c : ov->model().sections.at(0).columns)
            for (const OverviewCard& k : c.cards)
                if (k.window == el) return k;
        throw std::runtime_error("no card");
    }
};

TEST_F(OverviewTest, TogglesOpensOnlyOnceAndEscapeClosesWhileItHoldsTheKeyboard) {
    const std::vector<AXElement> wins = startThree();
    ov->toggle();
    EXPECT_TRUE(ov->isOpen());
    EXPECT_TRUE(ov->hasKeyboard());
    EXPECT_EQ(ov->frame(), sim.screens()[0].frame);
    EXPECT_DOUBLE_EQ(ov->alpha(), 0);
    time.advance(Overview::fadeIn);
    EXPECT_DOUBLE_EQ(ov->alpha(), 1);

    int changes = 0;
    Connection c = ov->changed.connect([&] { ++changes; });
    ov->open();  // the pinch on an open overview
    time.drain();
    EXPECT_EQ(changes, 0);

    ov->toggle();
    EXPECT_FALSE(ov->isOpen());
    EXPECT_FALSE(ov->hasKeyboard());
    EXPECT_TRUE(ov->orderedIn());  // still fading out
    time.advance(Overview::fadeOut);
    EXPECT_FALSE(ov->orderedIn());
    EXPECT_DOUBLE_EQ(ov->alpha(), 0);
    EXPECT_FALSE(ov->escape());  // passed on

    // The keys go back to the window that had them when it opened, wherever they went meanwhile.
    sim.focusWindow(wins[1]);
    ov->open();
    sim.focusWindow(wins[2]);
    EXPECT_TRUE(ov->escape());
    EXPECT_FALSE(ov->isOpen());
    EXPECT_EQ(sim.focusedWindow(*sim.pidOf(wins[1])), wins[1]);

    wm->paused.set(true);
    ov->open();
    EXPECT_FALSE(ov->isOpen());
}

TEST_F(OverviewTest, ClickingAColumnClosesThenFocusesItAndCloseChangesNothing) {
    startThree();
    ov->open();
    const OverviewColumn& third = ov->model().sections.at(0).columns.at(2);
    EXPECT_EQ(third.label, "Jump to column 3");
    const Point at = centre(third.frame);
    std::vector<std::pair<bool, int>> seen;  // open, focused column, at each change
    Connection c = ov->changed.connect([&] { seen.emplace_back(ov->isOpen(), strip(0)->focusC); });
    ov->click(at);
    settle();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), std::make_pair(false, 0));
    EXPECT_EQ(strip(0)->focusC, 2);

    ov->open();
    ASSERT_EQ(ov->model().close.label, "Close");
    ov->click(centre(ov->model().close.frame));
    settle();
    EXPECT_FALSE(ov->isOpen());
    EXPECT_EQ(strip(0)->focusC, 2);
}

// The faces name the desktop: the HUD's status, the popover's row and the
// overview's tabs, a click on a tab or a row switching.
TEST_F(OverviewTest, DesktopsAreNamedInTheHUDPopoverAndOverviewAndTabsSwitch) {
    const std::vector<AXElement> w = startThree();
    auto status = [&] { return hud->view().control(HUDPart::options)->text; };
    wm->raise(0, 0);
    wm->sendToDesktop(2, false);
    wm->renameDesktops({"1", "2", "Mail"});
    settle();
    hud->show();
    EXPECT_EQ(status().rfind("Desktop 1 · Column 1 of 2", 0), 0u) << status();
    PopoverActions popover(*wm, *prefs, {});
    const PopoverModel pm = popover.model();
    ASSERT_EQ(pm.desktops.size(), 4u);
    EXPECT_EQ(pm.desktops[0], (DesktopTab{0, "1", "Desktop 1 · 2 windows", 2, true}));
    EXPECT_EQ(pm.desktops[2], (DesktopTab{2, "Mail", "Mail · 1 window", 1, false}));

    ov->open();
    ASSERT_EQ(ov->model().tabs.size(), 4u);
    ov->click(centre(ov->model().tabs[2].second.frame));
    settle();
    EXPECT_TRUE(ov->isOpen());
    EXPECT_EQ(wm->desktop(), 2);
    ASSERT_EQ(ov->model().sections.size(), 1u);
    EXPECT_EQ(ov->model().sections[0].columns.size(), 1u);
    EXPECT_TRUE(ov->model().tabs[2].first.current);
    ov->close();
    hud->show();
    EXPECT_EQ(status().rfind("Mail · Column 1 of 1", 0), 0u) << status();
    popover.showDesktop(0);
    EXPECT_EQ(wm->desktop(), 0);
    EXPECT_EQ(sim.focusedWindow(sim.pidOf(w[1]).value()), w[1]);

    // One desktop: nothing names it.
    prefs->desktops.set(1);
    settle();
    EXPECT_TRUE(popover.model().desktops.empty());
    EXPECT_EQ(withDesktop(*wm, "Tarvela is on"), "Tarvela is on");
}

TEST_F(OverviewTest, FollowsTheManagerOnlyWhileOpen) {
    startThree();
    ov->open();
    window(app("Mail"), 300);
    settle();
    const OverviewSection& s = ov->model().sections.at(0);
    EXPECT_EQ(s.columns.size(), 4u);
    EXPECT_EQ(s.label.text, overviewLabel("Built-in display", strip(0)->focusC, 4));
    EXPECT_EQ(s.label.text.substr(0, 27), "BUILT-IN DISPLAY · COLUMN ");

    ov->close();
    window(app("Maps"), 300);
    settle();
    EXPECT_EQ(ov->model().sections.at(0).columns.size(), 4u);
}

TEST_F(OverviewTest, RowsWidthsAndCardColours) {
    display("Left");
    display("Right");
    const int32_t pid = app("Notes");
    window(pid, 100);
    window(pid, 800);
    window(pid, 2100);
    startAndSettle();
    strip(0)->cw = {10, 1000};
    ov->open();
    const OverviewModel& m = ov->model();
    ASSERT_EQ(m.sections.size(), 2u);
    EXPECT_EQ(m.sections[0].row.height, 220);
    EXPECT_EQ(m.sections[1].row.height, 170);
    EXPECT_EQ(m.sections[0].row.width, 1920 - 88);
    EXPECT_EQ(m.sections[0].columns[0].frame.width, 60);  // 10/1010 of the row is less
    EXPECT_DOUBLE_EQ(m.sections[0].columns[1].frame.x, 44 + 60 + 12);
    EXPECT_DOUBLE_EQ(m.sections[0].columns[1].frame.width, (1832 - 12) * 1000 / 1010.0);
    EXPECT_DOUBLE_EQ(m.sections[1].row.y, m.sections[0].row.maxY() + 26 + m.sections[1].label.frame.height + 6 + 22);

    const std::vector<double> w = overviewColumnWidths({0.5}, 3, 1024);
    EXPECT_EQ(w, (std::vector<double>{500, 200, 200}));

    EXPECT_EQ(ov::paletteColour(1, 0), ov::paletteColour(0, 1));
    EXPECT_EQ(ov::paletteColour(0, 1), (Rgba{0x1D / 255.0, 0x6F / 255.0, 0xE0 / 255.0, 1}));
    EXPECT_EQ(ov::paletteColour(0, 9), ov::paletteColour(0, 0));
    for (const OverviewColumn& c : m.sections[0].columns) {
        const OverviewCard& k = c.cards.at(0);
        EXPECT_EQ(k.ground, c.focused ? ov::focusedGround : ov::paletteColour(0, c.col)) << c.col;
        EXPECT_EQ(k.ring.has_value(), c.focused);
        EXPECT_EQ(k.glow, c.focused);
    }
}

TEST_F(OverviewTest, EmptyStripsShowTheEmptyStateUnderTheHeader) {
    display("Built-in Display");
    startAndSettle();
    ov->open();
    ASSERT_TRUE(ov->isOpen());
    const OverviewModel& m = ov->model();
    ASSERT_TRUE(m.empty.has_value());
    EXPECT_TRUE(m.sections.empty());
    EXPECT_EQ(m.empty->title.text, "No windows to tile");
    EXPECT_GT(m.empty->symbolFrame.y, m.close.frame.maxY() + 26);
    EXPECT_DOUBLE_EQ(m.close.frame.maxX(), 1920 - 44);
    EXPECT_DOUBLE_EQ(m.close.frame.maxY(), m.subtitle.frame.maxY());
}

TEST_F(OverviewTest, WithPreviewsOffNothingIsCapturedAndCardsShowSketches) {
    startThree();
    prefs->previews.set(false);
    ov->open();
    time.drain();
    EXPECT_TRUE(captured.empty());
    EXPECT_TRUE(ov->pictures().empty());
    const OverviewCard& k = card(0);
    ASSERT_TRUE(k.sketch.has_value());
    EXPECT_EQ(k.sketch->name.text, "Notes");
    EXPECT_DOUBLE_EQ(k.sketch->bar.width, k.frame.width - 16 - 20);
}

TEST_F(OverviewTest, CapturesOneWindowAtATimeAndAFailedOneKeepsItsSketch) {
    const std::vector<AXElement> w = startThree();
    WindowSpec unnumbered;
    unnumbered.hasNumber = false;
    const AXElement x = sim.addWindow(app("Mail"), Rect(300, 100, 600, 500), unnumbered);
    settle();
    ASSERT_EQ(stripOf(x), 0);
    prefs->previews.set(true);
    failing = {w[1].id};
    inlineWork = false;
    ov->open();
    time.drain();
    EXPECT_EQ(captured.size(), 1u);
    ASSERT_EQ(jobs.size(), 1u);
    runJob();
    // The second window fails, so the third follows at once.
    EXPECT_EQ(captured.size(), 3u);
    EXPECT_TRUE(ov->pictures().empty());  // replaced only as a whole
    runJob();
    EXPECT_TRUE(jobs.empty());

    ASSERT_EQ(ov->pictures().size(), 2u);
    // Asked for at the size that covers its card, and scaled to it here since
    // the platform gave its own.
    const Rect card = cardOf(w[0]).frame;
    const Size pts = *attr<Size>(sim, w[0], ax::SizeAttr);
    const PixelSize want = *pictureSize(pts, card.size(), 1, Overview::maxWidth);
    EXPECT_EQ(asked.at(w[0].id), want);
    EXPECT_TRUE(want.width == std::ceil(card.width) || want.height == std::ceil(card.height));
    const ImageRef a = ov->pictures().at(w[0].id);
    EXPECT_EQ(a->width, want.width);
    EXPECT_EQ(a->height, want.height);
    EXPECT_EQ(a->argb.back(), sim.capture(w[0], std::nullopt)->argb[0]);
    EXPECT_EQ(cardOf(w[0]).picture, a);
    EXPECT_FALSE(cardOf(w[0]).sketch.has_value());
    for (const AXElement& el : {w[1], x}) {
        EXPECT_FALSE(cardOf(el).picture);
        EXPECT_TRUE(cardOf(el).sketch.has_value());
    }
    EXPECT_EQ(std::count(captured.begin(), captured.end(), x), 0);  // never asked for
}

TEST_F(OverviewTest, PicturesThePlatformScaledAreKeptAsTheyCome) {
    const std::vector<AXElement> w = startThree();
    prefs->previews.set(true);
    scales = true;
    inlineWork = false;
    ov->open();
    time.drain();
    EXPECT_TRUE(jobs.empty());  // nothing left to scale
    ASSERT_EQ(ov->pictures().size(), 3u);
    for (const AXElement& el : w) EXPECT_EQ(cardOf(el).picture, given.at(el.id));
}

TEST_F(OverviewTest, TheRoundFinishingLastWinsAndPicturesShowAtOnceWhenReopened) {
    const std::vector<AXElement> w = startThree();
    prefs->previews.set(true);
    inlineWork = false;
    tint = 0x111111;
    ov->open();
    time.drain();  // the first round's first picture is scaling
    ov->close();
    tint = 0x222222;
    ov->open();
    time.drain();
    ASSERT_EQ(jobs.size(), 2u);
    while (jobs.size() > 1) runJob(true);  // the second round finishes first
    EXPECT_EQ(pixel(w[0]), 0xFF222222u);
    while (!jobs.empty()) runJob();
    EXPECT_EQ(pixel(w[0]), 0xFF111111u);

    ov->close();
    time.advance(Overview::fadeOut);  // the panel gone, the pictures kept
    ov->open();
    EXPECT_EQ(card(0).picture, ov->pictures().at(w[0].id));  // before this round has taken any
}

TEST(OverviewScaling, SizesAndAveragesWithAlpha) {
    // Just covering the card, in the window's proportions, at the density asked.
    EXPECT_EQ(pictureSize({600, 500}, {100, 220}, 1, 480), (PixelSize{264, 220}));
    EXPECT_EQ(pictureSize({1920, 480}, {300, 100}, 2, 480), (PixelSize{800, 200}));
    EXPECT_EQ(pictureSize({600, 500}, {1800, 220}, 2, 480), (PixelSize{960, 800}));  // never over 480 points wide
    EXPECT_EQ(pictureSize({0, 300}, {100, 220}, 1, 480), std::nullopt);               // nothing wide stays nothing

    // Two 2 x 2 blocks: one averages two greys, the other clear red with opaque blue.
    const Image src{4, 2, {0xFF101010, 0xFF303030, 0x00FF0000, 0xFF0000FF,  //
                           0xFF303030, 0xFF101010, 0x00FF0000, 0xFF0000FF}};
    const Image half = scaleImage(src, 2, 1);
    ASSERT_EQ(half.argb.size(), 2u);
    EXPECT_EQ(half.argb[0], 0xFF202020u);
    EXPECT_EQ(half.argb[1], 0x800000FFu);

    const Image up = scaleImage(Image{1, 1, {0xFF336699}}, 3, 2);
    EXPECT_EQ(up.width, 3);
    EXPECT_EQ(up.height, 2);
    EXPECT_EQ(up.argb, std::vector<uint32_t>(6, 0xFF336699u));
    // Three source columns into two: the middle one is split between them.
    const Image odd = scaleImage(Image{3, 1, {0xFF000000, 0xFF000000 | 0x600000, 0xFF000000 | 0xC00000}}, 2, 1);
    EXPECT_EQ(odd.argb[0], 0xFF200000u);
    EXPECT_EQ(odd.argb[1], 0xFFA00000u);
}

}  // namespace
}  // namespace tarvela::testing

// The tray item and its popover over a real manager on the simulated desktop.
#include "feedback/hud_view.h"
#include "feedback/overview_model.h"
#include "feedback/popover_model.h"
#include "feedback/status_item.h"
#include "tests/feedback/feedback_fixture.h"

using namespace tarvela;
using tarvela::testing::FakeMetrics;
using tarvela::testing::ManagerTest;

namespace {

class TrayTest : public ManagerTest {
protected:
    FakeMetrics metrics;
    std::unique_ptr<StatusController> item;
    std::vector<std::pair<bool, bool>> seen;  // (item, popover) at each `changed`
    Connection link;
    std::vector<std::string> calls;
    std::unique_ptr<PopoverActions> act;

    void SetUp() override {
        ManagerTest::SetUp();
        item = std::make_unique<StatusController>(*wm, *prefs, time.loop());
        link = item->changed.connect([this] { seen.emplace_back(item->itemShown(), item->popoverShown()); });
        auto record = [this](const char* name) { return [this, name] { calls.emplace_back(name); }; };
        act = std::make_unique<PopoverActions>(*wm, *prefs,
                                               PopoverHooks{record("settings"), record("workspaces"), record("updates"),
                                                            record("quit"), record("take over"), {}});
    }
    void TearDown() override {
        link.disconnect();
        item.reset();
        ManagerTest::TearDown();
    }
    // Five windows in a row on the built-in display, focus on the second, at rest.
    void startFive(bool secondDisplay = false) {
        display("Built-in Display");
        if (secondDisplay) display("Studio Display");
        const int32_t pid = app("Notes");
        std::vector<AXElement> w;
        for (int i = 0; i < 5; ++i) w.push_back(window(pid, 50 + 300 * i));
        sim.focusWindow(w[1]);
        startAndSettle();
    }
    PillImage image(bool dark = false) { return item->image(dark, std::nullopt, metrics); }
    PopoverModel model(bool update = false) { return PopoverModel::make(*wm, *prefs, update); }
};

// A text width that is not a whole number of points.
class FractionalMetrics final : public TextMetrics {
public:
    Size measure(const std::string&, const Font&) override { return {17.3, 15}; }
    WrappedText wrap(const std::string& t, const Font&, double, int) override { return {t, {17.3, 15}}; }
};

template <class T>
int selected(const std::vector<Choice<T>>& cs) {
    for (size_t i = 0; i < cs.size(); ++i)
        if (cs[i].selected) return static_cast<int>(i);
    return -1;
}

}  // namespace

TEST_F(TrayTest, TextCountsColumnsMarksASlideAndShowsThePause) {
    startFive();
    item->install();
    EXPECT_EQ(item->text(), "2/5");
    EXPECT_EQ(item->tooltip(), "Desktop 1 · " + wm->statusLine());
    EXPECT_EQ(image().fill, pill::systemBlue);

    strip(0)->raise(4, 0);
    settle();
    strip(0)->raise(1, 0);
    time.drain();
    ASSERT_TRUE(strip(0)->scrolling);
    EXPECT_EQ(item->text(), "‹ 2/5 ›");
    settle();
    EXPECT_EQ(item->text(), "2/5");

    wm->paused.set(true);
    time.drain();
    EXPECT_EQ(item->text(), "II");
    EXPECT_FALSE(image().on);
    EXPECT_EQ(image().fill, pill::offOnLight);
    EXPECT_EQ(image().textColor, pill::nearBlack);
    EXPECT_EQ(image(true).fill, pill::offOnDark);
    EXPECT_EQ(image(true).textColor, pill::white);

    wm->stop(false);
    EXPECT_EQ(statusText(*wm), "");  // off outranks the pause
}

TEST_F(TrayTest, ImageWidthFollowsTheMascotAndTheRoundedUpText) {
    // No text, no mascot size: 17 + 6 + 6 + 2.
    PillImage p = PillImage::make(*wm, false, false, std::nullopt, metrics);
    EXPECT_EQ(p.size, (Size{31, 22}));
    EXPECT_EQ(p.mascot, Rect(6, 3, 17, 16));
    EXPECT_EQ(p.pill, Rect(1, 2, 29, 18));

    startFive();
    // A 20 x 30 mascot drawn 16 high is 32/3 wide; "2/5" is 18 wide.
    const double mw = 32.0 / 3;
    p = PillImage::make(*wm, false, false, Size{20, 30}, metrics);
    EXPECT_NEAR(p.size.width, mw + 6 + 18 + 6 + 8 + 2, 1e-9);
    EXPECT_NEAR(p.textFrame.x, mw + 13, 1e-9);
    EXPECT_EQ(p.textFrame.y, 4);

    FractionalMetrics fractional;
    p = PillImage::make(*wm, false, false, Size{16, 16}, fractional);
    EXPECT_EQ(p.size.width, 16 + 6 + 18 + 6 + 8 + 2);
}

TEST_F(TrayTest, BadgeOnlyWithoutThePermissionOutlineOnlyWhileThePopoverIsOpen) {
    startFive();
    item->install();
    EXPECT_FALSE(image().badge);
    EXPECT_FALSE(image().outline);
    item->toggle();
    ASSERT_TRUE(image().outline);
    EXPECT_EQ(image().outline->color, (Rgba{0, 122 / 255.0, 1, 0.4}));
    item->toggle();
    EXPECT_FALSE(image().outline);

    // A window that wants attention: the pill's badge and its mark on every strip view, until it is focused.
    const AXElement wants = strip(0)->cols[3].items[0].el;
    sim.setDemandsAttention(wants, true);
    settle();
    EXPECT_TRUE(image().badge);
    EXPECT_TRUE(model().strip.tiles.at(3).windows.at(0).attention);
    EXPECT_FALSE(model().strip.tiles.at(2).windows.at(0).attention);
    EXPECT_TRUE(HUDView::make(*wm, false, metrics).tiles.at(3).windows.at(0).attention);
    EXPECT_TRUE(OverviewModel::make(*wm, sim, {}, metrics, Size{1920, 1080}).sections.at(0).columns.at(3).cards.at(0).attention);
    sim.focusWindow(wants);
    settle();
    EXPECT_FALSE(image().badge);
    EXPECT_FALSE(model().strip.tiles.at(3).windows.at(0).attention);

    sim.setTrusted(false);
    wm->start();
    const PillImage p = image();
    ASSERT_TRUE(p.badge);
    // Ring and all inside the image, at its right end.
    EXPECT_EQ(p.badge->dot.maxX() + p.badge->ring, p.size.width);
    EXPECT_GE(p.badge->dot.minY() - p.badge->ring, 0);
}

TEST_F(TrayTest, PopoverClearsTheNoteEachWayAndHidingClosesItFirst) {
    startFive();
    prefs->showMenuBar.set(false);
    item->install();
    item->toggle();  // no item, nothing to click
    EXPECT_FALSE(item->popoverShown());

    prefs->showMenuBar.set(true);
    wm->note.set("Moved Notes to Studio Display");
    time.drain();
    EXPECT_EQ(item->tooltip(), "Moved Notes to Studio Display");
    item->toggle();
    EXPECT_TRUE(item->popoverShown());
    EXPECT_EQ(wm->note(), "");
    EXPECT_EQ(item->tooltip(), "Desktop 1 · " + wm->statusLine());

    wm->note.set("Sent");
    item->popoverClosed();
    EXPECT_FALSE(item->popoverShown());
    EXPECT_EQ(wm->note(), "");

    item->toggle();
    seen.clear();
    prefs->showMenuBar.set(false);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), std::make_pair(true, false));  // closed while the item still stood
    EXPECT_EQ(seen.back(), std::make_pair(false, false));
}

TEST_F(TrayTest, ABurstOfChangesRefreshesOnceAndNothingReachesAGoneController) {
    startFive();
    item->install();
    seen.clear();
    wm->note.set("a");
    wm->note.set("b");
    time.drain();
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(item->tooltip(), "b");

    wm->note.set("c");  // a refresh is posted, then its controller goes
    link.disconnect();
    item.reset();
    act.reset();  // it follows the manager too
    time.drain();
    prefs->showMenuBar.set(false);
    EXPECT_EQ(wm->changed.slotCount(), 0u);
}

TEST_F(TrayTest, PopoverShowsWhatAppliesNow) {
    PopoverModel p = model();
    EXPECT_EQ(p.header.state, "Strip is off");
    ASSERT_TRUE(p.strip.empty);
    EXPECT_EQ(p.strip.empty->title, popover::offEmpty);
    EXPECT_FALSE(p.display);
    EXPECT_FALSE(p.permission);
    act->setWidth(0.5);  // no strip: nothing to do, nothing to break

    display("Built-in Display");
    startAndSettle();
    p = model();
    EXPECT_EQ(p.strip.empty->title, popover::noWindows);
    EXPECT_EQ(p.display->rows.at(0).name, "Built-in display");
    EXPECT_FALSE(p.display->sendButton);
    EXPECT_TRUE(p.display->note);

    sim.setTrusted(false);
    wm->start();
    EXPECT_TRUE(model().permission);
    act->takeOver();
    EXPECT_EQ(calls, std::vector<std::string>{"take over"});
}

TEST_F(TrayTest, PopoverOfARunningStripOnTwoDisplays) {
    startFive(true);
    PopoverModel p = model(true);
    EXPECT_EQ(p.header.state, wm->statusLine());
    EXPECT_EQ(p.strip.caption, " · column 2 of 5");
    ASSERT_EQ(p.strip.tiles.size(), 5u);
    EXPECT_EQ(p.strip.tiles[2].help, "Go to column 3");
    EXPECT_TRUE(p.strip.tiles[1].focused);
    EXPECT_EQ(p.display->rows.at(0).detail, "5 windows · own strip");
    EXPECT_EQ(p.display->rows.at(1).name, "Studio Display");
    EXPECT_TRUE(p.display->sendButton);
    EXPECT_FALSE(p.display->note);
    EXPECT_EQ(selected(p.width.choices), 1);  // new columns start at one half
    EXPECT_EQ(selected(p.align.choices), 1);  // center
    EXPECT_EQ(selected(p.layouts.choices), 0);
    EXPECT_TRUE(p.footer.at(2).badge);
    EXPECT_FALSE(model(false).footer.at(2).badge);
    EXPECT_TRUE(p.strip.tilesEnabled && p.display->sendEnabled && p.width.enabled && p.align.enabled && p.layouts.enabled);

    // Paused, what would move a window is disabled, still showing its state.
    wm->paused.set(true);
    p = model();
    EXPECT_EQ(p.header.state, "Paused");
    EXPECT_FALSE(p.strip.tilesEnabled || p.display->sendEnabled || p.width.enabled || p.align.enabled || p.layouts.enabled);
    EXPECT_EQ(selected(p.layouts.choices), 0);
    // Off, alignments and layouts are stored for the next start.
    wm->stop(false);
    p = model();
    EXPECT_TRUE(p.align.enabled && p.layouts.enabled);
}

TEST_F(TrayTest, PopoverChoicesActOnTheStrips) {
    startFive(true);
    StripRef s = wm->cur();
    act->goToColumn(2);
    settle();
    EXPECT_EQ(s->focusC, 2);

    act->setAlign(Align::left);
    EXPECT_EQ(prefs->align(), Align::left);
    for (const StripRef& each : wm->strips()) EXPECT_EQ(each->align(), Align::left);
    EXPECT_TRUE(s->scrolling);  // it slides to the new resting place
    settle();

    act->setWidth(1.0);
    EXPECT_EQ(s->cols[2].frac, 1.0);
    EXPECT_EQ(s->cols[1].frac, 0.5);
    EXPECT_EQ(selected(model().width.choices), 3);

    act->setLayout(Layout::grid22);
    EXPECT_EQ(prefs->layout(), Layout::grid22);
    ASSERT_EQ(s->cols.size(), 3u);
    EXPECT_EQ(s->cols[0].items.size(), 2u);
    EXPECT_EQ(selected(model().layouts.choices), 5);
}

TEST_F(TrayTest, PopoverSwitchPauseEffectsAndFooter) {
    startFive();
    wm->note.set("Sent");
    act->setOn(false);
    EXPECT_FALSE(wm->on());
    EXPECT_TRUE(wm->observers.empty());
    EXPECT_FALSE(prefs->enabled());
    EXPECT_EQ(wm->note(), "");
    prefs->onboarded.set(false);
    act->setOn(true);
    EXPECT_TRUE(wm->on());
    EXPECT_TRUE(prefs->enabled() && prefs->onboarded());

    wm->note.set("Sent");
    act->togglePause();
    EXPECT_TRUE(wm->paused());
    EXPECT_EQ(wm->note(), "");

    prefs->dimLevel.set(0);
    act->setDim(true);
    EXPECT_EQ(prefs->dimLevel(), popover::defaultDimLevel);
    prefs->dimLevel.set(3);
    act->setDim(true);  // already dimming: the strength stays
    EXPECT_EQ(prefs->dimLevel(), 3);
    act->setDim(false);
    act->setBlur(false);
    EXPECT_FALSE(model().effects.dim || model().effects.blur);

    for (FooterButton b : {FooterButton::workspaces, FooterButton::settings, FooterButton::updates, FooterButton::quit})
        act->footer(b);
    EXPECT_EQ(calls, (std::vector<std::string>{"workspaces", "settings", "updates", "quit"}));
}

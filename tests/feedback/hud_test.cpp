#include "tests/feedback/feedback_fixture.h"

using namespace tarvela;
using tarvela::testing::HUDTest;

TEST_F(HUDTest, ShowFadesInOnceAndEveryShowRestartsTheIdlePeriod) {
    startThree();
    EXPECT_FALSE(hud->shown());
    EXPECT_EQ(hud->alpha(), 0);

    hud->show();
    EXPECT_TRUE(hud->shown());
    EXPECT_FALSE(hud->ignoresMouse());
    const double fadeStart = hud->fade().start;
    time.advance(HUDPanel::fadeIn / 2);
    EXPECT_NEAR(hud->alpha(), 0.5, 1e-9);

    time.advance(1.5 - HUDPanel::fadeIn / 2);
    hud->show();  // already shown: no second fade
    EXPECT_EQ(hud->fade().start, fadeStart);
    EXPECT_EQ(hud->alpha(), 1);
    time.advance(1.9);
    EXPECT_TRUE(hud->shown());
    time.advance(0.2);
    EXPECT_FALSE(hud->shown());
    EXPECT_TRUE(hud->ignoresMouse());
    EXPECT_EQ(hud->fade().duration, HUDPanel::fadeOut);
    EXPECT_TRUE(hud->orderedIn());  // hidden, not gone: the hover reveal needs it
}

TEST_F(HUDTest, PointerNearTheHUDKeepsItUntilTheExpiryAfterItLeaves) {
    startThree();
    hud->show();
    const Rect f = hud->frame();
    pointer = Point{f.maxX() + 11, f.midY()};
    time.advance(HUDPanel::idle);
    EXPECT_TRUE(hud->shown());
    pointer = Point{f.midX(), f.minY() - 13};
    time.advance(1.9);
    EXPECT_TRUE(hud->shown());  // it goes only when the restarted period ends
    time.advance(0.2);
    EXPECT_FALSE(hud->shown());
    time.advance(0.05);  // 0.15 s into the fade
    EXPECT_NEAR(hud->alpha(), 0.5, 1e-9);
}

TEST_F(HUDTest, HoverRevealsAFadedHUDOnlyWhileTheManagerRunsUnpaused) {
    startThree();
    const Rect f = hud->frame();
    pointer = Point{f.minX() - 5, f.midY()};
    hud->mouseMoved();
    EXPECT_TRUE(hud->shown());

    pointer = Point{f.minX() - 30, f.midY()};
    time.advance(HUDPanel::idle + HUDPanel::fadeOut);
    ASSERT_FALSE(hud->shown());
    pointer = Point{f.midX(), f.midY()};
    wm->paused.set(true);
    hud->mouseMoved();  // before the panel has heard of the pause
    EXPECT_FALSE(hud->shown());
    time.drain();
    EXPECT_FALSE(hud->orderedIn());

    wm->paused.set(false);
    time.drain();
    hud->mouseMoved();
    EXPECT_TRUE(hud->shown());
}

TEST_F(HUDTest, OptionsCloseAtTheEndOfAFadeButNotWhenShownAgainDuringIt) {
    startThree();
    hud->show();
    // 2 + 12 + a 48-point tile + 12 + 2; the options row adds 8 + 10 + 30 + 10.
    const double plainHeight = hud->frame().height;
    EXPECT_EQ(plainHeight, 76);
    hud->toggleOptions();
    ASSERT_TRUE(hud->view().optionsRow);
    EXPECT_EQ(hud->frame().height, 76 + 58);
    EXPECT_EQ(hud->frame().minY(), HUDPanel::bottomGap);  // grows upwards

    time.advance(HUDPanel::idle + 0.1);  // fading out
    hud->show();
    time.advance(HUDPanel::fadeOut);
    EXPECT_TRUE(state.opts());

    time.advance(1.95);  // hidden again 0.1 s ago, still fading
    EXPECT_FALSE(hud->shown());
    EXPECT_TRUE(state.opts());
    time.advance(0.25);
    EXPECT_FALSE(state.opts());
    EXPECT_FALSE(hud->view().optionsRow);
    EXPECT_EQ(hud->frame().height, plainHeight);
}

TEST_F(HUDTest, ArrowsStopAtTheEndsOnRowZeroOfThatColumn) {
    display("Built-in Display");
    const int32_t pid = app("Notes");
    std::vector<AXElement> w;
    for (double x : {100, 500, 900, 1300}) w.push_back(window(pid, x, 300));
    startAndSettle();
    StripRef s = strip(0);
    s->raise(1, 0);
    s->stackLeft();
    s->raise(2, 0);
    s->stackLeft();
    settle();
    ASSERT_EQ(columns(0), (tarvela::testing::Columns{{w[0], w[1]}, {w[2], w[3]}}));
    ASSERT_EQ(s->focusC, 1);
    ASSERT_EQ(s->focusR, 1);

    hud->focusNext();
    settle();
    EXPECT_EQ(s->focusC, 1);
    EXPECT_EQ(s->focusR, 0);
    EXPECT_EQ(sim.stackingOrder().front(), w[2]);

    s->raise(0, 1);
    hud->focusPrevious();
    settle();
    EXPECT_EQ(s->focusC, 0);
    EXPECT_EQ(s->focusR, 0);
    EXPECT_EQ(sim.stackingOrder().front(), w[0]);
}

TEST_F(HUDTest, NothingToShowKeepsItOffScreenAndShowDoesNotRevealIt) {
    display("Built-in Display");
    hud->show();  // manager off
    EXPECT_FALSE(hud->orderedIn());
    EXPECT_FALSE(hud->shown());

    startAndSettle();  // a strip without columns
    hud->show();
    hud->focusNext();
    EXPECT_TRUE(hud->view().empty);
    EXPECT_FALSE(hud->orderedIn());
    EXPECT_FALSE(hud->shown());

    window(app("Notes"), 100);
    settle();
    EXPECT_TRUE(hud->shown());  // the new window's activity
    wm->stop(false);
    time.drain();
    EXPECT_FALSE(hud->orderedIn());
    EXPECT_FALSE(hud->shown());
    EXPECT_EQ(hud->alpha(), 0);  // at once
    EXPECT_FALSE(hud->idleTimerRunning());
}

TEST_F(HUDTest, ContentFollowsTheStripAndSitsAtTheBottomCentreOfItsDisplay) {
    EXPECT_EQ(hudStatus(1, 5, 60, 0), "Column 2 of 5 · 60% · Display 1");

    display("Built-in Display");
    display("DELL U2720Q");
    const int32_t pid = app("mail");
    const AXElement a = window(pid, 100);
    window(pid, 800);
    window(pid, 2100);  // on the second display
    startAndSettle();
    StripRef s = strip(0);
    s->raise(1, 0);
    s->stackLeft();
    time.advance(HUDPanel::idle + HUDPanel::fadeOut);

    // A glyph does what it shows, and only while the HUD is shown.
    ASSERT_EQ(hud->view().tiles.size(), 1u);
    const Point first = HUDTest::centre(hud->view().tiles[0].windows[0].frame);
    hud->click(first);
    EXPECT_EQ(s->focusR, 1);
    hud->show();
    hud->click(first);
    EXPECT_EQ(s->focusR, 0);

    hud->toggleOptions();
    const HUDView& v = hud->view();
    EXPECT_EQ(v.tiles[0].iconSize, hud::iconStacked);
    ASSERT_EQ(v.tiles[0].windows.size(), 2u);
    EXPECT_EQ(v.tiles[0].windows[1].label, "Go to mail");
    EXPECT_EQ(v.tiles[0].windows[1].letter, "M");
    const HUDControl* status = v.control(HUDPart::options);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->text, "Desktop 1 · Column 1 of 1 · " + std::to_string(s->fit.pct) + "% · Display 1");
    std::vector<std::string> row;
    for (const HUDControl& ctl : v.controls) row.push_back(ctl.label.empty() ? ctl.text : ctl.label);
    EXPECT_EQ(row, (std::vector<std::string>{"Show strip options", "⌃", "⌥", "Focus previous column",
                                             "Focus next column", "Move column left", "Move column right", "", "Narrower",
                                             std::to_string(s->fit.pct) + "%", "Wider", "Send to DELL"}));
    hud->click(HUDTest::centre(v.control(HUDPart::send)->frame));
    settle();
    EXPECT_EQ(stripOf(a), 1);

    // The second display's strip, once it is the current one.
    wm->displayIdx.set(1);
    time.drain();
    const Rect f = hud->frame();
    EXPECT_EQ(f.midX(), 1920 + 960);
    EXPECT_EQ(f.minY(), HUDPanel::bottomGap);
    ASSERT_EQ(hud->view().tiles.size(), 2u);
    EXPECT_EQ(hud->view().tiles[0].iconSize, hud::iconSingle);
    EXPECT_EQ(hud->view().control(HUDPart::send)->text, "Send to Built-in");
}

TEST_F(HUDTest, WidthButtonsStepTheFocusedColumnAndOneDisplayHasNoSend) {
    startThree();
    hud->show();
    hud->toggleOptions();
    EXPECT_FALSE(hud->view().control(HUDPart::send));
    const int before = strip(0)->fit.pct;
    hud->click(HUDTest::centre(hud->view().control(HUDPart::wider)->frame));
    settle();
    const int wider = strip(0)->fit.pct;
    EXPECT_GT(wider, before);
    EXPECT_EQ(hud->view().control(HUDPart::percent)->text, std::to_string(wider) + "%");
    hud->click(HUDTest::centre(hud->view().control(HUDPart::narrower)->frame));
    settle();
    EXPECT_LT(strip(0)->fit.pct, wider);

    // The move buttons carry the focused column along.
    const AXElement moved = strip(0)->focusedItem()->el;
    const int from = strip(0)->focusC;
    hud->click(HUDTest::centre(hud->view().control(from > 0 ? HUDPart::moveLeft : HUDPart::moveRight)->frame));
    settle();
    EXPECT_EQ(strip(0)->find(moved)->first, from > 0 ? from - 1 : from + 1);
}

TEST_F(HUDTest, TimersAndPostsAfterThePanelIsGoneDoNothing) {
    startThree();
    hud->show();
    hud->toggleOptions();
    time.advance(HUDPanel::idle);  // fading, its end pending
    wm->paused.set(true);          // a re-placing posted
    wm->onActivity = nullptr;
    hud.reset();
    time.advance(HUDPanel::idle);
    EXPECT_TRUE(state.opts());
}

TEST_F(HUDTest, TilesEaseToTheirHoverAndFocusLooksOnTheClock) {
    startThree();
    strip(0)->raise(0, 0);
    settle();
    hud->hoverTile(1);
    time.advance(hud::hoverAnimation / 2);  // eased out: past half way at half the time
    const double growing = hud->tileLook(1).scale;
    EXPECT_TRUE(growing > 1.03 && growing < hud::hoverScale) << growing;
    time.advance(hud::hoverAnimation);
    EXPECT_EQ(hud->tileLook(1).scale, hud::hoverScale);

    // The focus comes to the hovered tile, which loses its growth, over the longer focus time.
    strip(0)->raise(1, 0);
    time.advance(hud::focusAnimation / 2);
    const double accent = hud->tileLook(1).accent;
    EXPECT_TRUE(accent > 0.5 && accent < 1) << accent;
    time.advance(hud::focusAnimation);
    EXPECT_EQ(hud->tileLook(1).scale, 1);
    EXPECT_EQ(hud->tileLook(0).glyphOpacity, hud::glyphDimOpacity);
    EXPECT_FALSE(hud->tilesMoving());
}

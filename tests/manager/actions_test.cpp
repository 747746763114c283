// The actions that move columns, walk a stack, reshape and close, on the
// simulated desktop: what the strip holds, what has the focus, and where the
// windows really are once the strip is at rest.
#include <algorithm>

#include "core/strip_geometry.h"
#include "core/window_access.h"
#include "tests/manager/manager_fixture.h"

namespace tarvela::testing {
namespace {

class ActionsTest : public ManagerTest {
protected:
    int32_t pid = 0;
    std::vector<AXElement> w;

    void startFour(double width = 0.25) {
        display("Built-in Display");
        prefs->defaultWidth.set(width);
        pid = app("Safari");
        for (int i = 0; i < 4; ++i) w.push_back(window(pid, 100 + 300 * i, 400));
        sim.focusWindow(w[0]);
        startAndSettle();
    }
    // Every column's windows stand one gap right of the column before, as the columns are ordered.
    void expectOnScreenInOrder() {
        std::optional<double> right;
        for (const Col& c : strip(0)->cols) {
            const double x = sim.frameOf(c.items.front().el)->minX();
            if (right) {
                EXPECT_NEAR(x, *right + geom::gap, 0.5) << "columns overlap or stand apart";
            }
            for (const Item& it : c.items) EXPECT_EQ(sim.frameOf(it.el)->minX(), x);
            right = x + sim.frameOf(c.items.front().el)->width;
        }
    }
};

TEST_F(ActionsTest, MovingStackingAndWalkingTheStrip) {
    startFour();
    wm->perform(Action::wider, 0);  // a wider than the rest: widths must travel with their columns
    const AXElement a = w[0], b = w[1], c = w[2], d = w[3];
    struct Step {
        Action action;
        Columns cols;
        int focusC, focusR;
    };
    const Step steps[] = {
        {Action::moveRight, {{b}, {a}, {c}, {d}}, 1, 0},
        {Action::moveLast, {{b}, {c}, {d}, {a}}, 3, 0},
        {Action::moveRight, {{b}, {c}, {d}, {a}}, 3, 0},  // already last
        {Action::moveFirst, {{a}, {b}, {c}, {d}}, 0, 0},
        {Action::moveLeft, {{a}, {b}, {c}, {d}}, 0, 0},  // already first
        {Action::stackRight, {{b, a}, {c}, {d}}, 0, 1},
        {Action::focusUp, {{b, a}, {c}, {d}}, 0, 0},
        {Action::focusUp, {{b, a}, {c}, {d}}, 0, 0},  // the top stays the top
        {Action::focusDown, {{b, a}, {c}, {d}}, 0, 1},
        {Action::unstack, {{b}, {a}, {c}, {d}}, 1, 0},
        {Action::unstack, {{b}, {a}, {c}, {d}}, 1, 0},  // alone in its column already
        {Action::focusLast, {{b}, {a}, {c}, {d}}, 3, 0},
        {Action::stackRight, {{b}, {a}, {c}, {d}}, 3, 0},  // nothing on its right
        {Action::moveLeft, {{b}, {a}, {d}, {c}}, 2, 0},
        {Action::focusFirst, {{b}, {a}, {d}, {c}}, 0, 0},
        {Action::stackRight, {{a, b}, {d}, {c}}, 0, 1},
        {Action::stackRight, {{b}, {a}, {d}, {c}}, 0, 0},  // a stacked window leaves to the left
    };
    int n = 0;
    for (const Step& st : steps) {
        SCOPED_TRACE("step " + std::to_string(n++));
        wm->perform(st.action, 0);
        settle();
        StripRef s = strip(0);
        EXPECT_EQ(columns(0), st.cols);
        EXPECT_EQ(s->focusC, st.focusC);
        EXPECT_EQ(s->focusR, st.focusR);
        EXPECT_EQ(sim.focusedWindow(pid), s->cols[static_cast<size_t>(st.focusC)].items[static_cast<size_t>(st.focusR)].el);
        EXPECT_EQ(s->checkInvariants(), "");
        expectOnScreenInOrder();
    }
    // The settled order is what a rebuild brings back.
    wm->rebuild();
    settle();
    EXPECT_EQ(columns(0), steps[std::size(steps) - 1].cols);
}

TEST_F(ActionsTest, FullWidthCenteringFullScreenAndClosing) {
    startFour(0.5);
    wm->setAlign(Align::left);
    wm->perform(Action::jump, 2);
    settle();
    StripRef s = strip(0);
    const double U = s->usableWidth();

    wm->perform(Action::fullWidth, 0);
    settle();
    EXPECT_EQ(sim.frameOf(w[1])->width, geom::widthFor(1.0, U));
    wm->perform(Action::fullWidth, 0);
    settle();
    EXPECT_EQ(s->cols[1].frac, 0.5);
    EXPECT_EQ(sim.frameOf(w[1])->width, geom::widthFor(0.5, U));

    // Centred once; the alignment stays left, and the next move goes by it.
    wm->perform(Action::centerColumn, 0);
    settle();
    const Rect vr = s->visibleRect();
    EXPECT_NEAR(sim.frameOf(w[1])->midX(), vr.midX(), 1);
    EXPECT_EQ(prefs->align(), Align::left);
    wm->perform(Action::focusNext, 0);
    settle();
    EXPECT_NEAR(sim.frameOf(w[2])->minX(), vr.minX() + geom::margin, 0.5);

    wm->perform(Action::fullScreen, 0);
    settle();
    EXPECT_EQ(attr<bool>(sim, w[2], ax::FullScreen), true);
    EXPECT_FALSE(strip(0)->find(w[2]));
    wm->perform(Action::fullScreen, 0);
    settle();
    EXPECT_EQ(attr<bool>(sim, w[2], ax::FullScreen), false);
    EXPECT_EQ(strip(0)->find(w[2])->first, 2);

    sim.focusWindow(w[3]);
    settle();
    wm->perform(Action::closeWindow, 0);
    settle();
    EXPECT_TRUE(sim.isClosed(w[3]));
    EXPECT_EQ(columns(0), (Columns{{w[0]}, {w[1]}, {w[2]}}));
}


TEST_F(ActionsTest, FocusFollowsTheMouseIntoWholeColumnsOnlyAndNeverSlides) {
    startFour(0.4);  // columns 0 and 1 wholly on screen, 2 partly, 3 not at all
    StripRef s = strip(0);
    const Rect vr = s->visibleRect();
    // Screen coordinates of a point in the middle of window w[i], as the pointer reports them.
    auto over = [&](int i) {
        const Rect f = *sim.frameOf(w[static_cast<size_t>(i)]);
        const double x = std::clamp(f.midX(), vr.minX() + 5, vr.maxX() - 5);
        return axRect(sim, Rect(x, f.midY(), 0, 0)).origin();
    };
    const Rect before = *sim.frameOf(w[1]);

    wm->pointerMoved(over(1));  // off by default
    settle();
    EXPECT_EQ(s->focusC, 0);

    prefs->focusFollowsMouse.set(true);
    wm->pointerMoved(over(1));
    settle();
    EXPECT_EQ(s->focusC, 1);
    EXPECT_EQ(sim.focusedWindow(pid), w[1]);
    EXPECT_EQ(*sim.frameOf(w[1]), before) << "the strip slid";

    // The keyboard moves on; the pointer resting in the same window takes nothing back.
    wm->perform(Action::focusPrev, 0);
    settle();
    wm->pointerMoved(over(1));
    EXPECT_EQ(s->focusC, 0);
    wm->pointerMoved(over(2));  // partly hidden: never
    settle();
    EXPECT_EQ(s->focusC, 0);
    wm->pointerMoved(over(1));
    settle();
    EXPECT_EQ(s->focusC, 1);

    wm->paused.set(true);
    wm->pointerMoved(over(0));
    settle();
    EXPECT_EQ(s->focusC, 1);
}


TEST_F(ActionsTest, AWindowDraggedByHandDropsIntoAStackOrBetweenColumns) {
    startFour();
    const AXElement a = w[0], b = w[1], c = w[2], d = w[3];
    auto dropMiddleAt = [&](const AXElement& el, double x, double y) {
        const Rect f = *sim.frameOf(el);
        sim.dragWindow(el, Point{x - f.width / 2, y - f.height / 2});
        sim.mouseUp();
        settle();
    };
    // Over the upper half of c: on top of c's stack.
    const Rect fc = *sim.frameOf(c);
    dropMiddleAt(a, fc.midX(), fc.minY() + fc.height / 4);
    EXPECT_EQ(columns(0), (Columns{{b}, {a, c}, {d}}));
    // Into the gap between b and the stack: a column of its own there.
    const double gap = (sim.frameOf(b)->maxX() + sim.frameOf(a)->minX()) / 2;
    dropMiddleAt(d, gap, sim.frameOf(b)->midY());
    EXPECT_EQ(columns(0), (Columns{{b}, {d}, {a, c}}));
    EXPECT_EQ(strip(0)->checkInvariants(), "");
    expectOnScreenInOrder();
}

// During a drag the marker shows where a release would drop the window: an
// upright bar in the gap it would fill, a flat one across the stack it would
// join, nothing where it would go back; the drag's end hides it either way.
TEST_F(ActionsTest, TheDropMarkerFollowsADragUntilItIsReleasedOrCalledOff) {
    startFour();
    const AXElement a = w[0], b = w[1], c = w[2];
    const Rect home = *sim.frameOf(a), fb = *sim.frameOf(b), fc = *sim.frameOf(c);
    auto dragMiddleTo = [&](double x, double y) {
        sim.dragWindow(a, Point{x - home.width / 2, y - home.height / 2});
        settle();
        return sim.dropMarker();
    };
    const Rect fd = *sim.frameOf(w[3]);
    EXPECT_FALSE(dragMiddleTo(home.midX() + 30, home.midY())) << "marked its own place";
    const bool upright = true, flat = false;
    const struct {
        Point middle;
        bool upright;
        Rect within;  // where the bar must lie
    } cases[] = {
        {{(fb.maxX() + fc.minX()) / 2, fb.midY()}, upright, Rect(fb.maxX(), 0, fc.minX() - fb.maxX(), 2000)},
        {{fd.maxX() - fd.width / 8, fd.midY()}, upright, Rect(fd.maxX(), 0, geom::gap, 2000)},
        {{fc.midX(), fc.maxY() - fc.height / 4}, flat, Rect(fc.minX(), fc.maxY(), fc.width, 2000)},
        {{fc.midX(), fc.minY() + fc.height / 4}, flat, Rect(fc.minX(), 0, fc.width, fc.minY())},
    };
    auto inside = [](const Rect& outer, const Rect& r) {
        return r.minX() >= outer.minX() && r.maxX() <= outer.maxX() && r.minY() >= outer.minY() && r.maxY() <= outer.maxY();
    };
    for (const auto& k : cases) {
        const auto m = dragMiddleTo(k.middle.x, k.middle.y);
        ASSERT_TRUE(m) << k.middle.x << "," << k.middle.y;
        EXPECT_TRUE(inside(k.within, *m) && (k.upright ? m->height > 10 * m->width : m->width > 10 * m->height))
            << k.middle.x << "," << k.middle.y << ": " << m->x << "," << m->y << " " << m->width << "x" << m->height;
    }
    sim.cancelDrag();
    settle();
    EXPECT_FALSE(sim.dropMarker());
    dragMiddleTo((fb.maxX() + fc.minX()) / 2, fb.midY());
    sim.mouseUp();
    settle();
    EXPECT_FALSE(sim.dropMarker());
    EXPECT_EQ(columns(0), (Columns{{b}, {a}, {c}, {w[3]}}));
}

}  // namespace
}  // namespace tarvela::testing

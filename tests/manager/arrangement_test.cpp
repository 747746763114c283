#include <cmath>
#include <functional>

#include "tests/manager/manager_fixture.h"

using namespace tarvela;
using tarvela::testing::Columns;
using tarvela::testing::ManagerTest;

namespace tarvela {
// For failure messages.
void PrintTo(const Arrangement& a, std::ostream* os) {
    *os << "desktop " << a.desktop << " on " << a.focusDisplay << ";";
    for (const StripPlan& s : a.strips) {
        *os << " [" << s.display << " " << s.desktop << " focus " << s.focusC << "," << s.focusR << " at " << s.offset;
        for (const ColumnPlan& c : s.columns) {
            *os << " (";
            for (uint32_t n : c.windows) *os << n << " ";
            *os << c.frac << ")";
        }
        *os << "]";
    }
    for (const FloatPlan& f : a.floating) *os << " float " << f.window << " on " << f.desktop;
}
}  // namespace tarvela

namespace {
// Two displays; on the left a stack and a widened column, on the right three
// columns slid off their resting place, one window sent to desktop 2, one
// floating, and desktop 2 shown.
class ArrangementTest : public ManagerTest {
protected:
    int32_t term = 0;
    AXElement a, b, c, d, e, g, f;
    void SetUp() override {
        ManagerTest::SetUp();
        display("Left");
        display("Right");
        term = app("Term");
        a = window(term, 100);
        b = window(term, 700);
        c = window(term, 1300);
        d = window(term, 2100);
        e = window(term, 2700);
        g = window(term, 3300);
        f = window(term, 3500);
        sim.focusWindow(a);
        startAndSettle();
        wm->raise(1, 0);
        settle();
        wm->perform(Action::stackLeft, 0);  // b under a
        wm->perform(Action::wider, 0);
        settle();
        sim.focusWindow(c);
        settle();
        wm->sendToDesktop(1, false);
        sim.focusWindow(f);
        settle();
        wm->perform(Action::floatToggle, 0);
        sim.focusWindow(d);
        settle();
        wm->scrollBy(137);
        wm->showDesktop(1);
    }
    uint32_t number(const AXElement& el) { return *sim.windowNumber(el); }
    // Tarvela again on the same desktop, starting with a plan.
    void restartWith(const Arrangement& plan) {
        wm.reset();
        wm = makeManager();
        wm->startWith(plan);
    }
};
}  // namespace

TEST_F(ArrangementTest, CapturedArrangementComesBackWithoutASlideAndHostilePlansBreakNothing) {
    const Arrangement left = wm->arrangement();
    ASSERT_EQ(left.strips.size(), 8u);  // four desktops, two displays
    ASSERT_EQ(left.strips[0].columns, (std::vector<ColumnPlan>{{{number(a), number(b)}, 2.0 / 3}}));
    ASSERT_EQ(left.strips[2].columns, (std::vector<ColumnPlan>{{{number(c)}, 0.5}}));
    ASSERT_EQ(left.floating, (std::vector<FloatPlan>{{number(f), 0}}));
    ASSERT_EQ(left.desktop, 1);
    const double slid = left.strips[1].offset;
    ASSERT_NE(slid, 0);

    struct Case {
        const char* name;
        std::function<void(Arrangement&)> forge;
        std::function<void(Arrangement&)> expect;
    };
    auto same = [](Arrangement&) {};
    const Case cases[] = {
        {"as left", same, same},
        {"strangers, repeats and displays not there",
         [&](Arrangement& p) {
             p.strips[0].columns[0].windows.insert(p.strips[0].columns[0].windows.begin(), 999999);
             p.strips.back().columns.push_back({{number(a), 0, 424242}, 0.5});  // a second mention
             p.strips.push_back({"Nowhere", 0, {{{number(d)}, 0.5}}, 0, 0, 0});
             p.strips.push_back({"Right", 77, {{{number(e)}, 0.5}}, 0, 0, 0});
             p.floating.push_back({number(d), 0});
             p.floating.push_back({0, 0});
         },
         same},
        {"absurd numbers",
         [&](Arrangement& p) {
             p.strips[0].columns[0].frac = 40;
             p.strips[1].columns[0].frac = std::nan("");
             p.strips[1].focusC = 99;
             p.strips[1].focusR = -5;
             p.strips[1].offset = -1e12;
             p.floating[0].desktop = 55;
             p.desktop = -4;
             p.focusDisplay = "Nowhere";
         },
         [&](Arrangement& p) {
             p.strips[0].columns[0].frac = 1;
             p.strips[0].offset = 0;  // one column as wide as the display
             p.strips[1].columns[0].frac = prefs->defaultWidth();
             p.strips[1].focusC = 2;  // the last column, its top window
             p.strips[1].focusR = 0;
             p.strips[1].offset = 0;
             p.floating[0].desktop = 3;
             p.desktop = 0;
         }},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Arrangement plan = left, want = left;
        k.forge(plan);
        k.expect(want);
        restartWith(plan);
        EXPECT_TRUE(wm->restoredInPlace());
        // Each strip started where the plan left it: nothing slides after.
        for (int dk = 0; dk < wm->desktopCount(); ++dk)
            for (const StripRef& s : wm->stripsOf(dk)) EXPECT_FALSE(s->animating);
        sim.resetCounts();
        settle();
        EXPECT_EQ(sim.totals().position, 0);
        EXPECT_EQ(wm->arrangement(), want);
        EXPECT_TRUE(isFloating(f));
        EXPECT_TRUE(wm->checkInvariants().empty());
    }
    // A plan naming no window that exists places nothing.
    restartWith(Arrangement{{{"Left", 0, {{{424242}, 0.5}}, 0, 0, 0}}, {}, 0, "Left"});
    EXPECT_FALSE(wm->restoredInPlace());
    int windows = 0;
    for (int dk = 0; dk < wm->desktopCount(); ++dk) windows += wm->windowCount(dk);
    EXPECT_EQ(windows, 7);
}

TEST_F(ManagerTest, ColumnsOfAnUnpluggedDisplayJoinAsAGroupAndGoBackWhenItReturns) {
    display("Left");
    const uint64_t right = display("Right");
    const int32_t p = app("Term");
    AXElement a = window(p, 100), b = window(p, 700);
    AXElement d = window(p, 2000), e = window(p, 2400), g = window(p, 2800);
    AXElement c = window(p, 3200);  // to desktop 2 on the right
    sim.focusWindow(c);
    startAndSettle();
    wm->sendToDesktop(1, false);
    sim.focusWindow(e);
    settle();
    wm->perform(Action::wider, 0);
    wm->scrollBy(101);
    sim.focusWindow(a);
    settle();
    const Columns leftCols = columns(0), rightCols = columns(1);
    ASSERT_EQ(leftCols, (Columns{{a}, {b}}));
    ASSERT_EQ(rightCols, (Columns{{d}, {e}, {g}}));
    const std::vector<double> rightFracs = fracs(1);
    const int rightFocus = strip(1)->focusC;
    const double rightOffset = strip(1)->offset, leftOffset = strip(0)->offset;
    ASSERT_EQ(rightFocus, 1);
    ASSERT_EQ(wm->stripsOf(1)[1]->cols.size(), 1u);

    sim.removeDisplay(right);
    settle();
    ASSERT_EQ(wm->strips().size(), 1u);
    // Right after the focused column, in their order and widths; the strip
    // the user looks at stays where it was.
    EXPECT_EQ(columns(0), (Columns{{a}, {d}, {e}, {g}, {b}}));
    EXPECT_EQ(fracs(0), (std::vector<double>{0.5, rightFracs[0], rightFracs[1], rightFracs[2], 0.5}));
    EXPECT_EQ(strip(0)->focusC, 0);
    EXPECT_EQ(strip(0)->offset, leftOffset);
    EXPECT_EQ(columns(*wm->stripsOf(1)[0]), (Columns{{c}}));
    // Opened meanwhile: it stays where the ordinary way puts it.
    AXElement h = window(p, 1500);
    settle();

    display("Right");
    settle();
    ASSERT_EQ(wm->strips().size(), 2u);
    EXPECT_EQ(columns(0), (Columns{{a}, {b}, {h}}));
    EXPECT_EQ(columns(1), rightCols);
    EXPECT_EQ(fracs(1), rightFracs);
    EXPECT_EQ(strip(1)->focusC, rightFocus);
    EXPECT_EQ(strip(1)->offset, rightOffset);
    EXPECT_EQ(columns(*wm->stripsOf(1)[1]), (Columns{{c}}));
    EXPECT_TRUE(wm->checkInvariants().empty());
}

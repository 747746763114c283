// Windows that want attention, the focus policy, and minimised windows coming
// back to their place.
#include "manager/focus_policy.h"
#include "tests/manager/manager_fixture.h"

namespace tarvela::testing {
namespace {

constexpr auto App = ActivationSource::Application;
constexpr auto Pager = ActivationSource::Pager;
constexpr auto Own = ActivationSource::Tarvela;

TEST(FocusPolicy, WhoMayTakeTheFocus) {
    struct Case {
        FocusPolicy policy;
        ActivationSource source;
        std::optional<int64_t> userTime, lastInput;
        bool focus;
    };
    const std::optional<int64_t> none;
    const Case cases[] = {
        {FocusPolicy::smart, App, 500, 400, true},    // the user asked after typing elsewhere
        {FocusPolicy::smart, App, 500, 500, true},
        {FocusPolicy::smart, App, 300, 400, false},   // typing elsewhere since
        {FocusPolicy::smart, App, none, 400, true},   // nothing known: as before
        {FocusPolicy::smart, App, 300, none, true},   // no other window had input
        {FocusPolicy::smart, App, 0, none, false},    // asked not to be focused
        {FocusPolicy::smart, Pager, 300, 400, true},  // the user's own click in a taskbar
        {FocusPolicy::smart, Own, 0, 400, true},
        {FocusPolicy::always, App, 300, 400, true},
        {FocusPolicy::always, App, 0, 400, true},
        {FocusPolicy::never, App, 500, 400, false},
        {FocusPolicy::never, App, none, none, false},
        {FocusPolicy::never, Pager, 300, 400, true},
        {FocusPolicy::never, Own, none, none, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(grantsFocus(c.policy, c.source, c.userTime, c.lastInput), c.focus)
            << static_cast<int>(c.policy) << " " << static_cast<int>(c.source) << " " << c.userTime.value_or(-1) << " "
            << c.lastInput.value_or(-1);
    EXPECT_EQ(focusPolicyFrom(0), FocusPolicy::smart);
    EXPECT_EQ(focusPolicyFrom(2), FocusPolicy::never);
    EXPECT_EQ(focusPolicyFrom(7), FocusPolicy::smart);
}

TEST_F(ManagerTest, AttentionMarksComeInOrderAndClear) {
    display("Built-in Display");
    const int32_t pid = app("Term");
    AXElement a = window(pid, 100), b = window(pid, 800), c = window(pid, 1500);
    startAndSettle();
    sim.focusWindow(a);
    settle();

    sim.setDemandsAttention(c, true);
    sim.setDemandsAttention(b, true);
    sim.setDemandsAttention(a, true);  // the focused window: nothing to mark
    settle();
    EXPECT_EQ(wm->attention(), (std::vector<AXElement>{c, b}));

    // The jump goes to the longest waiting, and focusing clears its mark.
    wm->perform(Action::focusUrgent, 0);

    settle();
    EXPECT_EQ(sim.focusedWindow(pid), c);
    EXPECT_EQ(strip(0)->focusC, 2);
    EXPECT_EQ(wm->attention(), (std::vector<AXElement>{b}));

    // The client withdraws; a closing window takes its mark along.
    sim.setDemandsAttention(b, false);
    settle();
    EXPECT_TRUE(wm->attention().empty());
    sim.setDemandsAttention(b, true);
    settle();
    sim.closeWindow(b);
    settle();
    EXPECT_TRUE(wm->attention().empty());
    wm->perform(Action::focusUrgent, 0);  // nothing waits: nothing moves
    settle();
    EXPECT_EQ(sim.focusedWindow(pid), c);
}

TEST_F(ManagerTest, RequestsAndNewWindowsDoNotStealTheFocusFromTyping) {
    display("Built-in Display");
    const int32_t term = app("Term"), chat = app("Chat");
    AXElement typing = window(term, 100);
    AXElement other = window(chat, 800);
    startAndSettle();
    sim.focusWindow(typing);
    settle();
    sim.setUserTime(typing, 1000);

    // An application's request from before the typing is refused and marked...
    sim.requestActivation(other, App, 900);
    settle();
    EXPECT_EQ(sim.focusedWindow(term), typing);
    EXPECT_EQ(strip(0)->focusedItem()->el, typing);
    EXPECT_EQ(wm->attention(), (std::vector<AXElement>{other}));
    auto shownToTaskbars = [&](const AXElement& el) { return attr<bool>(sim, el, ax::DemandsAttention).value_or(false); };
    EXPECT_TRUE(shownToTaskbars(other));
    // ...a taskbar's is the user's own.
    sim.requestActivation(other, Pager, 900);
    settle();
    EXPECT_EQ(strip(0)->focusedItem()->el, other);
    EXPECT_TRUE(wm->attention().empty());
    EXPECT_FALSE(shownToTaskbars(other));

    // A window that opens with an old user time joins without the focus.
    sim.focusWindow(typing);
    settle();
    const size_t shown = static_cast<size_t>(strip(0)->focusC);
    AXElement popup = sim.addWindow(chat, Rect(1200, 100, 600, 500), WindowSpec{.userTime = 950});
    settle();
    EXPECT_EQ(strip(0)->find(popup).has_value(), true);
    EXPECT_EQ(strip(0)->focusedItem()->el, typing);
    EXPECT_EQ(static_cast<size_t>(strip(0)->focusC), shown);
    EXPECT_EQ(sim.frontmostApplication()->pid, term);
    EXPECT_EQ(wm->attention(), (std::vector<AXElement>{popup}));
    EXPECT_TRUE(shownToTaskbars(popup));

    // A floating window that opens asking not to be focused (a tool window,
    // in front of the user already) is not, and wants no attention for it.
    AXElement quiet =
        sim.addWindow(chat, Rect(1250, 100, 600, 500), WindowSpec{.subrole = std::string(ax::Dialog), .userTime = 0});
    settle();
    sim.requestActivation(quiet, App, 0);  // as the window system asks for each window it maps
    settle();
    EXPECT_EQ(strip(0)->focusedItem()->el, typing);
    EXPECT_EQ(wm->attention(), (std::vector<AXElement>{popup}));
    EXPECT_FALSE(shownToTaskbars(quiet));

    // "Always focus" lets it through.
    prefs->focusPolicy.set(1);
    AXElement later = sim.addWindow(chat, Rect(1300, 100, 600, 500), WindowSpec{.userTime = 960});
    settle();
    EXPECT_EQ(strip(0)->focusedItem()->el, later);
}

TEST_F(ManagerTest, AMinimisedWindowRestoredFromATaskbarComesBackToItsPlace) {
    display("Built-in Display");
    const int32_t pid = app("Editor");
    AXElement a = window(pid, 100), b = window(pid, 700), c = window(pid, 1300), d = window(pid, 1900);
    startAndSettle();
    strip(0)->setWidth(1.0 / 3);  // a's column: the focused one after a click
    sim.focusWindow(b);
    settle();
    strip(0)->stackLeft();  // b under a
    settle();
    ASSERT_EQ(columns(0), (Columns{{a, b}, {c}, {d}}));
    sim.focusWindow(c);
    settle();
    strip(0)->setWidth(2.0 / 3);
    settle();
    const double cFrac = strip(0)->cols[1].frac;

    sim.setMinimized(c, true);
    sim.setMinimized(b, true);
    settle();
    ASSERT_EQ(columns(0), (Columns{{a}, {d}}));
    sim.focusWindow(d);
    settle();

    sim.requestActivation(c, Pager);
    settle();
    EXPECT_EQ(columns(0), (Columns{{a}, {c}, {d}}));
    EXPECT_EQ(strip(0)->cols[1].frac, cFrac);
    EXPECT_EQ(strip(0)->focusedItem()->el, c);
    sim.requestActivation(b, Pager);
    settle();
    EXPECT_EQ(columns(0), (Columns{{a, b}, {c}, {d}}));
    EXPECT_EQ(strip(0)->focusedItem()->el, b);
}

}  // namespace
}  // namespace tarvela::testing

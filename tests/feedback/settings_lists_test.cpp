#include "feedback/settings_dialogs.h"
#include "feedback/shortcuts_pane.h"
#include "feedback/store_panes.h"
#include "tests/feedback/settings_fixture.h"

using namespace tarvela;
using tarvela::testing::SettingsTest;

namespace {

constexpr uint64_t ctrl = eventflags::control, opt = eventflags::option;

const ShortcutRow& rowFor(const ShortcutsView& v, Action a) {
    for (const ShortcutGroup& g : v.groups)
        for (const ShortcutRow& r : g.rows)
            if (r.action == a) return r;
    throw std::runtime_error("no row");
}

std::string joined(const std::vector<std::string>& caps) {
    std::string s;
    for (auto& c : caps) s += c;
    return s;
}

std::string labels(const std::vector<SlotOption>& options) {
    std::string out;
    for (auto& o : options) out += o.label + " ";
    return out;
}

}  // namespace

TEST_F(SettingsTest, RecordingAShortcutFromThePane) {
    int beeps = 0;
    std::vector<bool> watching;
    ShortcutsPane pane(*hotkeys, [&] { ++beeps; });
    pane.onRecording = [&](bool on) { watching.push_back(on); };
    const size_t all = keys.registered().size();

    // Recording suspends every global shortcut, so the old combination is recorded, not fired.
    pane.click(Action::wider);
    EXPECT_TRUE(keys.registered().empty());
    ShortcutsView v = pane.view();
    EXPECT_EQ(v.hint, "Recording… press the new keys, or click the row again to cancel.");
    EXPECT_EQ(rowFor(v, Action::wider).prompt, "Press new shortcut…");
    EXPECT_TRUE(pane.keyDown({keycode::r, ctrl | opt, "r"}));
    EXPECT_EQ(pane.view().conflict, "⌃⌥R is already used by “Cycle column width”. Try another combination.");
    EXPECT_EQ(beeps, 1);

    // Another row takes the recording over; the keyboard stays watched.
    pane.click(Action::narrower);
    EXPECT_TRUE(pane.keyDown({35, ctrl | opt, "p"}));
    EXPECT_FALSE(pane.recording());
    EXPECT_EQ(watching, (std::vector<bool>{true, false}));
    EXPECT_EQ(keys.registered().size(), all);
    EXPECT_EQ(keys.numberFor(35, modmask::controlOption), position(Action::narrower) + 1u);
    EXPECT_EQ(joined(rowFor(pane.view(), Action::narrower).caps), "⌃⌥P");
    EXPECT_EQ(pane.view().conflict, "");

    // A second click on the recording row cancels; so does leaving the pane.
    pane.click(Action::wider);
    pane.click(Action::wider);
    EXPECT_FALSE(pane.recording());
    pane.click(Action::wider);
    pane.cancel();
    EXPECT_EQ(keys.registered().size(), all);
    EXPECT_EQ(hotkeys->bindings().size(), 1u);

    pane.resetToDefaults();
    EXPECT_TRUE(hotkeys->bindings().empty());
    EXPECT_EQ(joined(rowFor(pane.view(), Action::narrower).caps), "⌃⌥−");
    EXPECT_EQ(keys.numberFor(35, modmask::controlOption), std::nullopt);
}

TEST_F(SettingsTest, SaveDialogOffersFreeSlotsOnlyAndSavesTheCurrentDisplay) {
    desktopOfThree();
    SaveLayoutDialog first(*wm, *workspaces, *hotkeys, closer());
    EXPECT_EQ(labels(first.options()), "None ⌃⌥5 ⌃⌥6 ⌃⌥7 ⌃⌥8 ⌃⌥9 ⌃⌥0 ");
    EXPECT_EQ(first.selected(), 1);
    first.save();
    EXPECT_EQ(closes, 1);
    ASSERT_EQ(workspaces->items().size(), 1u);
    EXPECT_EQ(workspaces->items()[0].name, "Deep work");
    EXPECT_EQ(workspaces->items()[0].slot, 5);
    EXPECT_EQ(workspaces->items()[0].columns.size(), 3u);
    EXPECT_TRUE(slotRegistered(5));

    // Slot 5 is used, and an action holds ⌃⌥8: neither is offered.
    hotkeys->set(Action::wider, {keycode::digits[8], modmask::controlOption, "8"});
    SaveLayoutDialog second(*wm, *workspaces, *hotkeys, closer());
    EXPECT_EQ(labels(second.options()), "None ⌃⌥6 ⌃⌥7 ⌃⌥9 ⌃⌥0 ");
    second.setName("   ");
    second.save();  // no name, no save
    second.setName("Mail");
    second.select(0);
    second.save();
    ASSERT_EQ(workspaces->items().size(), 2u);
    EXPECT_EQ(workspaces->items()[1].slot, std::nullopt);
    EXPECT_EQ(closes, 2);
}

TEST_F(SettingsTest, WorkspacesPaneCardsRestoreAndDelete) {
    desktopOfThree();
    int dialogs = 0;
    WorkspacesPane pane(*workspaces, *wm, [&] { ++dialogs; });
    EXPECT_EQ(pane.view().empty.value_or(PaneEmptyState{}).title, "No saved layouts");
    pane.saveCurrentLayout();
    EXPECT_EQ(dialogs, 1);

    int told = 0;
    Connection c = pane.changed.connect([&] { ++told; });
    wm->saveWorkspace("Code", 7);
    wm->saveWorkspace("Loose", std::nullopt);  // the active one now
    EXPECT_GE(told, 2);
    WorkspacesView v = pane.view();
    ASSERT_EQ(v.cards.size(), 2u);
    EXPECT_EQ(v.cards[0].shortcut + "|" + v.cards[0].restoreButton + "|" + v.cards[0].activeMark, "⌃⌥7|Restore|");
    EXPECT_EQ(v.cards[0].deleteItem, "Delete “Code”");
    EXPECT_EQ(v.cards[1].shortcut + "|" + v.cards[1].restoreButton + "|" + v.cards[1].activeMark,
              "No shortcut|Restored|Active");

    pane.restore(v.cards[0].id);
    settle();
    EXPECT_EQ(pane.view().cards[0].restoreButton, "Restored");
    EXPECT_FALSE(pane.view().cards[1].active);

    // Deleting writes the store and frees the slot's shortcut at once.
    EXPECT_TRUE(slotRegistered(7));
    pane.remove(v.cards[0].id);
    EXPECT_FALSE(slotRegistered(7));
    EXPECT_EQ(WorkspaceStore(defaults).items().size(), 1u);

    // The last session: a card without a shortcut; the pane's one row brings it back at start.
    ASSERT_TRUE(wm->keepLastSession());
    EXPECT_EQ(pane.view().cards.back().name + "|" + pane.view().cards.back().shortcut, "Last session|No shortcut");
    told = 0;
    pane.set("restoreLastSession", 1);
    EXPECT_EQ(pane.rows().at(0).label + "|" + std::to_string(pane.rows()[0].value) + "|" + std::to_string(told),
              "Restore the last session at start|1|1");
}

TEST_F(SettingsTest, RulesPaneEditsTheStoreAtOnce) {
    int dialogs = 0;
    RulesPane pane(*rules, [&] { ++dialogs; });
    RuleRow zoom = pane.view().rows.at(0);
    EXPECT_EQ(zoom.behaviorHelp + "|" + zoom.removeHelp, "Change behavior for Zoom|Remove rule for Zoom");
    EXPECT_EQ(zoom.width, "—");  // floats: no width to choose
    EXPECT_FALSE(zoom.widthMenu);

    int told = 0;
    Connection c = pane.changed.connect([&] { ++told; });
    pane.setBehavior("Zoom", Behavior::tile);
    pane.setWidth("Zoom", 2.0 / 3);
    zoom = pane.view().rows.at(0);
    EXPECT_TRUE(zoom.widthMenu);
    EXPECT_EQ(zoom.width, "⅔");
    EXPECT_EQ(RuleStore(defaults).rules()[0], (AppRule{"Zoom", "Zoom", Behavior::tile, 2.0 / 3}));
    EXPECT_EQ(zoom.widths[zoom.widthChoice].label, "⅔");
    pane.setWidth("Zoom", 0.4);  // not in the menu: an entry of its own, in order
    zoom = pane.view().rows.at(0);
    EXPECT_EQ(zoom.widthChoice, 2u);
    EXPECT_EQ(zoom.widths[2].label + zoom.widths[3].label, "40%½");

    for (const AppRule& r : RuleStore::builtIns()) pane.remove(r.bundleID);
    EXPECT_EQ(told, 6);
    EXPECT_EQ(pane.view().empty.value_or(PaneEmptyState{}).title, "No rules yet. Add apps to choose how they open.");
    EXPECT_TRUE(RuleStore(defaults).rules().empty());
    pane.addApps();
    EXPECT_EQ(dialogs, 1);
}

TEST_F(SettingsTest, AddAppsOffersRunningAppsWithoutARule) {
    sim.setOwnPid(app("Tarvela", "app.tarvela"));
    app("zeta", "org.zeta");
    app("Mail", "org.mail");
    app("Mail", "org.mail");                    // a second process of the same app
    app("Calculator", "org.gnome.Calculator");  // has a rule
    sim.addApp(AppSpec{std::nullopt, std::string("Script"), std::nullopt, nullptr, ActivationPolicy::Regular});
    app("Atlas", "org.atlas");

    AddAppsDialog dialog(sim, *rules, closer());
    auto names = [&] {
        std::string out;
        for (auto& c : dialog.visible()) out += c.name + (c.selected ? "* " : " ");
        return out;
    };
    EXPECT_EQ(names(), "Atlas Mail zeta ");
    EXPECT_FALSE(dialog.canAdd());
    dialog.toggle("org.zeta");
    dialog.setSearch("MA");
    EXPECT_EQ(names(), "Mail ");
    dialog.toggle("org.mail");
    dialog.toggle("org.gnome.Calculator");  // not offered: ignored
    EXPECT_EQ(dialog.countText() + "|" + dialog.addButton(), "2 selected|Add 2");
    dialog.setSearch("");
    EXPECT_EQ(names(), "Atlas Mail* zeta* ");

    dialog.add();
    EXPECT_EQ(closes, 1);
    const auto stored = RuleStore(defaults).rules();
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(stored[3], (AppRule{"org.mail", "Mail", Behavior::tile, 0.5}));
    EXPECT_EQ(stored[4].bundleID, "org.zeta");
    rules->add({{0, "Atlas", "org.atlas", nullptr, ActivationPolicy::Regular}});
    EXPECT_TRUE(AddAppsDialog(sim, *rules, closer()).allCovered());
}

#include "input/hotkeys.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"

#include <algorithm>
#include <set>

#include "core/log.h"

namespace tarvela {
namespace {

constexpr uint32_t CtrlOpt = 0x1800, CtrlCmd = 0x1100;
// What the defaults register with no custom binding and no workspace: one
// combination per action, but four digits for jump and nine for each of the
// three desktop rows.
constexpr size_t kDefaultKeys = allActions.size() + 3 + 3 * 8;

using testsupport::bytes;
using testsupport::text;

using testsupport::LogCapture;

Workspace ws(std::string name, std::optional<int> slot) {
    Workspace w;
    w.id = Uuid::random();
    w.name = std::move(name);
    w.slot = slot;
    return w;
}

struct Fixture {
    MemoryDefaults d;
    SimHotkeyService service;
    WorkspaceStore workspaces{d};
    std::vector<std::pair<Action, int>> actions;
    std::vector<int> slots;

    std::unique_ptr<Hotkeys> make() {
        auto h = std::make_unique<Hotkeys>(d, service, &workspaces);
        h->onAction = [this](Action a, int n) { actions.push_back({a, n}); };
        h->onWorkspace = [this](int s) { slots.push_back(s); };
        return h;
    }
    std::set<std::tuple<uint32_t, uint32_t, uint32_t>> registered() const {
        std::set<std::tuple<uint32_t, uint32_t, uint32_t>> out;
        for (auto& e : service.registered()) out.insert({e.keyCode, e.mods, e.number});
        return out;
    }
};

TEST(Action, TableOrderLabelsAndGroups) {
    ASSERT_EQ(allActions.size(), 35u);
    std::vector<std::string> raws;
    for (Action a : allActions) {
        raws.push_back(std::string(rawValue(a)));
        EXPECT_EQ(actionFromRaw(rawValue(a)), a);
    }
    EXPECT_EQ(raws, (std::vector<std::string>{"focusNext", "focusPrev", "jump", "sendDisplay", "cycleWidth", "wider",
                                              "narrower", "stackLeft", "floatToggle", "overview", "tileFour",
                                              "focusUrgent", "focusUp", "focusDown", "focusFirst", "focusLast",
                                              "centerColumn", "moveLeft", "moveRight", "moveFirst", "moveLast",
                                              "stackRight", "unstack", "fullWidth", "fullScreen", "closeWindow",
                                              "goDesktop", "prevDesktop", "nextDesktop", "sendToDesktop",
                                              "sendColumnToDesktop", "sendToPrevDesktop", "sendToNextDesktop",
                                              "sendColumnToPrevDesktop", "sendColumnToNextDesktop"}));
    EXPECT_FALSE(actionFromRaw("FocusNext"));
    EXPECT_EQ(label(Action::jump), "Jump to column 1–4");
    EXPECT_EQ(label(Action::floatToggle), "Float or tile window");
    EXPECT_EQ(defaultBinding(Action::narrower), (KeyBinding{27, CtrlOpt, "−"}));
    EXPECT_EQ(defaultBinding(Action::tileFour), (KeyBinding{21, CtrlCmd, "4"}));
    EXPECT_EQ(defaultBinding(Action::floatToggle), (KeyBinding{49, CtrlOpt, "Space"}));
    EXPECT_EQ(label(Action::focusUrgent), "Focus the window that wants attention");

    // Every action appears in exactly one group, in case order.
    std::vector<Action> grouped;
    std::vector<std::string> titles;
    for (auto& g : actionGroups()) {
        titles.push_back(g.title);
        grouped.insert(grouped.end(), g.actions.begin(), g.actions.end());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Move around", "Shape columns", "Layouts and overview", "Attention",
                                                "Move through columns", "Move columns", "Stack and size", "Windows", "Desktops"}));
    EXPECT_EQ(grouped, std::vector<Action>(allActions.begin(), allActions.end()));
}

TEST(Hotkeys, EmptyStoreRegistersTheDefaults) {
    Fixture f;
    auto h = f.make();
    h->registerAll();
    EXPECT_TRUE(h->installed());
    EXPECT_EQ(h->registeredCount(), kDefaultKeys);
    auto reg = f.registered();
    EXPECT_TRUE(reg.count({124, CtrlOpt, 1}));
    EXPECT_TRUE(reg.count({123, CtrlOpt, 2}));
    EXPECT_TRUE(reg.count({18, CtrlOpt, 101}));
    EXPECT_TRUE(reg.count({21, CtrlOpt, 104}));
    EXPECT_TRUE(reg.count({21, CtrlCmd, 11}));
    // Every default is free: no other default, jump digit or workspace slot holds it.
    EXPECT_TRUE(reg.count({0, CtrlOpt, 12}));
    for (Action a : allActions)
        EXPECT_EQ(h->conflict(defaultBinding(a), a), std::nullopt) << rawValue(a);
    EXPECT_EQ(std::count_if(reg.begin(), reg.end(), [](auto& r) { return std::get<0>(r) == 0 && std::get<1>(r) == CtrlOpt; }), 1);
    for (auto& [code, mods, number] : reg) EXPECT_NE(number, 3u) << "jump's own number is never registered";

    EXPECT_TRUE(f.service.press(124, CtrlOpt));
    EXPECT_TRUE(f.service.press(123, CtrlOpt));
    for (uint32_t n = 1; n <= 4; ++n) EXPECT_TRUE(f.service.press(keycode::digits[n], CtrlOpt));
    EXPECT_TRUE(f.service.press(21, CtrlCmd));
    EXPECT_TRUE(f.service.press(0, CtrlOpt));
    EXPECT_FALSE(f.service.press(keycode::digits[5], CtrlOpt));
    std::vector<std::pair<Action, int>> expected{{Action::focusNext, 0}, {Action::focusPrev, 0}, {Action::jump, 1},
                                                 {Action::jump, 2},      {Action::jump, 3},      {Action::jump, 4},
                                                 {Action::tileFour, 0},  {Action::focusUrgent, 0}};
    EXPECT_EQ(f.actions, expected);

    // The desktop actions' defaults clash with nothing, and each digit row is nine keys.
    for (Action a : allActions)
        if (position(a) >= position(Action::goDesktop)) {
            EXPECT_EQ(h->conflict(defaultBinding(a), a), std::nullopt) << label(a);
        }
    constexpr uint32_t Cmd = modmask::command, Shift = modmask::shift;
    f.actions.clear();
    EXPECT_TRUE(f.service.press(keycode::digits[3], Cmd));
    EXPECT_TRUE(f.service.press(keycode::digits[9], Cmd | Shift));
    EXPECT_TRUE(f.service.press(keycode::digits[1], Cmd | modmask::option | Shift));
    EXPECT_TRUE(f.service.press(keycode::downArrow, CtrlOpt | Shift));
    EXPECT_FALSE(f.service.press(keycode::digits[0], Cmd));
    EXPECT_EQ(f.actions, (std::vector<std::pair<Action, int>>{{Action::goDesktop, 3},
                                                             {Action::sendToDesktop, 9},
                                                             {Action::sendColumnToDesktop, 1},
                                                             {Action::sendToNextDesktop, 0}}));
    // Recording Ctrl+Alt for the desktop row would take jump's digits.
    EXPECT_EQ(h->conflict({keycode::digits[1], CtrlOpt, "1–9"}, Action::goDesktop), label(Action::jump));
}

TEST(Hotkeys, FireMapsNumbersAndIgnoresTheGaps) {
    Fixture f;
    auto h = f.make();
    for (uint32_t n : {0u, 36u, 50u, 99u, 300u, 310u, 330u}) h->fire(n);
    EXPECT_TRUE(f.actions.empty());
    h->fire(6);
    h->fire(11);
    h->fire(100);
    h->fire(103);
    h->fire(200);
    h->fire(209);
    std::vector<std::pair<Action, int>> expected{
        {Action::wider, 0}, {Action::tileFour, 0}, {Action::jump, 0}, {Action::jump, 3}};
    EXPECT_EQ(f.actions, expected);
    EXPECT_EQ(f.slots, (std::vector<int>{0, 9}));

    // Without callbacks nothing happens.
    h->onAction = nullptr;
    h->onWorkspace = nullptr;
    h->fire(1);
    h->fire(205);
}

TEST(Hotkeys, PersistenceUnderShortcuts) {
    Fixture f;
    f.d.set("shortcuts", bytes(R"({"wider":{"keyCode":24,"mods":6144,"key":"="},"overview":{"keyCode":46,"mods":4352,"key":"M"}})"));
    auto h = f.make();
    EXPECT_EQ(h->bindings().size(), 2u);
    EXPECT_EQ(h->effective(Action::overview), (KeyBinding{46, CtrlCmd, "M"}));
    EXPECT_EQ(h->effective(Action::focusNext), defaultBinding(Action::focusNext));

    h->set(Action::wider, {24, CtrlCmd, "="});
    EXPECT_EQ(text(f.d.getData("shortcuts")),
              R"({"overview":{"key":"M","keyCode":46,"mods":4352},"wider":{"key":"=","keyCode":24,"mods":4352}})");
    // Every change also re-registers.
    EXPECT_TRUE(f.registered().count({24, CtrlCmd, 6}));
    EXPECT_EQ(Hotkeys(f.d, f.service, nullptr).bindings(), h->bindings());

    // Reset: empty bindings are saved as an empty object.
    h->setBindings({});
    EXPECT_EQ(text(f.d.getData("shortcuts")), "{}");
    EXPECT_TRUE(f.registered().count({24, CtrlOpt, 6}));
}

TEST(Hotkeys, StoredShortcutsStayCompatibleBothWays) {
    // An older file: "wider" on ⌃⌥⇧←, a combination that is now a new action's
    // default; and a newer file's action that this version does not know.
    LogCapture log;
    Fixture f;
    const std::string older = R"({"later":{"key":"L","keyCode":37,"mods":6144},"wider":{"key":"←","keyCode":123,"mods":6656}})";
    f.d.set("shortcuts", bytes(older));
    auto h = f.make();
    h->registerAll();
    EXPECT_TRUE(f.service.press(123, 0x1a00));
    EXPECT_EQ(f.actions, (std::vector<std::pair<Action, int>>{{Action::wider, 0}}));
    EXPECT_TRUE(h->yields(Action::moveLeft));
    EXPECT_EQ(log.lines, std::vector<std::string>{});
    // The other new defaults are there; the unknown action is neither lost nor registered.
    EXPECT_TRUE(f.registered().count({124, 0x1a00, static_cast<uint32_t>(position(Action::moveRight) + 1)}));
    EXPECT_EQ(h->registeredCount(), kDefaultKeys - 1);
    EXPECT_EQ(h->conflict(defaultBinding(Action::moveLeft), Action::overview), "Make column wider");

    h->set(Action::overview, {46, CtrlCmd, "M"});
    EXPECT_EQ(text(f.d.getData("shortcuts")),
              R"({"later":{"key":"L","keyCode":37,"mods":6144},"overview":{"key":"M","keyCode":46,"mods":4352},)"
              R"("wider":{"key":"←","keyCode":123,"mods":6656}})");
    // Once the user moves "wider" elsewhere, the new default takes its place.
    h->set(Action::wider, {24, CtrlOpt, "="});
    EXPECT_FALSE(h->yields(Action::moveLeft));
    EXPECT_TRUE(f.registered().count({123, 0x1a00, static_cast<uint32_t>(position(Action::moveLeft) + 1)}));
}

TEST(Hotkeys, UnreadableBindingsFallBackToDefaultsUntilTheNextChange) {
    for (const char* bad : {R"({"wider":{"keyCode":24,"mods":6144}})", R"({"wider":{"keyCode":24,"mods":6144,"key":"="},"x":3})",
                            R"([])", R"({"wider":)"}) {
        LogCapture log;
        Fixture f;
        f.d.set("shortcuts", bytes(bad));
        auto h = f.make();
        EXPECT_TRUE(h->bindings().empty()) << bad;
        h->registerAll();
        EXPECT_TRUE(f.registered().count({24, CtrlOpt, 6})) << bad;
        EXPECT_EQ(text(f.d.getData("shortcuts")), bad);
        h->set(Action::overview, {46, CtrlCmd, "M"});
        EXPECT_EQ(text(f.d.getData("shortcuts")), R"({"overview":{"key":"M","keyCode":46,"mods":4352}})");
        EXPECT_EQ(f.d.keptAside().size(), 1u) << bad;
    }
}

TEST(Hotkeys, JumpIsRebindableByItsModifiersOnly) {
    Fixture f;
    auto h = f.make();
    h->set(Action::jump, {38, CtrlCmd, "J"});
    EXPECT_EQ(h->bindings().at("jump"), (KeyBinding{18, CtrlCmd, "1–4"}));
    auto reg = f.registered();
    for (uint32_t n = 1; n <= 4; ++n) {
        EXPECT_TRUE(reg.count({keycode::digits[n], CtrlCmd, 100 + n}));
        EXPECT_FALSE(reg.count({keycode::digits[n], CtrlOpt, 100 + n}));
    }
    EXPECT_FALSE(f.service.numberFor(38, CtrlCmd));
    // Jump registers before tileFour, so ⌃⌘4 now jumps and tileFour's own is
    // refused: the conflict the recorder warns about.
    EXPECT_EQ(f.service.numberFor(21, CtrlCmd), 104u);
}

TEST(Hotkeys, ConflictsNameWhatAlreadyUsesACombination) {
    Fixture f;
    auto h = f.make();
    EXPECT_EQ(h->conflict({15, CtrlOpt, "R"}, Action::wider), "Cycle column width");
    EXPECT_EQ(h->conflict({15, CtrlOpt, "R"}, Action::cycleWidth), std::nullopt);
    EXPECT_EQ(h->conflict({20, CtrlOpt, "3"}, Action::overview), "Jump to column 1–4");
    EXPECT_EQ(h->conflict({23, CtrlOpt, "5"}, Action::overview), std::nullopt);
    EXPECT_EQ(h->conflict({20, CtrlCmd, "3"}, Action::overview), std::nullopt);
    // New jump modifiers would take ⌃⌘4 from tileFour.
    EXPECT_EQ(h->conflict({38, CtrlCmd, "J"}, Action::jump), "Tile four windows");
    EXPECT_EQ(h->conflict({38, 0x1200, "J"}, Action::jump), std::nullopt);

    f.workspaces.setItems({ws("Loose", std::nullopt), ws("Seven", 7), ws("Also seven", 7)});
    EXPECT_EQ(h->conflict({keycode::digits[7], CtrlOpt, "7"}, Action::wider), "Seven");
    EXPECT_EQ(h->conflict({keycode::digits[7], CtrlCmd, "7"}, Action::wider), std::nullopt);
    EXPECT_EQ(h->conflict({keycode::digits[8], CtrlOpt, "8"}, Action::wider), std::nullopt);

    // A custom binding is what counts, not the default it replaced.
    h->set(Action::cycleWidth, {15, CtrlCmd, "R"});
    EXPECT_EQ(h->conflict({15, CtrlOpt, "R"}, Action::wider), std::nullopt);
    EXPECT_EQ(h->conflict({15, CtrlCmd, "R"}, Action::wider), "Cycle column width");
}

TEST(Hotkeys, SlotsHeldByActionsAreNotOfferedToWorkspaces) {
    Fixture f;
    auto h = f.make();
    EXPECT_EQ(h->slotsTakenByActions(), (std::set<int>{1, 2, 3, 4}));  // jump
    h->set(Action::overview, {keycode::digits[6], CtrlOpt, "6"});
    h->set(Action::wider, {keycode::digits[0], CtrlCmd, "0"});  // not a slot's modifiers
    h->set(Action::jump, {18, CtrlCmd, "1–4"});
    EXPECT_EQ(h->slotsTakenByActions(), (std::set<int>{6}));
    f.workspaces.setItems({ws("A", 5)});
    EXPECT_EQ(f.workspaces.freeSlots(h->slotsTakenByActions()), (std::vector<int>{7, 8, 9, 0}));
}

TEST(Hotkeys, WorkspaceSlotsRegisterAndFollowEveryChange) {
    Fixture f;
    auto h = f.make();
    h->registerAll();
    EXPECT_EQ(h->registeredCount(), kDefaultKeys);

    auto a = ws("A", 5), b = ws("B", std::nullopt), c = ws("C", 0);
    f.workspaces.setItems({a, b, c});
    EXPECT_EQ(h->registeredCount(), kDefaultKeys + 2);
    EXPECT_TRUE(f.registered().count({keycode::digits[5], CtrlOpt, 205}));
    EXPECT_TRUE(f.registered().count({keycode::digits[0], CtrlOpt, 200}));
    EXPECT_TRUE(f.service.press(keycode::digits[0], CtrlOpt));
    EXPECT_EQ(f.slots, (std::vector<int>{0}));

    f.workspaces.remove(a.id);
    EXPECT_FALSE(f.service.numberFor(keycode::digits[5], CtrlOpt));
    c.slot = 9;
    f.workspaces.setItems({b, c});
    EXPECT_FALSE(f.service.numberFor(keycode::digits[0], CtrlOpt));
    EXPECT_EQ(f.service.numberFor(keycode::digits[9], CtrlOpt), 209u);
    EXPECT_EQ(h->registeredCount(), kDefaultKeys + 1);
}

TEST(Hotkeys, RefusedRegistrationIsLoggedAndTheRestStillRegister) {
    LogCapture log;
    Fixture f;
    f.service.occupy(124, CtrlOpt);
    auto h = f.make();
    h->registerAll();
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_EQ(log.lines[0], "[Tarvela] hotkey 1 could not be registered (-9878); another app may own it");
    EXPECT_EQ(h->registeredCount(), kDefaultKeys - 1);
    EXPECT_FALSE(f.service.press(124, CtrlOpt));
    EXPECT_TRUE(f.service.press(123, CtrlOpt));

    // Two workspaces sharing a slot: the second registration is refused.
    log.lines.clear();
    f.workspaces.setItems({ws("One", 6), ws("Two", 6)});
    ASSERT_EQ(log.lines.size(), 2u);  // focusNext again, then the second 206
    EXPECT_EQ(log.lines[1], "[Tarvela] hotkey 206 could not be registered (-9878); another app may own it");
}

TEST(Hotkeys, SuspendUnregistersEverythingAndTheHandlerStaysInstalled) {
    Fixture f;
    auto h = f.make();
    h->registerAll();
    h->registerAll();
    EXPECT_EQ(f.service.installCount(), 1);
    EXPECT_EQ(f.service.registered().size(), kDefaultKeys);
    h->suspend();
    EXPECT_EQ(h->registeredCount(), 0u);
    EXPECT_TRUE(f.service.registered().empty());
    EXPECT_FALSE(f.service.press(124, CtrlOpt));
    f.service.fire(1);  // a press already under way still arrives
    EXPECT_EQ(f.actions.size(), 1u);

    // Once the object is gone, its registrations are too and a late press does nothing.
    h->registerAll();
    h.reset();
    EXPECT_TRUE(f.service.registered().empty());
    f.service.fire(1);
    EXPECT_EQ(f.actions.size(), 1u);
}

TEST(Hotkeys, SlotOutsideTheDigitsNeverRegisters) {
    // The store never keeps such a slot; a workspace handed in directly must not index past the digits.
    Fixture f;
    auto h = f.make();
    f.workspaces.setItems({ws("Far", 12), ws("Below", -3)});
    EXPECT_EQ(h->registeredCount(), kDefaultKeys);
    EXPECT_EQ(h->conflict({keycode::digits[2], CtrlOpt, "2"}, Action::jump), std::nullopt);
}

}  // namespace
}  // namespace tarvela

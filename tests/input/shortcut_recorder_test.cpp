#include "input/shortcut_recorder.h"

#include <gtest/gtest.h>

namespace tarvela {
namespace {
// Every default key: the actions, jump's four digits and the desktop rows' nine each.
// One combination per action, four digits for jump, nine for each desktop row.
constexpr size_t kDefaultKeys = allActions.size() + 3 + 3 * 8;

constexpr uint32_t CtrlOpt = 0x1800;
constexpr uint64_t ctrl = eventflags::control, opt = eventflags::option, cmd = eventflags::command,
                   shift = eventflags::shift;

struct Fixture {
    MemoryDefaults d;
    SimHotkeyService service;
    WorkspaceStore workspaces{d};
    Hotkeys hotkeys{d, service, &workspaces};
    ShortcutRecorder rec{hotkeys};
    int beeps = 0;
    int ends = 0;
    Fixture() {
        rec.beep = [this] { ++beeps; };
        rec.onEnd = [this] { ++ends; };
        hotkeys.registerAll();
    }
};

TEST(ShortcutRecorder, RecordingSuspendsHotKeysAndConsumesEveryKey) {
    Fixture f;
    EXPECT_FALSE(f.rec.keyDown({15, ctrl | opt, "r"}));  // not recording: not consumed
    f.rec.start(Action::wider);
    EXPECT_TRUE(f.rec.recording());
    EXPECT_TRUE(f.service.registered().empty());
    EXPECT_TRUE(f.rec.keyDown({0, shift, "a"}));
    EXPECT_TRUE(f.rec.keyDown({0, 0, "a"}));
    EXPECT_EQ(f.beeps, 2);
    EXPECT_TRUE(f.rec.recording());
    EXPECT_TRUE(f.service.registered().empty());
}

TEST(ShortcutRecorder, EscapeCancelsAndRestoresTheOldSet) {
    Fixture f;
    auto before = f.service.registered().size();
    f.rec.start(Action::wider);
    EXPECT_TRUE(f.rec.keyDown({keycode::escape, ctrl | opt, ""}));
    EXPECT_FALSE(f.rec.recording());
    EXPECT_EQ(f.ends, 1);
    EXPECT_EQ(f.service.registered().size(), before);
    EXPECT_TRUE(f.hotkeys.bindings().empty());
    EXPECT_FALSE(f.d.getData("shortcuts"));
}

TEST(ShortcutRecorder, ConflictKeepsRecordingWithAMessage) {
    Fixture f;
    f.rec.start(Action::wider);
    EXPECT_TRUE(f.rec.keyDown({15, ctrl | opt, "r"}));
    EXPECT_EQ(f.rec.message(), "⌃⌥R is already used by “Cycle column width”. Try another combination.");
    EXPECT_EQ(f.beeps, 1);
    EXPECT_TRUE(f.rec.recording());

    EXPECT_TRUE(f.rec.keyDown({20, ctrl | opt, "3"}));
    EXPECT_EQ(f.rec.message(), "⌃⌥3 is already used by “Jump to column 1–4”. Try another combination.");

    Workspace w;
    w.id = Uuid::random();
    w.name = "Writing";
    w.slot = 7;
    f.workspaces.append(w);
    EXPECT_TRUE(f.rec.keyDown({keycode::digits[7], ctrl | opt, "7"}));
    EXPECT_EQ(f.rec.message(), "⌃⌥7 is already used by “Writing”. Try another combination.");
    EXPECT_TRUE(f.rec.recording());
    EXPECT_TRUE(f.hotkeys.bindings().empty());
}

TEST(ShortcutRecorder, AFreeCombinationBecomesTheBindingAndEndsRecording) {
    Fixture f;
    f.rec.start(Action::wider);
    f.rec.keyDown({15, ctrl | opt, "r"});  // conflict first
    EXPECT_TRUE(f.rec.keyDown({24, ctrl | cmd | shift | eventflags::capsLock, "="}));
    EXPECT_FALSE(f.rec.recording());
    EXPECT_EQ(f.rec.message(), "");
    EXPECT_EQ(f.ends, 1);
    EXPECT_EQ(f.hotkeys.bindings().at("wider"), (KeyBinding{24, 0x1300, "="}));
    EXPECT_EQ(f.service.numberFor(24, 0x1300), 6u);
    EXPECT_FALSE(f.service.numberFor(24, CtrlOpt));
    EXPECT_EQ(f.service.registered().size(), kDefaultKeys);

    // Recording jump with any key stores only the modifiers.
    f.rec.start(Action::jump);
    f.rec.keyDown({38, opt | cmd, "j"});
    EXPECT_EQ(f.hotkeys.bindings().at("jump"), (KeyBinding{18, 0x0900, "1–4"}));
    EXPECT_EQ(f.service.numberFor(keycode::digits[2], 0x0900), 102u);
}

TEST(ShortcutRecorder, StartingAgainOrDestroyingEndsTheRecordingInProgress) {
    Fixture f;
    f.rec.start(Action::wider);
    f.rec.start(Action::narrower);
    EXPECT_EQ(f.ends, 1);
    EXPECT_EQ(f.rec.action(), Action::narrower);
    EXPECT_TRUE(f.service.registered().empty());
    {
        ShortcutRecorder other(f.hotkeys);
        other.start(Action::overview);
    }
    EXPECT_EQ(f.service.registered().size(), kDefaultKeys);
}

}  // namespace
}  // namespace tarvela

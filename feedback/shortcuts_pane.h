// The Shortcuts pane: every action's key caps in the shortcut list's groups,
// and the recorder behind a click on a row. While a row records, every global
// shortcut is suspended and the widget hands each key-down to keyDown()
// (which consumes it); a second click on the same row cancels, a click on
// another row records that one instead. Leaving the pane (or closing the
// window) must call cancel(), so the shortcuts come back.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input/hotkeys.h"
#include "input/shortcut_recorder.h"
#include "core/signal.h"

namespace tarvela {

namespace shortcuts_pane {
inline constexpr const char* idleHint = "Click a shortcut to record a new one.";
inline constexpr const char* recordingHint = "Recording… press the new keys, or click the row again to cancel.";
inline constexpr const char* prompt = "Press new shortcut…";
inline constexpr const char* reset = "Reset to defaults";
// Written with the key caps every shortcut is shown with.
inline constexpr const char* slotNote =
    "Saved workspaces use ⌃⌥5–9 and ⌃⌥0, so they never clash with Jump to column 1–4.";
}  // namespace shortcuts_pane

struct ShortcutRow {
    Action action;
    std::string label;              // "Focus next column"
    std::vector<std::string> caps;  // "⌃", "⌥", "→"; empty while recording
    bool recording = false;
    std::string prompt;  // "Press new shortcut…" while recording, else empty
};

struct ShortcutGroup {
    std::string title;  // "Move around"
    std::vector<ShortcutRow> rows;
};

struct ShortcutsView {
    std::string hint;
    std::vector<ShortcutGroup> groups;
    std::string conflict;  // what the last combination collided with; empty for none
    std::string resetButton = shortcuts_pane::reset;
    std::string slotNote = shortcuts_pane::slotNote;
};

class ShortcutsPane {
public:
    // `beep` sounds the system bell when a combination is refused.
    ShortcutsPane(Hotkeys& hotkeys, std::function<void()> beep);
    ~ShortcutsPane();
    ShortcutsPane(const ShortcutsPane&) = delete;
    ShortcutsPane& operator=(const ShortcutsPane&) = delete;

    ShortcutsView view() const;

    // A click on an action's row.
    void click(Action a);
    // A key-down while the pane has the keyboard; true when it was consumed
    // (every one, while recording).
    bool keyDown(const KeyEvent& event);
    // Ends a recording without change.
    void cancel();
    void resetToDefaults();

    bool recording() const { return recorder_.recording(); }

    // The widget starts watching the keyboard on true and stops on false.
    std::function<void(bool recording)> onRecording;
    Signal<> changed;

private:
    void recordingChanged(bool on);

    Hotkeys& hotkeys_;
    ShortcutRecorder recorder_;
    bool switching_ = false;  // one row's recording hands over to another's
    bool watching_ = false;   // what onRecording last said
    Connection bindingsChanged_;
};

}  // namespace tarvela

// Recording a new shortcut for one action, driven by the key-down events the
// settings window watches. While recording, every hot key is suspended so that
// pressing a combination already in use records it instead of firing it, and
// every key-down is consumed.
//
// Escape cancels. A combination without control, option or command beeps and
// recording goes on. A combination in use beeps, shows what uses it, and
// recording goes on. Anything else becomes the action's binding and ends the
// recording. Ending, by any path, re-registers every hot key.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "input/hotkeys.h"
#include "settings/key_codes.h"

namespace tarvela {

class ShortcutRecorder {
public:
    explicit ShortcutRecorder(Hotkeys& hotkeys) : hotkeys_(hotkeys) {}
    ~ShortcutRecorder() { cancel(); }

    void start(Action action);
    // True when the event was consumed (always, while recording).
    bool keyDown(const KeyEvent& event);
    // Ends a recording in progress without change.
    void cancel();

    bool recording() const { return action_.has_value(); }
    std::optional<Action> action() const { return action_; }
    // "⌃⌥R is already used by “Cycle column width”. Try another combination."; empty when none.
    const std::string& message() const { return message_; }

    // The system beep.
    std::function<void()> beep;
    // After recording ends (the window removes its key watcher here).
    std::function<void()> onEnd;

private:
    void end();

    Hotkeys& hotkeys_;
    std::optional<Action> action_;
    std::string message_;
};

}  // namespace tarvela

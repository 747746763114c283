#include "input/shortcut_recorder.h"

namespace tarvela {

void ShortcutRecorder::start(Action action) {
    if (action_) end();
    action_ = action;
    message_.clear();
    hotkeys_.suspend();
}

void ShortcutRecorder::cancel() {
    if (action_) end();
}

void ShortcutRecorder::end() {
    action_.reset();
    if (onEnd) onEnd();
    hotkeys_.registerAll();
}

bool ShortcutRecorder::keyDown(const KeyEvent& event) {
    if (!action_) return false;
    if (event.keyCode == keycode::escape) {
        end();
        return true;
    }
    uint32_t mask = KeyBinding::carbon(event.modifierFlags);
    if ((mask & modmask::required) == 0) {
        if (beep) beep();
        return true;
    }
    KeyBinding binding{event.keyCode, mask, KeyBinding::label(event)};
    if (auto used = hotkeys_.conflict(binding, *action_)) {
        message_.clear();
        for (auto& cap : binding.caps()) message_ += cap;
        message_ += " is already used by “" + *used + "”. Try another combination.";
        if (beep) beep();
        return true;
    }
    message_.clear();
    hotkeys_.set(*action_, binding);
    end();
    return true;
}

}  // namespace tarvela

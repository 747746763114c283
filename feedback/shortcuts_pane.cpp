#include "feedback/shortcuts_pane.h"

namespace tarvela {

ShortcutsPane::ShortcutsPane(Hotkeys& hotkeys, std::function<void()> beep) : hotkeys_(hotkeys), recorder_(hotkeys) {
    recorder_.beep = [this, beep = std::move(beep)] {
        if (beep) beep();
        // A refused or conflicting combination may have changed the message.
        changed.emit();
    };
    recorder_.onEnd = [this] { recordingChanged(false); };
    bindingsChanged_ = hotkeys_.changed.connect([this] { changed.emit(); });
}

ShortcutsPane::~ShortcutsPane() {
    // The recorder re-registers on its way out; nobody is listening by then.
    recorder_.onEnd = nullptr;
    recorder_.beep = nullptr;
}

ShortcutsView ShortcutsPane::view() const {
    ShortcutsView v;
    v.hint = recorder_.recording() ? shortcuts_pane::recordingHint : shortcuts_pane::idleHint;
    v.conflict = recorder_.message();
    for (const ActionGroup& g : actionGroups()) {
        ShortcutGroup group{g.title, {}};
        for (Action a : g.actions) {
            ShortcutRow row{a, label(a), {}, recorder_.action() == a, {}};
            if (row.recording) row.prompt = shortcuts_pane::prompt;
            else row.caps = hotkeys_.effective(a).caps();
            group.rows.push_back(std::move(row));
        }
        v.groups.push_back(std::move(group));
    }
    return v;
}

void ShortcutsPane::click(Action a) {
    if (recorder_.action() == a) {
        recorder_.cancel();
        return;
    }
    // Another row while one records: the recorder ends that recording (and
    // re-registers) before suspending again; the keyboard stays watched.
    switching_ = recorder_.recording();
    recorder_.start(a);
    switching_ = false;
    recordingChanged(true);
}

bool ShortcutsPane::keyDown(const KeyEvent& event) { return recorder_.keyDown(event); }

void ShortcutsPane::cancel() { recorder_.cancel(); }

void ShortcutsPane::resetToDefaults() {
    recorder_.cancel();
    hotkeys_.setBindings({});
    changed.emit();
}

void ShortcutsPane::recordingChanged(bool on) {
    if (switching_) return;
    if (on != watching_) {
        watching_ = on;
        if (onRecording) onRecording(on);
    }
    changed.emit();
}

}  // namespace tarvela

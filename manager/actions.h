// The keyboard actions, as the manager performs them. Their names, titles and
// default keys are the shortcuts' business, which build on this.
#pragma once

#include <array>

namespace tarvela {

enum class Action {
    focusNext,
    focusPrev,
    jump,
    sendDisplay,
    cycleWidth,
    wider,
    narrower,
    stackLeft,
    floatToggle,
    overview,
    tileFour,
    focusUrgent,
    focusUp,
    focusDown,
    focusFirst,
    focusLast,
    centerColumn,
    moveLeft,
    moveRight,
    moveFirst,
    moveLast,
    stackRight,
    unstack,
    fullWidth,
    fullScreen,
    closeWindow
};

// Fixed order: hot-key numbers, the shortcut list and iteration all follow it.
// New actions go at the end, so that every hot-key number keeps its action.
inline constexpr std::array<Action, 26> allActions{
    Action::focusNext, Action::focusPrev, Action::jump,        Action::sendDisplay, Action::cycleWidth, Action::wider,
    Action::narrower,  Action::stackLeft, Action::floatToggle, Action::overview,    Action::tileFour, Action::focusUrgent,
    Action::focusUp,   Action::focusDown, Action::focusFirst,  Action::focusLast,   Action::centerColumn,
    Action::moveLeft,  Action::moveRight, Action::moveFirst,   Action::moveLast,    Action::stackRight, Action::unstack,
    Action::fullWidth, Action::fullScreen, Action::closeWindow};

}  // namespace tarvela

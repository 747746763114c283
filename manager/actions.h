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
    closeWindow,
    // `n` is the desktop, from 1, for the three taking a digit.
    goDesktop,
    prevDesktop,
    nextDesktop,
    sendToDesktop,
    sendColumnToDesktop,
    sendToPrevDesktop,
    sendToNextDesktop,
    sendColumnToPrevDesktop,
    sendColumnToNextDesktop
};

// Fixed order: hot-key numbers, the shortcut list and iteration all follow it.
// New actions go at the end, so that every hot-key number keeps its action.
inline constexpr std::array<Action, 35> allActions{
    Action::focusNext, Action::focusPrev, Action::jump,        Action::sendDisplay, Action::cycleWidth, Action::wider,
    Action::narrower,  Action::stackLeft, Action::floatToggle, Action::overview,    Action::tileFour, Action::focusUrgent,
    Action::focusUp,   Action::focusDown, Action::focusFirst,  Action::focusLast,   Action::centerColumn,
    Action::moveLeft,  Action::moveRight, Action::moveFirst,   Action::moveLast,    Action::stackRight, Action::unstack,
    Action::fullWidth, Action::fullScreen, Action::closeWindow,
    Action::goDesktop, Action::prevDesktop, Action::nextDesktop, Action::sendToDesktop, Action::sendColumnToDesktop,
    Action::sendToPrevDesktop, Action::sendToNextDesktop, Action::sendColumnToPrevDesktop,
    Action::sendColumnToNextDesktop};

}  // namespace tarvela

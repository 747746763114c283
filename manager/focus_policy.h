// Whether a request for a window may take the focus from the user: the
// focus-stealing prevention. A user typing in one window is not pulled away
// by an application that wakes up on its own; the window is marked as
// wanting attention instead.
#pragma once

#include <cstdint>
#include <optional>

#include "core/platform.h"

namespace tarvela {

// As the preference stores it.
enum class FocusPolicy { smart = 0, always = 1, never = 2 };

inline FocusPolicy focusPolicyFrom(int stored) {
    return stored == 1 ? FocusPolicy::always : stored == 2 ? FocusPolicy::never : FocusPolicy::smart;
}

// `userTime`: the input that led to the request (absent when the platform
// does not know; 0 when the window asked not to be focused). `lastInput`: the
// user's latest input in another window, absent when there is none.
// Pagers, taskbars and Tarvela's own actions act for the user and always win;
// the policy judges only what applications ask for themselves.
inline bool grantsFocus(FocusPolicy policy, ActivationSource source, std::optional<int64_t> userTime,
                        std::optional<int64_t> lastInput) {
    if (source != ActivationSource::Application) return true;
    switch (policy) {
        case FocusPolicy::always: return true;
        case FocusPolicy::never: return false;
        case FocusPolicy::smart: break;
    }
    if (userTime && *userTime == 0) return false;
    if (!userTime || !lastInput) return true;
    return *userTime >= *lastInput;
}

}  // namespace tarvela

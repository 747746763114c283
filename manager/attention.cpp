// Windows that want the user's attention, and who may take the focus: the
// marks in the order they came, the jump to the longest waiting one, and the
// focus policy applied to what applications, pagers and taskbars ask for.
#include <algorithm>

#include "core/window_access.h"
#include "manager/focus_policy.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {
// Grants not yet followed by the window's (re)appearance; a few suffice.
constexpr size_t grantLimit = 16;
}  // namespace

bool WindowManager::wantsAttention(const AXElement& el) const {
    const auto& list = attention();
    return std::find(list.begin(), list.end(), el) != list.end();
}

void WindowManager::setAttention(const AXElement& el, bool wants) {
    if (wantsAttention(el) == wants) return;
    std::vector<AXElement> list = attention();
    if (wants)
        list.push_back(el);
    else
        std::erase(list, el);
    attention.set(std::move(list));
    // A mark cleared here (the focus came, the jump went there) leaves none
    // behind in taskbars either.
    if (!wants) platform_.setAttribute(el, ax::DemandsAttention, false);
}

void WindowManager::markRefused(const AXElement& el) {
    setAttention(el, true);
    platform_.setAttribute(el, ax::DemandsAttention, true);
}

void WindowManager::attentionChanged(const AXElement& el) {
    if (!on()) return;
    const bool wants = attr<bool>(platform_, el, ax::DemandsAttention).value_or(false);
    // The window the user is in has the attention already.
    if (wants && frontWindow() == el) return;
    setAttention(el, wants);
}

std::optional<int64_t> WindowManager::lastInputBesides(const AXElement& el) {
    std::optional<AXElement> other = frontWindow();
    // A window that took the focus on opening: the user was in the current
    // strip's focused window.
    if (!other || *other == el) {
        StripRef s = cur();
        const Item* it = s ? s->focusedItem() : nullptr;
        if (!it || it->el == el) return std::nullopt;
        other = it->el;
    }
    return attr<int64_t>(platform_, *other, ax::UserTime);
}

void WindowManager::activationRequested(const ActivationRequest& req) {
    const AXElement& el = req.window;
    if (on() && !grantsFocus(focusPolicyFrom(prefs.focusPolicy()), req.source, req.userTime, lastInputBesides(el))) {
        // A new window that asked not to be focused was refused nothing it
        // wanted: floating, it is in front of the user (GIMP's docks, shown
        // again with their image window); one that joins a strip, perhaps
        // scrolled away, is marked as it joins.
        if (req.userTime != 0) markRefused(el);
        return;
    }
    bringForward(el);
}

void WindowManager::grant(const AXElement& el) {
    std::erase(granted_, el);
    if (granted_.size() >= grantLimit) granted_.erase(granted_.begin());
    granted_.push_back(el);
}

void WindowManager::bringForward(const AXElement& el) {
    setAttention(el, false);
    // A minimised window comes back through its de-minimising, into the place
    // it had; being granted, it takes the focus there.
    if (attr<bool>(platform_, el, ax::Minimized).value_or(false)) {
        grant(el);
        platform_.setAttribute(el, ax::Minimized, false);
        return;
    }
    // A window on another desktop brings its desktop along.
    if (const int d = stripDesktop(el); d >= 0 && d != desktop()) showDesktop(d);
    if (acting()) {
        for (const StripRef& s : strips()) {
            auto at = s->find(el);
            if (!at) continue;
            displayIdx.set(s->index);
            s->raise(at->first, at->second);
            return;
        }
    }
    // One still being judged takes the strip's focus when it joins.
    if (!isManaged(el)) grant(el);
    if (auto pid = platform_.pidOf(el)) platform_.activate(*pid);
    platform_.performAction(el, ax::Raise);
    platform_.setAttribute(el, ax::Main, true);
}

void WindowManager::focusAttention() {
    if (!acting() || attention().empty()) return;
    const AXElement first = attention().front();  // the list changes under it
    bringForward(first);
}

}  // namespace tarvela

#include <algorithm>
#include <cmath>

#include "core/window_access.h"
#include "platform/sim/sim_state.h"

namespace tarvela {

Size constrainSize(const WindowSpec& desc, Size asked) {
    auto one = [](double v, double lo, double hi, double base, double inc) {
        v = std::clamp(v, lo, std::max(lo, hi));
        if (inc > 0) {
            // Rounds down to whole cells, as X11 size hints do; the small
            // tolerance keeps an exact multiple from falling one cell short.
            const double cells = std::floor((v - base) / inc + 1e-9);
            v = base + std::max(cells, 0.0) * inc;
            if (v < lo && v + inc <= hi) v += inc;
        }
        return v;
    };
    return {one(asked.width, desc.minW, desc.maxW, desc.base.width, desc.inc.width),
            one(asked.height, desc.minH, desc.maxH, desc.base.height, desc.inc.height)};
}

using State = SimDesktop::State;

SimApp* State::app(int32_t pid) {
    auto it = apps.find(pid);
    return it == apps.end() ? nullptr : &it->second;
}

SimWindow* State::window(const AXElement& el) {
    if (!el.isWindow()) return nullptr;
    auto it = windows.find(el.id);
    return it == windows.end() ? nullptr : &it->second;
}

SimWindow* State::openWindow(const AXElement& el) {
    SimWindow* w = window(el);
    return w && !w->closed ? w : nullptr;
}

std::optional<RunningApp> State::info(int32_t pid) {
    if (SimApp* a = app(pid)) return a->info;
    return std::nullopt;
}

int32_t State::addApp(const AppSpec& desc) {
    int32_t pid = desc.pid.value_or(0);
    if (pid == 0) {
        while (apps.count(nextPid) || nextPid == own) ++nextPid;
        pid = nextPid++;
    } else if (apps.count(pid)) {
        return 0;
    }
    SimApp a;
    a.info = RunningApp{pid, desc.name, desc.bundleID, desc.icon, desc.policy};
    apps.emplace(pid, std::move(a));
    appOrder.push_back(pid);
    postWorkspace(WorkspaceEvent::DidLaunchApplication, info(pid));
    return pid;
}

uint64_t State::addWindow(int32_t pid, const Rect& frame, const WindowSpec& desc) {
    SimApp* a = app(pid);
    if (!a) return 0;
    SimWindow w;
    w.id = nextWindowId++;
    w.pid = pid;
    w.desc = desc;
    w.frame = Rect(frame.origin(), constrainSize(desc, frame.size()));
    const bool asked = desc.desktop && (*desc.desktop == kAllDesktops || (*desc.desktop >= 0 && *desc.desktop < desktops.count));
    w.desktop = asked ? *desc.desktop : desktops.current;
    if (desc.unreadableFrame) w.unreadable = {std::string(ax::Position), std::string(ax::SizeAttr)};
    const uint64_t id = w.id;
    windows.emplace(id, std::move(w));
    a->windows.push_back(id);
    stacking.push_back(id);
    notifyAX(pid, AXElement::window(id), ax::WindowCreated);
    if (desc.takesFocus && !desc.minimized) setFocused(*a, id);
    return id;
}

void State::close(SimWindow& w) {
    w.closed = true;
    std::erase(stacking, w.id);
    notifyAX(w.pid, AXElement::window(w.id), ax::UIElementDestroyed);
    if (SimApp* a = app(w.pid)) {
        std::erase(a->windows, w.id);
        if (a->main == w.id) a->main = 0;
        if (a->focused == w.id) refocus(*a);
    }
}

void State::setMinimized(SimWindow& w, bool minimized) {
    if (w.desc.minimized == minimized) return;
    w.desc.minimized = minimized;
    const AXElement el = AXElement::window(w.id);
    SimApp* a = app(w.pid);
    if (minimized) {
        notifyAX(w.pid, el, ax::WindowMiniaturized);
        if (a && a->focused == w.id) refocus(*a);
    } else {
        notifyAX(w.pid, el, ax::WindowDeminiaturized);
        raise(w);
        if (a) setFocused(*a, w.id);
    }
}

void State::setFullScreen(SimWindow& w, bool fullScreen) {
    if (w.desc.fullScreen == fullScreen) return;
    w.desc.fullScreen = fullScreen;
    if (fullScreen) {
        w.beforeFullScreen = w.frame;
        if (!screens.empty()) w.frame = axRect(screens, screens[screenIndex(screens, w.frame)].frame);
    } else if (w.beforeFullScreen) {
        w.frame = *w.beforeFullScreen;
        w.beforeFullScreen.reset();
    }
}

void State::raise(SimWindow& w) {
    std::erase(stacking, w.id);
    stacking.push_back(w.id);
}

void State::setFocused(SimApp& a, uint64_t id) {
    if (a.focused == id) return;
    a.focused = id;
    notifyAX(a.info.pid, id ? AXElement::window(id) : AXElement::application(a.info.pid), ax::FocusedWindowChanged);
}

void State::refocus(SimApp& a) {
    // The application's topmost window that can hold the focus, as a window
    // system hands it on when the focused one goes away.
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
        const SimWindow& w = windows.at(*it);
        if (w.pid == a.info.pid && !w.desc.minimized) {
            setFocused(a, w.id);
            return;
        }
    }
    setFocused(a, 0);
}

void State::activate(int32_t pid) {
    SimApp* a = app(pid);
    if (!a) return;
    if (frontmost == pid) return;
    frontmost = pid;
    postWorkspace(WorkspaceEvent::DidActivateApplication, a->info);
}

void State::finishLaunch(const std::string& bundleID, const std::string& startupId) {
    for (int32_t pid : appOrder) {
        if (apps.at(pid).info.bundleIdentifier == bundleID) {  // launched meanwhile: just come forward
            activate(pid);
            return;
        }
    }
    auto it = installables.find(bundleID);
    if (it == installables.end()) return;
    AppSpec desc = it->second.desc;
    desc.bundleID = bundleID;
    const int32_t pid = addApp(desc);
    if (pid == 0) return;
    for (const WindowPlan& plan : it->second.windows) {
        WindowSpec desc = plan.desc;
        if (!desc.startupId && !startupId.empty()) desc.startupId = startupId;
        addWindow(pid, plan.frame, desc);
    }
    activate(pid);
}

}  // namespace tarvela

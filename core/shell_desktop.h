// What the shell (its panels, overlays and own windows) asks of the desktop
// beyond window access: whether translucency can be drawn and a tray item
// shown, where the pointer is while a panel follows it, and whether Tarvela's
// own windows show in the taskbar. The X11 platform implements it;
// platform/sim has a settable fake.
//
// Threading: main thread only; every callback runs on the main loop, never
// inside the call that registered it.
#pragma once

#include <cstdint>
#include <functional>

#include "core/geometry.h"

namespace tarvela {

class ShellDesktop {
public:
    virtual ~ShellDesktop() = default;

    // Whether a compositing manager runs, so that translucent windows are
    // drawn with real alpha (without one they come out opaque).
    virtual bool compositing() = 0;
    // The one handler told each time compositing() really changes, with the
    // new value; a later call replaces it, an empty function removes it.
    virtual void onCompositingChanged(std::function<void(bool)> handler) = 0;
    // Whether a system tray (a panel's notification area) runs, and the one
    // handler told each time that really changes, as for the compositor.
    virtual bool systemTray() = 0;
    virtual void onSystemTrayChanged(std::function<void(bool)> handler) = 0;

    // Pointer motion anywhere on the screen, in screen coordinates (origin
    // bottom-left of the first display, y up), until unwatchPointer(). A
    // second call replaces the callback. Nothing is watched, and nothing wakes
    // the process for it, while nobody watches. Successive reports differ.
    virtual void watchPointer(std::function<void(Point)> moved) = 0;
    virtual void unwatchPointer() = 0;

    // Whether Tarvela's own ordinary windows (settings, onboarding) appear in
    // taskbars and pagers: applied at once to those open and to every one
    // opened later. Shown by default.
    virtual void setOwnWindowsInTaskbar(bool shown) = 0;

    // Puts one of Tarvela's panels (its native window id) directly below an
    // application's window (its window number), which stays above it. False
    // when either is gone.
    virtual bool stackBelow(uint64_t panel, uint32_t window) = 0;
};

// A desktop service (the compositor, the tray) started or quit: records it in
// `runs` and, on a real change, gives the delivery for the implementation to
// post (empty when nothing changed). The delivery tells whichever handler
// `handler` holds when it runs, so one set or removed in between counts; the
// poster keeps it from running once the owner of both has gone.
inline std::function<void()> runsChanged(bool& runs, const std::function<void(bool)>& handler, bool on) {
    if (on == runs) return nullptr;
    runs = on;
    return [&handler, on] {
        if (!handler) return;
        auto told = handler;  // it may replace itself while told
        told(on);
    };
}

}  // namespace tarvela

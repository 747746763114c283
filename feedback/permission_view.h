// The window shown when Tarvela cannot move windows. On X11 the one thing
// Tarvela needs is to be the display's window manager; when another window
// manager holds the display (it was there first, or took over, as
// `openbox --replace` does), the manager pauses itself and this window says
// so. Its main button asks the other window manager to hand over, the way a
// window manager started with --replace does. When the display comes back to
// Tarvela while the window is open, it says so and offers "Done".
// Main thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/signal.h"

namespace tarvela {

class WindowManager;

namespace permission_view {
inline constexpr const char* lostTitle = "Tarvela can’t move windows";
inline constexpr const char* lostText =
    "Another window manager is running, so Tarvela paused itself. Your windows stay where they are. "
    "Let Tarvela take over window management to continue.";
inline constexpr const char* takeOver = "Take over window management";
inline constexpr const char* notNow = "Not now";
inline constexpr const char* backTitle = "Tarvela can move windows again";
inline constexpr const char* backText =
    "Tarvela is the display’s window manager again. Tarvela picked up where it left off.";
inline constexpr const char* done = "Done";
}  // namespace permission_view

struct PermissionTexts {
    std::string title;
    std::string text;
    std::string primary;                   // the main button
    std::optional<std::string> secondary;  // "Not now", while the display is another's
    bool granted = false;                  // the display came back while the window was open
};

class PermissionView {
public:
    // `handOver` asks the running window manager to hand the display over;
    // `close` closes the window.
    PermissionView(WindowManager& manager, std::function<void()> handOver, std::function<void()> close);
    PermissionView(const PermissionView&) = delete;
    PermissionView& operator=(const PermissionView&) = delete;

    PermissionTexts texts() const;
    void primary();
    void secondary();

    Signal<> changed;

private:
    std::function<void()> handOver_;
    std::function<void()> close_;
    bool returned_ = false;  // trusted turned true after the window opened
    Connection trustedChanged_;
};

}  // namespace tarvela

// The desktops as the HUD, the popover, the overview and the tray name them:
// plain values, so that any widget can paint them.
#pragma once

#include <string>
#include <vector>

namespace tarvela {

class WindowManager;

struct DesktopTab {
    int index = 0;        // from 0
    std::string label;    // "2", or the name the user gave it
    std::string help;     // "Desktop 2 · 3 windows"
    int windows = 0;
    bool current = false;
    bool operator==(const DesktopTab&) const = default;
};

// One tab per desktop; none when there is only one.
std::vector<DesktopTab> desktopTabs(const WindowManager& m);
// "Desktop 2", or the name the user gave it; empty with one desktop.
std::string desktopLabel(const WindowManager& m);
// `text` after the current desktop's label and " · "; just `text` with one desktop.
std::string withDesktop(const WindowManager& m, const std::string& text);

}  // namespace tarvela

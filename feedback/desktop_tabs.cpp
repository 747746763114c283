#include "feedback/desktop_tabs.h"

#include "manager/window_manager.h"

namespace tarvela {

namespace {
std::string nameOf(const std::vector<std::string>& names, int i) {
    const std::string& n = names[static_cast<size_t>(i)];
    return n == std::to_string(i + 1) ? "Desktop " + n : n;
}
}  // namespace

std::vector<DesktopTab> desktopTabs(const WindowManager& m) {
    const std::vector<std::string> names = m.desktopNames();
    std::vector<DesktopTab> out;
    if (names.size() < 2) return out;
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        const int n = m.windowCount(i);
        out.push_back({i, names[static_cast<size_t>(i)],
                       nameOf(names, i) + " · " + std::to_string(n) + (n == 1 ? " window" : " windows"), n,
                       i == m.desktop()});
    }
    return out;
}

std::string desktopLabel(const WindowManager& m) {
    const std::vector<std::string> names = m.desktopNames();
    if (names.size() < 2 || m.desktop() < 0 || m.desktop() >= static_cast<int>(names.size())) return {};
    return nameOf(names, m.desktop());
}

std::string withDesktop(const WindowManager& m, const std::string& text) {
    const std::string label = desktopLabel(m);
    return label.empty() ? text : label + " · " + text;
}

}  // namespace tarvela

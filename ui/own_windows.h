// Tarvela's own windows (settings, permission, software update, onboarding and
// two dialogs): at most one of each kind, titled and sized as the table says,
// brought forward when asked for again and forgotten once closed. The window
// manager side opens them floating and centred on the current display.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>

namespace tarvela {

struct OwnWindowKind {
    const char* key;
    const char* title;
    int width;   // content size
    int height;
};

namespace own_window {
inline constexpr OwnWindowKind settings{"settings", "Tarvela Settings", 880, 600};
inline constexpr OwnWindowKind permission{"permLost", "Tarvela", 420, 340};
inline constexpr OwnWindowKind update{"update", "Software update", 480, 360};
inline constexpr OwnWindowKind onboarding{"onboarding", "Welcome to Tarvela", 900, 620};
inline constexpr OwnWindowKind addApps{"addApps", "Add apps", 640, 540};
inline constexpr OwnWindowKind saveWorkspace{"saveWorkspace", "Save layout", 520, 480};
}  // namespace own_window

class OwnWindows {
public:
    ~OwnWindows();
    // The open window of that kind brought forward, or a new one from `make`
    // (its content), shown. Returns the window, or null when none is open and
    // `make` is empty.
    QWidget* show(const OwnWindowKind& kind, const std::function<QWidget*()>& make);
    // The open window of that kind, if any.
    QWidget* find(const std::string& key) const;
    void close(const std::string& key);
    // Closed and gone now, not at the loop's next turn (when what it shows goes too).
    void destroy(const std::string& key);

private:
    std::map<std::string, QPointer<QWidget>> windows_;
};

}  // namespace tarvela

// The tray item: the pill-shaped image that says whether Tarvela runs, where
// the focus is in the current strip and whether it needs attention, and the
// controller that shows or hides the item and opens and closes its popover.
//
// The widget layer owns the real tray icon and popup. After every `changed`
// it reads `itemShown()`, `popoverShown()` and `tooltip()`, and paints
// `image(...)`; a click on the item calls `toggle()`, the popup closing by
// itself (a click elsewhere) calls `popoverClosed()`.
//
// The image is in points, y down from its top-left corner, 22 points high.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/geometry.h"
#include "core/lifetime.h"
#include "core/runloop.h"
#include "feedback/palette.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;
class Prefs;

namespace pill {
inline constexpr Rgba systemBlue = palette::accent.light;
inline constexpr Rgba systemOrange = palette::attention.light;
inline constexpr Rgba white{1, 1, 1, 1};
inline constexpr Rgba nearBlack{0.11, 0.11, 0.11, 1};
inline constexpr Rgba offOnDark{1, 1, 1, 0.16};
inline constexpr Rgba offOnLight{0.11, 0.11, 0.11, 0.08};
inline constexpr Rgba outline = withAlpha(palette::accent.light, 0.4);
// The platform's default soft shadow: black at a third.
inline constexpr Rgba shadow{0, 0, 0, 1.0 / 3};

inline constexpr double height = 22;
inline constexpr double mascotHeight = 16;
inline constexpr double mascotFallbackWidth = 17;  // no mascot image, or one without a size
inline constexpr double mascotX = 6;
inline constexpr double mascotY = 3;
inline constexpr double shadowBlur = 1;
inline constexpr Font textFont{12, Weight::bold};
inline constexpr double textGap = 13;  // from the mascot's width to the text
inline constexpr double textY = 4;
inline constexpr double pillLeft = 1;
inline constexpr double pillBottom = 2;
inline constexpr double pillHeight = 18;
inline constexpr double outlineWidth = 2;
inline constexpr double badgeDiameter = 9;
inline constexpr double badgeRing = 1.5;
}  // namespace pill

// "2/5"; "‹ 2/5 ›" while the current strip slides; "II" when on and paused;
// empty when off or there is nothing to count.
std::string statusText(const WindowManager& m);

struct PillImage {
    struct Stroke {
        double width = 0;
        Rgba color;
    };
    // An orange dot with a white ring around it.
    struct Badge {
        Rect dot;
        Rgba fill = pill::systemOrange;
        double ring = pill::badgeRing;
        Rgba ringColor = pill::white;
    };

    Size size;
    bool on = false;  // the manager runs and is not paused
    Rect mascot;
    double shadowBlur = pill::shadowBlur;
    Rgba shadowColor = pill::shadow;
    std::string text;
    Font font = pill::textFont;
    Rect textFrame;  // empty without text
    Rgba textColor;
    Rect pill;
    double radius = pill::pillHeight / 2;
    Rgba fill;
    std::optional<Stroke> outline;  // while the popover is shown
    std::optional<Badge> badge;     // while the permission is missing or a window wants attention

    // `mascotSize` is the mascot image's own size, if it has one.
    static PillImage make(const WindowManager& m, bool darkBar, bool popoverShown, std::optional<Size> mascotSize,
                          TextMetrics& metrics);
};

class StatusController {
public:
    StatusController(WindowManager& manager, Prefs& prefs, RunLoop& main);
    ~StatusController();
    StatusController(const StatusController&) = delete;
    StatusController& operator=(const StatusController&) = delete;

    // Follows the manager and the show-in-menu-bar setting from here on, and
    // shows the item now if that setting says so.
    void install();
    // Hiding closes the popover first.
    void setVisible(bool visible);
    // The item was clicked: opens the popover, or closes it.
    void toggle();
    // The popover went away by itself.
    void popoverClosed();
    // Re-reads the text and tool-tip; nothing while there is no item.
    void refresh();

    // Item shown or hidden, popover opened or closed, image to rebuild.
    Signal<> changed;
    bool itemShown() const { return itemShown_; }
    bool popoverShown() const { return popoverShown_; }
    const std::string& tooltip() const { return tooltip_; }
    const std::string& text() const { return text_; }
    PillImage image(bool darkBar, std::optional<Size> mascotSize, TextMetrics& metrics) const;

private:
    void closePopover();

    WindowManager& manager_;
    Prefs& prefs_;
    RunLoop& main_;
    bool itemShown_ = false;
    bool popoverShown_ = false;
    std::string tooltip_;
    std::string text_;
    bool refreshPending_ = false;
    Connection managerLink_;
    Connection prefsLink_;
    Lifetime life_;
};

}  // namespace tarvela

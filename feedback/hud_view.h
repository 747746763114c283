// What the heads-up display draws, worked out from the manager's state: the
// strip row (one tile per column and the status button), the options row when
// it is open, every text and accessibility label, and where each piece sits.
// The widget paints this and hands clicks back by position; it decides
// nothing itself, so the panel's size here is the size on screen.
//
// Frames inside the panel are in points from its top-left corner, y down.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/platform.h"
#include "feedback/text_metrics.h"

namespace tarvela {

class WindowManager;

namespace hud {
inline constexpr Rgba ink{29 / 255.0, 29 / 255.0, 31 / 255.0, 1};
inline constexpr double inkOpacity = 0.9;
inline constexpr Rgba statusInk{213 / 255.0, 215 / 255.0, 222 / 255.0, 1};

inline constexpr double rowSpacing = 8;
inline constexpr double outerMargin = 2;

inline constexpr double stripSpacing = 6;
inline constexpr double stripMarginX = 16;
inline constexpr double stripMarginY = 12;
inline constexpr double stripRadius = 16;

inline constexpr double tileSide = 48;
inline constexpr double tileMargin = 4;
inline constexpr double tileSpacing = 2;
inline constexpr double tileRadius = 11;
inline constexpr double tileBorder = 2;
inline constexpr double iconSingle = 32;
inline constexpr double iconStacked = 20;
inline constexpr double tileOpacity = 0.12;  // white, 0.22 under the pointer
inline constexpr double tileHoverOpacity = 0.22;
inline constexpr double glyphDimOpacity = 0.75;  // an unfocused tile's glyphs, away from the pointer
inline constexpr double hoverScale = 1.06;
inline constexpr double hoverAnimation = 0.12;  // ease-out
inline constexpr double focusAnimation = 0.2;   // ease-out

inline constexpr Font statusFont{12, Weight::medium};
inline constexpr double statusMarginX = 6;
inline constexpr double statusMarginY = 2;
// The chevron is a bold symbol of this size after the status text; the gap
// before it is the stack's usual one.
inline constexpr double chevronSize = 9;
inline constexpr double chevronGap = 4;

inline constexpr Font optionsFont{14, Weight::medium};
inline constexpr double optionsSpacing = 10;
inline constexpr double optionsMarginY = 10;
inline constexpr double optionsLeading = 12;
inline constexpr double optionsTrailing = 14;
inline constexpr double optionsRadius = 14;

inline constexpr double controlMin = 30;  // key caps and buttons, both ways
inline constexpr double controlRadius = 8;
inline constexpr double keyCapOpacity = 0.16;
inline constexpr double buttonOpacity = 0.28;
inline constexpr double buttonMarginX = 12;  // texts of two characters or more
inline constexpr double groupSpacing = 2;
inline constexpr double groupMarginX = 2;
inline constexpr double percentMinWidth = 44;
inline constexpr Font percentFont{13, Weight::bold, true};

// The modifiers of the default shortcuts, not of the user's own bindings.
inline constexpr const char* controlKey = "⌃";
inline constexpr const char* optionKey = "⌥";
inline constexpr const char* previousText = "←";
inline constexpr const char* nextText = "→";
inline constexpr const char* narrowerText = "−";
inline constexpr const char* widerText = "+";
inline constexpr const char* optionsLabel = "Show strip options";
inline constexpr const char* previousLabel = "Focus previous column";
inline constexpr const char* nextLabel = "Focus next column";
inline constexpr const char* narrowerLabel = "Narrower";
inline constexpr const char* widerLabel = "Wider";
inline constexpr const char* moveLeftText = "Move ←";
inline constexpr const char* moveRightText = "Move →";
inline constexpr const char* moveLeftLabel = "Move column left";
inline constexpr const char* moveRightLabel = "Move column right";
}  // namespace hud

enum class HUDPart { window, options, keyCap, previous, next, widthGroup, narrower, percent, wider, send, moveLeft, moveRight };

// What a piece is filled with, on a rounded rectangle of `controlRadius`.
enum class HUDFill {
    none,
    keyCap,  // white at keyCapOpacity
    button,  // white at buttonOpacity, white text
    accent,  // the theme's accent colour
};

// One piece of the status button or of the options row.
struct HUDControl {
    HUDPart part = HUDPart::keyCap;
    std::string text;
    std::string label;  // accessibility; empty for what is not a button
    Font font;
    Rect frame;
    HUDFill fill = HUDFill::none;
};

// One window of a column: its application's icon, or the first letter of its name.
struct HUDGlyph {
    int row = 0;
    std::string app;  // also the tool-tip
    ImageRef icon;
    std::string letter;
    std::string label;  // "Go to " + app
    Rect frame;         // the window's share of the tile, the whole of it clickable
    bool attention = false;  // the window wants attention: marked with a dot
};

struct HUDTile {
    int col = 0;
    bool focused = false;
    double iconSize = hud::iconSingle;
    Rect frame;
    std::vector<HUDGlyph> windows;

    // How a tile looks, `hover` and `focus` each from 0 (not) to 1 (fully):
    // both are on their way while the tile animates from one state to another.
    struct Look {
        double accent;        // how much the fill is the accent colour rather than white at `whiteOpacity`
        double whiteOpacity;
        double border;        // the opacity of a white stroke of tileBorder
        double scale;
        double glyphOpacity;
    };
    static Look look(double hover, double focus);
};

struct HUDHit {
    HUDPart part;
    int col = -1;
    int row = -1;
};

struct HUDView {
    // Nothing to draw: the manager is off or paused, or its strip has no columns.
    bool empty = true;
    bool opts = false;
    Size size;
    Rect stripRow;
    std::optional<Rect> optionsRow;
    std::vector<HUDTile> tiles;
    // The status button's chevron, pointing up, turned half a turn while `opts`.
    Rect chevron;
    // The status button (its text, turned chevron while `opts`), then the
    // options row's pieces in order.
    std::vector<HUDControl> controls;

    static HUDView make(const WindowManager& m, bool opts, TextMetrics& metrics);
    // The button under a point of the panel, if any.
    std::optional<HUDHit> hit(Point local) const;
    const HUDControl* control(HUDPart part) const;
};

// "Column 2 of 5 · 60% · Display 1"
std::string hudStatus(int focusC, size_t columns, int pct, int index);

}  // namespace tarvela

// The slim bar a floating window gets when it draws none of its own: its
// size, where its buttons are, and the seam that paints it. The window system
// lays the bar out and hit-tests it with these functions; whoever paints it
// (Qt in the application, a plain fill elsewhere) uses the same ones, so a
// click lands on the button that is drawn.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/platform.h"

namespace tarvela {

namespace titlebar {
inline constexpr int height = 26;  // the bar, above the client
inline constexpr int edge = 4;     // the frame's left, right and bottom edges, which resize
inline constexpr int corner = 16;  // how far along an edge from a corner a press resizes both ways
inline constexpr int buttonSize = 12;

// Where the client sits in its frame, and how far the frame reaches beyond it.
struct Extents {
    int left = 0, right = 0, top = 0, bottom = 0;
    bool empty() const { return !left && !right && !top && !bottom; }
    bool operator==(const Extents&) const = default;
};
inline constexpr Extents extents{edge, edge, height, edge};

enum class Part { none, move, close, minimise, resize };
struct Hit {
    Part part = Part::none;
    int edgeX = 0, edgeY = 0;  // for resize: -1 the left/top edge, 1 the right/bottom one
};

// The buttons on a bar `width` wide, left to right: close, then minimise
// where the window may be minimised.
Rect closeButton(int width);
std::optional<Rect> minimiseButton(int width, bool minimisable);
// The frame's edges as rectangles a press resizes the same way in: the left
// and right edges top to bottom, then the top and bottom edges between them
// left to right, twelve in this order whatever the size (some empty on a tiny
// frame). Together they are exactly the edges, none overlapping another.
struct Zone {
    Rect rect;
    int edgeX = 0, edgeY = 0;  // as hitTest answers for every point of it
};
std::vector<Zone> resizeZones(int frameW, int frameH);

// What a press at (x, y) of a frame (frameW x frameH, bar on top) means. The
// edges of a window that cannot be resized are the bar's or nothing.
Hit hitTest(int x, int y, int frameW, int frameH, bool minimisable, bool resizable = true);
}  // namespace titlebar

struct TitleBarLook {
    std::string title;
    int width = 0;
    int height = titlebar::height;
    bool focused = false;
    bool minimisable = false;
    bool operator==(const TitleBarLook&) const = default;
};

// Paints a bar as an ARGB image of the look's size. The frame's edges take
// the colour of the image's top-left pixel. Called on the main thread.
class TitleBarPainter {
public:
    virtual ~TitleBarPainter() = default;
    virtual Image paint(const TitleBarLook& look) = 0;
};

// No text, no font: the bar's ground (the focused window's darker), the
// buttons as squares. For window systems without a toolkit, and tests.
class PlainTitleBarPainter final : public TitleBarPainter {
public:
    static constexpr uint32_t focusedGround = 0xFFC8C8CC, ground = 0xFFECECEE, closeColour = 0xFFFF5F57,
                              minimiseColour = 0xFFFEBC2E;
    Image paint(const TitleBarLook& look) override;
};

}  // namespace tarvela

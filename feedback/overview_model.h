// What the strip overview draws, worked out from the manager's state and the
// window pictures at hand: the header, then one section per strip (a label and
// a row of columns, each column its windows' cards), or the empty state. The
// widget paints this over the whole main screen and hands clicks back by
// position; it decides nothing itself.
//
// Frames are in points from the overview's top-left corner, y down.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "feedback/desktop_tabs.h"
#include "core/geometry.h"
#include "core/platform.h"
#include "feedback/palette.h"

namespace tarvela {

class WindowManager;

// Window number -> picture, large enough to cover its card at the screen's density.
using OverviewPictures = std::unordered_map<uint32_t, ImageRef>;

namespace ov {
inline constexpr Rgba white{1, 1, 1, 1};

// The backdrop: this colour with two radial glows over it, each from its
// colour at the centre (a fraction of the view's size) to clear at `glowRadius`;
// all of it at `backdropOpacity`.
inline constexpr Rgba backdrop{30 / 255.0, 33 / 255.0, 54 / 255.0, 1};
inline constexpr double backdropOpacity = 0.97;
struct Glow {
    Rgba colour;
    Point centre;
};
inline constexpr Glow glowBlue{withAlpha(tarvela::palette::accent.light, 0.5), {0.15, 0.1}};
inline constexpr Glow glowPurple{{175 / 255.0, 82 / 255.0, 222 / 255.0, 0.45}, {0.85, 0.9}};
inline constexpr double glowRadius = 700;

inline constexpr double stackSpacing = 26;
inline constexpr double marginX = 44;
inline constexpr double marginY = 36;

// ---- header ----
inline constexpr Font titleFont{24, Weight::bold};
inline constexpr Font subtitleFont{13, Weight::regular};
inline constexpr double subtitleOpacity = 0.7;
inline constexpr double titleGap = 4;
inline constexpr double trailingSpacing = 10;
inline constexpr Font keyCapFont{12, Weight::semibold};
inline constexpr double keyCapMarginX = 9;
inline constexpr double keyCapHeight = 26;
inline constexpr double keyCapRadius = 6;
inline constexpr double keyCapOpacity = 0.16;
inline constexpr Font hintFont{12, Weight::regular};
inline constexpr double hintOpacity = 0.75;
inline constexpr Font closeFont{13, Weight::semibold};
inline constexpr double closeMarginX = 14;
inline constexpr double closeHeight = 30;
inline constexpr double closeRadius = 8;
inline constexpr double closeOpacity = 0.18;

// ---- empty state ----
inline constexpr double emptySpacing = 8;
inline constexpr double symbolSize = 30;
inline constexpr Font emptyTitleFont{17, Weight::bold};
inline constexpr Font emptyBodyFont{13, Weight::regular};
inline constexpr double emptyBodyOpacity = 0.7;

// ---- sections ----
inline constexpr double sectionSpacing = 6;
inline constexpr Font labelFont{12, Weight::bold};
inline constexpr double labelTracking = 0.7;  // added after every character
inline constexpr double labelOpacity = 0.65;
inline constexpr double firstRowHeight = 220;  // the strip of index 0
inline constexpr double rowHeight = 170;       // every other strip
inline constexpr double numberRoom = 22;       // above the row, for the column numbers
inline constexpr double columnSpacing = 12;
inline constexpr double minColumnWidth = 60;
inline constexpr double missingShare = 0.2;

// ---- columns and cards ----
inline constexpr double cardSpacing = 8;
inline constexpr Font numberFont{11, Weight::bold};
inline constexpr double numberOpacity = 0.8;
inline constexpr double numberRaise = 20;
inline constexpr double cardRadius = 8;
inline constexpr Rgba focusedGround{29 / 255.0, 111 / 255.0, 224 / 255.0, 1};
// Cards not in the focused column take entry (row + column) mod 9.
inline constexpr uint32_t palette[9] = {0x2C2F3A, 0x1D6FE0, 0xB07A12, 0x3A7D5B, 0x2B7DE9,
                                        0x6B4FD0, 0x7C3AED, 0x1DB954, 0x5A5F73};
inline constexpr double pictureOpacity = 0.92;
inline constexpr double sketchInset = 8;
inline constexpr double sketchSpacing = 6;
inline constexpr double glyphSize = 18;
inline constexpr Font appFont{11, Weight::bold};
inline constexpr double barHeight = 4;  // bars are capsules
inline constexpr double barShort = 20;  // the first bar stops this far from the right
inline constexpr double barOpacity = 0.25;
inline constexpr double shortBarWidths[2] = {60, 80};
inline constexpr double shortBarOpacity = 0.18;
// The focused column's cards: a ring in the theme's accent colour and a glow.
inline constexpr double ringRadius = 10;
inline constexpr double ringWidth = 3;
inline constexpr double ringOutset = 4;
inline constexpr Rgba glowColour = withAlpha(tarvela::palette::accent.light, 0.35);
inline constexpr double shadowRadius = 12;

inline constexpr const char* title = "Strip overview";
inline constexpr const char* subtitle = "Click a column to jump to it.";
inline constexpr const char* keyCapText = "Esc";
inline constexpr const char* hintText = "to close";
inline constexpr const char* closeText = "Close";
inline constexpr const char* emptySymbol = "macwindow";
inline constexpr const char* emptyTitle = "No windows to tile";
inline constexpr const char* emptyBody = "Open an app and it joins the strip as a new column.";

Rgba paletteColour(int row, int col);
}  // namespace ov

// One line of text; its colour is white at `opacity`.
struct OverviewText {
    std::string text;
    Font font;
    double opacity = 1;
    double tracking = 0;
    Rect frame;
};

// A rounded rectangle of white at `fillOpacity` with a text centred on it.
struct OverviewControl {
    std::string text;
    std::string label;  // accessibility; empty for what is not a button
    Font font;
    Rect frame;
    double radius = 0;
    double fillOpacity = 0;
};

// Drawn on a card without a picture.
struct OverviewSketch {
    Rect glyph;  // the application's glyph (its icon, or a letter)
    ImageRef icon;
    OverviewText name;  // one line, ending in "…" when cut to its frame
    Rect bar;           // white at barOpacity
    Rect shortBars[2];  // white at shortBarOpacity
};

struct OverviewCard {
    int row = 0;
    AXElement window;
    std::optional<uint32_t> number;
    Rect frame;  // rounded by cardRadius
    Rgba ground;
    ImageRef picture;  // fills the card at pictureOpacity; none: the sketch
    std::optional<OverviewSketch> sketch;
    std::optional<Rect> ring;  // focused only, stroked ringWidth with ringRadius
    bool glow = false;
    bool attention = false;  // the window wants attention: marked with a dot
};

struct OverviewColumn {
    int col = 0;
    bool focused = false;
    std::string label;  // "Jump to column 3"
    Rect frame;         // the button
    OverviewText number;
    std::vector<OverviewCard> cards;
};

struct OverviewSection {
    int strip = 0;  // the strip's index
    OverviewText label;
    Rect row;
    std::vector<OverviewColumn> columns;
};

struct OverviewEmpty {
    std::string symbol = ov::emptySymbol;
    Rect symbolFrame;
    OverviewText title;
    OverviewText body;
};

struct OverviewHit {
    enum class Part { close, column, desktop } part = Part::close;
    int strip = -1;  // the strip's index
    int col = -1;    // the column, or the desktop's index
};

struct OverviewModel {
    Size size;
    OverviewText title;
    OverviewText subtitle;
    OverviewControl keyCap;
    OverviewText hint;
    OverviewControl close;
    // One tab per desktop under the header, the current one filled; none with one desktop.
    std::vector<std::pair<DesktopTab, OverviewControl>> tabs;
    std::optional<OverviewEmpty> empty;  // when no strip has a column
    std::vector<OverviewSection> sections;

    // `size` is the main screen's full frame's.
    static OverviewModel make(const WindowManager& m, Platform& platform, const OverviewPictures& pictures,
                              TextMetrics& metrics, Size size);
    std::optional<OverviewHit> hit(Point local) const;
    const OverviewSection* section(int strip) const;
};

// Each column's width in a row: its share of what the gaps leave, at least
// minColumnWidth; a column without a share counts missingShare.
std::vector<double> overviewColumnWidths(const std::vector<double>& shares, size_t count, double rowWidth);

// "BUILT-IN DISPLAY · COLUMN 2 OF 5"
std::string overviewLabel(const std::string& displayName, int focusC, size_t columns);

}  // namespace tarvela

// Plain geometry in points. Rects carry their origin and size; which coordinate
// system a rect is in (screen, y up, or accessibility, y down) is up to its owner.
#pragma once

#include <cmath>

namespace tarvela {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    Rect() = default;
    Rect(double x_, double y_, double w, double h) : x(x_), y(y_), width(w), height(h) {}
    Rect(Point p, Size s) : x(p.x), y(p.y), width(s.width), height(s.height) {}

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    // Minimum edges inclusive, maximum edges exclusive.
    bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    bool operator==(const Rect&) const = default;
};

// Rounds halves away from zero, the one rounding the strip geometry uses everywhere.
inline double roundHalfAway(double v) { return std::round(v); }

}  // namespace tarvela

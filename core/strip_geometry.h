// The strip's layout math as free functions over plain values, so placement,
// scrolling and the tests share one definition of every formula.
#pragma once

#include <vector>

#include "core/enums.h"

namespace tarvela::geom {

inline constexpr double gap = 20;      // between columns
inline constexpr double margin = 40;   // usable area inset, left and right
inline constexpr double top = 12;      // usable area inset from the top
inline constexpr double bottom = 12;   // and from the bottom
inline constexpr double rowGap = 12;   // between windows stacked in a column
inline constexpr double minUsableHeight = 300;

// Width in points that fraction f asks for on usable width U (rounded).
double widthFor(double f, double U);
// The fraction a width in points corresponds to.
double fracFor(double w, double U);
// Usable height of a visible rect of height vh: never below 300.
double usableHeight(double vh);
// Height of each of n windows stacked in a column (rounded).
double rowHeight(int n, double usableH);
// y offset of window j in a column of n, from the top of the visible rect.
double rowY(int n, int j, double usableH);
// Left edge of column i in strip coordinates.
double columnLeft(const std::vector<double>& cw, size_t i);
// Total row width: widths plus the gaps between them; 0 for no columns.
double totalWidth(const std::vector<double>& cw);
// The offset that brings column col into view under an alignment, clamped to
// the row; centred when the whole row fits.
double targetOffset(const std::vector<double>& cw, int col, double U, Align align, double currentOffset);

}  // namespace tarvela::geom

#include "core/strip_geometry.h"

#include <algorithm>

#include "core/geometry.h"

namespace tarvela::geom {

double widthFor(double f, double U) { return roundHalfAway(f * (U + gap) - gap); }

double fracFor(double w, double U) { return (w + gap) / (U + gap); }

double usableHeight(double vh) { return std::max(vh - top - bottom, minUsableHeight); }

double rowHeight(int n, double usableH) {
    if (n <= 0) return usableH;
    return roundHalfAway((usableH - (n - 1) * rowGap) / n);
}

double rowY(int n, int j, double usableH) { return top + j * (rowHeight(n, usableH) + rowGap); }

double columnLeft(const std::vector<double>& cw, size_t i) {
    double l = 0;
    for (size_t k = 0; k < i && k < cw.size(); ++k) l += cw[k] + gap;
    return l;
}

double totalWidth(const std::vector<double>& cw) {
    if (cw.empty()) return 0;
    double t = 0;
    for (double w : cw) t += w;
    return t + gap * static_cast<double>(cw.size() - 1);
}

double targetOffset(const std::vector<double>& cw, int col, double U, Align align, double currentOffset) {
    if (col < 0 || static_cast<size_t>(col) >= cw.size()) return 0;
    const double T = totalWidth(cw);
    if (T <= U) return -(U - T) / 2;
    const double L = columnLeft(cw, static_cast<size_t>(col));
    const double w = cw[static_cast<size_t>(col)];
    double e = 0;
    switch (align) {
        case Align::left: e = L; break;
        case Align::center: e = L + w / 2 - U / 2; break;
        case Align::right: e = L + w - U; break;
        case Align::autoAlign:
            if (L < currentOffset) e = L;
            else if (L + w > currentOffset + U) e = L + w - U;
            else e = currentOffset;
            break;
    }
    e = std::min(e, T - U);
    e = std::max(e, 0.0);
    return e;
}

}  // namespace tarvela::geom

#include "core/title_bar.h"

#include <algorithm>

namespace tarvela {

namespace titlebar {

namespace {
constexpr int kButtonGap = 8;
Rect buttonAt(int index) {
    const double y = (height - buttonSize) / 2.0;
    return Rect(edge + kButtonGap + index * (buttonSize + kButtonGap), y, buttonSize, buttonSize);
}
// Buttons take a few more pixels than they show: a 12-pixel target is hard to hit.
bool within(const Rect& r, int x, int y) {
    constexpr double slop = 3;
    return x >= r.minX() - slop && x < r.maxX() + slop && y >= r.minY() - slop && y < r.maxY() + slop;
}
}  // namespace

Rect closeButton(int) { return buttonAt(0); }

std::optional<Rect> minimiseButton(int, bool minimisable) {
    if (!minimisable) return std::nullopt;
    return buttonAt(1);
}

std::vector<Zone> resizeZones(int frameW, int frameH) {
    const int w = frameW, h = frameH;
    std::vector<Zone> out;
    auto add = [&](int x0, int y0, int x1, int y1, int ex, int ey) {
        out.push_back(Zone{Rect(x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)), ex, ey});
    };
    // Where corners overlap on a small frame, the top and left one wins, as in hitTest.
    for (const int ex : {-1, 1}) {
        const int x0 = ex < 0 ? 0 : w - edge;
        add(x0, 0, x0 + edge, std::min(corner, h), ex, -1);
        add(x0, corner, x0 + edge, h - corner, ex, 0);
        add(x0, std::max(corner, h - corner), x0 + edge, h, ex, 1);
    }
    for (const int ey : {-1, 1}) {
        const int y0 = ey < 0 ? 0 : h - edge;
        add(edge, y0, std::min(corner, w - edge), y0 + edge, -1, ey);
        add(corner, y0, w - corner, y0 + edge, 0, ey);
        add(std::max(corner, w - corner), y0, w - edge, y0 + edge, 1, ey);
    }
    return out;
}

Hit hitTest(int x, int y, int frameW, int frameH, bool minimisable, bool resizable) {
    if (x < 0 || y < 0 || x >= frameW || y >= frameH) return {};
    // The top edge is the bar's first pixels; the other edges are the frame's own.
    const int ex = x < edge ? -1 : x >= frameW - edge ? 1 : 0;
    const int ey = y < edge ? -1 : y >= frameH - edge ? 1 : 0;
    if ((ex || ey) && resizable) {
        Hit h{Part::resize, ex, ey};
        if (!ex) h.edgeX = x < corner ? -1 : x >= frameW - corner ? 1 : 0;
        if (!ey) h.edgeY = y < corner ? -1 : y >= frameH - corner ? 1 : 0;
        return h;
    }
    if (y >= height) return {};
    if (within(closeButton(frameW), x, y)) return {Part::close};
    if (auto m = minimiseButton(frameW, minimisable); m && within(*m, x, y)) return {Part::minimise};
    return {Part::move};
}

}  // namespace titlebar

Image PlainTitleBarPainter::paint(const TitleBarLook& look) {
    Image img;
    img.width = std::max(look.width, 1);
    img.height = std::max(look.height, 1);
    img.argb.assign(static_cast<size_t>(img.width) * static_cast<size_t>(img.height),
                    look.focused ? focusedGround : ground);
    auto fill = [&](const Rect& r, uint32_t colour) {
        for (int y = static_cast<int>(r.minY()); y < static_cast<int>(r.maxY()) && y < img.height; ++y)
            for (int x = static_cast<int>(r.minX()); x < static_cast<int>(r.maxX()) && x < img.width; ++x)
                img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)] = colour;
    };
    fill(titlebar::closeButton(look.width), closeColour);
    if (auto m = titlebar::minimiseButton(look.width, look.minimisable)) fill(*m, minimiseColour);
    return img;
}

}  // namespace tarvela

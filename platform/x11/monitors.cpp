#include "platform/x11/monitors.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace tarvela::x11 {

std::optional<Strut> parseStrut(const std::vector<uint32_t>& words, int rootW, int rootH) {
    if (words.size() < 4) return std::nullopt;
    auto v = [&](size_t i) { return static_cast<int>(std::min<uint32_t>(words[i], 1u << 16)); };
    Strut s;
    s.left = v(0);
    s.right = v(1);
    s.top = v(2);
    s.bottom = v(3);
    if (words.size() >= 12) {
        s.leftStartY = v(4), s.leftEndY = v(5), s.rightStartY = v(6), s.rightEndY = v(7);
        s.topStartX = v(8), s.topEndX = v(9), s.bottomStartX = v(10), s.bottomEndX = v(11);
    } else {
        s.leftStartY = s.rightStartY = 0;
        s.leftEndY = s.rightEndY = rootH - 1;
        s.topStartX = s.bottomStartX = 0;
        s.topEndX = s.bottomEndX = rootW - 1;
    }
    if (!s.left && !s.right && !s.top && !s.bottom) return std::nullopt;
    return s;
}

namespace {
// Whether the closed span [a0, a1] meets the half-open [b0, b1).
bool spans(int a0, int a1, double b0, double b1) { return a0 < b1 && a1 >= b0; }
}  // namespace

namespace {
Rect uncovered(const Rect& m, const std::vector<const Strut*>& struts, int rootW, int rootH) {
    double x0 = m.minX(), y0 = m.minY(), x1 = m.maxX(), y1 = m.maxY();
    for (const Strut* p : struts) {
        const Strut& s = *p;
        if (s.left > 0 && spans(s.leftStartY, s.leftEndY, m.minY(), m.maxY()) && s.left > m.minX())
            x0 = std::max(x0, static_cast<double>(s.left));
        if (s.right > 0 && spans(s.rightStartY, s.rightEndY, m.minY(), m.maxY()) && rootW - s.right < m.maxX())
            x1 = std::min(x1, static_cast<double>(rootW - s.right));
        if (s.top > 0 && spans(s.topStartX, s.topEndX, m.minX(), m.maxX()) && s.top > m.minY())
            y0 = std::max(y0, static_cast<double>(s.top));
        if (s.bottom > 0 && spans(s.bottomStartX, s.bottomEndX, m.minX(), m.maxX()) && rootH - s.bottom < m.maxY())
            y1 = std::min(y1, static_cast<double>(rootH - s.bottom));
    }
    return Rect(x0, y0, std::max(x1 - x0, 0.0), std::max(y1 - y0, 0.0));
}
}  // namespace

bool strutFits(const Strut& s, const Rect& m, int rootW, int rootH) {
    const Rect left = uncovered(m, {&s}, rootW, rootH);
    return left.width >= m.width / 2 && left.height >= m.height / 2;
}

Rect visibleArea(const Rect& m, const std::vector<Strut>& struts, int rootW, int rootH) {
    // A reservation that alone would take half a monitor or more is no panel's:
    // honouring it would leave the windows nowhere to go.
    std::vector<const Strut*> fitting;
    for (const Strut& s : struts)
        if (strutFits(s, m, rootW, rootH)) fitting.push_back(&s);
    return uncovered(m, fitting, rootW, rootH);
}

std::string displayName(const std::string& outputName) {
    for (const char* builtin : {"eDP", "LVDS", "DSI"})
        if (outputName.rfind(builtin, 0) == 0) return "Built-in Display";
    return outputName;
}

double scaleFromResources(const std::string& resources) {
    std::istringstream in(resources);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Xft.dpi:", 0) != 0) continue;
        try {
            double dpi = std::stod(line.substr(8));
            if (dpi >= 48 && dpi <= 960) return dpi / 96.0;
        } catch (...) {
        }
        return 1;
    }
    return 1;
}

std::string edidIdentity(const std::vector<uint8_t>& edid) {
    constexpr size_t baseBlock = 128;
    if (edid.size() < baseBlock) return {};
    // FNV-1a over the base block: maker, product, serial and the rest of
    // what the monitor says about itself. A name, not a secret.
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < baseBlock; ++i) h = (h ^ edid[i]) * 16777619u;
    char out[9];
    std::snprintf(out, sizeof out, "%08x", h);
    return out;
}

std::optional<Rect> monitorAt(const std::vector<Monitor>& monitors, const Rect& window) {
    if (monitors.empty()) return std::nullopt;
    const Point mid{window.midX(), window.midY()};
    for (const Monitor& m : monitors)
        if (m.rect.contains(mid)) return m.rect;
    for (const Monitor& m : monitors)
        if (m.primary) return m.rect;
    return monitors.front().rect;
}

std::vector<Screen> toScreens(std::vector<Monitor> monitors, const std::vector<Strut>& struts, int rootW, int rootH,
                              double scale) {
    std::stable_partition(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    std::vector<Screen> out;
    if (monitors.empty()) return out;
    const double H = monitors.front().rect.height;
    auto flip = [H](const Rect& r) { return Rect(r.x, H - r.maxY(), r.width, r.height); };
    for (const Monitor& m : monitors) {
        Screen s;
        s.id = m.id;
        s.frame = flip(m.rect);
        s.visibleFrame = flip(visibleArea(m.rect, struts, rootW, rootH));
        s.localizedName = displayName(m.name);
        s.key = m.identity.empty() ? m.name : m.name + " " + m.identity;
        s.backingScaleFactor = scale;
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace tarvela::x11

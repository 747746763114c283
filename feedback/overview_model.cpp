#include "feedback/overview_model.h"

#include <algorithm>

#include "core/window_access.h"
#include "manager/window_manager.h"

namespace tarvela {

Rgba ov::paletteColour(int row, int col) {
    return rgbHex(palette[static_cast<size_t>((row + col) % 9)]);
}

std::vector<double> overviewColumnWidths(const std::vector<double>& shares, size_t count, double rowWidth) {
    const double w = rowWidth - ov::columnSpacing * (static_cast<double>(std::max<size_t>(count, 1)) - 1);
    std::vector<double> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(std::max(w * (i < shares.size() ? shares[i] : ov::missingShare), ov::minColumnWidth));
    return out;
}

std::string overviewLabel(const std::string& displayName, int focusC, size_t columns) {
    std::string s = displayName + " · column " + std::to_string(focusC + 1) + " of " + std::to_string(columns);
    // Only ASCII letters change case; the rest of a UTF-8 name passes as it is.
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

namespace {

OverviewText text(const std::string& s, Font font, double opacity, TextMetrics& metrics, double tracking = 0) {
    const Size sz = metrics.measure(s, font);
    return OverviewText{s, font, opacity, tracking,
                        Rect(0, 0, sz.width + tracking * static_cast<double>(glyphCount(s)), sz.height)};
}

OverviewControl control(const char* s, const char* label, Font font, double marginX, double height, double radius,
                        double fill, TextMetrics& metrics) {
    const Size sz = metrics.measure(s, font);
    return OverviewControl{s, label, font, Rect(0, 0, sz.width + 2 * marginX, height), radius, fill};
}

void placeAt(Rect& r, double x, double y) {
    r.x = x;
    r.y = y;
}

OverviewSketch sketch(const Item& it, const Rect& card, TextMetrics& metrics) {
    const Rect in(card.x + ov::sketchInset, card.y + ov::sketchInset, std::max(0.0, card.width - 2 * ov::sketchInset),
                  std::max(0.0, card.height - 2 * ov::sketchInset));
    OverviewSketch k;
    k.icon = it.icon;
    k.name = text(it.app, ov::appFont, 1, metrics);
    const double rowH = std::max(ov::glyphSize, k.name.frame.height);
    k.glyph = Rect(in.x, in.y + (rowH - ov::glyphSize) / 2, ov::glyphSize, ov::glyphSize);
    const double nameX = in.x + ov::glyphSize + ov::sketchSpacing;
    const double room = std::max(0.0, in.maxX() - nameX);
    if (k.name.frame.width > room) k.name.text = metrics.wrap(it.app, ov::appFont, room, 1).text;
    k.name.frame = Rect(nameX, in.y + (rowH - k.name.frame.height) / 2, std::min(room, k.name.frame.width),
                        k.name.frame.height);
    double y = in.y + rowH + ov::sketchSpacing;
    k.bar = Rect(in.x, y, std::max(0.0, in.width - ov::barShort), ov::barHeight);
    for (int i = 0; i < 2; ++i) {
        y += ov::barHeight + ov::sketchSpacing;
        k.shortBars[i] = Rect(in.x, y, ov::shortBarWidths[i], ov::barHeight);
    }
    return k;
}

OverviewColumn column(const WindowManager& m, const Strip& s, int c, const Rect& frame, Platform& platform,
                      const OverviewPictures& pictures, TextMetrics& metrics) {
    const Col& col = s.cols[static_cast<size_t>(c)];
    OverviewColumn out;
    out.col = c;
    out.focused = c == s.focusC;
    out.label = "Jump to column " + std::to_string(c + 1);
    out.frame = frame;
    out.number = text(std::to_string(c + 1), ov::numberFont, ov::numberOpacity, metrics);
    placeAt(out.number.frame, frame.x, frame.y - ov::numberRaise);

    const int k = static_cast<int>(col.items.size());
    const double cardH = (frame.height - ov::cardSpacing * (k - 1)) / std::max(k, 1);
    for (int r = 0; r < k; ++r) {
        const Item& it = col.items[static_cast<size_t>(r)];
        OverviewCard card;
        card.row = r;
        card.window = it.el;
        card.attention = m.wantsAttention(it.el);
        card.number = windowNumber(platform, it.el);
        card.frame = Rect(frame.x, frame.y + r * (cardH + ov::cardSpacing), frame.width, cardH);
        card.ground = out.focused ? ov::focusedGround : ov::paletteColour(r, c);
        if (card.number) {
            auto p = pictures.find(*card.number);
            if (p != pictures.end()) card.picture = p->second;
        }
        if (!card.picture) card.sketch = sketch(it, card.frame, metrics);
        if (out.focused) {
            card.ring = Rect(card.frame.x - ov::ringOutset, card.frame.y - ov::ringOutset,
                             card.frame.width + 2 * ov::ringOutset, card.frame.height + 2 * ov::ringOutset);
            card.glow = true;
        }
        out.cards.push_back(std::move(card));
    }
    return out;
}

}  // namespace

OverviewModel OverviewModel::make(const WindowManager& m, Platform& platform, const OverviewPictures& pictures,
                                  TextMetrics& metrics, Size size) {
    OverviewModel v;
    v.size = size;
    const double left = ov::marginX;
    const double width = std::max(0.0, size.width - 2 * ov::marginX);

    // ---- header, its pieces aligned on their bottoms ----
    v.title = text(ov::title, ov::titleFont, 1, metrics);
    v.subtitle = text(ov::subtitle, ov::subtitleFont, ov::subtitleOpacity, metrics);
    v.keyCap = control(ov::keyCapText, "", ov::keyCapFont, ov::keyCapMarginX, ov::keyCapHeight, ov::keyCapRadius,
                       ov::keyCapOpacity, metrics);
    v.hint = text(ov::hintText, ov::hintFont, ov::hintOpacity, metrics);
    v.close = control(ov::closeText, ov::closeText, ov::closeFont, ov::closeMarginX, ov::closeHeight,
                      ov::closeRadius, ov::closeOpacity, metrics);
    const double leftH = v.title.frame.height + ov::titleGap + v.subtitle.frame.height;
    const double headerH = std::max({leftH, v.keyCap.frame.height, v.hint.frame.height, v.close.frame.height});
    const double bottom = ov::marginY + headerH;
    placeAt(v.title.frame, left, bottom - leftH);
    placeAt(v.subtitle.frame, left, v.title.frame.maxY() + ov::titleGap);
    double x = left + width;
    for (Rect* r : {&v.close.frame, &v.hint.frame, &v.keyCap.frame}) {
        x -= r->width;
        placeAt(*r, x, bottom - r->height);
        x -= ov::trailingSpacing;
    }

    double y = bottom + ov::stackSpacing;
    double tx = left;
    for (const DesktopTab& t : desktopTabs(m)) {
        OverviewControl c = control(t.label.c_str(), t.help.c_str(), ov::keyCapFont, ov::keyCapMarginX, ov::keyCapHeight,
                                    ov::keyCapRadius, t.current ? ov::closeOpacity : ov::keyCapOpacity / 2, metrics);
        placeAt(c.frame, tx, y);
        tx = c.frame.maxX() + ov::trailingSpacing;
        v.tabs.emplace_back(t, std::move(c));
    }
    if (!v.tabs.empty()) y = v.tabs.front().second.frame.maxY() + ov::stackSpacing;
    const std::vector<StripRef>& strips = m.strips();
    const bool any = std::any_of(strips.begin(), strips.end(), [](const StripRef& s) { return !s->cols.empty(); });
    if (!any) {
        OverviewEmpty e;
        e.title = text(ov::emptyTitle, ov::emptyTitleFont, 1, metrics);
        e.body = text(ov::emptyBody, ov::emptyBodyFont, ov::emptyBodyOpacity, metrics);
        const double h = ov::symbolSize + e.title.frame.height + e.body.frame.height + 2 * ov::emptySpacing;
        const double space = std::max(0.0, size.height - ov::marginY - y);
        double ey = y + (space - h) / 2;
        const double mid = left + width / 2;
        e.symbolFrame = Rect(mid - ov::symbolSize / 2, ey, ov::symbolSize, ov::symbolSize);
        ey += ov::symbolSize + ov::emptySpacing;
        placeAt(e.title.frame, mid - e.title.frame.width / 2, ey);
        ey += e.title.frame.height + ov::emptySpacing;
        placeAt(e.body.frame, mid - e.body.frame.width / 2, ey);
        v.empty = std::move(e);
        return v;
    }

    for (const StripRef& s : strips) {
        if (s->cols.empty()) continue;
        OverviewSection sec;
        sec.strip = s->index;
        sec.label = text(overviewLabel(s->displayName(), s->focusC, s->cols.size()), ov::labelFont, ov::labelOpacity,
                         metrics, ov::labelTracking);
        placeAt(sec.label.frame, left, y);
        y = sec.label.frame.maxY() + ov::sectionSpacing + ov::numberRoom;
        sec.row = Rect(left, y, width, s->index == 0 ? ov::firstRowHeight : ov::rowHeight);
        const std::vector<double> widths = overviewColumnWidths(s->columnShares(), s->cols.size(), width);
        double cx = left;
        for (size_t c = 0; c < widths.size(); ++c) {
            sec.columns.push_back(column(m, *s, static_cast<int>(c), Rect(cx, y, widths[c], sec.row.height), platform,
                                         pictures, metrics));
            cx += widths[c] + ov::columnSpacing;
        }
        y = sec.row.maxY() + ov::stackSpacing;
        v.sections.push_back(std::move(sec));
    }
    return v;
}

std::optional<OverviewHit> OverviewModel::hit(Point p) const {
    if (close.frame.contains(p)) return OverviewHit{OverviewHit::Part::close};
    for (const auto& [t, c] : tabs)
        if (c.frame.contains(p)) return OverviewHit{OverviewHit::Part::desktop, -1, t.index};
    for (const OverviewSection& s : sections)
        for (const OverviewColumn& c : s.columns)
            if (c.frame.contains(p)) return OverviewHit{OverviewHit::Part::column, s.strip, c.col};
    return std::nullopt;
}

const OverviewSection* OverviewModel::section(int strip) const {
    for (const OverviewSection& s : sections)
        if (s.strip == strip) return &s;
    return nullptr;
}

}  // namespace tarvela

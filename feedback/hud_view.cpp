#include "feedback/hud_view.h"

#include <algorithm>

#include "feedback/desktop_tabs.h"
#include "manager/window_manager.h"

namespace tarvela {

namespace {

std::string firstLetter(const std::string& name) {
    if (name.empty()) return "?";
    size_t n = 1;
    while (n < name.size() && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) ++n;
    std::string out = name.substr(0, n);
    if (out.size() == 1 && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
    return out;
}

// The HUD's button: one-character texts sit larger and without side margins.
HUDControl button(HUDPart part, const std::string& text, const std::string& label, HUDFill fill,
                  TextMetrics& metrics) {
    const bool single = glyphCount(text) < 2;
    HUDControl c{part, text, label, Font{single ? 14.0 : 13.0, Weight::semibold}, {}, fill};
    const Size s = metrics.measure(text, c.font);
    const double margin = single ? 0 : hud::buttonMarginX;
    c.frame = Rect(0, 0, std::max(hud::controlMin, s.width + 2 * margin), std::max(hud::controlMin, s.height));
    return c;
}

HUDControl keyCap(const char* text, TextMetrics& metrics) {
    HUDControl c{HUDPart::keyCap, text, "", hud::optionsFont, {}, HUDFill::keyCap};
    const Size s = metrics.measure(text, c.font);
    c.frame = Rect(0, 0, std::max(hud::controlMin, s.width), std::max(hud::controlMin, s.height));
    return c;
}

void moveBy(HUDControl& c, double dx, double dy) {
    c.frame.x += dx;
    c.frame.y += dy;
}

bool inGroup(const HUDControl& c) {
    return c.part == HUDPart::narrower || c.part == HUDPart::percent || c.part == HUDPart::wider;
}

// The status button, its frame at the origin.
HUDControl statusButton(const WindowManager& m, const Strip& s, TextMetrics& metrics) {
    HUDControl status{HUDPart::options, withDesktop(m, hudStatus(s.focusC, s.cols.size(), s.fit.pct, s.index)),
                      hud::optionsLabel,
                      hud::statusFont, {}, HUDFill::none};
    const Size ts = metrics.measure(status.text, status.font);
    status.frame = Rect(0, 0, ts.width + hud::chevronGap + hud::chevronSize + 2 * hud::statusMarginX,
                        std::max(ts.height, hud::chevronSize) + 2 * hud::statusMarginY);
    return status;
}

// The width group: narrower, the percentage and wider in an accent pill. The
// pill comes first; its members follow it, placed relative to it until the
// row is laid out.
void addWidthGroup(std::vector<HUDControl>& row, int pct, TextMetrics& metrics) {
    HUDControl narrower = button(HUDPart::narrower, hud::narrowerText, hud::narrowerLabel, HUDFill::none, metrics);
    HUDControl percent{HUDPart::percent, std::to_string(pct) + "%", "", hud::percentFont, {}, HUDFill::none};
    const Size ps = metrics.measure(percent.text, percent.font);
    percent.frame = Rect(0, 0, std::max(hud::percentMinWidth, ps.width), ps.height);
    HUDControl wider = button(HUDPart::wider, hud::widerText, hud::widerLabel, HUDFill::none, metrics);
    const double groupH = std::max({narrower.frame.height, percent.frame.height, wider.frame.height});
    HUDControl group{HUDPart::widthGroup, "", "", hud::optionsFont, {}, HUDFill::accent};
    double x = hud::groupMarginX;
    for (HUDControl* c : {&narrower, &percent, &wider}) {
        moveBy(*c, x, (groupH - c->frame.height) / 2);
        x += c->frame.width + hud::groupSpacing;
    }
    group.frame = Rect(0, 0, x - hud::groupSpacing + hud::groupMarginX, groupH);
    row.insert(row.end(), {group, narrower, percent, wider});
}

// The options row's controls, each framed at the origin (the group's members
// relative to the group).
std::vector<HUDControl> optionControls(const WindowManager& m, const Strip& s, TextMetrics& metrics) {
    std::vector<HUDControl> row;
    row.push_back(keyCap(hud::controlKey, metrics));
    row.push_back(keyCap(hud::optionKey, metrics));
    row.push_back(button(HUDPart::previous, hud::previousText, hud::previousLabel, HUDFill::button, metrics));
    row.push_back(button(HUDPart::next, hud::nextText, hud::nextLabel, HUDFill::button, metrics));
    row.push_back(button(HUDPart::moveLeft, hud::moveLeftText, hud::moveLeftLabel, HUDFill::button, metrics));
    row.push_back(button(HUDPart::moveRight, hud::moveRightText, hud::moveRightLabel, HUDFill::button, metrics));
    addWidthGroup(row, s.fit.pct, metrics);
    if (StripRef o = m.other()) {
        const std::string send = "Send to " + o->shortName();
        row.push_back(button(HUDPart::send, send, send, HUDFill::button, metrics));
    }
    return row;
}

// A column's tile at `x`, centred on `mid`: its windows stacked in it.
HUDTile tileFor(const WindowManager& m, const Col& col, int c, bool focused, double x, double mid) {
    HUDTile t;
    t.col = c;
    t.focused = focused;
    t.iconSize = col.items.size() > 1 ? hud::iconStacked : hud::iconSingle;
    t.frame = Rect(x, mid - hud::tileSide / 2, hud::tileSide, hud::tileSide);
    const int k = static_cast<int>(col.items.size());
    const double inner = hud::tileSide - 2 * hud::tileMargin;
    const double share = (inner - hud::tileSpacing * (k - 1)) / k;
    for (int r = 0; r < k; ++r) {
        const Item& it = col.items[static_cast<size_t>(r)];
        t.windows.push_back(HUDGlyph{r, it.app, it.icon, firstLetter(it.app), "Go to " + it.app,
                                     Rect(t.frame.x + hud::tileMargin,
                                          t.frame.y + hud::tileMargin + r * (share + hud::tileSpacing), inner, share),
                                     m.wantsAttention(it.el)});
    }
    return t;
}

}  // namespace

std::string hudStatus(int focusC, size_t columns, int pct, int index) {
    return "Column " + std::to_string(focusC + 1) + " of " + std::to_string(columns) + " · " + std::to_string(pct) +
           "% · Display " + std::to_string(index + 1);
}

HUDTile::Look HUDTile::look(double hover, double focus) {
    // Only an unfocused tile answers the pointer; focus takes it to the focused look.
    auto toFocused = [focus](double plain, double focused) { return plain + (focused - plain) * focus; };
    return {focus, hud::tileOpacity + (hud::tileHoverOpacity - hud::tileOpacity) * hover, focus,
            toFocused(1 + (hud::hoverScale - 1) * hover, 1),
            toFocused(hud::glyphDimOpacity + (1 - hud::glyphDimOpacity) * hover, 1)};
}

HUDView HUDView::make(const WindowManager& m, bool opts, TextMetrics& metrics) {
    HUDView v;
    v.opts = opts;
    StripRef s = m.cur();
    if (!m.on() || m.paused() || !s || s->cols.empty()) return v;
    v.empty = false;
    const int n = static_cast<int>(s->cols.size());

    // ---- the rows' sizes ----
    HUDControl status = statusButton(m, *s, metrics);
    const double stripInner = std::max(hud::tileSide, status.frame.height);
    v.stripRow = Rect(0, 0, 2 * hud::stripMarginX + n * (hud::tileSide + hud::stripSpacing) + status.frame.width,
                      2 * hud::stripMarginY + stripInner);
    std::vector<HUDControl> row;
    double optsW = 0;
    if (opts) {
        row = optionControls(m, *s, metrics);
        double optsInner = 0;
        int count = 0;
        for (const HUDControl& c : row) {
            if (inGroup(c)) continue;
            optsW += c.frame.width;
            optsInner = std::max(optsInner, c.frame.height);
            ++count;
        }
        optsW += hud::optionsLeading + hud::optionsTrailing + hud::optionsSpacing * (count - 1);
        v.optionsRow = Rect(0, 0, optsW, optsInner + 2 * hud::optionsMarginY);
    }

    // ---- the stack ----
    const double width = std::max(v.stripRow.width, optsW);
    double y = hud::outerMargin;
    if (v.optionsRow) {
        v.optionsRow->x = hud::outerMargin + (width - v.optionsRow->width) / 2;
        v.optionsRow->y = y;
        y += v.optionsRow->height + hud::rowSpacing;
    }
    v.stripRow.x = hud::outerMargin + (width - v.stripRow.width) / 2;
    v.stripRow.y = y;
    v.size = Size{width + 2 * hud::outerMargin, y + v.stripRow.height + hud::outerMargin};

    // Tiles and the status button, centred on the row's height.
    double x = v.stripRow.x + hud::stripMarginX;
    const double mid = v.stripRow.y + hud::stripMarginY + stripInner / 2;
    for (int c = 0; c < n; ++c) {
        v.tiles.push_back(tileFor(m, s->cols[static_cast<size_t>(c)], c, c == s->focusC, x, mid));
        x += hud::tileSide + hud::stripSpacing;
    }
    moveBy(status, x, mid - status.frame.height / 2);
    v.chevron = Rect(status.frame.maxX() - hud::statusMarginX - hud::chevronSize, mid - hud::chevronSize / 2,
                     hud::chevronSize, hud::chevronSize);
    v.controls.push_back(status);

    if (v.optionsRow) {
        double ox = v.optionsRow->x + hud::optionsLeading;
        const double omid = v.optionsRow->y + v.optionsRow->height / 2;
        Point group;
        for (HUDControl& c : row) {
            if (inGroup(c)) {
                moveBy(c, group.x, group.y);
            } else {
                moveBy(c, ox, omid - c.frame.height / 2);
                ox += c.frame.width + hud::optionsSpacing;
                if (c.part == HUDPart::widthGroup) group = c.frame.origin();
            }
            v.controls.push_back(c);
        }
    }
    return v;
}

std::optional<HUDHit> HUDView::hit(Point p) const {
    for (const HUDTile& t : tiles)
        for (const HUDGlyph& g : t.windows)
            if (g.frame.contains(p)) return HUDHit{HUDPart::window, t.col, g.row};
    for (const HUDControl& c : controls) {
        if (c.part == HUDPart::keyCap || c.part == HUDPart::widthGroup || c.part == HUDPart::percent) continue;
        if (c.frame.contains(p)) return HUDHit{c.part};
    }
    return std::nullopt;
}

const HUDControl* HUDView::control(HUDPart part) const {
    for (const HUDControl& c : controls)
        if (c.part == part) return &c;
    return nullptr;
}

}  // namespace tarvela

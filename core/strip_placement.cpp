// Turning columns into window positions and sizes, and the commands that
// change which windows the strip holds and how they are grouped.
#include <algorithm>
#include <cmath>
#include <utility>

#include "core/strip.h"
#include "core/strip_anim.h"
#include "core/strip_geometry.h"

namespace tarvela {

std::optional<std::pair<int, int>> Strip::find(const AXElement& el) const {
    for (size_t c = 0; c < cols.size(); ++c)
        for (size_t r = 0; r < cols[c].items.size(); ++r)
            if (cols[c].items[r].el == el) return std::make_pair(static_cast<int>(c), static_cast<int>(r));
    return std::nullopt;
}

const Item* Strip::focusedItem() const {
    if (focusC < 0 || static_cast<size_t>(focusC) >= cols.size()) return nullptr;
    const Col& col = cols[static_cast<size_t>(focusC)];
    if (focusR < 0 || static_cast<size_t>(focusR) >= col.items.size()) return nullptr;
    return &col.items[static_cast<size_t>(focusR)];
}

bool Strip::missedWidth(const Item& it, double miss) const {
    if (std::fabs(miss) <= 2) return false;
    // A window that snaps to cells lands up to one cell off whatever it is
    // asked for; taking that for a limit would rule out every preset that
    // happens not to fall on a cell boundary, for as long as it lives.
    auto inc = sizeIncrement(*env_.platform, it.el);
    return !inc || std::fabs(miss) >= inc->width;
}

double Strip::target(int col) const { return geom::targetOffset(cw, col, usableWidth(), align_, offset); }

void Strip::syncDisplays() {
    std::vector<AXElement> now;
    for (const Col& c : cols)
        for (const Item& it : c.items) now.push_back(it.el);
    Platform& p = *env_.platform;
    auto has = [](const std::vector<AXElement>& v, const AXElement& e) { return std::find(v.begin(), v.end(), e) != v.end(); };
    for (const AXElement& el : assigned_)
        if (!has(now, el)) p.assignDisplay(el, std::nullopt);
    for (const AXElement& el : now)
        if (!has(assigned_, el)) p.assignDisplay(el, screen.id);
    assigned_ = std::move(now);
}

std::vector<AXElement> Strip::takeAssigned() { return std::exchange(assigned_, {}); }

void Strip::resize(std::optional<double> at) {
    syncDisplays();
    cancelAnim();
    if (cols.empty()) {
        cw.clear();
        changed.emit();
        if (onSettled) onSettled();
        return;
    }
    focusC = std::min(focusC, static_cast<int>(cols.size()) - 1);
    focusR = std::min(focusR, static_cast<int>(cols[static_cast<size_t>(focusC)].items.size()) - 1);

    Platform& p = *env_.platform;
    const Rect VR = visibleRect();
    const double U = VR.width - 2 * geom::margin;
    const double uh = geom::usableHeight(VR.height);
    const Point corner{VR.minX() + geom::margin, VR.minY() + geom::top};
    std::vector<double> widths;
    widths.reserve(cols.size());
    for (Col& col : cols) {
        const int n = static_cast<int>(col.items.size());
        const double h = geom::rowHeight(n, uh);
        const double wt = geom::widthFor(col.frac, U);
        double u = 0;
        for (Item& it : col.items) {
            // Sized where the display cannot clip it; a strip resting where it
            // was left (its windows mostly there already) moves each window
            // once, to its place.
            if (!at) p.setAttribute(it.el, ax::Position, corner);
            p.setAttribute(it.el, ax::SizeAttr, Size{wt, h});
            auto f = frame(p, it.el);
            const Size got = f ? f->size() : Size{wt, h};
            it.size = got;
            it.placed.reset();
            u = std::max(u, got.width);
            const double W = got.width;
            if (missedWidth(it, W - wt)) {
                if (W < wt) it.maxW = W;
                else it.minW = W;
            } else if (it.maxW && W > *it.maxW + 2) {
                it.maxW.reset();
            }
        }
        if (n >= 2) {
            for (Item& it : col.items) {
                if (it.size.width < u - 2) {
                    p.setAttribute(it.el, ax::SizeAttr, Size{u, h});
                    auto pos = attr<Point>(p, it.el, ax::Position);
                    auto sz = attr<Size>(p, it.el, ax::SizeAttr);
                    if (pos && sz) it.size = *sz;
                }
            }
            u = 0;
            for (const Item& it : col.items) u = std::max(u, it.size.width);
        }
        widths.push_back(u);
    }
    cw = std::move(widths);
    const double T = geom::totalWidth(cw);
    // A strip narrower than its display sits centred, wherever it was left.
    const double b = at && std::isfinite(*at) && T > U ? std::clamp(*at, 0.0, T - U) : target(focusC);
    offset = b;
    place(b);
    setLive(offset);
    measure();
    changed.emit();
    if (onSettled) onSettled();
    if (onActivity) onActivity();
}

void Strip::place(double o) {
    Platform& p = *env_.platform;
    const Rect VR = visibleRect();
    const double uh = geom::usableHeight(VR.height);
    for (size_t i = 0; i < cols.size() && i < cw.size(); ++i) {
        const int n = static_cast<int>(cols[i].items.size());
        const double x = VR.minX() + geom::margin + geom::columnLeft(cw, i) - o;
        for (int j = 0; j < n; ++j) {
            Item& it = cols[i].items[static_cast<size_t>(j)];
            const Point P{x, VR.minY() + geom::rowY(n, j, uh)};
            if (it.placed && std::fabs(it.placed->x - P.x) < 0.5 && std::fabs(it.placed->y - P.y) < 0.5) continue;
            p.setAttribute(it.el, ax::Position, P);
            it.placed = P;
        }
    }
}

void Strip::setLayout(Layout l) {
    if (layout == l) return;
    layout = l;
    changed.emit();
}

// Columns given from outside: empty ones are dropped, the focus starts at the first.
void Strip::replaceColumns(std::vector<Col> columns, Layout l) {
    setLayout(l);
    std::erase_if(columns, [](const Col& c) { return c.items.empty(); });
    cols = std::move(columns);
    focusC = 0;
    focusR = 0;
}

void Strip::start(std::vector<Col> columns, Layout l) {
    running = true;
    replaceColumns(std::move(columns), l);
    Platform& p = *env_.platform;
    if (auto front = p.frontmostApplication()) {
        if (auto fw = attr<AXElement>(p, AXElement::application(front->pid), ax::FocusedWindow)) {
            if (auto at = find(*fw)) {
                focusC = at->first;
                focusR = at->second;
            }
        }
    }
    resize();
}

void Strip::start(std::vector<Col> columns, Layout l, const Rest& rest) {
    running = true;
    replaceColumns(std::move(columns), l);
    if (!cols.empty()) {
        focusC = std::clamp(rest.focusC, 0, static_cast<int>(cols.size()) - 1);
        focusR = std::clamp(rest.focusR, 0, static_cast<int>(cols[static_cast<size_t>(focusC)].items.size()) - 1);
    }
    resize(rest.offset);
}

void Strip::setColumns(std::vector<Col> columns, Layout l) {
    replaceColumns(std::move(columns), l);
    resize();
}

void Strip::applyLayout(Layout l) {
    std::optional<AXElement> noted;
    if (const Item* f = focusedItem()) noted = f->el;
    setLayout(l);
    std::vector<Item> all;
    for (const Col& c : cols)
        for (const Item& it : c.items) all.push_back(it);
    cols = group(all, l);
    if (noted)
        if (auto at = find(*noted)) {
            focusC = at->first;
            focusR = at->second;
        }
    resize();
}

void Strip::add(Item item, bool focus, std::optional<Place> at) {
    const int n = static_cast<int>(cols.size());
    int c = cols.empty() ? 0 : std::min(focusC + 1, n);
    int r = 0;
    if (at && at->row && at->col >= 0 && at->col < n) {
        c = at->col;
        auto& items = cols[static_cast<size_t>(c)].items;
        r = std::clamp(*at->row, 0, static_cast<int>(items.size()));
        items.insert(items.begin() + r, std::move(item));
        if (!focus && c == focusC && r <= focusR) ++focusR;
    } else {
        if (at) c = std::clamp(at->col, 0, n);
        Col col;
        col.frac = at ? at->frac : defaultFrac(item, Layout::strip);
        col.items.push_back(std::move(item));
        cols.insert(cols.begin() + c, std::move(col));
        if (!focus && n > 0 && c <= focusC) ++focusC;
    }
    if (focus || n == 0) {
        focusC = c;
        focusR = r;
    }
    resize();
    if (onActivity) onActivity();
}

std::optional<Item> Strip::remove(const AXElement& el) {
    auto at = find(el);
    if (!at) return std::nullopt;
    const auto [c, r] = *at;
    Col& col = cols[static_cast<size_t>(c)];
    Item removed = col.items[static_cast<size_t>(r)];
    col.items.erase(col.items.begin() + r);
    if (col.items.empty()) cols.erase(cols.begin() + c);
    const int n = static_cast<int>(cols.size());
    if (focusC >= n) focusC = std::max(n - 1, 0);
    if (c == focusC) {
        focusR = n == 0 ? 0
                        : std::min(focusR, std::max(static_cast<int>(cols[static_cast<size_t>(focusC)].items.size()) - 1, 0));
    } else if (c < focusC && cols.size() < cw.size()) {
        focusC = std::max(focusC - 1, 0);
    }
    resize();
    return removed;
}

std::vector<Item> Strip::prune() {
    Platform& p = *env_.platform;
    std::vector<Item> dead;
    for (const Col& c : cols)
        for (const Item& it : c.items) {
            const bool gone = !attr<Point>(p, it.el, ax::Position) || !attr<Size>(p, it.el, ax::SizeAttr) ||
                              !isTileable(p, it.el);
            if (gone) dead.push_back(it);
        }
    if (dead.empty()) return dead;
    std::optional<AXElement> noted;
    if (const Item* f = focusedItem()) noted = f->el;
    for (Col& c : cols)
        std::erase_if(c.items, [&](const Item& it) {
            return std::any_of(dead.begin(), dead.end(), [&](const Item& d) { return d.el == it.el; });
        });
    std::erase_if(cols, [](const Col& c) { return c.items.empty(); });
    std::optional<std::pair<int, int>> at = noted ? find(*noted) : std::nullopt;
    if (at) {
        focusC = at->first;
        focusR = at->second;
    } else {
        focusC = std::min(focusC, std::max(static_cast<int>(cols.size()) - 1, 0));
        focusR = 0;
    }
    resize();
    return dead;
}

std::optional<Point> Strip::placedPoint(const AXElement& el) const {
    auto at = find(el);
    if (!at) return std::nullopt;
    return cols[static_cast<size_t>(at->first)].items[static_cast<size_t>(at->second)].placed;
}

void Strip::reseat(const AXElement& el) {
    if (!running || animating) return;
    auto at = find(el);
    if (!at) return;
    cols[static_cast<size_t>(at->first)].items[static_cast<size_t>(at->second)].placed.reset();
    place(offset);
}

void Strip::raise(int c, int r) {
    // Focused as in place, then slid into view: no echo is waited for.
    inPlace_.reset();
    focusInPlace(c, r);
    if (!std::exchange(inPlace_, std::nullopt)) return;
    moveTo(c, true);
}

void Strip::focusInPlace(int c, int r) {
    if (c < 0 || static_cast<size_t>(c) >= cols.size()) return;
    const Col& col = cols[static_cast<size_t>(c)];
    if (r < 0 || static_cast<size_t>(r) >= col.items.size()) return;
    const Item& it = col.items[static_cast<size_t>(r)];
    Platform& p = *env_.platform;
    if (p.runningApplication(it.pid)) p.activate(it.pid);
    p.performAction(it.el, ax::Raise);
    p.setAttribute(it.el, ax::Main, true);
    inPlace_ = it.el;
    setFocusC(c);
    focusR = r;
}

std::optional<std::pair<int, int>> Strip::wholeWindowAt(Point pt) const {
    if (!running || animating || scrolling) return std::nullopt;
    const Rect VR = visibleRect();
    if (!VR.contains(pt)) return std::nullopt;
    const double uh = geom::usableHeight(VR.height);
    for (size_t i = 0; i < cols.size() && i < cw.size(); ++i) {
        const double x = VR.minX() + geom::margin + geom::columnLeft(cw, i) - offset;
        if (pt.x < x || pt.x >= x + cw[i]) continue;
        if (x < VR.minX() - 0.5 || x + cw[i] > VR.maxX() + 0.5) return std::nullopt;
        const int n = static_cast<int>(cols[i].items.size());
        for (int j = 0; j < n; ++j) {
            const double y = VR.minY() + geom::rowY(n, j, uh);
            if (pt.y >= y && pt.y < y + geom::rowHeight(n, uh)) return std::make_pair(static_cast<int>(i), j);
        }
        return std::nullopt;
    }
    return std::nullopt;
}

void Strip::focusChanged(const AXElement& el) {
    if (!running) return;
    auto at = find(el);
    if (!at) return;
    const auto [c, r] = *at;
    if (inPlace_ == el) {
        inPlace_.reset();
        if (c == focusC && r == focusR) return;
    }
    if (c == focusC && r == focusR && (animating || std::fabs(offset - target(focusC)) <= 0.5)) return;
    setFocusC(c);
    focusR = r;
    moveTo(c, true);
}

void Strip::stackLeft() { stackToward(-1); }

void Strip::stackRight() { stackToward(1); }

// A lone window joins the neighbouring column on that side (at its bottom);
// a stacked one leaves for a column of its own on the other side, as wide as
// the one it left.
void Strip::stackToward(int side) {
    if (!focusedItem()) return;
    const size_t fc = static_cast<size_t>(focusC);
    if (cols[fc].items.size() == 1) {
        const int into = focusC + side;
        if (into < 0 || into >= static_cast<int>(cols.size())) return;
        Item it = cols[fc].items.front();
        cols.erase(cols.begin() + focusC);
        focusC = side < 0 ? into : focusC;  // the right neighbour took the erased place
        Col& target = cols[static_cast<size_t>(focusC)];
        target.items.push_back(std::move(it));
        focusR = static_cast<int>(target.items.size()) - 1;
    } else {
        Item it = cols[fc].items[static_cast<size_t>(focusR)];
        cols[fc].items.erase(cols[fc].items.begin() + focusR);
        Col nc;
        nc.frac = cols[fc].frac;
        nc.items.push_back(std::move(it));
        if (side < 0) focusC += 1;
        cols.insert(cols.begin() + focusC, std::move(nc));
        focusR = 0;
    }
    resize();
    if (onActivity) onActivity();
}

void Strip::unstack() {
    if (!focusedItem() || cols[static_cast<size_t>(focusC)].items.size() < 2) return;
    // What stackLeft does to a stacked window.
    stackLeft();
}

void Strip::moveColumn(int to) {
    if (!focusedItem() || cw.size() != cols.size()) return;
    to = std::clamp(to, 0, static_cast<int>(cols.size()) - 1);
    if (to == focusC) return;
    // Widths do not change: the measured widths travel with their columns,
    // and the slide writes only the windows that end up somewhere else.
    auto shift = [&](auto& v) {
        if (to < focusC) std::rotate(v.begin() + to, v.begin() + focusC, v.begin() + focusC + 1);
        else std::rotate(v.begin() + focusC, v.begin() + focusC + 1, v.begin() + to + 1);
    };
    shift(cols);
    shift(cw);
    if (animating) {
        cancelAnim();
        offset = liveOffset();
    }
    focusC = to;
    changed.emit();
    moveTo(to, true);
}

void Strip::toggleFullWidth() {
    if (!focusedItem()) return;
    Col& c = cols[static_cast<size_t>(focusC)];
    if (c.beforeFull && std::fabs(c.frac - 1.0) < 1e-9) {
        const double back = *c.beforeFull;
        c.beforeFull.reset();
        setWidth(back);
        return;
    }
    c.beforeFull = c.frac;
    setWidth(1.0);
}

void Strip::setAlign(Align a) {
    align_ = a;
    if (running) moveTo(focusC, true);
}

}  // namespace tarvela

// The strip's model: construction, display names, widths and their commands,
// the fit indicator and grouping into columns.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/strip.h"
#include "core/strip_anim.h"
#include "core/strip_geometry.h"

namespace tarvela {

Item Item::make(const AXElement& el, const RunningApp& app) {
    Item it;
    it.el = el;
    it.pid = app.pid;
    it.app = app.localizedName.value_or("App");
    it.bundleID = app.bundleIdentifier;
    it.icon = app.icon;
    return it;
}

std::string Widths::label(std::optional<double> w) {
    if (!w) return "—";
    const double v = *w;
    auto near = [&](double x) { return std::fabs(v - x) <= 0.02; };
    if (near(1.0 / 3)) return "⅓";
    if (near(0.5)) return "½";
    if (near(2.0 / 3)) return "⅔";
    if (near(1.0)) return "Full";
    if (near(0.25)) return "¼";
    if (near(0.75)) return "¾";
    return std::to_string(static_cast<long long>(std::round(v * 100))) + "%";
}

Strip::Strip(StripEnv env, Screen s, int idx)
    : screen(std::move(s)), index(idx), eui(*env.platform), env_(std::move(env)) {
    animQ_ = env_.makeQueue ? env_.makeQueue("tarvela.strip.anim") : makeThreadQueue("tarvela.strip.anim");
    anim_ = std::make_shared<AnimShared>();
}

std::shared_ptr<Strip> Strip::create(StripEnv env, Screen screen, int index) {
    return std::shared_ptr<Strip>(new Strip(std::move(env), std::move(screen), index));
}

Strip::~Strip() {
    // Stop the timer before the queue goes, so no tick outlives the strip.
    auto anim = anim_;
    animQ_->sync([anim] {
        if (anim->source) anim->source->cancel();
        anim->source.reset();
    });
    animQ_.reset();
}

// ---- published state ----

void Strip::setFocusC(int c) {
    if (focusC == c) return;
    focusC = c;
    changed.emit();
}

void Strip::setFit(const Fit& f) {
    if (fit == f) return;
    fit = f;
    changed.emit();
}

void Strip::setScrolling(bool s) {
    if (scrolling == s) return;
    scrolling = s;
    changed.emit();
}

// ---- derived ----

Screen Strip::currentScreen() const {
    for (const Screen& s : env_.platform->screens())
        if (s.id == screen.id) return s;
    return screen;
}

Rect Strip::visibleRect() const { return axRect(*env_.platform, currentScreen().visibleFrame); }

double Strip::usableWidth() const { return visibleRect().width - 2 * geom::margin; }

double Strip::usableHeight() const { return geom::usableHeight(visibleRect().height); }

double Strip::totalWidth() const { return geom::totalWidth(cw); }

std::string Strip::displayName() const {
    const std::string& n = screen.localizedName;
    return n.find("Built-in") != std::string::npos ? "Built-in display" : n;
}

std::string Strip::shortName() const {
    const std::string& n = screen.localizedName;
    if (n.find("Built-in") != std::string::npos) return "Built-in";
    std::istringstream in(n);
    std::string word;
    if (in >> word) return word;
    return "Display";
}

std::string Strip::resolution() const {
    const Screen s = currentScreen();
    auto w = static_cast<long long>(s.frame.width * s.backingScaleFactor);
    auto h = static_cast<long long>(s.frame.height * s.backingScaleFactor);
    return std::to_string(w) + " × " + std::to_string(h);
}

std::vector<double> Strip::columnShares() const {
    std::vector<double> out;
    if (!cols.empty() && cw.size() == cols.size()) {
        double sum = 0;
        for (double w : cw) sum += w;
        for (double w : cw) out.push_back(w / std::max(sum, 1.0));
    } else {
        const double share = 1.0 / static_cast<double>(std::max<size_t>(cols.size(), 1));
        out.assign(cols.size(), share);
    }
    return out;
}

double Strip::defaultFrac(const Item& item, Layout l, WidthDefaults* widths) {
    switch (l) {
        case Layout::strip:
            if (widths) {
                if (item.bundleID)
                    if (auto w = widths->ruleWidth(*item.bundleID)) return *w;
                return widths->defaultWidth();
            }
            return 0.5;
        case Layout::two:
        case Layout::plus21:
        case Layout::plus12:
        case Layout::grid22: return 0.5;
        case Layout::three:
        case Layout::grid32: return 1.0 / 3;
        case Layout::four: return 0.25;
    }
    return 0.5;
}

double Strip::defaultFrac(const Item& item, Layout l) const { return defaultFrac(item, l, env_.widths); }

// ---- widths ----

std::pair<double, double> Strip::limits() const {
    double cap = std::numeric_limits<double>::max();
    double floor = 0;
    if (focusC < 0 || static_cast<size_t>(focusC) >= cols.size()) return {cap, floor};
    for (const Item& it : cols[static_cast<size_t>(focusC)].items) {
        if (it.maxW) cap = std::min(cap, *it.maxW);
        if (it.minW) floor = std::max(floor, *it.minW);
    }
    return {cap, floor};
}

void Strip::setWidth(double frac) {
    if (focusC < 0 || static_cast<size_t>(focusC) >= cols.size()) return;
    cols[static_cast<size_t>(focusC)].frac = frac;
    resize();
    if (onActivity) onActivity();
}

namespace {
constexpr double stepPresets[] = {0.25, 1.0 / 3, 0.5, 2.0 / 3, 0.75, 1.0};
constexpr double cyclePresets[] = {1.0 / 3, 0.5, 2.0 / 3};
}  // namespace

void Strip::stepWidth(int direction) {
    const double U = usableWidth();
    const bool valid = focusC >= 0 && static_cast<size_t>(focusC) < cols.size() &&
                       static_cast<size_t>(focusC) < cw.size();
    const double c = valid ? geom::fracFor(cw[static_cast<size_t>(focusC)], U) : 0.5;
    auto [cap, floor] = limits();
    if (direction >= 1) {
        for (double p : stepPresets) {
            if (p > c + 0.02) {
                if (geom::widthFor(p, U) <= cap + 2) setWidth(p);
                return;  // a wider preset would be capped too
            }
        }
    } else {
        for (auto it = std::rbegin(stepPresets); it != std::rend(stepPresets); ++it) {
            const double p = *it;
            if (p < c - 0.02) {
                if (geom::widthFor(p, U) >= floor - 2) setWidth(p);
                return;
            }
        }
    }
}

void Strip::cycleWidth() {
    const double U = usableWidth();
    const bool valid = focusC >= 0 && static_cast<size_t>(focusC) < cols.size() &&
                       static_cast<size_t>(focusC) < cw.size();
    const double c = valid ? geom::fracFor(cw[static_cast<size_t>(focusC)], U) : 0.5;
    auto [cap, floor] = limits();
    std::vector<double> kept;
    for (double p : cyclePresets) {
        const double w = geom::widthFor(p, U);
        if (floor - 2 <= w && w <= cap + 2) kept.push_back(p);
    }
    if (kept.empty()) return;
    for (double p : kept) {
        if (p > c + 0.02) {
            setWidth(p);
            return;
        }
    }
    setWidth(kept.front());
}

void Strip::measure() {
    const double U = usableWidth();
    const Item* item = focusedItem();
    std::optional<Rect> f = item ? frame(*env_.platform, item->el) : std::nullopt;
    if (!item || !f || U <= 0) {
        setFit(Fit{});
        return;
    }
    const Rect VR = visibleRect();
    const double t = geom::widthFor(cols[static_cast<size_t>(focusC)].frac, U);
    Fit n;
    n.pct = static_cast<int>(std::lround(f->width / U * 100));
    n.full = std::fabs(f->minX() - (VR.minX() + geom::margin)) <= 2 &&
             std::fabs(f->maxX() - (VR.maxX() - geom::margin)) <= 2;
    const bool missed = missedWidth(*item, f->width - t);
    n.capped = !n.full && missed && f->width < t;
    n.floored = missed && f->width > t;
    setFit(n);
}

std::vector<Col> Strip::group(const std::vector<Item>& items, Layout l) const {
    std::vector<int> pattern;
    switch (l) {
        case Layout::plus21: pattern = {2, 1}; break;
        case Layout::plus12: pattern = {1, 2}; break;
        case Layout::grid22:
        case Layout::grid32: pattern = {2}; break;
        default: pattern = {1}; break;
    }
    std::vector<Col> out;
    size_t next = 0;
    for (size_t i = 0; next < items.size(); ++i) {
        const size_t n = static_cast<size_t>(pattern[i % pattern.size()]);
        Col col;
        for (size_t k = 0; k < n && next < items.size(); ++k) col.items.push_back(items[next++]);
        col.frac = defaultFrac(col.items.front(), l);
        out.push_back(std::move(col));
    }
    return out;
}

// ---- invariants ----

std::string Strip::checkInvariants() const {
    std::ostringstream err;
    for (size_t i = 0; i < cols.size(); ++i)
        if (cols[i].items.empty()) err << "column " << i << " is empty; ";
    if (!cols.empty()) {
        if (focusC < 0 || static_cast<size_t>(focusC) >= cols.size()) err << "focusC " << focusC << " out of range; ";
        else if (focusR < 0 || static_cast<size_t>(focusR) >= cols[static_cast<size_t>(focusC)].items.size())
            err << "focusR " << focusR << " out of range; ";
    }
    return err.str();
}

}  // namespace tarvela

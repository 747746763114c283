#include "feedback/popover_model.h"

#include <cmath>

#include "core/text.h"
#include "manager/window_manager.h"
#include "settings/prefs.h"

namespace tarvela {

namespace {

struct WidthPreset {
    double frac;
    const char* label;
};
constexpr WidthPreset widthPresets[] = {{1.0 / 3, "⅓"}, {0.5, "½"}, {2.0 / 3, "⅔"}, {1.0, "Full"}};

PopoverHeader headerOf(const WindowManager& m) {
    PopoverHeader h;
    h.on = m.on();
    h.paused = m.paused();
    h.state = m.on() && m.paused() ? popover::pausedState : !m.on() ? popover::offState : m.statusLine();
    h.pauseHelp = m.paused() ? popover::resumeHelp : popover::pauseHelp;
    return h;
}

StripCard stripCard(const WindowManager& m, const StripRef& s) {
    StripCard c;
    if (!m.on()) {
        c.empty = EmptyState{popover::offEmpty, ""};
        return c;
    }
    if (!s || s->cols.empty()) {
        c.empty = EmptyState{popover::noWindows, popover::noWindowsDetail};
        return c;
    }
    const int n = static_cast<int>(s->cols.size());
    c.caption = " · column " + std::to_string(s->focusC + 1) + " of " + std::to_string(n);
    c.tilesEnabled = m.acting();
    // The overview opens only while the manager acts.
    if (m.acting()) c.overviewLink = popover::overviewLink;
    for (int i = 0; i < n; ++i) {
        PopoverTile t;
        t.col = i;
        t.focused = i == s->focusC;
        t.help = "Go to column " + std::to_string(i + 1);
        for (const Item& it : s->cols[static_cast<size_t>(i)].items)
            t.windows.push_back({cutText(it.app, PopoverTile::nameChars), it.icon, m.wantsAttention(it.el)});
        c.tiles.push_back(std::move(t));
    }
    return c;
}

std::optional<DisplayCard> displayCard(const WindowManager& m, const StripRef& cur) {
    const std::vector<StripRef>& strips = m.strips();
    if (strips.empty()) return std::nullopt;
    DisplayCard c;
    for (const StripRef& s : strips) {
        size_t windows = 0;
        for (const Col& col : s->cols) windows += col.items.size();
        c.rows.push_back({s->index, s->displayName(), std::to_string(windows) + popover::ownStrip, s == cur});
    }
    c.sendEnabled = m.acting();
    if (strips.size() > 1)
        c.sendButton = popover::sendButton;
    else
        c.note = popover::oneDisplay;
    return c;
}

WidthCard widthCard(const WindowManager& m, const StripRef& s) {
    WidthCard c;
    const bool focused = s && s->focusC >= 0 && static_cast<size_t>(s->focusC) < s->cols.size();
    c.enabled = focused && m.acting();
    for (const WidthPreset& p : widthPresets) {
        const bool sel = focused && std::fabs(s->cols[static_cast<size_t>(s->focusC)].frac - p.frac) < 1e-6;
        c.choices.push_back({p.frac, p.label, sel});
    }
    return c;
}

}  // namespace

std::string alignTitle(Align a) {
    switch (a) {
        case Align::left: return "Left";
        case Align::center: return "Center";
        case Align::right: return "Right";
        case Align::autoAlign: return "Auto";
    }
    return "Center";
}

std::string layoutTitle(Layout l) {
    switch (l) {
        case Layout::strip: return "Strip";
        case Layout::two: return "Two";
        case Layout::three: return "Three";
        case Layout::plus21: return "2 + 1";
        case Layout::plus12: return "1 + 2";
        case Layout::grid22: return "2 × 2";
        case Layout::grid32: return "3 × 2";
        case Layout::four: return "Four";
    }
    return "Strip";
}

PopoverModel PopoverModel::make(const WindowManager& m, const Prefs& prefs, bool updateAvailable) {
    PopoverModel p;
    const StripRef cur = m.cur();
    p.header = headerOf(m);
    if (!m.trusted()) p.permission = PermissionBanner{};
    p.strip = stripCard(m, cur);
    p.display = displayCard(m, cur);
    p.width = widthCard(m, cur);

    for (Align a : allAligns) p.align.choices.push_back({a, alignTitle(a), a == prefs.align()});
    p.align.enabled = !m.held();

    p.effects.dimLevel = prefs.dimLevel();
    p.effects.dim = prefs.dimLevel() > 0;
    p.effects.blur = prefs.blur();

    // Without a current strip, the layout new strips start with.
    const Layout current = cur ? cur->layout : prefs.layout();
    for (Layout l : allLayouts) p.layouts.choices.push_back({l, layoutTitle(l), l == current});
    p.layouts.enabled = !m.held();
    p.desktops = desktopTabs(m);

    p.footer = {{FooterButton::workspaces, "Workspaces"},
                {FooterButton::settings, "Settings"},
                {FooterButton::updates, "Updates", updateAvailable},
                {FooterButton::quit, "Quit"}};
    return p;
}

PopoverActions::PopoverActions(WindowManager& manager, Prefs& prefs, PopoverHooks hooks)
    : m_(manager), prefs_(prefs), hooks_(std::move(hooks)) {
    managerLink_ = m_.changed.connect([this] { changed.emit(); });
    prefsLink_ = prefs_.changed.connect([this] { changed.emit(); });
}

void PopoverActions::showDesktop(int index) { m_.showDesktop(index); }

PopoverModel PopoverActions::model() const {
    return PopoverModel::make(m_, prefs_, hooks_.updateAvailable && hooks_.updateAvailable());
}

void PopoverActions::togglePause() {
    m_.note.set("");
    m_.paused.set(!m_.paused());
}

void PopoverActions::setOn(bool on) {
    m_.note.set("");
    if (on) {
        prefs_.enabled.set(true);
        prefs_.onboarded.set(true);
        m_.start();
    } else {
        prefs_.enabled.set(false);
        m_.stop(false);
    }
}

void PopoverActions::takeOver() { call(hooks_.takeOver); }

// What moves windows goes through the manager's one way in.
void PopoverActions::goToColumn(int col) { m_.raise(col, 0); }

void PopoverActions::openOverview() { m_.openOverview(); }

void PopoverActions::send() { m_.send(); }

void PopoverActions::setWidth(double frac) { m_.setWidth(frac); }

void PopoverActions::setAlign(Align a) { m_.setAlign(a); }

void setDimmed(Prefs& prefs, bool on) {
    if (!on)
        prefs.dimLevel.set(0);
    else if (prefs.dimLevel() < 1)
        prefs.dimLevel.set(popover::defaultDimLevel);
}

void PopoverActions::setDim(bool on) { setDimmed(prefs_, on); }

void PopoverActions::setBlur(bool on) { prefs_.blur.set(on); }

void PopoverActions::setLayout(Layout l) { m_.setLayout(l); }

void PopoverActions::footer(FooterButton b) {
    switch (b) {
        case FooterButton::workspaces: call(hooks_.openWorkspaces); break;
        case FooterButton::settings: call(hooks_.openSettings); break;
        case FooterButton::updates: call(hooks_.openUpdates); break;
        case FooterButton::quit: call(hooks_.quit); break;
    }
}

}  // namespace tarvela

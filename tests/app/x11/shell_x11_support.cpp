#include <cmath>
#include <sstream>

#include "core/log.h"
#include "core/strip_geometry.h"
#include "platform/x11/frames.h"
#include "shell_x11_fixture.h"

namespace tarvela::testing {

void ShellX11Test::SetUp() {
    X11Test::SetUp();
    if (HasFatalFailure()) return;
    setLogSink([this](const std::string& line) {
        std::lock_guard<std::mutex> lock(logMutex_);
        logs_.push_back(line);
    });
    Prefs stored(defaults_);
    stored.onboarded.set(true);
}

void ShellX11Test::TearDown() {
    if (shell_)
        for (const std::string& bad : manager().checkInvariants()) ADD_FAILURE() << bad;
    shell_.reset();  // before the platform it arranges windows on
    setLogSink(nullptr);
    X11Test::TearDown();
}

void ShellX11Test::startShell() {
    startPlatform();
    shell_ = std::make_unique<Shell>(ShellDeps{.platform = *wm_,
                                               .main = loop_,
                                               .defaults = defaults_,
                                               .hotkeys = keys_,
                                               .router = router_,
                                               .feedback = feedback_,
                                               .managerStopped = [this] {
                                                   ++stops_;
                                                   wm_->releaseAllArranged();
                                               }});
    router_.completeOnboarding = [this] { shell_->completeOnboarding(); };
    shell_->start({});
}

StripRef ShellX11Test::stripOf(const AXElement& el) {
    for (const StripRef& s : manager().strips())
        if (s->find(el)) return s;
    return nullptr;
}

std::vector<xcb_window_t> ShellX11Test::mappedClients() {
    std::vector<xcb_window_t> out;
    auto* tree = xcb_query_tree_reply(tc_->c(), xcb_query_tree(tc_->c(), tc_->root()), nullptr);
    if (!tree) return out;
    const auto check = tc_->cardinals(tc_->root(), "_NET_SUPPORTING_WM_CHECK");
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
        const xcb_window_t w = kids[i];
        if (!check.empty() && check[0] == w) continue;
        auto* a = xcb_get_window_attributes_reply(tc_->c(), xcb_get_window_attributes(tc_->c(), w), nullptr);
        const bool shown = a && a->map_state == XCB_MAP_STATE_VIEWABLE && !a->override_redirect;
        free(a);
        if (!shown) continue;
        // Xt programs (xlogo, xeyes) name their class but not their pid.
        auto* cls = xcb_get_property_reply(
            tc_->c(), xcb_get_property(tc_->c(), 0, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr);
        const bool named = cls && xcb_get_property_value_length(cls) > 0;
        free(cls);
        if (named || tc_->cardinals(w, "_NET_WM_PID").size() == 1) out.push_back(w);
    }
    free(tree);
    return out;
}

bool ShellX11Test::quiet(double seconds) {
    auto still = [&] {
        if (!shell_) return true;
        for (const StripRef& s : manager().strips())
            if (s->animating) return false;
        return true;
    };
    return waitFor(still, seconds) && barrier() && waitFor(still, seconds);
}

std::string ShellX11Test::mismatches() {
    std::ostringstream out;
    for (const StripRef& s : manager().strips()) {
        const Rect VR = s->visibleRect();
        const Rect display = axRect(*wm_, s->currentScreen().frame);
        const double uh = geom::usableHeight(VR.height);
        for (size_t i = 0; i < s->cols.size() && i < s->cw.size(); ++i) {
            const int n = static_cast<int>(s->cols[i].items.size());
            for (int j = 0; j < n; ++j) {
                const Item& it = s->cols[i].items[static_cast<size_t>(j)];
                const Point P{VR.minX() + geom::margin + geom::columnLeft(s->cw, i) - s->offset,
                              VR.minY() + geom::rowY(n, j, uh)};
                // Nothing of it on its display: hidden, it waits just inside.
                Rect at(std::lround(P.x), std::lround(P.y), std::lround(it.size.width), std::lround(it.size.height));
                if (!x11::overlaps(at, display)) at = x11::reachable(at, display, false);
                const auto g = tc_->geometry(xid(it.el));
                const bool placedOk = it.placed && std::fabs(it.placed->x - P.x) < 0.5 &&
                                      std::fabs(it.placed->y - P.y) < 0.5;
                if (!g.ok || g.x != at.x || g.y != at.y || !placedOk ||
                    g.w != std::lround(it.size.width) || g.h != std::lround(it.size.height)) {
                    out << "strip " << s->index << " column " << i << " row " << j << " (" << it.app
                        << "): server " << g.x << "," << g.y << " " << g.w << "x" << g.h << "; engine " << P.x << ","
                        << P.y << " " << it.size.width << "x" << it.size.height
                        << (placedOk ? "" : " (recorded point differs)") << "\n";
                }
            }
        }
    }
    return out.str();
}

bool ShellX11Test::fullyOffScreen(const AXElement& el, double screenLeft, double screenRight) {
    const auto g = frame(*wm_, el);
    return g && (g->minX() >= screenRight || g->maxX() <= screenLeft);
}

bool ShellX11Test::altDrag(int x0, int y0, int x1, int y1) {
    constexpr uint8_t kAltL = 64;  // Alt_L in the X server's default keymap
    int ups = 0;
    auto monitor = wm_->addMouseUpMonitor([&] { ++ups; });
    tc_->motion(x0, y0);
    tc_->key(kAltL, true);
    tc_->button(1, true);
    tc_->motion((x0 + x1) / 2, (y0 + y1) / 2);
    tc_->motion(x1, y1);
    tc_->button(1, false);
    tc_->key(kAltL, false);
    // The pointer stays frozen until the press is handled, so the motions come
    // after any barrier taken now: wait for the release itself.
    return waitFor([&] { return ups > 0; }) && barrier();
}

bool ShellX11Test::logged(const std::string& text) {
    std::lock_guard<std::mutex> lock(logMutex_);
    for (const std::string& l : logs_)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

std::vector<std::string> ShellX11Test::logs() {
    std::lock_guard<std::mutex> lock(logMutex_);
    return logs_;
}

}  // namespace tarvela::testing

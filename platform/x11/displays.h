// The displays: RandR 1.5 monitors (or the whole root without it), less the
// struts of the docks and panels on them, as the screens the logic sees;
// cached until RandR, the root, the resources or a strut say they changed.
// Docks are never managed: this part alone keeps them.
#pragma once

#include <xcb/xcb.h>

#include <map>
#include <optional>
#include <set>
#include <vector>

#include "core/platform.h"
#include "platform/x11/monitors.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

class Displays {
public:
    explicit Displays(Connection& conn);
    Displays(const Displays&) = delete;
    Displays& operator=(const Displays&) = delete;

    void useRandr15(bool on) { randr15_ = on; }
    int rootWidth() const { return rootW_; }
    int rootHeight() const { return rootH_; }
    // The root's size from its ConfigureNotify; true when it changed.
    bool rootResized(int width, int height);

    void setDock(xcb_window_t w, std::optional<Strut> strut);
    bool isDock(xcb_window_t w) const { return docks_.count(w) > 0; }
    // Forgets a dock; true when w was one.
    bool dropDock(xcb_window_t w);
    void dropDocks() { docks_.clear(); }
    const std::map<xcb_window_t, std::optional<Strut>>& docks() const { return docks_; }
    std::vector<Strut> struts() const;

    // Asks the server (not cached).
    std::vector<Monitor> monitors();
    const std::vector<Screen>& screens();
    // Something the screens derive from may have changed: read them afresh next time.
    void changed();
    // Drops what is cached without a change to announce (letting go of the display).
    void forget() { screens_.reset(); }
    // Whether the logic must hear of a change it can see since it last looked;
    // each change is announced once.
    bool takeAnnouncement();

    // The monitor (root coordinates) a window belongs to; see monitorAt.
    std::optional<Rect> monitorFor(const Rect& r);
    // A screen's rectangle in root coordinates.
    std::optional<Rect> displayRect(uint64_t screenId);

private:
    // Sets each monitor's identity from its first output's EDID.
    void identify(std::vector<Monitor>& monitors);
    Connection& conn_;
    bool randr15_ = false;
    int rootW_ = 0, rootH_ = 0;
    std::map<xcb_window_t, std::optional<Strut>> docks_;
    std::set<xcb_window_t> oversizedDocks_;  // said once each
    std::optional<std::vector<Screen>> screens_;
    bool changePending_ = false;
    std::optional<std::vector<Screen>> announced_;  // as the logic last learnt them
};

}  // namespace tarvela::x11

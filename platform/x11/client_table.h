// The windows we manage: a Client record per window, in mapping order, and
// their stacking, bottom to top.
//
// Invariants (local to this part):
// - stacking() holds exactly the windows of the records, each once: a window
//   enters both with add() and leaves both with remove().
// - A record's mapping order (Client::seq) is unique and grows with each add().
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/title_bar.h"
#include "platform/x11/monitors.h"
#include "platform/x11/size_hints.h"

namespace tarvela::x11 {

enum class WinType { Untyped, Normal, Dialog, Utility, Splash, Toolbar, Menu, Dock, Desktop, Transient, Other };

// What a window says about itself, read in one pipelined batch when it appears
// and refreshed on PropertyNotify.
struct WindowProps {
    bool exists = false;  // the attributes could be read
    bool overrideRedirect = false;
    bool viewable = false;
    Rect geom;
    uint16_t border = 0;
    WinType type = WinType::Untyped;
    xcb_window_t transientFor = XCB_NONE;
    // WM_HINTS window_group: the windows of one application window (GIMP's
    // image window, toolbox and docks) share it.
    xcb_window_t group = XCB_NONE;
    bool transientForGroup = false;  // WM_TRANSIENT_FOR names None or the root (ICCCM, EWMH)
    int32_t pid = 0;
    std::string instance, cls, gtkAppId, title;
    SizeHints hints;
    bool acceptsInput = true;
    bool urgent = false;  // WM_HINTS UrgencyHint
    // _NET_WM_USER_TIME, and the window that carries it when the client keeps it elsewhere.
    std::optional<uint32_t> userTime;
    xcb_window_t userTimeWindow = XCB_NONE;
    bool startsIconic = false;
    bool takeFocus = false, deleteWindow = false, ping = false;
    // It draws its own frame: Motif hints without a title, or GTK's
    // client-side decorations (_GTK_FRAME_EXTENTS).
    bool ownDecorations = false;
    MotifHints motif;  // what it lets us do and show
    std::vector<xcb_atom_t> netState;
    std::optional<Strut> strut;
    uint32_t wmState = 0;  // WM_STATE: 0 withdrawn, 1 normal, 3 iconic
    std::optional<uint32_t> desktop;  // _NET_WM_DESKTOP as the client (or an earlier window manager) set it
};

struct Client {
    xcb_window_t win = XCB_NONE;
    xcb_window_t frame = XCB_NONE;
    uint64_t seq = 0;  // mapping order
    WindowProps props;
    bool iconic = false;
    bool fullscreen = false;
    // What the client asked for; Tarvela's own windows may carry more (skipsTaskbar).
    bool skipTaskbar = false;
    bool skipPager = false;
    bool isMain = false;
    int desktop = 0;          // kAllDesktops: every desktop
    bool offDesktop = false;  // its desktop is not shown: its frame is unmapped
    // The desktop it asked for (or an earlier run gave it) while nobody has
    // placed it yet; the desktops may not number that many until then.
    std::optional<int> asked;
    Rect savedGeom;        // before full screen
    int ignoreUnmaps = 0;  // unmaps we caused (iconify) that are not withdrawals
    uint64_t focusSeq = 0;  // when it last held the focus; 0 = never
    bool attention = false;  // urgency or _NET_WM_STATE_DEMANDS_ATTENTION, as last told to the logic
    // The user's latest input to it: its _NET_WM_USER_TIME or a click we saw, unwrapped.
    std::optional<int64_t> userTime;
    titlebar::Extents frameExtents;  // as _NET_FRAME_EXTENTS last said
    std::vector<uint32_t> allowedActions;  // as _NET_WM_ALLOWED_ACTIONS last said
};

class ClientTable {
public:
    using Map = std::map<xcb_window_t, Client>;

    Client* find(xcb_window_t w) {
        auto it = map_.find(w);
        return it == map_.end() ? nullptr : &it->second;
    }
    const Client* find(xcb_window_t w) const {
        auto it = map_.find(w);
        return it == map_.end() ? nullptr : &it->second;
    }
    Client& at(xcb_window_t w) { return map_.at(w); }
    const Client& at(xcb_window_t w) const { return map_.at(w); }
    bool contains(xcb_window_t w) const { return map_.count(w) != 0; }
    size_t size() const { return map_.size(); }

    // A new client, on top of the stacking, next in mapping order.
    Client& add(Client c) {
        c.seq = nextSeq_++;
        const xcb_window_t w = c.win;
        stacking_.push_back(w);
        return map_[w] = std::move(c);
    }
    void remove(xcb_window_t w) {
        map_.erase(w);
        std::erase(stacking_, w);
    }
    void clear() {
        map_.clear();
        stacking_.clear();
    }
    // w, a client, goes to the top of the stacking.
    void toTop(xcb_window_t w) {
        std::erase(stacking_, w);
        stacking_.push_back(w);
    }
    // Bottom to top.
    const std::vector<xcb_window_t>& stacking() const { return stacking_; }

    // In window order (not mapping order); the records may change, the set may not.
    Map::iterator begin() { return map_.begin(); }
    Map::iterator end() { return map_.end(); }
    Map::const_iterator begin() const { return map_.begin(); }
    Map::const_iterator end() const { return map_.end(); }

private:
    Map map_;
    std::vector<xcb_window_t> stacking_;
    uint64_t nextSeq_ = 1;
};

}  // namespace tarvela::x11

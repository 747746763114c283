// Where every managed client is and what its frame shows: one Geo per client,
// and the writes that bring the server in line with it, sending only what
// differs from what the server last heard. The one part of the X11 layer that
// other threads reach: the strip's animation writes positions from its own
// threads.
//
// Invariants (local to this part):
// - Every Geo is touched under mu_ only, on any thread; no call holds mu_
//   across an X round trip or a callback, and none waits for the server.
// - Geo::sent is the frame layout the server last heard: every write goes
//   through push(), which sends the difference and records it.
// - A client's root position is always its Geo::rect origin: the frame only
//   clips (see frames.h), so other clients and pagers see the truth.
// - A full-screen window refuses the strip's writes (move, resize).
#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/geometry.h"
#include "platform/x11/frames.h"
#include "platform/x11/size_hints.h"
#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

struct Geo {
    Rect rect;  // the client in root coordinates, whatever its frame shows
    SizeHints hints;
    bool arranged = false;    // a strip holds it: its own geometry requests are refused
    bool fullscreen = false;  // covers its monitor: nobody else moves or sizes it
    bool dragging = false;    // the user moves it: it may cross displays, unclipped
    xcb_window_t frame = XCB_NONE;
    std::optional<uint64_t> home;     // the display whose strip holds it
    std::optional<Rect> clip;         // that display's root rectangle
    // The last strip's display (clip) and where it left the window (rect):
    // letting go of a window that has not moved since, that is its display.
    struct Left {
        Rect clip, rect;
    };
    std::optional<Left> left;
    std::optional<FrameLayout> sent;  // what the server last heard for the frame
    uint8_t shapedKinds = 0;          // shapeBit() of each SHAPE kind the client sets itself
    // The title bar it has while it floats (empty: none), and whether only
    // once the user floated it (an ordinary window a strip let go of while
    // the manager runs; not every window when the manager stops).
    titlebar::Extents bar;
    bool barOnceFloated = false;
    bool floated = false;
    // Where the client last heard it is, from our synthetic ConfigureNotify;
    // none once anything else may have told it otherwise (the server's own
    // notice of a move inside its frame or a resize, another synthetic one).
    std::optional<Rect> heard;
};

// What w's frame reaches beyond its client now: its bar while it floats,
// not full screen; nothing in a strip.
titlebar::Extents shownBar(const Geo& g);

// The bit of a SHAPE kind (bounding, clip, input) in Geo::shapedKinds.
constexpr uint8_t shapeBit(uint8_t kind) { return static_cast<uint8_t>(1u << kind); }

class FrameWriter {
public:
    explicit FrameWriter(Connection& conn) : conn_(conn) {}
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // The SHAPE extension is there: frames follow their clients' shapes.
    void useShape(bool on) { shape_ = on; }

    // Records: a client wrapped in `frame`, which the server shows whole at `rect`.
    void add(xcb_window_t w, const Rect& rect, const SizeHints& hints, xcb_window_t frame);
    void remove(xcb_window_t w);
    void clear();
    size_t size();
    // A copy of w's record (for reading several fields at once).
    std::optional<Geo> get(xcb_window_t w);
    // Copies of every record, taken at one moment.
    std::unordered_map<xcb_window_t, Geo> snapshot();
    std::optional<Rect> rect(xcb_window_t w);
    bool arranged(xcb_window_t w);
    void setHints(xcb_window_t w, const SizeHints& hints);

    // Any thread. Moves the client to p; it hears where it really is (for a
    // hidden column: inside its display), as ICCCM 4.1.5 wants of a move.
    bool move(xcb_window_t w, Point p);
    // Any thread. The size hints applied.
    bool resize(xcb_window_t w, Size s);
    // Any thread: a resize the user drags keeps the edges opposite the ones moved.
    bool resizeTo(xcb_window_t w, Rect r, int edgeX, int edgeY);
    // Exactly r, rounded, no size hints (full screen and back).
    void configure(xcb_window_t w, const Rect& r);
    // A window nobody arranges goes where it asks, within its size hints;
    // returns where it ended up, which it must hear of.
    std::optional<Rect> moveResizeFloating(xcb_window_t w, std::optional<int> x, std::optional<int> y,
                                           std::optional<int> width, std::optional<int> height);
    // The display whose strip holds w (none: it floats) and that display's rectangle.
    void assign(xcb_window_t w, std::optional<uint64_t> home, std::optional<Rect> clip);
    void setDragging(xcb_window_t w, bool on);
    // The bar w has while it floats (see Geo::bar); the frame follows at once.
    void setBar(xcb_window_t w, const titlebar::Extents& bar, bool onceFloated);
    // Floats by the user's choice, as if a strip had just let go of it.
    void markFloated(xcb_window_t w);
    // The manager stopped: the windows its strips let go of float as they are, unframed.
    void forgetFloated();
    void setFullscreen(xcb_window_t w, bool on);
    // The client shapes itself with the kinds named (shapeBit); the frame follows.
    void shaped(xcb_window_t w, uint8_t kinds);
    // One kind's shape changed (ShapeNotify).
    void shapeChanged(xcb_window_t w, uint8_t kind, bool shaped);

    // ICCCM 4.1.5: a reparented client hears of its root position from us.
    void sendSyntheticConfigure(xcb_window_t w, const Rect& r);
    // Requests sent for positions and frames since the start.
    uint64_t requests() const { return requests_.load(); }

private:
    // Sends what the server must hear for g's frame to match g.rect and g.clip;
    // returns the requests sent.
    uint64_t push(Geo& g, xcb_window_t w);
    // The synthetic ConfigureNotify, which g.heard records.
    void tell(Geo& g, xcb_window_t w, const Rect& r);
    // Gives g's frame the shape kinds named as layout l wants them; returns the requests sent.
    int shapeFrame(Geo& g, xcb_window_t w, const FrameLayout& l, uint8_t kinds);
    Geo* find(xcb_window_t w);

    Connection& conn_;
    bool shape_ = false;
    std::mutex mu_;
    std::unordered_map<xcb_window_t, Geo> geo_;
    std::atomic<uint64_t> requests_{0};
};

}  // namespace tarvela::x11

// A Strip is the layout of one display: a row of full-height columns, each
// holding one or more windows stacked top to bottom, usually wider than the
// display, with `offset` saying which part of the row is in view.
//
// Everything here runs on the main thread, except the animation, which runs on
// the strip's own serial queue and touches only AnimShared (see below).
// Invariants at rest (checkInvariants): no column is empty; focus indexes are
// valid whenever there are columns; after a resize `cw` has one entry per column.
#pragma once

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/enums.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/serial_queue.h"
#include "core/signal.h"
#include "core/window_access.h"

namespace tarvela {

// One managed window.
struct Item {
    AXElement el;
    int32_t pid = 0;
    std::string app;  // "App" when the platform gives no name
    std::optional<std::string> bundleID;
    ImageRef icon;
    Size size;                     // as last read back; zero at creation
    std::optional<double> maxW;    // learned: would not grow beyond this width
    std::optional<double> minW;    // learned: would not shrink below this width
    std::optional<Point> placed;   // last position written; none = write it next time

    static Item make(const AXElement& el, const RunningApp& app);
};

struct Col {
    std::vector<Item> items;  // top to bottom; never empty inside a strip
    double frac = 0.5;
    // The width it had before it was made full width; none unless it is.
    std::optional<double> beforeFull;
};

struct Fit {
    int pct = 0;
    bool full = false;
    bool capped = false;
    bool floored = false;
    bool operator==(const Fit&) const = default;
};

namespace Widths {
// "½", "⅓", "40%", "—" ...
std::string label(std::optional<double> w);
}

// Where new columns get their width from: an application's rule, else the preference.
class WidthDefaults {
public:
    virtual ~WidthDefaults() = default;
    // The width of the first rule, in stored order, for this bundle identifier, if it has one.
    virtual std::optional<double> ruleWidth(const std::string& bundleID) = 0;
    virtual double defaultWidth() = 0;
};

// What a strip needs from outside; all of it outlives the strip.
struct StripEnv {
    Platform* platform = nullptr;
    RunLoop* main = nullptr;
    SerialQueueFactory makeQueue;
    std::shared_ptr<ParallelFor> workers;
    WidthDefaults* widths = nullptr;
};

class Strip : public std::enable_shared_from_this<Strip> {
public:
    static std::shared_ptr<Strip> create(StripEnv env, Screen screen, int index);
    ~Strip();
    Strip(const Strip&) = delete;
    Strip& operator=(const Strip&) = delete;

    // ---- model ----
    const Screen screen;  // as given at creation; frames are re-read by id on every use
    const int index;
    std::vector<Col> cols;
    int focusC = 0;
    int focusR = 0;
    Layout layout = Layout::strip;
    Fit fit;
    bool scrolling = false;
    std::function<void()> onActivity;
    std::function<void()> onSettled;
    std::vector<double> cw;
    double offset = 0;
    bool running = false;
    double animTarget = std::numeric_limits<double>::quiet_NaN();
    bool animating = false;
    EnhancedUI eui;

    Align align() const { return align_; }
    // Every assignment to a running strip, even of the same value, slides to the new alignment.
    void setAlign(Align a);

    // The strip's published state changed (focus, layout, fit, scrolling,
    // widths). Emitted on the main thread only, never by the animation.
    Signal<> changed;

    // ---- derived ----
    Screen currentScreen() const;  // the display's current frames, or the ones given at creation
    Rect visibleRect() const;      // VR, accessibility coordinates
    double usableWidth() const;    // U
    double usableHeight() const;
    double totalWidth() const;     // T
    std::string displayName() const;
    std::string shortName() const;
    std::string resolution() const;
    std::vector<double> columnShares() const;
    double defaultFrac(const Item& item, Layout layout) const;
    static double defaultFrac(const Item& item, Layout layout, WidthDefaults* widths);

    // ---- width commands ----
    void setWidth(double frac);
    void stepWidth(int direction);
    void cycleWidth();
    void measure();

    // ---- placement ----
    std::optional<std::pair<int, int>> find(const AXElement& el) const;
    const Item* focusedItem() const;
    void start(std::vector<Col> columns, Layout layout);
    // Where a strip taking up an arrangement left before comes to rest: its
    // focus and scroll position, clamped to what the columns allow. It starts
    // there at once, so no window is placed twice.
    struct Rest {
        int focusC = 0;
        int focusR = 0;
        double offset = 0;
    };
    void start(std::vector<Col> columns, Layout layout, const Rest& rest);
    void setColumns(std::vector<Col> columns, Layout layout);
    void applyLayout(Layout layout);
    // Where a window goes back in: into column `col` at `row` when it shared
    // a column, else a column of its own at `col`, `frac` wide.
    struct Place {
        int col = 0;
        std::optional<int> row;
        double frac = 0.5;
    };
    // A new column right after the focused one, unless `at` says where. With
    // `focus` the window's column becomes the focused one; without, the strip
    // stays on the column it shows.
    void add(Item item, bool focus = true, std::optional<Place> at = std::nullopt);
    std::optional<Item> remove(const AXElement& el);
    std::vector<Item> prune();
    std::optional<Point> placedPoint(const AXElement& el) const;
    void reseat(const AXElement& el);
    void raise(int c, int r);
    // Focuses and raises a window where it stands: no slide now, and none
    // when the platform tells of the focus change.
    void focusInPlace(int c, int r);
    // The window under a point (accessibility coordinates) of a column that
    // is wholly on screen, while the strip is at rest.
    std::optional<std::pair<int, int>> wholeWindowAt(Point p) const;
    void stackLeft();
    // The mirror of stackLeft: a lone window joins the column on its right, a
    // stacked one leaves for a column of its own on the left.
    void stackRight();
    // The focused window of a stack to a column of its own right after it.
    void unstack();
    // The focused column to place `to` (clamped); the others close up around
    // it, and the strip slides to where the alignment puts it there.
    void moveColumn(int to);
    // The focused column to full width, or back to the width it had.
    void toggleFullWidth();
    void focusChanged(const AXElement& el);

    // ---- scrolling ----
    void scrollBy(double dx);
    void settle();
    // Slides the focused column to the middle once; the alignment stays.
    void centerOnce();
    // Stops a running animation where it is (the manager's stop does the same).
    void cancelAnim();

    // Tells the platform which windows this strip holds now (and which it let
    // go of since the last call). Every change of columns calls it.
    void syncDisplays();
    // The windows the platform was last told this strip holds; forgets them.
    std::vector<AXElement> takeAssigned();

    // The offset the animation last wrote (read synchronously on the animation queue).
    double liveOffset();
    // Empty when the invariants hold, else what is wrong.
    std::string checkInvariants() const;

    std::vector<Col> group(const std::vector<Item>& items, Layout layout) const;

private:
    void stackToward(int side);  // -1 left, 1 right
    struct AnimShared;
    struct Job;
    struct AnimRun;
    Strip(StripEnv env, Screen screen, int index);

    // Places every window at its column's width; the strip rests on the
    // focused column, or at `at` when given (clamped to the strip's span).
    void resize(std::optional<double> at = std::nullopt);
    // Whether a window that came out `miss` points off the width it was asked
    // for (negative: narrower) hit a limit of its own rather than took it.
    bool missedWidth(const Item& it, double miss) const;
    void setLayout(Layout l);
    void replaceColumns(std::vector<Col> columns, Layout l);
    void place(double o);
    double target(int col) const;
    // To the alignment's resting place for `col`, or to `at` when given.
    void moveTo(int col, bool animated, std::optional<double> at = std::nullopt);
    void setLive(double x);
    std::vector<Job> jobs() const;
    std::pair<double, double> limits() const;
    void setFocusC(int c);
    void setFit(const Fit& f);
    void setScrolling(bool s);
    void finishAnimation(double target, const std::vector<std::tuple<AXElement, double, double>>& finals, int frames,
                         double elapsed, size_t jobCount);
    static void startAnimation(SerialQueue* queue, std::weak_ptr<AnimShared> weak, Platform* platform, RunLoop* main,
                               std::shared_ptr<ParallelFor> workers, std::weak_ptr<Strip> strip, double target,
                               std::vector<Job> jobs, double spanMin, double spanMax);

    StripEnv env_;
    Align align_ = Align::center;
    std::unique_ptr<SerialQueue> animQ_;
    std::shared_ptr<AnimShared> anim_;  // owned here, touched only on animQ_
    std::vector<AXElement> assigned_;  // as the platform was last told
    std::optional<AXElement> inPlace_;  // focused by focusInPlace; its echo does not slide
};

}  // namespace tarvela

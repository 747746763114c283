// The strip overview: a full-screen panel on the main screen showing every
// strip at once, and the pictures of the strips' windows it shows on the cards.
//
//   closed -> open (open(): fades in, takes the keyboard, starts taking pictures)
//          -> closed (Escape, the "Close" button, a click on a column, the
//             toggling action, the manager pausing or going off: gives the
//             keyboard back, fades out, ordered out)
//
// The widget layer owns the real window. After every `changed` it reads
// `orderedIn()`, `frame()`, `alpha()`, `hasKeyboard()` and `model()`; it
// grabs the keyboard while `hasKeyboard()` and gives it back after, hands
// Escape to `escape()` (swallowing it when that returns true) and clicks to
// `click()`.
//
// Pictures: only with the previews preference on, and only of the strips'
// windows, each at the size that covers its card (the cards are far smaller
// than the windows, so the platform scales where it can and little crosses
// from the display). They are taken one after another on the main thread,
// where the platform must be called, a few a turn of the loop so that its
// other work (the fade) goes on; the platform is told of the next one
// meanwhile so that it can start on it. A picture the platform could not
// scale is scaled on a worker, and the next window is taken only once it is
// back, so the desktop is never captured all at once.
// The set of pictures is replaced as a whole when a round finishes, even
// after the overview has closed, so the next opening shows them at once; of
// two overlapping rounds, the one that finishes last stays.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "core/geometry.h"
#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "core/timeline.h"
#include "feedback/hud_panel.h"
#include "feedback/overview_model.h"
#include "feedback/text_metrics.h"
#include "core/signal.h"

namespace tarvela {

class WindowManager;

struct OverviewDeps {
    WindowManager& manager;
    Platform& platform;
    RunLoop& main;
    TextMetrics& metrics;
    // Runs work on a worker thread; it reports back by posting to `main`.
    std::function<void(std::function<void()>)> offMain;
    // Takes a window's picture on the main thread; the platform's when empty.
    std::function<ImageRef(const AXElement&, PixelSize)> capture{};
};

// The pixel size of a window's picture: the window in proportion, just large
// enough to cover `card` at `density` pixels a point but never wider than
// `maxWidth` points; none when either side comes to nothing.
std::optional<PixelSize> pictureSize(Size window, Size card, double density, double maxWidth);

// Area-averaged resampling to any size, up or down. Colours are averaged
// weighted by their alpha, so a clear pixel lends nothing of its colour.
Image scaleImage(const Image& src, int width, int height);

class Overview {
public:
    static constexpr double fadeIn = 0.18;
    static constexpr double fadeOut = 0.15;
    static constexpr double maxWidth = 480;
    // Pictures the platform scaled are taken several a turn of the main loop,
    // for about this long (seconds).
    static constexpr double captureTurn = 0.016;

    explicit Overview(OverviewDeps deps);
    ~Overview();
    Overview(const Overview&) = delete;
    Overview& operator=(const Overview&) = delete;

    // The action: closes an open overview, opens a closed one.
    void toggle();
    // Opens it, unless it is open already or the manager is off or paused.
    void open();
    // Always gives the keyboard back; fades out only an open overview.
    void close();
    bool isOpen() const { return open_; }
    // Escape pressed: true when it closed the overview and must be swallowed.
    bool escape();
    // A click at a point of the overview (y down from its top-left).
    void click(Point local);
    // Closes, then raises row 0 of that column on the strip of that index.
    void clickColumn(int strip, int col);

    // ---- what the widget reads ----
    Signal<> changed;
    bool orderedIn() const { return orderedIn_; }
    double alpha() const;
    const Timeline& fade() const { return fade_; }
    Rect frame() const { return frame_; }  // the main screen's full frame, screen coordinates
    bool hasKeyboard() const { return keyboard_; }
    const OverviewModel& model() const { return model_; }
    const OverviewPictures& pictures() const { return pictures_; }

private:
    struct Round;
    void rebuild();
    void captureNext(const std::shared_ptr<Round>& round);
    double screenDensity() const;

    OverviewDeps d_;
    // The window that had the keys when the overview took them, and gets them back.
    std::optional<AXElement> returnTo_;
    bool open_ = false;
    bool orderedIn_ = false;
    bool keyboard_ = false;
    Timeline fade_;
    Rect frame_;
    OverviewModel model_;
    OverviewPictures pictures_;
    std::optional<RunLoop::TimerId> fadeDone_;
    bool rebuildPending_ = false;
    Connection managerLink_;
    Lifetime life_;
};

}  // namespace tarvela

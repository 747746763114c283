// Toasts: one notification card at a time that slides in at the top right of
// the primary display, slides out by itself after a while, on a button or on
// a swipe to the right, and gives way at once to the next one.
//
//   none -> sliding in -> resting (counting down unless hovered) -> sliding out -> none
//
// The widget layer shows `panel()` (and `leaving()` while one slides out) at
// their frames after every `changed`, and reports the pointer entering and
// leaving the card, its buttons and the end of a drag. Frames are in screen
// coordinates (y up), like the displays' frames; inside the card, y goes down.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/geometry.h"
#include "core/lifetime.h"
#include "core/platform.h"
#include "core/runloop.h"
#include "feedback/text_metrics.h"
#include "core/signal.h"

namespace tarvela {

struct ToastModel {
    std::string title;
    std::string text;
    std::optional<std::string> primary;  // no primary button without it
    std::function<void()> onPrimary;
    std::string secondary;               // always shown
};

namespace toast {
inline constexpr double width = 344;
inline constexpr double margin = 14;
inline constexpr double iconSide = 40;
inline constexpr double iconRadius = 9;
inline constexpr double iconGap = 12;
inline constexpr double lineGap = 2;
inline constexpr double titleGap = 8;  // at least, between the title and "now"
inline constexpr double buttonsGap = 8;
inline constexpr double buttonSpacing = 8;
inline constexpr double buttonHeight = 28;
// The shared button styles' side padding and font; the card fixes only their height.
inline constexpr double buttonPadding = 14;
inline constexpr Font buttonFont{13, Weight::medium};
inline constexpr double radius = 16;
inline constexpr double borderWidth = 1;
inline constexpr double borderOpacity = 0.1;
inline constexpr int textLines = 3;
inline constexpr Font titleFont{13, Weight::bold};
inline constexpr Font nowFont{11, Weight::regular};
inline constexpr Font textFont{12, Weight::regular};
inline constexpr const char* now = "now";

inline constexpr double offEdge = 8;   // just past the right edge, off screen
inline constexpr double rightGap = 12;
inline constexpr double topGap = 10;
inline constexpr double slideIn = 0.42;
inline constexpr double slideOut = 0.28;
inline constexpr double tick = 1.0 / 120;
inline constexpr double dragMinimum = 12;
inline constexpr double swipe = 40;  // to the right, and more than this

// What the window manager's notices carry.
inline constexpr const char* noticeButton = "OK";
inline constexpr double noticeSeconds = 8;
}  // namespace toast

// Where each part of the card sits, from its top-left corner, and the title
// and text as they fit there: the title on one line, the text on at most
// three, each ending in "…" where it had to be cut.
struct ToastLayout {
    Size size;
    Rect icon;
    Rect title;
    std::string shownTitle;
    Rect now;
    Rect text;
    std::string shownText;  // its lines joined by "\n"
    std::optional<Rect> primary;
    Rect secondary;

    static ToastLayout make(const ToastModel& m, TextMetrics& metrics);
};

struct ToastPanel {
    ToastModel model;
    ToastLayout layout;
    Rect frame;
};

struct ToastDeps {
    RunLoop& main;
    TextMetrics& metrics;
    // The displays, the primary one first.
    std::function<std::vector<Screen>()> screens;
};

class Toast {
public:
    explicit Toast(ToastDeps deps);
    ~Toast();
    Toast(const Toast&) = delete;
    Toast& operator=(const Toast&) = delete;

    // Replaces whatever toast is on screen, at once. Without `autoHide` it
    // stays until a button or a swipe takes it away. Without any display
    // there is nowhere to put it, and it is dropped.
    void show(ToastModel model, std::optional<double> autoHide);
    // A notice of the window manager: its title and text, "OK", 8 seconds.
    void notice(const std::string& title, const std::string& text);
    void close(bool animated);

    // ---- what the card reports ----
    void hover(bool inside);
    void primaryPressed();
    void secondaryPressed();
    // A drag of the card ended `dx` points to the right of where it began.
    void dragEnded(double dx);

    // ---- what the widget reads ----
    Signal<> changed;
    const ToastPanel* panel() const { return panel_.get(); }
    const ToastPanel* leaving() const { return leaving_.get(); }
    bool hovering() const { return hovering_; }
    bool sliding() const { return anim_.has_value(); }
    bool countingDown() const { return timer_.has_value(); }

private:
    void dismiss() { close(true); }
    void scheduleHide();
    void slide(const std::shared_ptr<ToastPanel>& p, double from, double to, double duration, bool easeIn,
               std::function<void()> done);

    ToastDeps d_;
    std::shared_ptr<ToastPanel> panel_;
    std::shared_ptr<ToastPanel> leaving_;
    std::optional<RunLoop::TimerId> timer_;
    std::optional<RunLoop::TimerId> anim_;
    std::optional<double> autoHide_;
    bool hovering_ = false;
    Lifetime life_;
};

}  // namespace tarvela

// What the tray item's popover shows, top to bottom, and what its controls do.
// PopoverActions tells when the model may have changed (the manager, any
// setting or the update state changed, whoever changed it); the popover
// widget then rebuilds the model, draws the cards that are present, and hands
// every click back to PopoverActions. Styling is the widget's; every text and
// every decision is here.
//
// Whatever moves a window goes through the manager's one way in, so while it
// is off or paused nothing does; the controls that would say so are shown
// disabled: the strip's tiles, the send button and the widths while the
// manager is not acting, the alignments and layouts while it is paused (off,
// they are stored for the next start).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/enums.h"
#include "core/platform.h"
#include "core/signal.h"
#include "feedback/desktop_tabs.h"

namespace tarvela {

class WindowManager;
class Prefs;

namespace popover {
inline constexpr const char* productName = "Tarvela";
inline constexpr const char* pausedState = "Paused";
inline constexpr const char* offState = "Strip is off";
inline constexpr const char* switchHelp = "Turn Tarvela on or off";
inline constexpr const char* pauseHelp = "Pause for 1 hour";
inline constexpr const char* resumeHelp = "Resume";

inline constexpr const char* permissionTitle = "Window management needed";
// Here the permission is being the display's window manager, which is taken,
// not granted in a settings panel.
inline constexpr const char* permissionButton = "Take over window management";

inline constexpr const char* stripTitle = "Strip";
inline constexpr const char* overviewLink = " · Overview ›";
inline constexpr const char* noWindows = "No windows to tile";
inline constexpr const char* noWindowsDetail = "Open an app and it joins the strip as a new column.";
inline constexpr const char* offEmpty = "Turn Tarvela on to line your windows up.";

inline constexpr const char* displayTitle = "Display";
inline constexpr const char* ownStrip = " windows · own strip";
inline constexpr const char* sendButton = "Send the focused window to the other display";
inline constexpr const char* oneDisplay = "One display connected. Plug in a second display to send windows across.";

inline constexpr const char* widthTitle = "Column width";
inline constexpr const char* widthNote = "Applies to the focused column.";
inline constexpr const char* alignTitle = "Focus position";
inline constexpr const char* alignNote = "Where the focused column rests on screen.";
inline constexpr const char* effectsTitle = "Focus effects";
inline constexpr const char* dimLabel = "Dim";
inline constexpr const char* blurLabel = "Blur";
inline constexpr const char* blurSwitch = "Blur inactive windows";
// What turning dimming on from off picks: the strength a fresh installation has.
inline constexpr int defaultDimLevel = 2;
inline constexpr const char* layoutsTitle = "Layouts";
}  // namespace popover

std::string alignTitle(Align a);
std::string layoutTitle(Layout l);

// The one dim switch of the popover and the settings: off is level 0; on from
// off picks defaultDimLevel, and a strength already chosen stays.
void setDimmed(Prefs& prefs, bool on);

struct PopoverHeader {
    std::string name = popover::productName;
    std::string state;  // "Paused", "Strip is off", or the manager's status line
    bool on = false;    // the switch
    bool paused = false;
    std::string switchHelp = popover::switchHelp;
    std::string pauseHelp;
};

struct PermissionBanner {
    std::string title = popover::permissionTitle;
    std::string button = popover::permissionButton;
};

struct PopoverTile {
    // Names longer than this are cut, on a character boundary.
    static constexpr size_t nameChars = 10;
    struct Window {
        std::string app;  // cut to nameChars
        ImageRef icon;
        bool attention = false;  // the window wants attention
    };
    int col = 0;
    bool focused = false;
    std::string help;  // "Go to column 2"
    std::vector<Window> windows;
};

struct EmptyState {
    std::string title;
    std::string detail;  // may be empty
};

struct StripCard {
    std::string title = popover::stripTitle;
    std::string caption;       // " · column 2 of 5"; empty without columns
    std::string overviewLink;  // " · Overview ›"; empty without columns or while the manager does not act
    std::vector<PopoverTile> tiles;
    bool tilesEnabled = false;  // the manager acts
    std::optional<EmptyState> empty;
};

struct DisplayRow {
    int index = 0;
    std::string name;    // "Built-in display" for the built-in one
    std::string detail;  // "3 windows · own strip"
    bool current = false;
};

struct DisplayCard {
    std::string title = popover::displayTitle;
    std::vector<DisplayRow> rows;
    std::optional<std::string> sendButton;  // with two displays or more
    bool sendEnabled = false;               // the manager acts
    std::optional<std::string> note;        // with one
};

template <class T>
struct Choice {
    T value;
    std::string label;
    bool selected = false;
};

struct WidthCard {
    std::string title = popover::widthTitle;
    std::vector<Choice<double>> choices;  // ⅓ ½ ⅔ Full
    std::string note = popover::widthNote;
    bool enabled = false;  // the manager acts on a current strip with a focused column
};

struct AlignCard {
    std::string title = popover::alignTitle;
    std::vector<Choice<Align>> choices;
    std::string note = popover::alignNote;
    bool enabled = true;  // not while paused
};

struct EffectsCard {
    std::string title = popover::effectsTitle;
    std::string dimLabel = popover::dimLabel;
    bool dim = false;  // dimLevel above 0
    int dimLevel = 0;
    // The "Blur" choice and the switch both show and set the one setting.
    std::string blurLabel = popover::blurLabel;
    std::string blurSwitch = popover::blurSwitch;
    bool blur = false;
};

struct LayoutsCard {
    std::string title = popover::layoutsTitle;
    std::vector<Choice<Layout>> choices;  // the current strip's layout selected
    bool enabled = true;                  // not while paused
};

enum class FooterButton { workspaces, settings, updates, quit };

struct FooterItem {
    FooterButton button;
    std::string label;
    bool badge = false;  // the update arrow
};

struct PopoverModel {
    PopoverHeader header;
    std::optional<PermissionBanner> permission;
    StripCard strip;
    std::optional<DisplayCard> display;  // while there are strips
    WidthCard width;
    AlignCard align;
    EffectsCard effects;
    LayoutsCard layouts;
    // A row of desktops (none with one): a click shows that one.
    std::vector<DesktopTab> desktops;
    std::vector<FooterItem> footer;

    static PopoverModel make(const WindowManager& m, const Prefs& prefs, bool updateAvailable);
};

// What lives outside the manager and the settings: other windows, the
// application itself, taking over the display, the updater.
struct PopoverHooks {
    std::function<void()> openSettings;
    std::function<void()> openWorkspaces;
    std::function<void()> openUpdates;
    std::function<void()> quit;
    // Becomes the display's window manager even while another one holds it.
    std::function<void()> takeOver;
    // Whether the updater has found a newer version; none: never.
    std::function<bool()> updateAvailable;
};

class PopoverActions {
public:
    PopoverActions(WindowManager& manager, Prefs& prefs, PopoverHooks hooks);

    // What the popover shows now.
    PopoverModel model() const;
    // The model may have changed: the manager or a setting changed (told at
    // once; the manager may be in the middle of a change), or updatesChanged().
    Signal<> changed;
    // The updater's state changed.
    void updatesChanged() { changed.emit(); }

    // Header.
    void togglePause();
    void setOn(bool on);
    // Permission banner.
    void takeOver();
    // Strip card.
    void goToColumn(int col);
    void openOverview();
    // Display card.
    void send();
    // Desktop row.
    void showDesktop(int index);
    // The choices.
    void setWidth(double frac);
    void setAlign(Align a);
    void setDim(bool on);
    void setBlur(bool on);
    void setLayout(Layout l);
    // Footer.
    void footer(FooterButton b);

private:
    static void call(const std::function<void()>& fn) {
        if (fn) fn();
    }

    WindowManager& m_;
    Prefs& prefs_;
    PopoverHooks hooks_;
    Connection managerLink_;
    Connection prefsLink_;
};

}  // namespace tarvela

// The settings window's panes as its widgets see them: which pane is which,
// and for the panes made of plain rows (General, Gestures, Updates) each row's
// texts, its current value and what changing it does.
//
// A pane reads the preferences afresh each time it is asked for its rows and
// writes a change at once. Its `changed` fires whenever something it shows may
// have changed, whoever changed it (the tray popover, an import, the pane
// itself), and the widget then redraws from rows(). Styling is the widget's;
// every text and binding is here. Main thread only.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "feedback/update_view.h"
#include "core/signal.h"

namespace tarvela {

class Prefs;
class WindowManager;
class ExportImport;
class MailService;

enum class SettingsPane { general, shortcuts, gestures, workspaces, rules, updates };
inline constexpr std::array<SettingsPane, 6> allSettingsPanes{SettingsPane::general,    SettingsPane::shortcuts,
                                                              SettingsPane::gestures,   SettingsPane::workspaces,
                                                              SettingsPane::rules,      SettingsPane::updates};

// "general", "shortcuts", ... "rules", "updates".
std::string_view rawValue(SettingsPane p);
// The sidebar title: "General", "Shortcuts", "Gestures", "Workspaces", "App rules", "Updates".
std::string title(SettingsPane p);
// The pane whose title this is, in any case ("app rules", "Updates"); none for any other text.
std::optional<SettingsPane> paneFromTitle(std::string_view text);
// What a window preview name selects ("settings:gestures"): the text after its
// first ":" as a title; none when there is no ":" or it names no pane.
std::optional<SettingsPane> paneFromPreview(std::string_view name);

enum class ControlKind {
    toggle,   // a switch; value 0 or 1
    choice,   // a segmented choice; value = index into options
    buttons,  // one button per option; detail = the outcome of the last press, if any
    text,     // no control; detail = the text at the right, if any
    stepper,  // a number from `lo` to `hi`; value = the number
    field,    // a line of text; detail = the text, placeholder = what an empty one stands for
};

struct SettingsRow {
    std::string id;       // the bound preference's key, or the name of what the row does
    std::string section;  // the heading the row sits under; empty for a row under none
    std::string label;
    std::string note;  // the explanation under the label; may be empty
    std::string hint;  // a further remark in smaller print; may be empty
    ControlKind kind = ControlKind::text;
    std::vector<std::string> options;
    int value = 0;
    std::string detail;
    int lo = 0, hi = 0;
    std::string placeholder;
};

// A pane of rows. The widget hands every change of a toggle or choice to
// set() and every button press to press().
class RowPane {
public:
    virtual ~RowPane() = default;
    RowPane() = default;
    RowPane(const RowPane&) = delete;
    RowPane& operator=(const RowPane&) = delete;

    virtual std::vector<SettingsRow> rows() const = 0;
    // Writes the new value of the toggle or choice `id` at once; unknown ids are ignored.
    void set(const std::string& id, int value);
    // The text of the field `id`, once its editing is finished; unknown ids are ignored.
    virtual void setText(const std::string& id, const std::string& text) {
        (void)id;
        (void)text;
    }
    // The button at `index` of the buttons row `id`; unknown ids are ignored.
    virtual void press(const std::string& id, int index) {
        (void)id;
        (void)index;
    }

    Signal<> changed;

protected:
    struct Binding {
        std::function<int()> get;
        std::function<void(int)> set;
    };
    // A row of `kind` bound to `id`, its value read now.
    SettingsRow bound(SettingsRow row) const;
    void bind(const std::string& id, Binding b) { bindings_[id] = std::move(b); }
    // A Boolean setting as a toggle under its own key.
    template <class S>
    void bindBool(S& setting) {
        bind(setting.key(), {[&setting] { return setting() ? 1 : 0; }, [&setting](int v) { setting.set(v != 0); }});
    }

private:
    std::map<std::string, Binding> bindings_;
};

// ---- General ----

namespace general_pane {
// Where "Help and support" leads (the product's support page).
inline constexpr const char* supportPage = "https://tarvela.app/support";
inline constexpr const char* notifications = "Notifications";
inline constexpr const char* privacy = "Privacy and data";
inline constexpr const char* desktops = "Desktops";
// The field naming desktop N (from 1) is "desktopName" N.
inline constexpr const char* desktopName = "desktopName";
inline constexpr const char* noCompositor = "No compositing manager is running";
inline constexpr const char* noCompositorNote =
    "Dimming and blur need one, such as picom. Until one runs, inactive windows stay as they are.";
}  // namespace general_pane

struct GeneralPaneDeps {
    Prefs& prefs;
    WindowManager& manager;
    ExportImport& transfer;
    MailService& mail;
    // Where the diagnostics report is written; empty: the system's temporary folder.
    std::filesystem::path diagnosticsFolder;
    // The number of connected displays; none: the manager's strips are counted.
    std::function<int()> displayCount;
    // Whether a compositing manager runs; none: taken as running.
    std::function<bool()> compositing;
    // Shows another pane of the same window.
    std::function<void(SettingsPane)> select;
    // Opens an address in the user's browser.
    std::function<void(const std::string&)> open;
    // The file dialogs: a save location for the suggested name, and one JSON
    // file to open; none when the user cancels.
    std::function<std::optional<std::filesystem::path>(const std::string& suggestedName)> chooseExportFile;
    std::function<std::optional<std::filesystem::path>()> chooseImportFile;
};

class GeneralPane final : public RowPane {
public:
    explicit GeneralPane(GeneralPaneDeps deps);

    std::vector<SettingsRow> rows() const override;
    void press(const std::string& id, int index) override;
    void setText(const std::string& id, const std::string& text) override;

    // The compositing manager came or went: the rows say so.
    void compositingChanged() { changed.emit(); }

    // The outcome of the last export or import, shown under their buttons.
    const std::optional<std::string>& exportNote() const { return exportNote_; }
    void exportLayouts();
    void importLayouts();
    // Writes the report and hands it to the mail composer (or shows the file).
    void sendDiagnostics();
    std::string diagnostics() const;

private:
    GeneralPaneDeps d_;
    std::optional<std::string> exportNote_;
    Connection prefsChanged_;
};

namespace general_pane {
// Focus policies 0, 1 and 2: smart, always, never.
inline constexpr std::array<const char*, 3> focusPolicies{"Smart", "Always", "Never"};
}  // namespace general_pane

// ---- Gestures ----

namespace gestures_pane {
inline constexpr const char* intro = "Use the trackpad to move along the strip without touching the keyboard.";
// Scroll speed steps 0, 1 and 2.
inline constexpr std::array<const char*, 3> speeds{"Slow", "Normal", "Fast"};
}  // namespace gestures_pane

class GesturesPane final : public RowPane {
public:
    explicit GesturesPane(Prefs& prefs);
    std::vector<SettingsRow> rows() const override;
    std::string intro() const { return gestures_pane::intro; }

private:
    Prefs& prefs_;
    Connection prefsChanged_;
};

// ---- Updates ----

// What the pane needs of the updater.
struct UpdateStatus {
    UpdateState state;  // where the check stands
    std::string currentVersion;
    // The version "Install Update" installs: the one found, still there after
    // a later check or its download failed; none when there is nothing newer.
    std::optional<std::string> installable;
    // When a check last read the feed, as the user reads it; a failed check leaves it.
    std::optional<std::string> lastChecked;
    std::vector<std::string> notes;  // of `installable`, one per line
};

class UpdateSource {
public:
    virtual ~UpdateSource() = default;
    virtual UpdateStatus status() const = 0;
    // A check the user asked for (shows the updater's own progress).
    virtual void checkNow() = 0;
    virtual void install() = 0;
    // After every change of status().
    Signal<> changed;
};

struct UpdateStatusView {
    // "You’re up to date · last checked 14:05", "1.2 is available · last checked …",
    // "Checking for updates…", "Couldn’t check for updates · last successful check …",
    // or "Not checked yet" before any check.
    std::string line;
    // What went wrong, after a failed check, as the update window says it.
    std::optional<std::string> detail;
    std::string checkButton = "Check Now";
    std::optional<std::string> installButton;  // "Install Update", with an update to install
    std::optional<std::string> notesTitle;     // "What’s new in 1.2"
    std::vector<std::string> notes;
};

class UpdatesPane final : public RowPane {
public:
    // `source` may be null (no updater in this run): the status part is absent.
    UpdatesPane(Prefs& prefs, UpdateSource* source);
    std::vector<SettingsRow> rows() const override;

    std::optional<UpdateStatusView> status() const;
    void checkNow();
    void install();

private:
    Prefs& prefs_;
    UpdateSource* source_;
    Connection prefsChanged_;
    Connection sourceChanged_;
};

}  // namespace tarvela

#include "feedback/settings_panes.h"

#include <algorithm>
#include <cctype>

#include "feedback/popover_model.h"
#include "manager/window_manager.h"
#include "settings/app_info.h"
#include "settings/diagnostics.h"
#include "settings/export.h"
#include "settings/pref_ranges.h"
#include "settings/prefs.h"

namespace tarvela {

// ---- panes by name ----

std::string_view rawValue(SettingsPane p) {
    switch (p) {
        case SettingsPane::general: return "general";
        case SettingsPane::shortcuts: return "shortcuts";
        case SettingsPane::gestures: return "gestures";
        case SettingsPane::workspaces: return "workspaces";
        case SettingsPane::rules: return "rules";
        case SettingsPane::updates: return "updates";
    }
    return "general";
}

std::string title(SettingsPane p) {
    switch (p) {
        case SettingsPane::general: return "General";
        case SettingsPane::shortcuts: return "Shortcuts";
        case SettingsPane::gestures: return "Gestures";
        case SettingsPane::workspaces: return "Workspaces";
        case SettingsPane::rules: return "App rules";
        case SettingsPane::updates: return "Updates";
    }
    return "General";
}

namespace {
std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
}  // namespace

std::optional<SettingsPane> paneFromTitle(std::string_view text) {
    const std::string wanted = lower(text);
    for (SettingsPane p : allSettingsPanes)
        if (lower(title(p)) == wanted) return p;
    return std::nullopt;
}

std::optional<SettingsPane> paneFromPreview(std::string_view name) {
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    return paneFromTitle(name.substr(colon + 1));
}

// ---- rows ----

void RowPane::set(const std::string& id, int value) {
    auto it = bindings_.find(id);
    if (it != bindings_.end()) it->second.set(value);
}

SettingsRow RowPane::bound(SettingsRow row) const {
    auto it = bindings_.find(row.id);
    if (it != bindings_.end()) row.value = it->second.get();
    return row;
}

namespace {
SettingsRow toggle(std::string id, std::string section, std::string label, std::string note = {},
                   std::string hint = {}) {
    SettingsRow r;
    r.id = std::move(id);
    r.section = std::move(section);
    r.label = std::move(label);
    r.note = std::move(note);
    r.hint = std::move(hint);
    r.kind = ControlKind::toggle;
    return r;
}

SettingsRow buttons(std::string id, std::string section, std::string label, std::string note,
                    std::vector<std::string> titles) {
    SettingsRow r;
    r.id = std::move(id);
    r.section = std::move(section);
    r.label = std::move(label);
    r.note = std::move(note);
    r.kind = ControlKind::buttons;
    r.options = std::move(titles);
    return r;
}

template <class Fn>
void call(const Fn& fn, auto&&... args) {
    if (fn) fn(std::forward<decltype(args)>(args)...);
}
}  // namespace

// ---- General ----

GeneralPane::GeneralPane(GeneralPaneDeps deps) : d_(std::move(deps)) {
    Prefs& p = d_.prefs;
    bindBool(p.showMenuBar);
    bindBool(p.showDock);
    // Not stored here: the login-item service answers, and Prefs announces
    // the change before it is made, so the pane tells its widget afterwards.
    bind("openAtLogin", {[&p] { return p.openAtLogin() ? 1 : 0; },
                         [this, &p](int v) {
                             p.openAtLogin.set(v != 0);
                             changed.emit();
                         }});
    bind(p.dimLevel.key(), {[&p] { return p.dimLevel() > 0 ? 1 : 0; }, [&p](int v) { setDimmed(p, v != 0); }});
    bindBool(p.blur);
    bindBool(p.notifyDrift);
    bindBool(p.notifyRestore);
    bindBool(p.previews);
    bindBool(p.focusFollowsMouse);
    static_assert(general_pane::focusPolicies.size() == pref_range::focusPolicy.hi - pref_range::focusPolicy.lo + 1);
    bind(p.focusPolicy.key(), {[&p] { return pref_range::focusPolicy.clamp(p.focusPolicy()); },
                               [&p](int v) { p.focusPolicy.set(pref_range::focusPolicy.clamp(v)); }});
    // The count as `tarvela msg set desktops` and a pager change it: the manager follows the preference.
    bind(p.desktops.key(), {[&p] { return p.desktopCount(); },
                            [&p](int v) { p.desktops.set(pref_range::desktops.clamp(v)); }});
    prefsChanged_ = p.changed.connect([this] { changed.emit(); });
}

std::vector<SettingsRow> GeneralPane::rows() const {
    using namespace general_pane;
    std::vector<SettingsRow> out{
        // A tray icon needs a panel that hosts one; the taskbar is the way back without.
        bound(toggle("showMenuBar", "", "Show in the panel’s tray", "Panel without a tray? Turn on Show in the taskbar.")),
        bound(toggle("showDock", "", "Show in the taskbar")),
        bound(toggle("openAtLogin", "", "Open at login")),
        bound(toggle("dimLevel", "", "Dim inactive windows", "Darkens every window except the focused one.")),
        bound(toggle("blur", "", "Blur inactive windows",
                     "Softens them so the focused window stands out. Uses a little more battery.")),
    };
    if (d_.compositing && !d_.compositing()) {
        SettingsRow r;
        r.id = "compositor";
        r.label = noCompositor;
        r.note = noCompositorNote;
        out.push_back(std::move(r));
    }
    SettingsRow focus = toggle("focusPolicy", "", "Apps may take the focus",
                               "Smart: not while you type in another window; the app is marked instead.");
    focus.kind = ControlKind::choice;
    focus.options.assign(focusPolicies.begin(), focusPolicies.end());
    out.push_back(bound(std::move(focus)));
    out.push_back(bound(toggle("focusFollowsMouse", "", "Focus follows the mouse",
                               "Pointing at a column that is wholly on screen focuses it, without moving the strip.")));
    out.push_back(buttons("keyboardShortcuts", "", "Keyboard shortcuts", "", {"Customize"}));
    SettingsRow count =
        toggle("desktops", desktops, "Number of desktops", "Super+1…9 shows one; each keeps its own strips.");
    count.kind = ControlKind::stepper;
    count.lo = pref_range::desktops.lo;
    count.hi = pref_range::desktops.hi;
    out.push_back(bound(std::move(count)));
    const std::vector<std::string> names = d_.prefs.desktopNameList();
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string number = std::to_string(i + 1);
        SettingsRow name = toggle(desktopName + number, desktops, "Desktop " + number);
        name.kind = ControlKind::field;
        // A desktop without a name of its own shows its number: the field stays empty for it.
        name.detail = names[i] == number ? std::string() : names[i];
        name.placeholder = number;
        out.push_back(std::move(name));
    }
    out.push_back(bound(toggle("notifyDrift", notifications, "Workspace drift alerts")));
    out.push_back(bound(toggle("notifyRestore", notifications, "Restore results")));
    out.push_back(buttons("appUpdates", notifications, "App updates", "", {"Open Update Settings"}));
    // Window pictures come from the window system itself here: no permission, nothing leaves the machine.
    out.push_back(bound(toggle("previews", privacy, "Show real window previews", "Pictures stay on this computer.")));
    SettingsRow transfer =
        buttons("layoutsAndRules", privacy, "Layouts and rules", "Move them to another computer.", {"Import", "Export"});
    transfer.detail = exportNote_.value_or("");
    out.push_back(std::move(transfer));
    out.push_back(buttons("diagnostics", privacy, "Send diagnostics to support",
                          "Window titles and file paths are never included.", {"Send"}));
    out.push_back(buttons("help", "", "Help and support", "", {"Open"}));
    SettingsRow about;
    about.id = "version";
    about.section = "About";
    about.label = "Version";
    about.detail = AppInfo::version();
    out.push_back(std::move(about));
    return out;
}

void GeneralPane::press(const std::string& id, int index) {
    if (id == "keyboardShortcuts") call(d_.select, SettingsPane::shortcuts);
    else if (id == "appUpdates") call(d_.select, SettingsPane::updates);
    else if (id == "layoutsAndRules" && index == 0) importLayouts();
    else if (id == "layoutsAndRules" && index == 1) exportLayouts();
    else if (id == "diagnostics") sendDiagnostics();
    else if (id == "help") call(d_.open, std::string(general_pane::supportPage));
}

void GeneralPane::setText(const std::string& id, const std::string& text) {
    // Only spaces: cleared, so the desktop shows its number again.
    const bool blank = text.find_first_not_of(" \t") == std::string::npos;
    for (int d = 0; d < d_.manager.desktopCount(); ++d)
        // As a pager's rename: the manager stores it and tells pagers and scripts.
        if (id == general_pane::desktopName + std::to_string(d + 1)) d_.manager.renameDesktop(d, blank ? "" : text);
}

void GeneralPane::exportLayouts() {
    // Nothing to offer, no dialog.
    if (!d_.transfer.exportBundle() || !d_.chooseExportFile) return;
    auto path = d_.chooseExportFile(ExportImport::suggestedFileName);
    if (!path) return;
    exportNote_ = d_.transfer.exportTo(*path);
    changed.emit();
}

void GeneralPane::importLayouts() {
    if (!d_.chooseImportFile) return;
    auto path = d_.chooseImportFile();
    if (!path) return;
    exportNote_ = d_.transfer.importFrom(*path);
    changed.emit();
}

std::string GeneralPane::diagnostics() const {
    const WindowManager& m = d_.manager;
    ManagerReport r;
    r.trusted = m.trusted();
    r.on = m.on();
    r.paused = m.paused();
    for (const StripRef& s : m.strips()) {
        StripReport sr;
        sr.index = s->index;
        sr.shortName = s->shortName();
        sr.columns = static_cast<int>(s->cols.size());
        for (const Col& c : s->cols) sr.windows += static_cast<int>(c.items.size());
        sr.layout = s->layout;
        r.strips.push_back(std::move(sr));
    }
    r.displays = d_.displayCount ? d_.displayCount() : static_cast<int>(r.strips.size());
    return diagnosticsReport(AppInfo::version(), operatingSystemLine(), r);
}

void GeneralPane::sendDiagnostics() {
    std::error_code ec;
    std::filesystem::path folder = d_.diagnosticsFolder;
    if (folder.empty()) folder = std::filesystem::temp_directory_path(ec);
    (void)tarvela::sendDiagnostics(diagnostics(), folder, d_.mail);
}

// ---- Gestures ----

GesturesPane::GesturesPane(Prefs& prefs) : prefs_(prefs) {
    bindBool(prefs.swipe3);
    bindBool(prefs.optionScroll);
    bindBool(prefs.pinch4);
    bindBool(prefs.natural);
    // Stored steps above 2 act as 2, below 0 as 0.
    static_assert(gestures_pane::speeds.size() == pref_range::scrollSpeed.hi - pref_range::scrollSpeed.lo + 1);
    bind(prefs.scrollSpeed.key(), {[&prefs] { return pref_range::scrollSpeed.clamp(prefs.scrollSpeed()); },
                                   [&prefs](int v) { prefs.scrollSpeed.set(pref_range::scrollSpeed.clamp(v)); }});
    prefsChanged_ = prefs.changed.connect([this] { changed.emit(); });
}

std::vector<SettingsRow> GesturesPane::rows() const {
    SettingsRow speed = toggle("scrollSpeed", "", "Scroll speed", "How far the strip moves per swipe.");
    speed.kind = ControlKind::choice;
    speed.options.assign(gestures_pane::speeds.begin(), gestures_pane::speeds.end());
    return {
        // Touchpad gestures arrive as XInput 2.4 gesture events; an application
        // that asks for them on its own window gets them instead.
        bound(toggle("swipe3", "", "Three-finger swipe", "Swipe left or right to move focus to the next column.",
                     "Three-finger swipes reach Tarvela when the touchpad driver reports them as gestures "
                     "(XInput 2.4, as libinput does) and the app under the pointer isn’t using them itself.")),
        bound(toggle("optionScroll", "", "Two-finger scroll with ⌥", "Hold Alt (⌥) and scroll to slide the whole strip.")),
        bound(toggle("pinch4", "", "Four-finger pinch", "Pinch in to open the strip overview.")),
        bound(toggle("natural", "", "Natural direction", "Strip follows your fingers, like scrolling a page.")),
        bound(std::move(speed)),
    };
}

// ---- Updates ----

UpdatesPane::UpdatesPane(Prefs& prefs, UpdateSource* source) : prefs_(prefs), source_(source) {
    bindBool(prefs.autoCheck);
    bindBool(prefs.autoInstall);
    bindBool(prefs.notifyWhenClosed);
    prefsChanged_ = prefs.changed.connect([this] { changed.emit(); });
    if (source_) sourceChanged_ = source_->changed.connect([this] { changed.emit(); });
}

std::vector<SettingsRow> UpdatesPane::rows() const {
    return {
        bound(toggle("autoCheck", "", "Check for updates automatically")),
        bound(toggle("autoInstall", "", "Install updates automatically")),
        bound(toggle("notifyWhenClosed", "", "Show a notification", "Show a notification when Tarvela is closed")),
    };
}

std::optional<UpdateStatusView> UpdatesPane::status() const {
    if (!source_) return std::nullopt;
    const UpdateStatus s = source_->status();
    UpdateStatusView v;
    const std::string checked = s.lastChecked ? " · last checked " + *s.lastChecked : std::string();
    switch (s.state.kind) {
        case UpdateState::Kind::checking:
        case UpdateState::Kind::failed: {
            // Told as the update window tells it; a failure also says when a check last got through.
            const UpdateView w = UpdateView::of(s.state, s.currentVersion, {});
            v.line = w.title;
            if (s.state.kind == UpdateState::Kind::failed) {
                if (s.lastChecked) v.line += " · last successful check " + *s.lastChecked;
                v.detail = w.subline;
            }
            break;
        }
        case UpdateState::Kind::available: v.line = s.state.detail + " is available" + checked; break;
        case UpdateState::Kind::idle:
        case UpdateState::Kind::upToDate:
            v.line = s.lastChecked ? "You’re up to date" + checked : std::string("Not checked yet");
            break;
    }
    if (s.installable) {
        v.installButton = "Install Update";
        v.notesTitle = "What’s new in " + *s.installable;
        v.notes = s.notes;
    }
    return v;
}

void UpdatesPane::checkNow() {
    if (source_) source_->checkNow();
}

void UpdatesPane::install() {
    if (source_ && source_->status().installable) source_->install();
}

}  // namespace tarvela

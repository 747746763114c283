#include "feedback/settings_panes.h"

#include <fstream>
#include <map>
#include <set>

#include "feedback/popover_model.h"
#include "settings/app_info.h"
#include "settings/defaults_file.h"
#include "settings/login_item.h"
#include "tests/feedback/settings_fixture.h"

using namespace tarvela;
using tarvela::testing::SettingsTest;

namespace {

std::vector<SettingsRow> controls(const RowPane& pane) {
    std::vector<SettingsRow> out;
    for (const SettingsRow& r : pane.rows())
        if (r.kind == ControlKind::toggle || r.kind == ControlKind::choice || r.kind == ControlKind::stepper)
            out.push_back(r);
    return out;
}

const SettingsRow* rowOf(const std::vector<SettingsRow>& rows, const std::string& id) {
    for (const SettingsRow& r : rows)
        if (r.id == id) return &r;
    return nullptr;
}

class FakeUpdates final : public UpdateSource {
public:
    UpdateStatus s;
    int checks = 0, installs = 0;
    UpdateStatus status() const override { return s; }
    void checkNow() override { ++checks; }
    void install() override { ++installs; }
};

}  // namespace

TEST(SettingsPane, TitlesAndPreviewNames) {
    for (SettingsPane p : allSettingsPanes) EXPECT_EQ(paneFromTitle(title(p)), p) << rawValue(p);
    EXPECT_EQ(paneFromPreview("settings:app rules"), SettingsPane::rules);
    EXPECT_EQ(paneFromPreview("settings:GESTURES"), SettingsPane::gestures);
    EXPECT_EQ(paneFromPreview("settings"), std::nullopt);
    EXPECT_EQ(paneFromPreview("settings:rules"), std::nullopt);  // the raw name is not a title
    EXPECT_EQ(paneFromPreview("settings:general:x"), std::nullopt);
}

// Every switch and choice of every row pane, flipped once in order over a
// real defaults file: the value is on disk under the control's key at once
// (read back by a second store on the same file), with its side effect.
TEST_F(SettingsTest, EveryControlWritesItsPreferenceAtOnce) {
    const auto file = tmp / "app.tarvela.plist";
    FileDefaults store(file);
    XdgAutostart autostart(tmp / "autostart", "/usr/bin/tarvela");
    Prefs p(store, &autostart);
    GeneralPane general({p, *wm, *transfer, mail, tmp.path(), {}, {}, {}, {}, {}, {}});
    GesturesPane gestures(p);
    UpdatesPane updates(p, nullptr);
    std::map<std::string, RowPane*> panes{{"general", &general}, {"gestures", &gestures}, {"updates", &updates}};

    struct Flip {
        std::string pane, id;
        int to;
        std::map<std::string, DefaultsValue> stored;  // what the flip must leave on disk
    };
    const std::vector<Flip> table{
        // Neither the tray icon nor the taskbar entry can go while the other is off.
        {"general", "showMenuBar", 0, {{"showMenuBar", false}, {"showDock", true}}},
        {"general", "showDock", 0, {{"showDock", false}, {"showMenuBar", true}}},
        {"general", "openAtLogin", 1, {}},
        {"general", "dimLevel", 0, {{"dimLevel", int64_t{0}}}},
        {"general", "dimLevel", 1, {{"dimLevel", int64_t{popover::defaultDimLevel}}}},
        {"general", "blur", 0, {{"blur", false}}},
        {"general", "notifyDrift", 0, {{"notifyDrift", false}}},
        {"general", "notifyRestore", 0, {{"notifyRestore", false}}},
        {"general", "previews", 1, {{"previews", true}}},
        {"general", "focusPolicy", 2, {{"focusPolicy", int64_t{2}}}},
        {"general", "focusFollowsMouse", 1, {{"focusFollowsMouse", true}}},
        {"general", "desktops", 6, {{"desktops", int64_t{6}}}},
        {"gestures", "swipe3", 0, {{"swipe3", false}}},
        {"gestures", "optionScroll", 0, {{"optionScroll", false}}},
        {"gestures", "pinch4", 1, {{"pinch4", true}}},
        {"gestures", "natural", 0, {{"natural", false}}},
        {"gestures", "scrollSpeed", 2, {{"scrollSpeed", int64_t{2}}}},
        {"gestures", "scrollSpeed", 0, {{"scrollSpeed", int64_t{0}}}},
        {"updates", "autoCheck", 0, {{"autoCheck", false}}},
        {"updates", "autoInstall", 1, {{"autoInstall", true}}},
        {"updates", "notifyWhenClosed", 0, {{"notifyWhenClosed", false}}},
    };

    // The table covers every control there is.
    std::set<std::string> shown, flipped;
    for (auto& [name, pane] : panes)
        for (const SettingsRow& r : controls(*pane)) shown.insert(name + "." + r.id);
    for (const Flip& f : table) flipped.insert(f.pane + "." + f.id);
    EXPECT_EQ(shown, flipped);

    for (const Flip& f : table) {
        SCOPED_TRACE(f.pane + "." + f.id);
        RowPane& pane = *panes.at(f.pane);
        ASSERT_NE(rowOf(pane.rows(), f.id)->value, f.to) << "the flip must change something";
        pane.set(f.id, f.to);
        EXPECT_EQ(rowOf(pane.rows(), f.id)->value, f.to);
        FileDefaults onDisk(file);
        for (auto& [key, value] : f.stored) EXPECT_EQ(onDisk.get(key), value) << key;
        if (f.id == "openAtLogin") {
            EXPECT_TRUE(std::filesystem::exists(autostart.entryPath()));
        }
    }
}

TEST_F(SettingsTest, GeneralPaneFollowsChangesMadeElsewhereAndTheCompositor) {
    bool compositing = true;
    GeneralPane general({*prefs, *wm, *transfer, mail, tmp.path(), {}, [&] { return compositing; }, {}, {}, {}, {}});
    int told = 0;
    Connection c = general.changed.connect([&] { ++told; });

    // The tray popover's dim switch and blur: the pane shows them at once.
    PopoverActions popover(*wm, *prefs, {});
    popover.setDim(false);
    popover.setBlur(false);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(rowOf(general.rows(), "dimLevel")->value, 0);
    EXPECT_EQ(rowOf(general.rows(), "blur")->value, 0);
    // On again from the pane: the default strength, as the popover picks it.
    general.set("dimLevel", 1);
    EXPECT_EQ(prefs->dimLevel(), popover::defaultDimLevel);

    EXPECT_EQ(rowOf(general.rows(), "compositor"), nullptr);
    compositing = false;
    general.compositingChanged();
    EXPECT_EQ(told, 4);
    auto rows = general.rows();
    const SettingsRow* warning = rowOf(rows, "compositor");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ((warning - 1)->id, "blur");  // right under the effects it is about
    EXPECT_EQ(rowOf(rows, "version")->detail, AppInfo::version());
}

// One name field per desktop; a name typed there reaches the manager and the
// pagers, and a blank one gives the desktop back its number.
TEST_F(SettingsTest, GeneralPaneNamesEveryDesktop) {
    desktopOfThree();
    GeneralPane general({*prefs, *wm, *transfer, mail, tmp.path(), {}, {}, {}, {}, {}, {}});
    auto fields = [&] {
        std::vector<std::string> out;
        for (const SettingsRow& r : general.rows())
            if (r.kind == ControlKind::field) out.push_back(r.id + "=" + r.detail + "/" + r.placeholder);
        return out;
    };
    general.set("desktops", 2);
    EXPECT_EQ(fields(), (std::vector<std::string>{"desktopName1=/1", "desktopName2=/2"}));
    general.setText("desktopName2", "Mail");
    EXPECT_EQ(sim.desktops().names, (std::vector<std::string>{"1", "Mail"}));
    general.set("desktops", 3);
    EXPECT_EQ(fields(), (std::vector<std::string>{"desktopName1=/1", "desktopName2=Mail/2", "desktopName3=/3"}));
    general.setText("desktopName2", "  ");
    general.setText("desktopName4", "Gone");
    EXPECT_EQ(wm->desktopNames(), (std::vector<std::string>{"1", "2", "3"}));
}

TEST_F(SettingsTest, GeneralPaneButtons) {
    desktopOfThree();
    std::vector<std::string> done;  // panes selected, addresses opened, names suggested
    std::optional<std::filesystem::path> exportTo, importFrom;
    GeneralPane general({*prefs, *wm, *transfer, mail, tmp.path(), [] { return 2; }, {},
                         [&](SettingsPane p) { done.push_back(title(p)); },
                         [&](const std::string& a) { done.push_back(a); },
                         [&](const std::string& suggested) {
                             done.push_back(suggested);
                             return exportTo;
                         },
                         [&] { return importFrom; }});
    general.press("keyboardShortcuts", 0);
    general.press("appUpdates", 0);
    general.press("help", 0);
    EXPECT_EQ(done, (std::vector<std::string>{"Shortcuts", "Updates", general_pane::supportPage}));

    // Export: cancelled leaves no note; chosen writes and says where.
    general.press("layoutsAndRules", 1);
    EXPECT_EQ(general.exportNote(), std::nullopt);
    exportTo = tmp / "moved.json";
    general.press("layoutsAndRules", 1);
    EXPECT_EQ(rowOf(general.rows(), "layoutsAndRules")->detail, "Saved to moved.json");
    exportTo = tmp / "no such folder" / "x.json";
    general.press("layoutsAndRules", 1);
    EXPECT_EQ(general.exportNote()->rfind("Couldn’t save: ", 0), 0u) << *general.exportNote();

    // Import replaces the stores with the file; a foreign file changes nothing.
    rules->setRules({});
    importFrom = tmp / "moved.json";
    general.press("layoutsAndRules", 0);
    EXPECT_EQ(general.exportNote(), "Imported 0 workspaces, 3 rules and 0 custom shortcuts");
    EXPECT_EQ(rules->rules(), RuleStore::builtIns());
    std::ofstream(tmp / "other.json") << R"({"rules": [], "workspaces": []})";
    importFrom = tmp / "other.json";
    general.press("layoutsAndRules", 0);
    EXPECT_EQ(general.exportNote(), "That file isn’t a Tarvela export.");
    EXPECT_EQ(rules->rules(), RuleStore::builtIns());
    EXPECT_EQ(done.back(), "Tarvela layouts and rules.json");

    // Diagnostics: to the mail composer, or shown in the file manager without one.
    general.press("diagnostics", 0);
    const auto file = tmp / "Tarvela diagnostics.txt";
    EXPECT_EQ(mail.sent, (decltype(mail.sent){{AppInfo::supportAddress, file}}));
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("\nDisplays: 2\nDisplay 0 Built-in: 3 columns, 3 windows, layout strip\n"), std::string::npos);
    mail.composer = false;
    general.sendDiagnostics();
    EXPECT_EQ(mail.revealed, std::vector<std::filesystem::path>{file});
}

TEST_F(SettingsTest, UpdatesPaneStatusLine) {
    FakeUpdates source;
    UpdatesPane pane(*prefs, &source);
    int told = 0;
    Connection c = pane.changed.connect([&] { ++told; });
    EXPECT_EQ(pane.status()->line, "Not checked yet");
    source.s.lastChecked = "14:05";
    source.changed.emit();
    EXPECT_EQ(told, 1);
    // Each state as the update window words it, with the time a check last read the feed.
    for (const auto& [state, line] : std::vector<std::pair<UpdateState, std::string>>{
             {UpdateState::upToDate(), "You’re up to date · last checked 14:05"},
             {UpdateState::checking(), "Checking for updates…"},
             {UpdateState::failed("x"), "Couldn’t check for updates · last successful check 14:05"},
             {UpdateState::available("1.2"), "1.2 is available · last checked 14:05"}}) {
        source.s.state = state;
        EXPECT_EQ(pane.status()->line, line);
    }
    pane.install();  // nothing to install

    source.s.installable = "1.2";
    source.s.notes = {"Smoother scrolling"};
    const UpdateStatusView v = *pane.status();
    EXPECT_EQ(v.installButton, "Install Update");
    EXPECT_EQ(v.notesTitle, "What’s new in 1.2");
    pane.checkNow();
    pane.install();
    EXPECT_EQ(source.checks * 10 + source.installs, 11);
    EXPECT_FALSE(UpdatesPane(*prefs, nullptr).status().has_value());
}

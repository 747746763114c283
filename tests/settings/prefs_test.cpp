#include "settings/prefs.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"

#include <limits>

#include "core/log.h"

namespace tarvela {
namespace {

using testsupport::RecordingDefaults;

class FakeLoginItems final : public LoginItemService {
public:
    LoginItemStatus state = LoginItemStatus::notRegistered;
    std::optional<std::string> failWith;
    std::vector<std::string> calls;
    LoginItemStatus status() override { return state; }
    std::optional<std::string> registerApp() override {
        calls.push_back("register");
        if (failWith) return failWith;
        state = LoginItemStatus::enabled;
        return std::nullopt;
    }
    std::optional<std::string> unregisterApp() override {
        calls.push_back("unregister");
        if (failWith) return failWith;
        state = LoginItemStatus::notRegistered;
        return std::nullopt;
    }
};

class FakeAppearance final : public AppearanceHook {
public:
    std::vector<Appearance> applied;
    void setAppearance(Appearance a) override { applied.push_back(a); }
};

using testsupport::LogCapture;

TEST(Prefs, AnEmptyStoreGivesEveryDefaultAndConstructionWritesNothing) {
    RecordingDefaults d;
    FakeLoginItems login;
    FakeAppearance look;
    Prefs p(d, &login, &look);
    EXPECT_FALSE(p.onboarded());
    EXPECT_TRUE(p.enabled());
    EXPECT_EQ(p.layout(), Layout::strip);
    EXPECT_EQ(p.defaultWidth(), 0.5);
    EXPECT_EQ(p.align(), Align::center);
    EXPECT_TRUE(p.showMenuBar());
    EXPECT_FALSE(p.showDock());
    EXPECT_EQ(p.dimLevel(), 2);
    EXPECT_TRUE(p.blur());
    EXPECT_EQ(p.appearance(), 2);
    EXPECT_TRUE(p.notifyRestore());
    EXPECT_TRUE(p.notifyDrift());
    EXPECT_FALSE(p.previews());
    EXPECT_TRUE(p.swipe3());
    EXPECT_TRUE(p.optionScroll());
    EXPECT_FALSE(p.pinch4());
    EXPECT_TRUE(p.natural());
    EXPECT_EQ(p.scrollSpeed(), 1);
    EXPECT_TRUE(p.autoCheck());
    EXPECT_TRUE(p.notifyWhenClosed());
    EXPECT_FALSE(p.autoInstall());
    EXPECT_FALSE(p.restoreLastSession());
    EXPECT_FALSE(p.openAtLogin());
    EXPECT_TRUE(d.writes.empty());
    EXPECT_TRUE(login.calls.empty());
    EXPECT_TRUE(look.applied.empty());
}

TEST(Prefs, StoredValuesAreReadUnderTheirOwnNames) {
    RecordingDefaults d;
    d.mem.set("onboarded", true);
    d.mem.set("enabled", false);
    d.mem.set("layout", std::string("grid32"));
    d.mem.set("defaultWidth", 0.75);
    d.mem.set("align", std::string("auto"));
    d.mem.set("showMenuBar", false);
    d.mem.set("showDock", true);
    d.mem.set("dimLevel", int64_t{3});
    d.mem.set("blur", false);
    d.mem.set("appearance", int64_t{1});
    d.mem.set("notifyRestore", false);
    d.mem.set("notifyDrift", false);
    d.mem.set("previews", true);
    d.mem.set("swipe3", false);
    d.mem.set("optionScroll", false);
    d.mem.set("pinch4", true);
    d.mem.set("natural", false);
    d.mem.set("scrollSpeed", int64_t{3});
    d.mem.set("autoCheck", false);
    d.mem.set("notifyWhenClosed", false);
    d.mem.set("autoInstall", true);
    Prefs p(d);
    EXPECT_TRUE(p.onboarded());
    EXPECT_FALSE(p.enabled());
    EXPECT_EQ(p.layout(), Layout::grid32);
    EXPECT_EQ(p.defaultWidth(), 0.75);
    EXPECT_EQ(p.align(), Align::autoAlign);
    EXPECT_FALSE(p.showMenuBar());
    EXPECT_TRUE(p.showDock());
    EXPECT_EQ(p.dimLevel(), 3);
    EXPECT_FALSE(p.blur());
    EXPECT_EQ(p.appearance(), 1);
    EXPECT_FALSE(p.notifyRestore());
    EXPECT_FALSE(p.notifyDrift());
    EXPECT_TRUE(p.previews());
    EXPECT_FALSE(p.swipe3());
    EXPECT_FALSE(p.optionScroll());
    EXPECT_TRUE(p.pinch4());
    EXPECT_FALSE(p.natural());
    EXPECT_EQ(p.scrollSpeed(), 3);
    EXPECT_FALSE(p.autoCheck());
    EXPECT_FALSE(p.notifyWhenClosed());
    EXPECT_TRUE(p.autoInstall());
}

TEST(Prefs, ValuesOfTheWrongTypeOrNamingNoCaseGiveTheDefaultAndStayStored) {
    RecordingDefaults d;
    d.mem.set("enabled", std::string("false"));
    d.mem.set("layout", std::string("spiral"));
    d.mem.set("align", std::string("Center"));
    d.mem.set("defaultWidth", std::string("0.3"));
    d.mem.set("dimLevel", 1.0);
    d.mem.set("scrollSpeed", int64_t{1} << 40);  // no Int on this side
    d.mem.set("appearance", true);
    d.mem.set("blur", int64_t{0});
    Prefs p(d);
    EXPECT_TRUE(p.enabled());
    EXPECT_EQ(p.layout(), Layout::strip);
    EXPECT_EQ(p.align(), Align::center);
    EXPECT_EQ(p.defaultWidth(), 0.5);
    EXPECT_EQ(p.dimLevel(), 2);
    EXPECT_EQ(p.scrollSpeed(), 1);
    EXPECT_EQ(p.appearance(), 2);
    EXPECT_TRUE(p.blur());
    EXPECT_EQ(d.mem.getString("defaultWidth"), "0.3");
    EXPECT_TRUE(d.writes.empty());

    // A whole number is a number too; a non-finite one is no width.
    RecordingDefaults whole;
    whole.mem.set("defaultWidth", int64_t{1});
    EXPECT_EQ(Prefs(whole).defaultWidth(), 1.0);
    RecordingDefaults inf;
    inf.mem.set("defaultWidth", std::numeric_limits<double>::infinity());
    EXPECT_EQ(Prefs(inf).defaultWidth(), 0.5);
}

TEST(Prefs, TheLegacyDimKeySeedsDimLevelAndBlurUntilTheyAreStored) {
    {
        RecordingDefaults d;
        d.mem.set("dim", false);
        Prefs p(d);
        EXPECT_EQ(p.dimLevel(), 0);
        EXPECT_FALSE(p.blur());
    }
    {
        RecordingDefaults d;
        d.mem.set("dim", false);
        d.mem.set("blur", true);
        Prefs p(d);
        EXPECT_EQ(p.dimLevel(), 0);
        EXPECT_TRUE(p.blur());
    }
    {
        RecordingDefaults d;
        d.mem.set("dim", true);
        d.mem.set("dimLevel", int64_t{1});
        Prefs p(d);
        EXPECT_EQ(p.dimLevel(), 1);
        EXPECT_TRUE(p.blur());
    }
    {
        RecordingDefaults d;
        d.mem.set("dim", std::string("no"));  // unreadable reads as missing, i.e. true
        Prefs p(d);
        EXPECT_EQ(p.dimLevel(), 2);
        EXPECT_TRUE(p.blur());
    }
    // Once assigned, the setting's own key decides and "dim" is left alone.
    RecordingDefaults d;
    d.mem.set("dim", false);
    {
        Prefs p(d);
        p.dimLevel.set(0);
        p.blur.set(true);
    }
    d.mem.set("dim", true);
    Prefs p(d);
    EXPECT_EQ(p.dimLevel(), 0);
    EXPECT_TRUE(p.blur());
    for (auto& [k, v] : d.writes) EXPECT_NE(k, "dim");
    EXPECT_EQ(d.mem.getBool("dim"), true);
}

TEST(Prefs, EveryAssignmentWritesItsTypedValueEvenWhenUnchanged) {
    RecordingDefaults d;
    Prefs p(d);
    p.enabled.set(true);
    p.enabled.set(true);
    p.layout.set(Layout::plus21);
    p.align.set(Align::autoAlign);
    p.defaultWidth.set(0.333);
    p.dimLevel.set(3);
    p.scrollSpeed.set(2);
    p.notifyWhenClosed.set(false);
    using W = std::pair<std::string, std::optional<DefaultsValue>>;
    std::vector<W> expected = {
        {"enabled", DefaultsValue(true)},
        {"enabled", DefaultsValue(true)},
        {"layout", DefaultsValue(std::string("plus21"))},
        {"align", DefaultsValue(std::string("auto"))},
        {"defaultWidth", DefaultsValue(0.333)},
        {"dimLevel", DefaultsValue(int64_t{3})},
        {"scrollSpeed", DefaultsValue(int64_t{2})},
        {"notifyWhenClosed", DefaultsValue(false)},
    };
    EXPECT_EQ(d.writes, expected);

    // Each key is the property's name: a fresh instance reads them all back.
    Prefs again(d);
    EXPECT_EQ(again.layout(), Layout::plus21);
    EXPECT_EQ(again.align(), Align::autoAlign);
    EXPECT_EQ(again.defaultWidth(), 0.333);
    EXPECT_EQ(again.dimLevel(), 3);
    EXPECT_EQ(again.scrollSpeed(), 2);
    EXPECT_FALSE(again.notifyWhenClosed());
}

TEST(Prefs, TheStatusItemAndTheDockIconAreNeverBothOff) {
    RecordingDefaults d;
    Prefs p(d);
    std::vector<std::string> seen;
    auto c1 = p.showDock.changed.connect([&](const bool& v) {
        seen.push_back(std::string("dock ") + (v ? "on" : "off"));
        EXPECT_TRUE(p.showDock() || p.showMenuBar()) << "an observer saw both off";
    });
    auto c2 = p.showMenuBar.changed.connect([&](const bool& v) {
        seen.push_back(std::string("menu ") + (v ? "on" : "off"));
        EXPECT_TRUE(p.showDock() || p.showMenuBar()) << "an observer saw both off";
    });

    p.showMenuBar.set(false);  // dock was off: it comes on
    EXPECT_FALSE(p.showMenuBar());
    EXPECT_TRUE(p.showDock());
    EXPECT_EQ(d.mem.getBool("showMenuBar"), false);
    EXPECT_EQ(d.mem.getBool("showDock"), true);

    p.showDock.set(false);  // menu was off: it comes back
    EXPECT_FALSE(p.showDock());
    EXPECT_TRUE(p.showMenuBar());
    EXPECT_EQ(d.mem.getBool("showDock"), false);
    EXPECT_EQ(d.mem.getBool("showMenuBar"), true);

    p.showMenuBar.set(true);  // no change, nothing else moves
    p.showDock.set(true);
    p.showMenuBar.set(false);  // dock is on: allowed as is
    EXPECT_FALSE(p.showMenuBar());
    EXPECT_TRUE(p.showDock());
    EXPECT_EQ(seen, (std::vector<std::string>{"dock on", "menu off", "menu on", "dock off", "dock on", "menu off"}));
}

TEST(Prefs, AppearanceIsAppliedThroughTheHookAfterEveryAssignment) {
    RecordingDefaults d;
    d.mem.set("appearance", int64_t{0});
    Prefs p(d);
    p.applyAppearance();  // no hook yet (no user interface): nothing happens
    FakeAppearance look;
    p.setAppearanceHook(&look);
    p.applyAppearance();
    p.appearance.set(1);
    p.appearance.set(1);
    p.appearance.set(7);
    p.appearance.set(2);
    p.appearance.set(0);
    EXPECT_EQ(look.applied, (std::vector<Appearance>{Appearance::light, Appearance::dark, Appearance::dark,
                                                     Appearance::system, Appearance::system, Appearance::light}));
    EXPECT_EQ(d.mem.getInt("appearance"), 0);
}

TEST(Prefs, OpenAtLoginAsksTheServiceAndLogsFailures) {
    RecordingDefaults d;
    FakeLoginItems login;
    Prefs p(d, &login);
    int notified = 0;
    auto c = p.changed.connect([&] { ++notified; });

    p.openAtLogin.set(true);
    EXPECT_TRUE(p.openAtLogin());
    EXPECT_EQ(notified, 1);
    login.state = LoginItemStatus::requiresApproval;
    EXPECT_FALSE(p.openAtLogin()) << "only an enabled entry counts";
    p.openAtLogin.set(false);
    EXPECT_FALSE(p.openAtLogin());
    EXPECT_EQ(login.calls, (std::vector<std::string>{"register", "unregister"}));

    LogCapture logs;
    login.failWith = "Permission denied";
    p.openAtLogin.set(true);
    EXPECT_FALSE(p.openAtLogin()) << "the real state, not the wish";
    EXPECT_EQ(logs.lines, std::vector<std::string>{"[Tarvela] open at login: Permission denied"});
    EXPECT_TRUE(d.writes.empty()) << "open at login is never stored";

    Prefs withoutService(d);
    withoutService.openAtLogin.set(true);
    EXPECT_FALSE(withoutService.openAtLogin());
    EXPECT_EQ(logs.lines.size(), 2u);
}

TEST(Prefs, ObserversHearRealChangesOnlyAndStopWhenTheirConnectionGoes) {
    RecordingDefaults d;
    Prefs p(d);
    std::vector<Layout> layouts;
    int any = 0;
    auto anyConn = p.changed.connect([&] { ++any; });
    {
        auto c = p.layout.changed.connect([&](const Layout& l) {
            EXPECT_EQ(p.layout(), l) << "observers see the new value in place";
            layouts.push_back(l);
        });
        p.layout.set(Layout::strip);  // unchanged
        p.layout.set(Layout::grid22);
        p.layout.set(Layout::grid22);
        p.layout.set(Layout::two);
        p.enabled.set(true);  // unchanged
        p.enabled.set(false);
    }
    p.layout.set(Layout::three);  // connection gone
    EXPECT_EQ(layouts, (std::vector<Layout>{Layout::grid22, Layout::two}));

    std::vector<bool> docks;
    auto observing = p.showDock.observe([&](const bool& v) { docks.push_back(v); });
    p.showDock.set(true);
    EXPECT_EQ(docks, (std::vector<bool>{false, true})) << "the current value first, then changes";
    EXPECT_EQ(any, 5);
    EXPECT_EQ(d.writes.size(), 8u) << "every assignment still writes";
}

}  // namespace
}  // namespace tarvela

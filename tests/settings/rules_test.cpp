#include "settings/rules.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"

#include "core/log.h"

namespace tarvela {
namespace {

using testsupport::bytes;
using testsupport::text;

using testsupport::LogCapture;

RunningApp app(std::optional<std::string> bundle, std::optional<std::string> name) {
    RunningApp a;
    a.bundleIdentifier = std::move(bundle);
    a.localizedName = std::move(name);
    return a;
}

TEST(RuleStore, FirstLaunchUsesTheBuiltInRulesWithoutWriting) {
    MemoryDefaults d;
    RuleStore store(d);
    std::vector<AppRule> expected{
        {"Zoom", "Zoom", Behavior::floatWin, std::nullopt},
        {"org.gnome.Settings", "Settings", Behavior::floatWin, std::nullopt},
        {"org.gnome.Calculator", "Calculator", Behavior::ignore, std::nullopt},
    };
    EXPECT_EQ(store.rules(), expected);
    EXPECT_TRUE(d.keys().empty());
}

TEST(RuleStore, JSONFormWritesBehaviorAsNumberAndLeavesOutAbsentWidth) {
    MemoryDefaults d;
    RuleStore store(d);
    store.setRules({{"a.b", "AB", Behavior::ignore, std::nullopt}, {"c.d", "CD", Behavior::tile, 0.5}});
    EXPECT_EQ(text(d.getData("rules")),
              R"([{"behavior":2,"bundleID":"a.b","name":"AB"},{"behavior":0,"bundleID":"c.d","name":"CD","width":0.5}])");
    RuleStore reread(d);
    EXPECT_EQ(reread.rules(), store.rules());
}

TEST(RuleStore, StoredListIsDecodedAllOrNothing) {
    const std::string good = R"({"bundleID":"x","name":"X","behavior":0})";
    struct Case {
        const char* why;
        std::string json;
    };
    std::vector<Case> bad{
        {"behavior names no case", "[" + good + R"(,{"bundleID":"y","name":"Y","behavior":3}])"},
        {"negative behavior", R"([{"bundleID":"y","name":"Y","behavior":-1}])"},
        {"fractional behavior", R"([{"bundleID":"y","name":"Y","behavior":1.0}])"},
        {"behavior as text", R"([{"bundleID":"y","name":"Y","behavior":"1"}])"},
        {"missing name", "[" + good + R"(,{"bundleID":"y","behavior":1}])"},
        {"width as text", R"([{"bundleID":"y","name":"Y","behavior":0,"width":"0.5"}])"},
        {"zero width", R"([{"bundleID":"y","name":"Y","behavior":0,"width":0}])"},
        {"negative width", R"([{"bundleID":"y","name":"Y","behavior":0,"width":-0.5}])"},
        {"overflowing width", R"([{"bundleID":"y","name":"Y","behavior":0,"width":1e999}])"},
        {"not an array", "{" + good.substr(1)},
        {"element not an object", "[" + good + ",7]"},
        {"truncated", "[" + good},
    };
    for (auto& c : bad) {
        LogCapture log;
        MemoryDefaults d;
        d.set("rules", bytes(c.json));
        RuleStore store(d);
        EXPECT_EQ(store.rules(), RuleStore::builtIns()) << c.why;
        // The unreadable value stays until the next change overwrites it.
        EXPECT_EQ(text(d.getData("rules")), c.json) << c.why;
        EXPECT_EQ(log.lines.size(), 1u) << c.why;
    }

    // A value of another type reads as missing.
    MemoryDefaults d;
    d.set("rules", std::string("[" + good + "]"));
    EXPECT_EQ(RuleStore(d).rules(), RuleStore::builtIns());

    // Null width and unknown members are fine.
    d.set("rules", bytes(R"([{"bundleID":"y","name":"Y","behavior":1,"width":null,"extra":[1]}])"));
    std::vector<AppRule> expected{{"y", "Y", Behavior::floatWin, std::nullopt}};
    EXPECT_EQ(RuleStore(d).rules(), expected);
}

TEST(RuleStore, AnUnreadableListIsSetAsideBeforeTheFirstWriteOverIt) {
    const std::string bad = R"([{"bundleID":"y","name":"Y","behavior":3}])";
    LogCapture log;
    MemoryDefaults d;
    d.set("rules", bytes(bad));
    RuleStore store(d);
    EXPECT_TRUE(d.keptAside().empty());  // only a write puts it at risk
    store.add({app("org.new", "New"), app("org.other", "Other")});
    ASSERT_EQ(d.keptAside().size(), 1u);
    EXPECT_EQ(text(d.keptAside()[0].second), bad);
    EXPECT_EQ(log.lines[1], "[Tarvela] stored \"rules\" was unreadable; set aside as memory:rules-1 before it is overwritten");
}

TEST(RuleStore, AnEmptyListStaysEmpty) {
    MemoryDefaults d;
    RuleStore(d).setRules({});
    EXPECT_TRUE(RuleStore(d).rules().empty());
}

TEST(RuleStore, RuleForMatchesTheFirstRuleExactly) {
    MemoryDefaults d;
    RuleStore store(d);
    EXPECT_FALSE(store.rule(std::nullopt));
    EXPECT_FALSE(store.rule(std::string("org.gnome.calculator")));
    ASSERT_TRUE(store.rule(std::string("org.gnome.Calculator")));
    EXPECT_EQ(store.rule(std::string("org.gnome.Calculator"))->behavior, Behavior::ignore);

    store.setRules({{"dup", "First", Behavior::tile, std::nullopt}, {"dup", "Second", Behavior::tile, 0.75},
                    {"w", "W", Behavior::tile, 1.0 / 3}});
    EXPECT_EQ(store.rule(std::string("dup"))->name, "First");
    // The first rule has no width, so the later one's width does not apply.
    EXPECT_EQ(store.ruleWidth("dup"), std::nullopt);
    EXPECT_EQ(store.ruleWidth("w"), 1.0 / 3);
    EXPECT_EQ(store.ruleWidth("nothing"), std::nullopt);
}

TEST(RuleStore, AddingRunningApplications) {
    MemoryDefaults d;
    RuleStore store(d);
    store.add({app(std::nullopt, "No Bundle"), app("org.gnome.Calculator", "Calculator"), app("org.new", "New"),
               app("org.nameless", std::nullopt), app("org.new", "New again")});
    auto expected = RuleStore::builtIns();
    expected.push_back({"org.new", "New", Behavior::tile, 0.5});
    expected.push_back({"org.nameless", "org.nameless", Behavior::tile, 0.5});
    EXPECT_EQ(store.rules(), expected);
    EXPECT_EQ(RuleStore(d).rules(), expected);
}

TEST(RuleStore, EditsWriteThroughAndSignalRealChanges) {
    MemoryDefaults d;
    RuleStore store(d);
    int changes = 0;
    auto c = store.changed.connect([&] { ++changes; });

    EXPECT_TRUE(store.setBehavior("Zoom", Behavior::tile));
    EXPECT_TRUE(store.setWidth("Zoom", 2.0 / 3));
    EXPECT_FALSE(store.setWidth("Zoom", 0.0));
    EXPECT_FALSE(store.setBehavior("absent", Behavior::ignore));
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(RuleStore(d).rule(std::string("Zoom")),
              (AppRule{"Zoom", "Zoom", Behavior::tile, 2.0 / 3}));

    // Assigning the same list writes again but changes nothing.
    d.remove("rules");
    store.setRules(store.rules());
    EXPECT_TRUE(d.getData("rules"));
    EXPECT_EQ(changes, 2);

    store.setRules({{"a", "A", Behavior::tile, std::nullopt}, {"b", "B", Behavior::tile, std::nullopt},
                    {"a", "A2", Behavior::floatWin, std::nullopt}});
    store.remove("a");
    std::vector<AppRule> left{{"b", "B", Behavior::tile, std::nullopt}};
    EXPECT_EQ(RuleStore(d).rules(), left);
}

TEST(RuleStore, NamesThatAreNotUTF8StillSave) {
    MemoryDefaults d;
    RuleStore store(d);
    store.add({app("org.latin1", std::string("Caf\xe9"))});
    RuleStore reread(d);
    ASSERT_EQ(reread.rules().size(), 4u);
    EXPECT_EQ(reread.rules().back().name, "Caf\xef\xbf\xbd");
}

}  // namespace
}  // namespace tarvela

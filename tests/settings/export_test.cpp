#include "settings/export.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "core/log.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

using testsupport::bytes;
using testsupport::text;

// The shortcut table as the export sees it, kept in the same defaults.
struct StoredBindings final : BindingsStore {
    Defaults& d;
    Bindings b;
    int sets = 0;
    explicit StoredBindings(Defaults& defaults) : d(defaults) {}
    const Bindings& bindings() const override { return b; }
    void setBindings(Bindings next) override {
        b = std::move(next);
        ++sets;
        storeJSON(d, "shortcuts", bindingsToJSON(b));
    }
};

struct Stores {
    MemoryDefaults d;
    WorkspaceStore workspaces{d};
    RuleStore rules{d};
    StoredBindings shortcuts{d};
    ExportImport io{workspaces, rules, shortcuts};

    std::map<std::string, std::string> snapshot() {
        std::map<std::string, std::string> out;
        for (auto& k : d.keys()) out[k] = text(d.getData(k));
        return out;
    }
};

Workspace sampleWorkspace() {
    Workspace w;
    w.id = *Uuid::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    w.name = "Writing";
    w.display = 1;
    w.layout = Layout::two;
    w.columns = {{{"org.editor", "Editor"}, {"Notes", "Notes"}}, {{"org.browser", "Browser"}}};
    w.widths = {2.0 / 3, 1.0 / 3};
    w.slot = 5;
    return w;
}

void fill(Stores& s) {
    s.workspaces.setItems({sampleWorkspace()});
    auto rules = RuleStore::builtIns();
    rules.push_back({"org.editor", "Editor", Behavior::tile, 0.75});
    s.rules.setRules(rules);
    s.shortcuts.setBindings({{"wider", {24, 0x1100, "="}}});
}

TEST(Export, DefaultStoresGiveTheExactFile) {
    Stores s;
    auto data = s.io.exportBundle();
    ASSERT_TRUE(data);
    EXPECT_EQ(text(data), R"({
  "rules": [
    {
      "behavior": 1,
      "bundleID": "Zoom",
      "name": "Zoom"
    },
    {
      "behavior": 1,
      "bundleID": "org.gnome.Settings",
      "name": "Settings"
    },
    {
      "behavior": 2,
      "bundleID": "org.gnome.Calculator",
      "name": "Calculator"
    }
  ],
  "shortcuts": {},
  "workspaces": []
})");
}

TEST(Export, NestedMembersAreSortedToo) {
    Stores s;
    fill(s);
    auto out = text(s.io.exportBundle());
    auto pos = [&](const std::string& needle) { return out.find(needle); };
    // Workspace members in alphabetical order, slot included.
    EXPECT_LT(pos("\"columns\""), pos("\"display\""));
    EXPECT_LT(pos("\"display\""), pos("\"id\": \"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\""));
    EXPECT_LT(pos("\"layout\": \"two\""), pos("\"name\": \"Writing\""));
    EXPECT_LT(pos("\"name\": \"Writing\""), pos("\"slot\": 5"));
    EXPECT_LT(pos("\"slot\": 5"), pos("\"widths\""));
    EXPECT_NE(pos(R"("wider": {
      "key": "=",
      "keyCode": 24,
      "mods": 4352
    })"),
              std::string::npos);
}

TEST(Import, ExportThenImportRestoresTheSameThreeCollections) {
    Stores from;
    fill(from);
    auto data = from.io.exportBundle();

    Stores to;
    to.workspaces.setActiveID(Uuid::random());
    auto active = to.workspaces.activeID();
    EXPECT_EQ(to.io.importBundle(*data), "Imported 1 workspaces, 4 rules and 1 custom shortcuts");
    EXPECT_EQ(to.workspaces.items(), from.workspaces.items());
    EXPECT_EQ(to.rules.rules(), from.rules.rules());
    EXPECT_EQ(to.shortcuts.bindings(), from.shortcuts.bindings());
    EXPECT_EQ(to.workspaces.activeID(), active);
    // Written through: a fresh start reads the same.
    EXPECT_EQ(WorkspaceStore(to.d).items(), from.workspaces.items());
    EXPECT_EQ(RuleStore(to.d).rules(), from.rules.rules());

    Stores plain;
    EXPECT_EQ(plain.io.importBundle(*plain.io.exportBundle()), "Imported 0 workspaces, 3 rules and 0 custom shortcuts");
}

TEST(Import, ReplacesRatherThanMerges) {
    Stores s;
    fill(s);
    EXPECT_EQ(s.io.importBundle(bytes(R"({"rules":[],"shortcuts":{},"workspaces":[],"note":"ignored"})")),
              "Imported 0 workspaces, 0 rules and 0 custom shortcuts");
    EXPECT_TRUE(s.workspaces.items().empty());
    EXPECT_TRUE(s.rules.rules().empty());
    EXPECT_TRUE(s.shortcuts.bindings().empty());
    // The built-in rules do not come back until the stored rules become unreadable.
    EXPECT_TRUE(RuleStore(s.d).rules().empty());
}

TEST(Import, AnythingIncompleteChangesNothing) {
    const std::string ws = R"([{"id":"00000000-0000-4000-8000-000000000002","name":"G","display":0,"layout":"strip","columns":[],"widths":[]}])";
    const std::string rules = R"([{"bundleID":"a","name":"A","behavior":0}])";
    const std::string sc = R"({"wider":{"keyCode":24,"mods":6144,"key":"="}})";
    auto bundle = [](const std::string& w, const std::string& r, const std::string& s) {
        return "{\"workspaces\":" + w + ",\"rules\":" + r + ",\"shortcuts\":" + s + "}";
    };
    std::vector<std::pair<const char*, std::string>> bad{
        {"no shortcuts", "{\"workspaces\":" + ws + ",\"rules\":" + rules + "}"},
        {"no rules", "{\"workspaces\":" + ws + ",\"shortcuts\":" + sc + "}"},
        {"no workspaces", "{\"rules\":" + rules + ",\"shortcuts\":" + sc + "}"},
        {"bad layout", bundle(R"([{"id":"00000000-0000-4000-8000-000000000002","name":"G","display":0,"layout":"wide","columns":[],"widths":[]}])", rules, sc)},
        {"bad behavior", bundle(ws, R"([{"bundleID":"a","name":"A","behavior":7}])", sc)},
        {"bad shortcut, decoded last", bundle(ws, rules, R"({"wider":{"keyCode":24,"mods":6144}})")},
        {"shortcuts as an array", bundle(ws, rules, "[]")},
        {"not an object", "[" + ws + "]"},
        {"truncated", bundle(ws, rules, sc).substr(0, 60)},
        {"empty", ""},
    };
    for (auto& [why, json] : bad) {
        Stores s;
        fill(s);
        auto before = s.snapshot();
        auto items = s.workspaces.items();
        EXPECT_THROW(s.io.importBundle(bytes(json)), DecodeError) << why;
        EXPECT_EQ(s.snapshot(), before) << why;
        EXPECT_EQ(s.workspaces.items(), items) << why;
        EXPECT_EQ(s.shortcuts.sets, 1) << why;
    }
}

TEST(Import, SlotWithoutADigitKeyKeepsTheWorkspaceWithoutAShortcut) {
    Stores s;
    std::vector<std::string> lines;
    setLogSink([&](const std::string& l) { lines.push_back(l); });
    auto summary = s.io.importBundle(bytes(
        R"({"rules":[],"shortcuts":{},"workspaces":[{"id":"00000000-0000-4000-8000-000000000002","name":"Twelve","display":0,"layout":"strip","columns":[],"widths":[],"slot":12}]})"));
    setLogSink(nullptr);
    EXPECT_EQ(summary, "Imported 1 workspaces, 0 rules and 0 custom shortcuts");
    ASSERT_EQ(s.workspaces.items().size(), 1u);
    EXPECT_FALSE(s.workspaces.items()[0].slot);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "[Tarvela] workspace \"Twelve\" has slot 12, which has no key; it keeps no shortcut"}));
}

TEST(ExportFile, NotesForSavingAndOpening) {
    testing::TempDir dir;
    Stores from;
    fill(from);
    auto file = dir / ExportImport::suggestedFileName;
    EXPECT_EQ(from.io.exportTo(file), "Saved to Tarvela layouts and rules.json");
    EXPECT_EQ(text(readWholeFile(file)), text(from.io.exportBundle()));

    Stores to;
    EXPECT_EQ(to.io.importFrom(file), "Imported 1 workspaces, 4 rules and 1 custom shortcuts");
    EXPECT_EQ(to.workspaces.items(), from.workspaces.items());

    const std::string refused = "That file isn’t a Tarvela export.";
    EXPECT_EQ(to.io.importFrom(dir / "missing.json"), refused);
    EXPECT_EQ(to.io.importFrom(dir.path()), refused);
    std::ofstream(dir / "notes.json") << "{\"hello\": 1}";
    EXPECT_EQ(to.io.importFrom(dir / "notes.json"), refused);
    EXPECT_EQ(to.workspaces.items(), from.workspaces.items());

    EXPECT_EQ(from.io.exportTo(dir / "no such folder" / "x.json"), "Couldn’t save: No such file or directory");
}

TEST(ExportFile, ReplacingAFileKeepsItsPermissionsAndLeavesNoTemporaries) {
    testing::TempDir dir;
    Stores s;
    auto file = dir / "out.json";
    std::ofstream(file) << "old";
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    EXPECT_EQ(s.io.exportTo(file), "Saved to out.json");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(text(readWholeFile(file)), text(s.io.exportBundle()));
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);

    // A fresh file gets the usual permissions, not a private temporary's.
    auto fresh = dir / "fresh.json";
    EXPECT_EQ(s.io.exportTo(fresh), "Saved to fresh.json");
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
}

}  // namespace
}  // namespace tarvela

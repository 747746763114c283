#include "settings/workspaces.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"

#include "core/log.h"

namespace tarvela {
namespace {

using testsupport::bytes;
using testsupport::text;

using testsupport::LogCapture;

Uuid uuid(const char* s) { return *Uuid::parse(s); }

Workspace ws(const char* id, std::string name, std::optional<int> slot,
             std::vector<std::vector<WSApp>> columns = {{{"com.a", "A"}}}) {
    Workspace w;
    w.id = uuid(id);
    w.name = std::move(name);
    w.columns = std::move(columns);
    w.widths.assign(w.columns.size(), 0.5);
    w.slot = slot;
    return w;
}

const char* id1 = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";
const char* id2 = "00000000-0000-4000-8000-000000000002";
const char* id3 = "00000000-0000-4000-8000-000000000003";

TEST(Uuid, ParsesEitherCaseAndWritesUpperCase) {
    auto u = Uuid::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(u);
    EXPECT_EQ(u->str(), id1);
    EXPECT_EQ(Uuid::parse(u->str()), u);
    for (const char* bad : {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5", "E621E1F8-C36C-495A-93FC-0C247A3E6E5FF",
                            "E621E1F8-C36C-495A-93FC_0C247A3E6E5F", "G621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                            "E621E1F-8C36C-495A-93FC-0C247A3E6E5F"})
        EXPECT_FALSE(Uuid::parse(bad)) << bad;

    std::mt19937_64 rng(7);
    auto a = Uuid::random(rng), b = Uuid::random(rng);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.str()[14], '4');  // version 4
    EXPECT_NE(std::string("89AB").find(a.str()[19]), std::string::npos);
}

TEST(WorkspaceStore, FirstLaunchIsEmptyWithEverySlotFree) {
    MemoryDefaults d;
    WorkspaceStore store(d);
    EXPECT_TRUE(store.items().empty());
    EXPECT_EQ(store.freeSlots({}), (std::vector<int>{5, 6, 7, 8, 9, 0}));
    EXPECT_FALSE(store.activeID());
    EXPECT_TRUE(d.keys().empty());
}

TEST(WorkspaceStore, FreeSlotsLeaveOutUsedOnes) {
    MemoryDefaults d;
    WorkspaceStore store(d);
    store.setItems({ws(id1, "Work", 5), ws(id2, "Home", 0), ws(id3, "Loose", std::nullopt)});
    EXPECT_EQ(store.freeSlots({}), (std::vector<int>{6, 7, 8, 9}));
    // Slots 1 to 4 are not offered even when used by an imported workspace.
    store.setItems({ws(id1, "Odd", 2)});
    EXPECT_EQ(store.freeSlots({}), (std::vector<int>{5, 6, 7, 8, 9, 0}));
    // Nor those whose combination a shortcut holds.
    EXPECT_EQ(store.freeSlots({1, 6, 0}), (std::vector<int>{5, 7, 8, 9}));
}

TEST(WorkspaceStore, JSONFormAndTheOptionalSlot) {
    MemoryDefaults d;
    d.set("workspaces",
          bytes(R"([{"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","name":"Dev","display":1,"layout":"grid32",)"
                R"("columns":[[{"bundleID":"com.a","name":"A"},{"bundleID":"B","name":"B"}],[]],"widths":[0.5,1]}])"));
    WorkspaceStore store(d);
    ASSERT_EQ(store.items().size(), 1u);
    auto& w = store.items()[0];
    EXPECT_EQ(w.id, uuid(id1));
    EXPECT_EQ(w.display, 1);
    EXPECT_EQ(w.layout, Layout::grid32);
    EXPECT_EQ(w.columns.size(), 2u);
    EXPECT_EQ(w.columns[0][1], (WSApp{"B", "B"}));
    EXPECT_EQ(w.widths, (std::vector<double>{0.5, 1.0}));
    EXPECT_FALSE(w.slot);

    store.save();
    EXPECT_EQ(text(d.getData("workspaces")),
              R"([{"columns":[[{"bundleID":"com.a","name":"A"},{"bundleID":"B","name":"B"}],[]],"display":1,)"
              R"("id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","layout":"grid32","name":"Dev","widths":[0.5,1.0]}])");

    auto withSlot = w;
    withSlot.slot = 7;
    store.setItems({withSlot});
    EXPECT_NE(text(d.getData("workspaces")).find(R"("slot":7)"), std::string::npos);
    EXPECT_EQ(WorkspaceStore(d).items(), store.items());
}

TEST(WorkspaceStore, StoredListIsDecodedAllOrNothing) {
    const std::string good =
        R"({"id":"00000000-0000-4000-8000-000000000002","name":"G","display":0,"layout":"strip","columns":[],"widths":[]})";
    auto variant = [&](const std::string& from, const std::string& to) {
        auto s = good;
        s.replace(s.find(from), from.size(), to);
        return "[" + good + "," + s + "]";
    };
    struct Case {
        const char* why;
        std::string json;
    };
    std::vector<Case> bad{
        {"layout names no case", variant(R"("strip")", R"("spiral")")},
        {"bad id", variant("00000000-0000-4000-8000-000000000002", "not-a-uuid")},
        {"missing widths", variant(R"(,"widths":[])", "")},
        {"width as text", variant(R"("widths":[])", R"("widths":["0.5"])")},
        {"fractional display", variant(R"("display":0)", R"("display":0.5)")},
        {"slot as text", variant(R"("display":0)", R"("display":0,"slot":"5")")},
        {"app without name", variant(R"("columns":[])", R"("columns":[[{"bundleID":"x"}]])")},
        {"column not an array", variant(R"("columns":[])", R"("columns":[{"bundleID":"x","name":"X"}])")},
    };
    for (auto& c : bad) {
        LogCapture log;
        MemoryDefaults d;
        d.set("workspaces", bytes(c.json));
        WorkspaceStore store(d);
        EXPECT_TRUE(store.items().empty()) << c.why;
        EXPECT_EQ(text(d.getData("workspaces")), c.json) << c.why;
        store.save();
        EXPECT_EQ(d.keptAside().size(), 1u) << c.why;  // before the write over it
    }
    MemoryDefaults d;
    d.set("workspaces", bytes("[" + good + "]"));
    EXPECT_EQ(WorkspaceStore(d).items().size(), 1u);
}

TEST(WorkspaceStore, SlotWithoutADigitKeyIsDroppedButTheWorkspaceKept) {
    for (const char* slot : {"10", "-1", "4294967296", "18446744073709551615", "-9223372036854775808"}) {
        LogCapture log;
        MemoryDefaults d;
        d.set("workspaces",
              bytes(std::string(R"([{"id":"00000000-0000-4000-8000-000000000002","name":"Far","display":0,)"
                                R"("layout":"two","columns":[],"widths":[],"slot":)") +
                    slot + "}]"));
        WorkspaceStore store(d);
        ASSERT_EQ(store.items().size(), 1u) << slot;
        EXPECT_FALSE(store.items()[0].slot) << slot;
        ASSERT_EQ(log.lines.size(), 1u);
        EXPECT_EQ(log.lines[0],
                  std::string("[Tarvela] workspace \"Far\" has slot ") + slot + ", which has no key; it keeps no shortcut");
    }
}

TEST(WorkspaceStore, DeletingRemovesEveryCopyAndClearsOnlyItsOwnActiveID) {
    MemoryDefaults d;
    WorkspaceStore store(d);
    int changes = 0;
    auto c = store.changed.connect([&] { ++changes; });
    store.setItems({ws(id1, "A", 5), ws(id2, "B", 6), ws(id1, "A copy", 7)});
    store.setActiveID(uuid(id2));

    store.remove(uuid(id1));
    ASSERT_EQ(store.items().size(), 1u);
    EXPECT_EQ(store.items()[0].name, "B");
    EXPECT_EQ(store.activeID(), uuid(id2));
    EXPECT_EQ(WorkspaceStore(d).items(), store.items());

    store.remove(uuid(id2));
    EXPECT_FALSE(store.activeID());
    EXPECT_TRUE(WorkspaceStore(d).items().empty());
    EXPECT_EQ(changes, 3);
}

TEST(WorkspaceStore, AppendKeepsRepeatsAndSlotLookupTakesTheFirst) {
    MemoryDefaults d;
    WorkspaceStore store(d);
    store.append(ws(id1, "Same", 5));
    store.append(ws(id2, "Same", 5));
    EXPECT_EQ(store.items().size(), 2u);
    ASSERT_TRUE(store.forSlot(5));
    EXPECT_EQ(store.forSlot(5)->id, uuid(id1));
    EXPECT_FALSE(store.forSlot(6));
    EXPECT_EQ(store.find(uuid(id2))->name, "Same");
    EXPECT_FALSE(store.find(uuid(id3)));
    // activeID is never stored.
    store.setActiveID(uuid(id1));
    EXPECT_FALSE(WorkspaceStore(d).activeID());
}

TEST(WorkspaceStore, TheLastSessionIsOneMarkedEntryKeptInPlaceWithItsId) {
    MemoryDefaults d;
    WorkspaceStore store(d);
    store.setItems({ws(id1, "Last session", std::nullopt)});  // the user's own, never taken for it
    Workspace s = ws(id3, Workspace::lastSessionName, 6, {{{"org.Mail", "Mail"}}});
    s.displayKey = "DP-1";
    s.moreDisplays = {WorkspaceDisplay{1, "HDMI-1", Layout::two, {{{"org.Notes", "Notes"}}}, {0.75}}};
    ASSERT_TRUE(store.keepLastSession(s));
    EXPECT_FALSE(store.keepLastSession(s));  // the same: nothing written
    const Workspace kept = *store.lastSession();
    EXPECT_FALSE(kept.slot);
    EXPECT_EQ(kept.appsLine(), "Mail, Notes");
    EXPECT_EQ(WorkspaceStore(d).items(), store.items());  // every member read back

    // An import brought a second one: one stays, in the first one's place, with its id.
    store.append(kept);
    s.columns.clear();
    ASSERT_TRUE(store.keepLastSession(s));
    EXPECT_EQ(store.items().size(), 2u);
    EXPECT_EQ(store.items()[1].id, kept.id);
}

TEST(Workspace, AppsLineJoinsNamesColumnByColumn) {
    auto w = ws(id1, "W", std::nullopt, {{{"a", "A"}, {"b", "B"}}, {{"c", "C"}}});
    EXPECT_EQ(w.appsLine(), "A, B, C");
    EXPECT_EQ(ws(id1, "Empty", std::nullopt, {}).appsLine(), "");
    EXPECT_EQ(ws(id1, "Empty columns", std::nullopt, {{}, {}}).appsLine(), "");
}

}  // namespace
}  // namespace tarvela

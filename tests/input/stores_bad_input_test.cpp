// Thousands of mutated and truncated versions of valid stored values and
// export files: nothing crashes, decoding is all or nothing, the defaults
// apply, and no other key's stored value is lost. The seed is printed with
// every failure; TARVELA_FUZZ_SEED replays one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "core/log.h"
#include "input/hotkeys.h"
#include "settings/defaults_file.h"
#include "settings/export.h"
#include "settings/rules.h"
#include "settings/workspaces.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

uint64_t fuzzSeed() {
    if (const char* s = std::getenv("TARVELA_FUZZ_SEED")) return std::strtoull(s, nullptr, 10);
    return 20261208;
}

Data bytes(const std::string& s) { return Data(s.begin(), s.end()); }
std::string str(const Data& d) { return std::string(d.begin(), d.end()); }

const std::string baseRules =
    R"([{"bundleID":"us.zoom.xos","name":"Zoom","behavior":1},)"
    R"({"bundleID":"org.editor","name":"Editor","behavior":0,"width":0.75},)"
    R"({"bundleID":"org.term","name":"Térm","behavior":2,"width":0.3333333333333333}])";
const std::string baseWorkspaces =
    R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"Writing","display":1,"layout":"two",)"
    R"("columns":[[{"bundleID":"org.editor","name":"Editor"},{"bundleID":"Notes","name":"Notes"}],)"
    R"([{"bundleID":"org.web","name":"Web"}]],"widths":[0.6666666666666666,0.3333333333333333],"slot":5},)"
    R"({"id":"00000000-0000-4000-8000-000000000002","name":"Loose","display":0,"layout":"grid32",)"
    R"("columns":[],"widths":[]},)"
    R"({"id":"00000000-0000-4000-8000-000000000003","name":"Zero","display":-1,"layout":"strip",)"
    R"("columns":[[{"bundleID":"a","name":"A"}]],"widths":[0.5],"slot":0}])";
const std::string baseShortcuts =
    R"({"wider":{"keyCode":24,"mods":4352,"key":"="},"jump":{"keyCode":18,"mods":2304,"key":"1–4"},)"
    R"("overview":{"keyCode":46,"mods":6144,"key":"M"}})";

// --- what a faithful decode looks like, member by member ---

bool isInteger(const Json& j) { return j.is_number_integer() || j.is_number_unsigned(); }
const Json* present(const Json& obj, const char* name) {
    auto it = obj.find(name);
    return it == obj.end() || it->is_null() ? nullptr : &*it;
}

void expectFaithfulRules(const Json& src, const std::vector<AppRule>& got) {
    ASSERT_TRUE(src.is_array());
    ASSERT_EQ(src.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) {
        const Json& e = src[i];
        ASSERT_TRUE(e.is_object());
        EXPECT_EQ(e.at("bundleID"), got[i].bundleID);
        EXPECT_EQ(e.at("name"), got[i].name);
        ASSERT_TRUE(isInteger(e.at("behavior")));
        EXPECT_EQ(e.at("behavior").get<int64_t>(), rawValue(got[i].behavior));
        if (auto* w = present(e, "width")) {
            ASSERT_TRUE(got[i].width);
            EXPECT_EQ(w->get<double>(), *got[i].width);
        } else {
            EXPECT_FALSE(got[i].width);
        }
    }
}

void expectFaithfulWorkspaces(const Json& src, const std::vector<Workspace>& got) {
    ASSERT_TRUE(src.is_array());
    ASSERT_EQ(src.size(), got.size());
    for (size_t i = 0; i < got.size(); ++i) {
        const Json& e = src[i];
        auto& w = got[i];
        ASSERT_TRUE(e.is_object());
        EXPECT_EQ(Uuid::parse(e.at("id").get<std::string>()), w.id);
        EXPECT_EQ(e.at("name"), w.name);
        ASSERT_TRUE(isInteger(e.at("display")));
        EXPECT_EQ(e.at("display").get<int64_t>(), w.display);
        EXPECT_EQ(e.at("layout"), std::string(rawValue(w.layout)));
        ASSERT_EQ(e.at("columns").size(), w.columns.size());
        for (size_t c = 0; c < w.columns.size(); ++c) {
            ASSERT_EQ(e["columns"][c].size(), w.columns[c].size());
            for (size_t r = 0; r < w.columns[c].size(); ++r) {
                EXPECT_EQ(e["columns"][c][r].at("bundleID"), w.columns[c][r].bundleID);
                EXPECT_EQ(e["columns"][c][r].at("name"), w.columns[c][r].name);
            }
        }
        ASSERT_EQ(e.at("widths").size(), w.widths.size());
        for (size_t k = 0; k < w.widths.size(); ++k) EXPECT_EQ(e["widths"][k].get<double>(), w.widths[k]);
        // Any integer slot decodes; only 0 to 9 is kept.
        auto* s = present(e, "slot");
        if (s) {
            ASSERT_TRUE(isInteger(*s));
        }
        bool digit = s && (s->is_number_unsigned() ? s->get<uint64_t>() <= 9
                                                     : s->get<int64_t>() >= 0 && s->get<int64_t>() <= 9);
        if (digit) {
            EXPECT_EQ(w.slot, s->get<int64_t>());
        } else {
            EXPECT_FALSE(w.slot);
        }
    }
}

void expectFaithfulBindings(const Json& src, const Bindings& got) {
    ASSERT_TRUE(src.is_object());
    ASSERT_EQ(src.size(), got.size());
    for (auto& [name, b] : got) {
        const Json& e = src.at(name);
        ASSERT_TRUE(isInteger(e.at("keyCode")) && isInteger(e.at("mods")));
        EXPECT_EQ(e.at("keyCode").get<int64_t>(), b.keyCode);
        EXPECT_EQ(e.at("mods").get<int64_t>(), b.mods);
        EXPECT_EQ(e.at("key"), b.key);
    }
}

// --- mutations ---

class Mutator {
public:
    explicit Mutator(uint64_t seed) : rng_(seed) {}

    size_t below(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng_) : 0; }
    bool coin() { return below(2) == 0; }

    std::string bytesLevel(std::string s) {
        static const std::string alphabet = "{}[]\",:0123456789-.eE tnfalsru\\\x00\xff\xc3";
        int n = 1 + static_cast<int>(below(3));
        for (int k = 0; k < n && !s.empty(); ++k) {
            size_t at = below(s.size());
            char c = below(8) == 0 ? static_cast<char>(below(256)) : alphabet[below(alphabet.size())];
            switch (below(5)) {
                case 0: s[at] = c; break;
                case 1: s.insert(s.begin() + static_cast<long>(at), c); break;
                case 2: s.erase(at, 1 + below(8)); break;
                case 3: s.resize(at); break;
                default: s.insert(at, s.substr(below(s.size()), 1 + below(12))); break;
            }
        }
        return s;
    }

    Json randomValue() {
        static const std::vector<Json> values{
            -1, 0, 1, 2, 3, 5, 9, 10, 12, 4294967295ll, 4294967296ll, INT64_MIN, UINT64_MAX, 0.0, -0.5, 0.5, 1.5,
            1e308, "", "x", "strip", "grid32", "auto", "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "not-a-uuid", true,
            false, nullptr, Json::array(), Json::object(), Json::array({1, "a"}),
            Json{{"bundleID", "z"}, {"name", "Z"}}};
        return values[below(values.size())];
    }

    // Changes one random node of the tree.
    void structural(Json& root) {
        std::vector<Json*> nodes;
        collect(root, nodes);
        Json& n = *nodes[below(nodes.size())];
        switch (below(5)) {
            case 0: n = randomValue(); break;
            case 1:
                if (n.is_object() && !n.empty()) {
                    auto it = n.begin();
                    std::advance(it, static_cast<long>(below(n.size())));
                    n.erase(it);
                } else {
                    n = randomValue();
                }
                break;
            case 2:
                if (n.is_array() && !n.empty()) n.erase(below(n.size()));
                else n = randomValue();
                break;
            case 3:
                if (n.is_array() && !n.empty()) n.push_back(n[below(n.size())]);
                else if (n.is_object()) n["extra"] = randomValue();
                break;
            default:
                if (n.is_object() && !n.empty()) {
                    auto it = n.begin();
                    std::advance(it, static_cast<long>(below(n.size())));
                    *it = randomValue();
                }
                break;
        }
    }

    // Changes that keep the meaning: layout, member order, unknown members, nulls for optionals, UUID case.
    std::string preserving(const Json& j) {
        Json copy = j;
        std::vector<Json*> nodes;
        collect(copy, nodes);
        for (Json* n : nodes)
            if (n->is_object() && !isBindingsMap(*n) && coin())
                (*n)["unknown_" + std::to_string(below(100))] = randomValue();
        for (Json* n : nodes) {
            if (!n->is_object()) continue;
            if (n->contains("behavior") && !n->contains("width") && coin()) (*n)["width"] = nullptr;
            if (n->contains("layout") && !n->contains("slot") && coin()) (*n)["slot"] = nullptr;
            if (n->contains("id") && coin()) {
                auto s = (*n)["id"].get<std::string>();
                for (auto& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
                (*n)["id"] = s;
            }
        }
        return copy.dump(coin() ? -1 : static_cast<int>(below(5)));
    }

    std::string mutate(const std::string& valid) {
        if (below(3) == 0) return bytesLevel(valid);
        Json j = Json::parse(valid);
        int n = 1 + static_cast<int>(below(3));
        for (int k = 0; k < n; ++k) structural(j);
        std::string out = j.dump();
        return below(4) == 0 ? bytesLevel(out) : out;
    }

private:
    // In the shortcuts object every member is a binding, so a new one is not "unknown".
    static bool isBindingsMap(const Json& j) {
        for (auto& [k, v] : j.items())
            if (v.is_object() && v.contains("keyCode")) return true;
        return false;
    }

    static void collect(Json& j, std::vector<Json*>& out) {
        out.push_back(&j);
        if (j.is_structured())
            for (auto& child : j) collect(child, out);
    }

    std::mt19937_64 rng_;
};

struct LogCapture {
    std::vector<std::string> lines;
    LogCapture() {
        setLogSink([this](const std::string& l) { lines.push_back(l); });
    }
    ~LogCapture() { setLogSink(nullptr); }
    bool unreadable(const std::string& key) const {
        for (auto& l : lines)
            if (l.rfind("[Tarvela] stored \"" + key + "\" is unreadable", 0) == 0) return true;
        return false;
    }
};

std::string shown(const std::string& s) { return s.size() > 400 ? s.substr(0, 400) + "…" : s; }

void fillBaseline(Defaults& d) {
    d.set("rules", bytes(baseRules));
    d.set("workspaces", bytes(baseWorkspaces));
    d.set("shortcuts", bytes(baseShortcuts));
    d.set("layout", std::string("grid32"));
    d.set("dimLevel", int64_t{3});
    d.set("defaultWidth", 0.4);
}

std::map<std::string, DefaultsValue> snapshot(Defaults& d) {
    std::map<std::string, DefaultsValue> out;
    for (auto& k : d.keys()) out[k] = *d.get(k);
    return out;
}

// One set of stores over `d`, checked against what `d` holds for each key.
struct Opened {
    LogCapture log;
    WorkspaceStore workspaces;
    RuleStore rules;
    SimHotkeyService service;
    Hotkeys hotkeys;
    explicit Opened(Defaults& d) : workspaces(d), rules(d), hotkeys(d, service, &workspaces) {}
};

// A key's decoded value is the default after a logged failure, else a faithful
// decode of exactly what is stored.
void expectAllOrNothing(const Opened& o, const std::string& key, const std::optional<Data>& stored) {
    if (key == "rules") {
        if (o.log.unreadable(key)) {
            EXPECT_EQ(o.rules.rules(), RuleStore::builtIns());
        } else if (stored) {
            expectFaithfulRules(Json::parse(str(*stored)), o.rules.rules());
        }
    } else if (key == "workspaces") {
        if (o.log.unreadable(key)) {
            EXPECT_TRUE(o.workspaces.items().empty());
        } else if (stored) {
            expectFaithfulWorkspaces(Json::parse(str(*stored)), o.workspaces.items());
        }
    } else if (o.log.unreadable(key)) {
        EXPECT_TRUE(o.hotkeys.bindings().empty());
    } else if (stored) {
        expectFaithfulBindings(Json::parse(str(*stored)), o.hotkeys.bindings());
    }
}

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        MemoryDefaults d;
        fillBaseline(d);
        Opened o(d);
        ASSERT_TRUE(o.log.lines.empty());
        baseRuleList = o.rules.rules();
        baseItems = o.workspaces.items();
        baseBindings = o.hotkeys.bindings();
        ASSERT_EQ(baseRuleList.size(), 3u);
        ASSERT_EQ(baseItems.size(), 3u);
        ASSERT_EQ(baseBindings.size(), 3u);
    }
    std::vector<AppRule> baseRuleList;
    std::vector<Workspace> baseItems;
    Bindings baseBindings;

    void expectOthersIntact(const Opened& o, const std::string& mutatedKey) {
        if (mutatedKey != "rules") {
            EXPECT_EQ(o.rules.rules(), baseRuleList);
        }
        if (mutatedKey != "workspaces") {
            EXPECT_EQ(o.workspaces.items(), baseItems);
        }
        if (mutatedKey != "shortcuts") {
            EXPECT_EQ(o.hotkeys.bindings(), baseBindings);
        }
    }
};

TEST_F(BadInput, MutatedStoredValuesDecodeAllOrNothing) {
    const uint64_t seed = fuzzSeed();
    Mutator m(seed);
    const std::vector<std::pair<std::string, std::string>> keys{
        {"rules", baseRules}, {"workspaces", baseWorkspaces}, {"shortcuts", baseShortcuts}};
    int failures = 0, successes = 0;
    for (int i = 0; i < 6000 && !HasFailure(); ++i) {
        auto& [key, valid] = keys[static_cast<size_t>(i) % keys.size()];
        std::string bad = m.mutate(valid);
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(i) + " key " + key + ": " +
                     shown(bad));
        MemoryDefaults d;
        fillBaseline(d);
        d.set(key, bytes(bad));
        auto before = snapshot(d);

        Opened o(d);
        o.hotkeys.registerAll();
        EXPECT_EQ(snapshot(d), before) << "opening wrote something";
        expectOthersIntact(o, key);
        expectAllOrNothing(o, key, d.getData(key));
        (o.log.unreadable(key) ? failures : successes)++;

        // A change elsewhere leaves the bad value where it is; a change of its
        // own store replaces it with what is in force.
        if (key == "rules") {
            o.workspaces.append(baseItems[0]);
            EXPECT_EQ(d.getData("rules"), bytes(bad));
            o.rules.add({RunningApp{1, std::string("New"), std::string("org.new"), {}, {}}});
            auto expected = o.log.unreadable(key) ? RuleStore::builtIns() : o.rules.rules();
            if (o.log.unreadable(key)) expected.push_back({"org.new", "New", Behavior::tile, 0.5});
            EXPECT_EQ(RuleStore(d).rules(), expected);
        } else {
            o.rules.add({RunningApp{1, std::string("New"), std::string("org.new"), {}, {}}});
            EXPECT_EQ(d.getData(key), bytes(bad));
        }
        for (auto& [k, v] : before)
            if (k != "rules" && k != "workspaces" && k != key) {
                EXPECT_EQ(*d.get(k), v) << k;
            }
    }
    // The mutations must exercise both outcomes.
    EXPECT_GT(failures, 1000);
    EXPECT_GT(successes, 300);
}

TEST_F(BadInput, MeaningPreservingChangesStillDecode) {
    const uint64_t seed = fuzzSeed();
    Mutator m(seed);
    for (int i = 0; i < 600 && !HasFailure(); ++i) {
        MemoryDefaults d;
        fillBaseline(d);
        std::string r = m.preserving(Json::parse(baseRules)), w = m.preserving(Json::parse(baseWorkspaces)),
                    s = m.preserving(Json::parse(baseShortcuts));
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(i) + ": " + shown(r) + " " +
                     shown(w) + " " + shown(s));
        d.set("rules", bytes(r));
        d.set("workspaces", bytes(w));
        d.set("shortcuts", bytes(s));
        Opened o(d);
        EXPECT_TRUE(o.log.lines.empty());
        expectOthersIntact(o, "");
    }
}

TEST_F(BadInput, MutatedExportFilesImportAllOrNothing) {
    const uint64_t seed = fuzzSeed() + 1;
    Mutator m(seed);
    MemoryDefaults source;
    fillBaseline(source);
    std::string file;
    {
        Opened o(source);
        ExportImport io(o.workspaces, o.rules, o.hotkeys);
        file = str(*io.exportBundle());
    }
    int refused = 0, imported = 0;
    for (int i = 0; i < 2500 && !HasFailure(); ++i) {
        bool preserving = i % 5 == 0;
        std::string bad = preserving ? m.preserving(Json::parse(file)) : m.mutate(file);
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(i) + ": " + shown(bad));
        MemoryDefaults d;
        d.set("rules", bytes(R"([{"bundleID":"keep","name":"Keep","behavior":0}])"));
        d.set("layout", std::string("two"));
        Opened o(d);
        o.hotkeys.registerAll();
        ExportImport io(o.workspaces, o.rules, o.hotkeys);
        auto before = snapshot(d);
        try {
            auto summary = io.importBundle(bytes(bad));
            ++imported;
            Json j = Json::parse(bad);
            expectFaithfulWorkspaces(j.at("workspaces"), o.workspaces.items());
            expectFaithfulRules(j.at("rules"), o.rules.rules());
            expectFaithfulBindings(j.at("shortcuts"), o.hotkeys.bindings());
            EXPECT_EQ(summary.rfind("Imported ", 0), 0u);
            EXPECT_EQ(*d.get("layout"), DefaultsValue(std::string("two")));
            // What was imported is what a fresh start reads.
            Opened again(d);
            EXPECT_EQ(again.rules.rules(), o.rules.rules());
            EXPECT_EQ(again.workspaces.items(), o.workspaces.items());
            EXPECT_EQ(again.hotkeys.bindings(), o.hotkeys.bindings());
        } catch (const DecodeError&) {
            ++refused;
            EXPECT_FALSE(preserving) << "a file that means the same was refused";
            EXPECT_EQ(snapshot(d), before);
            EXPECT_EQ(o.rules.rules(), (std::vector<AppRule>{{"keep", "Keep", Behavior::tile, std::nullopt}}));
            EXPECT_TRUE(o.workspaces.items().empty());
            EXPECT_TRUE(o.hotkeys.bindings().empty());
        }
    }
    EXPECT_GT(refused, 1000);
    EXPECT_GT(imported, 500);
}

TEST_F(BadInput, MutatedPropertyListFilesThroughTheDefaultsFile) {
    const uint64_t seed = fuzzSeed() + 2;
    Mutator m(seed);
    testing::TempDir dir(testing::TempDir::inMemory);
    std::string plist;
    {
        FileDefaults f(dir / "base.plist");
        fillBaseline(f);
        auto d = readWholeFile(dir / "base.plist");
        ASSERT_TRUE(d);
        plist = str(*d);
    }
    int unchanged = 0;
    for (int i = 0; i < 400 && !HasFailure(); ++i) {
        std::string bad = m.bytesLevel(plist);
        SCOPED_TRACE("seed " + std::to_string(seed) + " iteration " + std::to_string(i) + ": " + shown(bad));
        auto path = dir / ("f" + std::to_string(i) + ".plist");
        std::ofstream(path, std::ios::binary) << bad;
        FileDefaults f(path);
        Opened o(f);
        o.hotkeys.registerAll();
        for (const char* key : {"rules", "workspaces", "shortcuts"}) expectAllOrNothing(o, key, f.getData(key));
        // A key whose data survived intact decodes exactly as before.
        if (f.getData("rules") == bytes(baseRules)) {
            EXPECT_EQ(o.rules.rules(), baseRuleList);
        }
        if (f.getData("workspaces") == bytes(baseWorkspaces)) {
            EXPECT_EQ(o.workspaces.items(), baseItems);
        }
        if (f.getData("shortcuts") == bytes(baseShortcuts)) {
            EXPECT_EQ(o.hotkeys.bindings(), baseBindings);
            ++unchanged;
        }
    }
    EXPECT_GT(unchanged, 0);
}

// A list stored as another kind than data is as unreadable as one that does not
// decode: said once, and kept beside the file as it was before the first write.
TEST_F(BadInput, AListOfAnotherKindIsSaidAndKeptBeforeItIsOverwritten) {
    testing::TempDir dir(testing::TempDir::inMemory);
    const std::vector<std::pair<std::string, std::string>> stored{{"workspaces", "<string>[]</string>"},
                                                                  {"rules", "<array><string>x</string></array>"},
                                                                  {"shortcuts", "<data>!</data>"}};
    std::ofstream file(dir / "p.plist");
    file << "<plist version=\"1.0\"><dict>";
    for (auto& [key, value] : stored) file << "<key>" << key << "</key>" << value;
    file << "</dict></plist>" << std::flush;
    FileDefaults f(dir / "p.plist");
    Opened o(f);
    EXPECT_EQ(o.log.lines.at(0),
              "[Tarvela] stored \"workspaces\" is unreadable (a string, where data is expected); using the defaults");
    o.workspaces.append(baseItems[0]);
    o.rules.add({RunningApp{1, std::string("New"), std::string("org.new"), {}, {}}});
    o.hotkeys.setBindings(baseBindings);
    ASSERT_EQ(o.log.lines.size(), 6u);  // each said once, then where it was kept
    for (size_t i = 0; i < stored.size(); ++i) {
        const std::string& line = o.log.lines[3 + i];
        const size_t at = line.find(" as ") + 4;
        std::string kept = str(readWholeFile(line.substr(at, line.find(".plist ", at) + 6 - at)).value_or(Data{}));
        std::erase_if(kept, [](char c) { return c == '\n' || c == '\t'; });
        EXPECT_NE(kept.find("<key>" + stored[i].first + "</key>" + stored[i].second), std::string::npos) << line;
    }
    EXPECT_TRUE(Opened(f).log.lines.empty());  // what replaced them is this version's own
}

}  // namespace
}  // namespace tarvela

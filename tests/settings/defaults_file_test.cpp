#include "settings/defaults_file.h"

#include <gtest/gtest.h>

#include "tests/support/test_helpers.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

#include "core/log.h"
#include "settings/plist.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

using testsupport::LogCapture;

const std::string kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

TEST(FileDefaults, EveryKindRoundTripsThroughTheFile) {
    TempDir dir;
    fs::path file = dir / "nested/folder/app.tarvela.plist";
    Data allBytes;
    for (int i = 0; i < 256; ++i) allBytes.push_back(static_cast<uint8_t>(i));
    const std::vector<std::pair<std::string, DefaultsValue>> cases = {
        {"yes", true},
        {"no", false},
        {"zero", int64_t{0}},
        {"negative", int64_t{-42}},
        {"max", std::numeric_limits<int64_t>::max()},
        {"min", std::numeric_limits<int64_t>::min()},
        {"tenth", 0.1},
        {"huge", 1.7976931348623157e308},
        {"tiny", 4.9e-324},
        {"minusZero", -0.0},
        {"integralDouble", 3.0},
        {"plusInfinity", std::numeric_limits<double>::infinity()},
        {"empty", std::string()},
        {"markup", std::string("<a href=\"x\">&amp; 'q' ]]> </a>")},
        {"unicode", std::string("Zoë → ⌃⌥ 日本")},
        {"lineEnds", std::string("a\r\nb\rc\n")},
        {"spaces", std::string("   ")},
        {"padded", std::string("  x \t")},
        {"noData", Data{}},
        {"bytes", allBytes},
        {"oneByte", Data{0xff}},
        {"twoBytes", Data{0x00, 0x10}},
        {"key with <markup> & spaces", std::string("v")},
    };
    {
        FileDefaults d(file);
        for (auto& [k, v] : cases) d.set(k, v);
        for (auto& [k, v] : cases) EXPECT_EQ(d.get(k), v) << k << " from memory";
        EXPECT_TRUE(d.lastWriteOk());
    }
    FileDefaults reopened(file);
    for (auto& [k, v] : cases) EXPECT_EQ(reopened.get(k), v) << k << " from the file";
    EXPECT_EQ(reopened.keys().size(), cases.size());

    // Not-a-number survives as such (it equals nothing, so it is checked apart).
    reopened.set("nan", std::numeric_limits<double>::quiet_NaN());
    FileDefaults again(file);
    ASSERT_TRUE(again.getDouble("nan"));
    EXPECT_TRUE(std::isnan(*again.getDouble("nan")));
    EXPECT_EQ(again.getDouble("minusZero").value_or(1), 0.0);
    EXPECT_TRUE(std::signbit(*again.getDouble("minusZero")));
}

TEST(FileDefaults, AValueOfAnotherKindReadsAsMissing) {
    TempDir dir;
    FileDefaults d(dir / "p.plist");
    d.set("flag", true);
    d.set("count", int64_t{3});
    d.set("width", 0.5);
    d.set("name", std::string("true"));
    d.set("blob", Data{1, 2});
    FileDefaults r(dir / "p.plist");
    EXPECT_EQ(r.getBool("flag"), true);
    EXPECT_FALSE(r.getInt("flag"));
    EXPECT_FALSE(r.getBool("count"));
    EXPECT_FALSE(r.getDouble("count"));
    EXPECT_FALSE(r.getInt("width"));
    EXPECT_FALSE(r.getBool("name"));
    EXPECT_FALSE(r.getData("name"));
    EXPECT_FALSE(r.getString("blob"));
    EXPECT_FALSE(r.getString("absent"));
}

TEST(FileDefaults, RemoveAndOverwriteReachTheFile) {
    TempDir dir;
    FileDefaults d(dir / "p.plist");
    d.set("a", int64_t{1});
    d.set("b", int64_t{2});
    d.set("a", std::string("now a string"));
    d.remove("b");
    d.remove("never there");
    FileDefaults r(dir / "p.plist");
    EXPECT_EQ(r.getString("a"), "now a string");
    EXPECT_FALSE(r.get("b"));
    EXPECT_EQ(r.keys(), std::vector<std::string>{"a"});
}

TEST(FileDefaults, PathComesFromTheEnvironment) {
    struct Env {
        std::string name;
        std::optional<std::string> old;
        explicit Env(const char* n) : name(n) {
            if (const char* v = std::getenv(n)) old = v;
        }
        ~Env() {
            if (old)
                ::setenv(name.c_str(), old->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    } defaults("TARVELA_DEFAULTS"), xdg("XDG_CONFIG_HOME"), home("HOME");

    ::setenv("HOME", "/home/someone", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("TARVELA_DEFAULTS");
    EXPECT_EQ(FileDefaults::defaultPath(), "/home/someone/.config/tarvela/app.tarvela.plist");
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(FileDefaults::defaultPath(), "/home/someone/.config/tarvela/app.tarvela.plist");
    ::setenv("XDG_CONFIG_HOME", "/xdg", 1);
    EXPECT_EQ(FileDefaults::defaultPath(), "/xdg/tarvela/app.tarvela.plist");
    ::setenv("TARVELA_DEFAULTS", "/elsewhere/mine.plist", 1);
    EXPECT_EQ(FileDefaults::defaultPath(), "/elsewhere/mine.plist");

    // And the store created there (folder included) is the one written.
    TempDir dir;
    ::setenv("TARVELA_DEFAULTS", (dir / "sub/d.plist").c_str(), 1);
    FileDefaults d(FileDefaults::defaultPath());
    d.set("k", true);
    EXPECT_EQ(FileDefaults(dir / "sub/d.plist").getBool("k"), true);
}

TEST(FileDefaults, ACorruptFileIsSetAsideLoggedAndNeverOverwritten) {
    for (std::string garbage : {std::string("<plist><dict><key>a</key><true/>"),  // torn
                                std::string("not xml at all"), kHeader + "<plist version=\"1.0\"><array/></plist>",
                                std::string("<other><dict/></other>")}) {
        TempDir dir;
        fs::path file = dir / "app.tarvela.plist";
        spit(file, garbage);
        LogCapture logs;
        FileDefaults d(file);
        EXPECT_TRUE(d.keys().empty()) << garbage;

        auto names = filesIn(dir.path());
        std::string aside;
        for (auto& n : names)
            if (n.rfind("app.tarvela.plist.corrupt-", 0) == 0) aside = n;
        ASSERT_FALSE(aside.empty()) << garbage;
        EXPECT_EQ(slurp(dir / aside), garbage);
        ASSERT_EQ(logs.lines.size(), 1u);
        EXPECT_NE(logs.lines[0].find("set aside as"), std::string::npos) << logs.lines[0];
        EXPECT_EQ(logs.lines[0].rfind("[Tarvela] defaults: ", 0), 0u) << logs.lines[0];

        d.set("fresh", true);
        EXPECT_EQ(FileDefaults(file).getBool("fresh"), true);
        EXPECT_EQ(slurp(dir / aside), garbage);
    }
}

TEST(FileDefaults, AnUnreadableValueIsKeptBesideTheFile) {
    TempDir dir;
    FileDefaults d(dir / "p.plist");
    auto first = d.keepAside("rules", testsupport::bytes("[{"));
    auto second = d.keepAside("rules", testsupport::bytes("[2"));
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);  // the same second keeps both
    EXPECT_EQ(fs::path(*first).parent_path(), dir.path());
    EXPECT_EQ(fs::path(*first).filename().string().rfind("p.plist.rules-unreadable-", 0), 0u) << *first;
    EXPECT_EQ(slurp(*first), "[{");
}

TEST(FileDefaults, AFileBrokenWhileRunningIsSetAsideAtTheNextWriteKeepingWhatMemoryHolds) {
    TempDir dir;
    fs::path file = dir / "p.plist";
    FileDefaults d(file);
    d.set("kept", int64_t{7});
    spit(file, "garbage");
    LogCapture logs;
    d.set("new", true);
    FileDefaults r(file);
    EXPECT_EQ(r.getInt("kept"), 7);
    EXPECT_EQ(r.getBool("new"), true);
    int corrupt = 0;
    for (auto& n : filesIn(dir.path())) corrupt += n.rfind("p.plist.corrupt-", 0) == 0;
    EXPECT_EQ(corrupt, 1);
    EXPECT_EQ(logs.lines.size(), 1u);
}

TEST(FileDefaults, AWriteThatCannotReachTheDiskIsLoggedAndKeptInMemory) {
    TempDir dir;
    spit(dir / "blocker", "a file where a folder should be");
    LogCapture logs;
    FileDefaults d(dir / "blocker/p.plist");
    d.set("k", int64_t{1});
    EXPECT_FALSE(d.lastWriteOk());
    EXPECT_EQ(d.getInt("k"), 1);
    ASSERT_EQ(logs.lines.size(), 1u);
    EXPECT_NE(logs.lines[0].find("couldn't write"), std::string::npos);
}

TEST(FileDefaults, ReadsAForeignFileAndKeepsWhatItCannotRepresent) {
    TempDir dir;
    fs::path file = dir / "p.plist";
    spit(file, kHeader +
                   "<plist version=\"1.0\">\n<dict>\n"
                   "\t<key>list</key>\n\t<array>\n\t\t<string>x</string>\n\t\t<integer>2</integer>\n\t</array>\n"
                   "\t<key>when</key>\n\t<date>2024-05-01T10:00:00Z</date>\n"
                   "\t<key>nested</key>\n\t<dict><key>in</key><true/></dict>\n"
                   "\t<key>big</key>\n\t<integer>18446744073709551615</integer>\n"
                   "\t<key>hexReal</key>\n\t<real> +2.5e1 </real>\n"
                   "\t<key>wrapped</key>\n\t<data>\n\tAAEC\n\tAw==\n\t</data>\n"
                   "\t<key>badData</key>\n\t<data>!!!!</data>\n"
                   "\t<key>cdata</key>\n\t<string><![CDATA[<raw>]]></string>\n"
                   "\t<key>ws</key>\n\t<string>  </string>\n"
                   "\t<key>twice</key>\n\t<integer>1</integer>\n"
                   "\t<key>twice</key>\n\t<integer>2</integer>\n"
                   "</dict>\n</plist>\n");
    FileDefaults d(file);
    EXPECT_EQ(d.getDouble("hexReal"), 25.0);
    EXPECT_EQ(d.getData("wrapped"), (Data{0, 1, 2, 3}));
    EXPECT_EQ(d.getString("cdata"), "<raw>");
    EXPECT_EQ(d.getString("ws"), "  ");
    EXPECT_EQ(d.getInt("twice"), 2);
    for (auto k : {"list", "when", "nested", "big", "badData"}) EXPECT_FALSE(d.get(k)) << k;

    d.set("twice", int64_t{3});
    d.set("added", true);
    std::string text = slurp(file);
    EXPECT_NE(text.find("<date>2024-05-01T10:00:00Z</date>"), std::string::npos) << text;
    EXPECT_NE(text.find("18446744073709551615"), std::string::npos);
    EXPECT_NE(text.find("<string>x</string>"), std::string::npos);
    EXPECT_NE(text.find("<key>in</key>"), std::string::npos);
    EXPECT_NE(text.find("!!!!"), std::string::npos);
    EXPECT_NE(text.find("<!DOCTYPE plist"), std::string::npos);
    auto parsed = PlistDict::parse(text);
    ASSERT_TRUE(parsed);
    auto values = parsed->values();
    EXPECT_EQ(values.at("twice"), DefaultsValue(int64_t{3}));
    EXPECT_EQ(values.at("added"), DefaultsValue(true));
    EXPECT_EQ(values.at("ws"), DefaultsValue(std::string("  ")));
    size_t first = text.find("<key>twice</key>");
    EXPECT_EQ(text.find("<key>twice</key>", first + 1), std::string::npos) << "a repeated key is folded into one";
}

TEST(FileDefaults, EmptyFileIsAnEmptyStoreNotACorruptOne) {
    TempDir dir;
    spit(dir / "p.plist", "");
    FileDefaults d(dir / "p.plist");
    EXPECT_TRUE(d.keys().empty());
    d.set("k", true);
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"p.plist", "p.plist.lock"}));
}

TEST(FileDefaults, WritesMergeWithKeysAnotherWriterAddedMeanwhile) {
    TempDir dir;
    FileDefaults app(dir / "p.plist"), notifier(dir / "p.plist");
    app.set("layout", std::string("two"));
    notifier.set("notifiedVersion", std::string("1.2"));
    app.set("enabled", false);
    notifier.remove("layout");
    app.set("enabled", true);  // must neither drop the other's key nor bring back the removed one
    FileDefaults r(dir / "p.plist");
    EXPECT_EQ(r.getString("notifiedVersion"), "1.2");
    EXPECT_EQ(r.getBool("enabled"), true);
    EXPECT_FALSE(r.get("layout"));
    // Reads keep serving what was loaded and written here; reload picks up the rest.
    EXPECT_FALSE(app.get("notifiedVersion"));
    app.reload();
    EXPECT_EQ(app.getString("notifiedVersion"), "1.2");
}

TEST(FileDefaults, LeftoverTemporaryFilesOfAKilledWriterAreCleanedUp) {
    TempDir dir;
    spit(dir / "p.plist.tmp-abc123", "half a file");
    spit(dir / "p.plist.tmp-other-name", "not ours to remove");
    FileDefaults d(dir / "p.plist");
    d.set("k", true);
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<std::string>{"p.plist", "p.plist.lock", "p.plist.tmp-other-name"}));
}

TEST(FileDefaults, AFileLinkedFromElsewhereStaysLinked) {
    TempDir dir;
    fs::create_directories(dir / "dotfiles");
    fs::create_directories(dir / "config");
    {
        FileDefaults real(dir / "dotfiles/real.plist");
        real.set("before", true);
    }
    fs::create_symlink("../dotfiles/real.plist", dir / "config/p.plist");
    FileDefaults d(dir / "config/p.plist");
    EXPECT_EQ(d.getBool("before"), true);
    d.set("after", int64_t{2});
    EXPECT_TRUE(fs::is_symlink(dir / "config/p.plist"));
    EXPECT_EQ(FileDefaults(dir / "dotfiles/real.plist").getInt("after"), 2);
}

TEST(Base64, DecodesOnlyWellFormedInput) {
    EXPECT_EQ(base64Encode(Data{'M', 'a', 'n'}), "TWFu");
    EXPECT_EQ(base64Encode(Data{'M', 'a'}), "TWE=");
    EXPECT_EQ(base64Encode(Data{'M'}), "TQ==");
    EXPECT_EQ(base64Decode(" TW\nFu TQ== "), (Data{'M', 'a', 'n', 'M'}));
    EXPECT_EQ(base64Decode(""), Data{});
    for (auto bad : {"TWF", "TW=u", "TQ==TWFu", "T===", "TWF*", "===="}) EXPECT_FALSE(base64Decode(bad)) << bad;
}

}  // namespace
}  // namespace tarvela

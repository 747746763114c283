// Restarting in place, headless: the record's text and its signature, the
// user's key, and a second shell on the same simulated desktop putting back
// what the first one left.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/restart_key.h"
#include "app/shell.h"
#include "core/log.h"
#include "core/manual_time.h"
#include "input/hotkey_service.h"
#include "platform/sim/sim_desktop.h"
#include "settings/defaults.h"
#include "tests/app/sim_shell.h"
#include "tests/settings/temp_dir.h"

namespace tarvela::testing {
namespace {

ArrangementRecord sample() {
    ArrangementRecord r;
    r.setup = "DP-1\nHDMI-1\n";
    r.arrangement.strips = {
        StripPlan{"DP-1", 0, {{{11, 12}, 1.0 / 3}, {{13}, 0.5}}, 0, 1, 123.25},
        StripPlan{"HDMI-1", 2, {{{14}, 2.0 / 3}}, 0, 0, -40},
    };
    r.arrangement.floating = {{15, kAllDesktops}, {16, 1}};
    r.arrangement.desktop = 2;
    r.arrangement.focusDisplay = "HDMI-1";
    r.setups = {{"DP-1\n", Arrangement{{StripPlan{"DP-1", 0, {{{11, 14}, 0.5}}, 0, 1, 0}}, {}, 0, "DP-1"}}};
    return r;
}

TEST(ArrangementRecordTest, ReadsBackAsWrittenAndAnythingForgedBrokenOrOutOfBoundsReadsAsNone) {
    TempDir dir;
    const auto key = RestartKey::load(dir / "restart.key");
    const auto other = RestartKey::load(dir / "other.key");
    ASSERT_TRUE(key && other);
    const RecordSeal seal = key->seal();
    const std::string good = encodeArrangement(sample());
    const OpenedRecord back = openRecord(sealRecord(good, seal), seal);
    ASSERT_TRUE(back.record);
    EXPECT_EQ(*back.record, sample());

    // Signed, but out of bounds in one field, of the wrong type or version, or not JSON at all.
    std::vector<std::string> bad;
    const nlohmann::json base = nlohmann::json::parse(good);
    for (const auto& [field, value] : std::vector<std::pair<const char*, nlohmann::json>>{
             {"/version", 2}, {"/strips/0/columns/0/frac", 40.0}, {"/strips/0/offset", 1e300},
             {"/strips/1/desktop", 9999}, {"/floating/0/window", 0}, {"/strips/0/columns/1/windows/0", -3},
             {"/strips/0/focusC", 2}, {"/desktop", "2"}, {"/setups/0/strips/0/focusR", 2},
             {"/setups", nlohmann::json::array({base["setups"][0], base["setups"][0], base["setups"][0],
                                                base["setups"][0], base["setups"][0], base["setups"][0],
                                                base["setups"][0], base["setups"][0], base["setups"][0]})}}) {
        nlohmann::json j = base;
        j[nlohmann::json::json_pointer(field)] = value;
        bad.push_back(j.dump());
    }
    // A record from before set-ups were kept reads as it did.
    nlohmann::json older = base;
    older.erase("setups");
    ArrangementRecord without = sample();
    without.setups.clear();
    EXPECT_EQ(decodeArrangement(older.dump()), without);
    for (const char* offset : {"NaN", "1e400"}) bad.push_back(std::string(good).replace(good.find("123.25"), 6, offset));
    bad.push_back("{\"version\":1,");
    bad.push_back(std::string(5000, '[') + std::string(5000, ']'));
    for (const std::string& text : bad) {
        const OpenedRecord r = openRecord(sealRecord(text, seal), seal);
        EXPECT_FALSE(r.record) << text;
        EXPECT_EQ(r.fault, RecordFault::Malformed) << text;
    }
    std::string tampered = sealRecord(good, seal);
    tampered[tampered.find("HDMI-1")] = 'X';
    for (const auto& [text, fault] : std::vector<std::pair<std::string, RecordFault>>{
             {std::string(record::kMaxBytes + 1, ' '), RecordFault::Oversized},
             {good, RecordFault::Unsigned},
             {sealRecord(good, other->seal()), RecordFault::BadSignature},
             {tampered, RecordFault::BadSignature}}) {
        EXPECT_FALSE(openRecord(text, seal).record);
        EXPECT_EQ(openRecord(text, seal).fault, fault);
    }
}

TEST(RestartKeyTest, IsMadeForTheUserAloneKeptAcrossLoadsAndReplacedWhenOthersCouldReadIt) {
    TempDir dir;
    const auto file = dir / "state" / "tarvela" / "restart.key";
    const auto first = RestartKey::load(file);
    ASSERT_TRUE(first);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::string sig = first->sign("text");
    EXPECT_TRUE(RestartKey::load(file)->verify("text", sig));
    EXPECT_FALSE(first->verify("text ", sig));

    ::chmod(file.c_str(), 0644);
    const auto replaced = RestartKey::load(file);
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(replaced->verify("text", sig));
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

class RestartShellTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    MemoryDefaults defaults;
    SimHotkeyService keys;
    HeadlessRouter router;
    NoFeedback feedback;
    TempDir dir;
    std::optional<RestartKey> key = RestartKey::load(dir / "restart.key");
    std::vector<std::string> logs;
    std::vector<AXElement> wins;

    void SetUp() override {
        setLogSink([this](const std::string& l) { logs.push_back(l); });
        sim.addStandardDisplay("Built-in Display");
        const int32_t pid = sim.addApp(AppSpec{std::nullopt, "Term", std::optional<std::string>("org.term")});
        for (double x : {100.0, 700.0, 1300.0, 1900.0}) wins.push_back(sim.addWindow(pid, Rect(x, 100, 500, 600)));
        Prefs p(defaults);
        p.onboarded.set(true);
        p.enabled.set(true);
    }
    void TearDown() override { setLogSink(nullptr); }

    std::unique_ptr<Shell> start(RecordSeal seal) {
        ShellDeps d = simShellDeps(sim, time, defaults, keys, router, feedback);
        d.restartSeal = std::move(seal);
        auto s = std::make_unique<Shell>(d);
        s->start({});
        time.advance(1);
        return s;
    }
    bool logged(const std::string& part) const {
        for (const std::string& l : logs)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

TEST_F(RestartShellTest, TheNextStartPutsEveryWindowBackOnceAndAForgedRecordChangesNothing) {
    auto first = start(key->seal());
    WindowManager& m = first->manager;
    ASSERT_EQ(m.strips()[0]->cols.size(), 4u);
    // A stack, a wider column and the focus away from where a fresh start puts it.
    m.raise(2, 0);
    time.advance(1);
    m.perform(Action::stackLeft, 0);
    time.advance(1);
    // A change after a quiet while is written at once; the next within 0.2 s waits for its end.
    const int quiet = sim.restartRecordWrites();
    m.perform(Action::wider, 0);
    time.advance(0.05);
    EXPECT_EQ(sim.restartRecordWrites(), quiet + 1);
    m.perform(Action::wider, 0);
    time.advance(0.05);
    EXPECT_EQ(sim.restartRecordWrites(), quiet + 1);
    time.advance(0.2);
    EXPECT_EQ(sim.restartRecordWrites(), quiet + 2);
    m.raise(0, 0);
    time.advance(1);
    const Arrangement left = m.arrangement();
    const int writes = sim.restartRecordWrites();
    EXPECT_GE(writes, 1);
    // Nothing changes: nothing is written, however long it runs.
    time.advance(30);
    EXPECT_EQ(sim.restartRecordWrites(), writes);
    first->terminate();
    first.reset();
    EXPECT_EQ(sim.restartRecordWrites(), writes);  // the last settled arrangement was written already

    std::vector<std::optional<Rect>> frames;
    for (const AXElement& w : wins) frames.push_back(sim.frameOf(w));
    sim.resetCounts();
    logs.clear();
    auto second = start(key->seal());
    EXPECT_TRUE(second->manager.restoredInPlace());
    EXPECT_EQ(second->manager.arrangement(), left);
    EXPECT_TRUE(logged("start: 4 windows back where they were"));
    // Each window put in its place once: no slide, and every frame as it was left.
    EXPECT_FALSE(logged("scroll: "));
    for (size_t i = 0; i < wins.size(); ++i) {
        // A slide's last step leaves out moves under half a point.
        const std::optional<Rect> now = sim.frameOf(wins[i]);
        ASSERT_TRUE(now && frames[i]);
        EXPECT_NEAR(now->x, frames[i]->x, 0.5) << i;
        EXPECT_EQ(now->y, frames[i]->y) << i;
        EXPECT_EQ(now->size(), frames[i]->size()) << i;
        EXPECT_LE(sim.writes(wins[i]).position, 1) << i;
        EXPECT_LE(sim.writes(wins[i]).size, 1) << i;
    }
    second->terminate();
    second.reset();

    // Forged by someone without the key, or made on other displays: the ordinary start, and why.
    const std::string sealed = *sim.restartRecord(record::kMaxBytes);
    sim.setRestartRecord("0000" + sealed.substr(sealed.find('\n')));
    logs.clear();
    EXPECT_FALSE(start(key->seal())->manager.restoredInPlace());
    EXPECT_TRUE(logged("signed by someone else"));
    // Before the permission: the plan waits for the start the permission brings.
    sim.setRestartRecord(sealed);
    sim.setTrusted(false);
    auto waiting = start(key->seal());
    EXPECT_FALSE(waiting->manager.on());
    sim.takeOver();
    time.advance(2);
    EXPECT_TRUE(waiting->manager.restoredInPlace());
    waiting.reset();
    sim.setRestartRecord(sealed);
    sim.addStandardDisplay("External");
    logs.clear();
    EXPECT_FALSE(start(key->seal())->manager.restoredInPlace());
    EXPECT_TRUE(logged("made on other displays"));
}

TEST_F(RestartShellTest, AMonitorDockedAgainAfterARestartGetsItsColumnsBackAndAClosedFloatingWindowIsForgotten) {
    const uint64_t external = sim.addStandardDisplay("External");
    auto first = start(key->seal());
    WindowManager& m = first->manager;
    auto recorded = [&] { return openRecord(*sim.restartRecord(record::kMaxBytes), key->seal()).record; };
    // Closed while another window has the focus: nothing else announces it.
    sim.focusWindow(wins[3]);
    time.advance(1);
    m.perform(Action::floatToggle, 0);
    sim.focusWindow(wins[0]);
    time.advance(1);
    ASSERT_EQ(recorded()->arrangement.floating.size(), 1u);
    sim.closeWindow(wins[3]);
    time.advance(1);
    EXPECT_TRUE(recorded()->arrangement.floating.empty());

    m.perform(Action::sendDisplay, 0);
    time.advance(1);
    const Arrangement docked = m.arrangement();
    ASSERT_EQ(docked.strips[1].columns.size(), 1u);  // the external display's
    // Undocked, then an update restarts Tarvela, then docked again.
    sim.removeDisplay(external);
    time.advance(1);
    first->terminate();
    first.reset();
    auto second = start(key->seal());
    EXPECT_TRUE(second->manager.restoredInPlace());
    const uint64_t again = sim.addStandardDisplay("External");
    time.advance(1);
    EXPECT_EQ(second->manager.arrangement().strips, docked.strips);
    // Undocked again, and docked while no Tarvela runs.
    sim.removeDisplay(again);
    time.advance(1);
    second->terminate();
    second.reset();
    sim.addStandardDisplay("External");
    auto third = start(key->seal());
    EXPECT_TRUE(third->manager.restoredInPlace());
    EXPECT_EQ(third->manager.arrangement().strips, docked.strips);
}

}  // namespace
}  // namespace tarvela::testing

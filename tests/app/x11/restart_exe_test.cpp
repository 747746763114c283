// Restarting in place with the real executable and real xterms on two
// monitors: after SIGKILL and a new start, after SIGTERM and a new start, and
// after `tarvela --replace`, every strip is as it was (columns, stacks,
// widths, focus, scroll position) and every window where it was, without a
// slide; a record forged on the root window changes nothing.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/restart_key.h"
#include "tarvela_exe_fixture.h"

namespace tarvela::testing {
namespace {

using nlohmann::json;

class RestartExeTest : public TarvelaExeTest {
protected:
    struct Snapshot {
        json strips;
        std::vector<TestClient::Geom> geoms;
        xcb_window_t active = XCB_NONE;
    };
    std::vector<xcb_window_t> wins_;

    json strips() {
        auto [status, out] = msg({"--json", "get", "strips"});
        const json reply = json::parse(out, nullptr, false);
        return status == 0 && reply.is_object() ? reply["result"] : json();
    }
    Snapshot snapshot() {
        msg({"sync"});
        tc_->sync();
        return {strips(), geometries(wins_), active()};
    }
    static std::string told(const Snapshot& s) { return s.strips.dump() + " active " + std::to_string(s.active); }
    static bool same(const Snapshot& a, const Snapshot& b) {
        return a.strips == b.strips && TarvelaExeTest::same(a.geoms, b.geoms) && a.active == b.active;
    }
    // The record on the root, JSON after its signature line; null when there is none.
    json record() {
        auto* r = xcb_get_property_reply(tc_->c(),
                                         xcb_get_property(tc_->c(), 0, tc_->root(), tc_->atom("_TARVELA_ARRANGEMENT"),
                                                          XCB_ATOM_ANY, 0, 1 << 16),
                                         nullptr);
        if (!r) return json();
        const std::string text(static_cast<const char*>(xcb_get_property_value(r)),
                               static_cast<size_t>(xcb_get_property_value_length(r)));
        std::free(r);
        const size_t nl = text.find('\n');
        return nl == std::string::npos ? json() : json::parse(text.substr(nl + 1), nullptr, false);
    }
    // The record holds every strip as `get strips` shows it: what a kill now leaves behind.
    bool recorded(const json& shown) {
        const json rec = record();
        if (!rec.is_object()) return false;
        for (const json& s : shown) {
            bool found = false;
            for (const json& r : rec["strips"]) {
                if (r["columns"].size() != s["columns"].size() || r["desktop"] != 0) continue;
                bool match = r["focusC"] == s["focused"]["column"].get<int>() - 1 &&
                             r["focusR"] == s["focused"]["row"].get<int>() - 1 && r["offset"] == s["offset"];
                for (size_t c = 0; match && c < s["columns"].size(); ++c)
                    match = r["columns"][c]["windows"] == s["columns"][c]["windows"] &&
                            r["columns"][c]["frac"] == s["columns"][c]["width"];
                found = found || match;
            }
            if (!found) return false;
        }
        return true;
    }
    void setRecord(const std::string& text) {
        tc_->setString(tc_->root(), tc_->atom("_TARVELA_ARRANGEMENT"), tc_->atom("UTF8_STRING"), text);
        tc_->sync();
    }
    std::unique_ptr<Tarvela> launch(const std::vector<std::string>& extra = {}) {
        auto t = start(extra);
        EXPECT_TRUE(launched(*t)) << t->out();
        return t;
    }
    bool ended(Tarvela& t) { return waitFor([&] { return t.status().has_value(); }); }
};

TEST_F(RestartExeTest, SigkillSigtermAndReplaceEachPutEveryStripBackAsItWasWithoutASlide) {
    twoMonitors();
    std::vector<Child> terms;
    for (int x : {0, 200, 400, 600, 1000, 1300, 1500})
        terms.push_back(client({"xterm", "-geometry", "60x20+" + std::to_string(x) + "+100"}));
    ASSERT_TRUE(waitMapped(7));
    auto first = launch();
    wins_ = clientWindows(7);
    ASSERT_EQ(wins_.size(), 7u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins_); }));
    const json fresh = snapshot().strips;
    ASSERT_EQ(fresh.size(), 2u);
    ASSERT_GE(fresh[0]["columns"].size(), 3u) << fresh.dump();
    ASSERT_GE(fresh[1]["columns"].size(), 3u) << fresh.dump();
    auto window = [&](int strip, int col) { return fresh[strip]["columns"][col]["windows"][0].dump(); };

    // Left: a stack and a wider column; right: a narrower one and a window
    // floated, with its title bar; the focus on the left's last column.
    ASSERT_TRUE(run({"xdotool", "windowactivate", "--sync", window(0, 1)}));
    for (const char* m : {"stack-left", "wider", "focus-right"}) ASSERT_EQ(msg({m}).first, 0) << m;
    const auto floated = static_cast<xcb_window_t>(std::stoul(window(1, static_cast<int>(fresh[1]["columns"].size()) - 1)));
    ASSERT_TRUE(run({"xdotool", "windowactivate", "--sync", std::to_string(floated)}));
    ASSERT_EQ(msg({"float-toggle"}).first, 0);
    auto barred = [&] { return tc_->cardinals(floated, "_NET_FRAME_EXTENTS") == std::vector<uint32_t>{4, 4, 26, 4}; };
    ASSERT_TRUE(waitFor(barred));
    ASSERT_TRUE(run({"xdotool", "windowactivate", "--sync", window(1, 1)}));
    for (const char* m : {"narrower", "focus-left"}) ASSERT_EQ(msg({m}).first, 0) << m;
    ASSERT_TRUE(run({"xdotool", "windowactivate", "--sync", window(0, static_cast<int>(fresh[0]["columns"].size()) - 1)}));
    const Snapshot arranged = snapshot();
    ASSERT_EQ(arranged.strips.size(), 2u) << arranged.strips.dump();
    ASSERT_EQ(arranged.strips[0]["columns"].size() + arranged.strips[1]["columns"].size(), 5u) << arranged.strips.dump();
    ASSERT_TRUE(waitFor([&] { return recorded(arranged.strips); })) << record().dump();

    // Killed (only what it left on the display survives), stopped, replaced:
    // each time the next start finds every strip as it was and slides none.
    std::unique_ptr<Tarvela> running = std::move(first);
    for (const int how : {SIGKILL, SIGTERM, 0}) {
        if (how) {
            running->signal(how);
            ASSERT_TRUE(ended(*running));
        }
        auto next = how ? start() : start({"--replace"});
        ASSERT_TRUE(launched(*next)) << how << next->out();
        ASSERT_TRUE(ended(*running));  // killed, stopped, or it made way
        EXPECT_TRUE(waitFor([&] { return same(snapshot(), arranged); })) << how << told(snapshot()) << "\nwas " << told(arranged);
        EXPECT_TRUE(next->said("[Tarvela] start: 7 windows back where they were")) << how << next->out();
        EXPECT_TRUE(waitFor(barred)) << how;
        EXPECT_FALSE(next->said("scroll: ")) << how << next->out();
        running = std::move(next);
    }
}

TEST_F(RestartExeTest, ARecordForgedOnTheRootOrNamingWindowsOfNobodyChangesNothing) {
    std::vector<Child> terms;
    for (int x : {0, 700}) terms.push_back(client({"xterm", "-geometry", "60x20+" + std::to_string(x) + "+100"}));
    ASSERT_TRUE(waitMapped(2));
    auto first = launch();
    wins_ = clientWindows(2);
    ASSERT_EQ(wins_.size(), 2u);
    ASSERT_TRUE(waitFor([&] { return tiled(wins_); }));
    const Snapshot ordinary = snapshot();
    ASSERT_TRUE(waitFor([&] { return record().is_object(); }));
    first->signal(SIGTERM);
    ASSERT_TRUE(ended(*first));

    // Both windows stacked at a quarter width, but signed by someone without the key.
    const xcb_window_t unmapped = tc_->createWindow(0, 0, 100, 100);
    json plan = record();
    plan["strips"][0]["columns"] = json::array({{{"windows", {wins_[0], wins_[1]}}, {"frac", 0.25}}});
    plan["strips"][0]["focusC"] = 0;
    setRecord(std::string(64, '0') + "\n" + plan.dump());
    auto forged = launch();
    EXPECT_TRUE(waitFor([&] { return same(snapshot(), ordinary); })) << forged->out();
    EXPECT_TRUE(forged->said("signed by someone else")) << forged->out();
    forged->signal(SIGTERM);
    ASSERT_TRUE(ended(*forged));

    // Signed, but naming only windows that are not there or belong to nobody.
    const auto key = RestartKey::load(tmp_ + "/state/tarvela/restart.key");
    ASSERT_TRUE(key);
    plan["strips"][0]["columns"] = json::array({{{"windows", {0x7ffffffu, tc_->root()}}, {"frac", 0.25}}});
    plan["floating"] = json::array({{{"window", unmapped}, {"desktop", 0}}});
    setRecord(sealRecord(plan.dump(), key->seal()));
    auto nobody = launch();
    EXPECT_TRUE(waitFor([&] { return same(snapshot(), ordinary); })) << nobody->out();
    EXPECT_FALSE(nobody->said("back where they were")) << nobody->out();
    EXPECT_FALSE(tc_->viewable(unmapped));
    EXPECT_EQ(tc_->cardinals(tc_->root(), "_NET_CLIENT_LIST").size(), 2u);
}

}  // namespace
}  // namespace tarvela::testing

// The scripting socket on the simulated desktop: commands, errors, sync,
// events, floods, clients that vanish or stop reading, and who may connect.
// Real sockets in a fresh folder; the run loop's watches are polled with a
// zero timeout and the manual clock moves the slides.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <random>

#include "ipc/ipc_client.h"
#include "settings/app_info.h"
#include "tests/ipc/ipc_support.h"

namespace tarvela::testing {
namespace {

bool ok(const Json& r) { return r.is_object() && r.value("ok", false); }
std::string error(const Json& r) { return r.is_object() ? r.value("error", std::string("(none)")) : r.dump(); }

class IpcTest : public ::testing::Test {
protected:
    IpcDesk desk;
    void SetUp() override { ASSERT_TRUE(desk.open()); }
    Strip& strip() { return *desk.shell->manager.strips().at(0); }
};

TEST_F(IpcTest, ActionsTakeTheShortcutsWayAndGetTellsTheState) {
    Peer p(desk);
    std::vector<std::pair<Action, int>> performed;
    auto real = desk.shell->hotkeys.onAction;
    desk.shell->hotkeys.onAction = [&](Action a, int n) {
        performed.emplace_back(a, n);
        real(a, n);
    };
    for (const char* c : {R"({"command":"jump","args":[1]})", R"({"command":"focus-right"})",
                          R"({"command":"focus-next","args":[]})", R"({"command":"focus-left"})",
                          R"({"command":"cycle-width"})"})
        EXPECT_TRUE(ok(p.ask(c))) << c;
    EXPECT_EQ(performed, (std::vector<std::pair<Action, int>>{{Action::jump, 1}, {Action::focusNext, 0},
                                                              {Action::focusNext, 0}, {Action::focusPrev, 0},
                                                              {Action::cycleWidth, 0}}));
    EXPECT_EQ(strip().focusC, 1);
    EXPECT_EQ(error(p.ask("jump", {0})), "jump needs a column from 1, not 0");
    desk.time.advance(1);

    const Json strips = p.ask("get", {"strips"});
    ASSERT_TRUE(ok(strips)) << strips.dump();
    const Json& s = strips["result"].at(0);
    ASSERT_EQ(s["columns"].size(), strip().cols.size());
    EXPECT_EQ(s["focused"], Json::parse(R"({"column":2,"row":1})"));
    EXPECT_DOUBLE_EQ(s["columns"][1]["width"].get<double>(), strip().cols[1].frac);
    EXPECT_EQ(s["columns"][1]["px"], std::lround(strip().cw[1]));
    EXPECT_EQ(s["columns"][1]["windows"][0], strip().cols[1].items[0].el.id);
    EXPECT_DOUBLE_EQ(s["offset"].get<double>(), strip().offset);

    const Json windows = p.ask("get", {"windows"})["result"];
    ASSERT_EQ(windows.size(), desk.wins.size());
    for (const Json& w : windows) {
        EXPECT_EQ(w["application"], "Term");
        EXPECT_EQ(w["title"].get<std::string>().rfind("term ", 0), 0u);
        EXPECT_EQ(w["strip"], 0);
        auto place = strip().find(AXElement::window(w["id"].get<uint64_t>()));
        ASSERT_TRUE(place);
        EXPECT_EQ(w["column"], place->first + 1);
    }
    EXPECT_EQ(p.ask("get", {"displays"})["result"][0]["name"], "Built-in Display");
    EXPECT_EQ(p.ask("get", {"preferences", "layout"})["result"], "strip");
    EXPECT_EQ(p.ask("get", {"preferences"})["result"].size(), 26u);
    EXPECT_EQ(p.ask("get", {"preferences", "restoreLastSession"})["result"], false);
    EXPECT_EQ(p.ask("get", {"preferences", "focusFollowsMouse"})["result"], false);
    desk.shell->rules.setRules({{"a", "A", Behavior::floatWin, 0.5}, {"b", "B", Behavior::ignore, std::nullopt},
                                {"c", "C", Behavior::tile, std::nullopt}});
    Json behaviors = Json::array();
    for (const Json& r : p.ask("get", {"rules"})["result"].get<std::vector<Json>>()) behaviors.push_back(r["behavior"]);
    EXPECT_EQ(behaviors, Json({"float", "ignore", "tile"}));
    EXPECT_EQ(error(p.ask("get", {"moon"})),
              "get takes displays, strips, windows, preferences, rules, workspaces, version or desktops, not \"moon\"");
    EXPECT_EQ(error(p.ask("get", {"preferences", "colour"})), "unknown preference \"colour\"");
}

TEST_F(IpcTest, SetChecksTheValueAndActsAsTheSettingsDo) {
    Peer p(desk);
    EXPECT_TRUE(ok(p.ask("set", {"blur", true})));
    EXPECT_TRUE(desk.shell->prefs.blur());
    EXPECT_TRUE(ok(p.ask("set", {"dimLevel", 3})));
    EXPECT_EQ(desk.shell->prefs.dimLevel(), 3);
    EXPECT_TRUE(ok(p.ask("set", {"defaultWidth", 0.4})));
    EXPECT_DOUBLE_EQ(desk.shell->prefs.defaultWidth(), 0.4);
    // The popover's choices: the strips follow at once.
    EXPECT_TRUE(ok(p.ask("set", {"align", "left"})));
    EXPECT_EQ(strip().align(), Align::left);
    EXPECT_TRUE(ok(p.ask("set", {"layout", "grid22"})));
    EXPECT_EQ(strip().layout, Layout::grid22);

    EXPECT_EQ(error(p.ask("set", {"dimLevel", 4})), "preference dimLevel takes an integer from 0 to 3, not 4");
    EXPECT_TRUE(ok(p.ask("set", {"focusPolicy", 2})));
    EXPECT_TRUE(ok(p.ask("set", {"restoreLastSession", true})));
    EXPECT_TRUE(Prefs(desk.shell->prefs.d).restoreLastSession());  // stored
    EXPECT_EQ(error(p.ask("set", {"focusPolicy", 3})), "preference focusPolicy takes an integer from 0 to 2, not 3");
    EXPECT_EQ(error(p.ask("set", {"blur", "yes"})), "preference blur takes true or false, not \"yes\"");
    EXPECT_EQ(error(p.ask("set", {"layout", "spiral"})).rfind("preference layout takes one of strip", 0), 0u);
    EXPECT_EQ(error(p.ask("set", {"volume", 11})), "unknown preference \"volume\"");
    EXPECT_EQ(desk.shell->prefs.dimLevel(), 3);

    EXPECT_TRUE(ok(p.ask("set", {"enabled", false})));
    EXPECT_FALSE(desk.shell->manager.on());
    EXPECT_FALSE(desk.shell->prefs.enabled());
}

TEST_F(IpcTest, DesktopsAreShownByNumberOrNameAndTheirChangesAreTold) {
    Peer p(desk), watcher(desk);
    ASSERT_TRUE(ok(watcher.ask("subscribe", {"desktop"})));
    WindowManager& m = desk.shell->manager;
    const size_t total = desk.wins.size();
    EXPECT_TRUE(ok(p.ask("move-to-desktop", {2})));
    m.renameDesktops({"Mail", "Web"});
    EXPECT_TRUE(ok(p.ask("desktop", {"Web"})));
    EXPECT_EQ(m.desktop(), 1);
    EXPECT_TRUE(ok(p.ask("desktop", {1})));
    EXPECT_EQ(error(p.ask("desktop", {5})), "a desktop is 1 to 4, not 5");
    EXPECT_EQ(error(p.ask("desktop", {"Play"})), "no desktop \"Play\"");
    EXPECT_TRUE(ok(p.ask("rename-desktop", {3, "Play"})));
    EXPECT_EQ(error(p.ask("rename-desktop", {5, "Play"})), "a desktop is 1 to 4, not 5");
    EXPECT_EQ(error(p.ask("rename-desktop", {2, " "})), "a desktop's name cannot be empty");
    const Json list = p.ask("get", {"desktops"})["result"];
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], Json::parse(R"({"index":1,"name":"Mail","windows":)" + std::to_string(total - 1) +
                                   R"(,"current":true})"));
    EXPECT_EQ(list[1]["windows"], 1);
    EXPECT_EQ(list[2]["name"], "Play");
    EXPECT_TRUE(ok(p.ask("set", {"desktops", 2})));
    EXPECT_EQ(error(p.ask("set", {"desktops", 11})), "preference desktops takes an integer from 1 to 10, not 11");
    desk.time.advance(1);
    desk.pump();
    std::vector<std::string> heard;
    for (const auto& l : watcher.lines()) {
        const Json e = Json::parse(l);
        heard.push_back(e["change"].get<std::string>() + " " + e["name"].get<std::string>() + " of " +
                        std::to_string(e["count"].get<int>()));
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"renamed Mail of 4", "switched Web of 4", "switched Mail of 4",
                                               "renamed Mail of 4", "count Mail of 2"}));
}

TEST_F(IpcTest, WorkspacesAreSavedAndRestoredByNameOrSlot) {
    Peer p(desk), watcher(desk);
    ASSERT_TRUE(ok(watcher.ask("subscribe", {"workspace"})));
    const Json saved = p.ask("workspace-save", {"Work", 5});
    ASSERT_TRUE(ok(saved)) << saved.dump();
    ASSERT_EQ(desk.shell->workspaces.items().size(), 1u);
    EXPECT_EQ(desk.shell->workspaces.items()[0].slot, 5);
    EXPECT_EQ(saved["result"]["name"], "Work");
    EXPECT_EQ(error(p.ask("workspace-save", {"Bad", 12})), "a workspace slot is 0 to 9, not 12");
    EXPECT_TRUE(ok(p.ask("workspace-save", {"Home"})));

    EXPECT_TRUE(ok(p.ask("workspace-restore", {5})));
    EXPECT_TRUE(ok(p.ask("workspace-restore", {"Home"})));
    EXPECT_EQ(error(p.ask("workspace-restore", {"Away"})), "no workspace is called \"Away\"");
    EXPECT_EQ(error(p.ask("workspace-restore", {3})), "no workspace has slot 3");
    desk.time.advance(1);
    desk.pump();
    std::vector<std::string> changes;
    for (const auto& l : watcher.lines()) changes.push_back(Json::parse(l)["change"].get<std::string>() + " " +
                                                            Json::parse(l)["name"].get<std::string>());
    EXPECT_EQ(changes, (std::vector<std::string>{"saved Work", "saved Home", "restored Work", "restored Home"}));
    const Json list = p.ask("get", {"workspaces"})["result"];
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1]["active"], true);
}

TEST_F(IpcTest, BadRequestsGetAnErrorNamingTheProblemAndTheConnectionGoesOn) {
    Peer p(desk);
    EXPECT_EQ(error(p.ask("{\"command\": ")), "malformed JSON");
    EXPECT_EQ(error(p.ask("[1, 2]")), "a request must be a JSON object");
    EXPECT_EQ(error(p.ask("{\"args\": []}")), "a request needs a \"command\" string");
    EXPECT_EQ(error(p.ask("foo", Json::array())), "unknown command \"foo\"");
    EXPECT_EQ(error(p.ask("jump", {"two"})), "argument column of jump must be an integer, not \"two\"");
    EXPECT_EQ(error(p.ask("jump", Json::array())), "jump needs its argument column");
    EXPECT_EQ(error(p.ask("wider", {1})), "wider takes at most 0 arguments, got 1");
    EXPECT_EQ(error(p.ask("set", {"blur", Json::array()})),
              "argument value of set must be a string, number or Boolean, not []");
    EXPECT_EQ(error(p.ask(R"({"command":"get","args":"strips"})")), "\"args\" must be an array");
    EXPECT_EQ(error(p.ask("subscribe", {"weather"})), "unknown topic \"weather\"");

    // Too long: skipped to its newline, answered, and the next request is served.
    const std::string big = "{\"command\":\"get\",\"args\":[\"" + std::string(ipc::maxRequestBytes + 300000, 'x') + "\"]}";
    p.write(big + "\n{\"command\":\"get\",\"args\":[\"version\"]}\n");
    auto got = p.lines();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(error(Json::parse(got[0])), "request longer than 1048576 bytes");
    EXPECT_EQ(Json::parse(got[1])["result"], AppInfo::version());
    // Just under the bound is a request like any other.
    const std::string fits = R"({"command":"get","args":["version"]})" + std::string(ipc::maxRequestBytes - 40, ' ');
    EXPECT_TRUE(ok(p.ask(fits)));
    EXPECT_EQ(desk.server().clientCount(), 1u);
}

TEST_F(IpcTest, SyncAnswersOnceEverythingBeforeItIsDoneAndEveryStripRests) {
    Peer p(desk), watcher(desk);
    ASSERT_TRUE(ok(p.ask("jump", {1})));
    desk.time.advance(1);
    desk.pump();
    ASSERT_TRUE(ok(watcher.ask("subscribe", {"strip,focus"})));
    p.write("{\"command\":\"jump\",\"args\":[6]}\n{\"command\":\"sync\"}\n{\"command\":\"get\",\"args\":[\"version\"]}\n");
    ASSERT_TRUE(strip().scrolling);
    EXPECT_EQ(p.lines().size(), 1u);  // jump's reply; sync waits, and the request after it too
    desk.time.advance(0.1);
    desk.pump();
    EXPECT_TRUE(p.lines().empty());
    desk.time.advance(1);
    desk.pump();
    EXPECT_FALSE(strip().scrolling);
    auto got = p.lines();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(Json::parse(got[0]), Json::parse(R"({"ok":true,"result":null})"));
    EXPECT_EQ(Json::parse(got[1])["result"], AppInfo::version());
    // The subscriber heard the focus move, the slide's start and its end, in that order.
    std::vector<std::string> heard;
    for (const auto& l : watcher.lines()) {
        Json e = Json::parse(l);
        heard.push_back(e["event"].get<std::string>() + (e.contains("change") ? " " + e["change"].get<std::string>() : ""));
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"focus", "strip scroll-started", "strip scroll-settled"}));
    // At rest, sync answers at once.
    EXPECT_TRUE(ok(p.ask("sync", Json::array())));
}

// Window, strip and preference events, each once, with what changed.
TEST_F(IpcTest, EventsTellWindowsStripsAndPreferences) {
    Peer w(desk);
    ASSERT_TRUE(ok(w.ask("subscribe", {Json::array({"window", "strip", "preferences"})})));
    const AXElement extra = desk.sim.addWindow(desk.pid, Rect(50, 50, 600, 500));
    desk.time.advance(1);
    desk.pump();
    desk.sim.focusWindow(extra);
    desk.time.advance(1);
    desk.shell->hotkeys.onAction(Action::floatToggle, 0);
    desk.pump();
    desk.shell->hotkeys.onAction(Action::floatToggle, 0);
    desk.pump();
    desk.sim.closeWindow(desk.wins[0]);
    desk.time.advance(1);
    desk.shell->prefs.natural.set(false);
    desk.shell->hotkeys.onAction(Action::wider, 0);
    desk.time.advance(1);
    desk.pump();
    std::vector<std::string> windowChanges, other;
    for (const auto& l : w.lines()) {
        Json e = Json::parse(l);
        if (e["event"] == "window") {
            const uint64_t id = e["id"].get<uint64_t>();
            windowChanges.push_back(e["change"].get<std::string>() + (id == extra.id ? " extra" : id == desk.wins[0].id ? " first" : " ?"));
        } else if (e["event"] == "preferences") {
            other.push_back("preferences " + e["name"].get<std::string>() + "=" + e["value"].dump());
        } else if (e["change"] == "widths") {
            other.push_back("widths");
        }
    }
    EXPECT_EQ(windowChanges, (std::vector<std::string>{"opened extra", "floated extra", "tiled extra", "closed first"}));
    EXPECT_NE(std::find(other.begin(), other.end(), "preferences natural=false"), other.end());
    EXPECT_NE(std::find(other.begin(), other.end(), "widths"), other.end());
}

TEST_F(IpcTest, EachCommandOfABatchIsToldOnItsOwn) {
    Peer follower(desk), script(desk);
    ASSERT_TRUE(ok(script.ask("jump", {1})));
    ASSERT_TRUE(ok(follower.ask("subscribe", {"focus"})));
    script.write("{\"command\":\"focus-right\"}\n{\"command\":\"focus-right\"}\n{\"command\":\"focus-left\"}\n");
    desk.pump();
    std::vector<int> columns;
    for (const auto& l : follower.lines(3)) columns.push_back(Json::parse(l)["column"].get<int>());
    EXPECT_EQ(columns, (std::vector<int>{2, 3, 2}));
}

TEST(IpcDisplaysTest, AWindowSentToTheOtherDisplayIsToldAsMoved) {
    IpcDesk desk(2, 4);
    ASSERT_TRUE(desk.open());
    ASSERT_EQ(desk.shell->manager.strips().size(), 2u);
    Peer p(desk), cmd(desk);
    ASSERT_TRUE(ok(p.ask("subscribe", {"window"})));
    const StripRef from = desk.shell->manager.cur();
    ASSERT_TRUE(from && from->focusedItem());
    const uint64_t id = from->focusedItem()->el.id;
    EXPECT_TRUE(ok(cmd.ask("send-display", Json::array())));
    desk.time.advance(1);
    desk.pump();
    auto got = p.lines();
    ASSERT_EQ(got.size(), 1u);
    const Json e = Json::parse(got[0]);
    EXPECT_EQ(e["change"], "moved");
    EXPECT_EQ(e["id"], id);
    EXPECT_EQ(e["from"], from->index);
    EXPECT_EQ(e["strip"], 1 - from->index);
    const Json w = cmd.ask("get", {"windows"})["result"];
    EXPECT_EQ(std::count_if(w.begin(), w.end(), [&](const Json& x) { return x["id"] == id && x["strip"] == 1 - from->index; }), 1);
}

// Many events, two subscribers: the one that keeps up gets every event once,
// in order; the one that reads only at the end gets the same while its
// backlog stays within the bound.
TEST_F(IpcTest, AStormReachesEverySubscriberCompleteAndInOrder) {
    Peer fast(desk), slow(desk);
    const Json all = Json::array({"focus", "window", "strip", "workspace", "preferences"});
    ASSERT_TRUE(ok(fast.ask("subscribe", {all})));
    ASSERT_TRUE(ok(slow.ask("subscribe", {all})));
    fast.lines();
    slow.lines();
    const uint64_t seed = std::getenv("TARVELA_STORM_SEED") ? std::strtoull(std::getenv("TARVELA_STORM_SEED"), nullptr, 10)
                                                            : std::random_device{}();
    SCOPED_TRACE("TARVELA_STORM_SEED=" + std::to_string(seed));
    std::mt19937_64 rng(seed);
    std::vector<std::string> got;
    std::vector<AXElement> open = desk.wins;
    Shell& sh = *desk.shell;
    while (desk.server().eventCount() < 10000) {
        switch (rng() % 8) {
            case 0: sh.hotkeys.onAction(Action::focusNext, 0); break;
            case 1: sh.hotkeys.onAction(Action::focusPrev, 0); break;
            case 2: sh.hotkeys.onAction(Action::jump, static_cast<int>(rng() % 8) + 1); break;
            case 3: sh.hotkeys.onAction(rng() % 2 ? Action::wider : Action::narrower, 0); break;
            case 4: sh.prefs.blur.set(!sh.prefs.blur()); break;
            case 5:
                if (open.size() < 10) open.push_back(desk.sim.addWindow(desk.pid, Rect(80, 80, 600, 500)));
                break;
            case 6:
                if (open.size() > 3) {
                    const size_t i = rng() % open.size();
                    desk.sim.closeWindow(open[i]);
                    open.erase(open.begin() + static_cast<long>(i));
                }
                break;
            case 7: sh.hotkeys.onAction(Action::floatToggle, 0); break;
        }
        desk.time.advance(static_cast<double>(rng() % 5) * 0.1);
        desk.pump();
        for (auto& l : fast.lines()) got.push_back(std::move(l));
    }
    desk.time.advance(1);
    desk.pump();
    for (auto& l : fast.lines()) got.push_back(std::move(l));
    const uint64_t total = desk.server().eventCount();
    ASSERT_EQ(got.size(), total);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(Json::parse(got[i])["seq"], i + 1) << got[i];
    // The slow one reads everything now, letting the server write as it drains.
    std::vector<std::string> late;
    for (int i = 0; i < 1000 && late.size() < total; ++i) {
        for (auto& l : slow.lines()) late.push_back(std::move(l));
        desk.pump();
    }
    EXPECT_EQ(late, got);
    EXPECT_FALSE(desk.logged("stopped reading"));
    // The last focus event tells where focus is now.
    for (auto it = got.rbegin(); it != got.rend(); ++it) {
        Json e = Json::parse(*it);
        if (e["event"] != "focus") continue;
        const Item* focused = desk.shell->manager.cur()->focusedItem();  // none once every window floats
        EXPECT_EQ(e.value("window", Json()), focused ? Json(focused->el.id) : Json());
        break;
    }
}

TEST(IpcBoundTest, ASubscriberThatStopsReadingIsDroppedAndNobodyWaits) {
    IpcDesk desk;
    IpcServerOptions o;
    o.maxOutput = 16 * 1024;
    ASSERT_TRUE(desk.open(o));
    Peer fast(desk), stuck(desk);
    ASSERT_TRUE(ok(fast.ask("subscribe", {"preferences"})));
    ASSERT_TRUE(ok(stuck.ask("subscribe", {"preferences"})));
    size_t heard = 0;
    for (int i = 0; i < 3000; ++i) {
        desk.shell->prefs.scrollSpeed.set(i % 3);
        desk.pump();
        heard += fast.lines().size();
    }
    EXPECT_EQ(heard, 3000u);
    EXPECT_EQ(desk.server().clientCount(), 1u);
    EXPECT_TRUE(desk.logged("scripting: dropped a client that stopped reading (16384 bytes waiting for it)"));
    EXPECT_TRUE(stuck.closedByServer());
}

TEST_F(IpcTest, AFloodFromSeveralClientsIsAnsweredInOrderForEach) {
    std::vector<std::unique_ptr<Peer>> peers;
    for (int i = 0; i < 6; ++i) peers.push_back(std::make_unique<Peer>(desk));
    std::string burst;
    for (int j = 0; j < 400; ++j)
        burst += j % 2 ? "{\"command\":\"get\",\"args\":[\"preferences\",\"dimLevel\"]}\n" : "{\"command\":\"nope\"}\n";
    for (auto& p : peers) p->write(burst);
    desk.pump();
    for (auto& p : peers) {
        auto got = p->lines(400);
        ASSERT_EQ(got.size(), 400u);
        for (size_t j = 0; j < got.size(); ++j) EXPECT_EQ(ok(Json::parse(got[j])), j % 2 == 1) << j;
    }
}

TEST_F(IpcTest, AClientThatGoesMidRequestIsForgottenAndOthersCarryOn) {
    {
        Peer cut(desk);
        cut.write("{\"command\":\"jump\",\"ar");  // and gone
    }
    {
        // Gone before its replies could be written: no signal reaches Tarvela.
        Peer rude(desk);
        const std::string one = std::string(200, ' ') + "{\"command\":\"get\",\"args\":[\"strips\"]}\n";
        std::string all;
        for (int i = 0; i < 2000; ++i) all += one;
        rude.write(all);
        // Takes what has come, leaving the rest to be written to a closed socket.
        EXPECT_FALSE(rude.lines().empty());
    }
    desk.pump();
    EXPECT_EQ(desk.server().clientCount(), 0u);
    Peer next(desk);
    EXPECT_TRUE(ok(next.ask("get", {"version"})));
    EXPECT_EQ(desk.server().clientCount(), 1u);
}

TEST(IpcAccessTest, OnlyTheSameUserAndABoundedNumberOfClientsAreServed) {
    {
        IpcDesk desk;
        IpcServerOptions o;
        o.allowedUid = ::geteuid() + 1;
        ASSERT_TRUE(desk.open(o));
        Peer stranger(desk);
        auto got = stranger.lines();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(error(Json::parse(got[0])), "permission denied: this Tarvela takes requests from its own user only");
        EXPECT_TRUE(stranger.closedByServer());
        EXPECT_TRUE(desk.logged("scripting: refused a connection from uid " + std::to_string(::geteuid())));
        EXPECT_EQ(desk.server().clientCount(), 0u);
    }
    IpcDesk desk;
    IpcServerOptions o;
    o.maxClients = 2;
    ASSERT_TRUE(desk.open(o));
    Peer a(desk), b(desk), c(desk);
    EXPECT_EQ(error(Json::parse(c.lines().at(0))), "too many clients (2)");
    EXPECT_TRUE(c.closedByServer());
    EXPECT_TRUE(ok(b.ask("get", {"version"})));
}

TEST(IpcFolderTest, TheSocketIsPrivateInAPrivateFolderAndAnOpenFolderIsRefused) {
    IpcDesk desk;
    ASSERT_TRUE(desk.open());
    struct stat st {};
    ASSERT_EQ(::stat(desk.socket().parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(desk.socket().c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(desk.logged("listening for scripts on " + desk.socket().string()));
    EXPECT_EQ(desk.server().path(), desk.socket());
    desk.shell->scripts.reset();
    EXPECT_FALSE(std::filesystem::exists(desk.socket()));

    ::chmod(desk.socket().parent_path().c_str(), 0777);
    EXPECT_FALSE(desk.open());
    EXPECT_TRUE(desk.logged("scripting: not listening: refusing the folder " + desk.socket().parent_path().string() +
                            ": others may write to it"));
    EXPECT_FALSE(std::filesystem::exists(desk.socket()));
}

TEST(IpcClientTest, TheClientReadsArgumentsByTheTableAndPrintsPlainly) {
    EXPECT_EQ(std::get<Json>(ipc::requestFor({"jump", "3"})), Json::parse(R"({"command":"jump","args":[3]})"));
    // A word that is not the declared type goes as a string, for the server to refuse.
    EXPECT_EQ(std::get<Json>(ipc::requestFor({"jump", "x"})), Json::parse(R"({"command":"jump","args":["x"]})"));
    EXPECT_EQ(std::get<Json>(ipc::requestFor({"set", "blur", "true"})),
              Json::parse(R"({"command":"set","args":["blur",true]})"));
    EXPECT_EQ(std::get<Json>(ipc::requestFor({"set", "align", "left"})),
              Json::parse(R"({"command":"set","args":["align","left"]})"));
    EXPECT_EQ(std::get<std::string>(ipc::requestFor({"fly"})), "unknown command \"fly\" (see tarvela msg --help)");
    const std::string usage = ipc::msgUsage();
    for (const auto& c : ipc::commands()) EXPECT_NE(usage.find("  " + c.name + " "), std::string::npos) << c.name;

    EXPECT_EQ(ipc::plainEvent(Json::parse(R"({"event":"focus","column":2,"title":"a\nb","px":[1,2]})")),
              "focus column=2 px=1,2 title=a b\n");
    EXPECT_EQ(ipc::plainResult(Json::parse(R"([{"a":1,"b":[1,2]},{"a":2,"c":{"d":"x"}}])")),
              "- a: 1\n  b: 1, 2\n- a: 2\n  c:\n    d: x\n");

    // Nobody listening: status 2 and a word on the error stream.
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    EXPECT_EQ(ipc::runMsg({"--socket", "/nonexistent/tarvela.sock", "get", "version"}, out, err), 2);
    EXPECT_GT(std::ftell(err), 0);
    EXPECT_EQ(ipc::runMsg({"fly"}, out, err), 1);
    std::fclose(out);
    std::fclose(err);
}

}  // namespace
}  // namespace tarvela::testing

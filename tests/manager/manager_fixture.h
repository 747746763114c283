// A window manager on the simulated desktop with a manual clock, fresh
// settings and stores per test, and a recording of everything the manager
// reports back (log lines, notices, permission calls, feedback calls).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/manual_time.h"
#include "manager/actions.h"
#include "manager/window_manager.h"
#include "platform/sim/sim_desktop.h"
#include "settings/defaults.h"

namespace tarvela::testing {

class RecordingFeedback final : public FeedbackHooks {
public:
    int dims = 0;
    int shows = 0;
    int closes = 0;
    bool open = false;
    void updateDim() override { ++dims; }
    bool overviewOpen() override { return open; }
    void showOverview() override {
        ++shows;
        open = true;
    }
    void closeOverview() override {
        ++closes;
        open = false;
    }
};

using Columns = std::vector<std::vector<AXElement>>;

class ManagerTest : public ::testing::Test {
protected:
    ManualTime time;
    SimDesktop sim{time.loop()};
    MemoryDefaults defaults;
    std::unique_ptr<Prefs> prefs;
    std::unique_ptr<RuleStore> rules;
    std::unique_ptr<WorkspaceStore> workspaces;
    RecordingFeedback feedback;
    std::unique_ptr<WindowManager> wm;
    std::vector<std::string> logs;
    std::vector<std::pair<std::string, std::string>> notices;
    int permissionLost = 0;
    int activity = 0;

    void SetUp() override {
        setLogSink([this](const std::string& l) { logs.push_back(l); });
        prefs = std::make_unique<Prefs>(defaults);
        prefs->onboarded.set(true);
        rules = std::make_unique<RuleStore>(defaults);
        workspaces = std::make_unique<WorkspaceStore>(defaults);
        wm = makeManager();
    }
    void TearDown() override {
        wm.reset();
        setLogSink(nullptr);
    }

    std::unique_ptr<WindowManager> makeManager(uint64_t seed = 7) {
        WindowManager::Deps d{sim, time.loop(), time.queueFactory(), makeInlineParallelFor(), *prefs, *rules,
                              *workspaces, feedback, seed};
        auto m = std::make_unique<WindowManager>(std::move(d));
        m->onPermissionLost = [this] { ++permissionLost; };
        m->onActivity = [this] { ++activity; };
        m->onNotice = [this](const std::string& t, const std::string& b) { notices.emplace_back(t, b); };
        return m;
    }

    // ---- the desktop ----
    // Displays side by side, each 1920 x 1080 with a 25-point menu bar.
    uint64_t display(const std::string& name) { return sim.addStandardDisplay(name); }
    int32_t app(const std::string& name, std::optional<std::string> bundle = std::nullopt) {
        return sim.addApp(AppSpec{std::nullopt, name, bundle ? bundle : std::optional("org." + name), nullptr,
                                  ActivationPolicy::Regular});
    }
    AXElement window(int32_t pid, double x, double w = 600, double h = 500, double y = 100) {
        return sim.addWindow(pid, Rect(x, y, w, h));
    }

    // Lets every delay (0.15 to 0.6 s) and any slide run out.
    void settle(double seconds = 1.0) { time.advance(seconds); }
    void startAndSettle() {
        wm->start();
        settle();
    }

    // ---- reading the strips ----
    StripRef strip(int i) { return wm->strips()[static_cast<size_t>(i)]; }
    static Columns columns(const Strip& s) {
        Columns out;
        for (const Col& c : s.cols) {
            std::vector<AXElement> col;
            for (const Item& it : c.items) col.push_back(it.el);
            out.push_back(col);
        }
        return out;
    }
    Columns columns(int i) { return columns(*strip(i)); }
    std::vector<double> fracs(int i) {
        std::vector<double> out;
        for (const Col& c : strip(i)->cols) out.push_back(c.frac);
        return out;
    }
    // Which strip holds el, or -1.
    int stripOf(const AXElement& el) {
        for (const StripRef& s : wm->strips())
            if (s->find(el)) return s->index;
        return -1;
    }
    bool isFloating(const AXElement& el) {
        return std::find(wm->floating.begin(), wm->floating.end(), el) != wm->floating.end();
    }
    bool logged(const std::string& line) { return std::find(logs.begin(), logs.end(), line) != logs.end(); }
    int countLogged(const std::string& line) {
        return static_cast<int>(std::count(logs.begin(), logs.end(), line));
    }
};

}  // namespace tarvela::testing

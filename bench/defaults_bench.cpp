// Start-up cost of the settings file and the cost of one durable write to it.
// The file holds 50 saved workspaces, 200 rules and a custom binding for every
// action, as a long-time user's would. Prints the median of repeated runs:
//   BENCH defaults_load_ms <n> ms   open the file and decode all three lists
//   BENCH defaults_write_ms <n> ms  one settings write, on disk, durable
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "input/hotkeys.h"
#include "settings/defaults_file.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

using namespace tarvela;
namespace fs = std::filesystem;

namespace {

double msSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void fill(Defaults& d) {
    std::mt19937_64 rng(42);
    WorkspaceStore workspaces(d);
    std::vector<Workspace> items;
    for (int i = 0; i < 50; ++i) {
        Workspace w;
        w.id = Uuid::random(rng);
        w.name = "Workspace " + std::to_string(i);
        w.display = i % 2;
        w.layout = allLayouts[static_cast<size_t>(i) % allLayouts.size()];
        for (int c = 0; c < 4; ++c) {
            w.columns.push_back({{"org.app" + std::to_string(c), "App " + std::to_string(c)},
                                 {"org.other" + std::to_string(i), "Other " + std::to_string(i)}});
            w.widths.push_back(c % 2 ? 1.0 / 3 : 2.0 / 3);
        }
        if (i < 6) w.slot = (5 + i) % 10;
        items.push_back(std::move(w));
    }
    workspaces.setItems(std::move(items));

    RuleStore rules(d);
    std::vector<AppRule> list;
    for (int i = 0; i < 200; ++i)
        list.push_back({"org.example.application" + std::to_string(i), "Application " + std::to_string(i),
                        allBehaviors[static_cast<size_t>(i) % 3],
                        i % 2 ? std::optional<double>(0.5) : std::nullopt});
    rules.setRules(std::move(list));

    SimHotkeyService service;
    Hotkeys hotkeys(d, service, nullptr);
    Bindings custom;
    for (Action a : allActions) {
        auto b = defaultBinding(a);
        // ⌃⌥⇧ throughout; tileFour keeps ⌃⌘ so that it does not collide with jumping.
        if (a != Action::tileFour) b.mods = modmask::controlOption | modmask::shift;
        custom[std::string(rawValue(a))] = b;
    }
    hotkeys.setBindings(std::move(custom));
    d.set("layout", std::string("strip"));
    d.set("defaultWidth", 0.5);
    d.set("dimLevel", int64_t{2});
}

}  // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("tarvela-defaults-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "app.tarvela.plist";
    {
        FileDefaults d(file);
        fill(d);
    }
    std::printf("defaults file of %ju bytes\n", static_cast<uintmax_t>(fs::file_size(file)));

    std::vector<double> loads;
    size_t decoded = 0;
    for (int i = 0; i < 30; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        FileDefaults d(file);
        WorkspaceStore workspaces(d);
        RuleStore rules(d);
        SimHotkeyService service;
        Hotkeys hotkeys(d, service, &workspaces);
        loads.push_back(msSince(t0));
        decoded = workspaces.items().size() + rules.rules().size() + hotkeys.bindings().size();
    }
    if (decoded != 50 + 200 + allActions.size()) {
        std::fprintf(stderr, "decoded %zu entries, expected %zu\n", decoded, 250 + allActions.size());
        return 1;
    }

    std::vector<double> writes;
    {
        FileDefaults d(file);
        for (int i = 0; i < 30; ++i) {
            auto t0 = std::chrono::steady_clock::now();
            d.set("layout", std::string(i % 2 ? "two" : "strip"));
            writes.push_back(msSince(t0));
        }
        if (!d.lastWriteOk()) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    std::error_code ec;
    fs::remove_all(dir, ec);

    std::printf("BENCH defaults_load_ms %.3f ms\n", median(loads));
    std::printf("BENCH defaults_write_ms %.3f ms\n", median(writes));
    return 0;
}

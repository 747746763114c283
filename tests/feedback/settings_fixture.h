// The settings window's models over a real manager, stores and shortcut
// table on the simulated desktop, with the mail composer recorded and a
// temporary folder for export files and the diagnostics report.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "input/hotkey_service.h"
#include "input/hotkeys.h"
#include "settings/diagnostics.h"
#include "settings/export.h"
#include "tests/manager/manager_fixture.h"
#include "tests/settings/temp_dir.h"

namespace tarvela::testing {

class RecordingMail final : public MailService {
public:
    bool composer = true;
    std::vector<std::pair<std::string, std::filesystem::path>> sent;  // recipient and file
    std::vector<std::filesystem::path> revealed;

    bool canCompose() override { return composer; }
    void compose(const std::string& to, const std::string&, const std::string&,
                 const std::filesystem::path& file) override {
        sent.emplace_back(to, file);
    }
    void reveal(const std::filesystem::path& file) override { revealed.push_back(file); }
};

class SettingsTest : public ManagerTest {
protected:
    TempDir tmp;
    SimHotkeyService keys;
    std::unique_ptr<Hotkeys> hotkeys;
    std::unique_ptr<ExportImport> transfer;
    RecordingMail mail;
    int closes = 0;

    void SetUp() override {
        ManagerTest::SetUp();
        hotkeys = std::make_unique<Hotkeys>(defaults, keys, workspaces.get());
        hotkeys->registerAll();
        transfer = std::make_unique<ExportImport>(*workspaces, *rules, *hotkeys);
    }

    std::function<void()> closer() { return [this] { ++closes; }; }
    // Whether a hot key is registered for that digit with ⌃⌥.
    bool slotRegistered(int digit) {
        return keys.numberFor(keycode::digits[static_cast<size_t>(digit)], modmask::controlOption).has_value();
    }
    // One display with three windows of three apps, the manager running.
    void desktopOfThree() {
        display("Built-in Display");
        window(app("Editor"), 100);
        window(app("Browser"), 800);
        window(app("Terminal"), 1500);
        startAndSettle();
    }
};

}  // namespace tarvela::testing

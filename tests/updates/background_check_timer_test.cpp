// The background check's systemd user units: what is written, what
// systemctl is asked (recorded, never run), and what systemd makes of them.
#include <gtest/gtest.h>

#include "core/processes.h"
#include "tests/settings/temp_dir.h"
#include "tests/support/test_helpers.h"
#include "updates/background_check_timer.h"

namespace tarvela::testing {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class BackgroundCheckTimerTest : public ::testing::Test {
protected:
    TempDir tmp;
    testsupport::LogCapture logs;
    Strings calls;
    bool userManager = true, serverAnswers = true;

    BackgroundCheckTimer make(const fs::path& exe = "/usr/bin/tarvela") {
        return BackgroundCheckTimer({tmp / "units", exe,
                         [this](const Strings& args) {
                             std::string line = args[1];
                             for (size_t i = 2; i < args.size(); ++i) line += " " + args[i];
                             calls.push_back(line);
                             return line == "show-environment" && !userManager ? 1 : 0;
                         },
                         [this](std::function<void(bool)> done) { done(serverAnswers); }});
    }
    Strings takeCalls() { return std::exchange(calls, {}); }
};

TEST_F(BackgroundCheckTimerTest, UnitsAreWrittenAndStartedOnlyWhenTheyChange) {
    BackgroundCheckTimer n = make();
    n.apply(true);
    EXPECT_EQ(takeCalls(), (Strings{"show-environment", "import-environment DISPLAY XAUTHORITY", "daemon-reload",
                                    "enable --now app.tarvela.notifier.timer"}));
    EXPECT_EQ(logs.lines, Strings{"[Tarvela] background notifier installed (every 6 h)"});
    EXPECT_TRUE(fs::exists(n.servicePath()) && fs::exists(n.timerPath()));
    n.apply(true);  // nothing changed: nothing reloaded, but this session's display is given
    EXPECT_EQ(takeCalls(), (Strings{"show-environment", "import-environment DISPLAY XAUTHORITY"}));
    make("/opt/tarvela/tarvela").apply(true);  // moved: rewritten
    EXPECT_EQ(takeCalls().size(), 4u);

    n.apply(false);
    EXPECT_EQ(takeCalls(), (Strings{"show-environment", "disable --now app.tarvela.notifier.timer", "daemon-reload"}));
    EXPECT_FALSE(fs::exists(n.servicePath()) || fs::exists(n.timerPath()));
    n.apply(false);
    n.reset();
    EXPECT_EQ(takeCalls(), (Strings{"show-environment", "restart app.tarvela.notifier.service"}));
    EXPECT_EQ(logs.lines.size(), 2u);
}

TEST_F(BackgroundCheckTimerTest, WhatCannotBeDoneIsSaidInOneLine) {
    userManager = false;
    make().apply(true);
    EXPECT_EQ(takeCalls(), Strings{"show-environment"});
    userManager = true;
    make("/opt/a \"quoted\" dir/tarvela").apply(true);  // systemd refuses quotes in a path
    EXPECT_FALSE(fs::exists(tmp / "units"));
    serverAnswers = false;
    make().apply(true);
    EXPECT_EQ(logs.lines, (Strings{
                              "[Tarvela] background notifier not installed: no systemd user manager answers "
                              "(systemctl --user)",
                              "[Tarvela] background notifier not installed: Tarvela’s path cannot be written into a "
                              "unit file",
                              "[Tarvela] background notifier installed (every 6 h)",
                              "[Tarvela] notifications are off for Tarvela (no notification server answers)",
                          }));
}

// systemd reads the units as written, with an executable path that needs
// quoting and escaping, and finds nothing to complain about; and the timer
// never fires at its start, nor waits for a first run that never comes.
TEST_F(BackgroundCheckTimerTest, SystemdAcceptsTheUnits) {
    if (runAndWait({"systemd-analyze", "--version"}) != 0) GTEST_SKIP() << "systemd-analyze is not installed";
    const fs::path exe = tmp / "a dir" / "tar%vela $x;";
    fs::create_directories(exe.parent_path());
    fs::copy_file("/bin/true", exe);
    BackgroundCheckTimer n = make(exe);
    n.apply(true);
    fs::create_directories(tmp / "run");
    fs::permissions(tmp / "run", fs::perms::owner_all, fs::perm_options::replace);
    const std::string cmd = "XDG_RUNTIME_DIR='" + (tmp / "run").string() + "' systemd-analyze --user verify '" +
                            n.servicePath().string() + "' '" + n.timerPath().string() + "' 2>&1";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char buf[512];
    while (size_t k = std::fread(buf, 1, sizeof buf, p)) out.append(buf, k);
    EXPECT_EQ(::pclose(p), 0) << out;
    EXPECT_EQ(out, "");  // unknown keys and bad values would only be warned about
    const std::string timer = n.timerText();
    EXPECT_NE(timer.find("\nOnActiveSec=21600\nOnUnitActiveSec=21600\n"), std::string::npos);
    EXPECT_EQ(timer.find("OnBootSec"), timer.find("OnStartupSec"));  // neither
}

}  // namespace
}  // namespace tarvela::testing

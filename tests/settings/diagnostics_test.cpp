#include "settings/diagnostics.h"

#include <gtest/gtest.h>

#include <set>

#include "settings/app_info.h"
#include "settings/export.h"
#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

struct RecordedMail final : MailService {
    bool composer = true;
    std::vector<std::string> calls;
    std::optional<std::string> attachedText;
    bool canCompose() override { return composer; }
    void compose(const std::string& to, const std::string& subject, const std::string& body,
                 const std::filesystem::path& file) override {
        calls.push_back("compose " + to + " | " + subject + " | " + body + " | " + file.filename().string());
        if (auto d = readWholeFile(file)) attachedText = std::string(d->begin(), d->end());
    }
    void reveal(const std::filesystem::path& file) override { calls.push_back("reveal " + file.string()); }
};

TEST(Diagnostics, ReportLines) {
    ManagerReport m;
    m.trusted = true;
    m.on = true;
    m.displays = 2;
    m.strips = {{0, "Built-in", 3, 4, Layout::strip}, {1, "DELL U2720Q", 0, 0, Layout::grid32}};
    EXPECT_EQ(diagnosticsReport("1.0.0", "Linux 6.1.0-18-amd64", m),
              "Tarvela 1.0.0\n"
              "Linux 6.1.0-18-amd64\n"
              "Accessibility: true\n"
              "On: true Paused: false\n"
              "Displays: 2\n"
              "Display 0 Built-in: 3 columns, 4 windows, layout strip\n"
              "Display 1 DELL U2720Q: 0 columns, 0 windows, layout grid32\n"
              "Window titles and file paths are never included.");

    // No strips: five lines, then the privacy line.
    ManagerReport off;
    off.paused = true;
    auto report = diagnosticsReport("2.1", "Linux 6", off);
    EXPECT_EQ(report,
              "Tarvela 2.1\nLinux 6\nAccessibility: false\nOn: false Paused: true\nDisplays: 0\n"
              "Window titles and file paths are never included.");
}

TEST(Diagnostics, OperatingSystemLineNamesThisSystem) {
    auto line = operatingSystemLine();
    EXPECT_EQ(line.rfind("Linux ", 0), 0u) << line;
    EXPECT_GT(line.size(), 6u);
}

TEST(Diagnostics, VersionFallsBackWhenNotStamped) {
    EXPECT_EQ(AppInfo::versionFrom(std::nullopt), "1.0.0");
    EXPECT_EQ(AppInfo::versionFrom(std::string("2.3.1")), "2.3.1");
    EXPECT_FALSE(AppInfo::version().empty());
}

TEST(Diagnostics, SendingWritesTheFileThenComposesOrReveals) {
    testing::TempDir dir;
    RecordedMail mail;
    auto file = sendDiagnostics("first", dir.path(), mail);
    EXPECT_EQ(file, dir / "Tarvela diagnostics.txt");
    EXPECT_EQ(mail.calls, (std::vector<std::string>{"compose support@tarvela.app | Tarvela diagnostics | "
                                                    "Diagnostics attached. | Tarvela diagnostics.txt"}));
    EXPECT_EQ(mail.attachedText, "first");

    // No composer: the file is shown instead, and a later report replaces the earlier one.
    mail.composer = false;
    mail.calls.clear();
    sendDiagnostics("second", dir.path(), mail);
    EXPECT_EQ(mail.calls, (std::vector<std::string>{"reveal " + file.string()}));
    auto d = readWholeFile(file);
    EXPECT_EQ(std::string(d->begin(), d->end()), "second");

    // A folder that cannot be written still hands over.
    mail.calls.clear();
    sendDiagnostics("third", dir / "missing", mail);
    EXPECT_EQ(mail.calls.size(), 1u);
}

TEST(Diagnostics, XdgServicePassesArgumentsWithoutAShell) {
    std::vector<std::vector<std::string>> runs;
    bool startOk = true;
    std::set<std::string> installed{"xdg-email", "xdg-open"};
    XdgMailService xdg([&](const std::vector<std::string>& argv) { runs.push_back(argv); return startOk; },
                       [&](const std::string& name) { return installed.count(name) > 0; });
    EXPECT_TRUE(xdg.canCompose());
    xdg.compose("support@tarvela.app", "Tarvela diagnostics", "Diagnostics attached.", "/tmp/x y/Tarvela diagnostics.txt");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], (std::vector<std::string>{"xdg-email", "--subject", "Tarvela diagnostics", "--body",
                                                 "Diagnostics attached.", "--attach",
                                                 "/tmp/x y/Tarvela diagnostics.txt", "support@tarvela.app"}));

    // xdg-email failing to start falls back to showing the folder.
    startOk = false;
    xdg.compose("a@b", "s", "t", "/tmp/d/file.txt");
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2], (std::vector<std::string>{"xdg-open", "/tmp/d"}));

    installed.erase("xdg-email");
    EXPECT_FALSE(xdg.canCompose());
}

}  // namespace
}  // namespace tarvela

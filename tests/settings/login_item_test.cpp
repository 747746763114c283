#include "settings/login_item.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/settings/temp_dir.h"

namespace tarvela {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(XdgAutostart, RegisteringWritesAnEntryThatRunsTheApplicationAndUnregisteringRemovesIt) {
    testing::TempDir dir;
    XdgAutostart a(dir / "autostart", "/opt/tarvela/bin/tarvela");
    EXPECT_EQ(a.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(a.unregisterApp(), std::nullopt) << "nothing to remove is no failure";

    EXPECT_EQ(a.registerApp(), std::nullopt);
    EXPECT_EQ(a.status(), LoginItemStatus::enabled);
    std::string text = slurp(dir / "autostart/app.tarvela.desktop");
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=/opt/tarvela/bin/tarvela\n"), std::string::npos) << text;

    EXPECT_EQ(a.unregisterApp(), std::nullopt);
    EXPECT_EQ(a.status(), LoginItemStatus::notRegistered);
    EXPECT_FALSE(fs::exists(a.entryPath()));
}

TEST(XdgAutostart, AnEntrySwitchedOffByTheDesktopCountsAsOffUntilRegisteredAgain) {
    testing::TempDir dir;
    XdgAutostart a(dir.path(), "/usr/bin/tarvela");
    for (std::string off : {"Hidden=true", "X-GNOME-Autostart-enabled=false", "Hidden = true"}) {
        std::ofstream(a.entryPath()) << "[Desktop Entry]\nType=Application\nExec=/usr/bin/tarvela\n" << off << "\n";
        EXPECT_EQ(a.status(), LoginItemStatus::notRegistered) << off;
        EXPECT_EQ(a.registerApp(), std::nullopt);
        EXPECT_EQ(a.status(), LoginItemStatus::enabled) << off;
    }
    // The switch only counts in the main group.
    std::ofstream(a.entryPath()) << "[Desktop Entry]\nExec=x\n[Desktop Action Quit]\nHidden=true\n";
    EXPECT_EQ(a.status(), LoginItemStatus::enabled);
}

TEST(XdgAutostart, FailuresAreReportedNotThrown) {
    testing::TempDir dir;
    std::ofstream(dir / "file") << "x";
    XdgAutostart a(dir / "file/autostart", "/usr/bin/tarvela");
    auto error = a.registerApp();
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->empty());
    EXPECT_EQ(a.status(), LoginItemStatus::notRegistered);
    EXPECT_TRUE(XdgAutostart(dir.path(), "/a\nb").registerApp());
}

TEST(XdgAutostart, ExecLinesQuoteAndEscapeAsDesktopEntriesRequire) {
    EXPECT_EQ(XdgAutostart::execLine("/usr/bin/tarvela"), "/usr/bin/tarvela");
    EXPECT_EQ(XdgAutostart::execLine("/opt/My Apps/tarvela"), "\"/opt/My Apps/tarvela\"");
    // A backslash is escaped for the quoting, then each backslash again for the value.
    EXPECT_EQ(XdgAutostart::execLine("/opt/a\\b"), "\"/opt/a\\\\\\\\b\"");
    EXPECT_EQ(XdgAutostart::execLine("/opt/$x/\"q\"/`c`"), "\"/opt/\\\\$x/\\\\\"q\\\\\"/\\\\`c\\\\`\"");
    EXPECT_EQ(XdgAutostart::execLine("/opt/100%/t"), "/opt/100%%/t");
}

}  // namespace
}  // namespace tarvela

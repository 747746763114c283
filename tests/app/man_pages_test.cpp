// The manual pages and completions are written from the tables behind the
// help texts; what a table holds must reach them, and the parser must read
// every option the help offers.
#include <gtest/gtest.h>

#include "app/launch_options.h"
#include "app/man_pages.h"
#include "input/hotkeys.h"
#include "ipc/ipc_protocol.h"

namespace tarvela::testing {
namespace {

TEST(ManPages, EveryOptionTheHelpOffersIsOneTheParserReads) {
    for (const OptionDoc& o : launch::options())
        for (const std::string& name : o.names) {
            std::vector<std::string> args{name};
            if (!o.arg.empty()) args.push_back(name == "--preview" ? "toast" : "x");
            EXPECT_TRUE(std::holds_alternative<LaunchOptions>(parseLaunch(args, nullptr))) << name;
            EXPECT_NE(launch::usage().find(name), std::string::npos) << name;
        }
}

TEST(ManPages, PagesTellEveryShortcutCommandAndEventInPlainRoff) {
    const std::string page = docs::tarvelaPage("9.8.7"), msg = docs::msgPage("9.8.7");
    EXPECT_NE(page.find("\"Tarvela 9.8.7\""), std::string::npos);
    // Ctrl+Alt+Right: the arrow in ASCII, the modifiers by their X11 names.
    EXPECT_NE(page.find(".B Ctrl+Alt+Right\nFocus next column.\n"), std::string::npos);
    for (Action a : allActions) EXPECT_NE(page.find(docs::roffText(label(a))), std::string::npos) << label(a);
    for (const ipc::CommandDef& c : ipc::commands()) {
        std::string name;
        for (char ch : c.name) name += ch == '-' ? "\\-" : std::string(1, ch);
        EXPECT_NE(msg.find(".TP\n\\fB" + name + "\\fR"), std::string::npos) << c.name;
    }
    for (const std::string& t : ipc::topics()) EXPECT_NE(msg.find(".B " + t + "\n"), std::string::npos) << t;
    for (const std::string& text : {page, msg, docs::bashCompletion()})
        for (unsigned char ch : text) ASSERT_LT(ch, 0x80) << "not ASCII";

    // A line of text that starts like a request, or holds a backslash, stays text.
    EXPECT_EQ(docs::roffText(".hidden\n'quoted \\n ⅓×2…"), "\\&.hidden\n\\&'quoted \\en 1/3x2...");
    EXPECT_EQ(docs::roffText("ünïcode"), "\\[u00FC]n\\[u00EF]code");
}

}  // namespace
}  // namespace tarvela::testing

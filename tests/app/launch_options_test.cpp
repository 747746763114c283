// The command line read once: what each start is asked for, or the line it
// stops with.
#include <gtest/gtest.h>

#include "app/launch_options.h"

namespace tarvela::testing {
namespace {

using Mode = LaunchOptions::Mode;
using Args = std::vector<std::string>;
using Parsed = std::variant<LaunchOptions, LaunchError>;

TEST(LaunchOptions, EachCommandLineIsReadIntoOneValueOrOneError) {
    const struct {
        Args args;
        const char* env;
        Parsed want;
    } cases[] = {
        {{}, nullptr, LaunchOptions{}},
        {{}, "1", LaunchOptions{.mode = Mode::notifyCheck}},
        {{}, "0", LaunchOptions{}},
        // The background check wins wherever it is, even over a mistake.
        {{"--bogus", "--notify-check"}, nullptr, LaunchOptions{.mode = Mode::notifyCheck}},
        {{"msg", "focus", "--help"}, nullptr, LaunchOptions{.mode = Mode::msg, .msgArgs = {"focus", "--help"}}},
        {{"--replace", "msg"}, nullptr, LaunchOptions{.replace = true}},
        {{"--display", ":3", "--replace", "--show-update", "--reset-notifier", "stray"}, nullptr,
         LaunchOptions{.display = ":3", .replace = true, .showUpdate = true, .resetNotifier = true}},
        // A switch's value is never read as a switch of its own.
        {{"--display", "--show-update"}, nullptr, LaunchOptions{.display = "--show-update"}},
        {{"--preview", "settings:Shortcuts", "--preview", "toast"}, nullptr,
         LaunchOptions{.preview = "settings:Shortcuts"}},
        // The first of help, version or a mistake ends the reading.
        {{"--replace", "-h", "--bogus"}, nullptr, LaunchOptions{.mode = Mode::help}},
        {{"--version", "--help"}, nullptr, LaunchOptions{.mode = Mode::version}},
        {{"--bogus", "--help"}, nullptr, LaunchError{"unknown option --bogus (see tarvela --help)"}},
        {{"--display"}, nullptr, LaunchError{"--display needs a display name, e.g. --display :1"}},
        {{"--preview"}, nullptr, LaunchError{"--preview needs a window name, e.g. --preview toast"}},
        {{"--preview", "nonsense", "--help"}, nullptr,
         LaunchError{"unknown preview \"nonsense\"; known: onboarding, settings (or settings:PANE), permission, "
                     "update, save, addapps, toast, popover"}},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        EXPECT_TRUE(parseLaunch(c.args, c.env) == c.want) << line << "(env " << (c.env ? c.env : "unset") << ")";
    }
}

}  // namespace
}  // namespace tarvela::testing

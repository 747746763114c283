// What one start of tarvela was asked for on its command line, read once:
// main() acts on the mode, the platform takes the display, and the shell
// follows the switches of the start sequence.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/option_doc.h"

namespace tarvela {

namespace launch {
// What Tarvela is, in the paragraph `--help` opens with.
extern const char* const summary;
// Every option parseLaunch reads, in the order the help lists them.
const std::vector<OptionDoc>& options();
// The environment variables Tarvela reads: name, then what it means.
struct EnvDoc {
    std::string name;
    std::string help;
};
const std::vector<EnvDoc>& environment();
// What `tarvela --help` prints, from the tables above.
std::string usage();
}  // namespace launch

struct LaunchOptions {
    // Managing the display, or one of the short runs that make no window.
    enum class Mode { manage, notifyCheck, msg, help, version };
    Mode mode = Mode::manage;
    std::vector<std::string> msgArgs{};    // the words after "msg"
    std::string display{};                 // --display NAME; empty: $DISPLAY
    bool replace = false;                  // --replace
    std::optional<std::string> preview{};  // --preview NAME, a known name; the first one given
    bool showUpdate = false;               // --show-update
    bool resetNotifier = false;            // --reset-notifier

    bool operator==(const LaunchOptions&) const = default;
};

// A command line tarvela cannot act on: the line to print after "tarvela: ".
struct LaunchError {
    std::string message;
    bool operator==(const LaunchError&) const = default;
};

// The arguments after the program's name and $TARVELA_NOTIFY_CHECK. The
// background check wins wherever its switch is, then "msg" as the first word;
// otherwise the first of help, version or a mistake ends the reading, and
// words that are not options are ignored.
std::variant<LaunchOptions, LaunchError> parseLaunch(const std::vector<std::string>& args,
                                                     const char* notifyCheckEnv);

}  // namespace tarvela

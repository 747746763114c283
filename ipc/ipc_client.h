// `tarvela msg`: sends one request to the running Tarvela and prints the reply
// (and, with --monitor, every event after it). Runs before any X connection.
#pragma once

#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "core/option_doc.h"
#include "settings/stores.h"

namespace tarvela::ipc {

// The request line for a command and its arguments as typed, each argument
// read as its command's table declares it; the error text for an unknown command.
std::variant<Json, std::string> requestFor(const std::vector<std::string>& words);

// A reply's result or an event as plain text: scalars as they are, objects as
// "key: value" lines, lists of objects as indented items; an event on one line
// ("focus display=0 column=2 ...").
std::string plainResult(const Json& result);
std::string plainEvent(const Json& event);

// The options `tarvela msg` reads before its command, in the order the help lists them.
const std::vector<OptionDoc>& msgOptions();
// What `tarvela msg` does and how it ends, in the paragraph its help opens with.
extern const char* const msgSummary;

// The help text, every option and command from the tables.
std::string msgUsage();

// The whole command: 0 success, 1 an error reply (or a usage error), 2 Tarvela
// not running (or gone while monitoring).
int runMsg(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

}  // namespace tarvela::ipc

// The scripting interface's wire format, shared by Tarvela and `tarvela msg`:
// newline-delimited JSON over a Unix stream socket, one request per line and
// one reply per request, in order.
//
//   request  {"command": "jump", "args": [2]}        ("args" may be left out)
//   reply    {"ok": true, "result": ...}  or  {"ok": false, "error": "..."}
//   event    {"event": "focus", "seq": n, ...}       (after a "subscribe"; n counts
//                                                    this connection's events from 1)
//
// One table names every command with its arguments and its help line; the
// server validates requests against it and the client prints its help from it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "manager/actions.h"
#include "settings/stores.h"

namespace tarvela::ipc {

// A request line longer than this is refused (its bytes are skipped up to the next newline).
inline constexpr size_t maxRequestBytes = 1 << 20;

enum class ArgType {
    integer,  // a JSON integer
    string,   // a JSON string
    value,    // any JSON scalar: string, number or Boolean
    topics,   // a list of event topics, or one string of them separated by commas
};

struct ArgDef {
    std::string name;
    ArgType type = ArgType::string;
    bool optional = false;
};

struct CommandDef {
    std::string name;
    std::vector<ArgDef> args;
    std::string help;
    std::optional<Action> action;  // the keyboard action it performs, if it is one
};

// Every command, in the order the help lists them.
const std::vector<CommandDef>& commands();
const CommandDef* findCommand(std::string_view name);

// The event topics a client may subscribe to.
const std::vector<std::string>& topics();

// What `get` can tell.
const std::vector<std::string>& getTargets();

// A request that matched its command's arguments: the server hands only these on.
struct Request {
    const CommandDef* command = nullptr;
    std::vector<Json> args;  // one per given argument, each of its declared type (topics: an array of strings)
};

// Parses and validates one request line (without its newline); the error text
// names what is wrong.
std::variant<Request, std::string> parseRequest(std::string_view line);

std::string okLine(const Json& result);
std::string errorLine(const std::string& message);

// The socket's name for a display, beside the single-instance files.
std::string socketName(const std::string& display);
// Where a client finds Tarvela: $TARVELA_SOCKET, else the runtime folder's
// socket for `display`.
std::filesystem::path socketPath(const std::string& display);

}  // namespace tarvela::ipc

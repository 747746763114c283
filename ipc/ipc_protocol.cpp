#include "ipc/ipc_protocol.h"

#include <algorithm>
#include <cstdlib>

#include "ipc/single_instance.h"

namespace tarvela::ipc {
namespace {

CommandDef act(std::string name, Action a, std::string help, std::vector<ArgDef> args = {}) {
    return CommandDef{std::move(name), std::move(args), std::move(help), a};
}

std::string typeName(ArgType t) {
    switch (t) {
        case ArgType::integer: return "an integer";
        case ArgType::string: return "a string";
        case ArgType::value: return "a string, number or Boolean";
        case ArgType::topics: return "a list of topics";
    }
    return "?";
}

// Checks one argument against its declared type; topics come back as an array.
std::optional<std::string> check(const CommandDef& c, const ArgDef& a, Json& v) {
    auto wrong = [&] {
        return "argument " + a.name + " of " + c.name + " must be " + typeName(a.type) + ", not " + v.dump();
    };
    switch (a.type) {
        case ArgType::integer:
            if (!v.is_number_integer()) return wrong();
            return std::nullopt;
        case ArgType::string:
            if (!v.is_string()) return wrong();
            return std::nullopt;
        case ArgType::value:
            if (!v.is_string() && !v.is_number() && !v.is_boolean()) return wrong();
            return std::nullopt;
        case ArgType::topics: {
            Json list = Json::array();
            if (v.is_string()) {
                const std::string s = v.get<std::string>();
                size_t start = 0;
                while (start <= s.size()) {
                    size_t comma = s.find(',', start);
                    if (comma == std::string::npos) comma = s.size();
                    if (comma > start) list.push_back(s.substr(start, comma - start));
                    start = comma + 1;
                }
            } else if (v.is_array()) {
                list = v;
            } else {
                return wrong();
            }
            if (list.empty()) return std::string("subscribe needs at least one topic");
            for (const Json& t : list) {
                if (!t.is_string()) return wrong();
                const auto& all = topics();
                if (std::find(all.begin(), all.end(), t.get<std::string>()) == all.end())
                    return "unknown topic " + t.dump();
            }
            v = std::move(list);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

const std::vector<CommandDef>& commands() {
    static const std::vector<CommandDef> table{
        act("focus-right", Action::focusNext, "focus the next column to the right"),
        act("focus-next", Action::focusNext, "the same as focus-right"),
        act("focus-left", Action::focusPrev, "focus the previous column to the left"),
        act("focus-prev", Action::focusPrev, "the same as focus-left"),
        act("jump", Action::jump, "focus column N of the current strip (from 1)", {{"column", ArgType::integer}}),
        act("send-display", Action::sendDisplay, "move the focused window to the next display's strip"),
        act("cycle-width", Action::cycleWidth, "cycle the focused column through ⅓, ½ and ⅔"),
        act("wider", Action::wider, "make the focused column one step wider"),
        act("narrower", Action::narrower, "make the focused column one step narrower"),
        act("stack-left", Action::stackLeft, "stack the focused window into the column on its left"),
        act("float-toggle", Action::floatToggle, "float the focused window, or tile it again"),
        act("overview", Action::overview, "open or close the overview of every strip"),
        act("tile-four", Action::tileFour, "arrange the current strip as a 2×2 grid"),
        act("focus-urgent", Action::focusUrgent, "focus the window that has wanted attention longest"),
        act("move-left", Action::moveLeft, "swap the focused column with its left neighbour"),
        act("move-right", Action::moveRight, "swap the focused column with its right neighbour"),
        act("move-first", Action::moveFirst, "move the focused column to the start of the strip"),
        act("move-last", Action::moveLast, "move the focused column to the end of the strip"),
        act("focus-up", Action::focusUp, "focus the window above in the focused column"),
        act("focus-down", Action::focusDown, "focus the window below in the focused column"),
        act("stack-right", Action::stackRight, "stack the focused window into the column on its right"),
        act("unstack", Action::unstack, "take the focused window out of its column into one of its own"),
        act("focus-first", Action::focusFirst, "focus the first column"),
        act("focus-last", Action::focusLast, "focus the last column"),
        act("center-column", Action::centerColumn, "slide the focused column to the middle once"),
        act("full-width", Action::fullWidth, "make the focused column full width, or give it back its width"),
        act("full-screen", Action::fullScreen, "put the focused window in full screen, or take it out"),
        act("close-window", Action::closeWindow, "ask the focused window to close"),
        {"get",
         {{"what", ArgType::string}, {"name", ArgType::string, true}},
         "tell displays, strips, windows, preferences [NAME], rules, workspaces, version or desktops",
         std::nullopt},
        {"set",
         {{"preference", ArgType::string}, {"value", ArgType::value}},
         "change a preference, as the settings window would",
         std::nullopt},
        {"workspace-save",
         {{"name", ArgType::string}, {"slot", ArgType::integer, true}},
         "save the current strip as a workspace, with an optional shortcut slot 0-9",
         std::nullopt},
        {"workspace-restore", {{"workspace", ArgType::value}}, "restore a saved workspace by name or slot", std::nullopt},
        {"sync", {}, "answer once everything sent before is done and every strip is at rest", std::nullopt},
        {"subscribe",
         {{"topics", ArgType::topics}},
         "receive events: focus, window, strip, workspace, preferences, desktop (comma-separated)",
         std::nullopt},
        {"desktop", {{"desktop", ArgType::value}}, "show desktop N (from 1), or the one of that name", std::nullopt},
        {"move-to-desktop",
         {{"desktop", ArgType::integer}},
         "move the focused window to desktop N (from 1), keeping its width",
         std::nullopt},
        {"rename-desktop",
         {{"desktop", ArgType::integer}, {"name", ArgType::string}},
         "rename desktop N (from 1), as a pager would",
         std::nullopt},
    };
    return table;
}

const CommandDef* findCommand(std::string_view name) {
    for (const CommandDef& c : commands())
        if (c.name == name) return &c;
    return nullptr;
}

const std::vector<std::string>& topics() {
    static const std::vector<std::string> list{"focus", "window", "strip", "workspace", "preferences", "desktop"};
    return list;
}

const std::vector<std::string>& getTargets() {
    static const std::vector<std::string> list{"displays", "strips",     "windows", "preferences",
                                               "rules",    "workspaces", "version", "desktops"};
    return list;
}

std::variant<Request, std::string> parseRequest(std::string_view line) {
    Json j = Json::parse(line.begin(), line.end(), nullptr, false);
    if (j.is_discarded()) return std::string("malformed JSON");
    if (!j.is_object()) return std::string("a request must be a JSON object");
    auto cmd = j.find("command");
    if (cmd == j.end() || !cmd->is_string()) return std::string("a request needs a \"command\" string");
    const std::string name = cmd->get<std::string>();
    const CommandDef* def = findCommand(name);
    if (!def) return "unknown command " + Json(name).dump();
    Json args = Json::array();
    if (auto a = j.find("args"); a != j.end()) {
        if (!a->is_array()) return std::string("\"args\" must be an array");
        args = *a;
    }
    if (args.size() > def->args.size())
        return name + " takes at most " + std::to_string(def->args.size()) + " argument" +
               (def->args.size() == 1 ? "" : "s") + ", got " + std::to_string(args.size());
    Request r{def, {}};
    for (size_t i = 0; i < def->args.size(); ++i) {
        const ArgDef& a = def->args[i];
        if (i >= args.size()) {
            if (a.optional) break;
            return name + " needs its argument " + a.name;
        }
        Json v = args[i];
        if (auto err = check(*def, a, v)) return *err;
        r.args.push_back(std::move(v));
    }
    return r;
}

std::string okLine(const Json& result) {
    Json j{{"ok", true}, {"result", result}};
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string errorLine(const std::string& message) {
    Json j{{"ok", false}, {"error", message}};
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string socketName(const std::string& display) { return SingleInstance::nameFor(display) + "-msg.sock"; }

std::filesystem::path socketPath(const std::string& display) {
    if (const char* s = std::getenv("TARVELA_SOCKET"); s && *s) return s;
    return SingleInstance::defaultDir() / socketName(display);
}

}  // namespace tarvela::ipc

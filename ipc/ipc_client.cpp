#include "ipc/ipc_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ipc/ipc_protocol.h"

namespace tarvela::ipc {
namespace {

// What the user typed need not be UTF-8: shown and sent with replacement
// characters rather than refused by the JSON writer.
std::string text(const Json& v) { return v.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string scalar(const Json& v) {
    if (v.is_string()) return v.get<std::string>();
    if (v.is_null()) return "-";
    return text(v);
}

bool isScalar(const Json& v) { return !v.is_object() && !v.is_array(); }

void render(const Json& v, const std::string& indent, std::string& out) {
    if (v.is_object()) {
        for (auto it = v.begin(); it != v.end(); ++it) {
            const Json& x = it.value();
            const bool flat = isScalar(x) || (x.is_array() && std::all_of(x.begin(), x.end(), isScalar));
            out += indent + it.key() + ":";
            if (flat) {
                out += " ";
                render(x, "", out);
            } else {
                out += "\n";
                render(x, indent + "  ", out);
            }
        }
    } else if (v.is_array() && std::all_of(v.begin(), v.end(), isScalar)) {
        std::string line;
        for (const Json& x : v) line += (line.empty() ? "" : ", ") + scalar(x);
        out += indent + line + "\n";
    } else if (v.is_array()) {
        for (const Json& x : v) {
            std::string item;
            render(x, indent + "  ", item);
            // The item's first line carries the dash.
            if (item.size() >= indent.size() + 2) item.replace(indent.size(), 2, "- ");
            out += item;
        }
    } else {
        out += indent + scalar(v) + "\n";
    }
}

// Reads lines from a blocking socket.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    bool next(std::string& line) {
        for (;;) {
            const size_t nl = buf_.find('\n');
            if (nl != std::string::npos) {
                line = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return true;
            }
            char chunk[65536];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buf_.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    int fd_;
    std::string buf_;
};

}  // namespace

std::variant<Json, std::string> requestFor(const std::vector<std::string>& words) {
    if (words.empty()) return std::string("no command given (see tarvela msg --help)");
    const CommandDef* def = findCommand(words[0]);
    if (!def) return "unknown command " + text(Json(words[0])) + " (see tarvela msg --help)";
    Json args = Json::array();
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& w = words[i];
        const ArgType t = i - 1 < def->args.size() ? def->args[i - 1].type : ArgType::string;
        Json v = w;
        if (t == ArgType::integer || t == ArgType::value) {
            Json parsed = Json::parse(w, nullptr, false);
            if (!parsed.is_discarded() && (t == ArgType::value ? isScalar(parsed) && !parsed.is_null()
                                                                : parsed.is_number_integer()))
                v = std::move(parsed);
        }
        args.push_back(std::move(v));
    }
    return Json{{"command", def->name}, {"args", std::move(args)}};
}

std::string plainResult(const Json& result) {
    if (result.is_null()) return "";
    std::string out;
    render(result, "", out);
    return out;
}

std::string plainEvent(const Json& event) {
    if (!event.is_object()) return text(event) + "\n";
    std::string line = event.value("event", std::string("event"));
    if (event.contains("change")) line += " " + scalar(event["change"]);
    for (auto it = event.begin(); it != event.end(); ++it) {
        if (it.key() == "event" || it.key() == "change") continue;
        std::string v;
        if (it.value().is_array())
            for (const Json& x : it.value()) v += (v.empty() ? "" : ",") + scalar(x);
        else
            v = scalar(it.value());
        // One line per event, whatever a title holds.
        for (char& ch : v)
            if (ch == '\n' || ch == '\r') ch = ' ';
        line += " " + it.key() + "=" + v;
    }
    return line + "\n";
}

const std::vector<OptionDoc>& msgOptions() {
    static const std::vector<OptionDoc> table{
        {{"--json"}, "", "print the raw JSON lines of the reply and the events"},
        {{"-m", "--monitor"}, "", "keep printing events after a subscribe"},
        {{"--socket"}, "PATH", "talk to the Tarvela listening at PATH"},
        {{"-h", "--help"}, "", "print this help and exit"},
    };
    return table;
}

const char* const msgSummary =
    "Sends one command to the Tarvela running on $DISPLAY (or at $TARVELA_SOCKET) and "
    "prints the reply. Exit status: 0 done, 1 error, 2 Tarvela not running.";

std::string msgUsage() {
    std::string s = "Usage: tarvela msg [options] COMMAND [ARGUMENTS]\n\n" + wrapText(msgSummary, 0, 78) +
                    "\nOptions:\n" + formatOptions(msgOptions(), 19, 78) + "\nCommands:\n";
    for (const CommandDef& c : commands()) {
        std::string head = "  " + c.name;
        for (const ArgDef& a : c.args) head += a.optional ? " [" + a.name + "]" : " " + a.name;
        if (head.size() < 34) head.resize(34, ' ');
        else head += "\n" + std::string(34, ' ');
        s += head + c.help + "\n";
    }
    return s;
}

int runMsg(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
    bool json = false, monitor = false;
    std::string socket;
    std::vector<std::string> words;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!words.empty()) words.push_back(a);
        else if (a == "-h" || a == "--help") {
            std::fputs(msgUsage().c_str(), out);
            return 0;
        } else if (a == "--json") json = true;
        else if (a == "-m" || a == "--monitor") monitor = true;
        else if (a == "--socket" && i + 1 < args.size()) socket = args[++i];
        else if (a.rfind("-", 0) == 0 && a.size() > 1) {
            std::fprintf(err, "tarvela msg: unknown option %s (see tarvela msg --help)\n", a.c_str());
            return 1;
        } else words.push_back(a);
    }
    auto request = requestFor(words);
    if (auto* e = std::get_if<std::string>(&request)) {
        std::fprintf(err, "tarvela msg: %s\n", e->c_str());
        return 1;
    }
    const char* display = std::getenv("DISPLAY");
    const std::filesystem::path path = !socket.empty() ? std::filesystem::path(socket) : socketPath(display ? display : "");
    if (socket.empty() && !std::getenv("TARVELA_SOCKET") && (!display || !*display)) {
        std::fprintf(err, "tarvela msg: no display: set DISPLAY or TARVELA_SOCKET\n");
        return 2;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(err, "tarvela msg: Tarvela is not running (%s: %s)\n", path.c_str(), std::strerror(errno));
        if (fd >= 0) ::close(fd);
        return 2;
    }
    const std::string line = text(std::get<Json>(request)) + "\n";
    for (size_t sent = 0; sent < line.size();) {
        const ssize_t n = ::send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            std::fprintf(err, "tarvela msg: Tarvela closed the connection\n");
            ::close(fd);
            return 2;
        }
        sent += static_cast<size_t>(n);
    }
    LineReader reader(fd);
    std::string text;
    if (!reader.next(text)) {
        std::fprintf(err, "tarvela msg: Tarvela closed the connection without a reply\n");
        ::close(fd);
        return 2;
    }
    const Json reply = Json::parse(text, nullptr, false);
    const bool ok = reply.is_object() && reply.value("ok", false);
    if (json) std::fprintf(out, "%s\n", text.c_str());
    else if (ok) std::fputs(plainResult(reply.value("result", Json())).c_str(), out);
    else std::fprintf(err, "tarvela msg: %s\n", reply.is_object() ? reply.value("error", text).c_str() : text.c_str());
    std::fflush(out);
    if (!ok || !monitor) {
        ::close(fd);
        return ok ? 0 : 1;
    }
    while (reader.next(text)) {
        if (json) std::fprintf(out, "%s\n", text.c_str());
        else std::fputs(plainEvent(Json::parse(text, nullptr, false)).c_str(), out);
        // A reader at the other end of a pipe sees each event as it comes.
        std::fflush(out);
    }
    ::close(fd);
    std::fprintf(err, "tarvela msg: Tarvela closed the connection\n");
    return 2;
}

}  // namespace tarvela::ipc

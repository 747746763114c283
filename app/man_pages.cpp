#include "app/man_pages.h"

#include <cstdio>
#include <stdexcept>
#include <utility>

#include "app/launch_options.h"
#include "app/router.h"
#include "core/text.h"
#include "input/hotkeys.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_protocol.h"

namespace tarvela::docs {

namespace {

// The page's own words; the rows they introduce come from the tables.
struct TopicText {
    const char* topic;
    const char* text;
};
constexpr TopicText topicTexts[] = {
    {"focus", "the focused window changed: its display, column, row and window"},
    {"window", "a window came, went or moved to another place in a strip"},
    {"strip", "a strip's layout, column widths or scroll position changed, or a scroll began or ended"},
    {"workspace", "a workspace was saved, restored, or drifted from what was saved"},
    {"preferences", "a preference changed, from the settings window, the popover or a script"},
    {"desktop", "the shown desktop switched, a desktop was renamed, or the number of desktops changed"},
};

const char* topicText(const std::string& topic) {
    for (const TopicText& t : topicTexts)
        if (topic == t.topic) return t.text;
    // The build runs the generator: a topic nobody described stops it there.
    throw std::logic_error("no manual text for the event topic " + topic);
}

std::string ascii(const std::string& text) {
    static const std::pair<const char*, const char*> words[] = {
        {"→", "Right"}, {"←", "Left"}, {"−", "-"},   {"–", "-"},   {"—", "-"},  {"⅓", "1/3"},
        {"½", "1/2"},   {"⅔", "2/3"},  {"×", "x"},   {"…", "..."}, {"“", "\""}, {"”", "\""},
        {"‘", "'"},     {"’", "'"},    {"⌃", "Ctrl"}, {"⌥", "Alt"}, {"⇧", "Shift"}, {"⌘", "Super"},
    };
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t at = i;
        const char32_t cp = nextCodePoint(text, i);
        if (cp < 0x80) {
            out += static_cast<char>(cp);
            continue;
        }
        const std::string ch = text.substr(at, i - at);
        bool named = false;
        for (const auto& [from, to] : words)
            if (ch == from) {
                out += to;
                named = true;
            }
        if (!named) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\[u%04X]", static_cast<unsigned>(cp));
            out += buf;
        }
    }
    return out;
}

// An option, command or file name: every hyphen a minus sign, as typed.
std::string literal(const std::string& s) {
    std::string out;
    for (char c : s) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

std::string keys(const KeyBinding& b) {
    std::string out;
    for (const std::string& cap : b.caps()) out += (out.empty() ? "" : "+") + ascii(cap);
    return out;
}

std::string optionItems(const std::vector<OptionDoc>& options) {
    std::string out;
    for (const OptionDoc& o : options) {
        out += ".TP\n";
        std::string head;
        for (const std::string& n : o.names) head += (head.empty() ? "\\fB" : ", \\fB") + literal(n) + "\\fR";
        if (!o.arg.empty()) head += " \\fI" + roffText(o.arg) + "\\fR";
        out += head + "\n" + roffText(o.help) + ".\n";
    }
    return out;
}

std::string header(const std::string& name, const std::string& version, const std::string& what) {
    return ".\\\" Written by the build from the tables behind --help; edit those, not this.\n"
           ".TH " + name + " 1 \"\" \"Tarvela " + version + "\" \"User Commands\"\n"
           // Ragged right, unbroken words: option names and paths stay whole.
           ".ad l\n.nh\n"
           ".SH NAME\n" + literal(name == "TARVELA" ? "tarvela" : "tarvela-msg") + " \\- " + what + "\n";
}

std::string para(const std::string& text) { return ".PP\n" + roffText(text) + "\n"; }

}  // namespace

std::string roffText(const std::string& text) {
    // Backslashes first: the ASCII spelling of a character may bring its own.
    std::string plain;
    for (char c : text) plain += c == '\\' ? std::string("\\e") : std::string(1, c);
    std::string out;
    bool lineStart = true;
    for (char c : ascii(plain)) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string tarvelaPage(const std::string& version) {
    std::string p = header("TARVELA", version, "a scrolling window manager for X11");
    p += ".SH SYNOPSIS\n.B tarvela\n.RI [ options ]\n.br\n.B tarvela msg\n.RI [ options ] \" command \" [ arguments ]\n";
    p += ".SH DESCRIPTION\n" + para(launch::summary);
    p += para("Started a second time on the same display, it brings the running one forward: its windows, or "
              "else its settings. The applications menu entry Tarvela Settings does just that.");
    p += ".SH OPTIONS\n" + optionItems(launch::options());
    p += ".SH SHORTCUTS\n" + para("The default global shortcuts; the Shortcuts settings change them.");
    for (Action a : allActions) p += ".TP\n.B " + keys(defaultBinding(a)) + "\n" + roffText(label(a)) + ".\n";
    p += ".TP\n.B Ctrl+Alt+0-9\nRestore the workspace saved with that shortcut slot.\n";
    p += ".SH FILES\n";
    p += ".TP\n.I $XDG_CONFIG_HOME/tarvela/app.tarvela.plist\nThe settings (see TARVELA_DEFAULTS).\n";
    p += ".TP\n.I $XDG_CONFIG_HOME/autostart/\nWhere the start-at-login entry goes when that setting is on.\n";
    p += ".TP\n.I $XDG_RUNTIME_DIR/" + literal(ipc::socketName(":0")) + "\n" +
         roffText("The scripting socket of the Tarvela on display :0, beside its single-instance lock.") + "\n";
    p += ".SH ENVIRONMENT\n";
    for (const launch::EnvDoc& e : launch::environment())
        p += ".TP\n.B " + literal(e.name) + "\n" + roffText(e.help) + ".\n";
    p += ".SH SIGNALS\n.TP\n.BR SIGINT \", \" SIGTERM\n"
         "Tarvela stops managing the display and exits; the applications' windows stay open.\n"
         ".TP\n.B SIGPIPE\nIgnored: a script that stops reading does not end Tarvela.\n";
    p += ".SH EXIT STATUS\n.TP\n.B 0\nDone, or another Tarvela on the display was brought forward.\n"
         ".TP\n.B 1\nThe display could not be managed, or the X server went away.\n"
         ".TP\n.B 2\nThe command line was not understood.\n";
    p += ".SH SEE ALSO\n.BR tarvela\\-msg (1),\n.BR Xsession (5)\n";
    return p;
}

std::string msgPage(const std::string& version) {
    std::string p = header("TARVELA-MSG", version, "send commands to a running Tarvela");
    p += ".SH SYNOPSIS\n.B tarvela msg\n.RI [ options ] \" command \" [ arguments ]\n";
    p += ".SH DESCRIPTION\n" + para(ipc::msgSummary);
    p += para("Arguments are read as each command declares them: integers as numbers, other words as strings, "
              "true and false as Booleans.");
    p += ".SH OPTIONS\n" + optionItems(ipc::msgOptions());
    p += ".SH COMMANDS\n";
    for (const ipc::CommandDef& c : ipc::commands()) {
        std::string head = "\\fB" + literal(c.name) + "\\fR";
        for (const ipc::ArgDef& a : c.args)
            head += a.optional ? " [\\fI" + literal(a.name) + "\\fR]" : " \\fI" + literal(a.name) + "\\fR";
        p += ".TP\n" + head + "\n" + roffText(c.help);
        if (c.action) p += " (the shortcut " + keys(defaultBinding(*c.action)) + ")";
        p += ".\n";
    }
    std::string targets;
    for (const std::string& t : ipc::getTargets()) targets += (targets.empty() ? "" : ", ") + t;
    p += para("get tells one of: " + targets + ".");
    p += ".SH EVENTS\n" + para("After subscribe, each event is one line with the topic and its fields "
                               "(one JSON object with --json): ");
    for (const std::string& t : ipc::topics()) p += ".TP\n.B " + literal(t) + "\n" + roffText(topicText(t)) + ".\n";
    p += ".SH EXIT STATUS\n.TP\n.B 0\nThe command was done.\n"
         ".TP\n.B 1\nThe command was refused, or the command line was not understood.\n"
         ".TP\n.B 2\nNo Tarvela is running there, or it closed the connection.\n";
    p += ".SH EXAMPLES\n.TP\n.B tarvela msg jump 2\nFocus the second column.\n"
         ".TP\n.B tarvela msg set blur false\nTurn a preference off.\n"
         ".TP\n.B tarvela msg \\-m subscribe focus,window\nPrint a line for every change of focus or windows.\n";
    p += ".SH SEE ALSO\n.BR tarvela (1)\n";
    return p;
}

}  // namespace tarvela::docs

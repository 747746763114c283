#include <sstream>

#include "app/launch_options.h"
#include "app/man_pages.h"
#include "app/router.h"
#include "ipc/ipc_client.h"
#include "ipc/ipc_protocol.h"

namespace tarvela::docs {

namespace {

std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

std::vector<std::string> spellings(const std::vector<OptionDoc>& options, bool withValue) {
    std::vector<std::string> out;
    for (const OptionDoc& o : options)
        if (!withValue || !o.arg.empty())
            for (const std::string& n : o.names) out.push_back(n);
    return out;
}

std::vector<std::string> commandNames() {
    std::vector<std::string> out;
    for (const ipc::CommandDef& c : ipc::commands()) out.push_back(c.name);
    return out;
}

// The first word of each name --preview accepts.
std::vector<std::string> previewNames() {
    std::vector<std::string> out;
    std::istringstream in(preview::knownNames);
    std::string item;
    while (std::getline(in, item, ',')) {
        const size_t start = item.find_first_not_of(' ');
        const size_t end = item.find_first_of(" (", start);
        out.push_back(item.substr(start, end - start));
    }
    return out;
}

// In zsh's single quotes: no quote ends it early and, in an _arguments
// description (`brackets`), no bracket or colon ends the description.
std::string zshQuoted(const std::string& s, bool brackets = true) {
    std::string out;
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else if (brackets && (c == '[' || c == ']' || c == ':')) out += std::string("\\") + c;
        else out += c;
    }
    return out;
}

std::string zshOptions(const std::vector<OptionDoc>& options, const std::string& skip) {
    std::string out;
    for (const OptionDoc& o : options) {
        if (o.names.front() == skip) continue;
        std::string entry;
        if (o.names.size() > 1) {
            entry = "'(" + join(o.names) + ")'{";
            for (size_t i = 0; i < o.names.size(); ++i) entry += (i ? "," : "") + o.names[i];
            entry += "}'";
        } else {
            entry = "'" + o.names.front();
        }
        entry += "[" + zshQuoted(o.help) + "]";
        if (o.arg == "PATH") entry += ":path:_files";
        else if (o.names.front() == "--preview") entry += ":window:(" + join(previewNames()) + ")";
        else if (!o.arg.empty()) entry += ":" + zshQuoted(o.arg) + ":";
        out += "    " + entry + "' \\\n";
    }
    return out;
}

}  // namespace

std::string bashCompletion() {
    return "# bash completion for tarvela and tarvela msg; written by the build from their tables.\n"
           "_tarvela() {\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} i command=\n"
           "    COMPREPLY=()\n"
           "    if [[ ${COMP_WORDS[1]} == msg ]] && ((COMP_CWORD > 1)); then\n"
           "        for ((i = 2; i < COMP_CWORD; i++)); do\n"
           "            case ${COMP_WORDS[i]} in\n"
           "                " + join(spellings(ipc::msgOptions(), true)) + ") ((i++)) ;;\n"
           "                -*) ;;\n"
           "                *) command=${COMP_WORDS[i]}; break ;;\n"
           "            esac\n"
           "        done\n"
           "        if [[ -z $command ]]; then\n"
           "            case $prev in\n"
           "                --socket) COMPREPLY=($(compgen -f -- \"$cur\")) ;;\n"
           "                *) if [[ $cur == -* ]]; then\n"
           "                       COMPREPLY=($(compgen -W '" + join(spellings(ipc::msgOptions(), false)) + "' -- \"$cur\"))\n"
           "                   else\n"
           "                       COMPREPLY=($(compgen -W '" + join(commandNames()) + "' -- \"$cur\"))\n"
           "                   fi ;;\n"
           "            esac\n"
           "        elif ((COMP_CWORD == i + 1)); then\n"
           "            case $command in\n"
           "                get) COMPREPLY=($(compgen -W '" + join(ipc::getTargets()) + "' -- \"$cur\")) ;;\n"
           "                subscribe) COMPREPLY=($(compgen -W '" + join(ipc::topics()) + "' -- \"$cur\")) ;;\n"
           "            esac\n"
           "        fi\n"
           "        return 0\n"
           "    fi\n"
           "    case $prev in\n"
           "        --preview) COMPREPLY=($(compgen -W '" + join(previewNames()) + "' -- \"$cur\")) ;;\n"
           "        --display) ;;\n"
           "        *) COMPREPLY=($(compgen -W '" + join(spellings(launch::options(), false)) + "' -- \"$cur\")) ;;\n"
           "    esac\n"
           "    return 0\n"
           "}\n"
           "complete -F _tarvela tarvela\n";
}

std::string zshCompletion() {
    std::string commands;
    for (const ipc::CommandDef& c : ipc::commands()) commands += "    '" + c.name + ":" + zshQuoted(c.help, false) + "'\n";
    return "#compdef tarvela\n"
           "# zsh completion for tarvela and tarvela msg; written by the build from their tables.\n"
           "local -a commands\n"
           "commands=(\n" + commands + ")\n"
           "if [[ $words[2] == msg ]]; then\n"
           "  shift words\n"
           "  (( CURRENT-- ))\n"
           "  local state\n"
           "  _arguments -s \\\n" + zshOptions(ipc::msgOptions(), "") +
           "    '1:command:->command' \\\n"
           "    '*::argument:->argument'\n"
           "  case $state in\n"
           "    command) _describe -t commands command commands ;;\n"
           "    argument)\n"
           "      case $words[1] in\n"
           "        get) (( CURRENT == 2 )) && _values target " + join(ipc::getTargets()) + " ;;\n"
           "        subscribe) (( CURRENT == 2 )) && _values -s , topic " + join(ipc::topics()) + " ;;\n"
           "      esac ;;\n"
           "  esac\n"
           "else\n"
           "  _arguments -s \\\n" + zshOptions(launch::options(), "msg") +
           "    '1: :(msg)'\n"
           "fi\n";
}

}  // namespace tarvela::docs

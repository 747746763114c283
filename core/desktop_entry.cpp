#include "core/desktop_entry.h"

#include <algorithm>

#include "core/text.h"

namespace tarvela {
namespace {

std::string unescapeValue(std::string_view v) {
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        char n = v[++i];
        switch (n) {
            case 's': out += ' '; break;
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '\\': out += '\\'; break;
            default: out += '\\'; out += n;
        }
    }
    return out;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> desktopEntryKeys(std::string_view text) {
    std::vector<std::pair<std::string, std::string>> out;
    bool inMain = false;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trim(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inMain = line == "[Desktop Entry]";
            continue;
        }
        const size_t eq = line.find('=');
        if (!inMain || eq == std::string_view::npos) continue;
        out.emplace_back(trim(line.substr(0, eq)), unescapeValue(trim(line.substr(eq + 1))));
    }
    return out;
}

}  // namespace tarvela

#include "platform/x11/desktop_entries.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/desktop_entry.h"
#include "core/xdg_dirs.h"

namespace tarvela::x11 {

namespace fs = std::filesystem;

namespace {
std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

}  // namespace

std::optional<DesktopEntry> parseDesktopEntry(const std::string& id, const std::string& text) {
    DesktopEntry e;
    e.id = id;
    std::string type;
    // NoDisplay only hides an entry from menus: it is still launchable.
    for (const auto& [key, value] : desktopEntryKeys(text)) {
        if (key == "Type") type = value;
        else if (key == "Name") e.name = value;
        else if (key == "Exec") e.exec = value;
        else if (key == "TryExec") e.tryExec = value;
        else if (key == "StartupWMClass") e.startupWMClass = value;
        else if (key == "Hidden") e.hidden = value == "true";
    }
    if (type != "Application") return std::nullopt;
    return e;
}

std::vector<std::string> execArguments(const std::string& exec) {
    std::vector<std::string> args;
    std::string cur;
    bool inQuotes = false, have = false;
    auto flush = [&] {
        if (have) args.push_back(cur);
        cur.clear();
        have = false;
    };
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (inQuotes) {
            if (c == '"') {
                inQuotes = false;
            } else if (c == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
                cur += exec[++i];
            } else {
                cur += c;
            }
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            have = true;
        } else if (c == ' ' || c == '\t') {
            flush();
        } else if (c == '%' && i + 1 < exec.size()) {
            char code = exec[++i];
            if (code == '%') {
                cur += '%';
                have = true;
            }
            // Every other field code stands for files, URLs or icons we never pass.
        } else {
            cur += c;
            have = true;
        }
    }
    if (inQuotes) return {};
    flush();
    // A field code alone makes an empty argument: drop it, not pass "".
    std::erase_if(args, [](const std::string& a) { return a.empty(); });
    return args;
}

std::vector<std::string> applicationDirs() {
    std::vector<std::string> dirs;
    for (const fs::path& d : xdgDataDirs()) dirs.push_back((d / "applications").string());
    return dirs;
}

void DesktopIndex::load(const std::vector<std::string>& dirs) {
    entries_.clear();
    for (const auto& dir : dirs) {
        std::error_code ec;
        if (!fs::is_directory(dir, ec)) continue;
        for (auto it = fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const fs::path& p = it->path();
            if (p.extension() != ".desktop" || !it->is_regular_file(ec)) continue;
            std::string rel = fs::relative(p, dir, ec).string();
            if (ec) continue;
            std::string id = rel.substr(0, rel.size() - 8);
            std::replace(id.begin(), id.end(), '/', '-');
            if (entries_.count(id)) continue;
            std::ifstream f(p);
            std::stringstream ss;
            ss << f.rdbuf();
            if (auto e = parseDesktopEntry(id, ss.str())) entries_.emplace(id, std::move(*e));
        }
    }
}

const DesktopEntry* DesktopIndex::byId(const std::string& id) const {
    auto it = entries_.find(id);
    return it == entries_.end() || it->second.hidden ? nullptr : &it->second;
}

const DesktopEntry* DesktopIndex::byWMClass(const std::string& instance, const std::string& cls) const {
    if (cls.empty() && instance.empty()) return nullptr;
    for (auto& [id, e] : entries_)
        if (!e.hidden && !e.startupWMClass.empty() && e.startupWMClass == cls) return &e;
    const std::string lc = lower(cls), li = lower(instance);
    for (auto& [id, e] : entries_) {
        if (e.hidden) continue;
        const std::string lid = lower(id);
        if ((!lc.empty() && lid == lc) || (!li.empty() && lid == li)) return &e;
    }
    return nullptr;
}

}  // namespace tarvela::x11

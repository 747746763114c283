#include "core/xdg_dirs.h"

#include <cstdlib>
#include <string_view>

namespace tarvela {

namespace fs = std::filesystem;

fs::path xdgBaseDir(const char* var, const char* underHome) {
    if (const char* x = std::getenv(var); x && *x && fs::path(x).is_absolute()) return x;
    if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home) / underHome;
    return underHome;
}

std::vector<fs::path> xdgDataDirs() {
    std::vector<fs::path> dirs{xdgBaseDir("XDG_DATA_HOME", ".local/share")};
    for (const std::string& d : folderList(std::getenv("XDG_DATA_DIRS"), "/usr/local/share:/usr/share"))
        dirs.push_back(d);
    return dirs;
}

std::vector<std::string> folderList(const char* value, const char* fallback) {
    std::string_view s = value && *value ? value : fallback;
    std::vector<std::string> out;
    while (!s.empty()) {
        const size_t colon = std::min(s.find(':'), s.size());
        if (colon > 0) out.emplace_back(s.substr(0, colon));
        s.remove_prefix(std::min(colon + 1, s.size()));
    }
    return out;
}

}  // namespace tarvela

// Writes the manual pages and shell completions into one folder at build
// time, from the same tables the executable prints its help from.
#include <cstdio>
#include <fstream>
#include <string>

#include "app/man_pages.h"
#include "settings/app_info.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    using namespace tarvela;
    const std::string dir = argv[1];
    const std::string version = AppInfo::version();
    const std::pair<const char*, std::string> files[] = {
        {"tarvela.1", docs::tarvelaPage(version)},
        {"tarvela-msg.1", docs::msgPage(version)},
        {"tarvela.bash", docs::bashCompletion()},
        {"_tarvela", docs::zshCompletion()},
    };
    for (const auto& [name, text] : files) {
        std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) {
            std::fprintf(stderr, "%s: cannot write %s/%s\n", argv[0], dir.c_str(), name);
            return 1;
        }
    }
    return 0;
}

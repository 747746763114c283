// The desktop-entry format, as applications' .desktop files and autostart
// entries are written: only the [Desktop Entry] group describes the program;
// the groups after it (actions) have keys of their own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvela {

// The [Desktop Entry] group's keys and values in file order, both trimmed and
// the values unescaped (\s \n \t \r \\). Comments, blank lines and lines
// without "=" are skipped; a key given twice is there twice.
std::vector<std::pair<std::string, std::string>> desktopEntryKeys(std::string_view text);

}  // namespace tarvela

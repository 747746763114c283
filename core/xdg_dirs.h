// The XDG base folders: where settings, caches, state and applications' desktop
// entries live, for every layer that reads or writes them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvela {

// $`var` when it holds an absolute path (a relative one is ignored, as the
// base-directory rules say), else `underHome` below $HOME; without a HOME,
// `underHome` below the working folder. ("XDG_CONFIG_HOME", ".config") is
// ~/.config.
std::filesystem::path xdgBaseDir(const char* var, const char* underHome);

// Where desktop entries live, most important first: $XDG_DATA_HOME (or
// ~/.local/share), then each of $XDG_DATA_DIRS (or /usr/local/share:/usr/share).
std::vector<std::filesystem::path> xdgDataDirs();

// The folders of a colon-separated list ($PATH, $XDG_DATA_DIRS), empty entries
// left out; `fallback`'s when the value is unset or empty.
std::vector<std::string> folderList(const char* value, const char* fallback);

}  // namespace tarvela

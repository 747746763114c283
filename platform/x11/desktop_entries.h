// XDG desktop entries: the installed applications by desktop-file id, how to
// start one (its Exec line without field codes), and which entry a window's
// WM_CLASS belongs to. The id is the application's bundle identifier here.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarvela::x11 {

struct DesktopEntry {
    std::string id;  // "org.gnome.Terminal" for .../applications/org.gnome.Terminal.desktop
    std::string name;
    std::string exec;
    std::string tryExec;
    std::string startupWMClass;
    bool hidden = false;  // Hidden=true: the entry is deleted as far as users go
};

// The [Desktop Entry] group of a file's text; none when it is not an application.
std::optional<DesktopEntry> parseDesktopEntry(const std::string& id, const std::string& text);

// The Exec line split into arguments, quoting resolved and field codes dropped
// ("%%" is a literal percent). Empty for a malformed line (unbalanced quote).
std::vector<std::string> execArguments(const std::string& exec);

// The "applications" folder of each XDG data folder, most important first.
std::vector<std::string> applicationDirs();

class DesktopIndex {
public:
    // Reads every *.desktop under the given directories; an id found twice keeps the first.
    void load(const std::vector<std::string>& dirs);
    const DesktopEntry* byId(const std::string& id) const;
    // The entry for a window's WM_CLASS: StartupWMClass equal to the class, else
    // an id equal to the class or instance (letter case ignored).
    const DesktopEntry* byWMClass(const std::string& instance, const std::string& cls) const;
    size_t size() const { return entries_.size(); }

private:
    std::map<std::string, DesktopEntry> entries_;
};

}  // namespace tarvela::x11

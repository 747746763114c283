#include "settings/login_item.h"

#include <fstream>
#include <sstream>

#include "core/desktop_entry.h"
#include "core/xdg_dirs.h"
#include "settings/defaults_file.h"

namespace tarvela {
namespace fs = std::filesystem;

XdgAutostart::XdgAutostart(fs::path dir, fs::path executable) : dir_(std::move(dir)), executable_(std::move(executable)) {}

fs::path XdgAutostart::defaultDir() { return xdgBaseDir("XDG_CONFIG_HOME", ".config") / "autostart"; }

XdgAutostart& XdgAutostart::standard() {
    static XdgAutostart* instance = [] {
        std::error_code ec;
        fs::path exe = fs::read_symlink("/proc/self/exe", ec);
        return new XdgAutostart(defaultDir(), ec ? fs::path("tarvela") : exe);
    }();
    return *instance;
}

LoginItemStatus XdgAutostart::status() {
    std::ifstream in(entryPath());
    if (!in) return LoginItemStatus::notRegistered;
    std::stringstream text;
    text << in.rdbuf();
    for (const auto& [key, value] : desktopEntryKeys(text.str()))
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return LoginItemStatus::notRegistered;
    return LoginItemStatus::enabled;
}

std::optional<std::string> XdgAutostart::registerApp() {
    std::string exe = executable_.string();
    if (exe.find_first_of("\n\r") != std::string::npos)
        return "the application's path cannot be written into an autostart entry";
    std::error_code ec;
    fs::create_directories(dir_, ec);
    if (ec) return "create " + dir_.string() + ": " + ec.message();
    std::ostringstream text;
    text << "[Desktop Entry]\n"
         << "Type=Application\n"
         << "Name=Tarvela\n"
         << "Comment=Scrolling-strip window manager\n"
         << "Exec=" << execLine(exe) << "\n"
         << "Terminal=false\n"
         << "X-GNOME-Autostart-enabled=true\n";
    return replaceFileAtomically(entryPath(), text.str());
}

std::optional<std::string> XdgAutostart::unregisterApp() {
    std::error_code ec;
    fs::remove(entryPath(), ec);  // an entry that is already gone is no failure
    if (ec) return "remove " + entryPath().string() + ": " + ec.message();
    return std::nullopt;
}

std::string XdgAutostart::execLine(const std::string& executable) {
    // Desktop entries: an argument with reserved characters goes in double
    // quotes, inside which " ` $ \ take a backslash; then the value as a whole
    // escapes each backslash once more, and a literal % is doubled.
    const std::string reserved = " \t\"'\\><~|&;$*?#()`";
    bool quote = executable.empty() || executable.find_first_of(reserved) != std::string::npos;
    std::string arg;
    for (char c : executable) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) arg += '\\';
        arg += c;
    }
    if (quote) arg = "\"" + arg + "\"";
    std::string out;
    for (char c : arg) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

}  // namespace tarvela

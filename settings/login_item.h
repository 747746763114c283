// Registration of the application as a login item ("open at login"). The
// preferences ask a LoginItemService; on Linux it is an XDG autostart entry,
// ~/.config/autostart/app.tarvela.desktop (the folder is injectable for tests).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarvela {

enum class LoginItemStatus { notRegistered, enabled, requiresApproval, notFound };

class LoginItemService {
public:
    virtual ~LoginItemService() = default;
    virtual LoginItemStatus status() = 0;
    // Each gives none on success, else a description of what went wrong.
    virtual std::optional<std::string> registerApp() = 0;
    virtual std::optional<std::string> unregisterApp() = 0;
};

// An autostart entry in `dir` named app.tarvela.desktop that runs `executable`.
// It counts as enabled only while the file exists and is not switched off by the
// desktop ("Hidden=true" or "X-GNOME-Autostart-enabled=false"); a user who
// switched it off in the desktop's own settings sees it off here too.
class XdgAutostart final : public LoginItemService {
public:
    XdgAutostart(std::filesystem::path dir, std::filesystem::path executable);

    // $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset), running this
    // process's own executable.
    static XdgAutostart& standard();
    static std::filesystem::path defaultDir();

    LoginItemStatus status() override;
    std::optional<std::string> registerApp() override;
    std::optional<std::string> unregisterApp() override;

    std::filesystem::path entryPath() const { return dir_ / "app.tarvela.desktop"; }
    // The Exec= value for `executable`, quoted and escaped as desktop entries require.
    static std::string execLine(const std::string& executable);

private:
    std::filesystem::path dir_;
    std::filesystem::path executable_;
};

}  // namespace tarvela

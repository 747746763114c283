// The diagnostics report: a few lines about the application's state (never a
// window title or a file path), written to "Tarvela diagnostics.txt" in the
// temporary folder and handed to the e-mail composer addressed to support, or
// shown in the file manager when there is no composer.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/enums.h"

namespace tarvela {

struct StripReport {
    int index = 0;
    std::string shortName;  // the display's short name
    int columns = 0;
    int windows = 0;  // in all its columns
    Layout layout = Layout::strip;
};

// What the window manager reports about itself.
struct ManagerReport {
    bool trusted = false;
    bool on = false;
    bool paused = false;
    int displays = 0;
    std::vector<StripReport> strips;
};

// The report's lines joined by line feeds, with no final one.
std::string diagnosticsReport(const std::string& version, const std::string& osLine, const ManagerReport& m);

// The operating-system line: the system's name and release ("Linux 6.1.0-18-amd64").
std::string operatingSystemLine();

// The platform's e-mail composer and file-manager reveal.
class MailService {
public:
    virtual ~MailService() = default;
    virtual bool canCompose() = 0;
    virtual void compose(const std::string& recipient, const std::string& subject, const std::string& text,
                         const std::filesystem::path& attachment) = 0;
    virtual void reveal(const std::filesystem::path& file) = 0;
};

inline constexpr const char* diagnosticsFileName = "Tarvela diagnostics.txt";

// Writes the report into `folder` (replacing an earlier one; a failed write is
// ignored) and hands it over. Returns the file's path.
std::filesystem::path sendDiagnostics(const std::string& report, const std::filesystem::path& folder,
                                      MailService& mail);

// On Linux: `xdg-email` with the file attached when it is installed, else
// `xdg-open` of the file's folder. Programs are started detached, never through
// a shell; `spawn` and `findProgram` are injectable so tests run nothing.
class XdgMailService final : public MailService {
public:
    using Spawn = std::function<bool(const std::vector<std::string>& argv)>;
    using FindProgram = std::function<bool(const std::string& name)>;

    XdgMailService();
    XdgMailService(Spawn spawn, FindProgram findProgram);

    bool canCompose() override;
    void compose(const std::string& recipient, const std::string& subject, const std::string& text,
                 const std::filesystem::path& attachment) override;
    void reveal(const std::filesystem::path& file) override;

private:
    Spawn spawn_;
    FindProgram find_;
};

}  // namespace tarvela

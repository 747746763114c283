#include "settings/diagnostics.h"

#include <sys/utsname.h>

#include "core/processes.h"
#include "settings/app_info.h"
#include "settings/export.h"

namespace tarvela {

namespace {
const char* yesNo(bool b) { return b ? "true" : "false"; }
}  // namespace

std::string diagnosticsReport(const std::string& version, const std::string& osLine, const ManagerReport& m) {
    std::vector<std::string> lines{
        "Tarvela " + version,
        osLine,
        std::string("Accessibility: ") + yesNo(m.trusted),
        std::string("On: ") + yesNo(m.on) + " Paused: " + yesNo(m.paused),
        "Displays: " + std::to_string(m.displays),
    };
    for (auto& s : m.strips)
        lines.push_back("Display " + std::to_string(s.index) + " " + s.shortName + ": " + std::to_string(s.columns) +
                        " columns, " + std::to_string(s.windows) + " windows, layout " +
                        std::string(rawValue(s.layout)));
    lines.push_back("Window titles and file paths are never included.");
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i];
    }
    return out;
}

std::string operatingSystemLine() {
    struct utsname u {};
    if (::uname(&u) != 0) return "Linux";
    return std::string(u.sysname) + " " + u.release;
}

std::filesystem::path sendDiagnostics(const std::string& report, const std::filesystem::path& folder,
                                      MailService& mail) {
    auto file = folder / diagnosticsFileName;
    (void)writeFileAtomically(file, report);
    if (mail.canCompose())
        mail.compose(AppInfo::supportAddress, "Tarvela diagnostics", "Diagnostics attached.", file);
    else
        mail.reveal(file);
    return file;
}

XdgMailService::XdgMailService()
    : XdgMailService([](const std::vector<std::string>& argv) { return startDetached(argv); }, programExists) {}

XdgMailService::XdgMailService(Spawn spawn, FindProgram findProgram)
    : spawn_(std::move(spawn)), find_(std::move(findProgram)) {}

bool XdgMailService::canCompose() { return find_("xdg-email"); }

void XdgMailService::compose(const std::string& recipient, const std::string& subject, const std::string& text,
                             const std::filesystem::path& attachment) {
    // xdg-email takes the address last; everything is passed as separate
    // arguments, so nothing in them is ever interpreted by a shell.
    bool started = spawn_({"xdg-email", "--subject", subject, "--body", text, "--attach", attachment.string(),
                           recipient});
    if (!started) reveal(attachment);
}

void XdgMailService::reveal(const std::filesystem::path& file) {
    auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    spawn_({"xdg-open", folder.string()});
}

}  // namespace tarvela

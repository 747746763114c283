#include "settings/export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tarvela {

std::string encodeExportBundle(const ExportBundle& b) {
    // nlohmann's objects keep their members sorted, which gives the sorted keys.
    Json j = {{"rules", rulesToJSON(b.rules)},
              {"shortcuts", bindingsToJSON(b.shortcuts)},
              {"workspaces", workspacesToJSON(b.workspaces)}};
    return dumpJSON(j, 2);
}

ExportBundle decodeExportBundle(const Data& data) {
    Json j = parseJSON(data);
    decode::object(j, "");
    ExportBundle b;
    b.workspaces = workspacesFromJSON(decode::member(j, "workspaces", ""), "workspaces");
    b.rules = rulesFromJSON(decode::member(j, "rules", ""), "rules");
    b.shortcuts = bindingsFromJSON(decode::member(j, "shortcuts", ""), "shortcuts");
    return b;
}

std::optional<Data> ExportImport::exportBundle() const {
    return toData(encodeExportBundle({workspaces_.items(), rules_.rules(), shortcuts_.bindings()}));
}

std::string ExportImport::importBundle(const Data& data) {
    ExportBundle b = decodeExportBundle(data);
    std::string summary = "Imported " + std::to_string(b.workspaces.size()) + " workspaces, " +
                          std::to_string(b.rules.size()) + " rules and " + std::to_string(b.shortcuts.size()) +
                          " custom shortcuts";
    workspaces_.setItems(std::move(b.workspaces));
    rules_.setRules(std::move(b.rules));
    shortcuts_.setBindings(std::move(b.shortcuts));
    return summary;
}

std::string ExportImport::exportTo(const std::filesystem::path& path) const {
    auto data = exportBundle();
    if (!data) return {};
    if (auto err = writeFileAtomically(path, std::string(data->begin(), data->end())))
        return "Couldn’t save: " + *err;
    return "Saved to " + path.filename().string();
}

std::string ExportImport::importFrom(const std::filesystem::path& path) {
    static const std::string refused = "That file isn’t a Tarvela export.";
    auto data = readWholeFile(path);
    if (!data) return refused;
    try {
        return importBundle(*data);
    } catch (const DecodeError&) {
        return refused;
    }
}

namespace {

mode_t processUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    return 022;
}

bool writeAll(int fd, const std::string& s) {
    size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, const std::string& contents) {
    auto dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return std::string(std::strerror(errno));
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~processUmask());
    bool ok = writeAll(fd, contents) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(tmpl.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        return std::string(std::strerror(err));
    }
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return std::nullopt;
}

std::optional<Data> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) return std::nullopt;
    auto s = buf.str();
    return Data(s.begin(), s.end());
}

}  // namespace tarvela

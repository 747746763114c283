#include "settings/defaults_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/log.h"
#include "core/xdg_dirs.h"
#include "settings/plist.h"

namespace tarvela {
namespace fs = std::filesystem;
namespace {

std::string errnoText(int err) { return std::strerror(err); }

// The whole file, or none with errno-style `err` (ENOENT when it does not exist).
std::optional<std::string> readWhole(const fs::path& file, int& err) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        err = errno;
        return std::nullopt;
    }
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    err = 0;
    return out;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool fsyncDir(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// An exclusive flock on "<file>.lock" for as long as it lives. Opened afresh
// each time: a descriptor inherited across fork() would share its lock.
class FileLock {
public:
    explicit FileLock(const fs::path& file) {
        std::string lockPath = file.string() + ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = "open " + lockPath + ": " + errnoText(errno);
            return;
        }
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            error_ = "lock " + lockPath + ": " + errnoText(errno);
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    const std::optional<std::string>& error() const { return error_; }

private:
    int fd_ = -1;
    std::optional<std::string> error_;
};

std::string timestamp() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// What the file on disk holds right now.
struct DiskState {
    enum Kind { missing, good, bad, unreadable } kind = missing;
    std::optional<PlistDict> dict;
    std::string problem;  // for bad and unreadable
};

DiskState readDisk(const fs::path& file) {
    DiskState s;
    int err = 0;
    auto text = readWhole(file, err);
    if (!text) {
        if (err == ENOENT || err == ENOTDIR) return s;
        s.kind = DiskState::unreadable;
        s.problem = errnoText(err);
        return s;
    }
    // An empty file holds nothing to lose (a `touch`, say): an empty store.
    if (text->find_first_not_of(" \t\r\n") == std::string::npos) {
        s.kind = DiskState::good;
        s.dict.emplace();
        return s;
    }
    s.dict = PlistDict::parse(*text);
    s.kind = s.dict ? DiskState::good : DiskState::bad;
    if (!s.dict) s.problem = "not a property list";
    return s;
}

// Moves an unusable file out of the way, keeping it for the user. Call with the
// lock held. Gives whether the file is gone from its place.
bool setAside(const fs::path& file, const std::string& problem) {
    std::string base = file.string() + ".corrupt-" + timestamp();
    std::string target = base;
    struct stat st;
    for (int n = 2; ::lstat(target.c_str(), &st) == 0; ++n) target = base + "-" + std::to_string(n);
    if (::rename(file.c_str(), target.c_str()) != 0) {
        log("defaults: " + file.string() + " is unusable (" + problem + ") and could not be set aside: " +
            errnoText(errno));
        return false;
    }
    log("defaults: " + file.string() + " is unusable (" + problem + "); set aside as " + target +
        ", starting with empty settings");
    return true;
}

// Leftovers of writers killed between creating their temporary file and the
// rename. Call with the lock held: then no writer is mid-way.
void removeStaleTemporaries(const fs::path& file) {
    std::error_code ec;
    std::string prefix = file.filename().string() + ".tmp-";
    for (auto& entry : fs::directory_iterator(file.parent_path().empty() ? fs::path(".") : file.parent_path(), ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            fs::remove(entry.path(), ec);
    }
}

}  // namespace

std::optional<std::string> replaceFileAtomically(const fs::path& file, const std::string& text) {
    fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::string tmp = (dir / (file.filename().string() + ".tmp-XXXXXX")).string();
    int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) return "create " + tmp + ": " + errnoText(errno);
    auto fail = [&](const char* step) {
        int err = errno;
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        return std::optional<std::string>(std::string(step) + ": " + errnoText(err));
    };
    if (!writeAll(fd, text)) return fail("write");
    if (::fsync(fd) != 0) return fail("fsync");
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail("close");
    if (::rename(tmp.c_str(), file.c_str()) != 0) return fail("rename");
    // The rename itself is durable only once the folder is.
    if (!fsyncDir(dir)) return "fsync " + dir.string() + ": " + errnoText(errno);
    return std::nullopt;
}

FileDefaults::FileDefaults(fs::path file) : file_(std::move(file)) { reload(); }

fs::path FileDefaults::defaultPath() {
    if (const char* p = std::getenv("TARVELA_DEFAULTS"); p && *p) return p;
    return xdgBaseDir("XDG_CONFIG_HOME", ".config") / "tarvela" / "app.tarvela.plist";
}

FileDefaults& FileDefaults::standard() {
    static FileDefaults* instance = new FileDefaults(defaultPath());
    return *instance;
}

void FileDefaults::reload() {
    std::lock_guard<std::mutex> lock(m_);
    DiskState disk = readDisk(file_);
    if (disk.kind == DiskState::bad || disk.kind == DiskState::unreadable) {
        // Look again under the lock, so that a writer's replacement is never
        // taken for the broken file.
        FileLock fileLock(file_);
        if (!fileLock.error()) disk = readDisk(file_);
        if (disk.kind == DiskState::bad || disk.kind == DiskState::unreadable) setAside(file_, disk.problem);
    }
    values_ = disk.kind == DiskState::good ? disk.dict->values() : std::map<std::string, DefaultsValue>{};
}

std::optional<DefaultsValue> FileDefaults::get(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_);
    auto it = values_.find(key);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

void FileDefaults::set(const std::string& key, const DefaultsValue& value) { write(key, &value); }

void FileDefaults::remove(const std::string& key) { write(key, nullptr); }

std::vector<std::string> FileDefaults::keys() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::string> out;
    out.reserve(values_.size());
    for (auto& [k, v] : values_) out.push_back(k);
    return out;
}

std::optional<std::string> FileDefaults::keepAside(const std::string& key, const Data& raw, const std::string& suffix) {
    std::string name = key;
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string base = file_.string() + "." + name + "-unreadable-" + timestamp();
    std::string target = base + suffix;
    struct stat st;
    for (int n = 2; ::lstat(target.c_str(), &st) == 0; ++n) target = base + "-" + std::to_string(n) + suffix;
    std::error_code ec;
    if (!file_.parent_path().empty()) fs::create_directories(file_.parent_path(), ec);
    if (auto error = replaceFileAtomically(target, std::string(raw.begin(), raw.end()))) {
        log("defaults: couldn't set aside the unreadable \"" + key + "\": " + *error);
        return std::nullopt;
    }
    return target;
}

std::optional<StoredEntry> FileDefaults::entry(const std::string& key) {
    DiskState disk = readDisk(file_);
    return disk.kind == DiskState::good ? disk.dict->entry(key) : std::nullopt;
}

bool FileDefaults::lastWriteOk() const {
    std::lock_guard<std::mutex> lock(m_);
    return lastWriteOk_;
}

void FileDefaults::write(const std::string& key, const DefaultsValue* value) {
    std::lock_guard<std::mutex> lock(m_);
    if (value)
        values_.insert_or_assign(key, *value);
    else
        values_.erase(key);

    auto failed = [&](const std::string& why) {
        log("defaults: couldn't write " + file_.string() + ": " + why);
        lastWriteOk_ = false;
    };
    std::error_code ec;
    if (!file_.parent_path().empty()) {
        fs::create_directories(file_.parent_path(), ec);
        if (ec) return failed(ec.message());
    }
    FileLock fileLock(file_);
    if (fileLock.error()) return failed(*fileLock.error());
    if (!cleanedTemporaries_) {
        removeStaleTemporaries(file_);
        cleanedTemporaries_ = true;
    }

    // Merge with what is on disk now: another process may have written since.
    DiskState disk = readDisk(file_);
    PlistDict dict;
    switch (disk.kind) {
        case DiskState::missing: break;
        case DiskState::good: dict = std::move(*disk.dict); break;
        case DiskState::bad:
        case DiskState::unreadable:
            if (!setAside(file_, disk.problem)) return failed("the file in its place is unusable");
            dict = PlistDict::from(values_);  // the best we still know
            break;
    }
    if (value)
        dict.set(key, *value);
    else
        dict.remove(key);
    // A file kept elsewhere and linked here (dotfiles) stays linked: the
    // replacement goes where the link points.
    fs::path target = file_;
    if (fs::is_symlink(file_, ec)) {
        fs::path resolved = fs::weakly_canonical(file_, ec);
        if (!ec) target = resolved;
    }
    if (auto error = replaceFileAtomically(target, dict.text())) return failed(*error);
    lastWriteOk_ = true;
}

}  // namespace tarvela

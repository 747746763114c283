// A fresh folder under the system's temporary directory, removed with
// everything in it when the test ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarvela::testing {

class TempDir {
public:
    // inMemory puts it on /dev/shm where there is one: for tests that write
    // a great deal and need no real disk (fsync there costs milliseconds).
    enum Where { onDisk, inMemory };
    explicit TempDir(Where where = onDisk) {
        std::filesystem::path base = std::filesystem::temp_directory_path();
        std::error_code ec;
        if (where == inMemory && std::filesystem::is_directory("/dev/shm", ec)) base = "/dev/shm";
        std::string tmpl = (base / "tarvela-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) std::abort();
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace tarvela::testing

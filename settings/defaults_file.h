// The user-defaults store on disk: one XML property list (a <dict> of Boolean,
// integer, real, string and data values) that two processes share, the
// application and its background update check.
//
// Reads are served from memory, loaded when the store is opened. Every write
// goes to disk at once, under an flock on "<file>.lock": it re-reads the file,
// changes only its own key and replaces the file atomically (temporary file in
// the same folder, fsync, rename, fsync of the folder), so a crash leaves the old
// file or the new one and neither process loses the other's keys. Values of
// other kinds (arrays, dictionaries, dates) are kept as they are.
//
// A file that cannot be read as a property list is never overwritten: it is
// renamed to "<file>.corrupt-<time>", a log line says so, and the store starts
// empty. A single value its reader cannot decode is kept the same way, when
// the reader asks (keepAside), as "<file>.<key>-unreadable-<time>.json" (or
// ".plist", for a value of another kind than its reader expects).
// Thread-safe.
#pragma once

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "settings/defaults.h"

namespace tarvela {

class FileDefaults final : public Defaults {
public:
    // Loads `file` (missing is fine: an empty store). The folder is created at
    // the first write.
    explicit FileDefaults(std::filesystem::path file);

    // $TARVELA_DEFAULTS if set and non-empty, else
    // $XDG_CONFIG_HOME/tarvela/app.tarvela.plist (~/.config when unset).
    static std::filesystem::path defaultPath();
    // The process-wide store at defaultPath(), opened on first use.
    static FileDefaults& standard();

    std::optional<DefaultsValue> get(const std::string& key) override;
    void set(const std::string& key, const DefaultsValue& value) override;
    void remove(const std::string& key) override;
    // Keys holding a value of one of the five supported kinds.
    std::vector<std::string> keys() override;
    std::optional<std::string> keepAside(const std::string& key, const Data& raw,
                                         const std::string& suffix = ".json") override;
    // As the file holds it now, which also keeps the kinds memory does not.
    std::optional<StoredEntry> entry(const std::string& key) override;

    // Replaces what memory holds with the file as it is now.
    void reload();

    const std::filesystem::path& path() const { return file_; }
    // Whether the last write reached the disk (a failure is also logged).
    bool lastWriteOk() const;

private:
    void write(const std::string& key, const DefaultsValue* value);

    std::filesystem::path file_;
    mutable std::mutex m_;
    std::map<std::string, DefaultsValue> values_;
    bool lastWriteOk_ = true;
    bool cleanedTemporaries_ = false;
};

// Replaces `file` with `text` so that a crash at any moment leaves the old
// contents or the new: temporary file beside it, fsync, rename, fsync of the
// folder. Gives none on success, else what failed.
std::optional<std::string> replaceFileAtomically(const std::filesystem::path& file, const std::string& text);

}  // namespace tarvela

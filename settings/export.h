// Moving the saved workspaces, the app rules and the custom shortcuts to
// another machine: one JSON file holding exactly "rules", "shortcuts" and
// "workspaces", pretty-printed with every object's members in sorted order.
//
// Import replaces all three collections, never merges, and is all or nothing:
// the whole file is decoded before anything changes, so a file that lacks a
// member or holds one bad value leaves every store untouched.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/key_codes.h"
#include "settings/rules.h"
#include "settings/workspaces.h"

namespace tarvela {

struct ExportBundle {
    std::vector<Workspace> workspaces;
    std::vector<AppRule> rules;
    Bindings shortcuts;  // custom bindings only

    bool operator==(const ExportBundle&) const = default;
};

std::string encodeExportBundle(const ExportBundle& b);
// All three members are required; other members are ignored. Throws DecodeError.
ExportBundle decodeExportBundle(const Data& data);

// What the export needs of the shortcut table (Hotkeys provides it): its
// custom bindings, and replacing them (which saves and re-registers).
class BindingsStore {
public:
    virtual ~BindingsStore() = default;
    virtual const Bindings& bindings() const = 0;
    virtual void setBindings(Bindings b) = 0;
};

class ExportImport {
public:
    static constexpr const char* suggestedFileName = "Tarvela layouts and rules.json";

    ExportImport(WorkspaceStore& workspaces, RuleStore& rules, BindingsStore& shortcuts)
        : workspaces_(workspaces), rules_(rules), shortcuts_(shortcuts) {}

    // The encoded bundle of the current stores.
    std::optional<Data> exportBundle() const;
    // Decodes the whole bundle, then replaces workspaces, rules and shortcuts in
    // that order; "Imported 2 workspaces, 5 rules and 1 custom shortcuts".
    // Throws DecodeError, before changing anything, when the data is not a
    // complete bundle. The active workspace stays as it is.
    std::string importBundle(const Data& data);

    // The General pane's actions once a location is chosen; each returns the
    // note to show under the buttons.
    // "Saved to <file name>" or "Couldn’t save: <reason>".
    std::string exportTo(const std::filesystem::path& path) const;
    // The summary, or "That file isn’t a Tarvela export." with nothing changed.
    std::string importFrom(const std::filesystem::path& path);

private:
    WorkspaceStore& workspaces_;
    RuleStore& rules_;
    BindingsStore& shortcuts_;
};

// Writes the whole file through a temporary file in the same folder, flushed
// and renamed over the target, so a reader never sees half of it. None on
// success, else a description of what failed.
std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, const std::string& contents);
// The whole file, or none when it cannot be read.
std::optional<Data> readWholeFile(const std::filesystem::path& path);

}  // namespace tarvela

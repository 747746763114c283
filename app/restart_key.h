// The user's secret for the arrangement Tarvela leaves on the display: anyone
// on the display can write a root property, only this user can sign one.
// 32 random bytes in a file of the user's own, mode 0600, in the XDG state
// folder, made on first use; HMAC-SHA256 under it.
#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "manager/arrangement_record.h"

namespace tarvela {

class RestartKey {
public:
    // $XDG_STATE_HOME/tarvela/restart.key
    static std::filesystem::path standardPath();
    // The key in `file`, made when there is none. A file that is not a plain
    // file of this user's, readable by others or of the wrong size is
    // replaced by a new key (records signed with the old one are then
    // ignored). None, with a log line, when no key can be read or made.
    static std::optional<RestartKey> load(const std::filesystem::path& file);

    // Lowercase hex of HMAC-SHA256(key, text).
    std::string sign(std::string_view text) const;
    // In constant time.
    bool verify(std::string_view text, std::string_view signature) const;
    RecordSeal seal() const;

private:
    std::array<unsigned char, 32> key_{};
};

}  // namespace tarvela

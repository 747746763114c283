// The arrangement as the text Tarvela leaves on the display for the next
// Tarvela on the same server: a signature line, then the arrangement as JSON
// with its version and the set-up of displays it was made on.
//
// The text comes back from a place anyone on the display can write, so
// reading it is hostile input: anything too big, malformed, of another
// version, out of bounds, or not signed with the user's key gives none,
// never a crash or an exception. Even a record that passes is only a hint
// about windows that exist (see arrangement.h).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "manager/arrangement.h"

namespace tarvela {

// Signs and checks texts with a secret the manager never sees: the shell
// holds the key. A seal without both functions signs nothing and trusts nothing.
struct RecordSeal {
    std::function<std::string(std::string_view text)> sign;  // the signature, as text without a newline
    std::function<bool(std::string_view text, std::string_view signature)> verify;
    explicit operator bool() const { return sign && verify; }
};

struct ArrangementRecord {
    std::string setup;  // setupKey() of the displays it was made on
    Arrangement arrangement;
    // Other set-ups' arrangements, so that a monitor plugged back after a
    // restart still gets its columns back. A record without them reads as none.
    SetupMemory setups;
    bool operator==(const ArrangementRecord&) const = default;
};

namespace record {
inline constexpr int kVersion = 1;
// Bounds of a record that is read; a larger one is refused whole.
inline constexpr size_t kMaxBytes = 256 * 1024;
inline constexpr size_t kMaxStrips = 256;      // displays × desktops
inline constexpr size_t kMaxColumns = 512;     // per strip
inline constexpr size_t kMaxRows = 64;         // per column
inline constexpr size_t kMaxWindows = 4096;    // per arrangement, floating ones included
inline constexpr size_t kMaxSetups = 8;        // set-ups remembered besides the one in use
inline constexpr size_t kMaxKey = 512;         // a display's key, in bytes
inline constexpr int kMaxDesktop = 64;         // desktops are 0 .. kMaxDesktop - 1
inline constexpr double kMinFrac = 0.01, kMaxFrac = 2.0;
inline constexpr double kMaxOffset = 1e6;
}  // namespace record

// The JSON of a record (unsigned).
std::string encodeArrangement(const ArrangementRecord& r);
// None for anything but a well-formed record of this version within the bounds.
std::optional<ArrangementRecord> decodeArrangement(std::string_view json);

// The signature line, a newline, then `json` (encodeArrangement's). Empty without a seal.
std::string sealRecord(const std::string& json, const RecordSeal& seal);
// Why a sealed text was refused; none when it was read.
enum class RecordFault { Oversized, Unsigned, BadSignature, Malformed };
const char* describe(RecordFault f);
struct OpenedRecord {
    std::optional<ArrangementRecord> record;
    std::optional<RecordFault> fault;
};
OpenedRecord openRecord(std::string_view text, const RecordSeal& seal);

}  // namespace tarvela

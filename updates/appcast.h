// The update feed: an RSS "appcast" whose items announce releases, each with
// its display version, release notes in HTML and an enclosure (the package,
// its length in bytes and its Ed25519 signature). Everything here reads text
// that came from the network, so nothing may crash, recurse without bound or
// overflow on it, however long or strange it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvela {

struct Release {
    std::string version;             // the item's display version
    std::vector<std::string> notes;  // one per line of the release notes
    // The package; empty when the item names none.
    std::string packageUrl;
    std::optional<uint64_t> packageLength;
    std::string signature;  // base64 Ed25519 signature of the package, or empty
    // Where a person downloads it by hand: the item's link, else the package.
    std::string page;

    bool operator==(const Release&) const = default;
};

// Numeric comparison of version strings: runs of digits compare by their
// value (so 1.10 > 1.2), any other character by its code, and a string that is
// a prefix of the other is the smaller. Negative, zero or positive.
int compareVersions(std::string_view a, std::string_view b);

// Every match of  sparkle:shortVersionString(?:>|=")([0-9][0-9A-Za-z.\-]*)
// in `body`, the captured version of each, in order.
std::vector<std::string> versionsIn(std::string_view body);

// The highest of `versions`: a later one replaces the candidate only when the
// candidate compares smaller, so of equal ones the first wins. None when empty.
std::optional<std::string> highestVersion(const std::vector<std::string>& versions);

// Release notes from an HTML description: every match of <[^>]+> becomes a
// line feed; the lines are trimmed of white space and empty ones dropped.
std::vector<std::string> notesFrom(std::string_view html);

// Every item of the feed that has a display version, in feed order. None when
// the body is no XML document at all.
std::optional<std::vector<Release>> parseAppcast(std::string_view body);

// The newest release of `items`, by the rule of highestVersion.
std::optional<Release> newestRelease(const std::vector<Release>& items);

}  // namespace tarvela

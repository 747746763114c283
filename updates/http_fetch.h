// One HTTP(S) GET with libcurl, blocking the calling thread: the update feed
// into memory, a package onto disk. Certificates are always verified, only
// http and https are spoken (redirects included), the whole request has one
// deadline, and what the server sends is capped, so a slow or endless answer
// cannot hold or fill anything.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvela {

struct FetchOptions {
    double timeout = 20;                  // seconds, for the whole request
    uint64_t maxBytes = 4 * 1024 * 1024;  // a longer answer is an error
    // Where the body goes instead of memory (created or truncated).
    std::optional<std::filesystem::path> toFile;
    // Set from another thread to give up early.
    const std::atomic<bool>* cancel = nullptr;
};

struct FetchResult {
    // The body, only for status 200 and in memory; invalid UTF-8 is repaired.
    std::string body;
    long status = 0;  // the HTTP status; 0 when none arrived
    uint64_t bytes = 0;
    // What went wrong, as a sentence for the user; none on success (status 200
    // and the whole body within the cap).
    std::optional<std::string> error;

    bool ok() const { return !error; }
};

FetchResult fetch(const std::string& url, const FetchOptions& options = {});

// `text` with every invalid UTF-8 sequence replaced by U+FFFD.
std::string repairUtf8(std::string_view text);

}  // namespace tarvela

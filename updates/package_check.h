// Whether a downloaded update package is the one the feed announced: its
// length, and an Ed25519 signature over all of its bytes by the key built into
// Tarvela. A package that fails either check is never handed to anyone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tarvela {

// None when `file` has exactly `length` bytes and `signature` (base64, 64
// bytes) verifies over them with `publicKey` (base64, 32 bytes); otherwise a
// sentence saying what failed.
std::optional<std::string> checkPackage(const std::filesystem::path& file, std::optional<uint64_t> length,
                                        const std::string& signature, const std::string& publicKey);

}  // namespace tarvela

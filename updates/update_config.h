// Where updates come from and where their files go: the feed address (fixed
// when Tarvela is built, TARVELA_FEED_URL overrides it), the public key that
// signs packages (fixed when built), the cache folder for downloads and the
// background check's log.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tarvela {

struct UpdateConfig {
    std::string feedUrl;    // empty: no update server
    std::string publicKey;  // base64 Ed25519 key; empty: downloads cannot be checked
    std::filesystem::path cacheDir;
    // Hands a file or web address to the desktop; empty: nothing is opened.
    std::function<bool(const std::string&)> open;
    double timeout = 20;         // seconds, for the feed
    double packageTimeout = 900;  // seconds, for a package

    // This build's values and this user's folders, xdg-open as the opener.
    static UpdateConfig standard();
    // $TARVELA_FEED_URL when it is set (even empty), else the built-in address.
    static std::string feedFromEnvironment();
    static const char* builtInFeed();
    // $XDG_CACHE_HOME/tarvela (~/.cache/tarvela when unset).
    static std::filesystem::path defaultCacheDir();
    // $XDG_STATE_HOME/tarvela/notifier.log (~/.local/state when unset).
    static std::filesystem::path notifierLogPath();
};

}  // namespace tarvela

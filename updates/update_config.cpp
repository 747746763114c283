#include "updates/update_config.h"

#include <cstdlib>

#include "core/processes.h"

#ifndef TARVELA_FEED_URL
#define TARVELA_FEED_URL ""
#endif
#ifndef TARVELA_UPDATE_KEY
#define TARVELA_UPDATE_KEY ""
#endif

namespace tarvela {
namespace fs = std::filesystem;

fs::path xdgBaseDir(const char* var, const char* underHome) {
    if (const char* x = std::getenv(var); x && *x && fs::path(x).is_absolute()) return x;
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / underHome;
}

const char* UpdateConfig::builtInFeed() { return TARVELA_FEED_URL; }

std::string UpdateConfig::feedFromEnvironment() {
    if (const char* v = std::getenv("TARVELA_FEED_URL")) return v;
    return builtInFeed();
}

fs::path UpdateConfig::defaultCacheDir() { return xdgBaseDir("XDG_CACHE_HOME", ".cache") / "tarvela"; }

fs::path UpdateConfig::notifierLogPath() { return xdgBaseDir("XDG_STATE_HOME", ".local/state") / "tarvela" / "notifier.log"; }

UpdateConfig UpdateConfig::standard() {
    UpdateConfig c;
    c.feedUrl = feedFromEnvironment();
    c.publicKey = TARVELA_UPDATE_KEY;
    c.cacheDir = defaultCacheDir();
    c.open = openWithDesktop;
    return c;
}

}  // namespace tarvela

#include "updates/update_config.h"

#include <cstdlib>

#include "core/processes.h"
#include "core/xdg_dirs.h"

#ifndef TARVELA_FEED_URL
#define TARVELA_FEED_URL ""
#endif
#ifndef TARVELA_UPDATE_KEY
#define TARVELA_UPDATE_KEY ""
#endif

namespace tarvela {
namespace fs = std::filesystem;

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

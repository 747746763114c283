#include "settings/app_info.h"

namespace tarvela::AppInfo {

std::string versionFrom(const std::optional<std::string>& entry) {
    return entry && !entry->empty() ? *entry : "1.0.0";
}

std::string version() {
#ifdef TARVELA_VERSION
    return versionFrom(std::string(TARVELA_VERSION));
#else
    return versionFrom(std::nullopt);
#endif
}

}  // namespace tarvela::AppInfo

#include "settings/defaults.h"

#include "settings/plist.h"

namespace tarvela {

std::optional<StoredEntry> Defaults::entry(const std::string& key) {
    const std::optional<DefaultsValue> v = get(key);
    if (!v) return std::nullopt;
    return PlistDict::from({{key, *v}}).entry(key);
}

}  // namespace tarvela

#include "settings/pref_ranges.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace tarvela {

std::string wrongPreferenceValue(std::string_view key, std::string_view want, const Json& v) {
    return "preference " + std::string(key) + " takes " + std::string(want) + ", not " + v.dump();
}

template <class T>
std::optional<std::string> PrefRange<T>::check(const Json& v) const {
    bool ok;
    if constexpr (std::is_integral_v<T>)
        ok = v.is_number_integer() && v.get<int64_t>() >= lo && v.get<int64_t>() <= hi;
    else
        ok = v.is_number() && std::isfinite(v.get<T>()) && v.get<T>() >= lo && v.get<T>() <= hi;
    if (ok) return std::nullopt;
    std::ostringstream want;  // 0.1 and 1, not 0.100000 and 1.000000, whatever the locale
    want.imbue(std::locale::classic());
    want << kind << " from " << lo << " to " << hi;
    return wrongPreferenceValue(key, want.str(), v);
}

template struct PrefRange<int>;
template struct PrefRange<double>;

}  // namespace tarvela

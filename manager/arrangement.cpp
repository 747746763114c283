#include "manager/arrangement.h"

#include <algorithm>

namespace tarvela {

std::string setupKey(const std::vector<Screen>& screens) {
    std::vector<std::string> keys;
    keys.reserve(screens.size());
    for (const Screen& s : screens) keys.push_back(s.key);
    std::sort(keys.begin(), keys.end());
    std::string out;
    // A newline cannot occur in an output's name, so the joined keys never
    // read as another set-up's.
    for (const std::string& k : keys) out += k + "\n";
    return out;
}

}  // namespace tarvela

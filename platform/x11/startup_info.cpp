#include "platform/x11/startup_info.h"

#include <cstring>

namespace tarvela::x11 {

namespace {
// Far beyond any real announcement: a stuck or hostile sender costs no more.
constexpr size_t maxMessage = 4096;
constexpr size_t maxSenders = 32;

bool isSpace(char c) { return c == ' ' || c == '\t'; }
}  // namespace

std::optional<StartupMessage> parseStartupMessage(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    StartupMessage m;
    m.kind = std::string(text.substr(0, colon));
    size_t i = colon + 1;
    while (i < text.size()) {
        while (i < text.size() && isSpace(text[i])) ++i;
        const size_t eq = text.find('=', i);
        if (eq == std::string_view::npos) break;
        std::string key(text.substr(i, eq - i));
        std::string value;
        bool quoted = false;
        for (i = eq + 1; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '\\' && i + 1 < text.size()) {
                value += text[++i];
            } else if (c == '"') {
                quoted = !quoted;
            } else if (isSpace(c) && !quoted) {
                break;
            } else {
                value += c;
            }
        }
        m.keys[std::move(key)] = std::move(value);
    }
    return m;
}

std::optional<std::string> StartupAssembler::feed(xcb_window_t sender, bool begin, const std::array<char, 20>& bytes) {
    auto it = partial_.find(sender);
    if (begin) {
        if (it == partial_.end()) {
            if (partial_.size() >= maxSenders) partial_.erase(partial_.begin());
            it = partial_.emplace(sender, std::string()).first;
        }
        it->second.clear();
    } else if (it == partial_.end()) {
        return std::nullopt;  // the middle of a message whose start we missed
    }
    const size_t n = strnlen(bytes.data(), bytes.size());
    it->second.append(bytes.data(), n);
    if (n == bytes.size() && it->second.size() < maxMessage) return std::nullopt;
    std::string whole = std::move(it->second);
    partial_.erase(it);
    if (n == bytes.size()) return std::nullopt;  // too long: dropped
    return whole;
}

}  // namespace tarvela::x11

#include "core/text.h"

#include <cstdint>
#include <cstdio>

namespace tarvela {

char32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    size_t n = 0;
    char32_t cp = 0, min = 0;
    if ((b & 0xE0) == 0xC0) n = 2, cp = b & 0x1F, min = 0x80;
    else if ((b & 0xF0) == 0xE0) n = 3, cp = b & 0x0F, min = 0x800;
    else if ((b & 0xF8) == 0xF0) n = 4, cp = b & 0x07, min = 0x10000;
    ++i;
    if (n == 0 || i - 1 + n > s.size()) return 0xFFFD;
    for (size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(s[i - 1 + k]);
        if ((c & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    i += n - 1;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

namespace {

bool control(char32_t cp) { return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0); }

// Marks drawn on the character before them, and the selectors that pick its look.
bool combining(char32_t cp) {
    return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
           (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xFE20 && cp <= 0xFE2F);
}

}  // namespace

std::string cleanText(std::string_view text, size_t maxBytes) {
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    for (size_t i = 0; i < text.size();) {
        char32_t cp = nextCodePoint(text, i);
        if (cp == '\n' || cp == '\r' || cp == '\t') cp = ' ';
        else if (control(cp)) continue;
        std::string one;
        appendUtf8(one, cp);
        if (out.size() + one.size() > maxBytes) break;
        out += one;
    }
    return out;
}

std::string cutText(std::string_view text, size_t maxChars) {
    size_t end = 0;
    for (size_t n = 0; n < maxChars && end < text.size(); ++n) {
        nextCodePoint(text, end);
        for (size_t next = end; next < text.size() && combining(nextCodePoint(text, next));) end = next;
    }
    if (end >= text.size()) return std::string(text);
    return std::string(text.substr(0, end)) + "…";
}

std::string escapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t cp = nextCodePoint(text, i);
        if (control(cp)) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(cp));
            out += buf;
        } else {
            appendUtf8(out, cp);
        }
    }
    return out;
}

std::string_view trim(std::string_view s) {
    constexpr std::string_view space = " \t\n\r\f\v";
    const size_t a = s.find_first_not_of(space);
    if (a == std::string_view::npos) return {};
    return s.substr(a, s.find_last_not_of(space) - a + 1);
}

}  // namespace tarvela

#include "settings/key_codes.h"

namespace tarvela {

uint32_t KeyBinding::carbon(uint64_t flags) {
    uint32_t m = 0;
    if (flags & eventflags::control) m |= modmask::control;
    if (flags & eventflags::option) m |= modmask::option;
    if (flags & eventflags::shift) m |= modmask::shift;
    if (flags & eventflags::command) m |= modmask::command;
    return m;
}

namespace {

// Decodes one UTF-8 sequence at s[i]; malformed bytes come back as U+FFFD, one at a time.
char32_t nextCodePoint(const std::string& s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (len == 0 || i + static_cast<size_t>(len) > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        auto c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((c >> 6) != 0x2) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<size_t>(len);
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

// Upper case for the letters keyboard layouts put on keys: Latin (with its
// accented forms), Greek and Cyrillic. Key caps never need the rest of Unicode.
void appendUpper(std::string& out, char32_t c) {
    if (c >= U'a' && c <= U'z') return appendUtf8(out, c - 32);
    if (c == 0xDF) {  // ß
        out.append("SS");
        return;
    }
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return appendUtf8(out, c - 32);
    if (c == 0xFF) return appendUtf8(out, 0x178);
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return appendUtf8(out, c & ~char32_t{1});
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return appendUtf8(out, (c % 2 == 0) ? c - 1 : c);
    if (c == 0x3C2) return appendUtf8(out, 0x3A3);  // final sigma
    if (c >= 0x3B1 && c <= 0x3C9) return appendUtf8(out, c - 32);
    if (c >= 0x430 && c <= 0x44F) return appendUtf8(out, c - 32);
    if (c >= 0x450 && c <= 0x45F) return appendUtf8(out, c - 80);
    appendUtf8(out, c);
}

}  // namespace

std::string KeyBinding::label(const KeyEvent& event) {
    switch (event.keyCode) {
        case keycode::minus: return "−";
        case keycode::returnKey: return "↩";
        case keycode::tab: return "⇥";
        case keycode::space: return "Space";
        case keycode::deleteKey: return "⌫";
        case keycode::leftArrow: return "←";
        case keycode::rightArrow: return "→";
        case keycode::downArrow: return "↓";
        case keycode::upArrow: return "↑";
        default: break;
    }
    const std::string& chars = event.charactersIgnoringModifiers;
    if (chars.empty()) return "?";
    std::string out;
    for (size_t i = 0; i < chars.size();) appendUpper(out, nextCodePoint(chars, i));
    return out;
}

}  // namespace tarvela

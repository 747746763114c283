#include "settings/key_codes.h"

#include "core/text.h"

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

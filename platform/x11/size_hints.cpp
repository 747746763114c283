#include "platform/x11/size_hints.h"

#include <algorithm>

namespace tarvela::x11 {

namespace {
// WM_SIZE_HINTS flags.
constexpr uint32_t USPosition = 1u << 0;
constexpr uint32_t PPosition = 1u << 2;
constexpr uint32_t PMinSize = 1u << 4;
constexpr uint32_t PMaxSize = 1u << 5;
constexpr uint32_t PResizeInc = 1u << 6;
constexpr uint32_t PBaseSize = 1u << 8;
constexpr uint32_t PWinGravity = 1u << 9;

int clampedInt(uint32_t v) { return static_cast<int>(std::min<uint32_t>(v, 1u << 20)); }
}  // namespace

SizeHints parseSizeHints(const std::vector<uint32_t>& words) {
    SizeHints h;
    if (words.size() < 5) return h;
    const uint32_t flags = words[0];
    h.positioned = flags & (USPosition | PPosition);
    auto word = [&](size_t i) { return i < words.size() ? clampedInt(words[i]) : 0; };
    if (flags & PMinSize) {
        h.minW = word(5);
        h.minH = word(6);
        h.hasMin = true;
    }
    if (flags & PMaxSize) {
        h.maxW = word(7);
        h.maxH = word(8);
    }
    if (flags & PResizeInc) {
        h.incW = std::max(word(9), 1);
        h.incH = std::max(word(10), 1);
    }
    if ((flags & PWinGravity) && words.size() >= 18 && words[17] >= 1 && words[17] <= 10)
        h.gravity = static_cast<int>(words[17]);
    if ((flags & PBaseSize) && words.size() >= 17) {
        h.baseW = word(15);
        h.baseH = word(16);
        h.hasBase = true;
    }
    return h;
}

bool fixedSize(const SizeHints& h) {
    return h.hasMin && h.maxW > 0 && h.maxH > 0 && h.minW >= h.maxW && h.minH >= h.maxH;
}

MotifHints parseMotifHints(const std::vector<uint32_t>& words) {
    MotifHints m;
    if (words.size() < 3) return m;
    // Bit `b` of a field, read with the field's "all" bit as an inversion.
    auto allows = [](uint32_t field, uint32_t b) { return (field & 1) ? !(field & b) : (field & b) != 0; };
    if (words[0] & 1) {
        const uint32_t f = words[1];
        m.resize = allows(f, 2);
        m.minimise = allows(f, 8);
    }
    if (words[0] & 2) {
        const uint32_t d = words[2];
        m.titled = allows(d, 8);
        m.resize = m.resize && allows(d, 4);
        m.minimise = m.minimise && allows(d, 32);
    }
    return m;
}

Dimensions applySizeHints(const SizeHints& h, int w, int hgt) {
    // ICCCM: a missing base size is the minimum size, a missing minimum the base.
    const int baseW = h.hasBase ? h.baseW : (h.hasMin ? h.minW : 0);
    const int baseH = h.hasBase ? h.baseH : (h.hasMin ? h.minH : 0);
    const int minW = h.hasMin ? h.minW : (h.hasBase ? h.baseW : 0);
    const int minH = h.hasMin ? h.minH : (h.hasBase ? h.baseH : 0);

    w = std::max(w, minW);
    hgt = std::max(hgt, minH);
    if (h.maxW > 0) w = std::min(w, h.maxW);
    if (h.maxH > 0) hgt = std::min(hgt, h.maxH);
    if (h.incW > 1 && w > baseW) w = baseW + (w - baseW) / h.incW * h.incW;
    if (h.incH > 1 && hgt > baseH) hgt = baseH + (hgt - baseH) / h.incH * h.incH;
    // Rounding down may fall below the minimum when min is not on the grid.
    if (w < minW) w += h.incW;
    if (hgt < minH) hgt += h.incH;
    return {std::max(w, 1), std::max(hgt, 1)};
}

}  // namespace tarvela::x11

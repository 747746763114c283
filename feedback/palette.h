// The colours Tarvela draws with, one home for each. A token has a light and
// a dark shade: the appearance picks one where it applies (the windows' Qt
// palette); what is drawn on a backdrop of its own takes the shade for that
// backdrop (the onboarding sketch's dark desk, the panels that keep the light
// shade whatever the appearance). Widgets never spell a colour themselves.
#pragma once

#include <cstdint>

#include "feedback/text_metrics.h"

namespace tarvela {

struct Shades {
    Rgba light;
    Rgba dark;
};

constexpr Rgba rgbHex(uint32_t rgb, double alpha = 1) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}
constexpr Rgba withAlpha(Rgba c, double alpha) { return {c.r, c.g, c.b, alpha}; }

namespace palette {
inline constexpr Shades windowBackground{rgbHex(0xF5F5F7), rgbHex(0x1E1E1E)};
inline constexpr Shades card{rgbHex(0xFFFFFF), rgbHex(0x2A2A2C)};
inline constexpr Shades text{rgbHex(0x1D1D1F), rgbHex(0xF5F5F7)};
inline constexpr Shades secondaryText{rgbHex(0x6E6E73), rgbHex(0xA1A1A6)};
inline constexpr Shades accent{rgbHex(0x007AFF), rgbHex(0x0A84FF)};
inline constexpr Shades destructive{rgbHex(0xFF3B30), rgbHex(0xFF453A)};
inline constexpr Shades positive{rgbHex(0x34C759), rgbHex(0x30D158)};
// A window that wants attention: its mark and the tray pill's badge.
inline constexpr Shades attention{rgbHex(0xFF9500), rgbHex(0xFF9F0A)};
inline constexpr Shades toggleOffTrack{rgbHex(0xD1D1D6), rgbHex(0x48484A)};
// Title bars of floating windows: the focused window's stands out from the
// others', whose buttons go grey.
inline constexpr Shades titleBarFocused{rgbHex(0xDCDCE0), rgbHex(0x3A3A3C)};
inline constexpr Shades titleBar{rgbHex(0xF5F5F7), rgbHex(0x242426)};
inline constexpr Shades minimiseButton{rgbHex(0xFEBC2E), rgbHex(0xFEBC2E)};
}  // namespace palette

}  // namespace tarvela

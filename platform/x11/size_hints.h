// ICCCM size hints (WM_NORMAL_HINTS) and what they let a window be: the sizes
// a client accepts, applied before a resize is sent, so that what the logic
// reads back is what the client really has (a terminal keeps whole cells).
#pragma once

#include <cstdint>
#include <vector>

namespace tarvela::x11 {

struct SizeHints {
    int minW = 0, minH = 0;
    int maxW = 0, maxH = 0;  // 0 = no maximum
    int baseW = 0, baseH = 0;
    int incW = 1, incH = 1;
    bool hasBase = false;
    bool hasMin = false;
    bool positioned = false;  // the user or the program chose where it opens
    // Which point of its frame a position the client asks for names (ICCCM
    // 4.1.2.3): 1 north-west (the default) to 9 south-east, 10 static (the client itself).
    int gravity = 1;
};

// From the raw WM_NORMAL_HINTS words (18 of them; fewer from old clients).
SizeHints parseSizeHints(const std::vector<uint32_t>& words);

// Whether the hints leave the window a single size (minimum = maximum): no
// edge or request resizes it.
bool fixedSize(const SizeHints& h);

// What _MOTIF_WM_HINTS let the window manager do and show. Functions count
// when flag 1 is set, decorations when flag 2 is; in either, bit 1 (all)
// turns the other bits into exclusions. Without the hints, everything.
struct MotifHints {
    bool titled = true;    // decoration 8: a title bar
    bool resize = true;    // function 2; decoration 4 (resize handles)
    bool minimise = true;  // function 8; decoration 32
};
MotifHints parseMotifHints(const std::vector<uint32_t>& words);

struct Dimensions {
    int width;
    int height;
};

// The size a client with these hints ends up with when asked for (w, h):
// clamped to minimum and maximum, then rounded down to whole increments above
// the base size (ICCCM 4.1.2.3; the base defaults to the minimum and the other
// way round). Never below 1.
Dimensions applySizeHints(const SizeHints& h, int w, int hgt);

}  // namespace tarvela::x11

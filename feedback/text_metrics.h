// How big a text comes out in a given font. The panels' sizes follow from
// their texts, but only the widget layer has real fonts, so it supplies these
// measurements; the feedback logic lays everything else out around them.
#pragma once

#include <string>

#include "core/geometry.h"

namespace tarvela {

enum class Weight { regular, medium, semibold, bold };

// The system font at a size and weight.
struct Font {
    double size = 13;
    Weight weight = Weight::regular;
    bool monospacedDigits = false;
    bool operator==(const Font&) const = default;
};

// sRGB components and opacity, 0 to 1.
struct Rgba {
    double r = 0;
    double g = 0;
    double b = 0;
    double a = 1;
    bool operator==(const Rgba&) const = default;
};

// A text as it is drawn in a given room: its lines joined by "\n", and their size.
struct WrappedText {
    std::string text;
    Size size;
};

class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    // The text on one line, however long.
    virtual Size measure(const std::string& text, const Font& font) = 0;
    // The text broken into lines no wider than `width` (between words where
    // it can, anywhere in a word too long for a line). A text that needs more
    // than `maxLines` ends its last line in "…", so a cut never passes for
    // the whole text.
    virtual WrappedText wrap(const std::string& text, const Font& font, double width, int maxLines) = 0;
};

// Characters as the eye counts them, near enough: UTF-8 code points.
inline size_t glyphCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace tarvela

// Text sizes without fonts: every character half as wide as the font is tall,
// lines 4 points taller than the font.
#pragma once

#include <algorithm>
#include <cmath>

#include "feedback/text_metrics.h"

namespace tarvela::testing {

class FakeMetrics final : public TextMetrics {
public:
    Size measure(const std::string& text, const Font& font) override {
        return {static_cast<double>(glyphCount(text)) * font.size / 2, font.size + 4};
    }
    Size wrap(const std::string& text, const Font& font, double width, int maxLines) override {
        const double perLine = std::max(1.0, std::floor(width / (font.size / 2)));
        const double n = static_cast<double>(glyphCount(text));
        const double lines = std::min<double>(maxLines, std::ceil(n / perLine));
        return {std::min(n, perLine) * font.size / 2, lines * (font.size + 4)};
    }
};

}  // namespace tarvela::testing

// Text sizes without fonts: every character half as wide as the font is tall,
// lines 4 points taller than the font.
#pragma once

#include <algorithm>
#include <cmath>

#include "core/text.h"
#include "feedback/text_metrics.h"

namespace tarvela::testing {

class FakeMetrics final : public TextMetrics {
public:
    Size measure(const std::string& text, const Font& font) override {
        return {static_cast<double>(glyphCount(text)) * font.size / 2, font.size + 4};
    }
    // Broken after every full line of characters; the breaks are not marked.
    WrappedText wrap(const std::string& text, const Font& font, double width, int maxLines) override {
        const double perLine = std::max(1.0, std::floor(width / (font.size / 2)));
        const auto room = static_cast<size_t>(perLine) * static_cast<size_t>(std::max(maxLines, 1));
        WrappedText out{glyphCount(text) > room ? cutText(text, room - 1) : text, {}};
        const auto n = static_cast<double>(glyphCount(out.text));
        out.size = {std::min(n, perLine) * font.size / 2, std::ceil(n / perLine) * (font.size + 4)};
        return out;
    }
};

}  // namespace tarvela::testing

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
    // Broken after every full line of characters, words or not.
    WrappedText wrap(const std::string& text, const Font& font, double width, int maxLines) override {
        const auto perLine = static_cast<size_t>(std::max(1.0, std::floor(width / (font.size / 2))));
        const size_t room = perLine * static_cast<size_t>(std::max(maxLines, 1));
        const std::string shown = glyphCount(text) > room ? cutText(text, room - 1) : text;
        WrappedText out;
        size_t n = 0;
        for (size_t i = 0; i < shown.size(); ++n) {
            const size_t from = i;
            nextCodePoint(shown, i);
            if (n > 0 && n % perLine == 0) out.text += '\n';
            out.text.append(shown, from, i - from);
        }
        const double lines = std::ceil(static_cast<double>(n) / static_cast<double>(perLine));
        out.size = {static_cast<double>(std::min(n, perLine)) * font.size / 2, lines * (font.size + 4)};
        return out;
    }
};

}  // namespace tarvela::testing

// Title bars as Qt paints them: the size asked for, the focused window's bar
// apart from the others', the appearance followed, the title drawn.
#include <gtest/gtest.h>

#include "feedback/palette.h"
#include "ui/shell_windows.h"
#include "ui/title_bars.h"

namespace tarvela::testing {
namespace {

uint32_t rgbOf(const Rgba& c) {
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(v * 255)); };
    return (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

TEST(TitleBarPainterTest, FocusAppearanceAndTitleShowInTheBar) {
    QtAppearance appearance;
    QtTitleBarPainter painter;
    auto paint = [&](bool focused, const std::string& title = "Notes") {
        return painter.paint(TitleBarLook{title, 300, titlebar::height, focused, true});
    };
    auto at = [](const Image& img, double x, double y) {
        return img.argb[static_cast<size_t>(y) * static_cast<size_t>(img.width) + static_cast<size_t>(x)] & 0xFFFFFFu;
    };
    const Rect close = titlebar::closeButton(300);
    const Rect minimise = *titlebar::minimiseButton(300, true);

    appearance.setAppearance(Appearance::light);
    const Image focused = paint(true), other = paint(false);
    ASSERT_EQ(std::make_pair(focused.width, focused.height), std::make_pair(300, titlebar::height));
    ASSERT_EQ(focused.argb.size(), 300u * titlebar::height);
    EXPECT_EQ(at(focused, 290, 2), rgbOf(palette::titleBarFocused.light));
    EXPECT_EQ(at(other, 290, 2), rgbOf(palette::titleBar.light));
    EXPECT_EQ(at(focused, close.midX(), close.midY()), rgbOf(palette::destructive.light));
    EXPECT_EQ(at(focused, minimise.midX(), minimise.midY()), rgbOf(palette::minimiseButton.light));
    EXPECT_EQ(at(other, close.midX(), close.midY()), rgbOf(palette::toggleOffTrack.light));
    // The title is drawn in the middle: an untitled bar is ground there.
    const Image untitled = paint(true, "");
    auto middle = [](const Image& img) {
        const auto row = img.argb.begin() + 13 * 300;
        return std::vector<uint32_t>(row + 120, row + 180);
    };
    EXPECT_NE(middle(focused), middle(untitled));

    appearance.setAppearance(Appearance::dark);
    EXPECT_EQ(at(paint(true), 290, 2), rgbOf(palette::titleBarFocused.dark));
    appearance.setAppearance(Appearance::light);
}

}  // namespace
}  // namespace tarvela::testing

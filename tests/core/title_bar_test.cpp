// The resize zones that carry the edges' cursors cover exactly what a press
// resizes, each the way a press on it does.
#include <gtest/gtest.h>

#include "core/title_bar.h"

namespace tarvela::titlebar {
namespace {

TEST(TitleBarZones, EveryEdgePixelIsInOneZoneThatResizesAsAPressThereDoes) {
    for (const auto& [w, h] : {std::pair{300, 200}, std::pair{20, 40}}) {
        const std::vector<Zone> zones = resizeZones(w, h);
        ASSERT_EQ(zones.size(), 12u);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Hit hit = hitTest(x, y, w, h, true);
                int in = 0;
                for (const Zone& z : zones)
                    if (z.rect.contains({x + 0.5, y + 0.5})) {
                        ++in;
                        ASSERT_EQ(std::make_pair(z.edgeX, z.edgeY), std::make_pair(hit.edgeX, hit.edgeY)) << x << "," << y;
                    }
                ASSERT_EQ(in, hit.part == Part::resize ? 1 : 0) << w << "x" << h << " at " << x << "," << y;
            }
    }
    // A window that cannot be resized has no resize edge: its top edge is the bar's.
    EXPECT_EQ(hitTest(150, 1, 300, 200, true, false).part, Part::move);
    EXPECT_EQ(hitTest(1, 150, 300, 200, true, false).part, Part::none);
}

}  // namespace
}  // namespace tarvela::titlebar

// Every ranged preference: the value a user gives, and what they are told.
#include <gtest/gtest.h>

#include "settings/pref_ranges.h"

namespace tarvela::testing {
namespace {

TEST(PrefRanges, EachTellsTheUserWhatItTakes) {
    const auto dim = [](const Json& v) { return pref_range::dimLevel.check(v); };
    const auto speed = [](const Json& v) { return pref_range::scrollSpeed.check(v); };
    const auto look = [](const Json& v) { return pref_range::appearance.check(v); };
    const auto width = [](const Json& v) { return pref_range::defaultWidth.check(v); };
    const std::string dimWant = "preference dimLevel takes an integer from 0 to 3, not ";
    const std::string widthWant = "preference defaultWidth takes a fraction of the display from 0.1 to 1, not ";
    const struct {
        std::optional<std::string> told, expected;
    } cases[] = {
        {dim(0), std::nullopt},
        {dim(3), std::nullopt},
        {dim(4), dimWant + "4"},
        {dim(-1), dimWant + "-1"},
        {dim(2.0), dimWant + "2.0"},
        {dim("2"), dimWant + "\"2\""},
        {speed(2), std::nullopt},
        {speed(3), "preference scrollSpeed takes an integer from 0 to 2, not 3"},
        {look(true), "preference appearance takes an integer from 0 to 2, not true"},
        {width(0.1), std::nullopt},
        {width(1), std::nullopt},
        {width(0.05), widthWant + "0.05"},
        {width(1.5), widthWant + "1.5"},
        {width(nullptr), widthWant + "null"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.told, c.expected);
    EXPECT_EQ(pref_range::scrollSpeed.clamp(7), 2);
    EXPECT_EQ(pref_range::dimLevel.clamp(-2), 0);
}

}  // namespace
}  // namespace tarvela::testing

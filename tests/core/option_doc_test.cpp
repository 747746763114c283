// Option help in columns: the same rows read well in a terminal of 80.
#include <gtest/gtest.h>

#include "core/option_doc.h"

namespace tarvela::testing {
namespace {

TEST(OptionDoc, HelpWrapsUnderItsColumnAndLongHeadsGetTheirOwnLine) {
    const std::vector<OptionDoc> rows{
        {{"-h", "--help"}, "", "print this help"},
        {{"--display"}, "NAME", "the display to manage when none is given on the line"},
        {{"--a-very-long-option"}, "VALUE", "short"},
    };
    EXPECT_EQ(formatOptions(rows, 14, 40),
              "  -h, --help  print this help\n"
              "  --display NAME\n"
              "              the display to manage when\n"
              "              none is given on the line\n"
              "  --a-very-long-option VALUE\n"
              "              short\n");
    EXPECT_EQ(wrapText("one two three", 2, 9), "  one two\n  three\n");
}

}  // namespace
}  // namespace tarvela::testing

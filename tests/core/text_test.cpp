// What other programs name their windows reaches logs, files and labels only as clean text.
#include <gtest/gtest.h>

#include "core/text.h"

namespace tarvela::testing {
namespace {

TEST(CleanText, RepairsRemovesAndCutsOnCharacterBoundaries) {
    const std::pair<std::string, std::string> cases[] = {
        {"Terminal", "Terminal"},
        {"two\nlines\r\tand tab", "two lines  and tab"},
        {"\x1b[31mred\x1b[0m\x07\x7f", "[31mred[0m"},
        {"caf\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xe2\x80\x94 \xf0\x9f\x98\x80"},
        {"bad\xff\xc3", "bad\xef\xbf\xbd\xef\xbf\xbd"},
        {"\xc0\xaf overlong, \xed\xa0\x80 surrogate", "\xef\xbf\xbd\xef\xbf\xbd overlong, \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd surrogate"},
        {"C1 \xc2\x9b here", "C1  here"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(cleanText(in), out) << in;
    EXPECT_EQ(cleanText("ab\xc3\xa9", 3), "ab");  // é would cross the limit
    EXPECT_EQ(cleanText(std::string(10000, 'x')).size(), 4096u);
    EXPECT_EQ(cutText("caf\xc3\xa9s", 4), "caf\xc3\xa9\xe2\x80\xa6");  // four characters, five bytes
    EXPECT_EQ(cutText("caf\xc3\xa9", 4), "caf\xc3\xa9");
}

TEST(CleanText, CutsAfterWholeCharactersAndSaysSo) {
    const std::tuple<std::string, size_t, std::string> cases[] = {
        {"Terminal", 8, "Terminal"},
        {"caf\xc3\xa9s", 4, "caf\xc3\xa9…"},  // é is two bytes, one character
        {"\xf0\x9f\x98\x80\xf0\x9f\x98\x80!", 2, "\xf0\x9f\x98\x80\xf0\x9f\x98\x80…"},
        {"cafe\xcc\x81s", 4, "cafe\xcc\x81…"},  // the accent stays with its e
    };
    for (const auto& [in, n, out] : cases) EXPECT_EQ(cutText(in, n), out) << in << " " << n;
}

TEST(CleanText, LogLinesKeepControlsVisibleAsEscapes) {
    EXPECT_EQ(escapeControls("app\n[Tarvela] forged\x1b[2J"), "app\\x0a[Tarvela] forged\\x1b[2J");
    EXPECT_EQ(escapeControls("ok \xe2\x80\x94 \xff"), "ok \xe2\x80\x94 \xef\xbf\xbd");
}

}  // namespace
}  // namespace tarvela::testing

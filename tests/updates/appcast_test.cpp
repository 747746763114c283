// The update feed as it is read: versions, their order, release notes and
// items, including feeds written to break the reader.
#include <gtest/gtest.h>

#include "updates/appcast.h"

namespace tarvela::testing {
namespace {

using Strings = std::vector<std::string>;

TEST(AppcastTest, VersionsCompareByTheValueOfTheirNumbers) {
    EXPECT_GT(compareVersions("1.10", "1.2"), 0);
    EXPECT_EQ(compareVersions("1.02", "1.2"), 0);
    EXPECT_LT(compareVersions("1.2", "1.2.1"), 0);
    EXPECT_GT(compareVersions("1.2b", "1.2a"), 0);
    // Past 64 bits, still compared as numbers, without overflow.
    EXPECT_LT(compareVersions("9999999999999999999", "10000000000000000000"), 0);
    EXPECT_GT(compareVersions("18446744073709551616", "18446744073709551615"), 0);
    EXPECT_EQ(highestVersion({"1.2", "1.10", "1.9"}), "1.10");
    EXPECT_EQ(highestVersion({"1.2", "1.02"}), "1.2");  // of equals, the first
}

TEST(AppcastTest, TheExpressionFindsVersionsInElementsAndAttributes) {
    const std::string body =
        "<sparkle:shortVersionString>1.2</sparkle:shortVersionString><e sparkle:shortVersionString=\"1.10-rc.1\"/>"
        "<sparkle:shortVersionString>v2</sparkle:shortVersionString> sparkle:shortVersionString=3.0 "
        "<sparkle:shortVersionString>4.0 beta</sparkle:shortVersionString>";
    EXPECT_EQ(versionsIn(body), (Strings{"1.2", "1.10-rc.1", "4.0"}));
}

TEST(AppcastTest, HostileFeedsAreReadWithoutHarm) {
    std::string huge = "1", open, close;
    for (int i = 0; i < 500000; ++i) huge += ".0";
    const auto found = versionsIn("<sparkle:shortVersionString>" + huge + "<");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].size(), huge.size());
    EXPECT_GT(compareVersions(huge, "1.0"), 0);
    EXPECT_LT(compareVersions(huge, "1.1"), 0);
    // Nesting as deep as the sender likes is no recursion for the reader.
    for (int i = 0; i < 200000; ++i) open += "<a>", close += "</a>";
    const auto deep = parseAppcast(open + "<item><sparkle:shortVersionString>" + huge +
                                   "</sparkle:shortVersionString></item>" + close);
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->size(), 1u);
    EXPECT_FALSE(parseAppcast(open));  // never closed: no document
}

TEST(AppcastTest, ItemsCarryTheirVersionNotesAndPackage) {
    EXPECT_EQ(notesFrom("a <> b\n<p>x</p>  <br/>y < z"), (Strings{"a <> b", "x", "y < z"}));
    const auto items = parseAppcast(R"(<rss><channel>
 <item><sparkle:shortVersionString>1.2</sparkle:shortVersionString><link> https://tarvela.app/1.2 </link>
  <description><![CDATA[<ul><li>Smoother scrolling</li>
  <li>  Fixes </li></ul>]]></description>
  <enclosure url="https://tarvela.app/T-1.2.tgz" length="1234" sparkle:edSignature="c2ln" /></item>
 <item><description>&lt;p&gt;Workspaces&lt;/p&gt;</description>
  <enclosure url="https://tarvela.app/T-1.10.tgz" sparkle:shortVersionString="1.10" length="99999999999999999999"/></item>
 <item><title>no version</title></item></channel></rss>)");
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    const Release& a = (*items)[0];
    EXPECT_EQ(a, (Release{"1.2", {"Smoother scrolling", "Fixes"}, "https://tarvela.app/T-1.2.tgz", 1234, "c2ln",
                          "https://tarvela.app/1.2"}));
    const Release& b = (*items)[1];
    EXPECT_EQ(b.notes, Strings{"Workspaces"});
    EXPECT_EQ(b.packageLength, std::nullopt);  // past 64 bits
    EXPECT_EQ(b.page, b.packageUrl);           // no link: the package itself
    EXPECT_EQ(newestRelease(*items)->version, "1.10");
    EXPECT_FALSE(parseAppcast("not a feed <"));
}

}  // namespace
}  // namespace tarvela::testing

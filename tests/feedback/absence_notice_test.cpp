// A tray or a compositor that goes and comes back: each absence is said once,
// and so is each return after one.
#include <gtest/gtest.h>

#include "feedback/absence_notice.h"
#include "tests/support/test_helpers.h"

namespace tarvela::testing {

TEST(AbsenceNotice, EachAbsenceAndEachReturnAfterItIsSaidOnce) {
    testsupport::LogCapture logs;
    AbsenceNotice tray("no tray", "a tray runs");
    tray.present();  // there from the start: nothing to say
    for (int i = 0; i < 2; ++i) tray.missing(), tray.missing(), tray.present(), tray.present();
    EXPECT_EQ(logs.lines, (std::vector<std::string>{"[Tarvela] no tray", "[Tarvela] a tray runs", "[Tarvela] no tray",
                                                    "[Tarvela] a tray runs"}));
}

}  // namespace tarvela::testing

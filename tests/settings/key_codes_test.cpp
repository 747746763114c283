#include "settings/key_codes.h"

#include <gtest/gtest.h>

namespace tarvela {
namespace {

using V = std::vector<std::string>;

TEST(KeyBinding, CapsListModifiersInFixedOrderThenTheKey) {
    EXPECT_EQ((KeyBinding{124, 0x1800, "→"}.caps()), (V{"⌃", "⌥", "→"}));
    EXPECT_EQ((KeyBinding{21, 0x1100, "4"}.caps()), (V{"⌃", "⌘", "4"}));
    EXPECT_EQ((KeyBinding{1, 0x1B00, "S"}.caps()), (V{"⌃", "⌥", "⇧", "⌘", "S"}));
    EXPECT_EQ((KeyBinding{49, 0, "Space"}.caps()), (V{"Space"}));
}

TEST(KeyBinding, CarbonKeepsOnlyTheFourModifiers) {
    using namespace eventflags;
    EXPECT_EQ(KeyBinding::carbon(control), 0x1000u);
    EXPECT_EQ(KeyBinding::carbon(option), 0x0800u);
    EXPECT_EQ(KeyBinding::carbon(shift), 0x0200u);
    EXPECT_EQ(KeyBinding::carbon(command), 0x0100u);
    EXPECT_EQ(KeyBinding::carbon(control | option | capsLock | function | numericPad | help), 0x1800u);
    EXPECT_EQ(KeyBinding::carbon(0), 0u);
}

TEST(KeyBinding, LabelNamesSpecialKeysAndUpperCasesCharacters) {
    auto label = [](uint32_t code, std::string chars = "") { return KeyBinding::label({code, 0, std::move(chars)}); };
    EXPECT_EQ(label(27, "-"), "−");
    EXPECT_EQ(label(36, "\r"), "↩");
    EXPECT_EQ(label(48, "\t"), "⇥");
    EXPECT_EQ(label(49, " "), "Space");
    EXPECT_EQ(label(51), "⌫");
    EXPECT_EQ(label(123), "←");
    EXPECT_EQ(label(124), "→");
    EXPECT_EQ(label(125), "↓");
    EXPECT_EQ(label(126), "↑");
    EXPECT_EQ(label(15, "r"), "R");
    EXPECT_EQ(label(24, "="), "=");
    EXPECT_EQ(label(99), "?");
    // Letters of other layouts.
    EXPECT_EQ(label(41, "ö"), "Ö");
    EXPECT_EQ(label(27, "ß"), "−");
    EXPECT_EQ(label(12, "ß"), "SS");
    EXPECT_EQ(label(12, "ą"), "Ą");
    EXPECT_EQ(label(12, "ž"), "Ž");
    EXPECT_EQ(label(12, "ÿ"), "Ÿ");
    EXPECT_EQ(label(12, "ж"), "Ж");
    EXPECT_EQ(label(12, "ё"), "Ё");
    EXPECT_EQ(label(12, "λ"), "Λ");
    EXPECT_EQ(label(12, "÷"), "÷");
    EXPECT_EQ(label(12, "€"), "€");
    // Broken UTF-8 gives a replacement character, never a crash.
    EXPECT_EQ(label(12, "\xff"), "\xef\xbf\xbd");
    EXPECT_EQ(label(12, "\xc3"), "\xef\xbf\xbd");
}

TEST(KeyBinding, JSONFormIsStrict) {
    KeyBinding b{24, 6144, "="};
    EXPECT_EQ(toJSON(b).dump(), R"({"key":"=","keyCode":24,"mods":6144})");
    EXPECT_EQ(keyBindingFromJSON(toJSON(b), ""), b);
    for (const char* bad : {R"({"keyCode":24,"mods":6144})", R"({"keyCode":-1,"mods":6144,"key":"="})",
                            R"({"keyCode":24,"mods":4294967296,"key":"="})", R"({"keyCode":24.5,"mods":6144,"key":"="})",
                            R"({"keyCode":"24","mods":6144,"key":"="})", R"({"keyCode":24,"mods":6144,"key":61})",
                            R"([24,6144,"="])"})
        EXPECT_THROW(keyBindingFromJSON(Json::parse(bad), ""), DecodeError) << bad;
    EXPECT_EQ(keyBindingFromJSON(Json::parse(R"({"keyCode":4294967295,"mods":0,"key":"x","other":1})"), "").keyCode,
              4294967295u);
}

}  // namespace
}  // namespace tarvela

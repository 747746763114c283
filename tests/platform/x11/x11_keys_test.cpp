// The translation of stored shortcuts (macOS virtual key codes, Carbon masks)
// to X keysyms and modifiers, and the pure pieces of the X11 gesture sources.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <set>

#include "input/gesture_sources.h"
#include "input/hotkeys.h"
#include "platform/x11/x11_input.h"
#include "platform/x11/x11_keys.h"
#include "settings/key_codes.h"

namespace tarvela {
namespace {

TEST(X11Keys, EveryKeyTheShortcutsCanNameHasAKeysym) {
    // The defaults, every digit (jump and workspace slots), the keys label() names.
    std::set<uint32_t> needed{keycode::leftArrow, keycode::rightArrow, keycode::downArrow, keycode::upArrow,
                              keycode::returnKey, keycode::tab,        keycode::space,     keycode::deleteKey,
                              keycode::escape,    keycode::minus};
    for (Action a : allActions) needed.insert(defaultBinding(a).keyCode);
    for (uint32_t d : keycode::digits) needed.insert(d);
    // Every letter, digit and punctuation position of the main block (10 is the ISO-only key).
    for (uint32_t k = 0; k <= 50; ++k)
        if (k != 10) needed.insert(k);
    for (uint32_t k : needed) EXPECT_TRUE(x11::keysymForKeyCode(k)) << "virtual key " << k;

    // Spot checks against the US layout.
    EXPECT_EQ(*x11::keysymForKeyCode(0), uint32_t('a'));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::r), uint32_t('r'));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::equals), uint32_t('='));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::minus), uint32_t('-'));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::digits[0]), uint32_t('0'));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::digits[5]), uint32_t('5'));  // 23, not 22
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::digits[6]), uint32_t('6'));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::space), uint32_t(' '));
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::rightArrow), 0xff53u);
    EXPECT_EQ(*x11::keysymForKeyCode(keycode::deleteKey), 0xff08u);  // the Mac's Delete is BackSpace
    EXPECT_EQ(*x11::keysymForKeyCode(117), 0xffffu);                 // forward delete
    EXPECT_EQ(*x11::keysymForKeyCode(122), 0xffbeu);                 // F1
    EXPECT_EQ(*x11::keysymForKeyCode(111), 0xffc9u);                 // F12
    // Modifier keys themselves are not shortcut keys.
    for (uint32_t k : {54u, 55u, 56u, 57u, 58u, 59u, 60u, 61u, 62u, 63u}) EXPECT_FALSE(x11::keysymForKeyCode(k)) << k;
    // No two positions share a keysym.
    std::set<uint32_t> syms;
    for (uint32_t k : x11::knownKeyCodes()) EXPECT_TRUE(syms.insert(*x11::keysymForKeyCode(k)).second) << k;
}

TEST(X11Keys, CarbonMasksBecomeXModifiers) {
    EXPECT_EQ(x11::modsForCarbon(modmask::controlOption), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    EXPECT_EQ(x11::modsForCarbon(modmask::controlCommand), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_4);
    EXPECT_EQ(x11::modsForCarbon(modmask::shift | modmask::option), XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1);
    EXPECT_EQ(x11::modsForCarbon(0), 0);
    EXPECT_EQ(x11::modsForCarbon(0x0400), 0);  // not one of the four
    // And back, for scroll events.
    EXPECT_EQ(modifierFlagsForX(XCB_MOD_MASK_1), eventflags::option);
    EXPECT_EQ(modifierFlagsForX(XCB_MOD_MASK_1 | XCB_MOD_MASK_2 | XCB_MOD_MASK_LOCK),
              eventflags::option | eventflags::capsLock);  // NumLock is no modifier here
    EXPECT_EQ(modifierFlagsForX(XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT),
              eventflags::control | eventflags::command | eventflags::shift);
}

TEST(X11Gestures, PinchScalesBecomeMagnificationSteps) {
    PinchSteps p;
    double sum = 0;
    MagnifyEvent b = p.begin(0.95);
    EXPECT_EQ(b.phase, gesturephase::began);
    sum += b.magnification;
    for (double s : {0.9, 0.8, 0.72}) {
        MagnifyEvent u = p.update(s);
        EXPECT_EQ(u.phase, gesturephase::changed);
        sum += u.magnification;
    }
    MagnifyEvent e = p.end(0.7, false);
    EXPECT_EQ(e.phase, gesturephase::ended);
    sum += e.magnification;
    EXPECT_NEAR(sum, -0.3, 1e-12);  // the steps add up to the whole pinch
    // A new pinch starts from 1 again, whatever the last one ended at.
    EXPECT_NEAR(p.begin(1.1).magnification, 0.1, 1e-12);
    EXPECT_EQ(p.end(1.1, true).phase, gesturephase::cancelled);
}

}  // namespace
}  // namespace tarvela

#include "platform/x11/x11_keys.h"

#include <array>
#include <map>

#include "platform/x11/x11_connection.h"

namespace tarvela::x11 {

namespace {

// X keysyms (X11/keysymdef.h).
constexpr uint32_t ks_Return = 0xff0d, ks_Tab = 0xff09, ks_BackSpace = 0xff08, ks_Escape = 0xff1b,
                   ks_Delete = 0xffff, ks_Home = 0xff50, ks_Left = 0xff51, ks_Up = 0xff52, ks_Right = 0xff53,
                   ks_Down = 0xff54, ks_Prior = 0xff55, ks_Next = 0xff56, ks_End = 0xff57, ks_Insert = 0xff63,
                   ks_KP_Enter = 0xff8d, ks_KP_Multiply = 0xffaa, ks_KP_Add = 0xffab, ks_KP_Subtract = 0xffad,
                   ks_KP_Decimal = 0xffae, ks_KP_Divide = 0xffaf, ks_KP_0 = 0xffb0, ks_KP_Equal = 0xffbd,
                   ks_F1 = 0xffbe, ks_Num_Lock = 0xff7f;
constexpr uint32_t F(int n) { return ks_F1 + static_cast<uint32_t>(n - 1); }
constexpr uint32_t KP(int n) { return ks_KP_0 + static_cast<uint32_t>(n); }

// Virtual key code -> keysym, by key position on a US keyboard. Letters and
// punctuation are their Latin-1 keysyms (lower case: the unshifted column).
const std::map<uint32_t, uint32_t>& table() {
    static const std::map<uint32_t, uint32_t> t{
        {0, 'a'},   {1, 's'},   {2, 'd'},   {3, 'f'},   {4, 'h'},   {5, 'g'},   {6, 'z'},   {7, 'x'},
        {8, 'c'},   {9, 'v'},   {11, 'b'},  {12, 'q'},  {13, 'w'},  {14, 'e'},  {15, 'r'},  {16, 'y'},
        {17, 't'},  {18, '1'},  {19, '2'},  {20, '3'},  {21, '4'},  {22, '6'},  {23, '5'},  {24, '='},
        {25, '9'},  {26, '7'},  {27, '-'},  {28, '8'},  {29, '0'},  {30, ']'},  {31, 'o'},  {32, 'u'},
        {33, '['},  {34, 'i'},  {35, 'p'},  {37, 'l'},  {38, 'j'},  {39, '\''}, {40, 'k'},  {41, ';'},
        {42, '\\'}, {43, ','},  {44, '/'},  {45, 'n'},  {46, 'm'},  {47, '.'},  {49, ' '},  {50, '`'},
        {36, ks_Return},     {48, ks_Tab},          {51, ks_BackSpace},    {53, ks_Escape},
        {65, ks_KP_Decimal}, {67, ks_KP_Multiply},  {69, ks_KP_Add},       
        {75, ks_KP_Divide},  {76, ks_KP_Enter},     {78, ks_KP_Subtract},  {81, ks_KP_Equal},
        {82, KP(0)},  {83, KP(1)},  {84, KP(2)},  {85, KP(3)},  {86, KP(4)},  {87, KP(5)},  {88, KP(6)},
        {89, KP(7)},  {91, KP(8)},  {92, KP(9)},
        {122, F(1)},  {120, F(2)},  {99, F(3)},   {118, F(4)},  {96, F(5)},   {97, F(6)},   {98, F(7)},
        {100, F(8)},  {101, F(9)},  {109, F(10)}, {103, F(11)}, {111, F(12)}, {105, F(13)}, {107, F(14)},
        {113, F(15)}, {106, F(16)}, {64, F(17)},  {79, F(18)},  {80, F(19)},  {90, F(20)},
        {114, ks_Insert},  // Help sits where PC keyboards have Insert
        {115, ks_Home},  {116, ks_Prior}, {117, ks_Delete}, {119, ks_End},  {121, ks_Next},
        {123, ks_Left},  {124, ks_Right}, {125, ks_Down},   {126, ks_Up},
    };
    return t;
}

}  // namespace

std::optional<uint32_t> keysymForKeyCode(uint32_t virtualKeyCode) {
    auto it = table().find(virtualKeyCode);
    if (it == table().end()) return std::nullopt;
    return it->second;
}

std::optional<uint32_t> keyCodeForKeysym(uint32_t keysym) {
    if (keysym >= 'A' && keysym <= 'Z') keysym += 'a' - 'A';
    for (auto& [code, sym] : table())
        if (sym == keysym) return code;
    return std::nullopt;
}

std::vector<uint32_t> knownKeyCodes() {
    std::vector<uint32_t> out;
    for (auto& [k, v] : table()) out.push_back(k);
    return out;
}

uint16_t modsForCarbon(uint32_t carbonMods) {
    uint16_t m = 0;
    if (carbonMods & 0x1000) m |= XCB_MOD_MASK_CONTROL;
    if (carbonMods & 0x0800) m |= XCB_MOD_MASK_1;
    if (carbonMods & 0x0100) m |= XCB_MOD_MASK_4;
    if (carbonMods & 0x0200) m |= XCB_MOD_MASK_SHIFT;
    return m;
}

void Keymap::refresh() {
    xcb_connection_t* c = conn_.raw();
    const xcb_setup_t* setup = xcb_get_setup(c);
    min_ = setup->min_keycode;
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto mapCookie = xcb_get_keyboard_mapping(c, min_, count);
    auto modCookie = xcb_get_modifier_mapping(c);
    syms_.clear();
    perCode_ = 0;
    if (auto r = conn_.get(xcb_get_keyboard_mapping_reply, mapCookie)) {
        perCode_ = r->keysyms_per_keycode;
        const xcb_keysym_t* s = xcb_get_keyboard_mapping_keysyms(r.get());
        syms_.assign(s, s + xcb_get_keyboard_mapping_keysyms_length(r.get()));
    }
    numLock_ = 0;
    if (auto r = conn_.get(xcb_get_modifier_mapping_reply, modCookie)) {
        const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(r.get());
        const auto numLockCodes = keycodes(ks_Num_Lock);
        for (int mod = 0; mod < 8; ++mod)
            for (int k = 0; k < r->keycodes_per_modifier; ++k) {
                xcb_keycode_t kc = codes[mod * r->keycodes_per_modifier + k];
                for (xcb_keycode_t n : numLockCodes)
                    if (kc != 0 && kc == n) numLock_ = static_cast<uint16_t>(1u << mod);
            }
    }
}

std::vector<xcb_keycode_t> Keymap::keycodes(uint32_t keysym) const {
    std::vector<xcb_keycode_t> out;
    if (perCode_ == 0) return out;
    for (size_t i = 0; i < syms_.size(); ++i) {
        if (syms_[i] != keysym) continue;
        auto kc = static_cast<xcb_keycode_t>(min_ + i / perCode_);
        if (out.empty() || out.back() != kc) out.push_back(kc);
    }
    return out;
}

std::vector<uint16_t> Keymap::lockVariants() const {
    std::vector<uint16_t> v{0, XCB_MOD_MASK_LOCK};
    if (numLock_) {
        v.push_back(numLock_);
        v.push_back(static_cast<uint16_t>(numLock_ | XCB_MOD_MASK_LOCK));
    }
    return v;
}

}  // namespace tarvela::x11

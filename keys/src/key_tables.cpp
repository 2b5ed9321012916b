#include "kavrel/keys/key_tables.h"

#include <algorithm>

namespace kavrel::keys {

namespace {

using R = KeyChoiceRow;
namespace K = KeyType;

constexpr std::array<KeyChoiceRow, 5> kMouseButtons = {{
    {0, 0x10, 0x01, 0, "mouse_key_left"},
    {1, 0x10, 0x04, 0, "mouse_key_middle"},
    {2, 0x10, 0x02, 0, "mouse_key_right"},
    {3, 0x10, 0x10, 0, "mouse_key_forward"},
    {4, 0x10, 0x08, 0, "mouse_key_back"},
}};

// Only the type and the position (the direction) of a swing row are used; param2 shows the
// direction bit the position stands for.
constexpr std::array<KeyChoiceRow, 2> kHorizontalSwings = {{
    {0, 0x11, 0, 0x00, "mouse_key_left_Swing"},
    {1, 0x11, 0, 0x80, "mouse_key_right_Swing"},
}};

constexpr std::array<KeyChoiceRow, 2> kVerticalSwings = {{
    {0, 0x12, 0, 0x00, "mouse_key_up_Swing"},
    {1, 0x12, 0, 0x80, "mouse_key_down_Swing"},
}};

constexpr std::array<KeyChoiceRow, 3> kDpiFunctions = {{
    {0, 0x13, 0x01, 0, "mouse_key_DPI_loop"},
    {1, 0x13, 0x02, 0, "mouse_key_DPI1_loop"},
    {2, 0xA0, 0x02, 0, "mouse_key_DPI_shift"},
}};

// Left Ctrl + key.
constexpr std::array<KeyChoiceRow, 11> kHotKeys = {{
    {0, 0x20, 0x01, 0x12, "combo_open"},       // O
    {1, 0x20, 0x01, 0x11, "combo_new"},        // N
    {2, 0x20, 0x01, 0x1D, "combo_revocation"}, // Z
    {3, 0x20, 0x01, 0x16, "combo_save"},       // S
    {4, 0x20, 0x01, 0x06, "combo_copy"},       // C
    {5, 0x20, 0x01, 0x1B, "combo_cut"},        // X
    {6, 0x20, 0x01, 0x19, "combo_paste"},      // V
    {7, 0x20, 0x01, 0x09, "combo_finde"},      // F
    {8, 0x20, 0x01, 0x04, "combo_all"},        // A
    {9, 0x20, 0x01, 0x2D, "combo_narrow"},     // -
    {10, 0x20, 0x01, 0x2E, "combo_magnify"},   // =
}};

// Consumer usage split as param1 = low byte, param2 = high byte.
constexpr std::array<KeyChoiceRow, 18> kMultimedia = {{
    {0, 0x30, 0x83, 0x01, "media_text"},    // 0x0183
    {1, 0x30, 0xCD, 0x00, "media_play"},    // 0x00CD
    {2, 0x30, 0xB7, 0x00, "media_stop"},    // 0x00B7
    {3, 0x30, 0xB6, 0x00, "media_prev"},    // 0x00B6
    {4, 0x30, 0xB5, 0x00, "media_next"},    // 0x00B5
    {5, 0x30, 0xEA, 0x00, "media_vol_sub"}, // 0x00EA
    {6, 0x30, 0xE9, 0x00, "media_vol_add"}, // 0x00E9
    {7, 0x30, 0xE2, 0x00, "media_mute"},    // 0x00E2
    {8, 0x30, 0x23, 0x02, "web_text"},      // 0x0223
    {9, 0x30, 0x27, 0x02, "web_refresh"},   // 0x0227
    {10, 0x30, 0x26, 0x02, "wed_stop"},     // 0x0226
    {11, 0x30, 0x24, 0x02, "wed_back"},     // 0x0224
    {12, 0x30, 0x25, 0x02, "wed_forward"},  // 0x0225
    {13, 0x30, 0x2A, 0x02, "wed_favorite"}, // 0x022A
    {14, 0x30, 0x21, 0x02, "web_search"},   // 0x0221
    {15, 0x30, 0x94, 0x01, "media_mypc"},   // 0x0194
    {16, 0x30, 0x92, 0x01, "media_calc"},   // 0x0192
    {17, 0x30, 0x8A, 0x01, "media_mail"},   // 0x018A
}};

constexpr std::array<KeyChoiceRow, 3> kSystemKeys = {{
    {0, 0x40, 0x01, 0, "system_power"},
    {1, 0x40, 0x02, 0, "system_sleep"},
    {2, 0x40, 0x04, 0, "system_wake_up"},
}};

// clang-format off
constexpr std::array<VirtualKeyRow, kVirtualKeyRows> kVirtualKeys = {{
    // 0-7: modifiers alone (mask, usage 0)
    {0xA2, 0x20, 0x01, 0, "keyboard_key_LCtrl"},
    {0xA0, 0x20, 0x02, 0, "keyboard_key_LShift"},
    {0xA4, 0x20, 0x04, 0, "keyboard_key_LAlt"},
    {0x5B, 0x20, 0x08, 0, "keyboard_key_LWin"},
    {0xA3, 0x20, 0x10, 0, "keyboard_key_RCtrl"},
    {0xA1, 0x20, 0x20, 0, "keyboard_key_RShift"},
    {0xA5, 0x20, 0x40, 0, "keyboard_key_RAlt"},
    {0x5C, 0x20, 0x80, 0, "keyboard_key_RWin"},
    // 8-33: letters
    {0x41, 0x20, 0, 0x04, "keyboard_key_A"},
    {0x42, 0x20, 0, 0x05, "keyboard_key_B"},
    {0x43, 0x20, 0, 0x06, "keyboard_key_C"},
    {0x44, 0x20, 0, 0x07, "keyboard_key_D"},
    {0x45, 0x20, 0, 0x08, "keyboard_key_E"},
    {0x46, 0x20, 0, 0x09, "keyboard_key_F"},
    {0x47, 0x20, 0, 0x0A, "keyboard_key_G"},
    {0x48, 0x20, 0, 0x0B, "keyboard_key_H"},
    {0x49, 0x20, 0, 0x0C, "keyboard_key_I"},
    {0x4A, 0x20, 0, 0x0D, "keyboard_key_J"},
    {0x4B, 0x20, 0, 0x0E, "keyboard_key_K"},
    {0x4C, 0x20, 0, 0x0F, "keyboard_key_L"},
    {0x4D, 0x20, 0, 0x10, "keyboard_key_M"},
    {0x4E, 0x20, 0, 0x11, "keyboard_key_N"},
    {0x4F, 0x20, 0, 0x12, "keyboard_key_O"},
    {0x50, 0x20, 0, 0x13, "keyboard_key_P"},
    {0x51, 0x20, 0, 0x14, "keyboard_key_Q"},
    {0x52, 0x20, 0, 0x15, "keyboard_key_R"},
    {0x53, 0x20, 0, 0x16, "keyboard_key_S"},
    {0x54, 0x20, 0, 0x17, "keyboard_key_T"},
    {0x55, 0x20, 0, 0x18, "keyboard_key_U"},
    {0x56, 0x20, 0, 0x19, "keyboard_key_V"},
    {0x57, 0x20, 0, 0x1A, "keyboard_key_W"},
    {0x58, 0x20, 0, 0x1B, "keyboard_key_X"},
    {0x59, 0x20, 0, 0x1C, "keyboard_key_Y"},
    {0x5A, 0x20, 0, 0x1D, "keyboard_key_Z"},
    // 34-43: digits
    {0x31, 0x20, 0, 0x1E, "keyboard_key_1"},
    {0x32, 0x20, 0, 0x1F, "keyboard_key_2"},
    {0x33, 0x20, 0, 0x20, "keyboard_key_3"},
    {0x34, 0x20, 0, 0x21, "keyboard_key_4"},
    {0x35, 0x20, 0, 0x22, "keyboard_key_5"},
    {0x36, 0x20, 0, 0x23, "keyboard_key_6"},
    {0x37, 0x20, 0, 0x24, "keyboard_key_7"},
    {0x38, 0x20, 0, 0x25, "keyboard_key_8"},
    {0x39, 0x20, 0, 0x26, "keyboard_key_9"},
    {0x30, 0x20, 0, 0x27, "keyboard_key_0"},
    // 44-48
    {0x0D, 0x20, 0, 0x28, "keyboard_key_Enter"},
    {0x1B, 0x20, 0, 0x29, "keyboard_key_Esc"},
    {0x08, 0x20, 0, 0x2A, "keyboard_key_BackSpace"},
    {0x09, 0x20, 0, 0x2B, "keyboard_key_Tab"},
    {0x20, 0x20, 0, 0x2C, "keyboard_key_Space"},
    // 49-53
    {0xBD, 0x20, 0, 0x2D, "keyboard_key_-"},
    {0xBB, 0x20, 0, 0x2E, "keyboard_key_="},
    {0xDB, 0x20, 0, 0x2F, "keyboard_key_["},
    {0xDD, 0x20, 0, 0x30, "keyboard_key_]"},
    {0xDC, 0x20, 0, 0x31, "keyboard_key_xiegang"},
    // 54-59 (no row for usage 0x32)
    {0xBA, 0x20, 0, 0x33, "keyboard_key_;"},
    {0xDE, 0x20, 0, 0x34, "keyboard_key_'"},
    {0xC0, 0x20, 0, 0x35, "keyboard_key_`"},
    {0xBC, 0x20, 0, 0x36, "keyboard_key_<"},
    {0xBE, 0x20, 0, 0x37, "keyboard_key_."},
    {0xBF, 0x20, 0, 0x38, "keyboard_key_/"},
    // 60
    {0x14, 0x20, 0, 0x39, "keyboard_key_Caplk"},
    // 61-72
    {0x70, 0x20, 0, 0x3A, "keyboard_key_F1"},
    {0x71, 0x20, 0, 0x3B, "keyboard_key_F2"},
    {0x72, 0x20, 0, 0x3C, "keyboard_key_F3"},
    {0x73, 0x20, 0, 0x3D, "keyboard_key_F4"},
    {0x74, 0x20, 0, 0x3E, "keyboard_key_F5"},
    {0x75, 0x20, 0, 0x3F, "keyboard_key_F6"},
    {0x76, 0x20, 0, 0x40, "keyboard_key_F7"},
    {0x77, 0x20, 0, 0x41, "keyboard_key_F8"},
    {0x78, 0x20, 0, 0x42, "keyboard_key_F9"},
    {0x79, 0x20, 0, 0x43, "keyboard_key_F10"},
    {0x7A, 0x20, 0, 0x44, "keyboard_key_F11"},
    {0x7B, 0x20, 0, 0x45, "keyboard_key_F12"},
    // 73-85
    {0x2C, 0x20, 0, 0x46, "keyboard_key_Print Scr"},
    {0x91, 0x20, 0, 0x47, "keyboard_key_Scroll Lock"},
    {0x13, 0x20, 0, 0x48, "keyboard_key_Pause"},
    {0x2D, 0x20, 0, 0x49, "keyboard_key_Insert"},
    {0x24, 0x20, 0, 0x4A, "keyboard_key_Home"},
    {0x21, 0x20, 0, 0x4B, "keyboard_key_Page Up"},
    {0x2E, 0x20, 0, 0x4C, "keyboard_key_Delete"},
    {0x23, 0x20, 0, 0x4D, "keyboard_key_End"},
    {0x22, 0x20, 0, 0x4E, "keyboard_key_Page Down"},
    {0x27, 0x20, 0, 0x4F, "keyboard_key_Right"},
    {0x25, 0x20, 0, 0x50, "keyboard_key_Left"},
    {0x28, 0x20, 0, 0x51, "keyboard_key_Down"},
    {0x26, 0x20, 0, 0x52, "keyboard_key_Up"},
    // 86-91
    {0x90,  0x20, 0, 0x53, "keyboard_key_Num Lock"},
    {0x6F,  0x20, 0, 0x54, "keyboard_key_Num /"},
    {0x6A,  0x20, 0, 0x55, "keyboard_key_Num *"},
    {0x6D,  0x20, 0, 0x56, "keyboard_key_Num -"},
    {0x6B,  0x20, 0, 0x57, "keyboard_key_Num +"},
    {0x101, 0x20, 0, 0x58, "keyboard_key_Num Enter"},
    // 92-101
    {0x61, 0x20, 0, 0x59, "keyboard_key_Num 1"},
    {0x62, 0x20, 0, 0x5A, "keyboard_key_Num 2"},
    {0x63, 0x20, 0, 0x5B, "keyboard_key_Num 3"},
    {0x64, 0x20, 0, 0x5C, "keyboard_key_Num 4"},
    {0x65, 0x20, 0, 0x5D, "keyboard_key_Num 5"},
    {0x66, 0x20, 0, 0x5E, "keyboard_key_Num 6"},
    {0x67, 0x20, 0, 0x5F, "keyboard_key_Num 7"},
    {0x68, 0x20, 0, 0x60, "keyboard_key_Num 8"},
    {0x69, 0x20, 0, 0x61, "keyboard_key_Num 9"},
    {0x60, 0x20, 0, 0x62, "keyboard_key_Num 0"},
    // 102-103 (no row for usage 0x64)
    {0x6E, 0x20, 0, 0x63, "keyboard_key_Decimal"},
    {0x5D, 0x20, 0, 0x65, "keyboard_key_App"},
    // 104-121: multimedia keys, consumer usage as param1 = low byte, param2 = high byte
    {0xB7, 0x30, 0x92, 0x01, "keyboard_key_Launch App2"},          // 0x0192
    {0xAC, 0x30, 0x23, 0x02, "keyboard_key_Browaer Home"},         // 0x0223
    {0xB3, 0x30, 0xCD, 0x00, "keyboard_key_Media Play Pause"},     // 0x00CD
    {0xAA, 0x30, 0x21, 0x02, "keyboard_key_Browser Search"},       // 0x0221
    {0xB4, 0x30, 0x8A, 0x01, "keyboard_key_Launch Mail"},          // 0x018A
    {0xAF, 0x30, 0xE9, 0x00, "keyboard_key_Volume Up"},            // 0x00E9
    {0xAD, 0x30, 0xE2, 0x00, "keyboard_key_Volume Mute"},          // 0x00E2
    {0xB2, 0x30, 0xB7, 0x00, "keyboard_key_Media Stop"},           // 0x00B7
    {0xAE, 0x30, 0xEA, 0x00, "keyboard_key_Volume Down"},          // 0x00EA
    {0xAB, 0x30, 0x2A, 0x02, "keyboard_key_Browser Favorites"},    // 0x022A
    {0xA7, 0x30, 0x25, 0x02, "keyboard_key_Browser ForWard"},      // 0x0225
    {0xA6, 0x30, 0x24, 0x02, "keyboard_key_Browser Back"},         // 0x0224
    {0xB1, 0x30, 0xB6, 0x00, "keyboard_key_Media Prev Track"},     // 0x00B6
    {0xB0, 0x30, 0xB5, 0x00, "keyboard_key_Media Next Track"},     // 0x00B5
    {0xB6, 0x30, 0x94, 0x01, "keyboard_key_Computer"},             // 0x0194
    {0xA8, 0x30, 0x27, 0x02, "keyboard_key_Browser Refresh"},      // 0x0227
    {0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},  // 0x0183
    {0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},  // 0x0183, the row is present twice
    // 122-124: system keys, for naming only
    {kVkPower, 0x40, 0x01, 0, "keyboard_key_Power"},
    {kVkSleep, 0x40, 0x02, 0, "keyboard_key_Sleep"},
    {kVkWake,  0x40, 0x04, 0, "keyboard_key_Wakeup"},
}};

constexpr KeyFunction key(std::uint8_t usage) { return {K::Keyboard, 0, usage}; }
constexpr KeyFunction mod(std::uint8_t mask) { return {K::Keyboard, mask, 0}; }
constexpr KeyFunction kEmpty = {K::Keyboard, 0, 0};
constexpr KeyFunction kFn = {K::Shift, 2, 2};

constexpr std::array<KeyFunction, kKeyboardPositions> kLayout = {{
    key(0x29),                                                             // 0 Esc
    key(0x3A), key(0x3B), key(0x3C), key(0x3D), key(0x3E), key(0x3F),      // 1-6 F1-F6
    key(0x40), key(0x41), key(0x42), key(0x43), key(0x44), key(0x45),      // 7-12 F7-F12
    key(0x46), key(0x47), key(0x48),                                       // 13-15 PrtSc ScrLk Pause
    kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,                                // 16-20
    key(0x35),                                                             // 21 `
    key(0x1E), key(0x1F), key(0x20), key(0x21), key(0x22),                 // 22-26 1-5
    key(0x23), key(0x24), key(0x25), key(0x26), key(0x27),                 // 27-31 6-0
    key(0x2D), key(0x2E), key(0x2A),                                       // 32-34 - = BackSpace
    key(0x49), key(0x4A), key(0x4B),                                       // 35-37 Ins Home PgUp
    key(0x53), key(0x54), key(0x55), key(0x56),                            // 38-41 NumLk / * -
    key(0x2B),                                                             // 42 Tab
    key(0x14), key(0x1A), key(0x08), key(0x15), key(0x17),                 // 43-47 Q W E R T
    key(0x1C), key(0x18), key(0x0C), key(0x12), key(0x13),                 // 48-52 Y U I O P
    key(0x2F), key(0x30), key(0x31),                                       // 53-55 [ ] backslash
    key(0x4C), key(0x4D), key(0x4E),                                       // 56-58 Del End PgDn
    key(0x5F), key(0x60), key(0x61),                                       // 59-61 KP7-KP9
    kEmpty,                                                                // 62
    key(0x39),                                                             // 63 Caps
    key(0x04), key(0x16), key(0x07), key(0x09), key(0x0A),                 // 64-68 A S D F G
    key(0x0B), key(0x0D), key(0x0E), key(0x0F),                            // 69-72 H J K L
    key(0x33), key(0x34), key(0x28),                                       // 73-75 ; ' Enter
    key(0x5C), key(0x5D), key(0x5E),                                       // 76-78 KP4-KP6
    kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,                                // 79-83
    mod(0x02),                                                             // 84 left Shift
    key(0x1D), key(0x1B), key(0x06), key(0x19), key(0x05),                 // 85-89 Z X C V B
    key(0x11), key(0x10), key(0x36), key(0x37), key(0x38),                 // 90-94 N M , . /
    mod(0x20),                                                             // 95 right Shift
    key(0x52),                                                             // 96 Up
    key(0x59), key(0x5A), key(0x5B),                                       // 97-99 KP1-KP3
    kEmpty, kEmpty,                                                        // 100-101
    key(0x64),                                                             // 102 non-US backslash
    kEmpty, kEmpty,                                                        // 103-104
    mod(0x01), mod(0x08), mod(0x04),                                       // 105-107 left Ctrl GUI Alt
    key(0x2C),                                                             // 108 Space
    mod(0x40),                                                             // 109 right Alt
    kFn,                                                                   // 110 Fn
    key(0x65),                                                             // 111 Application
    mod(0x10),                                                             // 112 right Ctrl
    key(0x50), key(0x51), key(0x4F),                                       // 113-115 Left Down Right
    key(0x62), key(0x63), key(0x58), key(0x57),                            // 116-119 KP0 KP. KPEnter KP+
    kEmpty, kEmpty, kEmpty, kEmpty, kEmpty,                                // 120-124
    mod(0x80),                                                             // 125 right GUI
}};
// clang-format on

template <std::size_t N>
constexpr bool indexesArePositions(const std::array<KeyChoiceRow, N>& rows) {
    for (std::size_t i = 0; i < N; ++i)
        if (rows[i].index != i) return false;
    return true;
}
static_assert(indexesArePositions(kMouseButtons) && indexesArePositions(kHorizontalSwings) &&
              indexesArePositions(kVerticalSwings) && indexesArePositions(kDpiFunctions) &&
              indexesArePositions(kHotKeys) && indexesArePositions(kMultimedia) &&
              indexesArePositions(kSystemKeys));

} // namespace

KeyChoiceTable mouseButtonTable() { return kMouseButtons; }
KeyChoiceTable horizontalSwingTable() { return kHorizontalSwings; }
KeyChoiceTable verticalSwingTable() { return kVerticalSwings; }
KeyChoiceTable dpiTable() { return kDpiFunctions; }
KeyChoiceTable hotKeyTable() { return kHotKeys; }
KeyChoiceTable multimediaTable() { return kMultimedia; }
KeyChoiceTable systemTable() { return kSystemKeys; }

std::span<const VirtualKeyRow> virtualKeyTable() { return kVirtualKeys; }
std::span<const KeyFunction, kKeyboardPositions> keyboardLayoutTable() { return kLayout; }

namespace {
template <class Pred> std::optional<std::size_t> findRow(KeyChoiceTable table, Pred pred) {
    auto it = std::find_if(table.begin(), table.end(), pred);
    if (it == table.end()) return std::nullopt;
    return static_cast<std::size_t>(it - table.begin());
}
} // namespace

std::optional<std::size_t> findRowByParam1(KeyChoiceTable table, std::uint8_t param1) {
    return findRow(table, [&](const R& r) { return r.param1 == param1; });
}

std::optional<std::size_t> findRowByParams(KeyChoiceTable table, std::uint8_t param1, std::uint8_t param2) {
    return findRow(table, [&](const R& r) { return r.param1 == param1 && (r.param2 & 0xFF) == param2; });
}

std::optional<std::size_t> mouseButtonRowOf(std::uint8_t param1) { return findRowByParam1(kMouseButtons, param1); }

std::optional<std::size_t> dpiRowOf(std::uint8_t type, std::uint8_t param1) {
    return findRow(kDpiFunctions, [&](const R& r) { return r.type == type && r.param1 == param1; });
}

std::optional<std::size_t> hotKeyRowOf(std::uint8_t param1, std::uint8_t param2) {
    return findRowByParams(kHotKeys, param1, param2);
}

std::optional<std::size_t> multimediaRowOf(std::uint8_t param1, std::uint8_t param2) {
    return findRowByParams(kMultimedia, param1, param2);
}

std::optional<std::size_t> systemRowOf(std::uint8_t param1, std::uint8_t param2) {
    return findRowByParams(kSystemKeys, param1, param2);
}

const VirtualKeyRow* virtualKeyRowOfCode(std::uint32_t vk) {
    auto it = std::find_if(kVirtualKeys.begin(), kVirtualKeys.end(), [&](const VirtualKeyRow& r) { return r.vk == vk; });
    return it == kVirtualKeys.end() ? nullptr : &*it;
}

const VirtualKeyRow* virtualKeyRowOfParams(std::uint8_t param1, std::uint8_t param2) {
    auto it = std::find_if(kVirtualKeys.begin(), kVirtualKeys.end(), [&](const VirtualKeyRow& r) {
        return r.param1 == param1 && (r.param2 & 0xFF) == param2;
    });
    return it == kVirtualKeys.end() ? nullptr : &*it;
}

} // namespace kavrel::keys

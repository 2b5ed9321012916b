// The constant tables the key editor builds records from, and the look-ups into them.
// Every name in them is a language key; the texts live in the language files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kavrel/keys/key_function.h"

namespace kavrel::keys {

// One row behind a selection combo of the key page; combo item k selects row k.
struct KeyChoiceRow {
    std::uint16_t index = 0; // equal to the row's position
    std::uint8_t type = 0;
    std::uint8_t param1 = 0;
    std::uint16_t param2 = 0; // its low byte becomes the record's param2
    std::string_view nameKey;

    KeyFunction record() const { return {type, param1, static_cast<std::uint8_t>(param2 & 0xFF)}; }
};
using KeyChoiceTable = std::span<const KeyChoiceRow>;

KeyChoiceTable mouseButtonTable();      // 5 rows, combo 11
KeyChoiceTable horizontalSwingTable();  // 2 rows (left, right), combo 12
KeyChoiceTable verticalSwingTable();    // 2 rows (up, down), combo 13
KeyChoiceTable dpiTable();              // 3 rows, combo 14; row 2 is the 0xA0 DPI shift
KeyChoiceTable hotKeyTable();           // 11 rows, combo 26
KeyChoiceTable multimediaTable();       // 18 rows, combo 21
KeyChoiceTable systemTable();           // 3 rows, combo 22

inline constexpr std::string_view kFireKeyNameKey = "mouse_key_fire_key";
inline constexpr std::string_view kCloseTextKey = "close_text";
inline constexpr std::string_view kKeySetKey = "Key_Set";

// Recoil patterns have no table: combo item k (0-3) gives (0x72, k, 0).
inline constexpr std::size_t kRecoilPatternCount = 4;
inline constexpr std::array<std::string_view, kRecoilPatternCount> kRecoilPatternNameKeys = {
    "GUN_1", "GUN_2", "GUN_3", "GUN_4"};
inline constexpr KeyFunction recoilPatternRecord(std::uint8_t k) { return {KeyType::RecoilPattern, k, 0}; }

// Row look-ups; each gives the position of the first matching row. Records carry only the
// low byte of a row's param2, so that is what is compared.
std::optional<std::size_t> findRowByParam1(KeyChoiceTable table, std::uint8_t param1);
std::optional<std::size_t> findRowByParams(KeyChoiceTable table, std::uint8_t param1, std::uint8_t param2);
std::optional<std::size_t> mouseButtonRowOf(std::uint8_t param1);
// DPI rows are told apart by type as well: (0x13, 2) is the second DPI loop, (0xA0, 2) the shift.
std::optional<std::size_t> dpiRowOf(std::uint8_t type, std::uint8_t param1);
std::optional<std::size_t> hotKeyRowOf(std::uint8_t param1, std::uint8_t param2);
std::optional<std::size_t> multimediaRowOf(std::uint8_t param1, std::uint8_t param2);
std::optional<std::size_t> systemRowOf(std::uint8_t param1, std::uint8_t param2);

// Pseudo virtual-key codes: Enter with the extended flag (numeric-pad Enter), and the system
// keys, which never come from a key event and exist only for naming.
inline constexpr std::uint16_t kVkNumEnter = 0x101;
inline constexpr std::uint16_t kVkPower = 0x103;
inline constexpr std::uint16_t kVkSleep = 0x104;
inline constexpr std::uint16_t kVkWake = 0x105;

struct VirtualKeyRow {
    std::uint16_t vk = 0; // Windows virtual-key code or a pseudo code above
    std::uint8_t type = 0;
    std::uint8_t param1 = 0;
    std::uint16_t param2 = 0;
    std::string_view nameKey; // "keyboard_key_" + suffix

    KeyFunction record() const { return {type, param1, static_cast<std::uint8_t>(param2 & 0xFF)}; }
};

inline constexpr std::size_t kVirtualKeyRows = 125;
// Rows 0-103 are keyboard keys (type 0x20): the recordable and capturable ones.
inline constexpr std::size_t kKeyboardKeyRows = 104;
std::span<const VirtualKeyRow> virtualKeyTable();

// First row with this code, of any type.
const VirtualKeyRow* virtualKeyRowOfCode(std::uint32_t vk);
// First row whose param1 and param2 low byte equal these, of any type.
const VirtualKeyRow* virtualKeyRowOfParams(std::uint8_t param1, std::uint8_t param2);

// Factory record of each keyboard button "kb_key_" + position.
inline constexpr std::size_t kKeyboardPositions = 126;
std::span<const KeyFunction, kKeyboardPositions> keyboardLayoutTable();

} // namespace kavrel::keys

#include "kavrel/keys/key_display.h"

#include <gtest/gtest.h>

#include <vector>

namespace kavrel::keys {
namespace {

using Kind = KeyLabel::Kind;

KeyLabel lang(std::string key) { return {Kind::LanguageKey, std::move(key)}; }
const KeyLabel kUnchanged{};

TEST(DisplayKeyOf, RecordsWithoutMacros) {
    const struct {
        KeyFunction record;
        KeyLabel label;
    } cases[] = {
        // keyboard records: key names, hot-key names, modifiers alone
        {{0x20, 0x01, 0x06}, lang("combo_copy")},
        {{0x20, 0x01, 0x2E}, lang("combo_magnify")},
        {{0x20, 0x02, 0x00}, lang("keyboard_key_LShift")},
        {{0x20, 0x00, 0x58}, lang("keyboard_key_Num Enter")},
        {{0x00, 0x00, 0x29}, lang("keyboard_key_Esc")},
        {{0x20, 0x03, 0x00}, kUnchanged}, // two modifiers: no row
        {{0x20, 0x00, 0x32}, kUnchanged}, // usage without a row
        {{0x20, 0x04, 0x06}, kUnchanged}, // Alt+C is no hot key
        // the same consumer usage through the multimedia rows
        {{0x30, 0x83, 0x01}, lang("media_text")},
        {{0x21, 0xCD, 0x00}, lang("media_play")},
        {{0x30, 0x83, 0x02}, kUnchanged},
        // mouse buttons, DPI and shift
        {{0x10, 0x04, 0}, lang("mouse_key_middle")},
        {{0x10, 0x03, 0}, kUnchanged},
        {{0x13, 0x02, 0}, lang("mouse_key_DPI1_loop")},
        {{0x13, 0x03, 0}, kUnchanged},
        {{0xA0, 0x02, 0}, lang("mouse_key_DPI_shift")},
        {{0xA0, 0x02, 0x02}, lang("mouse_key_DPI_shift")},
        {{0x40, 0x04, 0}, lang("system_wake_up")},
        {{0x40, 0x08, 0}, kUnchanged},
        // swings by bit 7 of param2
        {{0x11, 0x23, 0x85}, lang("mouse_key_right_Swing")},
        {{0x11, 0x23, 0x05}, lang("mouse_key_left_Swing")},
        {{0x12, 0x00, 0x80}, lang("mouse_key_down_Swing")},
        {{0x12, 0xFF, 0x7F}, lang("mouse_key_up_Swing")},
        {{0x14, 0x01, 0x00}, lang("mouse_key_fire_key")},
        {{0x72, 0, 0}, lang("GUN_1")},
        {{0x72, 3, 0}, lang("GUN_4")},
        {{0x72, 4, 0}, kUnchanged},
        // firmware-only types keep the text, anything else is "close"
        {{0x15, 1, 1}, kUnchanged},
        {{0x50, 0, 0}, kUnchanged},
        {{0x60, 0, 0}, kUnchanged},
        {{0xB0, 0, 0}, kUnchanged},
        {{0xC0, 0, 0}, kUnchanged},
        {{0x7F, 0, 0}, lang("close_text")},
        {{0x05, 0x05, 0x05}, lang("close_text")}, // the filler of unread blocks
        {{0xFF, 0xFF, 0xFF}, lang("close_text")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.record.type) << ' ' << int(c.record.param1) << ' '
                                        << int(c.record.param2));
        EXPECT_EQ(displayKeyOf(c.record), c.label);
    }
}

TEST(DisplayKeyOf, MacroRecordsUseTheStoreName) {
    const std::vector<std::string> store = {"Reload", "Burst"};
    std::vector<unsigned> asked;
    const MacroNameLookup lookup = [&](unsigned i) -> std::optional<std::string> {
        asked.push_back(i);
        if (i < store.size()) return store[i];
        return std::nullopt;
    };
    EXPECT_EQ(displayKeyOf({0x70, 1, 3}, lookup), (KeyLabel{Kind::MacroName, "Burst"}));
    EXPECT_EQ(displayKeyOf({0x71, 0, 5}, lookup), (KeyLabel{Kind::MacroName, "Reload"}));
    EXPECT_EQ(displayKeyOf({0x70, 2, 0}, lookup), kUnchanged);
    EXPECT_EQ(asked, (std::vector<unsigned>{1, 0, 2}));
    EXPECT_EQ(displayKeyOf({0x70, 0, 0}), kUnchanged);
}

TEST(RecordForCapturedKey, KeyEvents) {
    const struct {
        std::uint32_t vk, flags;
        std::optional<KeyFunction> record;
        std::string_view nameKey;
    } cases[] = {
        {0x0D, 0x00, KeyFunction{0x20, 0, 0x28}, "keyboard_key_Enter"},
        {0x0D, 0x80, KeyFunction{0x20, 0, 0x28}, "keyboard_key_Enter"},
        {0x0D, 1, KeyFunction{0x20, 0, 0x58}, "keyboard_key_Num Enter"},
        {0x0D, 129, KeyFunction{0x20, 0, 0x58}, "keyboard_key_Num Enter"},
        {0x0D, 0x21, KeyFunction{0x20, 0, 0x58}, "keyboard_key_Num Enter"}, // with Alt held
        {0x21, 1, KeyFunction{0x20, 0, 0x4B}, "keyboard_key_Page Up"},     // extended, not Enter
        {0xA0, 0, KeyFunction{0x20, 0x02, 0}, "keyboard_key_LShift"},
        {0x5C, 1, KeyFunction{0x20, 0x80, 0}, "keyboard_key_RWin"},
        {0x41, 0, KeyFunction{0x20, 0, 0x04}, "keyboard_key_A"},
        {0x5D, 0, KeyFunction{0x20, 0, 0x65}, "keyboard_key_App"},
        {0xAF, 0, std::nullopt, {}},  // Volume Up
        {0xB5, 0, std::nullopt, {}},  // media select
        {0x103, 0, std::nullopt, {}}, // power: naming only
        {0x07, 0, std::nullopt, {}},
        {0x10041, 0, std::nullopt, {}},
        {0xFFFFFFFF, 0xFFFFFFFF, std::nullopt, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.vk << ' ' << c.flags);
        const auto got = recordForCapturedKey(c.vk, c.flags);
        ASSERT_EQ(got.has_value(), c.record.has_value());
        if (!got) continue;
        EXPECT_EQ(got->record, *c.record);
        EXPECT_EQ(got->nameKey, c.nameKey);
    }
}

} // namespace
} // namespace kavrel::keys

#include "kavrel/keys/key_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace kavrel::keys {
namespace {

struct Row {
    std::size_t pos;
    std::uint8_t type, param1;
    std::uint16_t param2;
    std::string_view nameKey;
};

struct ChoiceTableCase {
    const char* name;
    KeyChoiceTable (*table)();
    std::size_t size;
    std::vector<Row> rows; // first, last and the rows worth pinning
};

TEST(KeyChoiceTables, SizesAndRows) {
    const ChoiceTableCase cases[] = {
        {"mouse buttons", mouseButtonTable, 5,
         {{0, 0x10, 0x01, 0, "mouse_key_left"}, {1, 0x10, 0x04, 0, "mouse_key_middle"},
          {2, 0x10, 0x02, 0, "mouse_key_right"}, {4, 0x10, 0x08, 0, "mouse_key_back"}}},
        {"horizontal swing", horizontalSwingTable, 2,
         {{0, 0x11, 0, 0x00, "mouse_key_left_Swing"}, {1, 0x11, 0, 0x80, "mouse_key_right_Swing"}}},
        {"vertical swing", verticalSwingTable, 2,
         {{0, 0x12, 0, 0x00, "mouse_key_up_Swing"}, {1, 0x12, 0, 0x80, "mouse_key_down_Swing"}}},
        {"DPI", dpiTable, 3,
         {{0, 0x13, 0x01, 0, "mouse_key_DPI_loop"}, {1, 0x13, 0x02, 0, "mouse_key_DPI1_loop"},
          {2, 0xA0, 0x02, 0, "mouse_key_DPI_shift"}}},
        {"hot keys", hotKeyTable, 11,
         {{0, 0x20, 0x01, 0x12, "combo_open"}, {4, 0x20, 0x01, 0x06, "combo_copy"},
          {7, 0x20, 0x01, 0x09, "combo_finde"}, {10, 0x20, 0x01, 0x2E, "combo_magnify"}}},
        {"multimedia", multimediaTable, 18,
         {{0, 0x30, 0x83, 0x01, "media_text"}, {1, 0x30, 0xCD, 0x00, "media_play"},
          {8, 0x30, 0x23, 0x02, "web_text"}, {10, 0x30, 0x26, 0x02, "wed_stop"},
          {13, 0x30, 0x2A, 0x02, "wed_favorite"}, {17, 0x30, 0x8A, 0x01, "media_mail"}}},
        {"system", systemTable, 3,
         {{0, 0x40, 0x01, 0, "system_power"}, {2, 0x40, 0x04, 0, "system_wake_up"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const KeyChoiceTable t = c.table();
        ASSERT_EQ(t.size(), c.size);
        for (std::size_t i = 0; i < t.size(); ++i) EXPECT_EQ(t[i].index, i);
        for (const Row& r : c.rows) {
            SCOPED_TRACE(r.pos);
            EXPECT_EQ(t[r.pos].type, r.type);
            EXPECT_EQ(t[r.pos].param1, r.param1);
            EXPECT_EQ(t[r.pos].param2, r.param2);
            EXPECT_EQ(t[r.pos].nameKey, r.nameKey);
        }
    }
}

TEST(KeyChoiceTables, RowLookups) {
    EXPECT_EQ(mouseButtonRowOf(0x10), 3u);
    EXPECT_EQ(mouseButtonRowOf(0x03), std::nullopt);
    EXPECT_EQ(dpiRowOf(0x13, 0x02), 1u);
    EXPECT_EQ(dpiRowOf(0xA0, 0x02), 2u);
    EXPECT_EQ(dpiRowOf(0x13, 0x03), std::nullopt);
    EXPECT_EQ(hotKeyRowOf(0x01, 0x19), 6u);
    EXPECT_EQ(hotKeyRowOf(0x10, 0x19), std::nullopt); // right Ctrl is not the hot-key modifier
    EXPECT_EQ(multimediaRowOf(0x21, 0x02), 14u);
    EXPECT_EQ(multimediaRowOf(0x21, 0x00), std::nullopt);
    EXPECT_EQ(systemRowOf(0x02, 0), 1u);
    EXPECT_EQ(findRowByParam1(multimediaTable(), 0xB5), 4u);
    EXPECT_EQ(recoilPatternRecord(3), (KeyFunction{0x72, 3, 0}));
}

struct VkRow {
    std::size_t pos;
    std::uint16_t vk;
    std::uint8_t type, param1;
    std::uint16_t param2;
    std::string_view nameKey;
};

TEST(VirtualKeyTable, PinnedRows) {
    const auto t = virtualKeyTable();
    ASSERT_EQ(t.size(), 125u);
    const VkRow rows[] = {
        {0, 0xA2, 0x20, 0x01, 0, "keyboard_key_LCtrl"},
        {7, 0x5C, 0x20, 0x80, 0, "keyboard_key_RWin"},
        {8, 0x41, 0x20, 0, 0x04, "keyboard_key_A"},
        {33, 0x5A, 0x20, 0, 0x1D, "keyboard_key_Z"},
        {34, 0x31, 0x20, 0, 0x1E, "keyboard_key_1"},
        {43, 0x30, 0x20, 0, 0x27, "keyboard_key_0"},
        {44, 0x0D, 0x20, 0, 0x28, "keyboard_key_Enter"},
        {53, 0xDC, 0x20, 0, 0x31, "keyboard_key_xiegang"},
        {54, 0xBA, 0x20, 0, 0x33, "keyboard_key_;"},
        {57, 0xBC, 0x20, 0, 0x36, "keyboard_key_<"},
        {60, 0x14, 0x20, 0, 0x39, "keyboard_key_Caplk"},
        {72, 0x7B, 0x20, 0, 0x45, "keyboard_key_F12"},
        {73, 0x2C, 0x20, 0, 0x46, "keyboard_key_Print Scr"},
        {85, 0x26, 0x20, 0, 0x52, "keyboard_key_Up"},
        {91, 0x101, 0x20, 0, 0x58, "keyboard_key_Num Enter"},
        {92, 0x61, 0x20, 0, 0x59, "keyboard_key_Num 1"},
        {101, 0x60, 0x20, 0, 0x62, "keyboard_key_Num 0"},
        {103, 0x5D, 0x20, 0, 0x65, "keyboard_key_App"},
        {104, 0xB7, 0x30, 0x92, 0x01, "keyboard_key_Launch App2"},
        {105, 0xAC, 0x30, 0x23, 0x02, "keyboard_key_Browaer Home"},
        {109, 0xAF, 0x30, 0xE9, 0x00, "keyboard_key_Volume Up"},
        {120, 0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},
        {121, 0xB5, 0x30, 0x83, 0x01, "keyboard_key_Launch Media Select"},
        {122, 0x103, 0x40, 0x01, 0, "keyboard_key_Power"},
        {124, 0x105, 0x40, 0x04, 0, "keyboard_key_Wakeup"},
    };
    for (const VkRow& r : rows) {
        SCOPED_TRACE(r.pos);
        EXPECT_EQ(t[r.pos].vk, r.vk);
        EXPECT_EQ(t[r.pos].type, r.type);
        EXPECT_EQ(t[r.pos].param1, r.param1);
        EXPECT_EQ(t[r.pos].param2, r.param2);
        EXPECT_EQ(t[r.pos].nameKey, r.nameKey);
    }
}

// Shape checks that catch a slipped or mistyped row anywhere in the long runs.
TEST(VirtualKeyTable, RunsAreConsistent) {
    const auto t = virtualKeyTable();
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE(i);
        const std::uint8_t expectedType = i < kKeyboardKeyRows ? 0x20 : i < 122 ? 0x30 : 0x40;
        EXPECT_EQ(t[i].type, expectedType);
        EXPECT_EQ(t[i].nameKey.substr(0, 13), "keyboard_key_");
        if (i < 8) { EXPECT_EQ(t[i].param1, 1u << i); }
        // Keys after the modifiers have strictly rising usages 0x04..0x65.
        if (i > 8 && i < kKeyboardKeyRows) { EXPECT_GT(t[i].param2, t[i - 1].param2); }
        // Multimedia rows carry exactly the usages of the multimedia choice table.
        if (expectedType == 0x30) { EXPECT_TRUE(multimediaRowOf(t[i].param1, static_cast<std::uint8_t>(t[i].param2))); }
        // Each code finds its own row first; only the duplicated multimedia row repeats one.
        if (i != 121) { EXPECT_EQ(virtualKeyRowOfCode(t[i].vk), &t[i]); }
    }
    EXPECT_EQ(t[kKeyboardKeyRows - 1].param2, 0x65);
    EXPECT_EQ(virtualKeyRowOfCode(0xB5), &t[120]);
    EXPECT_EQ(virtualKeyRowOfCode(0x0D)->nameKey, "keyboard_key_Enter");
    EXPECT_EQ(virtualKeyRowOfCode(0x10041), nullptr); // no truncation to 'A'
    EXPECT_EQ(virtualKeyRowOfParams(0x83, 0x01), &t[120]);
}

TEST(KeyboardLayoutTable, PinnedPositions) {
    const auto t = keyboardLayoutTable();
    const struct {
        std::size_t pos;
        KeyFunction record;
    } rows[] = {
        {0, {0x20, 0, 0x29}},     {1, {0x20, 0, 0x3A}},     {12, {0x20, 0, 0x45}},    {15, {0x20, 0, 0x48}},
        {21, {0x20, 0, 0x35}},    {31, {0x20, 0, 0x27}},    {34, {0x20, 0, 0x2A}},    {35, {0x20, 0, 0x49}},
        {41, {0x20, 0, 0x56}},    {42, {0x20, 0, 0x2B}},    {55, {0x20, 0, 0x31}},    {56, {0x20, 0, 0x4C}},
        {61, {0x20, 0, 0x61}},    {63, {0x20, 0, 0x39}},    {75, {0x20, 0, 0x28}},    {78, {0x20, 0, 0x5E}},
        {84, {0x20, 0x02, 0}},    {85, {0x20, 0, 0x1D}},    {94, {0x20, 0, 0x38}},    {95, {0x20, 0x20, 0}},
        {96, {0x20, 0, 0x52}},    {99, {0x20, 0, 0x5B}},    {102, {0x20, 0, 0x64}},   {105, {0x20, 0x01, 0}},
        {106, {0x20, 0x08, 0}},   {107, {0x20, 0x04, 0}},   {108, {0x20, 0, 0x2C}},   {109, {0x20, 0x40, 0}},
        {110, {0xA0, 0x02, 0x02}}, {111, {0x20, 0, 0x65}},  {112, {0x20, 0x10, 0}},   {113, {0x20, 0, 0x50}},
        {119, {0x20, 0, 0x57}},   {125, {0x20, 0x80, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.pos);
        EXPECT_EQ(t[r.pos], r.record);
    }
}

TEST(KeyboardLayoutTable, EmptyPositionsAndUniqueKeys) {
    const auto t = keyboardLayoutTable();
    const std::set<std::size_t> empty = {16, 17, 18, 19, 20, 62, 79, 80, 81, 82, 83,
                                         100, 101, 103, 104, 120, 121, 122, 123, 124};
    std::set<std::pair<int, int>> seen;
    for (std::size_t i = 0; i < t.size(); ++i) {
        SCOPED_TRACE(i);
        if (i != 110) { EXPECT_EQ(t[i].type, 0x20); }
        const bool isEmpty = t[i] == KeyFunction{0x20, 0, 0};
        EXPECT_EQ(isEmpty, empty.count(i) == 1);
        if (isEmpty) continue;
        EXPECT_TRUE(seen.insert({t[i].param1, t[i].param2}).second) << "key repeated";
        // Every factory key has a name, except the non-US backslash and Fn.
        if (i != 102 && i != 110) { EXPECT_NE(virtualKeyRowOfParams(t[i].param1, t[i].param2), nullptr); }
    }
}

TEST(DefaultKeyBlock, InitialContents) {
    const KeyBlock mouse = initialDefaultKeyBlock(DeviceKind::Mouse);
    const KeyFunction first[] = {{0x10, 0x01, 0}, {0x10, 0x04, 0}, {0x10, 0x02, 0},
                                 {0x10, 0x10, 0}, {0x10, 0x08, 0}, {0x13, 0x03, 0}};
    for (std::size_t j = 0; j < std::size(first); ++j) EXPECT_EQ(mouse.slot(j), first[j]) << j;
    EXPECT_TRUE(std::all_of(mouse.bytes.begin() + 18, mouse.bytes.end(), [](auto b) { return b == 0x05; }));
    const KeyBlock kb = initialDefaultKeyBlock(DeviceKind::Keyboard);
    EXPECT_TRUE(std::all_of(kb.bytes.begin(), kb.bytes.end(), [](auto b) { return b == 0x05; }));
}

} // namespace
} // namespace kavrel::keys

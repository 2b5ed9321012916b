#include "kavrel/keys/key_slot_map.h"

#include <gtest/gtest.h>

namespace kavrel::keys {
namespace {

// A keyboard whose factory slot j holds the layout record of position j.
KeyBlock identityDefaults() {
    KeyBlock b;
    b.bytes.fill(0x05);
    const auto layout = keyboardLayoutTable();
    for (std::size_t j = 0; j < layout.size(); ++j) b.setSlot(j, layout[j]);
    return b;
}

TEST(KeySlotMap, StartsWithEveryPositionInert) {
    KeySlotMap map;
    for (std::size_t i = 0; i < kKeyboardPositions; ++i) EXPECT_EQ(slotOfPosition(map, i), std::nullopt);
    // A keyboard not read yet holds only 0x05 bytes: nothing matches.
    buildKeySlotMap(initialDefaultKeyBlock(DeviceKind::Keyboard), 170, map);
    EXPECT_EQ(map, KeySlotMap{});
}

TEST(KeySlotMap, MatchesFactoryRecordsAndSharesTheFirstEmptySlot) {
    KeySlotMap map;
    buildKeySlotMap(identityDefaults(), kKeyboardPositions, map);
    const auto layout = keyboardLayoutTable();
    for (std::size_t i = 0; i < kKeyboardPositions; ++i) {
        SCOPED_TRACE(i);
        const bool empty = layout[i] == KeyFunction{0x20, 0, 0};
        EXPECT_EQ(slotOfPosition(map, i), empty ? 16u : i); // all empty positions drive slot 16
    }
}

TEST(KeySlotMap, PositionWithoutFactoryRecordStaysAsItWas) {
    KeyBlock noEsc = identityDefaults();
    noEsc.setSlot(0, {0x05, 0x05, 0x05});

    KeySlotMap fresh;
    buildKeySlotMap(noEsc, kKeyboardPositions, fresh);
    EXPECT_EQ(slotOfPosition(fresh, 0), std::nullopt);
    EXPECT_EQ(slotOfPosition(fresh, 1), 1u);

    // A later read lacking the record leaves the earlier mapping in place.
    KeySlotMap earlier;
    buildKeySlotMap(identityDefaults(), kKeyboardPositions, earlier);
    buildKeySlotMap(noEsc, kKeyboardPositions, earlier);
    EXPECT_EQ(slotOfPosition(earlier, 0), 0u);
}

TEST(KeySlotMap, OnlyTheReportedSlotsCount) {
    KeySlotMap map;
    buildKeySlotMap(identityDefaults(), 10, map);
    EXPECT_EQ(slotOfPosition(map, 9), 9u);
    EXPECT_EQ(slotOfPosition(map, 10), std::nullopt);
    EXPECT_EQ(slotOfPosition(map, 16), std::nullopt); // the empty record lies at slot 16

    KeySlotMap none;
    buildKeySlotMap(identityDefaults(), 0, none);
    EXPECT_EQ(none, KeySlotMap{});
}

TEST(KeySlotMap, HighSlotsOfLargeKeyboards) {
    // Esc at slot 126 and the Fn record in the last whole record of the block.
    KeyBlock b;
    b.bytes.fill(0x05);
    b.setSlot(126, {0x20, 0, 0x29});
    b.setSlot(KeyBlock::kSlots - 1, {0xA0, 2, 2});
    KeySlotMap map;
    buildKeySlotMap(b, 1000, map); // a count beyond the block is cut to its 170 records
    EXPECT_EQ(slotOfPosition(map, 0), 126u);
    EXPECT_EQ(slotOfPosition(map, 110), 169u);
    EXPECT_EQ(slotOfPosition(map, 126), std::nullopt);
    EXPECT_EQ(slotOfPosition(map, static_cast<std::size_t>(-1)), std::nullopt);
}

} // namespace
} // namespace kavrel::keys

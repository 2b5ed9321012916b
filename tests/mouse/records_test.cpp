#include <gtest/gtest.h>

#include "kavrel/mouse/records.h"

namespace kavrel::mouse {
namespace {

// The DPI codes are little-endian and level 5 onwards sits after the dpiLevel byte at 23.
TEST(MouseSettingsTest, FieldsLieAtTheirOffsets) {
    const struct {
        int level;
        std::size_t dpiAt;
        std::size_t colourAt;
    } levels[] = {{1, 15, 30}, {2, 17, 33}, {3, 19, 36}, {4, 21, 39}, {5, 24, 42}, {6, 26, 45}, {7, 28, 48}};
    for (const auto& l : levels) {
        SCOPED_TRACE(l.level);
        MouseSettings s;
        s.setDpi(l.level, 0x0140);
        s.setDpiColor(l.level, {1, 2, 3});
        std::array<std::uint8_t, MouseSettings::kSize> expected{};
        expected[l.dpiAt] = 0x40;
        expected[l.dpiAt + 1] = 0x01;
        expected[l.colourAt] = 1;
        expected[l.colourAt + 1] = 2;
        expected[l.colourAt + 2] = 3;
        EXPECT_EQ(s.bytes, expected);
        EXPECT_EQ(s.dpi(l.level), 0x0140);
        EXPECT_EQ(s.dpiColor(l.level), (RgbColor{1, 2, 3}));
    }
    MouseSettings s;
    s.setDpi(0, 5);
    s.setDpi(8, 5);
    s.setDpiColor(8, {9, 9, 9});
    s.setReportRate(1);
    s.setDpiLevel(2);
    s.setLiftOff(3);
    s.setLineAdjust(4);
    s.setExtra(5);
    std::array<std::uint8_t, MouseSettings::kSize> expected{};
    expected[14] = 1;
    expected[23] = 2;
    expected[51] = 3;
    expected[52] = 4;
    expected[53] = 5;
    EXPECT_EQ(s.bytes, expected);
    EXPECT_EQ(s.dpi(0), 0);
}

} // namespace
} // namespace kavrel::mouse

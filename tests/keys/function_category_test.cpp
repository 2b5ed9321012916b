#include "kavrel/keys/function_category.h"

#include <gtest/gtest.h>

namespace kavrel::keys {
namespace {

using C = FunctionCategory;

TEST(FunctionCategory, ComboItemsPerDevice) {
    const struct {
        C category;
        std::uint8_t type;
        int mouse, keyboard;
    } rows[] = {
        {C::Default, 0x00, 0, 0},        {C::MouseButton, 0x10, 1, 2}, {C::HorizontalSwing, 0x11, 2, 3},
        {C::VerticalSwing, 0x12, 3, 4},  {C::Dpi, 0x13, 4, 5},         {C::FireKey, 0x14, 5, 6},
        {C::SingleKey, 0x20, 6, 1},      {C::Multimedia, 0x30, 7, 7},  {C::System, 0x40, 8, 8},
        {C::Macro, 0x70, 9, 9},          {C::RecoilPattern, 0x72, 10, -1}, {C::HotKey, 0x20, 11, 10},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.category));
        EXPECT_EQ(categoryAt(DeviceKind::Mouse, r.mouse), r.category);
        EXPECT_EQ(typeForCategory(DeviceKind::Mouse, r.mouse), r.type);
        EXPECT_EQ(categoryIndex(DeviceKind::Mouse, r.category), r.mouse);
        if (r.keyboard < 0) {
            EXPECT_EQ(categoryIndex(DeviceKind::Keyboard, r.category), std::nullopt);
        } else {
            EXPECT_EQ(categoryAt(DeviceKind::Keyboard, r.keyboard), r.category);
            EXPECT_EQ(typeForCategory(DeviceKind::Keyboard, r.keyboard), r.type);
            EXPECT_EQ(categoryIndex(DeviceKind::Keyboard, r.category), r.keyboard);
        }
    }
    EXPECT_EQ(categoryCount(DeviceKind::Mouse), 12);
    EXPECT_EQ(categoryCount(DeviceKind::Keyboard), 11);
}

TEST(FunctionCategory, ItemsOutsideTheComboGiveNothing) {
    const struct {
        DeviceKind device;
        int index;
    } rows[] = {{DeviceKind::Mouse, -1}, {DeviceKind::Mouse, 12}, {DeviceKind::Keyboard, 11},
                {DeviceKind::Keyboard, -1}, {DeviceKind::Pad, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(categoryAt(r.device, r.index), std::nullopt);
        EXPECT_EQ(typeForCategory(r.device, r.index), std::nullopt);
    }
    EXPECT_EQ(categoryCount(DeviceKind::Pad), 0);
}

} // namespace
} // namespace kavrel::keys

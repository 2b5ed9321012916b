#include "kavrel/keys/function_category.h"

#include <array>

#include "kavrel/keys/key_function.h"

namespace kavrel::keys {

namespace {

using C = FunctionCategory;

struct CategoryRow {
    int mouse;    // combo item on the mouse page
    int keyboard; // combo item on the keyboard page, -1 = not offered
    std::uint8_t type;
    FunctionCategory category;
};

constexpr std::array<CategoryRow, 12> kCategories = {{
    {0, 0, KeyType::Default, C::Default},
    {1, 2, KeyType::MouseButton, C::MouseButton},
    {2, 3, KeyType::HorizontalSwing, C::HorizontalSwing},
    {3, 4, KeyType::VerticalSwing, C::VerticalSwing},
    {4, 5, KeyType::Dpi, C::Dpi},
    {5, 6, KeyType::FireKey, C::FireKey},
    {6, 1, KeyType::Keyboard, C::SingleKey},
    {7, 7, KeyType::Multimedia, C::Multimedia},
    {8, 8, KeyType::System, C::System},
    {9, 9, KeyType::Macro, C::Macro},
    {10, -1, KeyType::RecoilPattern, C::RecoilPattern},
    {11, 10, KeyType::Keyboard, C::HotKey},
}};

int itemOf(const CategoryRow& row, DeviceKind device) {
    switch (device) {
    case DeviceKind::Mouse: return row.mouse;
    case DeviceKind::Keyboard: return row.keyboard;
    case DeviceKind::Pad: break;
    }
    return -1;
}

} // namespace

int categoryCount(DeviceKind device) {
    switch (device) {
    case DeviceKind::Mouse: return 12;
    case DeviceKind::Keyboard: return 11;
    case DeviceKind::Pad: break;
    }
    return 0;
}

std::optional<FunctionCategory> categoryAt(DeviceKind device, int index) {
    if (index < 0) return std::nullopt;
    for (const CategoryRow& row : kCategories)
        if (itemOf(row, device) == index) return row.category;
    return std::nullopt;
}

std::optional<int> categoryIndex(DeviceKind device, FunctionCategory category) {
    for (const CategoryRow& row : kCategories)
        if (row.category == category) {
            int item = itemOf(row, device);
            if (item < 0) return std::nullopt;
            return item;
        }
    return std::nullopt;
}

std::uint8_t typeOfCategory(FunctionCategory category) {
    for (const CategoryRow& row : kCategories)
        if (row.category == category) return row.type;
    return KeyType::Default;
}

std::optional<std::uint8_t> typeForCategory(DeviceKind device, int index) {
    auto category = categoryAt(device, index);
    if (!category) return std::nullopt;
    return typeOfCategory(*category);
}

} // namespace kavrel::keys

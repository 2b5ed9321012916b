#include "kavrel/keys/key_state.h"

namespace kavrel::keys {
namespace {

std::array<KeyBlock, kKeyBlockSlots> g_keyboardBlocks;
std::array<KeyBlock, kKeyBlockSlots> g_mouseBlocks;
KeyBlock g_keyboardDefault = initialDefaultKeyBlock(DeviceKind::Keyboard);
KeyBlock g_mouseDefault = initialDefaultKeyBlock(DeviceKind::Mouse);

} // namespace

std::array<KeyBlock, kKeyBlockSlots>& keyBlocks(DeviceKind device) {
    return device == DeviceKind::Mouse ? g_mouseBlocks : g_keyboardBlocks;
}

KeyBlock& keyBlock(DeviceKind device, std::size_t slot) {
    return keyBlocks(device)[slot < kKeyBlockSlots ? slot : 0];
}

KeyBlock& defaultKeyBlock(DeviceKind device) {
    return device == DeviceKind::Mouse ? g_mouseDefault : g_keyboardDefault;
}

void resetKeyState() {
    g_keyboardBlocks = {};
    g_mouseBlocks = {};
    g_keyboardDefault = initialDefaultKeyBlock(DeviceKind::Keyboard);
    g_mouseDefault = initialDefaultKeyBlock(DeviceKind::Mouse);
}

} // namespace kavrel::keys

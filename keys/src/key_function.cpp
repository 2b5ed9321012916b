#include "kavrel/keys/key_function.h"

namespace kavrel::keys {

KeyBlock initialDefaultKeyBlock(DeviceKind device) {
    KeyBlock b;
    b.bytes.fill(0x05);
    if (device == DeviceKind::Mouse) {
        const KeyFunction slots[] = {{0x10, 0x01, 0}, {0x10, 0x04, 0}, {0x10, 0x02, 0},
                                     {0x10, 0x10, 0}, {0x10, 0x08, 0}, {0x13, 0x03, 0}};
        for (std::size_t j = 0; j < std::size(slots); ++j) b.setSlot(j, slots[j]);
    }
    return b;
}

} // namespace kavrel::keys

#include "kavrel/app/messages.h"

#include <cstdint>

namespace kavrel::app {

unsigned registerWindowMessage(std::string_view name) {
    // FNV-1a over the name, folded into the range registered window messages use, so every
    // copy of the program derives the same number without talking to the others.
    std::uint32_t h = 2166136261u;
    for (unsigned char c : name) {
        h ^= c;
        h *= 16777619u;
    }
    return 0xC000u + (h % 0x4000u);
}

unsigned wakeMessage() {
    static const unsigned id = registerWindowMessage(kWakeMessageName);
    return id;
}

} // namespace kavrel::app

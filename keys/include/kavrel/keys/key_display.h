// What a key button shows for a record, and the record a captured key press stands for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kavrel/keys/key_function.h"
#include "kavrel/keys/key_tables.h"

namespace kavrel::keys {

struct KeyLabel {
    enum class Kind : std::uint8_t {
        Unchanged,   // the button keeps the text it has
        LanguageKey, // text is a language key to translate
        MacroName,   // text is a macro's stored name, shown as it is
    };
    Kind kind = Kind::Unchanged;
    std::string text;
    friend bool operator==(const KeyLabel&, const KeyLabel&) = default;
};

// The macro store's name of macro `index`, or nothing when the index is not below its count.
using MacroNameLookup = std::function<std::optional<std::string>(unsigned index)>;

// Without a look-up, macro records keep their text.
KeyLabel displayKeyOf(const KeyFunction& record, const MacroNameLookup& macroName = {});

struct CapturedKey {
    KeyFunction record; // (0x20, modifier mask, usage)
    std::string_view nameKey;
};

// Low-level keyboard event flag bits.
inline constexpr std::uint32_t kKeyFlagExtended = 0x01;
inline constexpr std::uint32_t kKeyFlagUp = 0x80;

// A key event (virtual-key code and event flags) as an assignable keyboard record. Enter with
// the extended flag is the numeric-pad Enter. Multimedia and system keys give nothing.
std::optional<CapturedKey> recordForCapturedKey(std::uint32_t vk, std::uint32_t flags);

} // namespace kavrel::keys

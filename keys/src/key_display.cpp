#include "kavrel/keys/key_display.h"

namespace kavrel::keys {

namespace {

KeyLabel languageKey(std::string_view key) { return {KeyLabel::Kind::LanguageKey, std::string(key)}; }
KeyLabel unchanged() { return {}; }

KeyLabel rowName(KeyChoiceTable table, std::optional<std::size_t> row) {
    return row ? languageKey(table[*row].nameKey) : unchanged();
}

KeyLabel keyboardName(const KeyFunction& r) {
    KeyLabel label;
    if (const VirtualKeyRow* row = virtualKeyRowOfParams(r.param1, r.param2)) label = languageKey(row->nameKey);
    if (auto hot = hotKeyRowOf(r.param1, r.param2)) label = languageKey(hotKeyTable()[*hot].nameKey);
    return label;
}

} // namespace

KeyLabel displayKeyOf(const KeyFunction& r, const MacroNameLookup& macroName) {
    switch (r.type) {
    case KeyType::Default:
    case KeyType::Keyboard: return keyboardName(r);
    case KeyType::MouseButton: return rowName(mouseButtonTable(), mouseButtonRowOf(r.param1));
    case KeyType::Dpi:
    case KeyType::Shift: return rowName(dpiTable(), dpiRowOf(r.type, r.param1));
    case KeyType::Multimedia:
    case KeyType::MultimediaAlt: return rowName(multimediaTable(), multimediaRowOf(r.param1, r.param2));
    case KeyType::System: return rowName(systemTable(), systemRowOf(r.param1, r.param2));
    case KeyType::HorizontalSwing:
        return languageKey((r.param2 & 0x80) ? "mouse_key_right_Swing" : "mouse_key_left_Swing");
    case KeyType::VerticalSwing:
        return languageKey((r.param2 & 0x80) ? "mouse_key_down_Swing" : "mouse_key_up_Swing");
    case KeyType::FireKey: return languageKey(kFireKeyNameKey);
    case KeyType::Macro:
    case KeyType::MacroRepeat: {
        if (!macroName) return unchanged();
        auto name = macroName(r.param1);
        if (!name) return unchanged();
        return {KeyLabel::Kind::MacroName, std::move(*name)};
    }
    case KeyType::RecoilPattern:
        return r.param1 < kRecoilPatternCount ? languageKey(kRecoilPatternNameKeys[r.param1]) : unchanged();
    // Firmware functions the editor cannot produce: the button keeps its text.
    case 0x15:
    case 0x50:
    case 0x60:
    case 0xB0:
    case 0xC0: return unchanged();
    default: return languageKey(kCloseTextKey);
    }
}

std::optional<CapturedKey> recordForCapturedKey(std::uint32_t vk, std::uint32_t flags) {
    // Only the extended bit tells the two Enter keys apart; the up, injected and Alt bits may
    // be set as well.
    if (vk == 0x0D && (flags & kKeyFlagExtended)) vk = kVkNumEnter;
    const VirtualKeyRow* row = virtualKeyRowOfCode(vk);
    if (!row || row->type != KeyType::Keyboard) return std::nullopt;
    return CapturedKey{row->record(), row->nameKey};
}

} // namespace kavrel::keys

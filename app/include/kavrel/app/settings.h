// Application settings: "main.ini" in the data folder (background and interface language), the
// machine-store language preset and the three interface languages.
#pragma once

#include <QString>

#include <filesystem>
#include <optional>

namespace kavrel::app {

inline constexpr const char* kSkinSection = "SKINIMAGE";

// dataFolder() / "main.ini" (creates the data folder as a side effect).
std::filesystem::path mainIniPath();

// [SKINIMAGE] LANGUAGE: 0 English, 1 second language, anything else the third language.
int storedLanguage();
bool writeStoredLanguage(int value);

// The resource-manager language and the file of a LANGUAGE value.
struct LanguageChoice {
    QString language;   // "en", "cn_zh", "cn_tw"
    QString file;       // "lan_en.xml", "lan_cn.xml", "lan_sn.xml"
};
LanguageChoice languageFor(int value);

// The stored background: FLAGS 1 gives the IMAGE name, otherwise empty.
QString storedBackgroundImage();

// Start-up preset from the machine store: "2020" gives LANGUAGE 1, any other readable value 0;
// an unreadable value writes the diagnostic and leaves "main.ini" alone. True when it wrote.
bool applyLanguagePreset();

// The menu language switch: sets and loads the language, writes LANGUAGE ("0" / "1") and the
// machine-store value ("1010" / "2020"), then reloads every window's texts. A store that cannot
// be written is left as it was; the rest still happens.
void switchLanguage(bool english);

// Sets the language of a LANGUAGE value and loads its file (start-up).
bool loadLanguageFor(int value);

// The fixed texts of the text query: "titletext" and "hometext" (any case) by language.
std::optional<QString> queryControlText(const QString& id);

} // namespace kavrel::app

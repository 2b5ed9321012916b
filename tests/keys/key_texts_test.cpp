// Every name key the key tables hand to the UI must have a text in each language.
#include "kavrel/keys/key_tables.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace kavrel::keys {
namespace {

std::string unescapeXml(std::string s) {
    static const std::pair<std::string, std::string> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
            s.replace(at, from.size(), to);
    return s;
}

std::map<std::string, std::string> readLanguageFile(const std::string& name) {
    std::ifstream in(std::string(KAVREL_SOURCE_DIR "/skin/") + name);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    std::map<std::string, std::string> texts;
    static const std::regex element(R"re(<Text\s+key="([^"]*)"\s*>([^<]*)</Text>)re");
    for (auto it = std::sregex_iterator(s.begin(), s.end(), element); it != std::sregex_iterator(); ++it)
        texts.emplace(unescapeXml((*it)[1]), unescapeXml((*it)[2]));
    return texts;
}

std::set<std::string> nameKeysOfTheTables() {
    std::set<std::string> keys = {std::string(kFireKeyNameKey), std::string(kCloseTextKey), std::string(kKeySetKey)};
    for (auto table : {mouseButtonTable(), horizontalSwingTable(), verticalSwingTable(), dpiTable(), hotKeyTable(),
                       multimediaTable(), systemTable()})
        for (const KeyChoiceRow& row : table) keys.emplace(row.nameKey);
    for (const VirtualKeyRow& row : virtualKeyTable()) keys.emplace(row.nameKey);
    for (std::string_view k : kRecoilPatternNameKeys) keys.emplace(k);
    return keys;
}

TEST(KeyTexts, EveryNameKeyHasATextInEachLanguage) {
    const std::set<std::string> keys = nameKeysOfTheTables();
    ASSERT_TRUE(keys.count("keyboard_key_<")); // needs escaping in the files
    for (const char* file : {"lan_en.xml", "lan_cn.xml", "lan_sn.xml"}) {
        SCOPED_TRACE(file);
        const auto texts = readLanguageFile(file);
        ASSERT_FALSE(texts.empty()) << "file not found or unreadable";
        for (const std::string& key : keys) {
            auto it = texts.find(key);
            if (it == texts.end()) {
                ADD_FAILURE() << "no text for \"" << key << '"';
                continue;
            }
            EXPECT_FALSE(it->second.empty()) << "empty text for \"" << key << '"';
        }
    }
}

} // namespace
} // namespace kavrel::keys

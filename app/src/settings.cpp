#include "kavrel/app/settings.h"

#include "kavrel/os/diag.h"
#include "kavrel/os/folders.h"
#include "kavrel/os/ini.h"
#include "kavrel/os/machine_store.h"
#include "kavrel/skin/resources.h"

#include <string>

namespace kavrel::app {

std::filesystem::path mainIniPath() {
    return os::dataFolder() / "main.ini";
}

int storedLanguage() {
    return os::readProfileInt(mainIniPath(), kSkinSection, "LANGUAGE");
}

bool writeStoredLanguage(int value) {
    return os::writeProfileString(mainIniPath(), kSkinSection, "LANGUAGE", std::to_string(value));
}

LanguageChoice languageFor(int value) {
    switch (value) {
    case 0: return {QStringLiteral("en"), QStringLiteral("lan_en.xml")};
    case 1: return {QStringLiteral("cn_zh"), QStringLiteral("lan_cn.xml")};
    default: return {QStringLiteral("cn_tw"), QStringLiteral("lan_sn.xml")};
    }
}

QString storedBackgroundImage() {
    const auto ini = mainIniPath();
    if (os::readProfileInt(ini, kSkinSection, "FLAGS") != 1)
        return {};
    return QString::fromStdString(os::readProfileString(ini, kSkinSection, "IMAGE"));
}

bool applyLanguagePreset() {
    std::string value;
    if (!os::machineStoreRead("LANGUAGE", value)) {
        os::debugLine("读注册表失败了");
        return false;
    }
    return writeStoredLanguage(os::profileInt(value) == 2020 ? 1 : 0);
}

bool loadLanguageFor(int value) {
    const LanguageChoice c = languageFor(value);
    skin::setLanguage(c.language);
    return skin::loadLanguage(c.file);
}

void switchLanguage(bool english) {
    const int value = english ? 0 : 1;
    loadLanguageFor(value);
    writeStoredLanguage(value);
    if (os::machineStoreWrite("LANGUAGE", english ? "1010" : "2020"))
        os::debugLine("写成功！");
    skin::reloadAllText();
}

std::optional<QString> queryControlText(const QString& id) {
    const bool english = skin::language() == QLatin1String("en");
    if (id.compare(QLatin1String("titletext"), Qt::CaseInsensitive) == 0)
        return english ? QStringLiteral("Duilib Demo v1.1") : QStringLiteral("mouse");
    if (id.compare(QLatin1String("hometext"), Qt::CaseInsensitive) == 0)
        return english ? QStringLiteral("{a}Home Page{/a}") : QStringLiteral("{a}演示官网{/a}");
    return std::nullopt;
}

} // namespace kavrel::app

#include "kavrel/profiles/profile_list.h"

#include <string>
#include <vector>

#include "kavrel/os/diag.h"
#include "kavrel/os/ini.h"
#include "kavrel/profiles/profile_file.h"
#include "kavrel/profiles/profile_store.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/window.h"
#include "kavrel/ui/msg_wnd.h"

namespace kavrel::profiles {
namespace {

constexpr ProfileList kOrder[] = {
    {DeviceKind::Keyboard, ProfileKind::Device}, {DeviceKind::Keyboard, ProfileKind::Lighting},
    {DeviceKind::Keyboard, ProfileKind::Key},    {DeviceKind::Mouse, ProfileKind::Device},
    {DeviceKind::Mouse, ProfileKind::Lighting},  {DeviceKind::Mouse, ProfileKind::Key},
    {DeviceKind::Pad, ProfileKind::Lighting},
};

constexpr const char* kFirstProfileName = "profile1";

void appendItem(skin::Combo& combo, const QString& name) {
    auto* item = new skin::ListLabelElement;
    item->setText(name);
    item->setUserData(name);
    item->setFixedHeight(kProfileItemHeight);
    combo.add(item);
}

bool createFirstProfile(DeviceKind d, ProfileKind k, skin::Combo& combo, const ShowMessageFn& showMessage) {
    const auto defaultPath = defaultProfilePath(d, k);
    std::vector<std::uint8_t> body(bodySize(d, k), 0);
    const int read = ReadProfileFile(defaultPath, body);
    if (read != kProfileRead) {
        os::debugf("first profile of %s: default file %s %s", profileComboName(d, k).c_str(), defaultPath.c_str(),
                   read == kProfileMissing ? "missing" : "malformed");
        if (showMessage) showMessage(read == kProfileMissing ? QStringLiteral("message_text_8")
                                                             : QStringLiteral("message_text_9"));
        return false;
    }
    if (const auto path = profileFilePath(d, k, kFirstProfileName)) WriteProfileFile(*path, body, deviceCode(d));
    appendItem(combo, QString::fromLatin1(kFirstProfileName));

    const auto catalogue = cataloguePath(d);
    const auto s = catalogueSections(k);
    os::writeProfileString(catalogue, s.count, kCountKey, std::to_string(combo.count()));
    os::writeProfileString(catalogue, s.link, "0", "0");
    os::writeProfileString(catalogue, s.name, "0", kFirstProfileName);
    os::writeProfileString(catalogue, s.select, kSelectKey, "0");
    return true;
}

} // namespace

std::span<const ProfileList> profileListOrder() { return kOrder; }

ShowMessageFn messageBoxOn(skin::Window& owner) {
    return [&owner](const QString& key) { ui::ShowMessage(&owner, QString(), key, true); };
}

bool FillDeviceProfileLists(skin::Window& window, DeviceKind d) {
    return FillDeviceProfileLists(window, d, messageBoxOn(window));
}

bool FillProfileList(DeviceKind d, ProfileKind k, skin::Combo& combo, const ShowMessageFn& showMessage) {
    if (!deviceHasKind(d, k)) return true;
    const auto catalogue = cataloguePath(d);
    const auto s = catalogueSections(k);
    int count = os::readProfileInt(catalogue, s.count, kCountKey);
    if (count == 0) {
        const bool created = createFirstProfile(d, k, combo, showMessage);
        combo.selectItem(-1, false, false);
        return created;
    }
    if (count > kMaxListedProfiles) {
        os::debugf("%s: catalogue count %d cut to %d", profileComboName(d, k).c_str(), count, kMaxListedProfiles);
        count = kMaxListedProfiles;
    }
    // A negative count lists nothing and, not being 0, creates nothing either.
    for (int i = 0; i < count; ++i)
        appendItem(combo, QString::fromStdString(os::readProfileString(catalogue, s.name, std::to_string(i), "0")));
    combo.selectItem(-1, false, false);
    return true;
}

bool FillDeviceProfileLists(skin::Window& window, DeviceKind d, const ShowMessageFn& showMessage) {
    for (const auto& list : kOrder) {
        if (list.device != d) continue;
        const QString name = QString::fromStdString(profileComboName(d, list.kind));
        auto* combo = window.find<skin::Combo>(name);
        if (!combo) {
            os::debugf("profile list %s is not in the window", name.toUtf8().constData());
            continue;
        }
        if (!FillProfileList(d, list.kind, *combo, showMessage)) return false;
    }
    return true;
}

int storedSelection(DeviceKind d, ProfileKind k) {
    return os::readProfileInt(cataloguePath(d), catalogueSections(k).select, kSelectKey);
}

bool selectStoredMouseDeviceProfile(skin::Window& window) {
    auto* combo = window.find<skin::Combo>(
        QString::fromStdString(profileComboName(DeviceKind::Mouse, ProfileKind::Device)));
    if (!combo) return false;
    const int position = storedSelection(DeviceKind::Mouse, ProfileKind::Device);
    if (position == combo->currentSel()) return true;
    return combo->selectItem(position, false, true);
}

} // namespace kavrel::profiles

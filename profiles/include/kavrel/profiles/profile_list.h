// The profile lists: one skin combo per device and kind, filled from the device's catalogue at
// start-up, with the first profile created from the factory default file on a first run.
#pragma once

#include <QString>

#include <functional>
#include <span>

#include "kavrel/device/device_kind.h"
#include "kavrel/profiles/profile_kind.h"

namespace kavrel::skin {
class Combo;
class Window;
} // namespace kavrel::skin

namespace kavrel::profiles {

// Shows the message box with a language key ("message_text_8", "message_text_9").
using ShowMessageFn = std::function<void(const QString& key)>;

// The program's modal message box centred on owner, the key's text as its text.
ShowMessageFn messageBoxOn(skin::Window& owner);

// Catalogue counts above this are cut (with a diagnostic): every name is read from the file on
// its own, so a hostile count would otherwise stall the start for minutes.
inline constexpr int kMaxListedProfiles = 1000;

// Height of a list item, in layout units.
inline constexpr int kProfileItemHeight = 25;

struct ProfileList {
    DeviceKind device;
    ProfileKind kind;
};

// The start-up order: keyboard Device, Lighting, Key; mouse Device, Lighting, Key; mouse-pad Lighting.
std::span<const ProfileList> profileListOrder();

// Fills the combo from the catalogue, or, when its count reads 0, creates "profile1" from the
// factory default file and writes the catalogue. The combo is left without a selection. False
// when the first profile could not be created (default file missing or malformed: the message
// was shown and nothing was written); the device's later lists must then stay empty.
bool FillProfileList(DeviceKind d, ProfileKind k, skin::Combo& combo, const ShowMessageFn& showMessage);

// Fills one device's lists in start-up order on the window's combos ("kb_device_profile_combo",
// ...), stopping at the first failed creation. A combo missing from the window is skipped with
// a diagnostic. False when a creation failed.
bool FillDeviceProfileLists(skin::Window& window, DeviceKind d, const ShowMessageFn& showMessage);
// The same with the message box on the window.
bool FillDeviceProfileLists(skin::Window& window, DeviceKind d);

// The stored selection of a kind ("select" of its select section, 0 when missing).
int storedSelection(DeviceKind d, ProfileKind k);

// At mouse detection (on the UI thread): selects the stored selection of the mouse's device-settings list in
// "ms_device_profile_combo" without taking the focus; the combo raises "itemselect" when the
// selection changes. False when the combo is missing or the position is not in the list.
bool selectStoredMouseDeviceProfile(skin::Window& window);

} // namespace kavrel::profiles

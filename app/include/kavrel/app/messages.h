// Window message and timer numbers of the main window. The numbers are fixed: workers, the
// input hook and the menus use them to reach the window.
#pragma once

#include <string_view>

namespace kavrel::app {

// The name a second copy uses to wake the running one, and its window-message number. The
// number is derived from the name, so every copy obtains the same one.
inline constexpr std::string_view kWakeMessageName = "KORLANDE_004";
// A stable number in 0xC000..0xFFFF for a message name (the same in every process).
unsigned registerWindowMessage(std::string_view name);
// registerWindowMessage(kWakeMessageName), obtained once.
unsigned wakeMessage();

namespace msg {
inline constexpr unsigned kTrayIcon = 1025;            // lParam: 514 left up, 517 right up
inline constexpr unsigned kMenuCommand = 1145;         // wParam: MenuCommand*, released by the window
inline constexpr unsigned kHookKbSingleKey = 2049;
inline constexpr unsigned kHookKbHitKey = 2050;
inline constexpr unsigned kHookKbMacro = 2051;
inline constexpr unsigned kHookKbMacroMouse = 2052;
inline constexpr unsigned kHookMsSingleKey = 2064;
inline constexpr unsigned kHookMsHitKey = 2065;
inline constexpr unsigned kHookMsMacro = 2066;
inline constexpr unsigned kHookMsMacroMouse = 2067;
inline constexpr unsigned kMouseReadAll = 2305;
inline constexpr unsigned kMouseReadSettings = 2306;
inline constexpr unsigned kPadReadAll = 2561;
inline constexpr unsigned kPadReadSettings = 2562;
inline constexpr unsigned kPadKeyColour = 2563;        // wParam: light number, lParam: colour
inline constexpr unsigned kPadKeyAlpha = 2564;         // wParam: light number, lParam: alpha
inline constexpr unsigned kKeyboardReadAll = 2817;
inline constexpr unsigned kKeyboardReadLighting = 2818;
inline constexpr unsigned kKeyboardDefaults = 2819;
inline constexpr unsigned kShowProgress = 3072;
inline constexpr unsigned kProgressDone = 3073;
inline constexpr unsigned kLastDeviceGone = 3077;
} // namespace msg

// Standard window messages the window handles itself.
namespace wm {
inline constexpr unsigned kDestroy = 2;
inline constexpr unsigned kActivate = 6;               // wParam 0: deactivated
inline constexpr unsigned kTimer = 0x113;              // wParam: timer id
inline constexpr unsigned kPowerBroadcast = 0x218;     // wParam: kSuspend / kResume
inline constexpr unsigned kDpiChanged = 0x2E0;         // low word of wParam: new DPI
inline constexpr unsigned kSysCommand = 0x112;         // wParam: kScMinimize ...
inline constexpr unsigned kSuspend = 4;
inline constexpr unsigned kResume = 18;
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScMaximize = 0xF030;
inline constexpr unsigned kScRestore = 0xF120;
} // namespace wm

namespace timer {
inline constexpr int kHideProgress = 1;       // 1000 ms once
inline constexpr int kWriteBack = 2;          // 100 ms repeating
inline constexpr int kShowRepaint = 7;        // 10 ms once
inline constexpr int kMouseReadAll = 8;       // 500 ms once
inline constexpr int kMouseReadSettings = 9;  // 10 ms once
inline constexpr int kPreviewRepaint = 10;    // 100 ms, re-armed
inline constexpr int kKeyboardReadAll = 11;   // 500 ms once
inline constexpr int kPadReadAll = 12;        // 500 ms once
inline constexpr int kMousePreview = 13;      // 10 ms once
} // namespace timer

} // namespace kavrel::app

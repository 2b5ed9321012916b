// Notification routing of the main window: by notification type and control-name family to
// the handler that owns the control. The table is data so tests can walk it.
#pragma once

#include <QString>

#include <span>
#include <string_view>

namespace kavrel::app {

enum class Handler {
    None,               // not routed (the notification only reaches the base handling)
    // handled by the main window itself
    WindowInit,
    CaptionButton,      // closebtn, minbtn, maxbtn, restorebtn: end the handling
    SkinChooser,        // skinbtn: opens the skin chooser, then the click router runs on
    MainMenu,           // menubtn
    DpiButton,          // dpi_btn: layout DPI from the button's user data
    RenewDevice,        // renew_device: a diagnostic line only
    TabSwitch,          // device and feature tabs
    ProfilePanelHide,   // focus on a mouse page tab hides the open profile panel
    // feature handlers
    KeyAssignment,      // key pages: buttons, function combos and edits, hover on mouse keys
    LightingEditor,     // lighting pages: colour buttons, palettes, sliders, modes, checks
    MousePerformance,   // DPI page: DPI colours and sliders, report rate, lift-off, wheel, resets
    Recoil,             // recoil patterns
    MacroEditor,        // macro pages
    ProfileOperations,  // profile buttons and profile combos
    ProgramLinks,       // program links
};

std::string_view handlerName(Handler h);

// A control-name pattern, compared without regard to case: '*' matches any run of characters,
// '#' one or more decimal digits whose value lies in [low, high] (high < 0: no upper bound).
struct Route {
    std::string_view type;      // notification type
    std::string_view pattern;
    Handler handler;
    int low = 0;
    int high = -1;
};

bool matchPattern(std::string_view pattern, const QString& name, int low = 0, int high = -1);

// The routing table in matching order (the first entry that matches wins).
std::span<const Route> routeTable();

struct RouteContext {
    // "kb_deng_Op_tab" is the selected keyboard feature tab: keyboard key buttons then belong to
    // the lighting editor (key lights) instead of the key assignment.
    bool keyboardLightingTab = false;
};

// The handler a notification reaches; Handler::None when no entry matches.
Handler routeFor(const QString& type, const QString& senderName, const RouteContext& context = {});

// Tab switching: the page of "tab_switch" a device tab selects (-1: not a device tab), and the
// feature tab layout and page an option selects (empty layout: not a feature tab).
int deviceTabPage(const QString& optionName);
struct FeatureTab {
    QString layout;   // "kb_tab_switch" or "ms_tab_switch"
    int page = -1;
};
FeatureTab featureTab(const QString& optionName);

} // namespace kavrel::app

#include "kavrel/app/routing.h"

#include <array>

namespace kavrel::app {

std::string_view handlerName(Handler h) {
    switch (h) {
    case Handler::None: return "none";
    case Handler::WindowInit: return "windowinit";
    case Handler::CaptionButton: return "caption button";
    case Handler::SkinChooser: return "skin chooser";
    case Handler::MainMenu: return "main menu";
    case Handler::DpiButton: return "dpi button";
    case Handler::RenewDevice: return "renew device";
    case Handler::TabSwitch: return "tab switch";
    case Handler::ProfilePanelHide: return "profile panel hide";
    case Handler::KeyAssignment: return "key assignment";
    case Handler::LightingEditor: return "lighting editor";
    case Handler::MousePerformance: return "mouse performance";
    case Handler::Recoil: return "recoil patterns";
    case Handler::MacroEditor: return "macro editor";
    case Handler::ProfileOperations: return "profile operations";
    case Handler::ProgramLinks: return "program links";
    }
    return "?";
}

namespace {

bool equalsNoCase(QChar a, char b) {
    return a.toLower() == QChar(b).toLower();
}

// Backtracking match of pattern[pi..] against name[ni..].
bool matchFrom(std::string_view p, std::size_t pi, const QString& name, qsizetype ni, int low, int high) {
    while (pi < p.size()) {
        const char c = p[pi];
        if (c == '*') {
            for (qsizetype k = name.size(); k >= ni; --k)
                if (matchFrom(p, pi + 1, name, k, low, high))
                    return true;
            return false;
        }
        if (c == '#') {
            qsizetype end = ni;
            long long value = 0;
            while (end < name.size() && name[end].isDigit() && name[end].unicode() < 128) {
                value = value * 10 + (name[end].unicode() - '0');
                if (value > 1000000000LL)
                    value = 1000000000LL;
                ++end;
            }
            if (end == ni || value < low || (high >= 0 && value > high))
                return false;
            // '#' takes every digit: "kb_key_12" never matches as "kb_key_1" + "2".
            ni = end;
            ++pi;
            continue;
        }
        if (ni >= name.size() || !equalsNoCase(name[ni], c))
            return false;
        ++pi;
        ++ni;
    }
    return ni == name.size();
}

using namespace std::string_view_literals;
constexpr auto kClick = "click"sv;
constexpr auto kSel = "selectchanged"sv;
constexpr auto kItem = "itemselect"sv;
constexpr auto kValue = "valuechanged"sv;
constexpr auto kMove = "movevaluechanged"sv;
constexpr auto kText = "textchanged"sv;

constexpr Route kRoutes[] = {
    {"windowinit", "*", Handler::WindowInit},

    // caption buttons first; skinbtn goes on to the click router afterwards
    {kClick, "closebtn", Handler::CaptionButton},
    {kClick, "minbtn", Handler::CaptionButton},
    {kClick, "maxbtn", Handler::CaptionButton},
    {kClick, "restorebtn", Handler::CaptionButton},
    {kClick, "skinbtn", Handler::SkinChooser},

    // click router
    {kClick, "kb_key_#", Handler::KeyAssignment},
    {kClick, "ms_key_#", Handler::KeyAssignment},
    {kClick, "ms_key_butt_keysave", Handler::KeyAssignment},
    {kClick, "ms_key_butt_keydefalut", Handler::KeyAssignment},
    {kClick, "kb_key_butt_keydefalut", Handler::KeyAssignment},
    {kClick, "ms_key_butt_prosave", Handler::KeyAssignment},
    {kClick, "kb_key_butt_prosave", Handler::KeyAssignment},
    {kClick, "kb_dkey_#", Handler::LightingEditor},
    {kClick, "ms_DPIcolor_btn_#", Handler::MousePerformance, 1, 7},
    {kClick, "ms_profile_#", Handler::MousePerformance},
    {kClick, "heightHigh", Handler::MousePerformance},
    {kClick, "heightMiddle", Handler::MousePerformance},
    {kClick, "heightLow", Handler::MousePerformance},
    {kClick, "ms_gunlun_speed_up_btn", Handler::MousePerformance},
    {kClick, "ms_gunlun_speed_down_btn", Handler::MousePerformance},
    {kClick, "ms_one_profile_default", Handler::MousePerformance},
    {kClick, "mp_one_profile_default", Handler::MousePerformance},
    {kClick, "ms_Deng_color_btn_#", Handler::LightingEditor},
    {kClick, "mp_Deng_color_btn_#", Handler::LightingEditor},
    {kClick, "kb_Deng_color_btn_#", Handler::LightingEditor},
    {kClick, "ms_Deng_FXL_btn", Handler::LightingEditor},
    {kClick, "ms_Deng_FXR_btn", Handler::LightingEditor},
    {kClick, "kb_deng_same_mode", Handler::LightingEditor},
    {kClick, "mp_deng_same_mode", Handler::LightingEditor},
    {kClick, "ms_deng_same_mode", Handler::LightingEditor},
    {kClick, "ms_bullet_op_#", Handler::Recoil},
    {kClick, "ms_bulletdate_save_btn", Handler::Recoil},
    {kClick, "ms_bulletdate_reset_btn", Handler::Recoil},
    {kClick, "ms_bulletdate_import_btn", Handler::Recoil},
    {kClick, "ms_bulletdate_export_btn", Handler::Recoil},
    {kClick, "bullet_selected_prev", Handler::Recoil},
    {kClick, "bullet_selected_next", Handler::Recoil},
    {kClick, "ms_macro_btn_*", Handler::MacroEditor},
    {kClick, "kb_macro_btn_*", Handler::MacroEditor},
    {kClick, "ms_macro_inset_*", Handler::MacroEditor},
    {kClick, "kb_macro_inset_*", Handler::MacroEditor},
    {kClick, "kb_pro_*", Handler::ProfileOperations},
    {kClick, "ms_pro_*", Handler::ProfileOperations},
    {kClick, "mp_pro_*", Handler::ProfileOperations},
    {kClick, "kb_profile_fun_spread_btn", Handler::ProfileOperations},
    {kClick, "ms_profile_fun_spread_btn", Handler::ProfileOperations},
    {kClick, "mp_profile_fun_spread_btn", Handler::ProfileOperations},
    {kClick, "*_profile_edit_save_btn", Handler::ProfileOperations},
    {kClick, "*_profile_link_btn", Handler::ProgramLinks},
    {kClick, "ms_device_cancle_link_btn", Handler::ProgramLinks},
    {kClick, "kb_deng_cancle_link_btn", Handler::ProgramLinks},
    {kClick, "kb_device_cancle_link_btn", Handler::ProgramLinks},
    {kClick, "menubtn", Handler::MainMenu},
    {kClick, "dpi_btn", Handler::DpiButton},
    {kClick, "renew_device", Handler::RenewDevice},

    // hover feedback
    {"msenter", "ms_key_#", Handler::KeyAssignment, 0, 7},
    {"msleave", "ms_key_#", Handler::KeyAssignment, 0, 7},
    {"msenter", "ms_DPIcolor_btn_#", Handler::MousePerformance, 1, 6},
    {"msleave", "ms_DPIcolor_btn_#", Handler::MousePerformance, 1, 6},

    // option and check boxes; the tab options first
    {kSel, "kb_tab", Handler::TabSwitch},
    {kSel, "ms_tab", Handler::TabSwitch},
    {kSel, "mp_tab", Handler::TabSwitch},
    {kSel, "ani_tab", Handler::TabSwitch},
    {kSel, "split_tab", Handler::TabSwitch},
    {kSel, "kb_deng_Op_tab", Handler::TabSwitch},
    {kSel, "kb_macro_Op_tab", Handler::TabSwitch},
    {kSel, "kb_key_Op_tab", Handler::TabSwitch},
    {kSel, "kb_cursor_Op_tab", Handler::TabSwitch},
    {kSel, "ms_deng_Op_tab", Handler::TabSwitch},
    {kSel, "ms_macro_Op_tab", Handler::TabSwitch},
    {kSel, "ms_cursor_Op_tab", Handler::TabSwitch},
    {kSel, "ms_key_Op_tab", Handler::TabSwitch},
    {kSel, "ms_rich_Op_tab", Handler::TabSwitch},
    {kSel, "*_profile_link_check", Handler::ProgramLinks},
    {kSel, "ms_line_adjust", Handler::MousePerformance},
    {kSel, "ms_bullet_*", Handler::Recoil},
    {kSel, "ms_cursor_*", Handler::Recoil},
    {kSel, "kb_cursor_*", Handler::Recoil},
    {kSel, "ms_macro_*", Handler::MacroEditor},
    {kSel, "kb_macro_*", Handler::MacroEditor},
    {kSel, "ms_key_*", Handler::KeyAssignment},
    {kSel, "ms_deng_*", Handler::LightingEditor},
    {kSel, "kb_deng_*", Handler::LightingEditor},
    {kSel, "mp_deng_*", Handler::LightingEditor},
    {kSel, "*_Deng_*", Handler::LightingEditor},

    // sliders, on release and while dragging
    {kValue, "ms_deng_light_slider", Handler::LightingEditor},
    {kValue, "kb_deng_light_slider", Handler::LightingEditor},
    {kValue, "mp_deng_light_slider", Handler::LightingEditor},
    {kValue, "ms_deng_speed_slider", Handler::LightingEditor},
    {kValue, "kb_deng_speed_slider", Handler::LightingEditor},
    {kValue, "mp_deng_speed_slider", Handler::LightingEditor},
    {kValue, "ms_DPI#_slider", Handler::MousePerformance, 1, 7},
    {kValue, "ms_point_speed_slider", Handler::MousePerformance},
    {kMove, "ms_deng_light_slider", Handler::LightingEditor},
    {kMove, "kb_deng_light_slider", Handler::LightingEditor},
    {kMove, "mp_deng_light_slider", Handler::LightingEditor},
    {kMove, "ms_deng_speed_slider", Handler::LightingEditor},
    {kMove, "kb_deng_speed_slider", Handler::LightingEditor},
    {kMove, "mp_deng_speed_slider", Handler::LightingEditor},
    {kMove, "ms_DPI#_slider", Handler::MousePerformance, 1, 7},
    {kMove, "ms_point_speed_slider", Handler::MousePerformance},

    // combo boxes and lists; profile combos before the lighting family they share a prefix with
    {kItem, "*_profile_combo", Handler::ProfileOperations},
    {kItem, "mp_deng_combo_profile", Handler::LightingEditor},
    {kItem, "ms_report_fct_combo", Handler::MousePerformance},
    {kItem, "ms_macro_*", Handler::MacroEditor},
    {kItem, "kb_macro_*", Handler::MacroEditor},
    {kItem, "ms_key_fct_combo*", Handler::KeyAssignment},
    {kItem, "kb_key_fct_combo*", Handler::KeyAssignment},
    {kItem, "ms_deng_*", Handler::LightingEditor},
    {kItem, "kb_deng_*", Handler::LightingEditor},
    {kItem, "mp_deng_*", Handler::LightingEditor},

    {"itemclick", "ms_macro_action", Handler::MacroEditor},
    {"itemclick", "kb_macro_action", Handler::MacroEditor},

    {"killfocus", "ms_macro_edit_macroname", Handler::MacroEditor},
    {"killfocus", "kb_macro_edit_macroname", Handler::MacroEditor},
    {"killfocus", "ms_gunlun_speed_edit", Handler::MousePerformance},

    {"setfocus", "ms_deng_Op_tab", Handler::ProfilePanelHide},
    {"setfocus", "ms_key_Op_tab", Handler::ProfilePanelHide},
    {"setfocus", "ms_rich_Op_tab", Handler::ProfilePanelHide},
    {"setfocus", "ms_macro_Op_tab", Handler::ProfilePanelHide},
    {"setfocus", "ms_cursor_Op_tab", Handler::ProfilePanelHide},

    {"colorchanged", "ms_deng_Color_Pallet", Handler::LightingEditor},
    {"colorchanged", "mp_deng_Color_Pallet", Handler::LightingEditor},
    {"colorchanged", "kb_deng_Color_Pallet", Handler::LightingEditor},

    // edit boxes
    {kText, "ms_key_fct_edit*", Handler::KeyAssignment},
    {kText, "kb_key_fct_edit*", Handler::KeyAssignment},
    {kText, "ms_Deng_edit_R", Handler::LightingEditor},
    {kText, "ms_Deng_edit_G", Handler::LightingEditor},
    {kText, "ms_Deng_edit_B", Handler::LightingEditor},
    {kText, "kb_Deng_edit_R", Handler::LightingEditor},
    {kText, "kb_Deng_edit_G", Handler::LightingEditor},
    {kText, "kb_Deng_edit_B", Handler::LightingEditor},
    {kText, "mp_Deng_edit_R", Handler::LightingEditor},
    {kText, "mp_Deng_edit_G", Handler::LightingEditor},
    {kText, "mp_Deng_edit_B", Handler::LightingEditor},
    {kText, "ms_gunlun_speed_edit", Handler::MousePerformance},
    {kText, "ms_macro_*", Handler::MacroEditor},
    {kText, "kb_macro_*", Handler::MacroEditor},
    {kText, "ms_bullet*", Handler::Recoil},
};

} // namespace

bool matchPattern(std::string_view pattern, const QString& name, int low, int high) {
    return matchFrom(pattern, 0, name, 0, low, high);
}

std::span<const Route> routeTable() {
    return kRoutes;
}

Handler routeFor(const QString& type, const QString& senderName, const RouteContext& context) {
    for (const Route& r : kRoutes) {
        if (type.compare(QLatin1String(r.type.data(), static_cast<qsizetype>(r.type.size())),
                         Qt::CaseInsensitive) != 0)
            continue;
        if (!matchPattern(r.pattern, senderName, r.low, r.high))
            continue;
        if (r.handler == Handler::KeyAssignment && context.keyboardLightingTab && type == QLatin1String("click") &&
            matchPattern("kb_key_#", senderName))
            return Handler::LightingEditor;
        return r.handler;
    }
    return Handler::None;
}

int deviceTabPage(const QString& optionName) {
    static constexpr std::array<std::string_view, 5> kTabs = {"kb_tab", "ms_tab", "mp_tab", "ani_tab", "split_tab"};
    for (std::size_t i = 0; i < kTabs.size(); ++i)
        if (matchPattern(kTabs[i], optionName))
            return static_cast<int>(i);
    return -1;
}

FeatureTab featureTab(const QString& optionName) {
    static constexpr std::array<std::string_view, 4> kKb = {"kb_deng_Op_tab", "kb_macro_Op_tab", "kb_key_Op_tab",
                                                            "kb_cursor_Op_tab"};
    static constexpr std::array<std::string_view, 5> kMs = {"ms_deng_Op_tab", "ms_macro_Op_tab", "ms_cursor_Op_tab",
                                                            "ms_key_Op_tab", "ms_rich_Op_tab"};
    for (std::size_t i = 0; i < kKb.size(); ++i)
        if (matchPattern(kKb[i], optionName))
            return {QStringLiteral("kb_tab_switch"), static_cast<int>(i)};
    for (std::size_t i = 0; i < kMs.size(); ++i)
        if (matchPattern(kMs[i], optionName))
            return {QStringLiteral("ms_tab_switch"), static_cast<int>(i)};
    return {};
}

} // namespace kavrel::app

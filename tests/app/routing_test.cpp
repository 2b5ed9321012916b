// Notification routing: which handler each control family reaches, through the table and
// through the real window.
#include "app_fixture.h"

#include "kavrel/app/routing.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"

namespace kavrel::app::test {
namespace {

struct Case {
    const char* type;
    const char* name;
    Handler expected;
};

// One or two names per family, the boundaries of numbered families and near misses.
constexpr Case kCases[] = {
    {"click", "kb_key_0", Handler::KeyAssignment},
    {"click", "MS_KEY_17", Handler::KeyAssignment},
    {"click", "ms_key_butt_prosave", Handler::KeyAssignment},
    {"click", "kb_key_butt_keydefalut", Handler::KeyAssignment},
    {"click", "kb_key_", Handler::None},
    {"click", "kb_key_x1", Handler::None},
    {"click", "kb_dkey_125", Handler::LightingEditor},
    {"click", "ms_DPIcolor_btn_1", Handler::MousePerformance},
    {"click", "ms_DPIcolor_btn_7", Handler::MousePerformance},
    {"click", "ms_DPIcolor_btn_8", Handler::None},
    {"click", "ms_profile_3", Handler::MousePerformance},
    {"click", "heightMiddle", Handler::MousePerformance},
    {"click", "mp_one_profile_default", Handler::MousePerformance},
    {"click", "kb_Deng_color_btn_4", Handler::LightingEditor},
    {"click", "ms_Deng_FXR_btn", Handler::LightingEditor},
    {"click", "mp_deng_same_mode", Handler::LightingEditor},
    {"click", "ms_bullet_op_2", Handler::Recoil},
    {"click", "bullet_selected_next", Handler::Recoil},
    {"click", "kb_macro_btn_record", Handler::MacroEditor},
    {"click", "ms_macro_inset_delay", Handler::MacroEditor},
    {"click", "ms_pro_deng_add_btn", Handler::ProfileOperations},
    {"click", "mp_profile_fun_spread_btn", Handler::ProfileOperations},
    {"click", "kb_key_profile_edit_save_btn", Handler::ProfileOperations},
    {"click", "ms_device_profile_link_btn", Handler::ProgramLinks},
    {"click", "kb_deng_cancle_link_btn", Handler::ProgramLinks},
    {"click", "menubtn", Handler::MainMenu},
    {"click", "dpi_btn", Handler::DpiButton},
    {"click", "renew_device", Handler::RenewDevice},
    {"click", "CloseBtn", Handler::CaptionButton},
    {"click", "restorebtn", Handler::CaptionButton},
    {"click", "skinbtn", Handler::SkinChooser},
    {"click", "something_else", Handler::None},
    {"msenter", "ms_key_7", Handler::KeyAssignment},
    {"msleave", "ms_key_8", Handler::None},
    {"msenter", "ms_DPIcolor_btn_6", Handler::MousePerformance},
    {"msleave", "ms_DPIcolor_btn_7", Handler::None},
    {"selectchanged", "ms_rich_Op_tab", Handler::TabSwitch},
    {"selectchanged", "split_tab", Handler::TabSwitch},
    {"selectchanged", "ms_bullet_op_1", Handler::Recoil},
    {"selectchanged", "ms_macro_op_loop", Handler::MacroEditor},
    {"selectchanged", "ms_key_3", Handler::KeyAssignment},
    {"selectchanged", "kb_deng_check_wave", Handler::LightingEditor},
    {"selectchanged", "ms_key_profile_link_check", Handler::ProgramLinks},
    {"selectchanged", "ms_line_adjust", Handler::MousePerformance},
    {"valuechanged", "ms_DPI1_slider", Handler::MousePerformance},
    {"movevaluechanged", "ms_DPI7_slider", Handler::MousePerformance},
    {"valuechanged", "ms_DPI8_slider", Handler::None},
    {"movevaluechanged", "mp_deng_speed_slider", Handler::LightingEditor},
    {"valuechanged", "ms_point_speed_slider", Handler::MousePerformance},
    {"itemselect", "kb_deng_profile_combo", Handler::ProfileOperations},
    {"itemselect", "mp_deng_combo_profile", Handler::LightingEditor},
    {"itemselect", "ms_deng_mode_combo", Handler::LightingEditor},
    {"itemselect", "ms_report_fct_combo", Handler::MousePerformance},
    {"itemselect", "kb_key_fct_combo_3", Handler::KeyAssignment},
    {"itemselect", "ms_macro_list", Handler::MacroEditor},
    {"itemclick", "kb_macro_action", Handler::MacroEditor},
    {"killfocus", "ms_gunlun_speed_edit", Handler::MousePerformance},
    {"killfocus", "kb_macro_edit_macroname", Handler::MacroEditor},
    {"setfocus", "ms_cursor_Op_tab", Handler::ProfilePanelHide},
    {"setfocus", "kb_cursor_Op_tab", Handler::None},
    {"colorchanged", "kb_deng_Color_Pallet", Handler::LightingEditor},
    {"colorchanged", "Pallet1", Handler::None},
    {"textchanged", "ms_key_fct_edit_21", Handler::KeyAssignment},
    {"textchanged", "mp_Deng_edit_G", Handler::LightingEditor},
    {"textchanged", "ms_gunlun_speed_edit", Handler::MousePerformance},
    {"textchanged", "kb_macro_edit_delay", Handler::MacroEditor},
    {"textchanged", "ms_bullet_edit_x", Handler::Recoil},
    {"windowsize", "root", Handler::None},
};

TEST(Routing, EachFamilyReachesItsHandler) {
    for (const Case& c : kCases)
        EXPECT_EQ(routeFor(QString::fromLatin1(c.type), QString::fromLatin1(c.name)), c.expected)
            << c.type << " " << c.name << " reached " << handlerName(routeFor(c.type, c.name));
}

TEST(Routing, KeyboardKeysBelongToTheLightingEditorOnTheLightingTab) {
    RouteContext lighting{true};
    EXPECT_EQ(routeFor("click", "kb_key_12", lighting), Handler::LightingEditor);
    EXPECT_EQ(routeFor("click", "kb_key_butt_prosave", lighting), Handler::KeyAssignment);
    EXPECT_EQ(routeFor("click", "ms_key_3", lighting), Handler::KeyAssignment);
}

TEST(Routing, EveryTableEntryNamesAHandlerAndIsReachable) {
    // An entry shadowed by an earlier one would never be reached.
    for (const Route& r : routeTable()) {
        QString name = QString::fromLatin1(r.pattern.data(), static_cast<qsizetype>(r.pattern.size()));
        name.replace('#', QString::number(std::max(r.low, 1)));
        name.replace('*', QStringLiteral("x"));
        const QString type = QString::fromLatin1(r.type.data(), static_cast<qsizetype>(r.type.size()));
        EXPECT_EQ(routeFor(type, name), r.handler) << r.type << " " << r.pattern << " is shadowed";
        EXPECT_NE(r.handler, Handler::None);
    }
}

TEST(Routing, TabPages) {
    EXPECT_EQ(deviceTabPage("kb_tab"), 0);
    EXPECT_EQ(deviceTabPage("SPLIT_TAB"), 4);
    EXPECT_EQ(deviceTabPage("ms_tab_panel"), -1);
    const FeatureTab k = featureTab("kb_cursor_Op_tab");
    EXPECT_EQ(k.layout, "kb_tab_switch");
    EXPECT_EQ(k.page, 3);
    const FeatureTab m = featureTab("ms_rich_Op_tab");
    EXPECT_EQ(m.layout, "ms_tab_switch");
    EXPECT_EQ(m.page, 4);
    EXPECT_TRUE(featureTab("ms_tab").layout.isEmpty());
}

// Through the window: a notification of a real control reaches the attached handler body, and
// one without a body does nothing but its diagnostic.
TEST_F(AppTest, NotificationsReachTheAttachedHandler) {
    start();
    std::vector<std::pair<Handler, QString>> reached;
    for (Handler h : {Handler::KeyAssignment, Handler::LightingEditor, Handler::MousePerformance, Handler::Recoil,
                      Handler::MacroEditor, Handler::ProfileOperations, Handler::ProgramLinks})
        window->setRouteBody(h, [&reached, h](CMainWnd&, const skin::Notification& n) {
            reached.emplace_back(h, n.senderName());
        });
    auto* page = window->find<skin::Container>("ani_tab_panel");
    ASSERT_NE(page, nullptr);
    const std::vector<Case> cases = {
        {"click", "ms_key_5", Handler::KeyAssignment},
        {"click", "ms_bulletdate_save_btn", Handler::Recoil},
        {"valuechanged", "ms_DPI3_slider", Handler::MousePerformance},
        {"textchanged", "kb_Deng_edit_R", Handler::LightingEditor},
        {"itemselect", "ms_key_profile_combo", Handler::ProfileOperations},
        {"selectchanged", "ms_macro_op_cycle", Handler::MacroEditor},
        {"click", "kb_device_cancle_link_btn", Handler::ProgramLinks},
    };
    for (const Case& c : cases) {
        skin::Control* control = skin::createControl("Button");
        control->setName(c.name);
        ASSERT_TRUE(page->add(control));
        reached.clear();
        window->postNotify(control, c.type, 1);
        st::processEvents();
        ASSERT_EQ(reached.size(), 1u) << c.name;
        EXPECT_EQ(reached[0].first, c.expected) << c.name;
    }
    // Keyboard keys belong to the key assignment, or to the lighting editor on the lighting tab.
    skin::Control* key = skin::createControl("Button");
    key->setName("kb_key_5");
    ASSERT_TRUE(page->add(key));
    showNow();
    ASSERT_TRUE(st::click(*window, "kb_tab"));
    for (auto [tab, expected] : {std::pair{"kb_key_Op_tab", Handler::KeyAssignment},
                                 std::pair{"kb_deng_Op_tab", Handler::LightingEditor}}) {
        ASSERT_TRUE(st::click(*window, tab));
        ASSERT_TRUE(window->find<skin::Option>(tab)->isSelected());
        reached.clear();
        window->postNotify(key, "click");
        st::processEvents();
        ASSERT_EQ(reached.size(), 1u) << tab;
        EXPECT_EQ(reached[0].first, expected) << tab;
    }
}

} // namespace
} // namespace kavrel::app::test

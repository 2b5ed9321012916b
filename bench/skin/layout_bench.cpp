// Building a window of the main window's size: about 1,500 controls (key buttons, labels,
// combos with items, sliders, options, edits, lists) in nested containers and tab pages.
#include "kavrel/skin/skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTextStream>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace kavrel::skin;

QApplication& app() {
    static int argc = 1;
    static char name[] = "skin_layout_bench";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* a = [] {
        prepareApplication();
        auto* created = new QApplication(argc, argv);
        initialize(std::filesystem::path(KAVREL_BINARY_DIR) / "bin" / "skin");
        return created;
    }();
    return *a;
}

// One device page: a feature tab layout with key, lighting, macro and DPI pages.
void devicePage(QTextStream& x, const QString& p, int& count) {
    auto n = [&](int add) { count += add; };
    x << "<VerticalLayout name='" << p << "_page'>\n";
    x << " <HorizontalLayout height='36' childpadding='4'>\n";
    for (const char* t : {"deng", "key", "macro", "cursor", "rich"}) {
        x << "  <Option name='" << p << "_" << t << "_Op_tab' group='" << p << "_feature' text='" << t
          << "' width='90' style='tab_option_style'/>\n";
        n(1);
    }
    x << " </HorizontalLayout>\n";
    x << " <TabLayout name='" << p << "_tab_switch'>\n";
    // Key page: the keyboard picture, 126 keys placed by position, and function combos.
    x << "  <Container name='" << p << "_key_page'>\n";
    for (int k = 0; k < 126; ++k)
        x << "   <Button name='" << p << "_key_" << k << "' pos='" << 10 + (k % 21) * 36 << "," << 10 + (k / 21) * 36
          << ",34,34' text='K" << k << "'/>\n";
    n(126);
    for (int c = 0; c < 24; ++c) {
        x << "   <Combo name='" << p << "_key_fct_combo_" << c << "' pos='" << 10 + (c % 6) * 120 << ","
          << 240 + (c / 6) * 30 << ",110,26'>";
        for (int i = 0; i < 8; ++i) x << "<ListLabelElement text='function " << i << "' userdata='" << i << "'/>";
        x << "</Combo>\n";
        n(9);
    }
    x << "  </Container>\n";
    n(1);
    // Lighting page: mode combos, sliders, colour swatches, palette, edits.
    x << "  <HorizontalLayout name='" << p << "_deng_page' childpadding='8'>\n";
    x << "   <VerticalLayout width='300' childpadding='4'>\n";
    for (int r = 0; r < 10; ++r) {
        x << "    <HorizontalLayout height='28'><Label text='row " << r << "' width='100'/>"
          << "<Slider name='" << p << "_deng_slider_" << r << "' min='0' max='4' value='2'/>"
          << "<Label name='" << p << "_deng_value_" << r << "' width='40' text='2'/></HorizontalLayout>\n";
        n(4);
    }
    x << "   </VerticalLayout>\n";
    x << "   <VerticalLayout childpadding='4'>\n";
    x << "    <ColorPalette name='" << p << "_deng_Color_Pallet' height='150'/>\n";
    n(3);
    for (int r = 0; r < 3; ++r) {
        x << "    <HorizontalLayout height='28' childpadding='4'>";
        for (int s = 0; s < 8; ++s)
            x << "<Button name='" << p << "_Deng_color_btn_" << r * 8 + s << "' width='26' bkcolor='#FF" << (r * 8 + s) % 10
              << "0A0C0'/>";
        x << "</HorizontalLayout>\n";
        n(9);
    }
    x << "    <HorizontalLayout height='28'><Edit name='" << p << "_Deng_edit_R' width='50'/><Edit name='" << p
      << "_Deng_edit_G' width='50'/><Edit name='" << p << "_Deng_edit_B' width='50'/>"
      << "<CheckBox name='" << p << "_Deng_7color_check' text='multi'/></HorizontalLayout>\n";
    n(5);
    x << "   </VerticalLayout>\n  </HorizontalLayout>\n";
    n(2);
    // Macro page: name list, action list with rows, editing panel.
    x << "  <HorizontalLayout name='" << p << "_macro_page' childpadding='8'>\n   <List name='" << p
      << "_MacroName_list' width='160'>";
    for (int i = 0; i < 10; ++i) x << "<ListLabelElement text='macro " << i << "' style='listex_item_style'/>";
    x << "</List>\n   <List name='" << p << "_Macro_list' width='300'>";
    for (int i = 0; i < 30; ++i)
        x << "<ListContainerElement name='" << p << "_macro_action' height='30'><Label text='mouse_key_left' "
             "style='macro_label_mouse_style' width='150'/><Label text='v' style='macro_label_down_style' "
             "width='50'/><Label text='50' style='macro_label_text_style'/></ListContainerElement>";
    x << "</List>\n   <VerticalLayout childpadding='4'>";
    for (int i = 0; i < 12; ++i) x << "<Button name='" << p << "_macro_btn_" << i << "' height='28' text='b" << i << "'/>";
    x << "<Edit name='" << p << "_macro_edit_macroname' height='28'/></VerticalLayout>\n  </HorizontalLayout>\n";
    n(2 + 10 + 30 * 4 + 1 + 13 + 1);
    // DPI page: seven levels.
    x << "  <VerticalLayout name='" << p << "_dpi_page' childpadding='4'>\n";
    for (int l = 1; l <= 7; ++l) {
        x << "   <HorizontalLayout height='32' childpadding='6'><Label name='" << p << "_DPI" << l
          << "_label_rank' width='30' text='" << l << "'/><Slider name='" << p << "_DPI" << l
          << "_slider' min='1' max='320' value='16'/><Label name='" << p << "_DPI" << l
          << "_label_value' width='60' text='800'/><Button name='" << p << "_DPIcolor_btn_" << l
          << "' width='28'/></HorizontalLayout>\n";
        n(5);
    }
    x << "   <Combo name='" << p << "_report_fct_combo' height='28'><ListLabelElement text='125'/><ListLabelElement "
         "text='250'/><ListLabelElement text='500'/><ListLabelElement text='1000'/></Combo>\n";
    x << "  </VerticalLayout>\n";
    n(6);
    x << "  <Container name='" << p << "_cursor_page'/>\n";
    n(1);
    x << " </TabLayout>\n</VerticalLayout>\n";
    n(3);
}

struct Layout {
    QString path;
    int controls = 0;
};

const Layout& mainLayout() {
    static Layout layout = [] {
        Layout l;
        l.path = QDir::temp().filePath("kavrel_skin_bench_main.xml");
        QFile f(l.path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QTextStream x(&f);
        x << "<?xml version='1.0' encoding='UTF-8'?>\n<Window size='1000,680' caption='0,0,0,40' roundcorner='10,10'>\n";
        x << "<VerticalLayout name='root' bkimage='common/background.png'>\n";
        x << " <HorizontalLayout height='40' inset='12,4,6,4' childpadding='4'><Label name='titletext' text='Kavrel'/>";
        for (const char* b : {"skinbtn", "menubtn", "minbtn", "maxbtn", "restorebtn", "closebtn"})
            x << "<Button name='" << b << "' width='32'/>";
        x << "</HorizontalLayout>\n <HorizontalLayout height='40'>";
        for (const char* t : {"kb_tab", "ms_tab", "mp_tab", "ani_tab", "split_tab"})
            x << "<Option name='" << t << "' group='device' text='" << t << "' width='120'/>";
        x << "</HorizontalLayout>\n <TabLayout name='tab_switch'>\n";
        l.controls = 1 + 7 + 6;
        for (const char* p : {"kb", "ms", "mp"}) devicePage(x, QString::fromLatin1(p), l.controls);
        x << "  <Container name='ani_page'/><Container name='split_page'/>\n";
        x << " </TabLayout>\n</VerticalLayout>\n</Window>\n";
        l.controls += 3;
        return l;
    }();
    return layout;
}

int countControls(Control* c) {
    int n = 1;
    if (auto* ct = dynamic_cast<Container*>(c))
        for (int i = 0; i < ct->count(); ++i) n += countControls(ct->itemAt(i));
    if (auto* combo = dynamic_cast<Combo*>(c)) n += combo->count();
    return n;
}

// Parse, build, create every widget and lay the window out.
void BM_CreateMainWindow(benchmark::State& state) {
    app();
    const Layout& layout = mainLayout();
    int controls = 0;
    for (auto _ : state) {
        auto* w = new Window;
        const bool ok = w->create(layout.path);
        benchmark::DoNotOptimize(ok);
        state.PauseTiming();
        if (!ok) state.SkipWithError("layout failed");
        controls = countControls(w->root());
        delete w;
        state.ResumeTiming();
    }
    state.counters["controls"] = controls;
}
BENCHMARK(BM_CreateMainWindow)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Creating it, then opening every device page and feature page once (every widget exists).
void BM_CreateAndVisitEveryPage(benchmark::State& state) {
    app();
    const Layout& layout = mainLayout();
    for (auto _ : state) {
        auto* w = new Window;
        w->create(layout.path);
        auto* tabs = w->find<TabLayout>("tab_switch");
        for (int d = 0; d < tabs->count(); ++d) {
            tabs->selectItem(d);
            for (const char* p : {"kb", "ms", "mp"})
                if (auto* feature = w->find<TabLayout>(QString::fromLatin1(p) + "_tab_switch"))
                    for (int f = 0; f < feature->count(); ++f) feature->selectItem(f);
        }
        state.PauseTiming();
        delete w;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CreateAndVisitEveryPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The same plus showing it and painting the first frame.
void BM_CreateShowAndPaint(benchmark::State& state) {
    app();
    const Layout& layout = mainLayout();
    for (auto _ : state) {
        Window w;
        w.create(layout.path);
        QPixmap frame = w.widget()->grab();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_CreateShowAndPaint)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Parse and build the control tree only (no widgets).
void BM_BuildTreeOnly(benchmark::State& state) {
    app();
    const Layout& layout = mainLayout();
    for (auto _ : state) {
        Control* root = buildLayout(layout.path);
        benchmark::DoNotOptimize(root);
        delete root;
    }
}
BENCHMARK(BM_BuildTreeOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

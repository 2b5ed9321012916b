// Each control type driven through its real Qt widget; the notifications that come out.
#include "skin_fixture.h"

#include <QComboBox>
#include <QTest>
#include <QLineEdit>
#include <QSlider>

namespace kavrel::skin::test {
namespace {

using testing::Event;

const char* kLayout = R"(<?xml version="1.0" encoding="UTF-8"?>
<Window size="640,420" caption="0,0,0,30">
  <VerticalLayout name="root" bkcolor="#FF14171D" inset="8,8,8,8" childpadding="4">
    <HorizontalLayout height="30" childpadding="4">
      <Button name="btn" text="Go" width="80"/>
      <Button name="off_btn" text="Off" width="80" enabled="false"/>
      <Option name="opt_a" group="g" text="A" width="60" selected="true"/>
      <Option name="opt_b" group="g" text="B" width="60"/>
      <Option name="opt_c" group="g" text="C" width="60"/>
      <CheckBox name="chk" text="Check" width="100"/>
    </HorizontalLayout>
    <HorizontalLayout height="30" childpadding="4">
      <Edit name="edit" width="120"/>
      <Edit name="num_edit" width="80" numberonly="true" maxchar="3"/>
      <Combo name="combo" width="140">
        <ListLabelElement text="zero" userdata="0"/>
        <ListLabelElement text="one" userdata="1" selected="true"/>
        <ListLabelElement text="two" userdata="2"/>
      </Combo>
      <Slider name="slider" width="200" min="1" max="320" value="16"/>
    </HorizontalLayout>
    <HorizontalLayout height="150" childpadding="4">
      <List name="list" width="200">
        <ListLabelElement name="row0" text="first"/>
        <ListLabelElement name="row1" text="second"/>
        <ListContainerElement name="row2" height="30">
          <Label name="row2_label" text="third" width="100"/>
          <Label name="row2_delay" text="50"/>
        </ListContainerElement>
      </List>
      <ColorPalette name="pallet" width="200" barheight="14"/>
      <TabLayout name="tabs">
        <Label name="page0" text="page zero"/>
        <Label name="page1" text="page one"/>
      </TabLayout>
    </HorizontalLayout>
    <Label name="status" text="status"/>
  </VerticalLayout>
</Window>
)";

class ControlsTest : public SkinTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(w.create(write("controls.xml", kLayout)));
        ASSERT_TRUE(testing::showAndWait(w));
        w.rec.clear();
    }
    template <class T>
    T* get(const char* name) {
        T* c = w.find<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    RecordingWindow w;
};

TEST_F(ControlsTest, ButtonClickHoverAndDisabled) {
    // Start with the pointer parked away from the button.
    ASSERT_TRUE(testing::unhover(w, "btn"));
    w.rec.clear();
    ASSERT_TRUE(testing::hover(w, "btn"));
    ASSERT_TRUE(testing::click(w, "btn"));
    ASSERT_TRUE(testing::unhover(w, "btn"));
    EXPECT_EQ(w.rec.events({"msenter", "click", "msleave"}),
              (std::vector<Event>{ev("msenter", "btn"), ev("click", "btn"), ev("msleave", "btn")}));

    // A disabled button gets the real click but raises nothing.
    w.rec.clear();
    QWidget* off = get<Button>("off_btn")->existingWidget();
    QTest::mouseClick(off, Qt::LeftButton, Qt::NoModifier, off->rect().center());
    testing::processEvents();
    EXPECT_TRUE(w.events().empty());
    get<Button>("off_btn")->setEnabled(true);
    ASSERT_TRUE(testing::click(w, "off_btn"));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("click", "off_btn")}));
}

TEST_F(ControlsTest, OptionGroupSelectsOneAndNotifiesOnlyTheNewOne) {
    auto* a = get<Option>("opt_a");
    auto* b = get<Option>("opt_b");
    ASSERT_TRUE(a->isSelected());

    ASSERT_TRUE(testing::click(w, "opt_b"));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("click", "opt_b"), ev("selectchanged", "opt_b")}));
    EXPECT_TRUE(b->isSelected());
    EXPECT_FALSE(a->isSelected());

    // Clicking the selected option again changes nothing.
    w.rec.clear();
    ASSERT_TRUE(testing::click(w, "opt_b"));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("click", "opt_b")}));

    // Selection by code: silent or notified.
    w.rec.clear();
    get<Option>("opt_c")->setSelected(true, false);
    EXPECT_TRUE(w.events().empty());
    EXPECT_FALSE(b->isSelected());
    a->setSelected(true);
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("selectchanged", "opt_a")}));
    EXPECT_FALSE(get<Option>("opt_c")->isSelected());
}

TEST_F(ControlsTest, CheckBoxTogglesAndNotifiesEachChange) {
    auto* chk = get<CheckBox>("chk");
    ASSERT_TRUE(testing::click(w, "chk"));
    ASSERT_TRUE(testing::click(w, "chk"));
    const auto events = w.events({"selectchanged"});
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].wParam, 1);
    EXPECT_EQ(events[1].wParam, 0);
    EXPECT_FALSE(chk->isChecked());
    w.rec.clear();
    chk->setChecked(true, false);
    EXPECT_TRUE(chk->isChecked());
    EXPECT_TRUE(w.events().empty());
}

TEST_F(ControlsTest, EditTypingFocusAndProgrammaticText) {
    auto* edit = get<Edit>("edit");
    ASSERT_TRUE(testing::typeText(w, "edit", "ab"));
    EXPECT_EQ(edit->text(), "ab");
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("textchanged", "edit"), ev("textchanged", "edit")}));
    const auto focus = w.rec.events({"setfocus", "killfocus"});
    ASSERT_FALSE(focus.empty());
    EXPECT_EQ(focus.back(), ev("setfocus", "edit"));

    w.rec.clear();
    ASSERT_TRUE(testing::unfocus(w, "edit"));
    EXPECT_EQ(w.rec.events({"setfocus", "killfocus"}), (std::vector<Event>{ev("killfocus", "edit")}));

    w.rec.clear();
    edit->setText("set by code");
    EXPECT_EQ(qobject_cast<QLineEdit*>(edit->existingWidget())->text(), "set by code");
    EXPECT_TRUE(w.events().empty());

    // Digits only, at most three.
    ASSERT_TRUE(testing::typeText(w, "num_edit", "12a345"));
    EXPECT_EQ(get<Edit>("num_edit")->text(), "123");
}

TEST_F(ControlsTest, ComboSelectionNotifiesOnlyOnChange) {
    auto* combo = get<Combo>("combo");
    auto* qcombo = qobject_cast<QComboBox*>(combo->existingWidget());
    ASSERT_EQ(combo->currentSel(), 1);
    EXPECT_EQ(qcombo->currentText(), "one");

    ASSERT_TRUE(testing::selectItem(w, "combo", 2));
    auto events = w.events();
    ASSERT_EQ(events, (std::vector<Event>{ev("itemselect", "combo")}));
    EXPECT_EQ(events[0].wParam, 2);
    EXPECT_EQ(events[0].lParam, 1);
    EXPECT_EQ(combo->currentSel(), 2);

    // The user picking the selected row, and code selecting it, raise nothing.
    w.rec.clear();
    ASSERT_TRUE(testing::selectItem(w, "combo", 2));
    EXPECT_TRUE(combo->selectItem(2, false));
    EXPECT_TRUE(w.events().empty());

    EXPECT_TRUE(combo->selectItem(0, false, false));
    EXPECT_TRUE(w.events().empty());
    EXPECT_EQ(qcombo->currentIndex(), 0);
    EXPECT_TRUE(combo->selectItem(1, false));
    EXPECT_EQ(w.events().size(), 1u);
    EXPECT_FALSE(combo->selectItem(3, false));
    EXPECT_EQ(combo->currentSel(), 1);
}

TEST_F(ControlsTest, ComboItemsEditedByCode) {
    auto* combo = get<Combo>("combo");
    auto* qcombo = qobject_cast<QComboBox*>(combo->existingWidget());
    // Insert before the selection: the selection follows its item.
    auto* item = new ListLabelElement;
    ASSERT_TRUE(combo->addAt(item, 0));
    item->setText("new");
    item->setUserData("new");
    item->setAttribute("style", "listex_item_style");
    EXPECT_EQ(item->fixedHeight(), 25);
    EXPECT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->currentSel(), 2);
    EXPECT_EQ(qcombo->itemText(0), "new");
    EXPECT_EQ(qcombo->currentText(), "one");
    EXPECT_FALSE(combo->add(item)) << "an item belongs to one owner";

    // Removing the selected item leaves no selection and raises nothing.
    ASSERT_TRUE(combo->removeAt(2));
    EXPECT_EQ(combo->currentSel(), -1);
    EXPECT_EQ(qcombo->currentIndex(), -1);
    EXPECT_TRUE(w.events().empty());

    // A combo emptied and refilled by code shows no selection until one is made.
    combo->removeAll();
    for (const char* t : {"p1", "p2"}) {
        auto* i = new ListLabelElement;
        i->setText(QString::fromLatin1(t));
        combo->add(i);
    }
    EXPECT_EQ(combo->currentSel(), -1);
    EXPECT_EQ(qcombo->currentIndex(), -1);
    EXPECT_EQ(combo->itemAt(1)->text(), "p2");
}

TEST_F(ControlsTest, ListClickRaisesItemClickThenItemSelect) {
    auto* list = get<List>("list");
    ASSERT_TRUE(testing::selectItem(w, "list", 1));
    auto events = w.events();
    ASSERT_EQ(events, (std::vector<Event>{ev("itemclick", "row1"), ev("itemselect", "list")}));
    EXPECT_EQ(events[1].wParam, 1);
    EXPECT_EQ(events[1].lParam, -1);

    // Again on the same row: the click only.
    w.rec.clear();
    ASSERT_TRUE(testing::selectItem(w, "list", 1));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("itemclick", "row1")}));

    // A click on a label inside a row belongs to the row.
    w.rec.clear();
    ASSERT_TRUE(testing::click(w, "row2_label"));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("itemclick", "row2"), ev("itemselect", "list")}));
    EXPECT_EQ(list->currentSel(), 2);

    // Removing rows above keeps the selection on its row.
    w.rec.clear();
    ASSERT_TRUE(list->removeAt(0));
    EXPECT_EQ(list->currentSel(), 1);
    EXPECT_EQ(w.find("row0"), nullptr);
    EXPECT_TRUE(list->selectItem(1, false));
    EXPECT_TRUE(w.events().empty());
    EXPECT_TRUE(list->selectItem(-1, false, false));
    EXPECT_EQ(list->currentSel(), -1);
}

TEST_F(ControlsTest, ListTakesManyRowsAndScrolls) {
    auto* list = get<List>("list");
    for (int i = 0; i < 40; ++i) {
        auto* row = new ListLabelElement;
        row->setText(QStringLiteral("row %1").arg(i));
        row->setFixedHeight(25);
        ASSERT_TRUE(list->add(row));
    }
    ASSERT_TRUE(testing::selectItem(w, "list", 42));
    EXPECT_EQ(list->currentSel(), 42);
    EXPECT_TRUE(list->itemAt(42)->existingWidget()->visibleRegion().isEmpty() == false);
}

TEST_F(ControlsTest, SliderDragMovesThenReleases) {
    auto* slider = get<Slider>("slider");
    ASSERT_TRUE(testing::dragSlider(w, "slider", 200, false));
    auto moves = w.events();
    ASSERT_FALSE(moves.empty());
    for (const Event& e : moves) EXPECT_EQ(e.type, "movevaluechanged");
    EXPECT_EQ(moves.back().wParam, slider->value());
    EXPECT_NEAR(slider->value(), 200, 2);

    w.rec.clear();
    ASSERT_TRUE(testing::releaseSlider(w, "slider"));
    auto released = w.events();
    ASSERT_EQ(released, (std::vector<Event>{ev("valuechanged", "slider")}));
    EXPECT_EQ(released[0].wParam, slider->value());

    // Keys step the value and notify at once; code changes are silent and clamped.
    w.rec.clear();
    const int before = slider->value();
    ASSERT_TRUE(testing::stepSlider(w, "slider", 1));
    EXPECT_EQ(w.events(), (std::vector<Event>{ev("valuechanged", "slider")}));
    EXPECT_EQ(slider->value(), before + 1);
    w.rec.clear();
    slider->setValue(1000);
    EXPECT_EQ(slider->value(), 320);
    EXPECT_EQ(qobject_cast<QSlider*>(slider->existingWidget())->value(), 320);
    EXPECT_TRUE(w.events().empty());
}

TEST_F(ControlsTest, PalettePicksAColourOnRelease) {
    auto* pal = get<ColorPalette>("pallet");
    pal->setSelectColor(0xFF0199CB);
    EXPECT_EQ(pal->selectColor(), 0xFF0199CBu);
    EXPECT_TRUE(w.events().empty());

    // Top-left of the field: hue 0, full saturation at the current brightness -> a red.
    ASSERT_TRUE(testing::pressPalette(w, "pallet", QPoint(1, 1)));
    auto events = w.events();
    ASSERT_EQ(events, (std::vector<Event>{ev("colorchanged", "pallet")}));
    const QColor c = toQColor(static_cast<Argb>(events[0].wParam));
    EXPECT_EQ(static_cast<Argb>(events[0].wParam), pal->selectColor());
    EXPECT_GT(c.red(), 150);
    EXPECT_LT(c.green(), 30);
    EXPECT_EQ(c.alpha(), 255);

    // The same point again picks the same colour: nothing to report.
    w.rec.clear();
    ASSERT_TRUE(testing::pressPalette(w, "pallet", QPoint(1, 1)));
    EXPECT_TRUE(w.events().empty());
}

TEST_F(ControlsTest, TabLayoutShowsOnePage) {
    auto* tabs = get<TabLayout>("tabs");
    EXPECT_EQ(tabs->currentSel(), 0);
    EXPECT_TRUE(w.find("page0")->isVisible());
    EXPECT_FALSE(w.find("page1")->isVisible());
    EXPECT_TRUE(tabs->selectItem(1));
    EXPECT_FALSE(w.find("page0")->existingWidget()->isVisible());
    EXPECT_TRUE(w.find("page1")->existingWidget()->isVisible());
    EXPECT_FALSE(tabs->selectItem(2));
    EXPECT_EQ(tabs->currentSel(), 1);
    EXPECT_TRUE(w.events().empty());
}

TEST_F(ControlsTest, NotificationsRaisedInAHandlerComeAfterIt) {
    std::vector<QString> log;
    w.onNotify = [&](const Notification& n) {
        if (n.is(notify::kClick) && n.senderName() == "btn") {
            get<Combo>("combo")->selectItem(0, false);
            log.push_back("click handled");
        } else if (n.is(notify::kItemSelect)) {
            log.push_back("itemselect " + n.senderName());
        }
    };
    ASSERT_TRUE(testing::click(w, "btn"));
    EXPECT_EQ(log, (std::vector<QString>{"click handled", "itemselect combo"}));
}

TEST_F(ControlsTest, QueuedNotificationOfARemovedControlIsDropped) {
    auto* list = get<List>("list");
    std::vector<QString> seen;
    w.onNotify = [&](const Notification& n) {
        seen.push_back(n.type + " " + n.senderName());
        if (n.is(notify::kClick)) {
            list->selectItem(0, false);                        // queued behind this handler
            as<Container>(list->parent())->remove(list);       // and its sender goes away
        }
    };
    ASSERT_TRUE(testing::click(w, "btn"));
    EXPECT_EQ(w.find("list"), nullptr);
    for (const QString& s : seen) EXPECT_FALSE(s.startsWith("itemselect")) << s.toStdString();
}

TEST_F(ControlsTest, WindowInitOnceThenWindowSize) {
    RecordingWindow other;
    ASSERT_TRUE(other.create(write("w2.xml", kLayout)));
    ASSERT_TRUE(testing::showAndWait(other));
    other.hide();
    other.show();
    testing::processEvents(20);
    other.resize(700, 500);
    testing::processEvents(20);
    const auto all = other.rec.events({"windowinit", "windowsize"});
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(other.rec.events().front(), ev("windowinit", "root"));
    EXPECT_EQ(other.rec.events({"windowinit"}).size(), 1u);
    EXPECT_EQ(all.back(), ev("windowsize", "root"));
}

} // namespace
} // namespace kavrel::skin::test

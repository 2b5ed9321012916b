// The standard leaf controls: label, text, button, option, check box, edit, progress, slider and
// colour palette.
#pragma once

#include "kavrel/skin/control.h"

#include <memory>

namespace kavrel::skin {

// A single line of text (ellipsis when it does not fit).
class Label : public Control {
public:
    Label();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;
    bool wordBreak() const { return wordBreak_; }
    void setWordBreak(bool on);
protected:
    void paintText(QPainter& painter) override;
private:
    bool wordBreak_ = false;
};

// Multi-line text; wraps at word boundaries by default.
class Text : public Label {
public:
    Text();
    QString className() const override;
};

// A push button. Status images and colours per state: normal/hot/pushed/focused/disabled
// ("normalimage", "hotimage", "pushedimage", "focusedimage", "disabledimage", "hotbkcolor",
// "pushedbkcolor", "disabledbkcolor", "hottextcolor", "pushedtextcolor"; "foreimage" is drawn
// over the status image). Raises "click" on release over it, "msenter"/"msleave" on hover and
// "setfocus"/"killfocus".
class Button : public Label {
public:
    Button();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;

    const QString& normalImage() const { return normalImage_; }
    void setNormalImage(const QString& image);
    const QString& hotImage() const { return hotImage_; }
    void setHotImage(const QString& image);
    const QString& pushedImage() const { return pushedImage_; }
    void setPushedImage(const QString& image);
    const QString& focusedImage() const { return focusedImage_; }
    void setFocusedImage(const QString& image);
    const QString& disabledImage() const { return disabledImage_; }
    void setDisabledImage(const QString& image);
    const QString& foreImage() const { return foreImage_; }
    void setForeImage(const QString& image);
    Argb hotBkColor() const { return hotBkColor_; }
    void setHotBkColor(Argb c);
    Argb pushedBkColor() const { return pushedBkColor_; }
    void setPushedBkColor(Argb c);
    Argb disabledBkColor() const { return disabledBkColor_; }
    void setDisabledBkColor(Argb c);
    Argb hotTextColor() const { return hotTextColor_; }
    void setHotTextColor(Argb c);
    Argb pushedTextColor() const { return pushedTextColor_; }
    void setPushedTextColor(Argb c);
    Argb hotBorderColor() const { return hotBorderColor_; }
    void setHotBorderColor(Argb c);

    // Pointer state of the widget.
    bool isHot() const;
    bool isPushed() const;

    bool handleEvent(QEvent* event) override;

protected:
    QWidget* createWidget(QWidget* parent) override;
    void paintBkColor(QPainter& painter) override;
    void paintStatusImage(QPainter& painter) override;
    void paintText(QPainter& painter) override;
    void paintBorder(QPainter& painter) override;
    // The widget was clicked (released over it). Button raises "click"; Option adds selection.
    virtual void clicked();
    // Colour to paint the text with in the current state.
    virtual Argb currentTextColor() const;
    virtual Argb currentBkColor() const;

private:
    QString normalImage_, hotImage_, pushedImage_, focusedImage_, disabledImage_, foreImage_;
    Argb hotBkColor_ = 0, pushedBkColor_ = 0, disabledBkColor_ = 0;
    Argb hotTextColor_ = 0, pushedTextColor_ = 0, hotBorderColor_ = 0;
};

// A radio-like option. With a "group", clicking selects it and clears the other options of the
// group in the same window; "selectchanged" is raised only for the option that became selected.
// Without a group a click toggles it and every change raises "selectchanged" (a check box).
// A click raises "click" first, then "selectchanged" when the selection changed.
class Option : public Button {
public:
    Option();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;

    const QString& group() const { return group_; }
    void setGroup(const QString& group);
    bool isSelected() const { return selected_; }
    // Changes the selection; notify = false changes it silently (no "selectchanged" for this
    // option nor for the group members it clears).
    void setSelected(bool selected, bool notify = true);

    const QString& selectedImage() const { return selectedImage_; }
    void setSelectedImage(const QString& image);
    const QString& selectedHotImage() const { return selectedHotImage_; }
    void setSelectedHotImage(const QString& image);
    const QString& selectedForeImage() const { return selectedForeImage_; }
    void setSelectedForeImage(const QString& image);
    Argb selectedBkColor() const { return selectedBkColor_; }
    void setSelectedBkColor(Argb c);
    Argb selectedTextColor() const { return selectedTextColor_; }
    void setSelectedTextColor(Argb c);

protected:
    void paintStatusImage(QPainter& painter) override;
    void clicked() override;
    Argb currentTextColor() const override;
    Argb currentBkColor() const override;

private:
    QString group_, selectedImage_, selectedHotImage_, selectedForeImage_;
    Argb selectedBkColor_ = 0, selectedTextColor_ = 0;
    bool selected_ = false;
};

// A check box: an option that draws a tick box before its text when it has no images.
class CheckBox : public Option {
public:
    CheckBox();
    QString className() const override;
    bool isChecked() const { return isSelected(); }
    void setChecked(bool checked, bool notify = true) { setSelected(checked, notify); }
protected:
    void paintStatusImage(QPainter& painter) override;
    void paintText(QPainter& painter) override;
};

// A single-line edit (Qt line edit). "textchanged" is raised when the user changes the text
// (typing, pasting, deleting), never by setText. "setfocus"/"killfocus" and "return" as named.
class Edit : public Control {
public:
    Edit();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;
    void setText(const QString& text) override;     // no notification
    // The text the edit holds (the same as text(); kept in step with the widget).
    int maxChar() const { return maxChar_; }
    void setMaxChar(int n);
    bool isNumberOnly() const { return numberOnly_; }
    void setNumberOnly(bool on);
    bool isReadOnly() const { return readOnly_; }
    void setReadOnly(bool on);
    bool isPassword() const { return password_; }
    void setPassword(bool on);
    void selectAll();
    bool handleEvent(QEvent* event) override;

protected:
    QWidget* createWidget(QWidget* parent) override;
    void syncWidget() override;
    void paintText(QPainter&) override {}

private:
    void userEdited(const QString& text);
    int maxChar_ = 255;
    bool numberOnly_ = false, readOnly_ = false, password_ = false;
    bool settingText_ = false;
};

// A progress bar: background, then the foreground filled from the left (or bottom when
// vertical) in proportion to (value - min) / (max - min). Custom progress controls override
// paintForeColor / paintForeImage (the circular progress does).
class Progress : public Label {
public:
    Progress();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;
    int minValue() const { return min_; }
    void setMinValue(int v);
    int maxValue() const { return max_; }
    void setMaxValue(int v);
    int value() const { return value_; }
    void setValue(int v);
    bool isHorizontal() const { return horizontal_; }
    void setHorizontal(bool on);
    Argb foreColor() const { return foreColor_; }
    void setForeColor(Argb c);
    const QString& foreImage() const { return foreImage_; }
    void setForeImage(const QString& image);

protected:
    void paintStatusImage(QPainter& painter) override;   // calls the two below
    virtual void paintForeColor(QPainter& painter);
    virtual void paintForeImage(QPainter& painter);

private:
    int min_ = 0, max_ = 100, value_ = 0;
    bool horizontal_ = true;
    Argb foreColor_ = 0;
    QString foreImage_;
};

// A slider (Qt slider). setValue/setMinValue/setMaxValue raise nothing. The user raises
// "movevaluechanged" while dragging the thumb (wParam = value) and "valuechanged" when the thumb
// is released or the value is stepped by a click on the groove, the wheel or the keyboard.
class Slider : public Control {
public:
    Slider();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;
    int minValue() const { return min_; }
    void setMinValue(int v);
    int maxValue() const { return max_; }
    void setMaxValue(int v);
    int value() const { return value_; }
    void setValue(int v);                 // clamped to min..max
    int step() const { return step_; }
    void setStep(int step);
    bool isHorizontal() const { return horizontal_; }
    void setHorizontal(bool on);
    Argb foreColor() const { return foreColor_; }   // filled part of the groove
    void setForeColor(Argb c);
    bool handleEvent(QEvent* event) override;

protected:
    QWidget* createWidget(QWidget* parent) override;
    void syncWidget() override;
    void paintText(QPainter&) override {}

private:
    int min_ = 0, max_ = 100, value_ = 0, step_ = 1;
    bool horizontal_ = true, syncing_ = false;
    Argb foreColor_ = 0;
};

// A colour palette: a hue/saturation field over a brightness bar. The user picks a colour by
// pressing or dragging; "colorchanged" (wParam = ARGB) is raised on release when the colour
// changed. setSelectColor raises nothing.
class ColorPalette : public Control {
public:
    ColorPalette();
    QString className() const override;
    bool setAttribute(const QString& name, const QString& value) override;
    Argb selectColor() const { return colour_; }
    void setSelectColor(Argb colour);       // alpha forced to 0xFF
    int barHeight() const { return barHeight_; }
    void setBarHeight(int h);
    bool handleEvent(QEvent* event) override;

protected:
    void paint(QPainter& painter) override;

private:
    void pickAt(const QPoint& local);
    Argb colour_ = 0xFFFF0000;
    double hue_ = 0, sat_ = 1, val_ = 1;
    int barHeight_ = 14;
    Argb pressColour_ = 0;
    bool dragging_ = false, dragBar_ = false;
};

} // namespace kavrel::skin

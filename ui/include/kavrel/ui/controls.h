// The program's own controls: circular progress, keyboard-picture key, chart and native-window
// host. They only draw; the pages that use them own their meaning.
#pragma once

#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <vector>

namespace kavrel::ui {

// A ring: background disc, foreground pie growing clockwise from the bottom, white centre.
// Sweep = trunc(value / (max - min) x 360) degrees (value itself, not value - min), so a
// minimum above 0 fills the ring before value reaches the maximum. The centre disc is inset by
// 10 layout units on every side.
class CCircleProgressUI : public skin::Progress {
public:
    CCircleProgressUI();
    ~CCircleProgressUI() override;
    QString className() const override;              // "CircleProgress"
    // The sweep of the foreground in whole degrees, clamped to 0..360 (0 when max <= min).
    int sweepDegrees() const;

protected:
    void paintBkColor(QPainter& painter) override;
    void paintForeColor(QPainter& painter) override;
};

// A key of the keyboard picture: the button's status images, then the lighting preview (the
// light image tinted with the light colour at the light level) and the marker of a customised
// key. SetLightState may be called from any thread: it only stores atomics, and the main
// window's periodic repaint shows the new state.
class CDeviceKeyButtonUI : public skin::Button {
public:
    CDeviceKeyButtonUI();
    ~CDeviceKeyButtonUI() override;
    QString className() const override;              // "DeviceKeyButton"
    // "lightimage", "keysetimage" (both repaint), "gmnametextcolor" (accepted, no effect);
    // everything else goes to the button.
    bool setAttribute(const QString& name, const QString& value) override;

    // Any thread; no repaint. colour: preview packing (red + 256 x blue + 65536 x green),
    // level: alpha 0-255, show != 0 draws the light image.
    void SetLightState(std::uint32_t colour, int level, int show);
    // UI thread; repaints only when the value changes.
    void SetKeySetHidden(bool hidden);

    const QString& lightImage() const { return lightImage_; }
    void setLightImage(const QString& image);
    const QString& keySetImage() const { return keySetImage_; }
    void setKeySetImage(const QString& image);
    bool isKeySetHidden() const { return keySetHidden_; }
    std::uint32_t lightColor() const { return lightColor_.load(std::memory_order_relaxed); }
    int lightLevel() const { return lightLevel_.load(std::memory_order_relaxed); }
    bool isLightShown() const { return lightShown_.load(std::memory_order_relaxed); }

protected:
    void paintStatusImage(QPainter& painter) override;

private:
    QString lightImage_, keySetImage_;
    bool keySetHidden_ = true;
    std::atomic<std::uint32_t> lightColor_{255};
    std::atomic<int> lightLevel_{200};
    std::atomic<bool> lightShown_{false};
};

// A pie chart with a legend, or a histogram of pillar images with labels below.
class CChartViewUI : public skin::Control {
public:
    enum View { Pie = 0, Histogram = 1 };
    struct Item {
        QString label;
        double value = 0;
    };

    CChartViewUI();
    ~CChartViewUI() override;
    QString className() const override;              // "ChartView"
    // "view" ("pie" / "histpgram", anything else = pie), "shadowimage", "shadowimageheight",
    // "pillarimage", "pillarimagewidth", "showhtml", "showtext", "font" (handled by the base
    // too); every attribute is first given to the base.
    bool setAttribute(const QString& name, const QString& value) override;

    void AddItem(const QString& label, double value);
    void RemoveAllItems();
    const std::vector<Item>& items() const { return items_; }

    View view() const { return view_; }
    void setView(View v);
    const QString& shadowImage() const { return shadowImage_; }
    int shadowImageHeight() const { return shadowImageHeight_; }
    const QString& pillarImage() const { return pillarImage_; }
    int pillarImageWidth() const { return pillarImageWidth_; }
    bool showHtml() const { return showHtml_; }
    bool showText() const { return showText_; }

    // The 18 colours of the pie slices and legend squares (opaque RGB), by item index mod 18.
    static std::uint32_t chartColor(int index);

protected:
    void paint(QPainter& painter) override;          // base painting, then pie or histogram
    virtual void DoPaintPie(QPainter& painter);
    virtual void DoPaintHistogram(QPainter& painter);

private:
    void drawLabel(QPainter& painter, const QRect& rect, const QString& label, bool centred);
    std::vector<Item> items_;
    View view_ = Pie;
    QString shadowImage_, pillarImage_;
    int shadowImageHeight_ = 0, pillarImageWidth_ = 0;
    bool showHtml_ = false, showText_ = true;
};

// Positions a native child window over its own rectangle and shows it with the control.
// Nothing in the program hosts a window; the class exists for skins that use it.
class CWndUI : public skin::Control {
public:
    CWndUI();
    ~CWndUI() override;
    QString className() const override;              // "Wnd"
    void setVisible(bool visible) override;
    // The hosted widget (not owned). When it is not a child of this control's window it is
    // treated as a top-level window and placed in screen coordinates.
    void setHostedWindow(QWidget* window);
    QWidget* hostedWindow() const { return hosted_; }

protected:
    void geometryChanged(const QRect& windowRect) override;
    void visibilityChanged(bool visibleOnScreen) override;

private:
    void placeHosted();
    QPointer<QWidget> hosted_;
};

// Registers "CCircleProgressUI", "CChartViewUI", "CWndUI" and "CDeviceKeyButtonUI" with the
// skin's custom-class registry (in that order). Call once at start, before any window is built.
void registerCustomControls();

// For the main window's builder callback: a new control for the tags "CircleProgress" and
// "DeviceKeyButton" (any case), nullptr for anything else.
skin::Control* createCustomControl(const QString& tag);

} // namespace kavrel::ui

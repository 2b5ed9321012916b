// Pop-up menus built from menu layout files (<Menu> with <MenuItem> children, nestable).
//
//   auto menu = std::make_unique<Menu>(mainWindow);
//   menu->load("menu1.xml");
//   menu->insertItem(0, {"exit", "Close"});
//   menu->popup(cursor, MenuAlign::Left | MenuAlign::Top);
//
// A chosen item reaches the owner window's onMenuCommand (on the UI thread, after the menu has
// closed) and the onCommand callback, if set.
#pragma once

#include <QPoint>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QMenu;
class QAction;

namespace kavrel::skin {

class Window;

struct MenuCommand {
    QString name;
    QString userData;
    QString text;       // the shown text (language text when the item's text is a key)
    bool checked = false;
};

struct MenuItemSpec {
    QString name;
    QString text;
    QString userData;
    bool resourceText = false;   // text is a language key
    bool checkable = false;
    bool checked = false;
    bool enabled = true;
};

// Which way the menu opens from the point: Left = menu's right edge at the point (opens to the
// left), Right = opens to the right; Top = opens upwards, Bottom = downwards. Default
// Right | Bottom. The menu is kept on the screen.
namespace MenuAlign {
inline constexpr int Left = 1;
inline constexpr int Top = 2;
inline constexpr int Right = 4;
inline constexpr int Bottom = 8;
} // namespace MenuAlign

class Menu {
public:
    explicit Menu(Window* owner);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // Builds the items from a menu layout (res.xml name or file); false with a diagnostic
    // naming file and line on error (the menu is then empty).
    bool load(const QString& layout);
    // Inserts a top-level item at pos (0 = first; past the end appends).
    void insertItem(int pos, const MenuItemSpec& item);
    void removeItem(const QString& name);
    int count() const;
    // The items' specs (top level, in order), and lookup by name (any case) at any depth.
    std::vector<MenuItemSpec> items() const;
    bool hasItem(const QString& name) const;
    void setItemText(const QString& name, const QString& text);
    void setItemChecked(const QString& name, bool checked);
    // Fits the menu to its items (it also does so when shown).
    void resizeToContents();

    // Opens at a screen point; returns at once.
    void popup(const QPoint& screenPoint, int align = MenuAlign::Right | MenuAlign::Bottom);
    bool isOpen() const;
    void close();

    std::function<void(const MenuCommand&)> onCommand;

    // Chooses an item as a click would (tests, keyboard shortcuts); false when absent/disabled.
    bool trigger(const QString& name);
    QMenu* qtMenu() const { return menu_.get(); }

private:
    void choose(QAction* action);
    Window* owner_;
    std::unique_ptr<QMenu> menu_;
};

} // namespace kavrel::skin

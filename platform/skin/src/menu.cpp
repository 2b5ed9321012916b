#include "kavrel/skin/menu.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/thread.h"
#include "kavrel/skin/window.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QXmlStreamReader>

namespace kavrel::skin {

namespace {

const char* kName = "kavrel_name";
const char* kUserData = "kavrel_userdata";
const char* kResource = "kavrel_resource";

MenuItemSpec specOf(const QAction* a) {
    MenuItemSpec s;
    s.name = a->property(kName).toString();
    s.text = a->text();
    s.userData = a->property(kUserData).toString();
    s.resourceText = a->property(kResource).toBool();
    s.checkable = a->isCheckable();
    s.checked = a->isChecked();
    s.enabled = a->isEnabled();
    return s;
}

void applySpec(QAction* a, const MenuItemSpec& s) {
    a->setProperty(kName, s.name);
    a->setProperty(kUserData, s.userData);
    a->setProperty(kResource, s.resourceText);
    a->setText(s.resourceText ? text(s.text) : s.text);
    a->setCheckable(s.checkable || s.checked);
    a->setChecked(s.checked);
    a->setEnabled(s.enabled);
}

QAction* findAction(const QMenu* menu, const QString& name) {
    for (QAction* a : menu->actions()) {
        if (a->property(kName).toString().compare(name, Qt::CaseInsensitive) == 0 && !a->isSeparator()) return a;
        if (QMenu* sub = a->menu())
            if (QAction* found = findAction(sub, name)) return found;
    }
    return nullptr;
}

} // namespace

Menu::Menu(Window* owner) : owner_(owner), menu_(std::make_unique<QMenu>(owner ? owner->widget() : nullptr)) {}

Menu::~Menu() = default;

bool Menu::load(const QString& layout) {
    menu_->clear();
    const QString path = QString::fromStdString(resolveLayout(layout).string());
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        os::debugf("%s:0: cannot open menu layout \"%s\"", qPrintable(path), qPrintable(layout));
        return false;
    }
    QXmlStreamReader xml(&f);
    QString error;
    auto failAt = [&](const QString& problem) {
        if (error.isEmpty()) error = QStringLiteral("%1:%2: %3").arg(path).arg(xml.lineNumber()).arg(problem);
    };
    std::function<void(QMenu*)> readItems = [&](QMenu* into) {
        while (error.isEmpty() && xml.readNextStartElement()) {
            const QString el = xml.name().toString().toLower();
            if (el == QLatin1String("separator")) {
                into->addSeparator();
                xml.skipCurrentElement();
                continue;
            }
            if (el != QLatin1String("menuitem")) {
                failAt(QStringLiteral("unknown menu element <%1>").arg(xml.name().toString()));
                return;
            }
            MenuItemSpec s;
            for (const QXmlStreamAttribute& a : xml.attributes()) {
                const QString n = a.name().toString().toLower();
                const QString v = a.value().toString();
                bool b = false;
                if (n == QLatin1String("name")) s.name = v;
                else if (n == QLatin1String("text")) s.text = v;
                else if (n == QLatin1String("userdata")) s.userData = v;
                else if (n == QLatin1String("resourcetext") || n == QLatin1String("checkable") ||
                         n == QLatin1String("checked") || n == QLatin1String("enabled")) {
                    if (!parseBool(v, b)) {
                        failAt(QStringLiteral("bad value \"%1\" for attribute \"%2\"").arg(v, a.name().toString()));
                        return;
                    }
                    if (n == QLatin1String("resourcetext")) s.resourceText = b;
                    else if (n == QLatin1String("checkable")) s.checkable = b;
                    else if (n == QLatin1String("checked")) s.checked = b;
                    else s.enabled = b;
                } else {
                    os::debugf("%s:%lld: menu attribute \"%s\" ignored", qPrintable(path),
                               static_cast<long long>(xml.lineNumber()), qPrintable(a.name().toString()));
                }
            }
            // An item with children is a sub-menu.
            auto* sub = new QMenu(into);
            readItems(sub);
            if (!error.isEmpty()) return;
            QAction* action;
            if (sub->actions().isEmpty()) {
                delete sub;
                action = new QAction(into);
                into->addAction(action);
                QObject::connect(action, &QAction::triggered, menu_.get(), [this, action] { choose(action); });
            } else {
                action = into->addMenu(sub);
            }
            applySpec(action, s);
        }
    };
    if (!xml.readNextStartElement() || xml.name().toString().compare(QLatin1String("Menu"), Qt::CaseInsensitive) != 0)
        failAt(xml.hasError() ? xml.errorString() : QStringLiteral("root element must be <Menu>"));
    else
        readItems(menu_.get());
    if (error.isEmpty() && xml.hasError()) failAt(xml.errorString());
    if (!error.isEmpty()) {
        os::debugLine(error.toStdString());
        menu_->clear();
        return false;
    }
    return true;
}

void Menu::insertItem(int pos, const MenuItemSpec& item) {
    auto* action = new QAction(menu_.get());
    applySpec(action, item);
    QObject::connect(action, &QAction::triggered, menu_.get(), [this, action] { choose(action); });
    const QList<QAction*> actions = menu_->actions();
    if (pos >= 0 && pos < actions.size()) menu_->insertAction(actions[pos], action);
    else menu_->addAction(action);
}

void Menu::removeItem(const QString& name) {
    if (QAction* a = findAction(menu_.get(), name)) delete a;
}

int Menu::count() const {
    int n = 0;
    for (QAction* a : menu_->actions())
        if (!a->isSeparator()) ++n;
    return n;
}

std::vector<MenuItemSpec> Menu::items() const {
    std::vector<MenuItemSpec> out;
    for (QAction* a : menu_->actions())
        if (!a->isSeparator()) out.push_back(specOf(a));
    return out;
}

bool Menu::hasItem(const QString& name) const { return findAction(menu_.get(), name) != nullptr; }

void Menu::setItemText(const QString& name, const QString& text) {
    if (QAction* a = findAction(menu_.get(), name)) a->setText(text);
}

void Menu::setItemChecked(const QString& name, bool checked) {
    if (QAction* a = findAction(menu_.get(), name)) {
        a->setCheckable(true);
        a->setChecked(checked);
    }
}

void Menu::resizeToContents() { menu_->adjustSize(); }

void Menu::popup(const QPoint& at, int align) {
    menu_->adjustSize();
    const QSize size = menu_->sizeHint();
    QPoint p = at;
    if (align & MenuAlign::Left) p.rx() -= size.width();
    if (align & MenuAlign::Top) p.ry() -= size.height();
    if (QScreen* s = QGuiApplication::screenAt(at) ? QGuiApplication::screenAt(at) : QGuiApplication::primaryScreen()) {
        const QRect area = s->availableGeometry();
        p.setX(std::clamp(p.x(), area.left(), std::max(area.left(), area.right() - size.width())));
        p.setY(std::clamp(p.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    }
    menu_->popup(p);
}

bool Menu::isOpen() const { return menu_->isVisible(); }
void Menu::close() { menu_->hide(); }

bool Menu::trigger(const QString& name) {
    QAction* a = findAction(menu_.get(), name);
    if (!a || !a->isEnabled() || a->menu()) return false;
    a->trigger();
    return true;
}

void Menu::choose(QAction* action) {
    MenuCommand cmd;
    cmd.name = action->property(kName).toString();
    cmd.userData = action->property(kUserData).toString();
    cmd.text = action->text();
    cmd.checked = action->isChecked();
    menu_->hide();
    // Delivered after the menu has closed, like a posted command message.
    QPointer<QWidget> ownerWidget = owner_ ? owner_->widget() : nullptr;
    Window* owner = owner_;
    auto callback = onCommand;
    postToUi([ownerWidget, owner, callback, cmd] {
        if (owner && ownerWidget) owner->onMenuCommand(cmd);
        if (callback) callback(cmd);
    });
}

} // namespace kavrel::skin

#include "kavrel/skin/resources.h"

#include "internal.h"
#include "kavrel/os/diag.h"
#include "kavrel/os/folders.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/render.h"
#include "kavrel/skin/window.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <cmath>
#include <optional>

namespace kavrel::skin {

namespace {

struct State {
    std::optional<std::filesystem::path> folder;
    QHash<QString, QString> layouts;             // lower-case name -> file
    QHash<int, QFont> fonts;
    int defaultFont = -1;
    QHash<QString, AttributeList> styles;        // lower-case name
    QHash<QString, AttributeList> defaults;      // lower-case class
    QHash<QString, ControlFactory> factories;    // lower-case class
    QString language;
    QHash<QString, QString> texts;
    TextQuery query;
    QString stylesheet;
};

State& state() {
    static State s;
    return s;
}

QString where(const QString& file, const QXmlStreamReader& xml) {
    return QStringLiteral("%1:%2").arg(file).arg(xml.lineNumber());
}

AttributeList attributesOf(const QXmlStreamReader& xml, const QString& skip) {
    AttributeList out;
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        const QString n = a.name().toString();
        if (n.compare(skip, Qt::CaseInsensitive) == 0) continue;
        out.emplace_back(n, a.value().toString());
    }
    return out;
}

QFont defaultFallbackFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(13);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

} // namespace

// ---------------------------------------------------------------- start-up

void prepareApplication() {
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
}

bool initialize(const std::filesystem::path& folder) {
    if (!folder.empty()) setResourceFolder(folder);
    const bool ok = loadResourceIndex();
    if (qApp && !state().stylesheet.isEmpty()) qApp->setStyleSheet(state().stylesheet);
    return ok;
}

QString stylesheet(double scale) {
    const QString& css = state().stylesheet;
    if (scale == 1.0 || css.isEmpty()) return css;
    static const QRegularExpression px(QStringLiteral("(-?\\d+(?:\\.\\d+)?)px"));
    QString out;
    out.reserve(css.size());
    qsizetype last = 0;
    for (auto it = px.globalMatch(css); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(css).mid(last, m.capturedStart() - last);
        out += QString::number(std::lround(m.captured(1).toDouble() * scale)) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    out += QStringView(css).mid(last);
    return out;
}

// ---------------------------------------------------------------- folder and index

std::filesystem::path resourceFolder() {
    if (state().folder) return *state().folder;
    return os::programFolder() / "skin";
}

void setResourceFolder(const std::filesystem::path& folder) {
    if (folder.empty()) state().folder.reset();
    else state().folder = folder;
    clearImageCache();
}

bool loadResourceIndex(const QString& file) {
    State& s = state();
    s.layouts.clear();
    s.styles.clear();
    s.defaults.clear();
    s.stylesheet.clear();
    const std::filesystem::path path = resolveFile(file);
    const QString shown = QString::fromStdString(path.string());
    QFile f(shown);
    if (!f.open(QIODevice::ReadOnly)) {
        os::debugf("%s:0: cannot open the resource index", qPrintable(shown));
        return false;
    }
    QXmlStreamReader xml(&f);
    bool inRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const QString el = xml.name().toString().toLower();
        const auto attr = [&](const char* n) { return xml.attributes().value(QLatin1String(n)).toString(); };
        if (!inRoot) {
            if (el != QLatin1String("resources")) {
                os::debugf("%s: root element must be <Resources>", qPrintable(where(shown, xml)));
                return false;
            }
            inRoot = true;
            continue;
        }
        if (el == QLatin1String("layout")) {
            const QString name = attr("name"), file = attr("file");
            if (name.isEmpty() || file.isEmpty()) {
                os::debugf("%s: <Layout> needs name and file", qPrintable(where(shown, xml)));
                return false;
            }
            s.layouts.insert(name.toLower(), file);
        } else if (el == QLatin1String("font")) {
            bool ok = false;
            const int id = attr("id").toInt(&ok);
            int size = 13;
            if (!attr("size").isEmpty()) size = attr("size").toInt(&ok);
            if (!ok || size <= 0) {
                os::debugf("%s: <Font> needs a numeric id and size", qPrintable(where(shown, xml)));
                return false;
            }
            QFont font(attr("family").isEmpty() ? QStringLiteral("DejaVu Sans") : attr("family"));
            font.setPixelSize(size);
            font.setBold(attr("bold").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
            font.setItalic(attr("italic").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
            font.setUnderline(attr("underline").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
            font.setStyleStrategy(QFont::PreferAntialias);
            addFont(id, font, attr("default").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0);
        } else if (el == QLatin1String("style")) {
            const QString name = attr("name");
            if (name.isEmpty()) {
                os::debugf("%s: <Style> needs a name", qPrintable(where(shown, xml)));
                return false;
            }
            addStyle(name, attributesOf(xml, QStringLiteral("name")));
        } else if (el == QLatin1String("default")) {
            const QString cls = attr("class");
            if (cls.isEmpty()) {
                os::debugf("%s: <Default> needs a class", qPrintable(where(shown, xml)));
                return false;
            }
            addClassDefault(cls, attributesOf(xml, QStringLiteral("class")));
        } else if (el == QLatin1String("stylesheet")) {
            QFile qss(QString::fromStdString(resolveFile(attr("file")).string()));
            if (!qss.open(QIODevice::ReadOnly)) {
                os::debugf("%s: cannot open stylesheet \"%s\"", qPrintable(where(shown, xml)),
                           qPrintable(attr("file")));
                return false;
            }
            // Relative url() paths in the stylesheet are relative to the skin folder.
            QString css = QString::fromUtf8(qss.readAll());
            css.replace(QStringLiteral("url(\""), QStringLiteral("url(\"%1/").arg(QString::fromStdString(resourceFolder().string())));
            s.stylesheet = css;
        } else {
            os::debugf("%s: unknown element <%s> ignored", qPrintable(where(shown, xml)),
                       qPrintable(xml.name().toString()));
        }
    }
    if (xml.hasError()) {
        os::debugf("%s: %s", qPrintable(where(shown, xml)), qPrintable(xml.errorString()));
        return false;
    }
    return inRoot;
}

void releaseResources() {
    State& s = state();
    s.layouts.clear();
    s.styles.clear();
    s.defaults.clear();
    s.stylesheet.clear();
    clearImageCache();
}

std::filesystem::path resolveFile(const QString& file) {
    std::filesystem::path p(file.toStdString());
    if (p.is_absolute()) return p;
    return resourceFolder() / p;
}

std::filesystem::path resolveLayout(const QString& nameOrFile) {
    const QString file = state().layouts.value(nameOrFile.toLower(), nameOrFile);
    return resolveFile(file);
}

// ---------------------------------------------------------------- fonts

void addFont(int id, const QFont& font, bool isDefault) {
    state().fonts.insert(id, font);
    if (isDefault) state().defaultFont = id;
}

QFont fontFor(int id, double scale) {
    const State& s = state();
    QFont f;
    if (auto it = s.fonts.find(id); it != s.fonts.end()) f = *it;
    else if (auto d = s.fonts.find(s.defaultFont); d != s.fonts.end()) f = *d;
    else f = defaultFallbackFont();
    if (scale != 1.0 && f.pixelSize() > 0)
        f.setPixelSize(std::max(1, static_cast<int>(std::lround(f.pixelSize() * scale))));
    return f;
}

// ---------------------------------------------------------------- styles

void addStyle(const QString& name, AttributeList attributes) {
    state().styles.insert(name.toLower(), std::move(attributes));
}

const AttributeList* findStyle(const QString& name) {
    const auto& styles = state().styles;
    auto it = styles.find(name.toLower());
    return it == styles.end() ? nullptr : &*it;
}

void addClassDefault(const QString& className, AttributeList attributes) {
    state().defaults.insert(className.toLower(), std::move(attributes));
}

const AttributeList* findClassDefault(const QString& className) {
    const auto& d = state().defaults;
    auto it = d.find(className.toLower());
    return it == d.end() ? nullptr : &*it;
}

namespace {
// The standard class a control belongs to, for class defaults of custom classes.
QString standardClassOf(const Control& c) {
    if (as<CheckBox>(const_cast<Control*>(&c))) return QStringLiteral("CheckBox");
    if (as<Option>(const_cast<Control*>(&c))) return QStringLiteral("Option");
    if (as<Button>(const_cast<Control*>(&c))) return QStringLiteral("Button");
    if (as<Progress>(const_cast<Control*>(&c))) return QStringLiteral("Progress");
    if (as<Text>(const_cast<Control*>(&c))) return QStringLiteral("Text");
    if (as<Label>(const_cast<Control*>(&c))) return QStringLiteral("Label");
    return {};
}
} // namespace

void applyClassDefaults(Control& c) {
    const AttributeList* d = findClassDefault(c.className());
    if (!d) {
        const QString std = standardClassOf(c);
        if (!std.isEmpty()) d = findClassDefault(std);
    }
    if (!d) return;
    for (const auto& [n, v] : *d) c.setAttribute(n, v);
}

// ---------------------------------------------------------------- classes

void registerControl(const QString& className, ControlFactory factory) {
    state().factories.insert(className.toLower(), std::move(factory));
}

void unregisterControl(const QString& className) { state().factories.remove(className.toLower()); }

namespace {
Control* createStandard(const QString& lower) {
    static const QHash<QString, Control* (*)()> table = {
        {QStringLiteral("control"), [] { return static_cast<Control*>(new Control); }},
        {QStringLiteral("container"), [] { return static_cast<Control*>(new Container); }},
        {QStringLiteral("verticallayout"), [] { return static_cast<Control*>(new VerticalLayout); }},
        {QStringLiteral("horizontallayout"), [] { return static_cast<Control*>(new HorizontalLayout); }},
        {QStringLiteral("tablayout"), [] { return static_cast<Control*>(new TabLayout); }},
        {QStringLiteral("label"), [] { return static_cast<Control*>(new Label); }},
        {QStringLiteral("text"), [] { return static_cast<Control*>(new Text); }},
        {QStringLiteral("button"), [] { return static_cast<Control*>(new Button); }},
        {QStringLiteral("option"), [] { return static_cast<Control*>(new Option); }},
        {QStringLiteral("checkbox"), [] { return static_cast<Control*>(new CheckBox); }},
        {QStringLiteral("edit"), [] { return static_cast<Control*>(new Edit); }},
        {QStringLiteral("combo"), [] { return static_cast<Control*>(new Combo); }},
        {QStringLiteral("list"), [] { return static_cast<Control*>(new List); }},
        {QStringLiteral("listlabelelement"), [] { return static_cast<Control*>(new ListLabelElement); }},
        {QStringLiteral("listcontainerelement"), [] { return static_cast<Control*>(new ListContainerElement); }},
        {QStringLiteral("progress"), [] { return static_cast<Control*>(new Progress); }},
        {QStringLiteral("slider"), [] { return static_cast<Control*>(new Slider); }},
        {QStringLiteral("colorpalette"), [] { return static_cast<Control*>(new ColorPalette); }},
    };
    auto it = table.find(lower);
    return it == table.end() ? nullptr : (*it)();
}
} // namespace

namespace detail {
Control* createStandardControl(const QString& className) { return createStandard(className.toLower()); }
bool hasFactory(const QString& className) { return state().factories.contains(className.toLower()); }
Control* createRegistered(const QString& className) {
    auto it = state().factories.find(className.toLower());
    if (it == state().factories.end() || !*it) return nullptr;
    return (*it)();
}
} // namespace detail

Control* createControl(const QString& className) {
    Control* c = createStandard(className.toLower());
    if (!c) c = detail::createRegistered(className);
    if (c) applyClassDefaults(*c);
    return c;
}

// ---------------------------------------------------------------- languages

void setLanguage(const QString& language) { state().language = language; }
QString language() { return state().language; }

bool loadLanguage(const QString& file) {
    const std::filesystem::path path = resolveFile(file);
    const QString shown = QString::fromStdString(path.string());
    QFile f(shown);
    if (!f.open(QIODevice::ReadOnly)) {
        os::debugf("%s:0: cannot open the language file", qPrintable(shown));
        return false;
    }
    QXmlStreamReader xml(&f);
    QHash<QString, QString> texts;
    bool root = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        const QString el = xml.name().toString();
        if (!root) {
            if (el.compare(QLatin1String("Language"), Qt::CaseInsensitive) != 0) {
                os::debugf("%s: root element must be <Language>", qPrintable(where(shown, xml)));
                return false;
            }
            root = true;
            continue;
        }
        if (el.compare(QLatin1String("Text"), Qt::CaseInsensitive) == 0) {
            const QString key = xml.attributes().value(QLatin1String("key")).toString();
            const QString value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (key.isEmpty()) {
                os::debugf("%s: <Text> without key", qPrintable(where(shown, xml)));
                continue;
            }
            texts.insert(key, value);
        }
    }
    if (xml.hasError() || !root) {
        os::debugf("%s: %s", qPrintable(where(shown, xml)),
                   root ? qPrintable(xml.errorString()) : "no <Language> element");
        return false;
    }
    state().texts = std::move(texts);
    return true;
}

bool switchLanguage(const QString& language, const QString& file) {
    setLanguage(language);
    const bool ok = loadLanguage(file);
    reloadAllText();
    return ok;
}

void setTextQuery(TextQuery query) { state().query = std::move(query); }

QString text(const QString& key) {
    const State& s = state();
    if (s.query)
        if (std::optional<QString> t = s.query(key)) return *t;
    if (auto it = s.texts.find(key); it != s.texts.end()) return *it;
    return key;
}

bool hasText(const QString& key) { return state().texts.contains(key); }

void reloadAllText() {
    detail::forEachWindow([](Window* w) { w->reloadText(); });
}

} // namespace kavrel::skin

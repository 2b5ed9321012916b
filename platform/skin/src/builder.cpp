#include "kavrel/skin/builder.h"

#include "internal.h"
#include "kavrel/os/diag.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/resources.h"

#include <QFile>
#include <QXmlStreamReader>

namespace kavrel::skin {

using namespace detail;

namespace {

QString& lastError() {
    static QString e;
    return e;
}

struct Ctx {
    QString file;
    const BuilderCallback* callback = nullptr;
    LayoutInfo* info = nullptr;
    QString error;
};

bool fail(Ctx& ctx, const QXmlStreamReader& xml, const QString& problem) {
    if (ctx.error.isEmpty()) ctx.error = QStringLiteral("%1:%2: %3").arg(ctx.file).arg(xml.lineNumber()).arg(problem);
    return false;
}

bool isItem(const Control* c) {
    return dynamic_cast<const ListLabelElement*>(c) || dynamic_cast<const ListContainerElement*>(c);
}

AttributeList attributesOf(const QXmlStreamReader& xml, const char* skip) {
    AttributeList out;
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        const QString n = a.name().toString();
        if (n.compare(QLatin1String(skip), Qt::CaseInsensitive) == 0) continue;
        out.emplace_back(n, a.value().toString());
    }
    return out;
}

// Font, Style and Default elements inside a layout's <Window>.
bool parseDefinition(QXmlStreamReader& xml, Ctx& ctx, const QString& el) {
    const auto attr = [&](const char* n) { return xml.attributes().value(QLatin1String(n)).toString(); };
    if (el == QLatin1String("font")) {
        int id = 0, size = 13;
        if (!parseInt(attr("id"), id) || (!attr("size").isEmpty() && !parseInt(attr("size"), size)) || size <= 0)
            return fail(ctx, xml, QStringLiteral("<Font> needs a numeric id and size"));
        QFont font(attr("family").isEmpty() ? QStringLiteral("DejaVu Sans") : attr("family"));
        font.setPixelSize(size);
        bool b = false;
        font.setBold(parseBool(attr("bold"), b) && b);
        b = false;
        font.setItalic(parseBool(attr("italic"), b) && b);
        font.setStyleStrategy(QFont::PreferAntialias);
        b = false;
        addFont(id, font, parseBool(attr("default"), b) && b);
    } else if (el == QLatin1String("style")) {
        if (attr("name").isEmpty()) return fail(ctx, xml, QStringLiteral("<Style> needs a name"));
        addStyle(attr("name"), attributesOf(xml, "name"));
    } else {
        if (attr("class").isEmpty()) return fail(ctx, xml, QStringLiteral("<Default> needs a class"));
        addClassDefault(attr("class"), attributesOf(xml, "class"));
    }
    xml.skipCurrentElement();
    return true;
}

struct Built {
    Control* control = nullptr;
    bool selected = false;
};

Built parseControl(QXmlStreamReader& xml, Ctx& ctx) {
    const QString cls = xml.name().toString();
    Control* c = createStandardControl(cls);
    if (c) {
        applyClassDefaults(*c);
    } else {
        if (ctx.callback && *ctx.callback) c = (*ctx.callback)(cls);
        if (!c && hasFactory(cls)) {
            c = createRegistered(cls);
            if (!c) {
                fail(ctx, xml, QStringLiteral("the factory of class \"%1\" made no control").arg(cls));
                return {};
            }
            applyClassDefaults(*c);
        }
    }
    if (!c) {
        fail(ctx, xml, QStringLiteral("unknown control class \"%1\"").arg(cls));
        return {};
    }
    Built b{c, false};
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        const QString n = a.name().toString();
        const QString v = a.value().toString();
        if (isItem(c) && n.compare(QLatin1String("selected"), Qt::CaseInsensitive) == 0) {
            if (!parseBool(v, b.selected)) {
                fail(ctx, xml, QStringLiteral("bad value \"%1\" for attribute \"%2\"").arg(v, n));
                delete c;
                return {};
            }
            continue;
        }
        attrStatus() = AttrStatus::Ok;
        if (c->setAttribute(n, v)) continue;
        if (attrStatus() == AttrStatus::BadValue) {
            if (n.compare(QLatin1String("style"), Qt::CaseInsensitive) == 0)
                fail(ctx, xml, QStringLiteral("unknown style \"%1\"").arg(v));
            else
                fail(ctx, xml, QStringLiteral("bad value \"%1\" for attribute \"%2\"").arg(v, n));
            delete c;
            return {};
        }
        os::debugf("%s:%lld: attribute \"%s\" of %s ignored", qPrintable(ctx.file),
                   static_cast<long long>(xml.lineNumber()), qPrintable(n), qPrintable(cls));
    }
    while (xml.readNextStartElement()) {
        Built child = parseControl(xml, ctx);
        if (!child.control) {
            delete c;
            return {};
        }
        ListOwner* owner = dynamic_cast<ListOwner*>(c);
        auto* container = dynamic_cast<Container*>(c);
        bool added = false;
        if (owner) added = owner->add(child.control);
        else if (container) added = container->add(child.control);
        if (!added) {
            fail(ctx, xml, QStringLiteral("%1 cannot hold <%2>").arg(cls, child.control->className()));
            delete child.control;
            delete c;
            return {};
        }
        if (child.selected && owner) owner->selectItem(owner->indexOf(child.control), false, false);
    }
    return b;
}

Control* parseDocument(QXmlStreamReader& xml, Ctx& ctx) {
    if (!xml.readNextStartElement()) {
        if (xml.hasError()) fail(ctx, xml, xml.errorString());
        else fail(ctx, xml, QStringLiteral("no root element"));
        return nullptr;
    }
    if (xml.name().toString().compare(QLatin1String("Window"), Qt::CaseInsensitive) != 0)
        return parseControl(xml, ctx).control;
    if (ctx.info)
        for (const QXmlStreamAttribute& a : xml.attributes())
            ctx.info->windowAttributes.emplace_back(a.name().toString(), a.value().toString());
    Control* root = nullptr;
    while (xml.readNextStartElement()) {
        const QString el = xml.name().toString().toLower();
        if (el == QLatin1String("font") || el == QLatin1String("style") || el == QLatin1String("default")) {
            if (!parseDefinition(xml, ctx, el)) break;
            continue;
        }
        if (root) {
            fail(ctx, xml, QStringLiteral("more than one root control"));
            break;
        }
        root = parseControl(xml, ctx).control;
        if (!root) break;
    }
    if (ctx.error.isEmpty() && !xml.hasError() && !root) fail(ctx, xml, QStringLiteral("no root control"));
    if (!ctx.error.isEmpty()) {
        delete root;
        return nullptr;
    }
    return root;
}

Control* build(QXmlStreamReader& xml, Ctx& ctx) {
    Control* root = parseDocument(xml, ctx);
    if (ctx.error.isEmpty()) {
        // Drain the rest so that trailing garbage is reported too.
        while (!xml.atEnd() && !xml.hasError()) {
            xml.readNext();
            if (xml.isStartElement()) {
                fail(ctx, xml, QStringLiteral("content after the root element"));
                break;
            }
        }
        if (xml.hasError()) fail(ctx, xml, xml.errorString());
    }
    if (!ctx.error.isEmpty()) {
        delete root;
        lastError() = ctx.error;
        os::debugLine(ctx.error.toStdString());
        return nullptr;
    }
    lastError().clear();
    return root;
}

} // namespace

Control* buildLayout(const QString& layout, const BuilderCallback& callback, LayoutInfo* info) {
    const QString path = QString::fromStdString(resolveLayout(layout).string());
    QFile f(path);
    Ctx ctx;
    ctx.file = path;
    ctx.callback = &callback;
    ctx.info = info;
    if (!f.open(QIODevice::ReadOnly)) {
        ctx.error = QStringLiteral("%1:0: cannot open layout \"%2\"").arg(path, layout);
        lastError() = ctx.error;
        os::debugLine(ctx.error.toStdString());
        return nullptr;
    }
    QXmlStreamReader xml(&f);
    return build(xml, ctx);
}

Control* buildLayoutFromString(const QString& text, const QString& sourceName, const BuilderCallback& callback,
                               LayoutInfo* info) {
    Ctx ctx;
    ctx.file = sourceName;
    ctx.callback = &callback;
    ctx.info = info;
    QXmlStreamReader xml(text);
    return build(xml, ctx);
}

QString lastBuildError() { return lastError(); }

// ---------------------------------------------------------------- value parsers

bool parseColor(const QString& text, Argb& out) {
    const QString t = text.trimmed();
    QStringView hex;
    if (t.startsWith(QLatin1Char('#'))) hex = QStringView(t).mid(1);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) hex = QStringView(t).mid(2);
    else return false;
    if (hex.isEmpty() || hex.size() > 8) return false;
    bool ok = false;
    const uint v = hex.toUInt(&ok, 16);
    if (!ok) return false;
    out = (t.startsWith(QLatin1Char('#')) && hex.size() == 6) ? (0xFF000000u | v) : v;
    if (t.startsWith(QLatin1Char('#')) && hex.size() != 6 && hex.size() != 8) return false;
    return true;
}

bool parseInt(const QString& text, int& out) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok) out = v;
    return ok;
}

bool parseBool(const QString& text, bool& out) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1")) { out = true; return true; }
    if (t == QLatin1String("false") || t == QLatin1String("0")) { out = false; return true; }
    return false;
}

namespace {
bool parseInts(const QString& text, int* out, int n) {
    const auto parts = text.split(QLatin1Char(','));
    if (parts.size() != n) return false;
    for (int i = 0; i < n; ++i)
        if (!parseInt(parts[i], out[i])) return false;
    return true;
}
} // namespace

bool parseRect(const QString& text, QRect& out) {
    int v[4];
    if (!parseInts(text, v, 4) || v[2] < 0 || v[3] < 0) return false;
    out = QRect(v[0], v[1], v[2], v[3]);
    return true;
}

bool parseMargins(const QString& text, QMargins& out) {
    int v[4];
    if (!parseInts(text, v, 4)) return false;
    out = QMargins(v[0], v[1], v[2], v[3]);
    return true;
}

bool parseSize(const QString& text, QSize& out) {
    int v[2];
    if (!parseInts(text, v, 2) || v[0] < 0 || v[1] < 0) return false;
    out = QSize(v[0], v[1]);
    return true;
}

} // namespace kavrel::skin

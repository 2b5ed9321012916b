// Process-wide skin resources: the resource folder, the resource index (res.xml) with its
// layouts, fonts, styles, class defaults and stylesheet; the custom-class registry; languages
// and the text query. UI thread only, except where noted.
#pragma once

#include "kavrel/skin/types.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kavrel::skin {

class Control;

// ---- start-up ----

// Call before constructing the QApplication: high-DPI rounding and attributes.
void prepareApplication();
// Sets the resource folder (empty = the default), loads res.xml and installs the theme's
// stylesheet on the application. False when res.xml cannot be loaded.
bool initialize(const std::filesystem::path& folder = {});

// The stylesheet res.xml names, with every "px" length multiplied by scale (windows with a layout
// DPI other than 96 set it on themselves so that Qt-drawn parts grow with the layout).
QString stylesheet(double scale = 1.0);

// ---- resource folder and index ----

// The folder the skin files are read from; default kavrel::os::programFolder() / "skin".
std::filesystem::path resourceFolder();
void setResourceFolder(const std::filesystem::path& folder);

// Loads the resource index (file name relative to the resource folder, default "res.xml"):
// layout names, fonts, styles, class defaults and the stylesheet. Replaces what an earlier
// call loaded. False (with a diagnostic naming file and line) when the file is missing or
// malformed; what was read before the error is kept.
bool loadResourceIndex(const QString& file = QStringLiteral("res.xml"));
// Forgets everything loadResourceIndex and the layouts registered (fonts, styles, languages
// stay loaded until replaced). Used at shutdown and by tests.
void releaseResources();

// Resolves a layout reference: a name of the index ("XML_MAIN") gives its file; anything else
// is taken as a file name. Relative paths are under the resource folder. Names of the index are
// compared without regard to case.
std::filesystem::path resolveLayout(const QString& nameOrFile);
// Resolves an image or other file path (relative to the resource folder unless absolute).
std::filesystem::path resolveFile(const QString& file);

// ---- fonts ----
// Font ids come from <Font id="n" .../> of res.xml; -1 or an unknown id gives the default font.
void addFont(int id, const QFont& font, bool isDefault = false);
QFont fontFor(int id, double scale = 1.0);

// ---- styles and class defaults ----
using AttributeList = std::vector<std::pair<QString, QString>>;
// Named attribute sets (<Style name="...">). Names compared without regard to case.
void addStyle(const QString& name, AttributeList attributes);
const AttributeList* findStyle(const QString& name);
// Attributes applied to every control of a class before its own (<Default class="Button">).
void addClassDefault(const QString& className, AttributeList attributes);
const AttributeList* findClassDefault(const QString& className);
// Applies the class defaults of c's class (and, for custom classes, of the standard class they
// extend when they have none of their own) to c. The builder calls it; code creating controls
// with `new` calls it when it wants the skin's defaults (Resources::create does).
void applyClassDefaults(Control& c);

// ---- custom classes ----
using ControlFactory = std::function<Control*()>;
// Registers a class for layouts (name compared without regard to case). A factory returning
// nullptr makes the builder skip the element with a diagnostic.
void registerControl(const QString& className, ControlFactory factory);
void unregisterControl(const QString& className);
// A new control of a standard or registered class with its class defaults applied, or nullptr.
Control* createControl(const QString& className);

// ---- languages ----
// The current language name ("en", "cn_zh", "cn_tw"); empty until set.
void setLanguage(const QString& language);
QString language();
// Loads a language file (relative to the resource folder): <Language lang="..."> with
// <Text key="k">text</Text> children. Replaces the loaded texts; false on a missing or
// malformed file (the previous texts stay).
bool loadLanguage(const QString& file);
// Sets the name, loads the file and reloads the text of every window (one call for a switch).
bool switchLanguage(const QString& language, const QString& file);
// Text query consulted before the language file: id -> text or none. One per process (the
// main window registers its QueryControlText); an empty function removes it.
using TextQuery = std::function<std::optional<QString>(const QString& id)>;
void setTextQuery(TextQuery query);
// The text of a key: the text query's answer, else the language file's text, else the key.
QString text(const QString& key);
// True when the loaded language file has the key.
bool hasText(const QString& key);

// Reloads the text of every live window's controls.
void reloadAllText();

} // namespace kavrel::skin

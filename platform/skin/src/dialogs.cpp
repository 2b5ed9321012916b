#include "kavrel/skin/dialogs.h"

#include "kavrel/skin/window.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace kavrel::skin {

namespace {
QString& lastFolder() {
    static QString f;
    return f;
}

std::optional<QString> run(Window* owner, const FileDialogOptions& o, bool save) {
    QFileDialog dlg(owner ? owner->widget() : nullptr, o.title);
    // Qt's own dialog: the same look and behaviour on every desktop, and testable.
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (save && !o.confirmOverwrite) dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!o.filter.isEmpty()) dlg.setNameFilters(o.filter.split(QStringLiteral(";;")));
    if (!o.defaultSuffix.isEmpty()) dlg.setDefaultSuffix(o.defaultSuffix);
    QString folder = o.folder;
    if (folder.isEmpty()) folder = lastFolder();
    if (folder.isEmpty()) folder = QDir::homePath();
    dlg.setDirectory(folder);
    if (!o.fileName.isEmpty() && !o.fileName.contains(QLatin1Char('*'))) dlg.selectFile(o.fileName);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dlg.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    lastFolder() = QFileInfo(files.front()).absolutePath();
    return QFileInfo(files.front()).absoluteFilePath();
}
} // namespace

std::optional<QString> openFileDialog(Window* owner, const FileDialogOptions& options) {
    return run(owner, options, false);
}

std::optional<QString> saveFileDialog(Window* owner, const FileDialogOptions& options) {
    return run(owner, options, true);
}

QString convertWindowsFilter(const QString& filter) {
    // "Name|pattern|Name|pattern||": pairs separated by '|'.
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString name = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed().replace(QLatin1Char(';'), QLatin1Char(' '));
        if (name.isEmpty() && pattern.isEmpty()) continue;
        if (pattern.isEmpty()) continue;
        QString label = name.isEmpty() ? pattern : name;
        if (!label.contains(QLatin1Char('('))) label += QStringLiteral(" (%1)").arg(pattern);
        else if (!label.contains(pattern)) label = QStringLiteral("%1 (%2)").arg(label, pattern);
        out << label;
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace kavrel::skin
